#!/usr/bin/env bash
# Checks the Debian package: builds it with CPack from a built tree, then
#   - its file list and control fields,
#   - lintian, which must report no error,
#   - the demo and the qrole command run from the files it installs,
#     unpacked into a temporary root with dpkg-deb -x.
#
#   tests/package/check_package.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
source=$(cd "$2" && pwd)

work=$(mktemp -d /tmp/qrole-package-XXXXXX)
server_pid=
cleanup() {
  if [ -n "$server_pid" ]; then kill -TERM "$server_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

version=$(sed -n 's/.*kServerVersion\[\] = "\([0-9.]*\)".*/\1/p' "$source/src/server/version.h")
[ -n "$version" ] || { echo "no version in src/server/version.h" >&2; exit 1; }
arch=$(dpkg --print-architecture)

echo "== building the package"
(cd "$build" && cpack -G DEB -B "$work/out" >"$work/cpack.log" 2>&1) ||
  { cat "$work/cpack.log" >&2; exit 1; }
deb="$work/out/qrole_${version}_${arch}.deb"
[ -f "$deb" ] || { ls "$work/out" >&2; echo "no $deb" >&2; exit 1; }
echo "built $(basename "$deb") ($(stat -c %s "$deb") bytes)"

echo "== control fields"
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = qrole ] || fail "Package is $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version is $(field Version), not $version"
[ "$(field Architecture)" = "$arch" ] || fail "Architecture is $(field Architecture)"
for dep in libc6 liblmdb0 libstdc++6; do
  field Depends | grep -q "$dep" || fail "Depends lacks $dep: $(field Depends)"
done

echo "== file list"
dpkg-deb -c "$deb" | awk '{print $1, $2, $6}' >"$work/contents"
paths=$(awk '{print $3}' "$work/contents" | sed 's|^\./|/|')
for expected in \
  /usr/bin/qrole-server /usr/bin/qrole /usr/bin/qrole-demo \
  /usr/share/qrole/EXTRA.QRA /usr/share/qrole/PLANC.QRA \
  /usr/lib/systemd/user/qrole.socket /usr/lib/systemd/user/qrole.service \
  /usr/share/man/man1/qrole-server.1.gz /usr/share/man/man1/qrole.1.gz \
  /usr/share/man/man1/qrole-demo.1.gz \
  /usr/share/doc/qrole/copyright /usr/share/doc/qrole/changelog.gz \
  /usr/lib/python3/dist-packages/qrole/__init__.py \
  /usr/lib/python3/dist-packages/qrole/interface.json; do
  grep -qx "$expected" <<<"$paths" || fail "the package lacks $expected"
done
# Nothing outside /usr, nothing of the build tree, every file root's.
if grep -v '^/usr' <<<"$paths" | grep -qv '^/$'; then
  fail "files outside /usr: $(grep -v '^/usr' <<<"$paths" | grep -v '^/$' | head -3)"
fi
grep -q '\.built$' <<<"$paths" && fail "the build's stamp file is packed"
awk '$2 != "root/root" {print}' "$work/contents" | grep -q . &&
  fail "files not owned by root: $(awk '$2 != "root/root"' "$work/contents" | head -3)"
grep -q 'ListenStream=%t/qrole/qrole.sock' "$source/packaging/systemd/qrole.socket" ||
  fail "qrole.socket does not listen on %t/qrole/qrole.sock"

echo "== lintian"
# --fail-on error: warnings are reported, errors fail.
if ! lintian --fail-on error --tag-display-limit 0 "$deb" >"$work/lintian.log" 2>&1; then
  cat "$work/lintian.log" >&2
  fail "lintian reports errors"
else
  sed 's/^/  /' "$work/lintian.log"
fi
grep -q '^E:' "$work/lintian.log" && fail "lintian errors: $(grep '^E:' "$work/lintian.log")"

echo "== the installed files at work"
root="$work/root"
dpkg-deb -x "$deb" "$root"
# The service runs the binary the package installs.
grep -q '^ExecStart=/usr/bin/qrole-server ' "$root/usr/lib/systemd/user/qrole.service" ||
  fail "qrole.service does not run /usr/bin/qrole-server"
