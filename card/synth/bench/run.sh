#!/usr/bin/env bash
# Builds the side-by-side bench (optimised, no sanitizers) and prints its table.
#   run.sh [SOUNDFONT [--held | --songs] [REPEATS]]   (default: the TimGM6mb SoundFont Debian ships)
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../../.." && pwd)
out=$root/build/synth-bench
sf2=${1:-/usr/share/sounds/sf2/TimGM6mb.sf2}
mkdir -p "$out"
s=$here/..
flags=(-std=c++17 -O2 -ftree-vectorize ${BENCH_CXXFLAGS:-} -Wall -Wextra -I"$s" -I"$here" -isystem /usr/include/stb)
nice g++ "${flags[@]}" -mavx2 -mfma -ffp-contract=fast -c "$s/VoiceKernelsAvx2.cpp" -o "$out/VoiceKernelsAvx2.o"
# shellcheck disable=SC2046
nice g++ "${flags[@]}" "$out/VoiceKernelsAvx2.o" \
  "$here/bench.cpp" "$here/held.cpp" "$here/songs.cpp" "$s"/Synth.cpp "$s"/Voice.cpp "$s"/VoiceKernels.cpp "$s"/Envelope.cpp "$s"/Effects.cpp \
  "$s"/Smf.cpp "$s"/Bank.cpp "$s"/BankLoad.cpp "$s"/Riff.cpp "$s"/Sf2.cpp "$s"/Sf3.cpp "$s"/StbVorbis.cpp "$s"/Dls.cpp \
  $(pkg-config --cflags --libs fluidsynth) -o "$out/synth-bench"
shift $(($# > 0 ? 1 : 0))
"$out/synth-bench" "$sf2" "$@"
