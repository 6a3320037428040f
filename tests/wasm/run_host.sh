#!/usr/bin/env bash
# Runs the smoke test of the packed package (tests/wasm/packed_app.sh) in
# one JavaScript host: node, deno or bun. Skipped (77) when the host is
# neither on PATH nor installed in tests/wasm/runtimes.
#
#   tests/wasm/run_host.sh HOST APP_DIR
set -euo pipefail
host=$1 app=$2
here=$(cd "$(dirname "$0")" && pwd)
exe=$(command -v "$host" || true)
[[ -z $exe && -x $here/runtimes/node_modules/.bin/$host ]] && exe=$here/runtimes/node_modules/.bin/$host
[[ -n $exe ]] || { echo "$host not found (npm ci --prefix tests/wasm/runtimes installs it): skipped"; exit 77; }
cd "$app"
case $host in
  deno) exec "$exe" run --quiet --allow-read=. run_smoke.mjs ;;
  *) exec "$exe" run_smoke.mjs ;;
esac
