#!/bin/sh
# Draws the drop area's picture and the program's icon with ImageMagick. Run it from anywhere
# after changing it; both PNG files it writes are committed, so builds do not need ImageMagick.
set -eu

here=$(dirname "$0")
font=/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf

# The drop area: 259 x 126 on light blue; a pale-green arrow rises from the lower left, arches over
# and points down at the right; the words across it tell what the area is for.
convert -size 259x126 'xc:rgb(0,207,255)' \
    -fill none -stroke 'rgb(170,240,170)' -strokewidth 16 -draw 'path "M 30,120 C 40,10 200,0 211,66"' \
    -stroke none -fill 'rgb(170,240,170)' -draw 'polygon 186,62 236,62 211,106' \
    -font "$font" -pointsize 21 -fill 'rgb(110,110,110)' -gravity center \
    -annotate +0+14 'ドラッグアンドドロップ' \
    -type TrueColor "PNG24:$here/drop_picture.png"

# The icon: the same arrow over a page, on the same blue.
convert -size 128x128 xc:none \
    -fill 'rgb(0,207,255)' -draw 'roundrectangle 4,4 123,123 18,18' \
    -fill white -stroke 'rgb(90,90,90)' -strokewidth 3 -draw 'rectangle 58,52 104,112' \
    -stroke 'rgb(150,150,150)' -strokewidth 3 -draw 'line 66,68 96,68 line 66,80 96,80 line 66,92 88,92' \
    -fill none -stroke 'rgb(60,170,60)' -strokewidth 12 -draw 'path "M 20,112 C 20,20 80,10 84,40"' \
    -stroke none -fill 'rgb(60,170,60)' -draw 'polygon 68,38 100,38 84,62' \
    "PNG32:$here/quorvane.png"
