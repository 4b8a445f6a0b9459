#!/usr/bin/env bash
# The test command's background jobs: the status a job ends with is the one
# its waiter gets, also once bash has forgotten the job because a later child
# took its process ID. That case sets the kernel's next process ID, which
# needs root.
set -euo pipefail
cd "$(dirname "$0")/../.."
. scripts/lib.sh

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

stops_at_first_failure() { false; echo "went on after a failure"; }
# A job that has ended, then a later child of this shell given its ID.
# Returns 2 where this machine does not let the next ID be set.
reuse_id() {
  local id=$1 tries=0 got
  until [ "$tries" -ge 20 ]; do
    { echo $((id - 1)) >/proc/sys/kernel/ns_last_pid; } 2>/dev/null || return 2
    sh -c 'echo $$' >"$work/id"
    got=$(<"$work/id")
    [ "$got" != "$id" ] || return 0
    tries=$((tries + 1))
  done
  return 1
}

# name | job | expected status | ID reused before the wait
cases=(
  "succeeds|true|0|no"
  "fails with its own status|bash -c 'exit 3'|3|no"
  "stops at its first failure|stops_at_first_failure|1|no"
  "succeeded, its ID taken since|true|0|yes"
)
for row in "${cases[@]}"; do
  IFS='|' read -r name job expected reuse <<<"$row"
  eval "start_background \"\$work/status\" $job" >"$work/out" 2>&1
  pid=$!
  if [ "$reuse" = yes ]; then
    while kill -0 "$pid" 2>/dev/null; do sleep 0.05; done
    reused=0
    reuse_id "$pid" || reused=$?
    if [ "$reused" -eq 2 ]; then
      echo "skipped: $name: the next process ID cannot be set here"
      continue
    fi
    if [ "$reused" -ne 0 ]; then
      echo "FAILED: $name: could not give process ID $pid to another child"
      failures=$((failures + 1))
      continue
    fi
    plain=0
    wait "$pid" 2>/dev/null || plain=$?
    # Bash has really forgotten the job, or the case tests nothing.
    [ "$plain" -eq 127 ] || { echo "FAILED: $name: bash still knew the job ($plain)"; failures=$((failures + 1)); }
  fi
  status=0
  wait_background "$pid" "$work/status" || status=$?
  if [ "$status" -ne "$expected" ] || grep -q "went on" "$work/out"; then
    echo "FAILED: $name: status $status, expected $expected; output: $(cat "$work/out")"
    failures=$((failures + 1))
  else
    echo "passed: $name"
  fi
done
[ "$failures" -eq 0 ]
