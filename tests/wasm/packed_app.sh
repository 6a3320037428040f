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
cp "$src/tests/wasm/smoke.mjs" "$src/tests/wasm/types_check.ts" .
echo 'import { smoke } from "./smoke.mjs"; console.log(await smoke());' > run_smoke.mjs

# The README's examples, as a reader would copy them: the Node.js script
# (with the output the README shows), the browser page and the edge worker.
python3 - "$src/README.md" <<'PY'
import re, sys
text = open(sys.argv[1], encoding="utf-8").read()
start = text.index("## JavaScript and WebAssembly")
section = text[start:text.find("\n## ", start + 1)]
for lang, code in re.findall(r"```(\w+)\n(.*?)```", section, re.S):
    name = None
    if lang == "html":
        name = "readme_page.html"
    elif "export default" in code:
        name = "readme_edge_worker.mjs"
    elif "await init()" in code:
        name = "readme_node.mjs"
    elif lang == "console" and code.startswith("$ node shrink.mjs\n"):
        name, code = "readme_node.expected", code.split("\n", 1)[1]
    if name:
        with open(name, "w", encoding="utf-8") as f:
            f.write(code)
PY

# The tarball holds the package and nothing else.
expected="package/LICENSE package/README.md package/package.json package/tersolite.d.ts package/tersolite.js package/tersolite.wasm package/view/align.js package/view/index.d.ts package/view/index.js package/view/json.js package/view/render.js package/view/view.css package/view/yaml.js package/worker.js"
listed=$(tar -tzf "$tarball" | sort | tr '\n' ' ')
if [[ ${listed% } != "$expected" ]]; then
  echo "unexpected files in $tarball: $listed" >&2
  exit 1
fi
# The view is importable on its own (its alignment needs no page).
node --input-type=module -e '
  import { align, countCuts, readJson } from "tersolite/view";
  const c = countCuts(align(readJson("[1,2,3,4]"), readJson("[1,\"…[3 items omitted]\"]")));
  if (c.itemsDropped !== 3) throw new Error("tersolite/view: " + JSON.stringify(c));'
echo "installed $tarball into $dest"
