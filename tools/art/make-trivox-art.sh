#!/usr/bin/env bash
# Draws the Trivox device object's splash logo with ImageMagick into OUT_DIR.
# Usage: make-trivox-art.sh OUT_DIR
set -euo pipefail
out=$1
mkdir -p "$out"
CONVERT=${CONVERT:-convert}

# The Trivox pyramid on a night-blue field, sound spreading from it in three rings.
"$CONVERT" -size 240x120 gradient:'#101828'-'#30486a' \
  -fill none -stroke '#3f6a9a' -strokewidth 3 -draw 'circle 120,62 120,6' \
  -stroke '#5f8aba' -draw 'circle 120,62 120,20' -stroke '#8fb4dc' -draw 'circle 120,62 120,34' \
  -stroke none -fill '#d04020' -draw 'polygon 120,18 120,70 86,86' \
  -fill '#f08040' -draw 'polygon 120,18 120,70 154,86' \
  -fill '#e0e0e0' -draw 'polygon 86,86 120,102 154,86 120,70' \
  -fill none -stroke '#ffd040' -strokewidth 2 -draw 'rectangle 1,1 238,118' \
  -alpha off -type Palette -colors 256 -compress None "BMP3:$out/splash-logo.bmp"
echo "art written to $out"
