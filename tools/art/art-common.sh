# Sourced by the art scripts: the output folder, a scratch folder and the icon maker.
#   source art-common.sh OUT_DIR
out=$1
mkdir -p "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
CONVERT=${CONVERT:-convert}

# icon NAME DRAW-ARGS... : a 32x32 and a 16x16 image in one .ico
icon() {
  local name=$1
  shift
  "$CONVERT" -size 32x32 xc:none "$@" "$tmp/$name-32.png"
  "$CONVERT" "$tmp/$name-32.png" -resize 16x16 "$tmp/$name-16.png"
  "$CONVERT" "$tmp/$name-16.png" "$tmp/$name-32.png" "$out/$name.ico"
}
