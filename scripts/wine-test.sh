#!/usr/bin/env bash
# Runs one Windows test program under Wine for CTest: wine-test.sh <program.exe> [arguments]
#
# Cases known to fail on this Wine are listed, with the issue whose change
# makes them pass, in tests/known-failures/wine-<major>.txt under the CTest
# test's name (DOCEVENTDLG_TEST_NAME) or a pattern of names: the program runs
# without them and must pass, then each runs alone and must fail; one that
# passes fails the test, so that its line is taken off the list.
#
# A program that crashes normally gets Wine's debugger (set up by use_wine_prefix),
# which prints the fault, the faulting module and a backtrace and ends it. A
# crash inside the process heap leaves the heap's lock held, and then the
# program can start neither the debugger nor its own exit; a crash inside a
# window procedure is ignored by Wine and can leave a lock held the same way.
# Either would wait until CTest's timeout. So when the program is still there
# some time after Wine announced the crash, or a thread has waited as long for
# a lock, or the program has not ended that long after its tests' summary,
# this names the module that holds the faulting address, prints the threads'
# stacks through gdb when gdb is installed, and ends the program, which fails
# it.
set -uo pipefail

grace=${WINE_CRASH_GRACE_SECONDS:-60}
log=$(mktemp)
trap 'rm -f "$log"' EXIT

# Wine's load trace gives every module's base, for naming a faulting module,
# and its exception trace the address of every exception; both go to the log
# only. Its error lines (a lock waited for too long, an exception it ignored)
# are shown.
export WINEDEBUG="${WINEDEBUG:+$WINEDEBUG,}+loaddll,+seh,err+sync"

