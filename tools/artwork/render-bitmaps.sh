#!/usr/bin/env bash
# Regenerates the illustration bitmaps of the two-sided printing
# instructions dialog from their SVG sources: the pictures of the table at
# their own size into res/bitmaps, and the same pictures at twice the size
# into res/bitmaps-2x, which the dialog draws from on screens scaled to 150 %
# and more. Each set gets a contact sheet (contact-sheet.png,
# contact-sheet-2x.png in res/artwork).
#
#   tools/artwork/render-bitmaps.sh [--regen]
#
#   --regen   first rewrite the SVGs from tools/artwork/make-svgs.py
#             (do this after changing the generator; without it the SVGs in
#             res/artwork are rendered as they are, hand edits included)
#
# Environment: CONTACT_SCALE (default 2) enlarges the contact sheet of the
# table's pictures; the one of the larger pictures shows them as they are.
#
# Needs rsvg-convert (librsvg2-bin), ImageMagick 6 at /usr/bin (convert,
# montage) and python3. ImageMagick only rasterises helpers and reduces
# colours; the BMP files themselves are written by write-bmp.py so that
# their format (depth, colour table, orientation) is exactly the one the
# dialog's resources need, and check-bitmaps.py verifies them at the end.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(cd "$here/../.." && pwd)"
src="$root/oemui/doceventdlg/res/artwork"
out="$root/oemui/doceventdlg/res/bitmaps"
out2x="$root/oemui/doceventdlg/res/bitmaps-2x"
convert=/usr/bin/convert
montage=/usr/bin/montage
scale="${CONTACT_SCALE:-2}"

if [[ "${1:-}" == "--regen" ]]; then
    python3 "$here/make-svgs.py" "$src"
fi

# ID  width height depth
table="
105 155 100 8
106 155 100 8
107 155 100 8
108 155 100 8
109 155 100 8
110 155 100 8
111 155 100 8
112 155 100 8
113 155 100 8
114 155 100 8
115 155 100 8
116 155 100 8
117 155 100 8
118 155 100 8
119 155 100 8
120 155 100 8
121 155 100 8
122 155 100 8
123 155 100 8
133 155 100 8
134 155 100 8
146 155 100 8
147 155 100 4
149 155 100 8
151 155 100 8
152 155 100 8
153 155 100 4
154 152 98 24
155 155 100 4
"

tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$out" "$out2x"

tiles=()
while read -r id w h depth; do
    [[ -z "$id" ]] && continue
    svg="$src/$id.svg"
    [[ -f "$svg" ]] || { echo "missing $svg" >&2; exit 1; }
    rsvg-convert --width "$w" --height "$h" --background-color white \
        "$svg" -o "$tmp/$id.png"
    case "$depth" in
        8)  # at most 256 colours, no dithering (keeps the lines clean)
            "$convert" "$tmp/$id.png" -alpha off +dither -colors 256 \
                -depth 8 "rgb:$tmp/$id.rgb" ;;
        *)  # 4-bit: mapped to the 16-colour palette by write-bmp.py;
            # 24-bit: taken as it is
            "$convert" "$tmp/$id.png" -alpha off -depth 8 "rgb:$tmp/$id.rgb" ;;
    esac
    python3 "$here/write-bmp.py" "$depth" "$w" "$h" "$tmp/$id.rgb" "$out/$id.bmp"
    # contact sheet tile from the finished BMP, so it shows what ships
    "$convert" "$out/$id.bmp" -filter point -resize "$((scale * 100))%" \
        -bordercolor '#909090' -border 1 "$tmp/tile-$id.png"
    tiles+=(-label "$id" "$tmp/tile-$id.png")
done <<< "$table"

"$montage" "${tiles[@]}" -tile 6x -geometry +6+6 -font DejaVu-Sans -pointsize $((8 + 3 * scale)) \
    -background '#f4f4f4' "PNG8:$src/contact-sheet.png"

# Twice the size, from the same sources: 8-bit, run-length encoded (BI_RLE8),
# whatever the depth of the picture of the table. The 16-colour pictures are
# drawn with crisp edges and keep their colours; the 24-bit one (154) is
# reduced to 256 colours like the others.
tiles=()
while read -r id w h depth; do
    [[ -z "$id" ]] && continue
    w2=$((2 * w)) h2=$((2 * h))
    rsvg-convert --width "$w2" --height "$h2" --background-color white \
        "$src/$id.svg" -o "$tmp/$id-2x.png"
    "$convert" "$tmp/$id-2x.png" -alpha off +dither -colors 256 \
        -depth 8 "rgb:$tmp/$id-2x.rgb"
    python3 "$here/write-bmp.py" rle8 "$w2" "$h2" "$tmp/$id-2x.rgb" "$out2x/$id.bmp"
    "$convert" "$out2x/$id.bmp" -bordercolor '#909090' -border 1 "$tmp/tile2x-$id.png"
    tiles+=(-label "$id" "$tmp/tile2x-$id.png")
done <<< "$table"

"$montage" "${tiles[@]}" -tile 6x -geometry +6+6 -font DejaVu-Sans -pointsize 14 \
    -background '#f4f4f4' "PNG8:$src/contact-sheet-2x.png"

python3 "$here/check-bitmaps.py" "$out"
python3 "$here/check-bitmaps.py" --2x "$out2x"
