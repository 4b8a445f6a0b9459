# The second platform: a Debian 13 root with Wine 10 and the next compilers
# (MinGW-w64 GCC 14, clang and lld 19), made with mmdebstrap from Debian's
# archive as this machine's apt sources name it. Sourced by lib.sh, not run.
#
# The root is kept between runs in $DEBIAN13_DIR/root and shared by every work
# tree of the machine; a run checks it and makes it afresh when it is broken or
# was made from another recipe. A run uses it under a shared lock, a check
# that must make it afresh takes the lock exclusively. Nothing is ever mounted
# in it for good: each command runs in a mount namespace of its own, where
# /proc, /sys, /dev, /tmp and the work tree are bound into it, and those
# mounts end with the command, however it ends.

DEBIAN13_DIR=${DOCEVENTDLG_DEBIAN13_DIR:-/var/cache/doceventdlg-debian13}
DEBIAN13_ROOT=$DEBIAN13_DIR/root
DEBIAN13_SUITE=trixie

# What the root carries beyond apt: Wine and its X server, the X extensions
# and fonts the Debian 12 machine has (Wine draws text through XRender and
# finds monitors through RandR and Xinerama, so the two platforms draw alike),
# CMake and make, gdb for the runner's stacks, and the compilers.
DEBIAN13_PACKAGES=(
  wine wine64 xvfb xauth locales cmake make gdb
  libxrender1 libxrandr2 libxinerama1 libxcursor1 libxi6 libxcomposite1 libxfixes3 libxxf86vm1
  fonts-dejavu-core fonts-dejavu-extra
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  clang-19 lld-19 llvm-19
)
# Every locale a test starts a Wine process in (LC_ALL in tests/).
DEBIAN13_LOCALES=(ar_SA.UTF-8 he_IL.UTF-8)

# Prints one "deb <uri> trixie[-updates|-security] <components>" line for each
# Debian entry of this machine's apt sources for its own release: the same
# archive, the next suite. Other vendors' entries are left out.
debian13_sources() {
  local host_suite
  host_suite=$(. /etc/os-release && echo "$VERSION_CODENAME")
  apt-get indextargets --format '$(ORIGIN) $(SITE) $(RELEASE) $(COMPONENT)' 'Identifier: Packages' \
    | awk -v host="$host_suite" -v next_suite="$DEBIAN13_SUITE" '
        $1 == "Debian" && ($3 == host || index($3, host "-") == 1) {
          key = $2 " " next_suite substr($3, length(host) + 1)
          if (!(key in parts)) order[++n] = key
          if (index(" " parts[key] " ", " " $4 " ") == 0) parts[key] = parts[key] " " $4
        }
        END { for (i = 1; i <= n; i++) print "deb " order[i] parts[order[i]] }'
}

# What the root is made from; a root made from anything else is made afresh.
debian13_recipe() {
  printf 'sources: %s\n' "$1"
  printf 'packages: %s\n' "${DEBIAN13_PACKAGES[*]}"
  printf 'locales: %s\n' "${DEBIAN13_LOCALES[*]}"
}

# Checks the root at $1 against the recipe $2; prints what is wrong and fails.
debian13_root_broken() {
  local root=$1 recipe=$2 locale
  [ -f "$root/etc/doceventdlg-root" ] || { echo "no finished root"; return 0; }
  [ "$(cat "$root/etc/doceventdlg-root")" = "$recipe" ] || { echo "made from another recipe"; return 0; }
  chroot "$root" dpkg-query -W -f='${Status}\n' "${DEBIAN13_PACKAGES[@]}" 2>/dev/null \
    | grep -qv '^install ok installed$' && { echo "a package is missing or half installed"; return 0; }
  [ -z "$(chroot "$root" dpkg --audit 2>&1)" ] || { echo "dpkg reports broken packages"; return 0; }
  run_in_root "$root" wine --version 2>/dev/null | grep -q '^wine-10\.' \
    || { echo "its Wine does not run or is not Wine 10"; return 0; }
  for locale in "${DEBIAN13_LOCALES[@]}"; do
    chroot "$root" locale -a 2>/dev/null | grep -qix "$(echo "$locale" | sed 's/UTF-8$/utf8/')" \
      || { echo "locale $locale missing"; return 0; }
  done
  return 1
}

