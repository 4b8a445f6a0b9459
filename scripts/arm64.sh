# The ARM64 lane's pieces that Debian does not ship ready-made: the MinGW-w64
# runtime for aarch64-w64-mingw32, built with Debian's clang from Debian's own
# mingw-w64 sources, and an ARM64 Debian 12 root whose Wine runs ARM64 Windows
# programs under qemu. Both are kept in $ARM64_CACHE between runs on one
# machine: each carries a stamp of what it was made from and is checked before
# use; a missing, stale or broken one is made again. Sourced by the test
# scripts; run as `bash scripts/arm64.sh runtime|root|all` it makes (or
# checks) the pieces by themselves, and `bash scripts/arm64.sh lane [tree]`
# runs the whole ARM64 lane against a built and installed x64 tree.

ARM64_CACHE=${DOCEVENTDLG_ARM64_CACHE:-/var/cache/doceventdlg-arm64}
ARM64_SUITE=bookworm
ARM64_MIRROR=http://deb.debian.org/debian
# Each piece's recipe revision: raising one makes every machine make that
# piece afresh.
ARM64_ROOT_RECIPE=1
ARM64_RUNTIME_RECIPE=2

ARM64_HOST_PACKAGES=(qemu-user-static binfmt-support mmdebstrap arch-test dpkg-dev)
# Wine and what its X11 driver loads (libX11 and libXext come with Wine;
# the others it opens when present), a font with Latin and Arabic glyphs.
ARM64_ROOT_PACKAGES=(
  wine64 libxrender1 libxrandr2 libxi6 libxcursor1 libxinerama1
  libxcomposite1 libxfixes3 libxxf86vm1 fontconfig fonts-dejavu-core
)

arm64_log() { echo "arm64: $*"; }

# Elapsed seconds since $1 (from date +%s).
arm64_since() { echo $(($(date +%s) - $1)); }

ensure_arm64_host() {
  PACKAGES+=("${ARM64_HOST_PACKAGES[@]}")
  ensure_packages
  # qemu-user-static registers its handlers with the F flag: the interpreter
  # is opened when registered, so it also runs programs inside a chroot.
  if [ ! -e /proc/sys/fs/binfmt_misc/register ]; then
    mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc
  fi
  if [ ! -e /proc/sys/fs/binfmt_misc/qemu-aarch64 ]; then
    update-binfmts --enable qemu-aarch64 >/dev/null 2>&1 || true
  fi
  grep -q '^enabled' /proc/sys/fs/binfmt_misc/qemu-aarch64 \
    || { echo "arm64: qemu-aarch64 is not registered with binfmt_misc" >&2; return 1; }
}

arm64_root_key() {
  echo "recipe $ARM64_ROOT_RECIPE suite $ARM64_SUITE packages ${ARM64_ROOT_PACKAGES[*]}"
}

# A root is sound when its stamp matches and its Wine starts under emulation.
arm64_root_sound() {
  local root=$1
  [ "$(cat "$root/.doceventdlg-stamp" 2>/dev/null)" = "$(arm64_root_key)" ] || return 1
  [ -f "$root/usr/lib/aarch64-linux-gnu/libXrender.so.1" ] || return 1
  [ -d "$root/usr/lib/aarch64-linux-gnu/wine/aarch64-windows" ] || return 1
  ARM64_CACHE=${root%/root} in_arm64_root wine64 --version 2>/dev/null | grep -q '^wine-8'
}

# Holds the lock $1 of the cache until the calling shell ends: two runs on
# one machine do not make the same piece at once; the second waits and then
# finds it made.
arm64_lock() {
  mkdir -p "$ARM64_CACHE"
  exec {ARM64_LOCK_FD}>>"$ARM64_CACHE/$1.lock"
  flock "$ARM64_LOCK_FD"
}

# Makes (or reuses) the ARM64 root in $ARM64_CACHE/root.
ensure_arm64_root() (
  arm64_lock root
  local root=$ARM64_CACHE/root started
  if arm64_root_sound "$root"; then
    arm64_log "root reused: $root"
    return 0
  fi
  started=$(date +%s)
  arm64_log "making the ARM64 $ARM64_SUITE root in $root"
  rm -rf "$root" "$root.new"
  mkdir -p "$ARM64_CACHE"
  local include
  include=$(IFS=,; echo "${ARM64_ROOT_PACKAGES[*]}")
  # Documentation and translations are left out: nothing here reads them.
  mmdebstrap --variant=apt --architectures=arm64 --mode=root --quiet \
    --include="$include" \
    --dpkgopt='path-exclude=/usr/share/man/*' --dpkgopt='path-exclude=/usr/share/doc/*' \
    --dpkgopt='path-exclude=/usr/share/locale/*' \
    "$ARM64_SUITE" "$root.new" "$ARM64_MIRROR" || { rm -rf "$root.new"; return 1; }
  arm64_root_key > "$root.new/.doceventdlg-stamp"
  mv "$root.new" "$root"
  arm64_root_sound "$root" || { echo "arm64: the new root's Wine does not start" >&2; return 1; }
  arm64_log "root made in $(arm64_since "$started") s, $(du -sh "$root" | cut -f1)"
)

