#!/usr/bin/env bash
# Builds the renderer optimised (no sanitizers) and prints the benchmark figures.
#   card/trivox/bench/run.sh [SECONDS_OF_AUDIO_PER_RUN]         host build against OpenAL Soft
#   card/trivox/bench/run.sh --all [SECONDS_OF_AUDIO_PER_RUN]   also the 32-bit Windows build under Wine,
#                                                                side by side
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

winbuild=${TRIVOX_BENCH_WIN_BUILD:-$root/build/bench-trivox-win}
cmake -S "$here" -B "$winbuild" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$winbuild" -j2 --target trivox_bench >/dev/null
source "$root/tools/wine-env.sh"
zw_prefix "${TRIVOX_BENCH_PREFIX:-$root/out/prefix-bench}" nt >/dev/null || exit 1
host=$(mktemp) win=$(mktemp)
trap 'rm -f "$host" "$win"' EXIT
"$build/bench/trivox_bench" "$seconds" --rows "$@" > "$host"
WINEDEBUG=-all timeout 1200 wine "$winbuild/bench/trivox_bench.exe" "$seconds" --rows "$@" | tr -d '\r' > "$win"
wineserver -k 2>/dev/null || true
echo "Trivox mixer, host 64-bit build and Windows 32-bit build (under Wine), against OpenAL Soft (host);"
echo "$seconds s of audio per run, best of 3, one thread; us of render time per source per second of audio."
echo "ratio = OpenAL Soft's cost / Trivox's (above 1: Trivox faster)."
echo
printf '%-7s %7s | %9s %9s | %9s %9s | %9s | %7s %7s %7s %7s\n' scene sources "host" "host bl" "win32" "win32 bl" \
  "OpenAL" "host" "host bl" "win32" "win32bl"
paste -d' ' "$host" "$win" | awk '{
  printf "%-7s %7d | %9.1f %9.1f | %9.1f %9.1f | %9.1f | %6.2fx %6.2fx %6.2fx %6.2fx\n",
    $1, $2, $3, $4, $8, $9, $5, $5 / $3, $5 / $4, $5 / $8, $5 / $9 }'
echo
echo "bl = baseline kernels (what a processor without AVX2 runs); the others pick AVX2+FMA when present."