# Makes the root afresh in $1 from the sources in $2 (one per line) and marks
# it finished with the recipe $3, last, so that a run cut short is made again.
make_debian13_root() {
  local root=$1 sources=$2 recipe=$3 started=$SECONDS
  local new="$root.new" locale
  local -a source_args
  mapfile -t source_args <<< "$sources"
  refuse_mounted_root "$root"
  refuse_mounted_root "$new"
  rm -rf "$new" "$root"
  echo "debian13: making the Debian 13 root in $root from:"
  printf '  %s\n' "${source_args[@]}"
  # Documentation is left out and dpkg does not sync: a root that breaks is made again.
  mmdebstrap --mode=root --variant=apt --quiet \
    --aptopt='Acquire::Languages "none"' --dpkgopt=force-unsafe-io \
    --dpkgopt='path-exclude=/usr/share/man/*' --dpkgopt='path-exclude=/usr/share/info/*' \
    --dpkgopt='path-exclude=/usr/share/doc/*' --dpkgopt='path-include=/usr/share/doc/*/copyright' \
    --include="$(IFS=,; echo "${DEBIAN13_PACKAGES[*]}")" \
    "$DEBIAN13_SUITE" "$new" "${source_args[@]}"
  for locale in "${DEBIAN13_LOCALES[@]}"; do
    echo "$locale UTF-8" >> "$new/etc/locale.gen"
  done
  chroot "$new" locale-gen >/dev/null
  printf '%s\n' "$recipe" > "$new/etc/doceventdlg-root"
  mv "$new" "$root"
  echo "debian13: root made in $((SECONDS - started)) s, $(du -sh "$root" | cut -f1)"
}

# Nothing may be removed from under a mount: a bound /dev or work tree would go with it.
refuse_mounted_root() {
  if findmnt -rn -o TARGET | grep -q "^$1\(/\|\$\)"; then
    echo "debian13: something is mounted under $1; not removing it" >&2
    exit 1
  fi
}

# Makes sure the root is there and sound, making it when it is not, and holds
# a shared lock on it for the rest of the calling shell's life.
ensure_debian13_root() {
  if [ "$(id -u)" -ne 0 ]; then
    echo "debian13: the Debian 13 root needs root (mmdebstrap, chroot, mounts)" >&2
    return 1
  fi
  command -v mmdebstrap >/dev/null || {
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq && apt-get install -y -qq --no-install-recommends mmdebstrap >/dev/null
  }
  local sources recipe problem
  sources=$(debian13_sources)
  if [ -z "$sources" ]; then
    # The Release files name the origin; they come with apt-get update.
    apt-get update -qq
    sources=$(debian13_sources)
  fi
  if [ -z "$sources" ]; then
    echo "debian13: the apt sources name no Debian archive for $(. /etc/os-release && echo "$VERSION_CODENAME")" >&2
    return 1
  fi
  recipe=$(debian13_recipe "$sources")
  mkdir -p "$DEBIAN13_DIR"
  exec {DEBIAN13_LOCK}>"$DEBIAN13_DIR/lock"
  flock -s "$DEBIAN13_LOCK"
  if problem=$(debian13_root_broken "$DEBIAN13_ROOT" "$recipe"); then
    # Another run may be using it: wait for the root to be ours alone.
    flock -u "$DEBIAN13_LOCK"
    echo "debian13: root in $DEBIAN13_ROOT: $problem; waiting for other runs to leave it"
    flock -x "$DEBIAN13_LOCK"
    if problem=$(debian13_root_broken "$DEBIAN13_ROOT" "$recipe"); then
      make_debian13_root "$DEBIAN13_ROOT" "$sources" "$recipe"
    fi
    flock -s "$DEBIAN13_LOCK"
  fi
}

# Runs a command in the root, in the current folder, which must lie in the
# work tree $PWD is in: that tree is bound into the root at the same path, so
# the paths that CMake and CTest wrote work unchanged. The environment passes
# through (WINEPREFIX, LC_ALL, DISPLAY), with the root's own PATH.
in_debian13_root() {
  run_in_root "$DEBIAN13_ROOT" "$@"
}

run_in_root() {
  local root=$1 work
  shift
  work=$(git rev-parse --show-toplevel 2>/dev/null || pwd)
  unshare --mount --propagation private bash -euc '
    root=$1 work=$2
    shift 2
    mount --bind /proc "$root/proc"
    mount --rbind /sys "$root/sys"
    mount --rbind /dev "$root/dev"
    # The host'"'"'s /tmp: X displays taken by other runs are seen and not reused.
    mount --bind /tmp "$root/tmp"
    mkdir -p "$root$work"
    mount --bind "$work" "$root$work"
    exec chroot "$root" /usr/bin/env -C "$PWD" PATH=/usr/bin:/bin "$@"
  ' in-debian13-root "$root" "$work" "$@"
}
