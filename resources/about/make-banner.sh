#!/bin/sh
# Draws the about window's banner (363 x 149, 24-bit colour): a landscape "photo" with
# two clicker marks linked by an arrow, and the product name. Also draws the same picture
# at twice the size for screens of high density (banner@2x.png, 726 x 298), every shape
# and letter drawn at that size rather than enlarged. Run from this folder.
set -eu
font_bold=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf
font=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf
# draw SCALE FILE: the banner at SCALE times its size.
draw() {
  s=$1
  # at TEXT: TEXT with each of its numbers multiplied by the scale.
  at() { printf '%s' "$1" | perl -pe "s/(\d+)/\$1*$s/ge"; }
  convert -size "$(at 363x149)" gradient:'#2f6fb5'-'#bfe3ff' \
    -fill '#3f8f3f' -draw "$(at 'polygon 0,149 0,112 60,96 130,108 210,88 290,104 363,92 363,149')" \
    -fill '#2f6f2f' -draw "$(at 'polygon 0,149 0,128 90,118 170,130 260,114 363,124 363,149')" \
    -fill '#fff3b0' -draw "$(at 'circle 318,30 318,14')" \
    -stroke '#ffffff' -strokewidth "$(at 2)" -fill none \
    -draw "$(at 'rectangle 40,108 60,128')" -draw "$(at 'rectangle 292,92 312,112')" \
    -draw "$(at 'stroke-linejoin round path "M 64,112 Q 175,70 287,100"')" \
    -draw "$(at 'polygon 289,101 277,103 280,93')" \
    -stroke none -fill '#ffffff' -font "$font_bold" -pointsize "$(at 34)" \
    -annotate "$(at +24+50)" 'MarkWeaver' \
    -font "$font" -pointsize "$(at 13)" -annotate "$(at +27+72)" \
    'maps of clickable photos and movie clips' \
    -type TrueColor -define png:color-type=2 "PNG24:$2"
}
draw 1 banner.png
draw 2 banner@2x.png
