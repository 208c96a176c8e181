#!/bin/sh
# Draws the program's 32x32 icon (a printer with a sheet coming out) into
# ui/vormlan.ico. Run again after changing the drawing; the result is committed.
set -e
cd "$(dirname "$0")"
convert -size 32x32 xc:none \
  -fill '#f8f8f8' -stroke '#404040' -draw 'rectangle 9,2 22,12' \
  -stroke '#9090a0' -draw 'line 11,5 20,5' -draw 'line 11,8 20,8' \
  -fill '#4a6fa5' -stroke '#1f2f4a' -draw 'roundrectangle 2,11 29,24 3,3' \
  -fill '#2a3f60' -stroke none -draw 'rectangle 6,20 25,22' \
  -fill '#7fd37f' -draw 'rectangle 24,14 26,15' \
  -fill '#f8f8f8' -stroke '#404040' -draw 'rectangle 8,22 23,30' \
  -stroke '#9090a0' -draw 'line 10,25 21,25' -draw 'line 10,27 18,27' \
  -define icon:auto-resize=32 vormlan.ico
