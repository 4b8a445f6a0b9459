#!/usr/bin/env bash
# Builds the checked-out commit twice, from two copies of its sources in two
# different folders, and compares what ships, for x64 and for ARM64: the DLL,
# its PDB, both import libraries and the ZIP (and the ARM64 sample strings,
# which lld-link links there). Prints the SHA-256 of each; fails when the two builds
# differ in any byte. Only the library and the package are built (no tests).
# Usage: scripts/reproduce.sh [work folder]   (default: a new temporary folder)
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/lib.sh
. scripts/arm64.sh
ensure_packages
ensure_arm64_host
ensure_arm64_runtime

work=${1:-$(mktemp -d)}
commit=$(git rev-parse HEAD)
# The package's entries carry the commit's time in both builds.
SOURCE_DATE_EPOCH=$(git log -1 --format=%ct)
export SOURCE_DATE_EPOCH
version=$(sed -n 's/^project(doceventdlg VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
shipped=(
  build/bin/doceventdlg.dll
  build/bin/doceventdlg.pdb
  build/lib/doceventdlg.lib
  build/lib/libdoceventdlg.dll.a
  "build/package/doceventdlg-$version-win64.zip"
  build-arm64/bin/doceventdlg.dll
  build-arm64/bin/doceventdlg.pdb
  build-arm64/lib/doceventdlg.lib
  build-arm64/lib/libdoceventdlg.dll.a
  build-arm64/bin/doceventdlg-strings.dll
  "build-arm64/package/doceventdlg-$version-arm64.zip"
)

# Two folders of different names and depths; the build tree is "build" inside
# each copy of the sources.
copies=("$work/first/doceventdlg" "$work/second/elsewhere/doceventdlg-$commit")
for copy in "${copies[@]}"; do
  rm -rf "$copy"
  mkdir -p "$copy"
  git archive "$commit" | tar -x -C "$copy"
  (
    cd "$copy"
    build_tree build -DDOCEVENTDLG_BUILD_TESTS=OFF >/dev/null
    (cd build && cpack >/dev/null)
    cmake -S . -B build-arm64 -DCMAKE_TOOLCHAIN_FILE="$ARM64_TOOLCHAIN" -DCMAKE_BUILD_TYPE=Release \
          -DDOCEVENTDLG_BUILD_TESTS=OFF >/dev/null
    cmake --build build-arm64 -j"$(nproc)" >/dev/null
    cd build-arm64 && cpack >/dev/null
  )
done

echo "commit $commit"
differ=0
for file in "${shipped[@]}"; do
  first=$(sha256sum "${copies[0]}/$file" | cut -d' ' -f1)
  second=$(sha256sum "${copies[1]}/$file" | cut -d' ' -f1)
  if [ "$first" = "$second" ]; then
    echo "$first  $(basename "$file")"
  else
    echo "DIFFERS: $(basename "$file"): $first / $second"
    differ=1
  fi
done
[ -n "${1:-}" ] || rm -rf "$work"
[ "$differ" -eq 0 ] && echo "both builds are identical"
exit "$differ"
