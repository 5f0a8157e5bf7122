#!/usr/bin/env bash
# Builds the setup program from a Windows build directory.
#   installer/build-setup.sh BUILD_DIR [OUTPUT.exe]   (default BUILD_DIR/ResonixTrivoxSetup.exe)
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build=$(cd "${1:?usage: build-setup.sh BUILD_DIR [OUTPUT.exe]}" && pwd)
out=${2:-$build/ResonixTrivoxSetup.exe}
source "$here/../shared/names/names.sh"
source "$here/../shared/settings/keys.sh"
keys=(-DK3="$catalogue_kInstall" -DK4="$catalogue_kSetup" -DK5="$catalogue_kRunAtLogon"
      -DK6="$catalogue_kTrivoxShared" -DK9="$catalogue_kDriverNames" -DK3_PARENT="${catalogue_kInstall%\\*}"
      -DK6_PARENT="${catalogue_kTrivoxShared%\\*}" -DK9_PARENT="${catalogue_kDriverNames%\\*}")
# The build's architecture, from its CMake cache: the 64-bit setup installs the 64-bit set.
if grep -q 'CMAKE_SYSTEM_PROCESSOR "x86_64"' "$build/CMakeFiles/"*/CMakeSystem.cmake 2>/dev/null; then
  arch=(-DWIN64)
  vxd=()
else
  arch=()
  vxd=("card/wavedll/$ZEPHRA_WAVE_VXD")
fi
for f in controlpanel/ZephraCtrl.exe controlpanel/ZephraHook.dll controlpanel/Kv20DAL.dll \
         "card/driver/$ZEPHRA_CARD_SERVICE.sys" "${vxd[@]}" card/cardctl/cardctl.exe \
         "card/mididrv/$ZEPHRA_MIDI_DRIVER" card/mididrv/orvanegm card/trivox/com/trivox3d.dll; do
  [ -f "$build/$f" ] || { echo "build-setup: missing $build/$f" >&2; exit 1; }
done
# makensis on Linux takes the script's Windows-style paths with '/' as well.
# The measured HRTF sets the Trivox object uses (package libopenal-data), when present.
hrtf=()
[ -d /usr/share/openal/hrtf ] && hrtf=(-DHRTF_DIR=/usr/share/openal/hrtf)
makensis -V2 -NOCD -DBUILD="$build" -DOUTFILE="$out" "${arch[@]}" "${hrtf[@]}" "${keys[@]}" "$here/ZephraSetup.nsi" | sed 's/\r$//' >&2
echo "$out"
