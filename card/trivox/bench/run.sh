#!/usr/bin/env bash
# Builds the renderer optimised (no sanitizers) and prints the benchmark figures.
#   card/trivox/bench/run.sh [SECONDS_OF_AUDIO_PER_RUN]
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
root=$(cd "$here/../.." && pwd)
build=${TRIVOX_BENCH_BUILD:-$root/build/bench-trivox}
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=Release -DZEPHRA_SANITIZE=OFF >/dev/null
cmake --build "$build" -j2 --target trivox_bench >/dev/null
exec "$build/bench/trivox_bench" "${1:-2}"
