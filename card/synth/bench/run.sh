#!/usr/bin/env bash
# Builds the side-by-side bench (optimised, no sanitizers) and prints its tables.
#   run.sh [SOUNDFONT [--held | --songs] [REPEATS]]   (default: the TimGM6mb SoundFont Debian ships)
#   run.sh --all [SOUNDFONT [REPEATS]]   the held-voice table of the host build beside the 32- and
#                                        64-bit Windows builds under Wine (ours only there)
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../../.." && pwd)
out=$root/build/synth-bench
all=0
if [ "${1:-}" = "--all" ]; then all=1; shift; fi
sf2=${1:-/usr/share/sounds/sf2/TimGM6mb.sf2}
shift $(($# > 0 ? 1 : 0))
mkdir -p "$out"
s=$here/..
engine=("$s"/Synth.cpp "$s"/Voice.cpp "$s"/VoiceKernels.cpp "$s"/Envelope.cpp "$s"/Effects.cpp "$s"/Smf.cpp
  "$s"/Bank.cpp "$s"/BankLoad.cpp "$s"/Riff.cpp "$s"/Sf2.cpp "$s"/Sf3.cpp "$s"/StbVorbis.cpp "$s"/Dls.cpp "$here/held.cpp")
flags=(-std=c++17 -O2 -ftree-vectorize ${BENCH_CXXFLAGS:-} -Wall -Wextra -I"$s" -I"$here" -isystem /usr/include/stb)

# build CXX OUTPUT MAIN... [-- EXTRA...]: the engine with its AVX2 loops in their own object.
build() {
  local cxx=$1 exe=$2; shift 2
  local mains=() extra=() seen=0 f
  for f in "$@"; do
    if [ "$f" = -- ]; then seen=1; continue; fi
    if [ $seen = 0 ]; then mains+=("$f"); else extra+=("$f"); fi
  done
  nice "$cxx" "${flags[@]}" ${extra[@]+"${extra[@]}"} -mavx2 -mfma -ffp-contract=fast -c "$s/VoiceKernelsAvx2.cpp" \
    -o "$exe.avx2.o"
  nice "$cxx" "${flags[@]}" ${extra[@]+"${extra[@]}"} "$exe.avx2.o" "${mains[@]}" "${engine[@]}" -o "$exe" \
    ${extra[@]+"${extra[@]}"}
}

# shellcheck disable=SC2046
build g++ "$out/synth-bench" "$here/bench.cpp" "$here/songs.cpp" "$here/sf3.cpp" "$s/TestBankSf3.cpp" \
  "$s/TestBankWriter.cpp" -- -DZSYNTH_BENCH_FLUID=1 $(pkg-config --cflags --libs fluidsynth vorbisenc vorbis ogg)
[ "$all" = 1 ] || exec "$out/synth-bench" "$sf2" "$@"

repeats=${1:-5}
win=(-static -DZSYNTH_BENCH_FLUID=0)
build i686-w64-mingw32-g++ "$out/synth-bench-win32.exe" "$here/win.cpp" -- "${win[@]}" -msse2 -mfpmath=sse
build x86_64-w64-mingw32-g++ "$out/synth-bench-win64.exe" "$here/win.cpp" -- "${win[@]}"
source "$root/tools/wine-env.sh"
zw_prefix "${ZSYNTH_BENCH_PREFIX:-$root/out/prefix-synth-bench}" nt >/dev/null || exit 1
host=$(mktemp) w32=$(mktemp) w64=$(mktemp)
trap 'rm -f "$host" "$w32" "$w64"' EXIT
"$out/synth-bench" "$sf2" --rows "$repeats" > "$host"
# A minute of audio a run there: Wine's process times move in ticks of about 16 ms.
WINEDEBUG=-all timeout 1800 wine "$out/synth-bench-win32.exe" "Z:$sf2" "$repeats" 60 | tr -d '\r' > "$w32" || true
wineserver -k 2>/dev/null || true
# The 64-bit build in a 64-bit prefix of its own; a Wine without 64-bit support leaves its columns empty.
export WINEARCH=win64 WINEPREFIX=${ZSYNTH_BENCH_PREFIX64:-$root/out/prefix-synth-bench64}
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  WINEDEBUG=-all timeout 180 wineboot -i >/dev/null 2>&1 || true
fi
WINEDEBUG=-all timeout 1800 wine "$out/synth-bench-win64.exe" "Z:$sf2" "$repeats" 60 2>/dev/null | tr -d '\r' > "$w64" ||
  true
wineserver -k 2>/dev/null || true
echo "Held voices, us of process CPU per voice per audio second, median of $repeats interleaved runs"
echo "(2 s of audio on the host, 60 s under Wine; each build its own runs). FluidSynth: the host's, effects"
echo "as the row says; mode 0 against its 4th-order interpolation, mode 1 against its linear."
echo "(r) = ours / FluidSynth; - = that build did not run."
echo
printf '%-4s %3s | %13s %13s %13s | %13s %13s %13s | %6s | %11s %11s %11s | %6s\n' fx vox "host m0 (r)" \
  "win32 m0 (r)" "win64 m0 (r)" "host sse2" "win32 sse2" "win64 sse2" fluid "host m1" "win32 m1" "win64 m1" "fl lin"
rows() { grep -E '^(on|off) [0-9]+ [0-9.]+' "$1" | sed -n "${2}p"; }  # anything else: Wine's complaints
for i in 1 2 3 4; do
  printf '%s %s %s\n' "$(rows "$host" $i)" "$(rows "$w32" $i | cut -d' ' -f3-)" "$(rows "$w64" $i | cut -d' ' -f3-)"
done | awk '
  function cell(v, ref) { return v == "" ? sprintf("%13s", "-") : sprintf("%6.1f (%.2f)", v, v / ref) }
  function cell5(v, ref) { return v == "" ? sprintf("%11s", "-") : sprintf("%5.1f (%.2f)", v, v / ref) }
  { f = $5; l = $7
    printf "%-4s %3d | %s %s %s | %s %s %s | %6.1f | %s %s %s | %6.1f\n", $1, $2,
      cell($3, f), cell($8, f), cell($13, f), cell($4, f), cell($9, f), cell($14, f), f,
      cell5($6, l), cell5($11, l), cell5($16, l), l }'
echo
echo "sse2 = the baseline loops, what a processor without AVX2 runs; m0 and m1 pick AVX2+FMA when present."
