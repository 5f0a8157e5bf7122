#!/usr/bin/env bash
# Builds the renderer optimised (no sanitizers) and prints the benchmark figures.
#   card/trivox/bench/run.sh [SECONDS_OF_AUDIO_PER_RUN]         host build against OpenAL Soft
#   card/trivox/bench/run.sh --all [SECONDS_OF_AUDIO_PER_RUN]   also the i686 and x86_64 Windows builds
#                                                                under Wine, side by side
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
root=$(cd "$here/../.." && pwd)
all=0
if [ "${1:-}" = "--all" ]; then all=1; shift; fi
seconds=${1:-2}
shift $(($# > 0 ? 1 : 0))  # the rest goes to the bench (--speed: the speed mode's rows alone)
build=${TRIVOX_BENCH_BUILD:-$root/build/bench-trivox}
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=Release -DZEPHRA_SANITIZE=OFF >/dev/null
cmake --build "$build" -j2 --target trivox_bench >/dev/null
[ "$all" = 1 ] || exec "$build/bench/trivox_bench" "$seconds" "$@"

source "$root/tools/wine-env.sh"
host=$(mktemp) w32=$(mktemp) w64=$(mktemp)
trap 'rm -f "$host" "$w32" "$w64"' EXIT
"$build/bench/trivox_bench" "$seconds" --rows "$@" > "$host"
# Each Windows build under Wine where the machine runs it; a column of "-" where it does not.
for arch in i686 x86_64; do
  out=$w32; [ "$arch" = x86_64 ] && out=$w64
  winbuild=$root/build/bench-trivox-win-$arch
  cmake -S "$here" -B "$winbuild" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$arch.cmake" -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$winbuild" -j2 --target trivox_bench >/dev/null
  if ! za_runs "$arch"; then
    za_why_not "$arch" >&2
    awk '{ print "- - - - -" }' "$host" > "$out"
    continue
  fi
  zw_arch "$arch"
  zw_prefix "${TRIVOX_BENCH_PREFIX:-$root/out/prefix-bench}-$arch" nt >/dev/null || exit 1
  WINEDEBUG=-all timeout 1200 wine "$winbuild/bench/trivox_bench.exe" "$seconds" --rows "$@" | tr -d '\r' > "$out"
  wineserver -k 2>/dev/null || true
done
echo "Trivox mixer, host 64-bit build and the Windows i686 and x86_64 builds (under Wine), against"
echo "OpenAL Soft (host); $seconds s of audio per run, best of 3, one thread; us of render time per"
echo "source per second of audio. ratio = OpenAL Soft's cost / Trivox's (above 1: Trivox faster)."
echo
printf '%-7s %7s | %8s %8s | %8s %8s | %8s %8s | %8s | %6s %6s %6s %6s %6s %6s\n' scene sources host "host bl" \
  i686 "i686 bl" x86_64 "x64 bl" OpenAL host "h bl" i686 "i bl" x86_64 "x bl"
paste -d' ' "$host" "$w32" "$w64" | awk '
  function r(a, b) { return (b == "-" || b == 0) ? "     -" : sprintf("%5.2fx", a / b) }
  function v(x) { return x == "-" ? "       -" : sprintf("%8.1f", x) }
  { printf "%-7s %7d | %s %s | %s %s | %s %s | %8.1f | %s %s %s %s %s %s\n",
      $1, $2, v($3), v($4), v($8), v($9), v($13), v($14), $5,
      r($5, $3), r($5, $4), r($5, $8), r($5, $9), r($5, $13), r($5, $14) }'
echo
echo "bl = baseline kernels (what a processor without AVX2 runs); the others pick AVX2+FMA when present."