# Runs a command inside the ARM64 root, in a mount namespace of its own (the
# mounts end with the command): /proc for Wine's loader, /dev, the host's
# /tmp (the X server's socket and xvfb-run's authority file) and the current
# folder at the same path, so that paths mean the same on both sides.
in_arm64_root() {
  local root=$ARM64_CACHE/root
  unshare --mount --propagation private -- bash -c '
    set -e
    root=$1; shift
    mount -t proc proc "$root/proc"
    mount --rbind /dev "$root/dev"
    mount --bind /tmp "$root/tmp"
    mkdir -p "$root$PWD"
    mount --bind "$PWD" "$root$PWD"
    exec chroot "$root" /usr/bin/env -C "$PWD" PATH=/usr/lib/wine:/usr/bin:/bin "$@"' \
    arm64-root "$root" "$@"
}

# The runtime's sources are Debian's, of the versions on this machine: the
# mingw-w64 package whose headers the x64 build uses, and the LLVM whose clang
# compiles. Fetched with a private apt configuration (a deb-src line of its
# own), so the machine's apt sources stay as they are.
arm64_source_versions() {
  echo "mingw-w64 $(dpkg-query -W -f='${Version}' mingw-w64-common)" \
       "llvm-toolchain-14 $(dpkg-query -W -f='${source:Version}' clang-14)"
}

arm64_runtime_key() {
  echo "recipe $ARM64_RUNTIME_RECIPE $(arm64_source_versions) resource $(clang-14 -print-resource-dir)"
}

# Fetches the source package $1 at version $2 into the folder $3.
arm64_fetch_source() {
  local package=$1 version=$2 folder=$3
  local apt=$ARM64_CACHE/apt
  mkdir -p "$apt/lists/partial" "$apt/cache/archives/partial" "$folder"
  echo "deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] $ARM64_MIRROR $ARM64_SUITE main" \
    > "$apt/sources.list"
  local options=(-o Dir::Etc::SourceList="$apt/sources.list" -o Dir::Etc::SourceParts=/dev/null
                 -o Dir::State::Lists="$apt/lists" -o Dir::Cache="$apt/cache"
                 -o APT::Sandbox::User=root -qq)
  [ -n "$(ls "$apt/lists" 2>/dev/null | grep Sources)" ] || apt-get "${options[@]}" update
  (cd "$folder" && apt-get "${options[@]}" source --download-only "$package=$version" >/dev/null)
}

