#!/usr/bin/env bash
# Runs a Windows program under Wine with the display at another scale:
#
#   bash scripts/run-at-dpi.sh <tree> <dpi> <program.exe> [arguments]
#
# in the prefix <tree>/dpi-<dpi>/wineprefix (set up on first use), with a
# wineserver of its own that ends with the program. Runs inside the caller's
# X session (in_wine_session), beside the tree's own wineserver. CTest runs
# the tests at other scales through it.
set -euo pipefail
tree=$1 dpi=$2
shift 2
. "$(dirname "$0")/lib.sh"
use_dpi_wine_prefix "$tree" "$dpi" >&2
# Wine's own services start with the first program of a server; started here,
# away from the program's output, they cannot hold the caller's pipes open.
# The server outlives its last program by a few seconds only, even when this
# script is stopped before it ends the server itself.
# A server of this prefix can still be running when a process of the last run
# outlived its end (seen under load, where the start then failed without a
# word); it is ended first.
for attempt in 1 2 3; do
  if wineserver -p5 </dev/null >/dev/null 2>&1; then
    break
  fi
  [ "$attempt" -lt 3 ] || { echo "run-at-dpi: no wineserver of its own for $WINEPREFIX" >&2; exit 1; }
  wineserver -k 2>/dev/null || true
  wineserver -w
done
wine wineboot </dev/null >/dev/null 2>&1
rc=0
bash "$(dirname "$0")/wine-test.sh" "$@" || rc=$?
wineserver -k
wineserver -w
exit $rc
