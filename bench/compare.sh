#!/usr/bin/env bash
# Times the tersolite CLI against `jq -c .` and a RapidJSON parse + write
# (UTF-8 validation, full precision) on the same generated files, whole
# process, median of RUNS runs, with peak memory from /usr/bin/time -v.
#
#   bench/compare.sh [SIZES_MB...]     (default: 1 10 100; RUNS=3)
#
# MODE=warm runs back to back; MODE=cold sleeps PAUSE seconds (default 3)
# before each run, as a host that calls now and then would: on a virtual
# machine the memory freed by the last run is then handed back, and each
# run pays again for the pages it touches. MODE=both (the default) prints
# both. SHAPES picks the generated documents (default: all of docgen's);
# JQ=0 leaves jq out (its column then reads 0). CLI=path times another
# tersolite CLI (an earlier build) in place of this tree's.
set -euo pipefail
cd "$(dirname "$0")/.."
.ci/deps rapidjson-dev jq
sizes=("$@")
((${#sizes[@]})) || sizes=(1 10 100)
runs=${RUNS:-3}
mode=${MODE:-both}
jq=${JQ:-1}
pause=${PAUSE:-3}
read -ra shapes <<<"${SHAPES:-issues logs catalog wide strings ints geo}"
dir=${BENCH_DIR:-/tmp/tersolite-bench}
mkdir -p "$dir"

cmake --preset bench >/dev/null
cmake --build --preset bench >/dev/null
bin=build/bench
cli=${CLI:-$bin/tersolite}
[[ -x $bin/bench/rapidjson_roundtrip ]] || { echo "rapidjson-dev is needed for the comparison" >&2; exit 1; }

# median_run CMD...: prints "seconds peak_MiB" (medians of the runs). Wall time
# from the shell's clock (time -v rounds to 10 ms), peak memory from time -v.
median_run() {
  local times=() mems=()
  for ((i = 0; i < runs; i++)); do
    ((cold)) && sleep "$pause"
    local start=$EPOCHREALTIME
    /usr/bin/time -v -o "$dir/time.txt" "$@" >/dev/null 2>&1 || true
    times+=("$(awk -v a="$start" -v b="$EPOCHREALTIME" 'BEGIN {print b - a}')")
    mems+=("$(awk -F': ' '/Maximum resident set size/ {printf "%.0f", $2 / 1024}' "$dir/time.txt")")
  done
  printf '%s %s\n' "$(printf '%s\n' "${times[@]}" | sort -g | sed -n "$(((runs + 1) / 2))p")" \
                   "$(printf '%s\n' "${mems[@]}" | sort -g | sed -n "$(((runs + 1) / 2))p")"
}

cold=0
cell() { printf '%7.3f s %4s MiB' "$1" "$2"; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2f", a / b}'; }

printf '%-13s %4s | %-17s | %-17s | %-17s | %-17s | %-17s | %7s %6s %9s\n' shape MB "rapidjson" "jq -c ." \
  "tersolite fits" "sample 10k" "condense 10k" "vs rapid" "vs jq" "cond/samp"
modes=(warm cold)
[[ $mode == both ]] || modes=("$mode")
for shape in "${shapes[@]}"; do
  for mb in "${sizes[@]}"; do
    file="$dir/$shape-$mb.json"
    [[ -f $file ]] || $bin/bench/docgen "$shape" "$mb" "$file"
    for m in "${modes[@]}"; do
      cold=0
      [[ $m == cold ]] && cold=1
      read -r rt rm < <(median_run $bin/bench/rapidjson_roundtrip "$file")
      jt=0 jm=0
      ((jq)) && read -r jt jm < <(median_run jq -c . "$file")
      read -r ft fm < <(median_run $cli --max-chars 18446744073709551615 --indent 0 "$file")
      read -r st sm < <(median_run $cli --max-chars 10000 --indent 0 "$file")
      read -r ct cm < <(median_run $cli --max-chars 10000 --indent 0 --strategy condense "$file")
      printf '%-13s %4s | %s | %s | %s | %s | %s | %6sx %5sx %8sx\n' "$shape $m" "$mb" "$(cell "$rt" "$rm")" \
        "$(cell "$jt" "$jm")" "$(cell "$ft" "$fm")" "$(cell "$st" "$sm")" "$(cell "$ct" "$cm")" \
        "$(ratio "$st" "$rt")" "$(ratio "$jt" "$st")" "$(ratio "$ct" "$st")"
    done
  done
done
echo "vs rapid: sample 10k / RapidJSON (lower is better); vs jq: jq / sample 10k; cond/samp: condense / sample"

# YAML in and out: the issue records written as YAML by the CLI, then shrunk.
[[ " ${shapes[*]} " == *" issues "* ]] || exit 0
echo
printf '%-13s %4s | %-17s | %-10s\n' yaml MB "sample 10k" "s per MB"
for mb in "${sizes[@]}"; do
  file="$dir/issues-$mb.yaml"
  [[ -f $file ]] || $cli --max-chars 18446744073709551615 --format yaml "$dir/issues-$mb.json" >"$file"
  read -r yt ym < <(median_run $cli --max-chars 10000 "$file")
  printf '%-7s %4s | %s | %10.4f\n' issues "$mb" "$(cell "$yt" "$ym")" "$(awk -v a="$yt" -v b="$mb" 'BEGIN {print a / b}')"
done
