#!/usr/bin/env bash
# The WebAssembly module answers every generated request (and the shared
# corpus, when it is beside the repository) with the very envelope bytes
# of the native library.
#
#   tests/wasm/parity.sh SOURCE_DIR WASM_FILE [NATIVE_LIBRARY]
#
# Without NATIVE_LIBRARY (or TERSOLITE_NATIVE_LIBRARY), the library of the
# test, release or debug preset is used; without any, the test is skipped.
set -euo pipefail
src=$1 wasm=$2 native=${3:-${TERSOLITE_NATIVE_LIBRARY:-}}
if [[ -z $native ]]; then
  for preset in test release debug; do
    if [[ -f $src/build/$preset/libtersolite.so ]]; then
      native=$src/build/$preset/libtersolite.so
      break
    fi
  done
fi
if [[ -z $native || ! -f $native ]]; then
  echo "no native libtersolite.so (cmake --workflow --preset test builds one): skipped"
  exit 77
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
corpus=()
[[ -d $src/../shared/corpus ]] && corpus=(--corpus "$src/../shared/corpus")
python3 "$src/tools/envelope_snapshot.py" requests "$work/requests" "${corpus[@]}"
python3 "$src/tools/envelope_snapshot.py" run --lib "$native" "$work/requests" "$work/native"
node "$src/tools/wasm_envelopes.mjs" "$work/requests" "$work/wasm" "$wasm"
if ! cmp -s "$work/native" "$work/wasm"; then
  python3 "$src/tools/envelope_snapshot.py" diff "$work/native" "$work/wasm" "$work/requests"
  exit 1
fi
echo "every envelope identical to $native's"
