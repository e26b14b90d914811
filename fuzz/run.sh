#!/usr/bin/env bash
# Fuzzes the real binary with AFL++ under the address and undefined-behaviour
# sanitizers, one campaign for each mode:
#   fuzz/run.sh [SECONDS] [MODE...]   (default 15 seconds each: insert remove check debug)
# Exits 1 when any campaign saved a crash or a hang; they stay in build/fuzz/findings-MODE.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-15}
shift || true
modes=("$@")
[ ${#modes[@]} -gt 0 ] || modes=(insert remove check debug)

export AFL_QUIET=1
cmake --preset fuzz > /dev/null
cmake --build --preset fuzz > /dev/null

export AFL_SKIP_CPUFREQ=1 AFL_I_DONT_CARE_ABOUT_MISSING_CRASHES=1 AFL_NO_UI=1 AFL_NO_AFFINITY=1
export ASAN_OPTIONS=abort_on_error=1:symbolize=0:detect_leaks=0
export UBSAN_OPTIONS=halt_on_error=1:abort_on_error=1:symbolize=0

settings() {
  case $1 in
    insert) echo "3 2 65" ;;
    remove) echo "3 2 /R" ;;
    check) echo "0 4 /C" ;;
    debug) echo "1 1 66 /D" ;;
    *) echo "unknown mode $1" >&2; exit 2 ;;
  esac
}

stat_of() { sed -n "s/^$1 *: *//p" "$2"; }

found=0
for mode in "${modes[@]}"; do
  args=$(settings "$mode")
  out=build/fuzz/findings-$mode
  rm -rf "$out"
  # shellcheck disable=SC2086 # the settings are separate arguments
  afl-fuzz -i fuzz/corpus -o "$out" -x fuzz/unf.dict -m none -t 2000 -V "$seconds" \
    -- build/fuzz/kestrin @@ /dev/null $args > "$out.log" 2>&1
  stats=$out/default/fuzzer_stats
  crashes=$(stat_of saved_crashes "$stats")
  hangs=$(stat_of saved_hangs "$stats")
  echo "$mode ($args): $(stat_of execs_done "$stats") executions," \
    "corpus $(stat_of corpus_count "$stats"), $crashes crashes, $hangs hangs"
  [ "$crashes" = 0 ] && [ "$hangs" = 0 ] || found=1
done
exit $found
