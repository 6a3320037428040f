#!/usr/bin/env bash
# Runs browser tests: run_tests.sh CLI SCREENSHOT_DIR TEST.js...
# CLI may be empty for tests that need no command-line tool. Exits 77
# (skipped) without Node, Chromium or puppeteer-core.
set -euo pipefail
cd "$(dirname "$0")"
command -v node >/dev/null || { echo "node not found: skipped"; exit 77; }
[[ -x /usr/bin/chromium ]] || { echo "chromium not installed: skipped"; exit 77; }
[[ -d node_modules/puppeteer-core ]] || { echo "puppeteer-core not installed (npm ci in tests/browser): skipped"; exit 77; }
cli=$1 shots=$2
shift 2
TERSOLITE_CLI="$cli" SCREENSHOT_DIR="$shots" node --test "$@"
