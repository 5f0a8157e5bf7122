#!/usr/bin/env bash
# Installs the built programs and the virtual card into a Wine prefix.
#   tools/install.sh [--prefix DIR] [--shape 9x|nt] [--build DIR] [card options...]
# Card options are passed to card/install-card.sh (level=, class=, feature=, devices=, fail=).
# Everything the install does lives here, so that a setup program can take it over.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$root/tools/wine-env.sh"

prefix=${ZEPHRA_PREFIX:-$root/out/prefix}
shape=${ZEPHRA_SHAPE:-9x}
build=${ZEPHRA_BUILD:-$root/build/win}
card_args=()
while [ $# -gt 0 ]; do
  case "$1" in
    --prefix) prefix=$2; shift 2 ;;
    --shape) shape=$2; shift 2 ;;
    --build) build=$2; shift 2 ;;
    *) card_args+=("$1"); shift ;;
  esac
done

zw_prefix "$prefix" "$shape"

# The program directory; ProgramDir is its short form.
progdir="$WINEPREFIX/drive_c/Program Files/Resonix Trivox"
mkdir -p "$progdir/help"
for f in controlpanel/ZephraCtrl.exe controlpanel/ZephraHook.dll controlpanel/Kv20DAL.dll; do
  cp -f "$build/$f" "$progdir/"
done
mkdir -p "$progdir/demos"
if [ -f "$build/player/TrivoxPlay.exe" ]; then cp -f "$build/player/TrivoxPlay.exe" "$progdir/demos/"; fi
# The output test's tones beside the program.
cp -f "$build/controlpanel/l.wav" "$build/controlpanel/r.wav" "$progdir/"

"$root/card/install-card.sh" "$build" "${card_args[@]}"
"$root/card/trivox/install-trivox.sh" "$build" >/dev/null

# Values the card's installer owns.
zw_reg_text <<'REG'
[HKEY_LOCAL_MACHINE\Software\Meridal\Resonix Trivox]

[HKEY_LOCAL_MACHINE\Software\Meridal\Resonix Trivox\setup]
"SoftwareVersion"="1.07.01"

[HKEY_LOCAL_MACHINE\Software\Orvane\Trivox]
"EnableDS3D"=dword:00000001

[HKEY_LOCAL_MACHINE\Software\Orvane\Zephra\DriverNames]
"MidiDriverName"="Zephra MPU-401"
"WavetableDriverName"="Zephra Wavetable"
REG
timeout 60 wineserver -w >/dev/null 2>&1 || true
echo "installed into $WINEPREFIX (shape $shape)"
