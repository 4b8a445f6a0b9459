#!/usr/bin/env bash
# Checks an installed package (cmake --install <tree> --prefix <dir>) of
# either architecture (x64 or arm64, as its CMake package declares) with the
# LLVM tools, as a driver team's build would meet it:
#  - both DLLs are images of the package's machine; the library exports
#    exactly the entries of doceventdlg.def with their ordinals;
#  - the library carries the six dialog templates (the mirrored ones as
#    DIALOGEX with right-to-left layout, each as many controls as its
#    left-to-right twin), the 58 pictures (each at twice its size too), the
#    version block of the project's version and a manifest naming its
#    architecture;
#  - the public header compiles as C11 and C++17, with or without the
#    platform's SAL annotations;
#  - the DLL keeps its security flags (and on x64 is marked compatible with
#    shadow stacks), imports only system DLLs and carries no DWARF; its debug
#    directory names the PDB by file name only, with the PDB's own GUID and age;
#  - each import library, linked by lld (as Microsoft's linker for
#    doceventdlg.lib, as MinGW's for libdoceventdlg.dll.a), imports every
#    export of doceventdlg.def by name with its ordinal as the hint.
# Given a second, reference package (of the other architecture), the two
# libraries must carry the same resources but for the manifest.
# Usage: scripts/check-package.sh <prefix> [work folder] [reference prefix]
set -euo pipefail
cd "$(dirname "$0")/.."
prefix=$1
work=${2:-$(mktemp -d)}
reference=${3:-}
mkdir -p "$work"
dll=$prefix/bin/doceventdlg.dll
pdb=$prefix/bin/doceventdlg.pdb
failures=0

fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}

architecture=$(sed -n 's/^set(doceventdlg_ARCHITECTURE \(.*\))$/\1/p' \
                 "$prefix/lib/cmake/doceventdlg/doceventdlgConfig.cmake")
case "$architecture" in
  x64)   machine=AMD64 object_format=COFF-x86-64 lld_machine=x64 triple=x86_64 manifest_arch=amd64
         header_flags=() ;;
  arm64) machine=ARM64 object_format=COFF-ARM64 lld_machine=arm64 triple=aarch64 manifest_arch=arm64
         . scripts/arm64.sh
         header_flags=(--sysroot="$ARM64_CACHE/sysroot" -resource-dir="$ARM64_CACHE/sysroot/clang") ;;
  *) echo "FAILED: the package declares no known architecture ('$architecture')"; exit 1 ;;
esac
echo "architecture: $architecture"

headers=$(llvm-readobj-14 --file-headers --sections "$dll")
for image in "$dll" "$prefix/share/doceventdlg/doceventdlg-strings.dll"; do
  llvm-readobj-14 --file-headers "$image" | grep -q "Machine: IMAGE_FILE_MACHINE_$machine " \
    || fail "$(basename "$image") is not an image for $machine"
done
for flag in DYNAMIC_BASE HIGH_ENTROPY_VA NX_COMPAT; do
  grep -q "IMAGE_DLL_CHARACTERISTICS_$flag" <<<"$headers" || fail "the DLL lacks $flag"
done
# Shadow stacks are an x64 feature; the mark lives in the debug directory.
if [ "$architecture" = x64 ]; then
  llvm-readobj-14 --coff-debug-directory "$dll" | grep -q 'IMAGE_DLL_CHARACTERISTICS_EX_CET_COMPAT' \
    || fail "the DLL is not marked CETCOMPAT"
fi
grep -q 'Name: \.debug_' <<<"$headers" && fail "the DLL carries DWARF sections"
while read -r imported; do
  case "${imported,,}" in
    kernel32.dll|user32.dll|gdi32.dll|advapi32.dll|msvcrt.dll|ole32.dll) ;;
    *) fail "the DLL imports $imported" ;;
  esac
done < <(llvm-readobj-14 --coff-imports "$dll" | sed -n 's/^ *Name: //p')

