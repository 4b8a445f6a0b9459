#!/usr/bin/env bash
# Checks an installed package (cmake --install <tree> --prefix <dir>) with the
# LLVM tools, as a driver team's build would meet it:
#  - the DLL keeps its security flags, imports only system DLLs and carries no
#    DWARF; its debug directory names the PDB by file name only, with the
#    PDB's own GUID and age;
#  - each import library, linked by lld (as Microsoft's linker for
#    doceventdlg.lib, as MinGW's for libdoceventdlg.dll.a), imports every
#    export of doceventdlg.def by name with its ordinal as the hint.
# Usage: scripts/check-package.sh <prefix> [work folder]
set -euo pipefail
cd "$(dirname "$0")/.."
prefix=$1
work=${2:-$(mktemp -d)}
mkdir -p "$work"
dll=$prefix/bin/doceventdlg.dll
pdb=$prefix/bin/doceventdlg.pdb
failures=0

fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}

headers=$(llvm-readobj-14 --file-headers --sections "$dll")
for flag in DYNAMIC_BASE HIGH_ENTROPY_VA NX_COMPAT; do
  grep -q "IMAGE_DLL_CHARACTERISTICS_$flag" <<<"$headers" || fail "the DLL lacks $flag"
done
grep -q 'Name: \.debug_' <<<"$headers" && fail "the DLL carries DWARF sections"
while read -r imported; do
  case "${imported,,}" in
    kernel32.dll|user32.dll|gdi32.dll|advapi32.dll|msvcrt.dll) ;;
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

# A program that takes every export's address, linked against an import
# library; the program's import table then shows what the library gave it.
mapfile -t exports < <(sed -n 's/^ *\([A-Za-z_][A-Za-z0-9_]*\) *@ *\([0-9]*\).*/\1 \2/p' \
                         oemui/doceventdlg/doceventdlg.def)
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

clang-14 --target=x86_64-pc-windows-msvc -O1 -c "$work/probe.c" -o "$work/probe-msvc.obj"
if lld-link-14 /nologo /machine:x64 /nodefaultlib /entry:probe_start /subsystem:console \
     /out:"$work/probe-msvc.exe" "$work/probe-msvc.obj" "$prefix/lib/doceventdlg.lib"; then
  check_imports doceventdlg.lib "$work/probe-msvc.exe"
else
  fail "a program does not link against doceventdlg.lib with lld-link"
fi

if clang-14 --target=x86_64-w64-mingw32 -O1 -fuse-ld=lld -nostdlib -Wl,--entry,probe_start \
     "$work/probe.c" "$prefix/lib/libdoceventdlg.dll.a" -o "$work/probe-mingw.exe"; then
  check_imports libdoceventdlg.dll.a "$work/probe-mingw.exe"
else
  fail "a program does not link against libdoceventdlg.dll.a with lld"
fi

# lld-link /machine:x64 above refuses import members of another machine; the
# descriptor members are objects of their own.
for library in doceventdlg.lib libdoceventdlg.dll.a; do
  while read -r format; do
    case "$format" in
      COFF-x86-64|COFF-import-file) ;;
      *) fail "$library holds a member of format $format" ;;
    esac
  done < <(llvm-readobj-14 "$prefix/lib/$library" | sed -n 's/^Format: //p' | sort -u)
done

echo "DLL: $(stat -c %s "$dll") bytes, ${#exports[@]} exports checked in both import libraries"
[ "$failures" -eq 0 ] || { echo "$failures package check(s) failed"; exit 1; }
echo "package checks passed"
