#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine (as root), builds everything and runs every
# test: the Windows programs under Wine in a virtual X server; the installed
# package, checked and used by a separate consumer project; two builds compared
# byte for byte; then the native fuzzer for a bounded time.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/lib.sh

tree=${BUILD_DIR:-build}
ensure_packages
build_tree "$tree"
build_gcc_tree "$tree-gcc"
use_wine_prefix "$tree"
# Every program runs once: a failure, a crash or a timeout fails the run.
in_wine_session ctest --test-dir "$tree" --output-on-failure --timeout 900

# The package as a driver team receives it.
run_consumer "$tree" "$tree/install" "$tree-consumer"
bash scripts/check-package.sh "$tree/install" "$tree/package-check"
(cd "$tree" && cpack >/dev/null)
bash scripts/reproduce.sh

native="$tree-native"
cmake -S fuzz -B "$native" -DCMAKE_CXX_COMPILER=clang++-14 >/dev/null
cmake --build "$native" -j"$(nproc)"
ctest --test-dir "$native" --output-on-failure
