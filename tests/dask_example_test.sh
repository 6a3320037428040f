#!/usr/bin/env bash
# Runs examples/dask_shrink.py on a local cluster of two workers and checks
# that its output equals the command-line tool's for the same JSON Lines.
# Usage: dask_example_test.sh CLI LIBRARY SOURCE PYTHON... (the first PYTHON
# that has dask.distributed runs it; exits 77, skipped, when none has).
set -euo pipefail
cli=$1 library=$2 source=$3
shift 3
python=
for candidate in "$@" /usr/bin/python3; do
  if "$candidate" -c 'import dask.distributed' 2>/dev/null; then python=$candidate; break; fi
done
if [[ -z $python ]]; then
  echo "skipped: no Python here has dask.distributed (Debian: apt-get install python3-distributed)"
  exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/in"

# Three files: the example's records one per line, the whole example on one
# line, and a file with a blank line and a line the library refuses.
"$python" - "$source/examples/issues.json" "$work/in" <<'PY'
import json, sys
records = json.load(open(sys.argv[1], encoding="utf-8"))
with open(f"{sys.argv[2]}/a-records.jsonl", "w", encoding="utf-8") as f:
    f.writelines(json.dumps(r, ensure_ascii=False) + "\n" for r in records)
with open(f"{sys.argv[2]}/b-whole.jsonl", "w", encoding="utf-8") as f:
    f.write(json.dumps(records) + "\n" + json.dumps(records[::-1]) + "\n")
with open(f"{sys.argv[2]}/c-mixed.jsonl", "w", encoding="utf-8") as f:
    f.write('{"id": 1, "tags": ["a", "b"]}\n\n{"broken": \n[1, 2, 3]')
PY

status=0
PYTHONPATH="$source/bindings/python" TERSOLITE_LIBRARY="$library" \
  "$python" "$source/examples/dask_shrink.py" --max-chars 600 --strategy condense --query "open crash" \
  "$work/in" "$work/out" 2>"$work/errors" || status=$?
if [[ $status != 1 ]] || ! grep -q "c-mixed.jsonl:3: invalid JSON input" "$work/errors"; then
  echo "the refused line was not reported (status $status):"; cat "$work/errors"; exit 1
fi

flags=(--max-chars 600 --strategy condense --query "open crash" --indent 0)
for f in "$work"/in/*.jsonl; do
  if "$cli" --help 2>&1 | grep -q -- --lines; then
    "$cli" "${flags[@]}" --lines "$f" 2>/dev/null || true
  else  # a tool without --lines: one run per line gives the same answers
    while IFS= read -r line || [[ -n $line ]]; do
      [[ -n ${line//[[:space:]]/} ]] || continue
      if answer=$(printf '%s' "$line" | "$cli" "${flags[@]}" - 2>/dev/null); then echo "$answer"; fi
    done <"$f"
  fi
done >"$work/expected"
cat "$work"/out/*.jsonl >"$work/actual"
test "$(wc -l <"$work/actual")" -ge 15
if ! cmp -s "$work/expected" "$work/actual"; then
  echo "the Dask job and the command-line tool differ:"; diff "$work/expected" "$work/actual" | head -20; exit 1
fi
echo "ok: $(wc -l <"$work/actual") lines shrunk alike by $python on two workers"
