# Shared steps of the project's scripts: packages, the cross build, the Wine
# prefix and the virtual X session. Sourced, not run.

PACKAGES=(
  cmake g++ googletest clang-14 libclang-rt-14-dev
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix
  binutils-mingw-w64-x86-64 mingw-w64-tools
  wine wine64 xvfb xauth x11-apps imagemagick
)

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

# Configures and builds the cross tree in $1.
build_tree() {
  local tree=$1
  cmake -S . -B "$tree" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
        -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$tree" -j"$(nproc)"
}

# One Wine prefix per build tree, created once, before any test runs.
use_wine_prefix() {
  local tree=$1
  export WINEPREFIX="$PWD/$tree/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
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
    printf '%s\n' 'REGEDIT4' '' \
      '[HKEY_CURRENT_USER\Software\Wine\X11 Driver]' '"Managed"="N"' '' \
      '[HKEY_CURRENT_USER\Software\Wine\WineDbg]' '"ShowCrashDialog"=dword:00000000' '' \
      '[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\AeDebug]' \
      '"Auto"="1"' '"Debugger"="winedbg --auto %ld %ld"' > "$settings.tmp"
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
