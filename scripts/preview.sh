#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine (as root), builds the library and the
# preview program, and saves a screenshot of every dialog, in English and in
# Arabic (mirrored), taken under Wine in a virtual X server; each dialog also
# at 144 DPI (150 %), taken in a Wine prefix of that scale (*-144.png), and in
# a black high-contrast theme (*-contrast-black*.png).
#
#   bash scripts/preview.sh [folder]        screenshots into folder (default out/preview)
#   bash scripts/preview.sh --show [options] show the dialogs on $DISPLAY instead;
#                                            with preview options, just that one dialog
#                                            (e.g. --show --dialog duplex --wait --language 1025)
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/lib.sh

# name, then the preview's options
shots=(
  "warning-en        --dialog warning --third 3002 --checkbox"
  "warning-ar        --dialog warning --third 3002 --checkbox --language 1025"
  "warning-long-en   --dialog warning --long-message"
  "jobstorage-en     --dialog jobstorage --range"
  "jobstorage-ar     --dialog jobstorage --range --language 1025"
  "duplex-info-en    --dialog duplex"
  "duplex-info-ar    --dialog duplex --language 1025"
  "duplex-composed-en --dialog duplex --step1 3153 --bitmap1 106 --step2 3156 --bitmap2 149 --step3 3140 --bitmap3 108"
  "duplex-wait-en    --dialog duplex --wait --even"
  "duplex-wait-ar    --dialog duplex --wait --even --language 1025"
)

# The same dialogs on a display scaled to 150 %: grown fonts and frames, the
# pictures drawn from their larger artwork.
shots_144=(
  "warning-en-144       --dialog warning --third 3002 --checkbox"
  "warning-ar-144       --dialog warning --third 3002 --checkbox --language 1025"
  "warning-long-en-144  --dialog warning --long-message"
  "jobstorage-en-144    --dialog jobstorage --range"
  "jobstorage-ar-144    --dialog jobstorage --range --language 1025"
  "duplex-info-en-144   --dialog duplex"
  "duplex-info-ar-144   --dialog duplex --language 1025"
  "duplex-wait-en-144   --dialog duplex --wait --even --step3 3157 --bitmap3 122"
  "duplex-wait-ar-144   --dialog duplex --wait --even --step3 3157 --bitmap3 122 --language 1025"
)

# The same dialogs under Wine 10, which gives a host that declares no DPI
# awareness (the preview declares none, as most printing programs) a 96-DPI
# world as Windows does, on a display at 144 DPI: the dialogs are still laid
# out at 144 DPI and draw the larger pictures.
shots_unaware_144=(
  "warning-en-144-unaware-wine10     --dialog warning --third 3002 --checkbox"
  "jobstorage-en-144-unaware-wine10  --dialog jobstorage --range"
  "duplex-info-en-144-unaware-wine10 --dialog duplex"
)

# The dialogs in Windows' "High Contrast Black" theme: the library is told
# that high contrast is on and given the theme's colours (--contrast black),
# and the prefix's own colours are the theme's for these shots, with visual
# styles off as under a contrast theme, so that what Wine draws matches.
shots_contrast=(
  "warning-contrast-black         --dialog warning --third 3002 --checkbox --contrast black"
  "jobstorage-contrast-black      --dialog jobstorage --range --contrast black"
  "duplex-info-contrast-black     --dialog duplex --contrast black"
  "duplex-composed-contrast-black --dialog duplex --step1 3153 --bitmap1 106 --step2 3156 --bitmap2 149 --step3 3140 --bitmap3 108 --contrast black"
  "duplex-wait-contrast-black-ar  --dialog duplex --wait --even --step3 3157 --bitmap3 122 --language 1025 --contrast black"
)

