#!/usr/bin/env bash
# Draws the programs' icons and bitmaps with ImageMagick into OUT_DIR.
# Usage: make-art.sh OUT_DIR
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/art-common.sh" "$1"

cone() {  # speaker cone facing $1 (left|right) with N waves in colour $3
  local side=$1 waves=$2 colour=$3 args=()
  if [ "$side" = left ]; then
    args+=(-fill '#404850' -draw 'rectangle 18,10 25,21' -fill '#606a78' -draw 'polygon 18,10 10,3 10,28 18,21')
    [ "$waves" -ge 1 ] && args+=(-fill none -stroke "$colour" -strokewidth 2 -draw 'arc 0,8 12,24 110,250')
    [ "$waves" -ge 2 ] && args+=(-fill none -stroke "$colour" -strokewidth 2 -draw 'arc -6,3 8,29 110,250')
  else
    args+=(-fill '#404850' -draw 'rectangle 6,10 13,21' -fill '#606a78' -draw 'polygon 13,10 21,3 21,28 13,21')
    [ "$waves" -ge 1 ] && args+=(-fill none -stroke "$colour" -strokewidth 2 -draw 'arc 19,8 31,24 -70,70')
    [ "$waves" -ge 2 ] && args+=(-fill none -stroke "$colour" -strokewidth 2 -draw 'arc 23,3 37,29 -70,70')
  fi
  printf '%s\n' "${args[@]}"
}

headphones() {  # $1 = ear that sounds (none|left|right|dim), $2 = frame 1|2
  local ear=$1 frame=${2:-1} band='#505a66' cup='#2f6fb0' l r
  [ "$ear" = dim ] && { band='#a0a4a8'; cup='#b8bcc0'; }
  l=$cup r=$cup
  if [ "$ear" = left ]; then [ "$frame" = 1 ] && l='#f0a020' || l='#ffd040'; fi
  if [ "$ear" = right ]; then [ "$frame" = 1 ] && r='#f0a020' || r='#ffd040'; fi
  printf '%s\n' -fill none -stroke "$band" -strokewidth 3 -draw 'arc 5,4 27,30 180,360' \
    -stroke none -fill "$l" -draw 'roundrectangle 2,16 9,28 2,2' -fill "$r" -draw 'roundrectangle 23,16 30,28 2,2'
}

mapfile -t a < <(cone left 0 none);   icon speaker-left-rest "${a[@]}"
mapfile -t a < <(cone right 0 none);  icon speaker-right-rest "${a[@]}"
mapfile -t a < <(cone left 1 '#f0a020');  icon speaker-left-blink1 "${a[@]}"
mapfile -t a < <(cone left 2 '#ffd040');  icon speaker-left-blink2 "${a[@]}"
mapfile -t a < <(cone right 1 '#f0a020'); icon speaker-right-blink1 "${a[@]}"
mapfile -t a < <(cone right 2 '#ffd040'); icon speaker-right-blink2 "${a[@]}"
mapfile -t a < <(headphones none);    icon headphones-rest "${a[@]}"
mapfile -t a < <(headphones dim);     icon headphones-dim "${a[@]}"
mapfile -t a < <(headphones left 1);  icon headphones-left1 "${a[@]}"
mapfile -t a < <(headphones left 2);  icon headphones-left2 "${a[@]}"
mapfile -t a < <(headphones right 1); icon headphones-right1 "${a[@]}"
mapfile -t a < <(headphones right 2); icon headphones-right2 "${a[@]}"

# The card's mark: a listener's head inside two rings of sound.
icon zephra -fill '#1d3f72' -draw 'circle 16,16 16,1' -fill none -stroke '#7fc4ff' -strokewidth 2 \
  -draw 'circle 16,16 16,5' -stroke none -fill '#ffd040' -draw 'circle 16,16 16,10'
icon zephra-small -fill '#2f6fb0' -draw 'circle 16,16 16,2' -fill '#ffffff' -draw 'circle 16,16 16,9'
icon trivox3d -fill '#2b2b2b' -draw 'polygon 4,24 16,28 28,24 16,20' -fill '#d04020' -draw 'polygon 16,4 16,20 4,24' \
  -fill '#f08040' -draw 'polygon 16,4 16,20 28,24'
icon midi -fill '#333333' -draw 'ellipse 11,24 6,4 0,360' -draw 'rectangle 15,6 17,24' -draw 'polygon 17,6 27,10 27,14 17,10'
icon demo-helicopter -fill '#3a6a3a' -draw 'ellipse 14,18 9,6 0,360' -draw 'rectangle 20,16 30,19' \
  -stroke '#202020' -strokewidth 2 -draw 'line 2,8 28,8' -draw 'line 14,8 14,12'
icon demo-bee -fill '#f0c020' -draw 'ellipse 16,18 10,7 0,360' -fill '#202020' -draw 'rectangle 12,11 14,25' \
  -draw 'rectangle 18,11 20,25' -fill '#c0e0ff' -draw 'ellipse 12,8 5,4 0,360' -draw 'ellipse 20,8 5,4 0,360'
icon demo-player -fill '#2f6fb0' -draw 'circle 16,16 16,3' -fill '#ffffff' -draw 'polygon 12,9 12,23 24,16'
icon demo-race -fill '#c02020' -draw 'roundrectangle 3,12 29,22 3,3' -fill '#202020' -draw 'circle 9,23 9,19' \
  -draw 'circle 23,23 23,19' -fill '#a0d0ff' -draw 'rectangle 12,13 20,17'

# bitmap NAME WIDTH HEIGHT DRAW-ARGS... : 8 bits per pixel, palette, no alpha
bitmap() {
  local name=$1 w=$2 h=$3
  shift 3
  "$CONVERT" -size "${w}x${h}" "$@" -alpha off -type Palette -colors 256 -compress None "BMP3:$out/$name.bmp"
}
bitmap about-logo 64 64 gradient:'#1d3f72'-'#4f8fd0' -fill '#ffd040' -draw 'circle 32,32 32,20' \
  -fill none -stroke '#ffffff' -strokewidth 2 -draw 'circle 32,32 32,12' -draw 'circle 32,32 32,4'
bitmap trivox-mark 33 50 xc:'#c0c0c0' -fill '#d04020' -draw 'polygon 16,4 16,30 2,38' -fill '#f08040' \
  -draw 'polygon 16,4 16,30 30,38' -fill '#2b2b2b' -draw 'polygon 2,38 16,46 30,38 16,30'
bitmap trivox-logo 66 95 gradient:'#101828'-'#30486a' -fill '#d04020' -draw 'polygon 33,8 33,52 8,66' \
  -fill '#f08040' -draw 'polygon 33,8 33,52 58,66' -fill '#e0e0e0' -draw 'polygon 8,66 33,80 58,66 33,52'
echo "art written to $out"
