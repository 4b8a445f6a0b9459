#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine (as root), builds everything and runs every
# test: the Windows programs under Wine in a virtual X server; the installed
# package, checked and used by a separate consumer project; the ARM64 library,
# checked, packed and driven under emulated ARM64 Wine; two builds of each
# architecture compared byte for byte; then the native fuzzer for a bounded time.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/lib.sh

. scripts/arm64.sh

tree=${BUILD_DIR:-build}
PACKAGES+=("${ARM64_HOST_PACKAGES[@]}")
ensure_packages
build_tree "$tree"
build_gcc_tree "$tree-gcc"
use_wine_prefix "$tree"
# The ARM64 runtime and root, when this machine has none yet, are made while
# the x64 tests run (those use one core at a time), at a lower priority.
ensure_arm64_host
nice -n 10 bash scripts/arm64.sh all >"$tree/arm64-pieces.log" 2>&1 &
arm64_pieces=$!
# Every program runs once: a failure, a crash or a timeout fails the run.
in_wine_session ctest --test-dir "$tree" --output-on-failure --timeout 900

# The package as a driver team receives it.
run_consumer "$tree" "$tree/install" "$tree-consumer"
bash scripts/check-package.sh "$tree/install" "$tree/package-check"
(cd "$tree" && cpack >/dev/null)

# The ARM64 lane: the same library for Windows on Arm, checked, packed beside
# the x64 package and driven under emulated ARM64 Wine.
waited=$(date +%s)
wait "$arm64_pieces" || { cat "$tree/arm64-pieces.log"; exit 1; }
cat "$tree/arm64-pieces.log"
echo "arm64: waited $(($(date +%s) - waited)) s for the runtime and the root"
run_arm64_lane "$tree"

bash scripts/reproduce.sh

native="$tree-native"
cmake -S fuzz -B "$native" -DCMAKE_CXX_COMPILER=clang++-14 >/dev/null
cmake --build "$native" -j"$(nproc)"
ctest --test-dir "$native" --output-on-failure
