#!/usr/bin/env bash
# Builds the checked-out commit twice, from two copies of its sources in two
# different folders, and compares what ships: the DLL, its PDB, both import
# libraries and the ZIP. Prints the SHA-256 of each; fails when the two builds
# differ in any byte. Only the library and the package are built (no tests).
# Usage: scripts/reproduce.sh [work folder]   (default: a new temporary folder)
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/lib.sh
ensure_packages

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
    cd build && cpack >/dev/null
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
