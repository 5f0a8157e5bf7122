#!/usr/bin/env bash
# Builds the side-by-side bench (optimised, no sanitizers) and prints its table.
#   run.sh [SOUNDFONT]   (default: the TimGM6mb SoundFont Debian ships)
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../../.." && pwd)
out=$root/build/synth-bench
sf2=${1:-/usr/share/sounds/sf2/TimGM6mb.sf2}
mkdir -p "$out"
s=$here/..
# shellcheck disable=SC2046
nice g++ -std=c++17 -O2 -ftree-vectorize ${BENCH_CXXFLAGS:-} -Wall -Wextra -I"$s" -I"$here" \
  "$here/bench.cpp" "$here/songs.cpp" "$s"/Synth.cpp "$s"/Voice.cpp "$s"/Envelope.cpp "$s"/Effects.cpp \
  "$s"/Smf.cpp "$s"/Bank.cpp "$s"/BankLoad.cpp "$s"/Riff.cpp "$s"/Sf2.cpp "$s"/Dls.cpp \
  $(pkg-config --cflags --libs fluidsynth) -o "$out/synth-bench"
"$out/synth-bench" "$sf2"
