#!/usr/bin/env bash
# Runs the whole Wine test suite many times in a row and prints how often each
# program failed. Not part of CI: it looks for faults that show only now and then.
#
#   bash scripts/stress.sh [--rounds N] [--long-rounds M] [--load] [--only REGEX]
#
#   --rounds N       rounds of every program (default 20)
#   --long-rounds M  rounds of the soak and bad-input programs, which take
#                    longest (default N/4, at least 1); they run in the first M
#   --load           keeps one busy loop per processor running beside the tests
#   --only REGEX     only the CTest tests whose names match
#
# Builds once (BUILD_DIR, default build). Each round is one CTest run of the
# programs due in it; the output of every failed program is kept in
# <build>/stress/round-<n>.log. The programs that check the crash report
# (crash_*) crash on purpose and are left out.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/lib.sh

tree=${BUILD_DIR:-build}
rounds=20
long_rounds=""
load=0
only=""
while [ $# -gt 0 ]; do
  case $1 in
    --rounds) rounds=$2; shift 2 ;;
    --long-rounds) long_rounds=$2; shift 2 ;;
    --load) load=1; shift ;;
    --only) only=$2; shift 2 ;;
    *) echo "unknown option: $1" >&2; exit 2 ;;
  esac
done
[ -n "$long_rounds" ] || long_rounds=$(( rounds / 4 > 0 ? rounds / 4 : 1 ))
long_programs='^(soak_test|bad_input_test)$'

build_tree "$tree" >/dev/null
use_wine_prefix "$tree"

mapfile -t programs < <(ctest --test-dir "$tree" -N ${only:+-R "$only"} \
  | sed -n 's/^ *Test *#[0-9]*: \(.*\)$/\1/p' | grep -v '^crash_')
[ ${#programs[@]} -gt 0 ] || { echo "no tests match" >&2; exit 2; }

logs="$tree/stress"
rm -rf "$logs"
mkdir -p "$logs"

busy=()
stop_load() {
  local job
  for job in "${busy[@]}"; do kill "$job" 2>/dev/null || true; done
  busy=()
}
trap stop_load EXIT
if [ "$load" = 1 ]; then
  for _ in $(seq "$(nproc)"); do
    ( while :; do :; done ) &
    busy+=($!)
  done
fi

echo "stress: ${#programs[@]} programs, $rounds rounds ($long_rounds of soak_test and bad_input_test)," \
     "load beside: $([ "$load" = 1 ] && echo "$(nproc) busy loops" || echo none of ours)"
echo "stress: machine load at start: $(cut -d' ' -f1-3 /proc/loadavg)"
started=$SECONDS

# One Wine session for all rounds; each round runs the programs due in it and
# appends "<round> <program> <Passed|Failed>" to the results.
export STRESS_TREE=$tree STRESS_LOGS=$logs STRESS_ROUNDS=$rounds STRESS_LONG_ROUNDS=$long_rounds
export STRESS_LONG_PROGRAMS=$long_programs
printf '%s\n' "${programs[@]}" > "$logs/programs"
in_wine_session bash -c '
  set -u
  for round in $(seq "$STRESS_ROUNDS"); do
    due=()
    while read -r program; do
      if [ "$round" -le "$STRESS_LONG_ROUNDS" ] || ! [[ $program =~ $STRESS_LONG_PROGRAMS ]]; then
        due+=("$program")
      fi
    done < "$STRESS_LOGS/programs"
    pattern="^($(IFS="|"; echo "${due[*]}"))\$"
    ctest --test-dir "$STRESS_TREE" -R "$pattern" --output-on-failure --timeout 900 \
      > "$STRESS_LOGS/round-$round.log" 2>&1 || true
    sed -n "s/^ *[0-9]*\/[0-9]* *Test *#[0-9]*: \([^ ]*\) \.*[ *]*\([A-Za-z]*\).*/$round \1 \2/p" \
      "$STRESS_LOGS/round-$round.log" >> "$STRESS_LOGS/results"
    failed=$(awk -v round="$round" '"'"'$1 == round && $3 != "Passed"'"'"' "$STRESS_LOGS/results" | wc -l)
    echo "round $round: ${#due[@]} programs, $failed failed ($(cut -d" " -f1 /proc/loadavg) load)"
    if [ "$failed" = 0 ]; then rm -f "$STRESS_LOGS/round-$round.log"; fi
  done
'
stop_load

echo
printf '%-34s %s\n' program "failed / runs"
while read -r program; do
  runs=$(awk -v program="$program" '$2 == program' "$logs/results" | wc -l)
  failures=$(awk -v program="$program" '$2 == program && $3 != "Passed"' "$logs/results" | wc -l)
  printf '%-34s %s / %s\n' "$program" "$failures" "$runs"
done < "$logs/programs"
echo
echo "stress: wall time $(( (SECONDS - started) / 60 )) min $(( (SECONDS - started) % 60 )) s;" \
     "machine load at end: $(cut -d' ' -f1-3 /proc/loadavg)"
if awk '$3 != "Passed"' "$logs/results" | grep -q .; then
  echo "stress: the failed programs' output is in $logs/round-*.log"
fi
