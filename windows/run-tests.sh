#!/usr/bin/env bash
# The Windows server's tests, under Wine: builds QROLE75.exe and its tests
# (build.sh), makes a fresh 32-bit Wine prefix, registers the server in it,
# runs the C++ tests built for Windows, the VBScript suite and the JScript
# suite against the registered server, unregisters it, and checks that the
# server process left once its last object was released.
#
# Usage: windows/run-tests.sh [BUILD_DIR]
# Skips (exit 0, with a line saying so) when Wine or MinGW-w64 is missing.
# Ends with "windows: N passed, M failed"; exits 1 when anything failed.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-windows}

if ! command -v wine >/dev/null || ! command -v i686-w64-mingw32-g++-posix >/dev/null; then
  echo "windows: skipped (Wine or the MinGW-w64 cross compiler is not installed)"
  exit 0
fi
mkdir -p "$build"
bash "$root/windows/build.sh" "$build" >"$build/build.log" 2>&1 || {
  cat "$build/build.log"
  echo "windows: 0 passed, 1 failed (the build failed)"
  exit 1
}

work=$(mktemp -d /tmp/qrole-wine.XXXXXX)
export WINEPREFIX=$work/prefix WINEARCH=win32 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
  wineserver -k >/dev/null 2>&1
  [ -n "${QROLE_WIN_KEEP:-}" ] || rm -rf "$work"
}
trap cleanup EXIT

passed=0
failed=0
pass() { passed=$((passed + $1)); }
fail() {
  failed=$((failed + 1))
  echo "FAIL windows: $*"
}

# Runs a Windows program with its output in a file (never a pipe: the
# wineserver a wine command starts inherits it). Prints nothing.
# Usage: run LOG PROGRAM [ARGS...]; returns the program's exit code.
run() {
  local log=$1
  shift
  wine "$@" </dev/null >"$log" 2>&1
}

# A fresh prefix, with the server installed in it as a client's machine has it.
run "$work/init.log" cmd /c echo || { cat "$work/init.log"; fail "no Wine prefix"; }
install_dir=$WINEPREFIX/drive_c/qrole
mkdir -p "$install_dir" "$WINEPREFIX/drive_c/qrole-test"
i686-w64-mingw32-strip -o "$install_dir/QROLE75.exe" "$build/bin/QROLE75.exe"
# The program directory, where the server looks for it (..\share\qrole).
mkdir -p "$WINEPREFIX/drive_c/share"
cp -r "$build/share/qrole" "$WINEPREFIX/drive_c/share/"
# The number conventions of a Spanish desktop, as the product's users have
# them, set as the user's regional settings (a Spanish LC_ALL would need that
# locale in the C library too, or Wine could not spell accented file names).
intl='HKCU\Control Panel\International'
run "$work/reg.log" reg add "$intl" /v sDecimal /d ',' /f
run "$work/reg.log" reg add "$intl" /v sThousand /d '.' /f
run "$work/reg.log" reg add "$intl" /v iCurrDigits /d 2 /f
# Message boxes are logged, not shown: the prefix has no desktop.
run "$work/reg.log" reg add 'HKCU\SOFTWARE\QRN\Valdrix\QROLE75' /v MessageBoxes /d log /f
run "$work/reg.log" reg add 'HKCU\SOFTWARE\QRN\Valdrix\QROLE75' /v LogFile \
  /d 'C:\qrole-test\QROLE75.log' /f

# The product's settings on a client's machine: the data folder (empty; the
# suites create their companies there) and the desktop program's version,
# which the headers of new companies carry.
mkdir -p "$WINEPREFIX/drive_c/qrole-test/datos"
settings='HKCU\SOFTWARE\QRN\Valdrix\Settings'
run "$work/reg.log" reg add "$settings" /v DATOS_DIR /d 'C:\qrole-test\datos\' /f
run "$work/reg.log" reg add "$settings" /v Version /d 7.5 /f