# The sysroot for aarch64-w64-mingw32 in $1: headers, runtime and import
# libraries from Debian's mingw-w64 sources, the threads headers that
# libstdc++'s configuration includes, and compiler-rt's builtins (the ARM64
# stack probe __chkstk, which the runtime calls, lives there) in a resource
# folder of its own beside clang's headers.
arm64_build_runtime() {
  local sysroot=$1 work=$ARM64_CACHE/work
  local mingw_version llvm_version jobs
  mingw_version=$(dpkg-query -W -f='${Version}' mingw-w64-common)
  llvm_version=$(dpkg-query -W -f='${source:Version}' clang-14)
  jobs=$(nproc)
  rm -rf "$work"
  mkdir -p "$work"

  local started step
  started=$(date +%s)
  arm64_fetch_source mingw-w64 "$mingw_version" "$work/mingw" || return 1
  dpkg-source --no-check -x "$work"/mingw/mingw-w64_*.dsc "$work/mingw/src" >/dev/null || return 1
  local src=$work/mingw/src
  arm64_log "mingw-w64 $mingw_version sources in $(arm64_since "$started") s"

  step=$(date +%s)
  mkdir -p "$work/headers"
  (cd "$work/headers" && "$src/mingw-w64-headers/configure" --host=aarch64-w64-mingw32 \
     --prefix="$sysroot" >/dev/null && make install >/dev/null) || return 1
  cp "$src"/mingw-w64-libraries/winpthreads/include/*.h "$sysroot/include/" || return 1

  # No debug information, and source paths (in assertions) relative to the
  # sources: the runtime's bytes do not depend on where the cache is.
  local cc="clang-14 --target=aarch64-w64-mingw32 --sysroot=$sysroot" cflags="-O2 -ffile-prefix-map=$src/="
  mkdir -p "$work/crt"
  (cd "$work/crt" && "$src/mingw-w64-crt/configure" --host=aarch64-w64-mingw32 --prefix="$sysroot" \
     --disable-lib32 --disable-lib64 --enable-libarm64 \
     CC="$cc" CXX="${cc/clang-14/clang++-14}" CFLAGS="$cflags" CXXFLAGS="$cflags" \
     AR=llvm-ar-14 RANLIB=llvm-ranlib-14 DLLTOOL=llvm-dlltool-14 >configure.log 2>&1 \
     && make -j"$jobs" >make.log 2>&1 && make install >install.log 2>&1) \
    || { tail -20 "$work"/crt/*.log >&2; return 1; }
  arm64_log "headers and runtime built in $(arm64_since "$step") s"

  # Only compiler-rt and LLVM's CMake modules are unpacked from the LLVM
  # sources, with Debian's patches that touch them.
  step=$(date +%s)
  arm64_fetch_source llvm-toolchain-14 "$llvm_version" "$work/llvm" || return 1
  local upstream=${llvm_version#*:}
  upstream=${upstream%-*}
  local top=llvm-toolchain-14_$upstream
  tar -xJf "$work"/llvm/llvm-toolchain-14_"$upstream".orig.tar.xz -C "$work/llvm" \
    "$top/compiler-rt" "$top/llvm/cmake" "$top/cmake" || return 1
  tar -xJf "$work"/llvm/llvm-toolchain-14_*.debian.tar.xz -C "$work/llvm" || return 1
  local patch
  while read -r patch; do
    case "$patch" in ''|'#'*) continue ;; esac
    # Only patches whose every file lies in compiler-rt (one reader: a
    # pipeline into grep -q could end early and fail under pipefail).
    awk '/^\+\+\+ / { files++; if ($2 !~ /^[^\/]*\/compiler-rt\//) other = 1 }
         END { exit (files == 0 || other) }' "$work/llvm/debian/patches/$patch" || continue
    patch -d "$work/llvm/$top" -p1 -s < "$work/llvm/debian/patches/$patch" || return 1
  done < <(sed 's/[[:space:]]*#.*//' "$work/llvm/debian/patches/series")
  cmake -S "$work/llvm/$top/compiler-rt/lib/builtins" -B "$work/builtins" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_SYSTEM_NAME=Windows -DCMAKE_SYSTEM_PROCESSOR=ARM64 \
    -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
    -DCMAKE_C_COMPILER_TARGET=aarch64-w64-mingw32 -DCMAKE_CXX_COMPILER_TARGET=aarch64-w64-mingw32 \
    -DCMAKE_ASM_COMPILER_TARGET=aarch64-w64-mingw32 -DCMAKE_SYSROOT="$sysroot" \
    -DCMAKE_AR=/usr/bin/llvm-ar-14 -DCMAKE_RANLIB=/usr/bin/llvm-ranlib-14 \
    -DCMAKE_C_FLAGS="-ffile-prefix-map=$work/llvm/$top/=" -DCMAKE_ASM_FLAGS="-ffile-prefix-map=$work/llvm/$top/=" \
    -DCMAKE_TRY_COMPILE_TARGET_TYPE=STATIC_LIBRARY -DCOMPILER_RT_DEFAULT_TARGET_ONLY=ON \
    -DLLVM_CMAKE_DIR="$work/llvm/$top/llvm/cmake/modules" >"$work/builtins.log" 2>&1 \
    && cmake --build "$work/builtins" -j"$jobs" >>"$work/builtins.log" 2>&1 \
    || { tail -20 "$work/builtins.log" >&2; return 1; }
  mkdir -p "$sysroot/clang/lib/windows"
  cp "$work/builtins/lib/windows/libclang_rt.builtins-aarch64.a" "$sysroot/clang/lib/windows/" || return 1
  ln -s "$(clang-14 -print-resource-dir)/include" "$sysroot/clang/include" || return 1
  arm64_log "compiler-rt builtins (llvm-toolchain-14 $llvm_version) built in $(arm64_since "$step") s"
  rm -rf "$work"
}

