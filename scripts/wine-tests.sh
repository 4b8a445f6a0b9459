#!/usr/bin/env bash
# Runs every Windows test program of a built tree, then the consumer project,
# under the Wine of the system it runs on: Debian 12's (Wine 8) on the
# machine itself, Debian 13's (Wine 10) in the Debian 13 root, where
# scripts/test.sh starts it through in_debian13_root. Every line it prints
# starts with that Wine's version, so that each result says where it comes from.
#
#   bash scripts/wine-tests.sh <tree> <consumer tree> [ctest arguments]
#
# With ctest arguments (for example -R display_scale) only the matching
# programs of the tree run, and the consumer does not.
set -uo pipefail
cd "$(dirname "$0")/.."
. scripts/lib.sh

tree=$1 consumer=$2
shift 2
label=$(wine_label)
tag="[wine $(wine --version 2>/dev/null | sed -n 's/^wine-\([0-9.]*\).*/\1/p')]"

run() {
  echo "== $label: every Wine test program of $tree"
  use_wine_prefix "$tree" || return 1
  local rc=0
  # Every program runs once: a failure, a crash or a timeout fails the run.
  in_wine_session ctest --test-dir "$tree" --output-on-failure --timeout 900 "$@" || rc=1
  if [ $# -eq 0 ]; then
    echo "== $label: the consumer project in $consumer"
    in_wine_session ctest --test-dir "$consumer" --output-on-failure --timeout 120 || rc=1
  fi
  local list="tests/known-failures/wine-$(wine_major).txt"
  if [ -f "$list" ] && grep -qvE '^[[:space:]]*(#|$)' "$list"; then
    echo "== $label: known failures, each run alone, expected to fail ($list):"
    grep -vE '^[[:space:]]*(#|$)' "$list" | sed 's/^/   /'
  fi
  if [ $rc -eq 0 ]; then
    echo "== $label: passed in $SECONDS s"
  else
    echo "== $label: FAILED after $SECONDS s"
  fi
  return $rc
}

run "$@" 2>&1 | sed -u "s/^/$tag /"
exit "${PIPESTATUS[0]}"