# The debug directory holds the GUID as a little-endian record; the PDB's
# summary prints it in the registry form.
debug=$(llvm-readobj-14 --coff-debug-directory "$dll")
pdb_name=$(sed -n 's/^ *PDBFileName: //p' <<<"$debug")
[ "$pdb_name" = doceventdlg.pdb ] || fail "the debug directory names the PDB '$pdb_name'"
read -r -a guid_bytes <<<"$(sed -n 's/^ *PDBGUID: (\(.*\))/\1/p' <<<"$debug")"
b=("${guid_bytes[@]}")
dll_guid="{${b[3]}${b[2]}${b[1]}${b[0]}-${b[5]}${b[4]}-${b[7]}${b[6]}-${b[8]}${b[9]}-${b[10]}${b[11]}${b[12]}${b[13]}${b[14]}${b[15]}}"
dll_age=$(sed -n 's/^ *PDBAge: //p' <<<"$debug")
summary=$(llvm-pdbutil-14 dump -summary "$pdb")
pdb_guid=$(sed -n 's/^ *GUID: //p' <<<"$summary")
pdb_age=$(sed -n 's/^ *Age: //p' <<<"$summary")
[ "$dll_guid" = "$pdb_guid" ] || fail "the DLL names PDB GUID $dll_guid, the PDB has $pdb_guid"
[ "$dll_age" = "$pdb_age" ] || fail "the DLL names PDB age $dll_age, the PDB has $pdb_age"
echo "PDB: $pdb_name $pdb_guid age $pdb_age"

# The installed header compiles for the package's target as C11 and as C++17,
# warnings as errors; also where the platform's headers bring no SAL
# annotations (taken away here), so that its own fallbacks stand in.
printf '%s\n' '#include <windows.h>' '#undef _In_' '#undef _Out_opt_' '#undef _Ret_maybenull_' \
  '#include "doceventdlg.h"' > "$work/header-without-sal.c"
printf '%s\n' '#include "doceventdlg.h"' > "$work/header.c"
for variant in "c -std=c11 header.c" "c++ -std=c++17 header.c" "c -std=c11 header-without-sal.c"; do
  read -r language standard source <<<"$variant"
  clang-14 --target="$triple-w64-mingw32" "${header_flags[@]}" -fsyntax-only -x "$language" "$standard" \
    -Wall -Wextra -Wpedantic -Werror -I"$prefix/include" "$work/$source" \
    || fail "the header does not compile as $language ($standard, $source)"
done

# A program that takes every export's address, linked against an import
# library; the program's import table then shows what the library gave it.
mapfile -t exports < <(sed -n 's/^ *\([A-Za-z_][A-Za-z0-9_]*\) *@ *\([0-9]*\).*/\1 \2/p' \
                         oemui/doceventdlg/doceventdlg.def)
# The export table itself: name and ordinal of each entry, nothing more.
exported=$(llvm-readobj-14 --coff-exports "$dll" \
             | awk '/Ordinal:/ { ordinal = $2 } /Name:/ && ordinal > 0 { print $2, ordinal }' | sort)
[ "$exported" = "$(printf '%s\n' "${exports[@]}" | sort)" ] \
  || fail "the DLL exports $(tr '\n' ',' <<<"$exported"), not what doceventdlg.def names"

# Resources: the templates and pictures the resource header names.
symbol() { sed -n "s/^#define $1 *\([0-9]*\).*/\1/p" oemui/doceventdlg/resource.h; }
dialogs=$(python3 scripts/pe_resources.py dialogs "$dll") || fail "the DLL's resources do not read"
[ "$(wc -l <<<"$dialogs")" -eq 6 ] || fail "the DLL carries $(wc -l <<<"$dialogs") dialog templates, not 6"
for name in IDD_WARNING IDD_JOB_STORAGE IDD_DUPLEX_INSTRUCTIONS; do
  read -r _ form exstyle items < <(grep "^$(symbol "$name") " <<<"$dialogs") \
    || { fail "no template $name"; continue; }
  read -r _ mirrored_form mirrored_exstyle mirrored_items < <(grep "^$(symbol "${name}_RTL") " <<<"$dialogs") \
    || { fail "no template ${name}_RTL"; continue; }
  [ "$form" = DIALOG ] && [ $((exstyle & 0x400000)) -eq 0 ] || fail "$name is not a left-to-right DIALOG"
  [ "$mirrored_form" = DIALOGEX ] && [ $((mirrored_exstyle & 0x400000)) -ne 0 ] \
    || fail "${name}_RTL is not a DIALOGEX with WS_EX_LAYOUTRTL"
  [ "$items" = "$mirrored_items" ] || fail "$name has $items controls, ${name}_RTL $mirrored_items"
