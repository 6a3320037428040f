#!/usr/bin/env bash
# Times the tersolite CLI against `jq -c .` and a RapidJSON parse + write
# (UTF-8 validation, full precision) on the same generated files, whole
# process, median of RUNS runs, with peak memory from /usr/bin/time -v.
#
#   bench/compare.sh [SIZES_MB...]     (default: 1 10 100; RUNS=3)
set -euo pipefail
cd "$(dirname "$0")/.."
sizes=("$@")
((${#sizes[@]})) || sizes=(1 10 100)
runs=${RUNS:-3}
dir=${BENCH_DIR:-/tmp/tersolite-bench}
mkdir -p "$dir"

cmake --preset bench >/dev/null
cmake --build --preset bench >/dev/null
bin=build/bench
[[ -x $bin/bench/rapidjson_roundtrip ]] || { echo "rapidjson-dev is needed for the comparison" >&2; exit 1; }

# median_run FILE CMD...: prints "seconds peak_MiB" (median of the runs)
median_run() {
  local times=() mems=()
  for ((i = 0; i < runs; i++)); do
    local out
    /usr/bin/time -v -o "$dir/time.txt" "$@" >/dev/null 2>&1 || true
    out=$(cat "$dir/time.txt")
    times+=("$(awk -F': ' '/Elapsed \(wall clock\)/ {split($2, t, ":"); s = t[length(t)]; m = (length(t) > 1) ? t[length(t) - 1] : 0; print m * 60 + s}' <<<"$out")")
    mems+=("$(awk -F': ' '/Maximum resident set size/ {printf "%.0f", $2 / 1024}' <<<"$out")")
  done
  printf '%s %s\n' "$(printf '%s\n' "${times[@]}" | sort -g | sed -n "$(((runs + 1) / 2))p")" \
                   "$(printf '%s\n' "${mems[@]}" | sort -g | sed -n "$(((runs + 1) / 2))p")"
}

printf '%-8s %5s | %-22s %-22s %-22s %-22s | %8s %8s\n' shape MB "rapidjson (s, MiB)" "jq -c . (s, MiB)" \
  "tersolite fits" "tersolite 10k" "vs rapid" "vs jq"
for shape in issues logs; do
  for mb in "${sizes[@]}"; do
    file="$dir/$shape-$mb.json"
    [[ -f $file ]] || $bin/bench/docgen "$shape" "$mb" "$file"
    read -r rt rm < <(median_run $bin/bench/rapidjson_roundtrip "$file")
    if command -v jq >/dev/null; then read -r jt jm < <(median_run jq -c . "$file"); else jt=nan jm=nan; fi
    read -r ft fm < <(median_run $bin/tersolite --max-chars 18446744073709551615 --indent 0 "$file")
    read -r st sm < <(median_run $bin/tersolite --max-chars 10000 --indent 0 "$file")
    printf '%-8s %5s | %8.3f %6s MiB     %8.3f %6s MiB     %8.3f %6s MiB     %8.3f %6s MiB     | %7.2fx %7.2fx\n' \
      "$shape" "$mb" "$rt" "$rm" "$jt" "$jm" "$ft" "$fm" "$st" "$sm" \
      "$(awk -v a="$st" -v b="$rt" 'BEGIN {print a / b}')" "$(awk -v a="$jt" -v b="$st" 'BEGIN {print a / b}')"
  done
done
echo "vs rapid: tersolite 10k time / RapidJSON time (lower is better); vs jq: jq time / tersolite 10k time"
