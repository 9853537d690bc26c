#!/bin/sh
# Draws the application icon from the window's logo: the logo centred on a transparent square,
# as PNG files of the hicolor sizes and as a scalable SVG that holds the largest one.
# Usage: make_icons.sh LOGO.png OUT_DIR
set -eu
logo=$1 out=$2
mkdir -p "$out"
for size in 16 22 24 32 48 64 128 256; do
    convert "$logo" -background none -gravity center -resize "${size}x${size}" \
        -extent "${size}x${size}" -strip "PNG32:$out/kz-orba-ctrl-$size.png"
done
{
    echo '<?xml version="1.0" encoding="UTF-8"?>'
    echo '<svg xmlns="http://www.w3.org/2000/svg" xmlns:xlink="http://www.w3.org/1999/xlink" width="256" height="256" viewBox="0 0 256 256">'
    printf '<image width="256" height="256" xlink:href="data:image/png;base64,'
    base64 -w 0 "$out/kz-orba-ctrl-256.png"
    echo '"/>'
    echo '</svg>'
} >"$out/kz-orba-ctrl.svg"