# Windows' "High Contrast Black" scheme, as the prefix's system colours.
contrast_black_reg() {
  printf '%s\n' 'REGEDIT4' '' '[HKEY_CURRENT_USER\Control Panel\Colors]' \
    '"ActiveBorder"="255 255 0"' '"ActiveTitle"="0 0 0"' '"AppWorkSpace"="0 0 0"' '"Background"="0 0 0"' \
    '"ButtonAlternateFace"="0 0 0"' '"ButtonDkShadow"="255 255 255"' '"ButtonFace"="0 0 0"' \
    '"ButtonHilight"="255 255 255"' '"ButtonLight"="255 255 255"' '"ButtonShadow"="255 255 255"' \
    '"ButtonText"="255 255 255"' '"GradientActiveTitle"="0 0 0"' '"GradientInactiveTitle"="0 0 0"' \
    '"GrayText"="63 242 63"' '"Hilight"="26 235 255"' '"HilightText"="0 0 0"' '"HotTrackingColor"="255 255 0"' \
    '"InactiveBorder"="255 255 255"' '"InactiveTitle"="0 0 0"' '"InactiveTitleText"="255 255 255"' \
    '"InfoText"="255 255 255"' '"InfoWindow"="0 0 0"' '"Menu"="0 0 0"' '"MenuBar"="0 0 0"' \
    '"MenuHilight"="128 0 128"' '"MenuText"="255 255 255"' '"Scrollbar"="0 0 0"' '"TitleText"="255 255 255"' \
    '"Window"="0 0 0"' '"WindowFrame"="255 255 255"' '"WindowText"="255 255 255"' '' \
    '[HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\ThemeManager]' '"ThemeActive"="0"'
}

# take_contrast_shots <exe> <folder>: the contrast shots, with the prefix's
# colours and theme put back as they were afterwards.
take_contrast_shots() {
  local exe=$1 out=$2 saved status=0
  saved=$(mktemp -d)
  wine reg export 'HKCU\Control Panel\Colors' "$saved/colors.reg" /y >/dev/null 2>&1
  wine reg export 'HKCU\Software\Microsoft\Windows\CurrentVersion\ThemeManager' "$saved/theme.reg" /y \
    >/dev/null 2>&1
  if [ ! -s "$saved/colors.reg" ] || [ ! -s "$saved/theme.reg" ]; then
    echo "cannot save the prefix's colours; contrast shots skipped" >&2
    rm -rf "$saved"
    return 1
  fi
  contrast_black_reg > "$saved/black.reg"
  wine regedit /S "$(winepath -w "$saved/black.reg")" >/dev/null 2>&1
  take_shots "$exe" "$out" "${shots_contrast[@]}" || status=$?
  wine regedit /S "$(winepath -w "$saved/colors.reg")" >/dev/null 2>&1
  wine regedit /S "$(winepath -w "$saved/theme.reg")" >/dev/null 2>&1
  rm -rf "$saved"
  return $status
}

# take_shots <exe> <folder> <shot>...
take_shots() {
  local exe=$1 out=$2
  shift 2
  local failed=0 line name
  for line in "$@"; do
    read -r name args <<<"$line"
    local long=()
    if [[ "$args" == *--long-message* ]]; then
      args=${args/--long-message/}
      long=(--message "The printer is out of paper in Tray 1. Load paper of the size the job asks for, \
make sure that the paper guides touch the stack, and close the tray. Then click OK to go on printing, or \
Cancel to stop the job. Pages already printed are kept; printing resumes with the first page that was not printed.")
    fi
    echo "== $name:$args"
    # shellcheck disable=SC2086
    if ! wine "$exe" $args "${long[@]}" --screenshot "Z:$out/$name.bmp" </dev/null; then
      echo "   failed" >&2
      failed=1
    fi
  done
  return $failed
}
if [ "${1:-}" = "--take-shots" ]; then
  status=0
  take_shots "$2" "$3" "${shots[@]}" || status=$?
  take_contrast_shots "$2" "$3" || status=$?
  exit $status
fi
# --take-shots-at <dpi> <exe> <folder> <tree> [unaware]: the scaled shots, in
# the tree's prefix of that DPI with a wineserver of its own beside the
# session's (under Wine 10 with "unaware": the unaware host's shots).
if [ "${1:-}" = "--take-shots-at" ]; then
  use_dpi_wine_prefix "$5" "$2"
  wineserver -p5 </dev/null >/dev/null 2>&1
  wine wineboot </dev/null >/dev/null 2>&1
  status=0
  if [ "${6:-}" = unaware ]; then
    # The caption buttons' font, from the tree's Wine 8 prefix of that scale.
    cp "$5/dpi-$2/wineprefix/drive_c/windows/Fonts/marlett.ttf" "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
    take_shots "$3" "$4" "${shots_unaware_144[@]}" || status=$?
  else
    take_shots "$3" "$4" "${shots_144[@]}" || status=$?
  fi
  wineserver -k
  wineserver -w
  exit $status
