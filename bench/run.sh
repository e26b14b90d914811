#!/usr/bin/env bash
# Times kestrin against cat on the same generated UNF files, in one run:
#   bench/run.sh [RUNS]        (default 5 runs of each command)
# Needs a release build (cmake --preset release && cmake --build --preset release) and
# /usr/bin/time. The files go to $KESTRIN_BENCH_DIR (default build/bench).
set -euo pipefail
cd "$(dirname "$0")/.."

runs=${1:-5}
bin=build/release
data=${KESTRIN_BENCH_DIR:-build/bench}
[ -x "$bin/kestrin" ] && [ -x "$bin/unf_gen" ] || { echo "build the release preset first" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "needs /usr/bin/time (apt-get install time)" >&2; exit 1; }
mkdir -p "$data"

make_file() { # NAME KIND MIB
  [ -s "$data/$1" ] || "$bin/unf_gen" "$2" "$3" > "$data/$1"
}
make_file typical.unf typical 1024
make_file small.unf small 1024
make_file typical64.unf typical 64
make_file small16.unf small 16

# One timed run: prints the wall time in microseconds and the peak resident size in KiB.
# The sync first keeps each run from paying for the writeback of the one before.
timed() {
  local start end
  sync
  start=$(date +%s%N)
  /usr/bin/time -f %M -o "$data/rss" "$@" > /dev/null 2>&1 || true
  end=$(date +%s%N)
  echo "$(( (end - start) / 1000 )) $(cat "$data/rss")"
}

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

kestrin_modes=("insert:10 4 32" "remove:10 4 /R" "check:0 120 /C")

bench_file() { # NAME
  local src=$data/$1 dst=$data/out.unf
  cat "$src" > /dev/null
  : > "$data/times"
  for ((run = 1; run <= runs; run++)); do
    read -r cat_us cat_rss < <(timed sh -c 'cat "$1" > "$2"' sh "$src" "$dst")
    for mode in "${kestrin_modes[@]}"; do
      read -r us rss < <(timed "$bin/kestrin" "$src" "$dst" ${mode#*:})
      echo "${mode%%:*} $us $rss $cat_us" >> "$data/times"
    done
    echo "cat $cat_us $cat_rss $cat_us" >> "$data/times"
  done
  for name in cat insert remove check; do
    local wall ratio rss
    wall=$(awk -v m="$name" '$1 == m { print $2 / 1e6 }' "$data/times" | median)
    ratio=$(awk -v m="$name" '$1 == m { print $2 / $4 }' "$data/times" | median)
    rss=$(awk -v m="$name" '$1 == m { print $3 }' "$data/times" | sort -n | tail -1)
    printf '%-14s %-7s %8.3f s %8.2f x cat %8.1f MiB\n' "$1" "$name" "$wall" "$ratio" \
      "$(echo "$rss" | awk '{ print $1 / 1024 }')"
  done
  rm -f "$dst"
}

echo "file           command   median wall   ratio (median)   peak RSS   ($runs runs)"
for file in typical.unf small.unf typical64.unf; do
  bench_file "$file"
done

if command -v valgrind > /dev/null; then
  valgrind --tool=callgrind --callgrind-out-file=/dev/null --log-file="$data/callgrind.log" \
    "$bin/kestrin" "$data/small16.unf" "$data/out.unf" 10 4 32 > /dev/null 2> "$data/summary"
  instructions=$(sed -n 's/.*Collected : \([0-9]*\).*/\1/p' "$data/callgrind.log")
  records=$(sed -n 's/.*Updated \([0-9]*\) Lines.*/\1/p' "$data/summary")
  rejected=$(sed -n 's/^Rejected \([0-9]*\) Lines.*/\1/p' "$data/summary")
  records=$((records + ${rejected:-0}))
  echo "callgrind, small16.unf, insert: $instructions instructions, $records records," \
    "$((instructions / records)) instructions a record"
  rm -f "$data/out.unf"
fi
