#!/usr/bin/env bash
# Pictures of the demo windows, each a few seconds after its start, from a prefix that
# tools/install.sh set up (with its own X server and sound when there are none).
#   tools/demo-screenshots.sh PREFIX OUT_DIR
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX=$(cd "${1:?usage: demo-screenshots.sh PREFIX OUT_DIR}" && pwd)
out=${2:?usage: demo-screenshots.sh PREFIX OUT_DIR}
mkdir -p "$out"
source "$root/tools/wine-env.sh"
source "$root/shared/names/names.sh"
trap zw_cleanup EXIT
zw_display
zw_audio
zw_session_start
dir="C:\\Program Files\\Resonix Trivox\\$ZEPHRA_DEMOS_DIR"
for demo in "$ZEPHRA_DEMO_HELICOPTER:Helicopter" "$ZEPHRA_DEMO_BEES:Killer Bees" "$ZEPHRA_DEMO_RACE:Race Track"; do
  exe=${demo%%:*}
  title=${demo#*:}
  (zw_wine "$dir\\$exe.exe" >/dev/null 2>&1 &)
  id=
  for _ in $(seq 1 150); do
    id=$(xdotool search --name "^$title\$" 2>/dev/null | head -1 || true)
    [ -n "$id" ] && break
    sleep 0.2
  done
  [ -n "$id" ] || { echo "demo-screenshots: no window \"$title\"" >&2; exit 1; }
  sleep 3  # the sources move on a little
  import -window "$id" "$out/$exe.png"
  echo "$out/$exe.png"
  zw_wine taskkill /IM "$exe.exe" >/dev/null 2>&1 || true
done
