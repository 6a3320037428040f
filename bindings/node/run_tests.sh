#!/usr/bin/env bash
# Runs the Node tests against LIBRARY; exits 77 (skipped) without Node or koffi.
set -euo pipefail
cd "$(dirname "$0")"
command -v node >/dev/null || { echo "node not found: skipped"; exit 77; }
[[ -d node_modules/koffi ]] || { echo "koffi not installed (npm ci in bindings/node): skipped"; exit 77; }
TERSOLITE_LIBRARY="$1" node --test test/
