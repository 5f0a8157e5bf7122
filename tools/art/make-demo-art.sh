#!/usr/bin/env bash
# Draws the demos' icons with ImageMagick into OUT_DIR.
# Usage: make-demo-art.sh OUT_DIR
set -euo pipefail
out=$1
mkdir -p "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
CONVERT=${CONVERT:-convert}

icon() {
  local name=$1
  shift
  "$CONVERT" -size 32x32 xc:none "$@" "$tmp/$name-32.png"
  "$CONVERT" "$tmp/$name-32.png" -resize 16x16 "$tmp/$name-16.png"
  "$CONVERT" "$tmp/$name-16.png" "$tmp/$name-32.png" "$out/$name.ico"
}

# A helicopter from above: the rotor's two blades over a dark body and tail.
icon rotorix -fill '#5a8ac0' -draw 'circle 16,16 16,1' \
  -fill '#203040' -draw 'ellipse 16,14 5,7 0,360' -draw 'rectangle 15,20 17,30' \
  -stroke '#e8e8f0' -strokewidth 2 -draw 'line 4,4 28,24' -draw 'line 28,4 4,24'

# Bees around a head: yellow and black dots on green.
icon buzzfield -fill '#4a8a3a' -draw 'circle 16,16 16,1' -fill '#e0b890' -draw 'circle 16,16 16,11' \
  -fill '#ffd020' -draw 'circle 6,8 6,5' -draw 'circle 26,10 26,7' -draw 'circle 9,25 9,22' -draw 'circle 24,26 24,23' \
  -fill '#202020' -draw 'rectangle 5,7 7,9' -draw 'rectangle 25,9 27,11' -draw 'rectangle 8,24 10,26' -draw 'rectangle 23,25 25,27'

# An oval track with a red car on it.
icon lapline -fill '#4a8a3a' -draw 'roundrectangle 2,1 30,31 12,12' \
  -fill none -stroke '#909090' -strokewidth 3 -draw 'roundrectangle 7,5 25,27 8,8' -stroke none \
  -fill '#e02818' -draw 'rectangle 23,13 27,19'
