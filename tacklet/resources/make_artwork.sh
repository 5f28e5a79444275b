#!/bin/sh
# Draws the page images (resources 328-354) into img/ beside this script.
# Sizes and formats are fixed by the pages that use them: bitmaps are Windows
# BMP (24-bit), the rest JPEG or GIF. The output is committed; the build does
# not run this script. Needs ImageMagick 6 (Debian imagemagick) and the DejaVu
# fonts (fonts-dejavu-core).
set -eu

cd "$(dirname "$0")/img"

# Another "convert" may come first on PATH; use ImageMagick's own when it is there.
CONVERT=convert
for candidate in convert-im6.q16 /usr/bin/convert; do
    if command -v "$candidate" >/dev/null 2>&1 && "$candidate" -version 2>/dev/null | grep -q ImageMagick; then
        CONVERT=$candidate
        break
    fi
done

FONT=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf
BOLD=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf

# Header blue, top to bottom; the bottom bar grey likewise.
HDR_TOP='#2e5a8f'
HDR_BOTTOM='#1b3558'
BAR_TOP='#f2f2f2'
BAR_BOTTOM='#d6d6d6'

im() {
    "$CONVERT" "$@"
}

bmp() {
    # $1 file, then drawing arguments: 24-bit BMP without extra chunks.
    out=$1
    shift
    im "$@" -strip -type TrueColor "BMP3:$out"
}

jpg() {
    out=$1
    shift
    im "$@" -strip -quality 92 "$out"
}

# 329: header background, repeated across.
bmp 329.bmp -size 2x41 "gradient:$HDR_TOP-$HDR_BOTTOM"

# 328: header title, a logo mark, the product name and its slogan.
bmp 328.bmp -size 203x41 "gradient:$HDR_TOP-$HDR_BOTTOM" \
    -fill '#f0a030' -draw 'roundrectangle 8,9 30,31 4,4' \
    -fill '#ffffff' -font "$BOLD" -pointsize 16 -draw "text 14,27 'T'" \
    -font "$BOLD" -pointsize 15 -draw "text 38,22 'Tacklet'" \
    -fill '#b8cce6' -font "$FONT" -pointsize 9 -draw "text 39,34 'stock messenger'"

# 330: close button of the note view and the page window.
jpg 330.jpg -size 29x40 "gradient:$HDR_TOP-$HDR_BOTTOM" \
    -fill '#c83c3c' -stroke '#e8a0a0' -draw 'roundrectangle 5,11 23,29 3,3' \
    -stroke '#ffffff' -strokewidth 2 -draw 'line 10,16 18,24' -draw 'line 18,16 10,24'

# 331: bottom bar background, repeated across.
bmp 331.bmp -size 1x23 "gradient:$BAR_TOP-$BAR_BOTTOM"

# 332: bottom bar left, product name and tagline.
bmp 332.bmp -size 225x23 "gradient:$BAR_TOP-$BAR_BOTTOM" \
    -fill "$HDR_BOTTOM" -font "$BOLD" -pointsize 11 -draw "text 8,16 'Tacklet'" \
    -fill '#666666' -font "$FONT" -pointsize 9 -draw "text 60,15 'market notes on your desktop'"

# 333: bottom bar right, the maker's line.
bmp 333.bmp -size 140x23 "gradient:$BAR_TOP-$BAR_BOTTOM" \
    -fill '#666666' -font "$FONT" -pointsize 9 -gravity east -draw "text 8,0 '(c) Orvane  Tacklet V2.0'"

# 340: category column, repeated downwards.
bmp 340.bmp -size 90x1 'xc:#2d3e55'

# 341: selected category item, with a marker at the list's side.
im -size 105x41 'xc:#4a78b5' \
    -fill '#f0a030' -draw 'rectangle 15,0 18,40' \
    -fill '#ffffff' -draw 'rectangle 0,0 14,40' \
    -fill '#3a6399' -draw 'rectangle 19,39 104,40' \
    -strip GIF:341.gif

# 342: separator under each category item, a dark and a light line.
bmp 342.bmp -size 87x2 'xc:#3f5472' -fill '#1f2c3d' -draw 'line 0,0 86,0'

# 347: close mark of the alarm box and strip, readable on blue and on yellow.
im -size 9x9 'xc:#c83c3c' -stroke '#ffffff' -strokewidth 1.4 \
    -draw 'line 2,2 6,6' -draw 'line 6,2 2,6' \
    -strip GIF:347.gif

# 349: alarm box with its drawn title bar.
bmp 349.bmp -size 237x125 'xc:#f4f8fc' \
    -fill none -stroke "$HDR_TOP" -draw 'rectangle 0,0 236,124' \
    \( -size 235x24 "gradient:$HDR_TOP-$HDR_BOTTOM" \) -geometry +1+1 -composite \
    -stroke none -fill '#ffffff' -font "$BOLD" -pointsize 11 -draw "text 9,17 'Tacklet'"

# 350: alarm strip, a note-yellow band with a pointer in the middle below.
jpg 350.jpg -size 231x30 'xc:#fff6d5' \
    -fill '#fff6d5' -stroke '#d9a520' -draw 'rectangle 2,0 228,24' \
    -draw 'polygon 110,24 115,29 120,24' \
    -stroke '#fff6d5' -draw 'line 111,24 119,24'

# 354: header right, calendar link, minimize and close marks.
jpg 354.jpg -size 160x40 "gradient:$HDR_TOP-#1c375b" \
    -fill '#3f6fa8' -stroke '#7fa3d0' -draw 'roundrectangle 1,8 71,32 4,4' \
    -stroke none -fill '#ffffff' -font "$BOLD" -pointsize 10 -draw "text 10,24 'Calendar'" \
    -fill '#ffffff' -draw 'rectangle 121,22 131,24' \
    -stroke '#ffffff' -strokewidth 2 -draw 'line 140,16 149,25' -draw 'line 149,16 140,25'
