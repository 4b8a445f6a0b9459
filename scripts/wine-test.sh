#!/usr/bin/env bash
# Runs one Windows test program under Wine for CTest: wine-test.sh <program.exe> [arguments]
#
# A program that crashes normally gets Wine's debugger (set up by use_wine_prefix),
# which prints the fault, the faulting module and a backtrace and ends it. A
# crash inside the process heap leaves the heap's lock held, and then the
# program can start neither the debugger nor its own exit: it would wait until
# CTest's timeout. So when the program is still there some seconds after Wine
# announced the crash, this names the module that holds the faulting address,
# prints the threads' stacks through gdb when
# gdb is installed, and ends the program with a failure.
set -uo pipefail

grace=${WINE_CRASH_GRACE_SECONDS:-60}
log=$(mktemp)
trap 'rm -f "$log"' EXIT

# Wine's load trace gives every module's base, for naming a faulting module;
# it goes to the log only.
export WINEDEBUG="${WINEDEBUG:+$WINEDEBUG,}+loaddll"
wine "$@" > >(tee "$log" | grep --line-buffered -v ':loaddll:') 2>&1 &
pid=$!

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

# Watches the running program beside it; the program's end is waited for
# below, so a passing program costs no polling delay.
watch_for_stuck_crash() {
  local crash_seen="" address
  trap '' PIPE  # a reader that went away must not stop the program's end
  while kill -0 "$pid" 2>/dev/null; do
    if [ -z "$crash_seen" ] && grep -q 'wine: Unhandled .*starting debugger' "$log"; then
      crash_seen=$SECONDS
    fi
    if [ -n "$crash_seen" ] && [ $((SECONDS - crash_seen)) -ge "$grace" ]; then
      address=$(grep -o 'wine: Unhandled .* at address [0-9A-Fa-f]*' "$log" | head -1 | sed 's/.* //')
      echo "wine-test: the program was still there ${grace} s after its crash; ending it"
      if [ -n "$address" ]; then
        fault_in_module "$((16#$address))"
      fi
      if command -v gdb >/dev/null; then
        echo "wine-test: stacks of the program's threads:"
        timeout 120 gdb -batch -nx -p "$pid" -ex 'thread apply all bt 25' 2>/dev/null \
          | grep -E '^(Thread|#)' || true
      fi
      kill -KILL "$pid" 2>/dev/null
      return
    fi
    sleep 0.5
  done
}

watch_for_stuck_crash &
watcher=$!
wait "$pid"
rc=$?
kill "$watcher" 2>/dev/null
wait "$watcher" 2>/dev/null
# A program ended by the watcher reports the signal (137): a failure.
exit "$rc"
