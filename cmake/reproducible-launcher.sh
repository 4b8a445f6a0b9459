#!/usr/bin/env bash
# Runs a compile or link step of the clang build with the build machine's
# folders taken out of its command line. Clang records each compiler command
# line in the CodeView symbols, and lld records its own in the PDB, so an
# absolute path of the sources or of the build tree anywhere among the
# arguments would make the PDB, and with it the DLL, differ from one folder to
# the next. Paths under either folder become relative to the step's working
# folder, which lies at the same place in every build tree.
#
# Usage: reproducible-launcher.sh <source dir> <build dir> <command> [args...]
set -euo pipefail
source_dir=$1 build_dir=$2
shift 2
relative_source=$(realpath -m --relative-to="$PWD" "$source_dir")
relative_build=$(realpath -m --relative-to="$PWD" "$build_dir")

args=()
for arg in "$@"; do
  # The build tree may lie inside the sources: the longer prefix goes first.
  arg=${arg//"$build_dir/"/"$relative_build/"}
  arg=${arg//"$source_dir/"/"$relative_source/"}
  args+=("$arg")
done

# The symbols name source files from the root of the sources, and the
# compilation folder is recorded as "." instead of this machine's.
case "$(basename "$1")" in
  clang*) args+=("-ffile-compilation-dir=." "-ffile-prefix-map=$relative_source/=") ;;
esac

# Library search folders from the environment would land in lld's command line.
exec env -u LIBRARY_PATH -u CPATH -u C_INCLUDE_PATH -u CPLUS_INCLUDE_PATH "${args[@]}"
