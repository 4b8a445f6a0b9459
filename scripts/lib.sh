# Shared steps of the project's scripts: packages, the cross build, the Wine
# prefix and the virtual X session. Sourced, not run.

PACKAGES=(
  cmake g++ googletest clang-14 libclang-rt-14-dev lld-14 llvm-14
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix
  binutils-mingw-w64-x86-64 mingw-w64-tools
  wine wine64 xvfb xauth x11-apps imagemagick mmdebstrap gdb
)

# Runs "$@" in the background and writes its exit status to the file $1 when
# it ends; wait_background reads it. Bash's own record of an ended background
# job is dropped as soon as a later child of the shell gets the same process
# ID, which happens in a long run once IDs wrap at pid_max, and `wait` then
# answers 127 ("not a child of this shell") for a job that succeeded.
start_background() {
  local status_file=$1
  shift
  rm -f "$status_file"
  ( set +e; (set -e; "$@"); status=$?; echo "$status" >"$status_file"; exit "$status" ) &
}

# Waits for the job that start_background started as process $1 with status
# file $2, and returns the job's exit status.
wait_background() {
  local pid=$1 status_file=$2
  wait "$pid" 2>/dev/null || true  # ends at once when the job has ended
  [ -s "$status_file" ] || { echo "the background job $pid ended without a status" >&2; return 1; }
  return "$(cat "$status_file")"
}