[ -x "$root/usr/bin/qrole-server" ] || fail "qrole-server is not executable"
file_out=$(file -b "$root/usr/bin/qrole-server")
grep -q 'stripped' <<<"$file_out" && ! grep -q 'not stripped' <<<"$file_out" ||
  fail "qrole-server is not stripped: $file_out"

# The demo against the unpacked binaries: the program directory must be
# found beside them (../share/qrole) without any setting naming it.
export XDG_DATA_HOME="$work/xdg-data" XDG_CONFIG_HOME="$work/xdg-config"
unset QROLE_PROGRAM_DIR QROLE_SOCKET
if ! QROLE_BIN_DIR="$root/usr/bin" bash "$source/scripts/demo.sh" >"$work/demo.log" 2>&1; then
  cat "$work/demo.log" >&2
  fail "the demo failed against the installed files"
fi
grep -q '^Done\.$' "$work/demo.log" || fail "the demo did not finish: $(tail -3 "$work/demo.log")"
demo_root=$(sed -n 's/^Data directory: \(.*\)datos\/$/\1/p' "$work/demo.log")
[ -n "$demo_root" ] || fail "the demo did not say where its data went"

# The installed qrole finds the company the demo made, and exports it.
if [ -n "$demo_root" ]; then
  export QROLE_HOME="$demo_root/home"
  companies=$("$root/usr/bin/qrole" companies --json) || fail "qrole companies failed"
  grep -q 'Demostracion.QRT' <<<"$companies" || fail "qrole companies: $companies"
  "$root/usr/bin/qrole" export Demostracion --format ledger --output "$work/demo.ledger" ||
    fail "qrole export failed"
  grep -q '4300001' "$work/demo.ledger" || fail "the export lacks the demo's entry"
  "$root/usr/bin/qrole" --version | grep -qx "qrole $version" || fail "qrole --version"
fi

# Five lines of Python against the installed server and client: a posted
# entry read back.
[ -f "$root/usr/lib/python3/dist-packages/qrole/interface.json" ] &&
  [ ! -L "$root/usr/lib/python3/dist-packages/qrole/interface.json" ] ||
  fail "the Python client's interface description is not a file"
py_home="$work/py-home"
mkdir -p "$py_home/datos"
printf '[SOFTWARE\\QRN\\Valdrix\\Settings]\nDATOS_DIR=%s/datos/\n' "$py_home" >"$py_home/registry.ini"
QROLE_HOME="$py_home" "$root/usr/bin/qrole-server" --socket "$work/py.sock" >"$work/py-server.log" 2>&1 &
py_server=$!
for _ in $(seq 100); do [ -S "$work/py.sock" ] && break; sleep 0.1; done
if ! PYTHONPATH="$root/usr/lib/python3/dist-packages" QROLE_SOCKET="$work/py.sock" python3 - >"$work/py.log" 2>&1 <<'PY'
import qrole
with qrole.connect() as conn:
    e = conn.create("Enlace")
    e.AbrirEmpresa(e.CrearEmpresa("Python", "25"), "")
    e.Fecha = "31/12/25"; e.Número = ""; number = e.Número
    e.AñadirApunte("4300001", "Factura P-1", 1, 121, "1")
    e.AñadirApunte("7000000", "Factura P-1", 2, 121, "1")
    e.GrabarAsiento()
    e.LeerAsiento("31/12/25", number)
    assert e.ContadorApuntes == 2, e.ContadorApuntes
    assert e.Apunte(1).Cuenta.strip() == "4300001", e.Apunte(1).Cuenta
print("python ok")
PY
then
  cat "$work/py.log" "$work/py-server.log" >&2
  fail "the Python client could not post through the installed server"
fi
kill "$py_server" 2>/dev/null; wait "$py_server" 2>/dev/null || true

if [ "$failures" -ne 0 ]; then
  echo "$failures package checks failed" >&2
  exit 1
fi
echo "package checks passed"
