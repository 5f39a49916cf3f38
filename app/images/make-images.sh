#!/bin/sh
# Draws the window's icon and picture: a red square with the white word "HTML".
# icon.png (200 px, 256 colours) is the design's image; icon-N.png is the icon drawn for each
# size a desktop shows it at; picture.png (48 px) and picture@2x.png (96 px, for screens with
# twice the pixels) are the window's picture; icon.ico holds the sizes Windows uses.
# Below 48 px a font would blur the word into a smudge, so the word is drawn pixel by pixel
# ('#' white, '.' red) for each of those sizes; from 48 px DejaVu Sans Bold draws it.
# Needs ImageMagick (Debian's imagemagick) and fonts-dejavu-core; the PNGs are committed.
set -e
cd "$(dirname "$0")"
red='#d01010'
same_bytes='-strip -define png:exclude-chunks=date,time' # the same files on every run

# text SIZE [OPTION...] OUTPUT: the word at 0.29 of the size, as in the design's image.
text() {
    size=$1
    shift
    convert -size "${size}x$size" xc:"$red" -font DejaVu-Sans-Bold \
        -pointsize $(((size * 29 + 50) / 100)) -fill white -gravity center -annotate +0+0 HTML \
        $same_bytes "$@"
}

# pixels SIZE OUTPUT: the word given on standard input, centred in the square.
pixels() {
    awk -v n="$1" -v red="$red" '
        { row[NR] = $0; if (length($0) > w) w = length($0) }
        END {
            left = int((n - w) / 2); top = int((n - NR) / 2)
            printf "/* XPM */\nstatic char* icon[] = {\n\"%d %d 2 1\",\n", n, n
            printf "\". c %s\",\n\"# c #ffffff\",\n", red
            for (y = 0; y < n; y++) {
                line = ""
                for (x = 0; x < n; x++) {
                    c = substr(row[y - top + 1], x - left + 1, 1)
                    line = line (y >= top && x >= left && c == "#" ? "#" : ".")
                }
                printf "\"%s\"%s\n", line, y < n - 1 ? "," : "};"
            }
        }' | convert xpm:- $same_bytes PNG24:"$2"
}

# One pixel strokes, the M five pixels wide: the narrowest the four letters stay apart in.
pixels 16 icon-16.png <<'EOF'
#.#.###.#...#.#.
#.#..#..##.##.#.
###..#..#.#.#.#.
#.#..#..#...#.#.
#.#..#..#...#.##
EOF
pixels 22 icon-22.png <<'EOF'
#..#.#####.#...#.#...
#..#...#...##.##.#...
#..#...#...#.#.#.#...
####...#...#...#.#...
#..#...#...#...#.#...
#..#...#...#...#.#...
#..#...#...#...#.####
EOF
# Two pixel strokes from 24 px, bold as in the design.
pixels 24 icon-24.png <<'EOF'
##.##.####.##...##.##..
##.##.####.###.###.##..
##.##..##..#######.##..
#####..##..##.#.##.##..
#####..##..##...##.##..
##.##..##..##...##.##..
##.##..##..##...##.####
##.##..##..##...##.####
EOF
pixels 32 icon-32.png <<'EOF'
##..##..######.##....##..##...
##..##..######.###..###..##...
##..##....##...########..##...
##..##....##...##.##.##..##...
######....##...##....##..##...
######....##...##....##..##...
##..##....##...##....##..##...
##..##....##...##....##..##...
##..##....##...##....##..#####
##..##....##...##....##..#####
EOF
for size in 48 64 128 256; do
    text "$size" PNG24:icon-"$size".png
done
text 200 -colors 256 PNG8:icon.png
text 48 PNG24:picture.png
text 96 PNG24:picture@2x.png
convert icon-16.png icon-24.png icon-32.png icon-48.png icon-64.png icon-256.png icon.ico
