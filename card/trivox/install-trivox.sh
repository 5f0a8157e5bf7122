#!/usr/bin/env bash
# Installs the Trivox device object into the Wine prefix named by WINEPREFIX:
# copies trivox3d.dll and the measured HRTF sets into
# C:\Program Files\Resonix Trivox\card\ and registers the COM class.
#   WINEPREFIX=... card/trivox/install-trivox.sh WINDOWS_BUILD_DIR
set -euo pipefail
: "${WINEPREFIX:?set WINEPREFIX to the Wine prefix}"
build=${1:?usage: install-trivox.sh WINDOWS_BUILD_DIR}
dll=$(find "$build" -name trivox3d.dll -print -quit)
[ -n "$dll" ] || { echo "install-trivox: no trivox3d.dll under $build" >&2; exit 1; }
dest="$WINEPREFIX/drive_c/Program Files/Resonix Trivox/card"
mkdir -p "$dest"
cp "$dll" "$dest/"
found=0
for rate in 48000 44100; do
  src=/usr/share/openal/hrtf/default-$rate.mhr
  if [ -f "$src" ]; then
    cp "$src" "$dest/"
    found=1
  fi
done
# Without a measured set the engine falls back to its spherical head model.
[ "$found" = 1 ] || echo "install-trivox: no HRTF file found (package libopenal-data); the spherical head model will be used" >&2
source "$(dirname "${BASH_SOURCE[0]}")/../../tools/wine-env.sh"
timeout 60 wine regsvr32 /s 'C:\Program Files\Resonix Trivox\card\trivox3d.dll'
timeout 30 wineserver -w || true
echo "install-trivox: installed into $dest"