# Compiles and links a small program and a small DLL against the sysroot $1:
# a truncated or foreign archive fails here.
arm64_runtime_links() {
  local sysroot=$1 probe
  probe=$(mktemp -d)
  printf '%s\n' '#include <windows.h>' \
    'int main(void) { return MessageBoxW(NULL, L"", L"", MB_OK) == 0; }' > "$probe/probe.c"
  printf '%s\n' '#include <windows.h>' \
    'BOOL WINAPI DllMain(HINSTANCE i, DWORD r, LPVOID p) { (void)i; (void)r; (void)p; return TRUE; }' \
    > "$probe/probe-dll.c"
  local flags=(--target=aarch64-w64-mingw32 --sysroot="$sysroot" -resource-dir="$sysroot/clang"
               -fuse-ld=lld --rtlib=compiler-rt --unwindlib=none -O2)
  local result=0
  clang-14 "${flags[@]}" "$probe/probe.c" -o "$probe/probe.exe" 2>/dev/null \
    && clang-14 "${flags[@]}" -shared "$probe/probe-dll.c" -o "$probe/probe.dll" 2>/dev/null \
    && llvm-readobj-14 --file-headers "$probe/probe.exe" "$probe/probe.dll" \
         | grep -c 'IMAGE_FILE_MACHINE_ARM64' | grep -qx 2 \
    || result=1
  rm -rf "$probe"
  return $result
}

arm64_runtime_sound() {
  local sysroot=$1
  [ "$(cat "$sysroot/.doceventdlg-stamp" 2>/dev/null)" = "$(arm64_runtime_key)" ] || return 1
  local file
  for file in include/windows.h include/pthread.h lib/crt2.o lib/dllcrt2.o lib/libmingw32.a \
              lib/libmingwex.a lib/libmsvcrt.a lib/libkernel32.a lib/libuser32.a lib/libgdi32.a \
              lib/libadvapi32.a clang/include/stddef.h clang/lib/windows/libclang_rt.builtins-aarch64.a; do
    [ -s "$sysroot/$file" ] || return 1
  done
  arm64_runtime_links "$sysroot"
}

# Makes (or reuses) the sysroot in $ARM64_CACHE/sysroot.
ensure_arm64_runtime() (
  arm64_lock runtime
  local sysroot=$ARM64_CACHE/sysroot started
  if arm64_runtime_sound "$sysroot"; then
    arm64_log "runtime reused: $sysroot"
    return 0
  fi
  started=$(date +%s)
  arm64_log "building the aarch64-w64-mingw32 runtime into $sysroot"
  rm -rf "$sysroot" "$sysroot.new"
  mkdir -p "$sysroot.new"
  # Built where it will stay: the paths configure writes then hold.
  ln -s "$sysroot.new" "$sysroot"
  arm64_build_runtime "$sysroot" \
    || { echo "arm64: the runtime did not build" >&2; rm -rf "$sysroot" "$sysroot.new"; return 1; }
  rm "$sysroot" && mv "$sysroot.new" "$sysroot" || return 1
  arm64_runtime_key > "$sysroot/.doceventdlg-stamp"
  arm64_runtime_sound "$sysroot" || { echo "arm64: the new runtime does not link" >&2; return 1; }
  arm64_log "runtime made in $(arm64_since "$started") s, $(du -sh "$sysroot" | cut -f1)"
)

# The ARM64 Wine prefix in $1 (a folder of the current tree), made once in
# the root and set up as the x64 prefixes are: Wine draws the windows itself
# (no window-manager wait when a dialog closes), and a crash prints its
# report instead of opening a dialog.
use_arm64_wine_prefix() {
  export WINEPREFIX="$PWD/$1" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  local started
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    started=$(date +%s)
    mkdir -p "$(dirname "$WINEPREFIX")"
    in_arm64_root bash -c 'wine64 wineboot -i >/dev/null 2>&1; wineserver -w' || true
    arm64_log "Wine prefix made in $(arm64_since "$started") s: $WINEPREFIX"
  fi
  local settings="$WINEPREFIX/doceventdlg-settings-1.reg"
  if [ ! -f "$settings" ]; then
    wine_settings_reg > "$settings.tmp"
    in_arm64_root bash -c 'wine64 regedit /S "$1" >/dev/null 2>&1; wineserver -w' regedit "$settings.tmp"
    mv "$settings.tmp" "$settings"
  fi
}

# Runs a command inside the ARM64 root, with the host's virtual X server (its
# socket and authority file are in the shared /tmp) and a persistent ARM64
# wineserver that is ended before the X server goes.
in_arm64_wine_session() {
  xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
    . scripts/arm64.sh
    in_arm64_root bash -c "wineserver -p; wine64 wineboot </dev/null >/dev/null 2>&1;
      \"\$@\"; rc=\$?; wineserver -k; wineserver -w; exit \$rc" arm64-session "$@"' \
    arm64-wine-session "$@"
}

