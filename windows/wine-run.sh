#!/usr/bin/env bash
# Runs a Windows program under Wine for the build, in a 32-bit prefix of its
# own (created on first use). Usage: wine-run.sh PREFIX PROGRAM [ARGS...]
#
# Wine's output goes to a file, never to a pipe: the wineserver that a wine
# command starts inherits its output, and a build tool reading that output
# would wait for the server to go away. The file is printed afterwards.
set -euo pipefail
prefix=$1
shift
export WINEPREFIX=$prefix WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
log=$(mktemp)
trap 'rm -f "$log"' EXIT
if [ ! -f "$prefix/system.reg" ]; then
  mkdir -p "$prefix"
  wine cmd /c echo </dev/null >"$log" 2>&1 || true
  wineserver -w
fi
rc=0
wine "$@" </dev/null >"$log" 2>&1 || rc=$?
cat "$log"
exit $rc
