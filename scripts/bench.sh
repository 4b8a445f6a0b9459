#!/usr/bin/env bash
# Builds the library and its benchmark and runs the benchmark under Wine in a
# virtual X server; prints every figure beside its peer and a summary table.
#   bash scripts/bench.sh [--dpi N] [--rounds N]   (BUILD_DIR picks the tree; default build)
# --dpi runs it with the display at N DPI (96 is 100 %), in the tree's prefix of that scale.
# Then, under Wine 10 (Debian 13 root, as root), the two-sided instructions'
# paint in a host that declares no DPI awareness (the benchmark declares none)
# at 96 and at 144 DPI, side by side: there the dialog is laid out at 144 and
# draws its pictures from the larger artwork (aim: at most twice the 96-DPI
# paint). --no-wine10 leaves that out.
# The benchmark is timing: run it on a quiet machine, and more than once.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/lib.sh

tree=${BUILD_DIR:-build}
dpi=
wine10=1
while [ $# -gt 0 ]; do
  case $1 in
    --dpi) dpi=$2; shift 2 ;;
    --no-wine10) wine10=0; shift ;;
    *) break ;;
  esac
done
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

[ "$wine10" = 1 ] || exit 0
. scripts/debian13-root.sh
ensure_debian13_root
echo
echo "== the two-sided instructions' paint in an unaware host, under Wine 10"
# shellcheck disable=SC2016
in_debian13_root bash -euc '. scripts/lib.sh; tree=$1; exe=$tree/bin/doceventdlg_bench.exe
  use_wine_prefix "$tree"
  paint() { grep -m1 "^duplex WM_PAINT" | awk "{print \$5}"; }
  at96=$(in_wine_session wine "$exe" --only duplex | tee /dev/stderr | paint)
  at144=$(in_wine_session bash scripts/run-at-dpi.sh "$tree" 144 "$exe" --only duplex | tee /dev/stderr | paint)
  echo
  printf "%-44s %10s\n" "duplex WM_PAINT, unaware host, Wine 10" "median"
  printf "%-44s %10s us\n" "at 96 DPI" "$at96" "at 144 DPI (pictures from the larger artwork)" "$at144"
  awk -v a="$at96" -v b="$at144" "BEGIN { if (a > 0) printf \"ratio 144 / 96: %.2f (aim: at most 2.00, %s)\n\", b / a, (b / a <= 2 ? \"met\" : \"missed\") }"' \
  bench "$tree"
