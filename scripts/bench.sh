#!/usr/bin/env bash
# Builds the library and its benchmark and runs the benchmark under Wine in a
# virtual X server; prints every figure beside its peer and a summary table.
#   bash scripts/bench.sh [--dpi N] [--rounds N]   (BUILD_DIR picks the tree; default build)
# --dpi runs it with the display at N DPI (96 is 100 %), in the tree's prefix of that scale.
# The benchmark is timing: run it on a quiet machine, and more than once.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/lib.sh

tree=${BUILD_DIR:-build}
dpi=
if [ "${1:-}" = "--dpi" ]; then
  dpi=$2
  shift 2
fi
ensure_packages
cmake -S . -B "$tree" --no-warn-unused-cli -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" \
      -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$tree" --target doceventdlg_bench -j"$(nproc)" >/dev/null
use_wine_prefix "$tree"
if [ -n "$dpi" ]; then
  in_wine_session bash scripts/run-at-dpi.sh "$tree" "$dpi" "$tree/bin/doceventdlg_bench.exe" "$@"
else
  in_wine_session wine "$tree/bin/doceventdlg_bench.exe" "$@"
fi
