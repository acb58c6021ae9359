#!/usr/bin/env bash
# Cross-builds the Windows server: QROLE75.exe and the tests that run under
# Wine, into BUILD_DIR (default build-windows at the top of the repository),
# and the program directory it ships, BUILD_DIR/share/qrole.
# Usage: windows/build.sh [BUILD_DIR]
#
# The program directory is written by the Windows build of qrole-mkprogdir,
# run under Wine during the build, so its chart templates' index files are the
# 32-bit server's own.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-windows}
if ! command -v i686-w64-mingw32-g++-posix >/dev/null || ! command -v wine >/dev/null; then
  echo "windows: the MinGW-w64 cross compiler and Wine are needed (scripts/install-deps.sh)" >&2
  exit 1
fi
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root/windows" -B "$build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$root/windows/mingw-i686.cmake" \
    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" \
    -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" >/dev/null
fi
cmake --build "$build"

for f in PLANC00.QRD PLANC01.QRD PLANC02.QRD Moneda1.qrf IVA03.QRF PLANC.QRA; do
  [ -s "$build/share/qrole/$f" ] || { echo "windows: the program directory lacks $f" >&2; exit 1; }
done
echo "windows: $build/bin/QROLE75.exe"
