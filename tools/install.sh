#!/usr/bin/env bash
# Installs the built programs and the virtual card into a Wine prefix.
#   tools/install.sh [--prefix DIR] [--shape 9x|nt] [--arch i686|x86_64] [--build DIR] [card options...]
# Card options are passed to card/install-card.sh (level=, class=, feature=, devices=, fail=).
# The programs, the card and its Trivox device object come from the setup program
# (installer/), run with /S.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$root/tools/wine-env.sh"

prefix=${ZEPHRA_PREFIX:-}
shape=${ZEPHRA_SHAPE:-9x}
build=${ZEPHRA_BUILD:-}
card_args=()
while [ $# -gt 0 ]; do
  case "$1" in
    --prefix) prefix=$2; shift 2 ;;
    --shape) shape=$2; shift 2 ;;
    --arch) zw_arch "$2"; shift 2 ;;
    --build) build=$2; shift 2 ;;
    *) card_args+=("$1"); shift ;;
  esac
done
prefix=${prefix:-$root/out/prefix-$ZEPHRA_ARCH}
build=${build:-$root/build/win-$ZEPHRA_ARCH}

zw_prefix "$prefix" "$shape"

# The setup program installs the control panel, the card's software and the values the
# installation owns; run silently, as a user could run it by hand.
setup=$("$root/installer/build-setup.sh" "$build" "$build/ResonixTrivoxSetup.exe" 2>/dev/null) ||
  { echo "install: building the setup program failed" >&2; exit 1; }
# A running session holds the loaded driver image: replace it with the session ended.
timeout 30 wineserver -k >/dev/null 2>&1 || true
timeout 60 wineserver -w >/dev/null 2>&1 || true
cp -f "$setup" "$WINEPREFIX/drive_c/ResonixTrivoxSetup.exe"
zw_wine 'C:\ResonixTrivoxSetup.exe' /S >/dev/null 2>&1 || { echo "install: setup failed" >&2; exit 1; }
rm -f "$WINEPREFIX/drive_c/ResonixTrivoxSetup.exe"
timeout 60 wineserver -w >/dev/null 2>&1 || true

# The card's configuration for this run (read by the driver when the next session starts).
"$root/card/install-card.sh" --config-only "${card_args[@]}"
echo "installed into $WINEPREFIX (shape $shape)"
