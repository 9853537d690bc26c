#!/usr/bin/env bash
# Draws the window's pictures with ImageMagick: the two section balls beside the executable
# (data/) and the pictures compiled into the window (form/images/). The outputs are committed;
# run this again only to change the artwork. The output is byte-for-byte repeatable.
#
#   data/ball_red.gif      27x25  the ball of the open section
#   data/ball_gray.bmp     27x25  the ball of the other sections
#   form/images/logo.png    139x47 the product mark at the top left of the window
#   form/images/key_*.png   90x40  the Menu, Minus and Plus key faces of the control panel
#   form/images/cr.png      21x27  the CR button of the projector command boxes
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

command -v convert >/dev/null || { echo "make_artwork.sh needs ImageMagick (convert)" >&2; exit 1; }

bold_font="$(fc-match -f '%{file}' 'DejaVu Sans:style=Bold' 2>/dev/null || true)"
[ -f "$bold_font" ] || bold_font=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf
[ -f "$bold_font" ] || { echo "make_artwork.sh needs DejaVu Sans Bold (fonts-dejavu-core)" >&2; exit 1; }

mkdir -p data form/images

# The window's background, so that the balls' anti-aliased edges blend into it.
window_grey='rgb(192,192,192)'
# PNG files with no time stamps or colour-space chunks: a rerun changes no byte, and the
# pictures show the same colours as the window around them.
png=(-strip -define png:exclude-chunk=date,time,gAMA,cHRM,bKGD)

# ball BASE_LIGHT BASE_DARK RIM OUTPUT: a shaded ball drawn eight times larger, then reduced,
# on the window grey (GIF and BMP have no partial transparency).
ball() {
    local light="$1" dark="$2" rim="$3" out="$4"
    convert -size 216x200 \
        -define gradient:center=84,72 -define gradient:radii=128,128 \
        "radial-gradient:${light}-${dark}" \
        \( -size 216x200 xc:none -fill 'rgba(255,255,255,0.85)' \
           -draw 'ellipse 82,60 36,24 0,360' -blur 0x9 \) -compose over -composite \
        \( -size 216x200 xc:black -fill white -draw 'circle 108,100 108,10' \) \
        -alpha off -compose CopyOpacity -composite \
        -fill none -stroke "$rim" -strokewidth 7 -draw 'circle 108,100 108,13' \
        -background "$window_grey" -compose over -flatten \
        -filter Triangle -resize '27x25!' -strip "$out"
}

ball '#ff6a58' '#8c0000' '#600000' data/ball_red.gif
ball '#ececec' '#5e5e5e' '#3e3e3e' BMP3:data/ball_gray.bmp

# logo.png: an orb with an orbit ring, and the product name in two lines, on white.
convert -size 139x47 xc:none \
    -fill white -stroke '#4a6f9e' -strokewidth 1 -draw 'roundrectangle 0.5,0.5 138.5,46.5 6,6' \
    \( -size 36x36 -define gradient:center=13,11 -define gradient:radii=30,30 \
       'radial-gradient:#8fd0ff-#0a3d91' \
       \( -size 36x36 xc:black -fill white -draw 'circle 18,18 18,2' \) \
       -alpha off -compose CopyOpacity -composite \) \
    -geometry +5+6 -compose over -composite \
    -fill none -stroke 'rgba(255,255,255,0.9)' -strokewidth 1.6 \
    -draw 'translate 23,24 rotate -25 ellipse 0,0 21,6.5 200,340' \
    -stroke '#0a3d91' -strokewidth 1.6 \
    -draw 'translate 23,24 rotate -25 ellipse 0,0 21,6.5 -20,160' \
    -stroke none -font "$bold_font" \
    -fill '#0b2e6b' -pointsize 17 -annotate +48+21 'KZ-ORBA' \
    -fill '#1f6fd1' -pointsize 14 -annotate +49+39 '320-RX' \
    "${png[@]}" PNG32:form/images/logo.png

# key FACE_MARK OUTPUT: a light-blue key face with rounded corners; the mark is drawn on it.
key() {
    local out="$1"
    shift
    convert -size 90x40 xc:none \
        \( -size 88x38 gradient:'#e6f3ff-#95c6f0' \
           \( -size 88x38 xc:black -fill white -draw 'roundrectangle 0,0 87,37 7,7' \) \
           -alpha off -compose CopyOpacity -composite \) \
        -geometry +1+1 -compose over -composite \
        -fill none -stroke 'rgba(255,255,255,0.8)' -strokewidth 1 \
        -draw 'line 8,2.5 81,2.5' \
        -stroke '#2f5f96' -strokewidth 1 -draw 'roundrectangle 0.5,0.5 89.5,39.5 7,7' \
        -stroke none -fill '#0b2e6b' "$@" \
        "${png[@]}" "PNG32:$out"
}

key form/images/key_menu.png -font "$bold_font" -pointsize 15 -gravity center -annotate +0+0 'MENU'
key form/images/key_minus.png -draw 'roundrectangle 31,17 58,22 2,2'
key form/images/key_plus.png -draw 'roundrectangle 31,17 58,22 2,2' -draw 'roundrectangle 42,6 47,33 2,2'

# cr.png: the letters CR on a clear background, for the small CR buttons.
convert -size 21x27 xc:none -font "$bold_font" -pointsize 11 -fill '#1a1a1a' \
    -gravity center -annotate +0+0 'CR' \
    "${png[@]}" PNG32:form/images/cr.png

echo "artwork written to data/ and form/images/"
