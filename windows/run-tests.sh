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
# The program directory, where a Windows program's files are: beside the
# executable (the build tree's ..\share\qrole is the server's fallback).
find "$build/share/qrole" -maxdepth 1 -type f ! -name '*-lock' ! -name '.*' \
  -exec cp {} "$install_dir/" \;
# A client's machine: the number conventions of a Spanish desktop, as the
# product's users have them, set as the user's regional settings (a Spanish
# LC_ALL would need that locale in the C library too, or Wine could not spell
# accented file names); message boxes logged, not shown (the prefix has no
# desktop); and the product's settings: the data folder DATA (empty; the
# suites create their companies there) and the desktop program's version,
# which the headers of new companies carry.
# Usage: prepare_prefix DATA (a folder under C:\qrole-test)
prepare_prefix() {
  local intl='HKCU\Control Panel\International'
  run "$work/reg.log" reg add "$intl" /v sDecimal /d ',' /f
  run "$work/reg.log" reg add "$intl" /v sThousand /d '.' /f
  run "$work/reg.log" reg add "$intl" /v iCurrDigits /d 2 /f
  run "$work/reg.log" reg add 'HKCU\SOFTWARE\QRN\Valdrix\QROLE75' /v MessageBoxes /d log /f
  run "$work/reg.log" reg add 'HKCU\SOFTWARE\QRN\Valdrix\QROLE75' /v LogFile \
    /d 'C:\qrole-test\QROLE75.log' /f
  run "$work/reg.log" reg add 'HKCU\SOFTWARE\QRN\Valdrix\Settings' /v Version /d 7.5 /f
  data_folder "$1"
}
# Usage: data_folder NAME: an empty C:\qrole-test\NAME as DATOS_DIR.
data_folder() {
  rm -rf "$WINEPREFIX/drive_c/qrole-test/$1"
  mkdir -p "$WINEPREFIX/drive_c/qrole-test/$1"
  run "$work/reg.log" reg add 'HKCU\SOFTWARE\QRN\Valdrix\Settings' /v DATOS_DIR \
    /d "C:\\qrole-test\\$1\\" /f
}
prepare_prefix datos

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
  if run "$work/$name.log" "$exe" --gtest_brief=1; then
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
suite() {  # suite NAME TAG FILE... (the script host: $script_host, else cscript)
  local name=$1 tag=$2
  shift 2
  cat "$@" | iconv -f UTF-8 -t CP1252 >"$WINEPREFIX/drive_c/qrole-test/$name" ||
    { fail "$name: not ANSI text"; return; }
  run "$work/$name.raw" "${script_host:-cscript}" //nologo 'C:\qrole-test\'"$name"
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

# The stand-in web service of the web sections, on 127.0.0.1 (WinHTTP must
# reach it there). It writes its address into the folder given and serves
# until a stop file appears there.
# Usage: start_web_service WINDOWS_FOLDER UNIX_FOLDER; stop_web_service UNIX_FOLDER
start_web_service() {
  rm -f "$2/web-endpoint.txt" "$2/web-stop.txt"
  wine "$build/bin/qrole_web_service.exe" "$1" </dev/null >"$work/web-service.log" 2>&1 &
  for _ in $(seq 1 150); do
    [ -s "$2/web-endpoint.txt" ] && return
    sleep 0.2
  done
  cat "$work/web-service.log"
  fail "the stand-in web service did not start"
}
stop_web_service() {
  touch "$1/web-stop.txt"
  wait
}

tests=$root/windows/tests
python3 "$tests/gen_record_tests.py" "$root/src/typelib/interface.json" \
  "$work/record_fields_test.vbs"
# Where the server under test has its program directory, for the scripts.
printf 'Const kProgramDir = "C:\\qrole\\"\n' >"$work/program_dir.vbs"
start_web_service 'C:\qrole-test' "$WINEPREFIX/drive_c/qrole-test"
suite suite.vbs vbs "$tests/vbs/lib.vbs" "$work/program_dir.vbs" "$tests"/vbs/*_test.vbs \
  "$work/record_fields_test.vbs" "$tests/vbs/end.vbs"
suite suite.js js "$tests/js/suite.js"
stop_web_service "$WINEPREFIX/drive_c/qrole-test"

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

# The installer, in a fresh 64-bit prefix (WoW64), as a Windows integrator's
# machine has it: msiexec /i, a part of the VBScript suite against the
# installed server from the 32-bit script host and from the 64-bit one (COM
# marshals the calls of a 64-bit client to the 32-bit server), msiexec /x,
# and then no file and no registry key of ours.
msi=$(ls "$build"/qrole-*.msi 2>/dev/null | head -n 1)
if [ -z "$msi" ]; then
  fail "no installer was built (wixl is missing: scripts/install-deps.sh)"
else
  timeout 60 wineserver -w || wineserver -k
  export WINEPREFIX=$work/prefix64 WINEARCH=win64
  run "$work/init64.log" cmd /c echo || { cat "$work/init64.log"; fail "no 64-bit Wine prefix"; }
  prepare_prefix datos32
  # The registration's keys, as the prefix's registry files spell them.
  our_keys() {
    timeout 60 wineserver -w || wineserver -k
    local root
    grep '^root' "$build/installer/registry.tsv" | cut -f2 | while read -r root; do
      root=$(printf '%s' "$root" | sed 's/\\/\\\\/g')
      grep -i -F -e "Classes\\\\$root" -e "Wow6432Node\\\\$root" \
        "$WINEPREFIX/system.reg" "$WINEPREFIX/user.reg"
    done
  }
  installed="$WINEPREFIX/drive_c/Program Files (x86)/QROLE75"
  if run "$work/msi-install.log" msiexec /i "Z:${msi//\//\\}" /qn &&
    [ -f "$installed/QROLE75.exe" ] && [ -f "$installed/PLANC.QRA" ] && [ -n "$(our_keys)" ]; then
    pass 1
  else
    cat "$work/msi-install.log"
    fail "msiexec /i did not install the server and its program directory"
  fi
  printf 'Const kProgramDir = "C:\\Program Files (x86)\\QROLE75\\"\n' >"$work/program_dir.vbs"
  mkdir -p "$WINEPREFIX/drive_c/qrole-test"
  start_web_service 'C:\qrole-test' "$WINEPREFIX/drive_c/qrole-test"
  installed_suite=("$tests/vbs/lib.vbs" "$work/program_dir.vbs" "$tests/vbs/company_test.vbs"
    "$tests/vbs/entry_test.vbs" "$tests/vbs/windows_paths_test.vbs" "$tests/vbs/web_test.vbs"
    "$tests/vbs/end.vbs")
  script_host='C:\windows\syswow64\cscript.exe' suite installed32.vbs vbs "${installed_suite[@]}"
  data_folder datos64
  script_host='C:\windows\system32\cscript.exe' suite installed64.vbs vbs "${installed_suite[@]}"
  stop_web_service "$WINEPREFIX/drive_c/qrole-test"
  for _ in $(seq 1 60); do
    pgrep -f 'QROLE75\.exe' >/dev/null 2>&1 || break
    sleep 1
  done
  if run "$work/msi-remove.log" msiexec /x "Z:${msi//\//\\}" /qn; then
    left_files=$(find "$WINEPREFIX/drive_c" -path "$WINEPREFIX/drive_c/qrole-test" -prune -o \
      \( -iname 'QROLE75*' -o -iname 'PLANC.QRA' \) -print)
    left_keys=$(our_keys)
    if [ -z "$left_files" ] && [ -z "$left_keys" ] && [ ! -e "$installed" ]; then
      pass 1
    else
      fail "msiexec /x left behind: ${left_files} ${left_keys}"
    fi
  else
    cat "$work/msi-remove.log"
    fail "msiexec /x"
  fi
fi

echo "windows: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