# The runtime and the root, made side by side when both are missing: the
# root's package scripts run emulated on one core while the runtime builds.
ensure_arm64_pieces() {
  local root_log=$ARM64_CACHE/root.log root_job
  mkdir -p "$ARM64_CACHE"
  start_background "$ARM64_CACHE/root.status" ensure_arm64_root >"$root_log" 2>&1
  root_job=$!
  local runtime_status=0 root_status=0
  ensure_arm64_runtime || runtime_status=$?
  wait_background "$root_job" "$ARM64_CACHE/root.status" || root_status=$?
  cat "$root_log"
  [ "$runtime_status" -eq 0 ] && [ "$root_status" -eq 0 ]
}

ARM64_TOOLCHAIN=cmake/clang-mingw-w64-aarch64.cmake

# The ARM64 lane, after the x64 tree $1 is built and installed in $1/install:
# the runtime and the root (made or reused), the library built for ARM64 in
# $1-arm64, installed, checked against the x64 package, packed beside the x64
# package in $1/package, and driven by the ARM64 program under emulated Wine.
# Prints the time of each step.
run_arm64_lane() {
  local x64_tree=$1 tree=$1-arm64 started step times=()
  started=$(date +%s)
  ensure_arm64_host
  ensure_arm64_pieces
  times+=("runtime and root $(arm64_since "$started") s")

  step=$(date +%s)
  cmake -S . -B "$tree" -DCMAKE_TOOLCHAIN_FILE="$ARM64_TOOLCHAIN" -DCMAKE_BUILD_TYPE=Release \
        -DDOCEVENTDLG_BUILD_TESTS=OFF >/dev/null
  cmake --build "$tree" -j"$(nproc)"
  rm -rf "$tree/install"
  cmake --install "$tree" --prefix "$tree/install" >/dev/null
  bash scripts/check-package.sh "$tree/install" "$tree/package-check" "$x64_tree/install"
  (cd "$tree" && cpack >/dev/null)
  mkdir -p "$x64_tree/package"
  cp "$tree"/package/doceventdlg-*-arm64.zip "$tree"/package/doceventdlg-*-arm64.zip.sha256 "$x64_tree/package/"
  (cd "$x64_tree/package" && sha256sum -c doceventdlg-*-arm64.zip.sha256 >/dev/null)
  times+=("build, checks, package $(arm64_since "$step") s")

  # With both packages on the search path, each consumer gets its own.
  step=$(date +%s)
  cmake -P tests/arm64/package_architecture.cmake
  local prefixes="$PWD/$x64_tree/install;$PWD/$tree/install"
  cmake -S tests/arm64 -B "$tree-driver" -DCMAKE_TOOLCHAIN_FILE="$PWD/$ARM64_TOOLCHAIN" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_PREFIX_PATH="$prefixes" >/dev/null
  cmake --build "$tree-driver" -j"$(nproc)"
  cmake -S tests/consumer -B "$tree-x64-consumer" -DCMAKE_TOOLCHAIN_FILE="$PWD/$TOOLCHAIN" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_PREFIX_PATH="$PWD/$tree/install;$PWD/$x64_tree/install" >/dev/null
  grep -qx "doceventdlg_DIR:PATH=$PWD/$x64_tree/install/lib/cmake/doceventdlg" "$tree-x64-consumer/CMakeCache.txt" \
    || { echo "arm64: an x64 consumer did not get the x64 package" >&2; return 1; }
  times+=("driver and package choice $(arm64_since "$step") s")

  step=$(date +%s)
  use_arm64_wine_prefix "$tree/wineprefix"
  times+=("Wine prefix $(arm64_since "$step") s")
  step=$(date +%s)
  local report=$tree/driver-report.txt
  # Wine 8 reports 0 for a program its debugger ended: the last line decides.
  in_arm64_wine_session wine64 "$tree-driver/doceventdlg-arm64-driver.exe" | tee "$report" || true
  times+=("emulated run $(arm64_since "$step") s")
  arm64_log "lane: ${times[*]/%/;} total $(arm64_since "$started") s"
  grep -q '^all [0-9]* cases passed' "$report"
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  set -euo pipefail
  cd "$(dirname "$0")/.."
  . scripts/lib.sh
  ensure_arm64_host
  case "${1:-all}" in
    runtime) ensure_arm64_runtime ;;
    root) ensure_arm64_root ;;
    all) ensure_arm64_pieces ;;
    lane) run_arm64_lane "${2:-build}" ;;
    *) echo "usage: bash scripts/arm64.sh [runtime|root|all|lane [x64 tree]]" >&2; exit 2 ;;
  esac
fi
