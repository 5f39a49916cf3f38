#!/bin/sh
# Draws the window's icon and picture: a red square with the white word "HTML".
# Needs ImageMagick (Debian's imagemagick) and the DejaVu fonts; the PNGs are committed.
set -e
cd "$(dirname "$0")"
draw() { # size, point size, output
    convert -size "$1x$1" xc:'#d01010' -font DejaVu-Sans-Bold -pointsize "$2" \
        -fill white -gravity center -annotate +0+0 HTML "$3"
}
draw 200 58 icon-full.png && convert icon-full.png -colors 256 PNG8:icon.png && rm icon-full.png
draw 48 14 PNG24:picture.png
convert icon.png -define icon:auto-resize=200,64,48,32,16 icon.ico
