#!/usr/bin/env bash
# Runs the browser tests against the CLI given, saving screenshots in the
# folder given; exits 77 (skipped) without Node, Chromium or puppeteer-core.
set -euo pipefail
cd "$(dirname "$0")"
command -v node >/dev/null || { echo "node not found: skipped"; exit 77; }
[[ -x /usr/bin/chromium ]] || { echo "chromium not installed: skipped"; exit 77; }
[[ -d node_modules/puppeteer-core ]] || { echo "puppeteer-core not installed (npm ci in tests/browser): skipped"; exit 77; }
TERSOLITE_CLI="$1" SCREENSHOT_DIR="$2" node --test ./*.test.js
