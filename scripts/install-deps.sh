#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need.
# Idempotent: only missing packages are installed; nothing happens when all are present.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config python3
  python3-venv python3-pip python3-setuptools
  nlohmann-json3-dev liblmdb-dev libasio-dev libpugixml-dev libcurl4-openssl-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  dpkg-dev lintian ledger
  g++-mingw-w64-i686 mingw-w64-tools wine wine32:i386 wine64 msitools wixl
)

# npm fetches the LMDB sources for the Windows build; a machine may have it
# from a Node.js installation of its own.
if ! command -v npm >/dev/null 2>&1; then
  packages+=(npm)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  SUDO=sudo
else
  SUDO=
fi
echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
# The Windows server is tested under 32-bit Wine.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
