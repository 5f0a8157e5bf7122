#!/usr/bin/env bash
# Installs everything the build and the tests need on Debian 12. Idempotent; needs root.
set -euo pipefail

# Both Windows architectures are always built; only what the machine can run is installed
# to run it: 32-bit Wine only where i386 programs execute.
PKGS=(
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix wine wine64
  xvfb xauth cmake make g++ googletest libgtest-dev
  libbenchmark-dev xdotool imagemagick x11-utils
  pulseaudio pulseaudio-utils sox
  nsis libopenal-data libopenal-dev clang clang-tidy libclang-rt-14-dev
  libfluidsynth-dev timgm6mb-soundfont csound-soundfont gigtools libstb-dev libvorbis-dev
)
source "$(dirname "${BASH_SOURCE[0]}")/arch.sh"
i386=0
if za_runs i686; then
  i386=1
  PKGS+=(wine32:i386 libpulse0:i386)
else
  za_why_not i686 | sed 's/^/setup: /'
fi

if [ "$(id -u)" != 0 ]; then
  SUDO=sudo
else
  SUDO=
fi

missing=()
if [ "$i386" = 1 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
  need_update=1
fi
for p in "${PKGS[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi
echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
# A mirror caught mid-sync fails an index for a while: try again, then go on with the lists
# that did arrive; the install itself says whether anything is really missing.
for try in 1 2 3; do
  $SUDO apt-get update -qq && break
  echo "setup: apt-get update failed (try $try of 3)" >&2
  [ "$try" = 3 ] || sleep $((try * 15))
done
for try in 1 2; do
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null && exit 0
  echo "setup: apt-get install failed (try $try of 3)" >&2
  sleep $((try * 15)); $SUDO apt-get update -qq || true
done
# Last try: when one architecture's security index is missing, the two architectures of a
# shared library cannot agree on a version; take both from the release itself.
pin=$(mktemp)
printf 'Package: *\nPin: release l=Debian-Security\nPin-Priority: 100\n' > "$pin"
status=0
$SUDO apt-get install -y -qq --no-install-recommends -o Dir::Etc::Preferences="$pin" "${missing[@]}" >/dev/null || status=$?
if [ "$status" != 0 ]; then
  # An amd64 library already at a security version has no i386 twin of that version: take
  # the release's version for both, even where that steps the installed one back.
  echo "setup: apt-get install failed (try 3 of 4)" >&2
  printf '\nPackage: *\nPin: release l=Debian,n=bookworm\nPin-Priority: 1001\n' >> "$pin"
  status=0
  $SUDO apt-get install -y -qq --no-install-recommends --allow-downgrades \
    -o Dir::Etc::Preferences="$pin" "${missing[@]}" >/dev/null || status=$?
  [ "$status" = 0 ] || echo "setup: apt-get install failed (try 4 of 4)" >&2
fi
rm -f "$pin"
exit "$status"