# Installs what a fresh Debian 12 machine lacks; does nothing when all is there.
ensure_packages() {
  local missing=()
  local package
  for package in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' \
      || missing+=("$package")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "missing packages: ${missing[*]} (run as root to install them)" >&2
    return 1
  fi
  echo "installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# The toolchain of the library that ships and of the tests that run against
# it: clang and lld, which write the library's PDB.
TOOLCHAIN=cmake/clang-mingw-w64-x86_64.cmake

# Configures the cross tree in $1 (further arguments go to cmake).
configure_tree() {
  local tree=$1
  shift
  # A tree configured with another compiler keeps it: start that tree's cache afresh.
  if [ -f "$tree/CMakeCache.txt" ] && ! grep -q "^CMAKE_TOOLCHAIN_FILE:.*$TOOLCHAIN\$" "$tree/CMakeCache.txt"; then
    rm -rf "$tree/CMakeCache.txt" "$tree/CMakeFiles"
  fi
  cmake -S . -B "$tree" -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
}

# Configures and builds the cross tree in $1 (further arguments go to cmake).
build_tree() {
  configure_tree "$@"
  cmake --build "$1" -j"$(nproc)"
}

# Builds the library and the sample strings with MinGW-w64 GCC in $1, warnings
# as errors, without tests: the sources stay clean for a second compiler.
build_gcc_tree() {
  local tree=$1
  cmake -S . -B "$tree" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
        -DCMAKE_BUILD_TYPE=Release -DDOCEVENTDLG_BUILD_TESTS=OFF >/dev/null
  cmake --build "$tree" -j"$(nproc)" --target doceventdlg doceventdlg-strings
}

# Builds the library and the sample strings with Debian 13's compilers,
# MinGW-w64 GCC 14 in $1-gcc14 and clang and lld 19 in $1-clang19, warnings
# as errors, without tests: the next toolchains find no new warnings. Runs in
# the Debian 13 root (in_debian13_root); these trees belong to it.
build_debian13_trees() {
  local tree=$1
  local common=(-DCMAKE_BUILD_TYPE=Release -DDOCEVENTDLG_BUILD_TESTS=OFF -DLLVM_DLLTOOL=/usr/bin/llvm-dlltool-19)
  cmake -S . -B "$tree-gcc14" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake "${common[@]}" >/dev/null
  cmake --build "$tree-gcc14" -j"$(nproc)" --target doceventdlg doceventdlg-strings
  cmake -S . -B "$tree-clang19" -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" \
        -DDOCEVENTDLG_LLVM_VERSION=19 -DDOCEVENTDLG_MINGW_GCC_VERSION=14 -DLLVM_STRIP=/usr/bin/llvm-strip-19 \
        "${common[@]}" >/dev/null
  cmake --build "$tree-clang19" -j"$(nproc)" --target doceventdlg doceventdlg-strings
}

# Installs the tree $1 into $2 and builds the consumer project of
# tests/consumer against it in $3; scripts/wine-tests.sh runs it under each Wine.
build_consumer() {
  local tree=$1 prefix=$2 consumer=$3
  rm -rf "$prefix"
  cmake --install "$tree" --prefix "$prefix" >/dev/null
  cmake -S tests/consumer -B "$consumer" -DCMAKE_TOOLCHAIN_FILE="$PWD/$TOOLCHAIN" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_PREFIX_PATH="$PWD/$prefix" >/dev/null
  cmake --build "$consumer" -j"$(nproc)"
}

# Each Wine has prefixes of its own, since a newer Wine upgrades an older
# one's prefix it is pointed at: Wine 8's lie in the tree (<tree>/wineprefix,
# <tree>/dpi-<dpi>/wineprefix), any other Wine's under <tree>/wine-<major>/.
# The Wine that runs decides, so a command run in the Debian 13 root can never
# reach a prefix of Debian 12's Wine.
wine_prefix_base() {
  local tree=$1 major
  major=$(wine_major)
  [ -n "$major" ] || { echo "wine does not run" >&2; return 1; }
  if [ "$major" = 8 ]; then
    realpath -ms "$tree"
  else
    realpath -ms "$tree/wine-$major"
  fi
}

# The major version of the Wine on PATH ("8", "10").
wine_major() {
  wine --version 2>/dev/null | sed -n 's/^wine-\([0-9]*\)\..*/\1/p'
}

# "Wine 10.0 (Debian 13)": which Wine a result comes from.
wine_label() {
  local version debian
  version=$(wine --version 2>/dev/null | sed -n 's/^wine-\([0-9.]*\).*/\1/p')
  debian=$(cut -d. -f1 /etc/debian_version 2>/dev/null)
  echo "Wine ${version:-?} (Debian ${debian:-?})"
}

# One Wine prefix per build tree, created once, before any test runs.
use_wine_prefix() {
  local base
  base=$(wine_prefix_base "$1") || return 1
  setup_wine_prefix "$base/wineprefix"
}

# The settings every test prefix gets, as a registry file (setup_wine_prefix
# says why).
wine_settings_reg() {
  printf '%s\n' 'REGEDIT4' '' \
    '[HKEY_CURRENT_USER\Software\Wine\X11 Driver]' '"Managed"="N"' '' \
    '[HKEY_CURRENT_USER\Software\Wine\WineDbg]' '"ShowCrashDialog"=dword:00000000' '' \
    '[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\AeDebug]' \
    '"Auto"="1"' '"Debugger"="winedbg --auto %ld %ld"'
}

# Creates the prefix $1 unless it is there and exports it as WINEPREFIX.
setup_wine_prefix() {
  export WINEPREFIX=$1 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "creating Wine prefix in $WINEPREFIX"
    mkdir -p "$(dirname "$WINEPREFIX")"
    wine wineboot -i >/dev/null 2>&1 || true
    wineserver -w
  fi
  local settings="$WINEPREFIX/doceventdlg-settings-3.reg"
  if [ ! -f "$settings" ]; then
    # Without a window manager Wine waits about two seconds whenever a dialog
    # closes unless it manages the windows itself; it also draws the frames then.
    # A program that crashes starts Wine's debugger in automatic mode, which
    # prints the fault, the faulting module and a backtrace to the program's own
    # output and then ends the program; without the crash dialog it never waits
    # for anyone. (Wine 8 reports exit code 0 for a program ended that way: the
    # tests' FAIL_REGULAR_EXPRESSION turns the report into a failure.)
    wine_settings_reg > "$settings.tmp"
    wine regedit /S "$settings.tmp" >/dev/null 2>&1
    wineserver -w
    mv "$settings.tmp" "$settings"
  fi
}

# Runs a command inside a virtual X server with a persistent wineserver, and
# ends every Wine process before the X server goes. Wine's own services start
# with the first program of a session and live as long as the wineserver; they
# are started here, away from the command's output, or they would inherit
# ctest's output pipes and keep ctest waiting for them.
in_wine_session() {
  xvfb-run -a -s "-screen 0 1280x1024x24" bash -c \
    'wineserver -p; wine wineboot </dev/null >/dev/null 2>&1;
     "$@"; rc=$?; wineserver -k; wineserver -w; exit $rc' wine-session "$@"
}

# A prefix whose display runs at dpi dots per inch (96 is 100 %), set up like
# the tree's own, in <tree>/dpi-<dpi>/wineprefix (for Wine 8), and exported as
# WINEPREFIX. Wine reads LogPixels when its server starts, so each scale needs
# a prefix, and a server, of its own.
use_dpi_wine_prefix() {
  local tree=$1 dpi=$2 base
  base=$(wine_prefix_base "$tree") || return 1
  setup_wine_prefix "$base/dpi-$dpi/wineprefix"
  local scale="$WINEPREFIX/doceventdlg-dpi.reg"
  if [ ! -f "$scale" ]; then
    printf '%s\n' 'REGEDIT4' '' '[HKEY_CURRENT_USER\Control Panel\Desktop]' \
      "\"LogPixels\"=dword:$(printf '%08x' "$dpi")" > "$scale.tmp"
    wine regedit /S "$scale.tmp" >/dev/null 2>&1
    wineserver -w
    mv "$scale.tmp" "$scale"
  fi
}

. "$(dirname "${BASH_SOURCE[0]}")/debian13-root.sh"
