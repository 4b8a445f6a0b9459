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
wineserver -p5 </dev/null >/dev/null 2>&1
wine wineboot </dev/null >/dev/null 2>&1
rc=0
bash "$(dirname "$0")/wine-test.sh" "$@" || rc=$?
wineserver -k
wineserver -w
exit $rc
