#!/usr/bin/env bash
# Builds qrole and runs its benchmarks; prints the figures.
#   scripts/bench.sh [benchmark options, e.g. --benchmark_filter=PropertyGet]
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset default -DQROLE_BUILD_BENCH=ON >/dev/null
cmake --build --preset default --target rpc_bench qrole-server
echo
echo "== qrole-server round trips (one connection, one call at a time) =="
QROLE_TEST_BIN_DIR="$PWD/build/bin" build/bin/rpc_bench --benchmark_min_time=2 "$@"

# Posting (in-process): invoice entries into one company, balances read back.
cmake --build --preset default --target posting_bench
echo
echo "== posting invoice entries and reading balances (in-process) =="
build/bin/posting_bench "$@"
