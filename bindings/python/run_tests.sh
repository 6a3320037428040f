#!/usr/bin/env bash
# Installs the package into a fresh virtual environment, as a user would
# (offline, packing LIBRARY instead of building it again), then runs its
# tests there with no TERSOLITE_LIBRARY: the package must find its own copy.
# Usage: run_tests.sh PYTHON LIBRARY. Exits 77 (skipped) without venv.
set -euo pipefail
python=$1
library=$2
here=$(cd "$(dirname "$0")" && pwd)
venv=$(mktemp -d)
trap 'rm -rf "$venv"' EXIT
# The outer pip installs into the environment: seeding one with its own pip
# takes half a minute.
if ! "$python" -m venv --without-pip "$venv" >/dev/null 2>&1 || ! "$python" -m pip --version >/dev/null 2>&1; then
  echo "skipped: $python lacks venv or pip (Debian: apt-get install python3-venv python3-pip)"
  exit 77
fi
"$python" -m pip --python "$venv/bin/python" install --quiet --disable-pip-version-check --no-index \
  --config-settings "library=$library" "$here"
cd "$venv"
env -u TERSOLITE_LIBRARY "$venv/bin/python" -m unittest discover -s "$here/tests" -v
