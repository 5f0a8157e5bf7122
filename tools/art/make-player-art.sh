#!/usr/bin/env bash
# Draws TrivoxPlay's icon and bitmaps, and the icons of the demos built on its engine, with
# ImageMagick into OUT_DIR.
# Usage: make-player-art.sh OUT_DIR
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/art-common.sh" "$1"

# 8 bits per pixel with a palette, as the player's bitmaps are.
bitmap() {
  local name=$1 w=$2 h=$3
  shift 3
  "$CONVERT" -size "${w}x${h}" "$@" -alpha off -type Palette -colors 256 -compress None "BMP3:$out/$name.bmp"
}

# The room from above: a grey floor, the walls leaning outward in perspective toward the
# frame, and the listener's head in the centre with the nose toward the top (the front).
bitmap player-room 263 240 xc:'#8c8c8c' \
  -fill '#b4b4b4' -draw 'polygon 0,0 262,0 222,34 40,34' \
  -fill '#a4a4a4' -draw 'polygon 0,0 40,34 40,205 0,239' \
  -fill '#a4a4a4' -draw 'polygon 262,0 262,239 222,205 222,34' \
  -fill '#7a7a7a' -draw 'polygon 0,239 40,205 222,205 262,239' \
  -fill '#9a9a9a' -draw 'rectangle 40,34 222,205' \
  -stroke '#5a5a5a' -strokewidth 1 -fill none \
  -draw 'rectangle 40,34 222,205' -draw 'line 0,0 40,34' -draw 'line 262,0 222,34' \
  -draw 'line 0,239 40,205' -draw 'line 262,239 222,205' \
  -stroke '#929292' -draw 'line 131,34 131,205' -draw 'line 40,120 222,120' \
  -stroke '#3a2a20' -fill '#e0b890' -draw 'ellipse 131,120 13,15 0,360' \
  -fill '#e0b890' -draw 'polygon 126,106 131,98 136,106' \
  -fill '#d0a880' -draw 'ellipse 117,120 3,6 0,360' -draw 'ellipse 145,120 3,6 0,360' \
  -stroke none -fill '#5a3a20' -draw 'ellipse 131,126 11,8 0,360'

# The product's logo for the About box.
bitmap player-logo 117 177 gradient:'#10284a'-'#3f7fc0' \
  -fill none -stroke '#7fc4ff' -strokewidth 3 -draw 'circle 58,70 58,22' \
  -stroke '#bfe2ff' -strokewidth 2 -draw 'circle 58,70 58,38' \
  -stroke none -fill '#ffd040' -draw 'circle 58,70 58,56' \
  -fill '#4060ff' -draw 'circle 22,34 22,27' -fill '#fa4632' -draw 'circle 96,106 96,99' \
  -fill '#ffffff' -draw 'polygon 20,140 58,126 96,140 58,154' \
  -fill '#ffd040' -draw 'rectangle 20,162 96,165'

# The program icon: two coloured sources circling a head.
icon player -fill '#1d3f72' -draw 'circle 16,16 16,1' \
  -fill none -stroke '#7fc4ff' -strokewidth 2 -draw 'circle 16,16 16,6' -stroke none \
  -fill '#e0b890' -draw 'circle 16,16 16,11' -fill '#4060ff' -draw 'circle 7,8 7,4' \
  -fill '#fa4632' -draw 'circle 25,24 25,20'

# The demos built on the player's engine.
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