done
bitmaps=$(python3 scripts/pe_resources.py bitmaps "$dll") || fail "the DLL's pictures do not read"
[ "$(wc -l <<<"$bitmaps")" -eq 58 ] || fail "the DLL carries $(wc -l <<<"$bitmaps") pictures, not 58"
offset=$(symbol IDB_ILLUSTRATION_2X_OFFSET)
while read -r id; do
  read -r _ width height _ < <(grep "^$id " <<<"$bitmaps") || { fail "no picture $id"; continue; }
  read -r _ large_width large_height _ < <(grep "^$((id + offset)) " <<<"$bitmaps") \
    || { fail "no picture $((id + offset))"; continue; }
  [ "$large_width" -eq $((2 * width)) ] && [ "$large_height" -eq $((2 * height)) ] \
    || fail "picture $((id + offset)) is ${large_width}x$large_height, not twice ${width}x$height"
done < <(sed -n 's/^#define IDB_ILLUSTRATION_[0-9]* *\([0-9]*\)$/\1/p' oemui/doceventdlg/resource.h)
version=$(sed -n 's/^project(doceventdlg VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ "$(python3 scripts/pe_resources.py version "$dll")" = "$version $version" ] \
  || fail "the version block does not carry $version"
manifest=$(python3 scripts/pe_resources.py manifest "$dll") || fail "the DLL carries no manifest 2"
grep -q "name=\"Velmoracrestwyn.PrinterDriver.doceventdlg\" version=\"$version\" processorArchitecture=\"$manifest_arch\"" \
  <<<"$manifest" || fail "the manifest does not name $version for $manifest_arch"
if [ -n "$reference" ]; then
  # Type 24 (manifest) differs by its architecture; every other resource is the same.
  diff <(python3 scripts/pe_resources.py list "$dll" | grep -v '^24 ') \
       <(python3 scripts/pe_resources.py list "$reference/bin/doceventdlg.dll" | grep -v '^24 ') >/dev/null \
    || fail "the DLL's resources differ from those of $reference"
fi
{
  for entry in "${exports[@]}"; do
    echo "__declspec(dllimport) void ${entry% *}(void);"
  done
  echo "int probe_start(void) {"
  echo "    void *volatile address;"
  for entry in "${exports[@]}"; do
    echo "    address = (void *)${entry% *};"
  done
  echo "    return address == 0;"
  echo "}"
} > "$work/probe.c"

check_imports() {
  local library=$1 program=$2
  local imports
  imports=$(llvm-readobj-14 --coff-imports "$program")
  for entry in "${exports[@]}"; do
    grep -q "Symbol: ${entry% *} (${entry#* })\$" <<<"$imports" \
      || fail "$library: ${entry% *} is not imported with ordinal ${entry#* }"
  done
  grep -q 'Name: doceventdlg.dll' <<<"$imports" || fail "$library does not name doceventdlg.dll"
}

clang-14 --target="$triple-pc-windows-msvc" -O1 -c "$work/probe.c" -o "$work/probe-msvc.obj"
if lld-link-14 /nologo /machine:"$lld_machine" /nodefaultlib /entry:probe_start /subsystem:console \
     /out:"$work/probe-msvc.exe" "$work/probe-msvc.obj" "$prefix/lib/doceventdlg.lib"; then
  check_imports doceventdlg.lib "$work/probe-msvc.exe"
else
  fail "a program does not link against doceventdlg.lib with lld-link"
fi

if clang-14 --target="$triple-w64-mingw32" -O1 -fuse-ld=lld -nostdlib -Wl,--entry,probe_start \
     "$work/probe.c" "$prefix/lib/libdoceventdlg.dll.a" -o "$work/probe-mingw.exe"; then
  check_imports libdoceventdlg.dll.a "$work/probe-mingw.exe"
else
  fail "a program does not link against libdoceventdlg.dll.a with lld"
fi

# lld-link /machine above refuses import members of another machine; the
# descriptor members are objects of their own.
for library in doceventdlg.lib libdoceventdlg.dll.a; do
  while read -r format; do
    case "$format" in
      "$object_format"|COFF-import-file) ;;
      *) fail "$library holds a member of format $format" ;;
    esac
  done < <(llvm-readobj-14 "$prefix/lib/$library" | sed -n 's/^Format: //p' | sort -u)
done

echo "DLL: $(stat -c %s "$dll") bytes, ${#exports[@]} exports checked in both import libraries"
[ "$failures" -eq 0 ] || { echo "$failures package check(s) failed"; exit 1; }
echo "package checks passed"
