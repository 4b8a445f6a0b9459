#!/usr/bin/env bash
# windres writes objects for x86 machines only. For ARM64 it writes the
# compiled resources (.res) instead, and llvm-cvtres turns them into an ARM64
# object, with no time stamp so that the bytes repeat.
# Called as CMake calls windres: windres-arm64.sh -O coff [options] <source> <object>
set -euo pipefail
args=("$@")
object=${args[-1]}
for i in "${!args[@]}"; do
  [ "${args[$i]}" = coff ] && args[$i]=res
done
unset 'args[-1]'
x86_64-w64-mingw32-windres "${args[@]}" "$object.res"
llvm-cvtres-14 /nologo /machine:arm64 /timestamp:0 /out:"$object" "$object.res"
rm -f "$object.res"
