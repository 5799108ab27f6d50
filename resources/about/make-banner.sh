#!/bin/sh
# Draws the about window's banner (363 x 149, 24-bit colour): a landscape "photo" with
# two clicker marks linked by an arrow, and the product name. Run from this folder.
set -eu
font_bold=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf
font=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf
convert -size 363x149 gradient:'#2f6fb5'-'#bfe3ff' \
  -fill '#3f8f3f' -draw 'polygon 0,149 0,112 60,96 130,108 210,88 290,104 363,92 363,149' \
  -fill '#2f6f2f' -draw 'polygon 0,149 0,128 90,118 170,130 260,114 363,124 363,149' \
  -fill '#fff3b0' -draw 'circle 318,30 318,14' \
  -stroke '#ffffff' -strokewidth 2 -fill none \
  -draw 'rectangle 40,108 60,128' -draw 'rectangle 292,92 312,112' \
  -draw 'path "M 64,112 Q 175,70 287,100"' \
  -draw 'polygon 289,101 277,103 280,93' \
  -stroke none -fill '#ffffff' -font "$font_bold" -pointsize 34 \
  -annotate +24+50 'MarkWeaver' \
  -font "$font" -pointsize 13 -annotate +27+72 'maps of clickable photos and movie clips' \
  -type TrueColor -define png:color-type=2 PNG24:banner.png