# Names the module that holds address $1: the one loaded at the highest base
# at or below it, from Wine's load trace in the log.
fault_in_module() {
  local want=$1 name="" best=-1 path base
  while read -r path base; do
    base=$((16#$base))
    if [ "$base" -le "$want" ] && [ "$base" -gt "$best" ]; then
      best=$base; name=$path
    fi
  done < <(sed -n 's/.*:loaddll:.*Loaded L"\(.*\)" at \([0-9A-Fa-f]*\).*/\1 \2/p' "$log" | sed 's/.*\\//')
  if [ -z "$name" ]; then
    printf 'wine-test: faulting address 0x%x is in no loaded module\n' "$want"
  else
    printf 'wine-test: faulting address 0x%x is in %s at +0x%x\n' "$want" "$name" $((want - best))
  fi
}

# Names where the program crashed, prints its threads' stacks and ends it.
end_stuck_program() {
  local reason=$1 address=$2
  echo "wine-test: $reason; ending the program"
  if [ -n "$address" ]; then
    fault_in_module "$((16#$address))"
  fi
  if command -v gdb >/dev/null; then
    echo "wine-test: stacks of the program's threads:"
    timeout 120 gdb -batch -nx -p "$pid" -ex 'thread apply all bt 25' 2>/dev/null \
      | grep -E '^(Thread|#)' || true
  fi
  kill -KILL "$pid" 2>/dev/null
}

# Watches the running program beside it; the program's end is waited for
# below, so a passing program costs no polling delay. Three signs of a program
# that cannot end: Wine announced a crash and the program is still there after
# the grace period, or a thread has waited for a lock that long (Wine says so),
# whose holder crashed in a window procedure (Wine ignores such exceptions)
# or is deadlocked, or the program printed its tests' summary that long ago
# and has not ended.
watch_for_stuck_crash() {
  local crash_seen="" lock_seen="" summary_seen="" address
  trap '' PIPE  # a reader that went away must not stop the program's end
  while kill -0 "$pid" 2>/dev/null; do
    if [ -z "$crash_seen" ] && grep -q 'wine: Unhandled .*starting debugger' "$log"; then
      crash_seen=$SECONDS
    fi
    # Wine reports a lock waited for 5 s, then again every 60 s.
    if [ -z "$lock_seen" ] && grep -q 'err:sync:RtlpWaitForCriticalSection.*wait timed out' "$log"; then
      lock_seen=$SECONDS
    fi
    if [ -n "$crash_seen" ] && [ $((SECONDS - crash_seen)) -ge "$grace" ]; then
      address=$(grep -o 'wine: Unhandled .* at address [0-9A-Fa-f]*' "$log" | head -1 | sed 's/.* //')
      end_stuck_program "the program was still there ${grace} s after its crash" "$address"
      return
    fi
    if [ -z "$summary_seen" ] && grep -q -E '^\[  PASSED  \] [0-9]+ tests?\.|^ *[0-9]+ FAILED TESTS?$' "$log"; then
      summary_seen=$SECONDS
    fi
    if [ -n "$summary_seen" ] && [ $((SECONDS - summary_seen)) -ge "$grace" ]; then
      end_stuck_program "the program was still there ${grace} s after its last test" ""
      return
    fi
    if [ -n "$lock_seen" ] && [ $((SECONDS - lock_seen)) -ge "$grace" ]; then
      address=$(sed -n 's/.*:seh:dispatch_exception code=c0000005 .*addr=\([0-9A-Fa-f]*\).*/\1/p' "$log" | tail -1)
      [ -z "$address" ] || echo "wine-test: the last access violation was at 0x$address"
      end_stuck_program "a thread has waited $((grace + 5)) s for a lock whose holder crashed or is deadlocked" \
        "$address"
      return
    fi
    sleep 0.5
  done
}

# Runs the program with arguments $@, beside the watcher; returns its exit
# code. A program ended by the watcher reports the signal (137): a failure.
run_program() {
  : > "$log"
  # The program writes to the log, which is shown as it grows: a process Wine
  # starts on the program's behalf (its desktop, a service) inherits only the
  # log, never CTest's pipe, so it cannot keep CTest waiting once the program
  # has ended.
  wine "$@" >> "$log" 2>&1 &
  pid=$!
  tail -s 0.1 -n +1 -f --pid="$pid" "$log" | grep --line-buffered -v -E ':loaddll:|:trace:seh:|:warn:seh:' &
  local shown=$!
  watch_for_stuck_crash &
  local watcher=$! rc address
  wait "$pid"
  rc=$?
  kill "$watcher" 2>/dev/null
  wait "$watcher" 2>/dev/null
  wait "$shown"
  # A crash is named by its module whatever the debugger managed to print:
  # it does not always get the exception for its backtrace (seen under Wine 10).
  address=$(grep -o 'wine: Unhandled .* at address [0-9A-Fa-f]*' "$log" | head -1 | sed 's/.* //')
  [ -z "$address" ] || fault_in_module "$((16#$address))"
  return "$rc"
}

major=$(wine --version 2>/dev/null | sed -n 's/^wine-\([0-9]*\)\..*/\1/p')
list="$(cd "$(dirname "$0")/.." && pwd)/tests/known-failures/wine-$major.txt"
known=() reasons=()
if [ -n "${DOCEVENTDLG_TEST_NAME:-}" ] && [ -f "$list" ]; then
  while read -r test case reason; do
    # shellcheck disable=SC2053  # the list's name may be a pattern
    if [[ $DOCEVENTDLG_TEST_NAME == $test ]]; then
      known+=("$case")
      reasons+=("$reason")
    fi
  done < <(grep -v -E '^[[:space:]]*(#|$)' "$list")
fi
if [ ${#known[@]} -eq 0 ]; then
  run_program "$@"
  exit
fi

# The program's own filter, if it has one, less the known failures.
program=$1
shift
args=() filter="*"
for arg in "$@"; do
  case $arg in
    --gtest_filter=*) filter=${arg#--gtest_filter=} ;;
    *) args+=("$arg") ;;
  esac
done
excluded=$(IFS=:; echo "${known[*]}")
case $filter in
  *-*) filter="$filter:$excluded" ;;
  *) filter="$filter-$excluded" ;;
esac
rc=0
run_program "$program" "${args[@]}" "--gtest_filter=$filter" || rc=$?
for i in "${!known[@]}"; do
  if run_program "$program" "${args[@]}" "--gtest_filter=${known[$i]}"; then
    echo "wine-test: ${known[$i]} passes under Wine $major now (or names no case): take it off ${list#"$PWD/"}"
    rc=1
  else
    echo "wine-test: known failure under Wine $major: ${known[$i]} (${reasons[$i]})"
  fi
done
exit "$rc"
