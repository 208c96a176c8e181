#!/bin/sh
# Creates the build tree's Wine prefix and imports every registry fixture of
# this folder into it. $1: the build's wine-run wrapper; $2: this folder.
set -e
run="$1"
dir="$2"
"$run" wineboot -i >/dev/null 2>&1 || true
for reg in "$dir"/*.reg; do
  [ -e "$reg" ] || continue
  "$run" regedit /s "Z:$(echo "$reg" | tr / '\\')"
done
# Wait for this prefix's wine server to end: the desktop it started here has
# no display, and windows of the GUI suites would fail on it.
"$run" --server -w || true
echo "wine prefix ready"