if run "$work/regserver.log" 'C:\qrole\QROLE75.exe' /RegServer; then
  pass 1
else
  cat "$work/regserver.log"
  fail "QROLE75.exe /RegServer"
fi

# C++ tests built for Windows (GoogleTest).
for exe in "$build"/bin/*_test.exe; do
  [ -e "$exe" ] || continue
  name=$(basename "$exe" .exe)
  # The Windows build has no web link (it answers "not implemented"): the
  # core's tests of web mode run on Linux only.
  filter=()
  [ "$name" = web_test ] || filter=(--gtest_filter='-*Web*Test.*:*.*OnTheWeb*')
  if run "$work/$name.log" "$exe" --gtest_brief=1 "${filter[@]}"; then
    n=$(grep -o '\[  PASSED  \] [0-9]*' "$work/$name.log" | grep -o '[0-9]*$' || echo 0)
    pass "${n:-0}"
    echo "windows: $name: ${n:-0} passed"
  else
    cat "$work/$name.log"
    fail "$name"
  fi
done

# Script suites: the files are UTF-8 here; the script host reads the ANSI
# code page and writes the OEM one.
# The script goes into the prefix's C: drive: the host takes an argument
# starting with "/" for one of its options.
suite() {  # suite NAME TAG FILE...
  local name=$1 tag=$2
  shift 2
  cat "$@" | iconv -f UTF-8 -t CP1252 >"$WINEPREFIX/drive_c/qrole-test/$name" ||
    { fail "$name: not ANSI text"; return; }
  run "$work/$name.raw" cscript //nologo 'C:\qrole-test\'"$name"
  { iconv -f CP850 -t UTF-8 "$work/$name.raw" 2>/dev/null || cat "$work/$name.raw"; } |
    tr -d '\r' >"$work/$name.out"
  grep -E '^FAIL' "$work/$name.out"
  local result
  result=$(grep -E "^$tag: [0-9]+ passed, [0-9]+ failed$" "$work/$name.out")
  if [ -z "$result" ]; then
    cat "$work/$name.out"
    fail "$name stopped before its end (a script error after the last section shown)"
    return
  fi
  echo "windows: $name: ${result#"$tag: "}"
  local p f
  p=$(echo "$result" | sed -E 's/.*: ([0-9]+) passed.*/\1/')
  f=$(echo "$result" | sed -E 's/.*, ([0-9]+) failed/\1/')
  pass "$p"
  failed=$((failed + f))
}

tests=$root/windows/tests
python3 "$tests/gen_record_tests.py" "$root/src/typelib/interface.json" \
  "$work/record_fields_test.vbs"
suite suite.vbs vbs "$tests/vbs/lib.vbs" "$tests"/vbs/*_test.vbs "$work/record_fields_test.vbs" \
  "$tests/vbs/end.vbs"
suite suite.js js "$tests/js/suite.js"

# Every client has gone: the server must leave by itself. Other Wine
# processes of the prefix may linger; only the server's own process counts.
server_gone=0
for _ in $(seq 1 120); do
  if ! pgrep -f 'QROLE75\.exe' >/dev/null 2>&1; then
    server_gone=1
    break
  fi
  sleep 1
done
if [ $server_gone -eq 1 ]; then
  pass 1
else
  fail "QROLE75.exe still running after its last object was released"
fi
timeout 60 wineserver -w || wineserver -k

# Unregistering removes what registering wrote.
wine_ok() { run "$work/query.log" "$@"; }
if run "$work/unreg.log" 'C:\qrole\QROLE75.exe' /UnregServer &&
  ! wine_ok reg query 'HKCR\QROLE75.Enlace' && ! wine_ok reg query 'HKCU\Software\Classes\QROLE75.Enlace'; then
  pass 1
else
  fail "QROLE75.exe /UnregServer left keys behind"
fi

echo "windows: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
