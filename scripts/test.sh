#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine (as root), builds everything and runs every
# test: the Windows programs under two generations of Wine in a virtual X
# server, Debian 12's Wine 8 on the machine and Debian 13's Wine 10 in a
# Debian 13 root (scripts/debian13-root.sh), with the consumer project on
# both; the library also built with Debian 13's compilers; the installed
# package checked; the ARM64 library, checked, packed and driven under
# emulated ARM64 Wine (scripts/arm64.sh); two builds of each architecture
# compared byte for byte; then the native fuzzer for a bounded time.
#
#   bash scripts/test.sh                      everything
#   bash scripts/test.sh --only wine8 [ARGS]  the build and the Wine 8 programs
#   bash scripts/test.sh --only wine10 [ARGS] the build and the Wine 10 programs
#
# ARGS go to CTest (for example -R display_scale); with them the consumer
# project does not run.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/lib.sh
. scripts/arm64.sh

only=""
if [ "${1:-}" = "--only" ]; then
  only=$2
  shift 2
  case $only in
    wine8 | wine10) ;;
    *) echo "unknown platform: $only (wine8 or wine10)" >&2; exit 2 ;;
  esac
fi

# The test command's own background jobs, before anything waits on one.
bash tests/scripts/background_job_test.sh

tree=${BUILD_DIR:-build}
consumer="$tree-consumer"
[ -n "$only" ] || PACKAGES+=("${ARM64_HOST_PACKAGES[@]}")
ensure_packages
build_tree "$tree"
build_consumer "$tree" "$tree/install" "$consumer"
if [ -z "$only" ]; then
  # The ARM64 runtime and root, when this machine has none yet, are made while
  # the Wine lanes run (those use one core at a time), at a lower priority.
  ensure_arm64_host
  start_background "$tree/arm64-pieces.status" nice -n 10 bash scripts/arm64.sh all >"$tree/arm64-pieces.log" 2>&1
  arm64_pieces=$!
fi

failed=()
if [ "$only" != wine10 ]; then
  bash scripts/wine-tests.sh "$tree" "$consumer" "$@" || failed+=("Wine 8 (Debian 12)")
fi
if [ "$only" != wine8 ]; then
  started=$SECONDS
  ensure_debian13_root
  echo "debian13: root ready after $((SECONDS - started)) s"
  in_debian13_root bash scripts/wine-tests.sh "$tree" "$consumer" "$@" || failed+=("Wine 10 (Debian 13)")
fi
if [ -n "$only" ]; then
  [ ${#failed[@]} -eq 0 ] || { echo "failed: $(printf "%s; " "${failed[@]}")"; exit 1; }
  exit 0
fi

# The sources stay clean for a second compiler and for the next toolchains.
build_gcc_tree "$tree-gcc"
in_debian13_root bash -euc '. scripts/lib.sh; build_debian13_trees "$1"' debian13 "$tree-debian13"

# The package as a driver team receives it.
bash scripts/check-package.sh "$tree/install" "$tree/package-check"
(cd "$tree" && cpack >/dev/null)

# The ARM64 lane: the same library for Windows on Arm, checked, packed beside
# the x64 package and driven under emulated ARM64 Wine.
waited=$SECONDS
wait_background "$arm64_pieces" "$tree/arm64-pieces.status" || { cat "$tree/arm64-pieces.log"; exit 1; }
cat "$tree/arm64-pieces.log"
echo "arm64: waited $((SECONDS - waited)) s for the runtime and the root"
run_arm64_lane "$tree"

bash scripts/reproduce.sh

native="$tree-native"
cmake -S fuzz -B "$native" -DCMAKE_CXX_COMPILER=clang++-14 >/dev/null
cmake --build "$native" -j"$(nproc)"
ctest --test-dir "$native" --output-on-failure

if [ ${#failed[@]} -ne 0 ]; then
  echo "failed after $SECONDS s: $(printf "%s; " "${failed[@]}")"
  exit 1
fi
echo "passed in $SECONDS s: Wine 8 (Debian 12), Wine 10 (Debian 13) and ARM64"
