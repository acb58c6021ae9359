#!/usr/bin/env bash
# The demo: starts qrole-server with its own settings and a fresh data
# directory under the user's data folder, drives it with qrole-demo, stops it.
# QROLE_BIN_DIR names the folder of qrole-server and qrole-demo (default
# build/bin; the package's tests point it at an unpacked /usr/bin).
set -euo pipefail
cd "$(dirname "$0")/.."
bin=${QROLE_BIN_DIR:-build/bin}
data_home=${XDG_DATA_HOME:-$HOME/.local/share}
demo_root="$data_home/qrole-demo/$(date +%Y%m%d-%H%M%S)-$$"
mkdir -p "$demo_root/home" "$demo_root/datos"
cat >"$demo_root/home/registry.ini" <<INI
[SOFTWARE\\QRN\\Valdrix\\Settings]
DATOS_DIR=$demo_root/datos/
Version=7.5
INI
socket="$demo_root/qrole.sock"
echo "Data directory: $demo_root/datos/"
QROLE_HOME="$demo_root/home" "$bin/qrole-server" --socket "$socket" 2>"$demo_root/server.log" &
server=$!
trap 'kill -TERM $server 2>/dev/null || true; wait $server 2>/dev/null || true' EXIT
for _ in $(seq 1 100); do
  [ -S "$socket" ] && break
  sleep 0.1
done
[ -S "$socket" ] || { echo "qrole-server did not start; see $demo_root/server.log" >&2; exit 1; }
"$bin/qrole-demo" --socket "$socket"
kill -TERM $server
wait $server
trap - EXIT
echo "Server stopped cleanly. Its log: $demo_root/server.log"
