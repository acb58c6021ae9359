#!/usr/bin/env bash
# Puts the LMDB C sources (mdb.c, midl.c, lmdb.h, midl.h) into DEST, taken from
# the npm package node-lmdb, which carries them. Usage: fetch-lmdb.sh DEST
set -euo pipefail
dest=$1
version=${QROLE_NODE_LMDB_VERSION:-0.10.1}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$work" && npm pack --silent "node-lmdb@$version" >/dev/null)
tar -xzf "$work"/node-lmdb-*.tgz -C "$work"
src="$work/package/dependencies/lmdb/libraries/liblmdb"
mkdir -p "$dest"
for f in mdb.c midl.c lmdb.h midl.h LICENSE; do
  cp "$src/$f" "$dest/"
done
echo "fetch-lmdb: LMDB sources of node-lmdb $version in $dest"