fi

tree=${BUILD_DIR:-build}
show=0
out=out/preview
preview_args=()
if [ "${1:-}" = "--show" ]; then
  show=1
  shift
  preview_args=("$@")
  if [ -z "${DISPLAY:-}" ]; then
    echo "--show needs a display (\$DISPLAY is not set)" >&2
    exit 2
  fi
elif [ $# -gt 0 ]; then
  out=$1
fi

ensure_packages
cmake -S . -B "$tree" -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" \
      -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$tree" --target doceventdlg-preview -j"$(nproc)"
use_wine_prefix "$tree"

# Wine draws the caption buttons with its Marlett font, which comes with the
# fonts-wine package; without it the close box shows a letter. The font is put
# into this prefix only, so the fonts the tests see stay as they are.
install_caption_font() {
  local fonts="$WINEPREFIX/drive_c/windows/Fonts"
  [ -f /usr/share/wine/fonts/marlett.ttf ] || [ -f "$fonts/marlett.ttf" ] && return 0
  local tmp
  tmp=$(mktemp -d)
  if (cd "$tmp" && apt-get download fonts-wine >/dev/null 2>&1) \
     && dpkg-deb -x "$tmp"/fonts-wine_*.deb "$tmp/x"; then
    mkdir -p "$fonts"
    cp "$tmp/x/usr/share/wine/fonts/marlett.ttf" "$fonts/"
  else
    echo "note: fonts-wine could not be fetched; caption buttons show letters" >&2
  fi
  rm -rf "$tmp"
}
install_caption_font
(use_dpi_wine_prefix "$tree" 144 && install_caption_font)

exe="$PWD/$tree/bin/doceventdlg-preview.exe"

if [ "$show" = 1 ]; then
  if [ ${#preview_args[@]} -gt 0 ]; then
    wine "$exe" "${preview_args[@]}"
  else
    for dialog in "--dialog warning --third 3002 --checkbox" "--dialog jobstorage --range" \
                  "--dialog duplex" "--dialog duplex --wait --even"; do
      echo "showing: $dialog (close it to go on)"
      # shellcheck disable=SC2086
      wine "$exe" $dialog
    done
  fi
  wineserver -w
  exit 0
fi

mkdir -p "$out"
out=$(cd "$out" && pwd)
for line in "${shots[@]}" "${shots_contrast[@]}" "${shots_144[@]}" "${shots_unaware_144[@]}"; do
  read -r name _ <<<"$line"
  rm -f "$out/$name.png" "$out/$name.bmp"
done

status=0
# The screenshots are taken by this script again, inside the session.
in_wine_session bash -c 'bash scripts/preview.sh --take-shots "$1" "$2"; rc=$?
  bash scripts/preview.sh --take-shots-at 144 "$1" "$2" "$3" || rc=$?; exit $rc' \
  take-shots "$exe" "$out" "$tree" || status=$?

# Under Wine 10, in its Debian 13 root (made or checked here; as root).
if [ "$(id -u)" -eq 0 ]; then
  . scripts/debian13-root.sh
  ensure_debian13_root
  # shellcheck disable=SC2016
  in_debian13_root bash -c '. scripts/lib.sh; in_wine_session bash scripts/preview.sh --take-shots-at 144 "$1" "$2" "$3" unaware' \
    take-shots "$exe" "$out" "$tree" || status=$?
else
  echo "note: the Wine 10 shots need root (the Debian 13 root); left out" >&2
fi

for line in "${shots[@]}" "${shots_contrast[@]}" "${shots_144[@]}" "${shots_unaware_144[@]}"; do
  read -r name _ <<<"$line"
  bmp="$out/$name.bmp"
  [ -f "$bmp" ] || continue
  /usr/bin/convert "$bmp" "$out/$name.png" && rm -f "$bmp"
done
echo
echo "screenshots in $out:"
ls "$out"
exit $status
