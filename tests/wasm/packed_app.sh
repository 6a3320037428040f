#!/usr/bin/env bash
# Packs bindings/js with npm and installs the tarball into an empty folder
# DEST (offline: the package has no dependencies), beside the smoke test,
# as a user of the package would have it.
#
#   tests/wasm/packed_app.sh SOURCE_DIR DEST
set -euo pipefail
src=$1 dest=$2
[[ -f $src/bindings/js/tersolite.wasm ]] || { echo "bindings/js/tersolite.wasm missing: build the wasm preset" >&2; exit 1; }
rm -rf "$dest"
mkdir -p "$dest"
tarball=$(cd "$src/bindings/js" && npm pack --silent --pack-destination "$dest")
cd "$dest"
echo '{"name": "tersolite-smoke", "private": true, "type": "module"}' > package.json
npm install --offline --no-audit --no-fund --silent "./$tarball"
cp "$src/tests/wasm/smoke.mjs" .
echo 'import { smoke } from "./smoke.mjs"; console.log(await smoke());' > run_smoke.mjs

# The tarball holds the package and nothing else.
expected="package/README.md package/package.json package/tersolite.d.ts package/tersolite.js package/tersolite.wasm package/worker.js"
listed=$(tar -tzf "$tarball" | sort | tr '\n' ' ')
if [[ ${listed% } != "$expected" ]]; then
  echo "unexpected files in $tarball: $listed" >&2
  exit 1
fi
echo "installed $tarball into $dest"
