#!/usr/bin/env bash
# Runs the smoke test of the packed package (tests/wasm/packed_app.sh), and
# the README's Node.js example, in one JavaScript host: node, deno or bun. Skipped (77) when the host is
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
run=("$exe")
[[ $host == deno ]] && run=("$exe" run --quiet --allow-read=.)
"${run[@]}" run_smoke.mjs
# The README's Node.js example runs as written.
"${run[@]}" readme_node.mjs > readme_node.out
diff -u readme_node.expected readme_node.out
# Deno brings a TypeScript compiler: the package's types are checked too.
if [[ $host == deno ]]; then
  "$exe" check --quiet types_check.ts
fi
