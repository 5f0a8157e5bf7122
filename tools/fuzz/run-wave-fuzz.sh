#!/usr/bin/env bash
# Builds the wave reader's libFuzzer target (clang, AddressSanitizer + UBSan) and runs it.
#   tools/fuzz/run-wave-fuzz.sh [--short | --long [SECONDS]] [--build DIR]
#     --short  about 25 seconds (the test script's bounded run; the default)
#     --long   ten minutes, or SECONDS
# Exit status 0 when the run found nothing; a crash, leak or sanitizer report fails it
# and leaves the input in the build directory (crash-*, leak-*, oom-*, timeout-*).
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
seconds=25
build=$root/build/fuzz-wave
while [ $# -gt 0 ]; do
  case "$1" in
    --short) seconds=25; shift ;;
    --long)
      seconds=600; shift
      if [ $# -gt 0 ] && [[ "$1" =~ ^[0-9]+$ ]]; then seconds=$1; shift; fi ;;
    --build) build=$2; shift 2 ;;
    *) echo "unknown option $1" >&2; exit 2 ;;
  esac
done

cxx=${CXX_FUZZ:-clang++}
mkdir -p "$build/seeds" "$build/corpus" "$build/tmp"
bin=$build/wave_fuzz
src=("$root/tools/fuzz/wave_fuzz.cpp" "$root/shared/wave/WaveFile.cpp")
if [ ! -x "$bin" ] || [ -n "$(find "${src[@]}" "$root/shared/wave/WaveFile.h" -newer "$bin")" ]; then
  echo "building $bin"
  "$cxx" -std=c++17 -O1 -g -Wall -Wextra -Werror -I"$root" \
    -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer \
    "${src[@]}" -o "$bin"
fi

# Seed corpus: a few well-formed files and the layouts the reader treats specially.
le16() { printf "\\x$(printf %02x $(($1 & 255)))\\x$(printf %02x $((($1 >> 8) & 255)))"; }
le32() { le16 $(($1 & 65535)); le16 $((($1 >> 16) & 65535)); }
fmt() { # size tag channels rate bits
  local align=$(($3 * $5 / 8))
  printf 'fmt '; le32 "$1"; le16 "$2"; le16 "$3"; le32 "$4"; le32 $(($4 * align)); le16 $align; le16 "$5"
  head -c $(($1 > 16 ? $1 - 16 : 0)) /dev/zero
}
data() { # declared held
  printf 'data'; le32 "$1"; head -c "$2" /dev/urandom
}
riff() { printf 'RIFF'; le32 "$1"; printf 'WAVE'; }
seed() { cat > "$build/seeds/$1"; }
riff 100 | cat - <(fmt 16 1 1 44100 16) <(data 64 64) | seed pcm16-mono
riff 100 | cat - <(fmt 16 1 2 22050 8) <(data 33 33) | seed pcm8-stereo
riff 100 | cat - <(fmt 18 1 2 48000 16) <(data 40 40) | seed fmt18
riff 100 | cat - <(fmt 17 1 1 8000 8) <(data 20 20) | seed fmt17
riff 100 | cat - <(fmt 50 2 1 22050 4) <(data 64 64) | seed adpcm
riff 100 | cat - <(fmt 16 1 1 11025 8) <(data 100 60) | seed truncated
riff 100 | cat - <(fmt 16 1 1 11025 8) <(data 16 16) <(fmt 16 1 2 8000 8) <(data 8 8) | seed two-pairs
{ printf 'RIFF'; le32 8; printf 'AVI '; head -c 8 /dev/zero; riff 60; fmt 16 1 1 8000 8; data 8 8; } | seed foreign-first
riff 100 | cat - <(fmt 16 1 1 8000 8) <(printf 'LIST'; le32 4; printf 'INFO') <(data 8 8) | seed list-before-data

echo "fuzzing for $seconds s"
cd "$build"
export WAVE_FUZZ_TMP=$build/tmp
# Allocations above 32 MiB fail as they would in a process short of address space, so
# the reader's failure path is exercised and a declared size near 2 GiB does not cost
# a 2 GiB mapping per run. libFuzzer's own limits stay as a backstop.
export ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}max_allocation_size_mb=32:allocator_may_return_null=1:detect_leaks=1
export UBSAN_OPTIONS=${UBSAN_OPTIONS:+$UBSAN_OPTIONS:}print_stacktrace=1:halt_on_error=1
set +e
"$bin" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=512 -malloc_limit_mb=64 \
  -dict="$root/tools/fuzz/wave.dict" -print_final_stats=1 -artifact_prefix="$build/" \
  "$build/corpus" "$build/seeds" 2>&1 |
  grep -v -e 'failed to allocate' -e '^#[0-9]*[[:space:]]*\(NEW\|REDUCE\)' | tee "$build/last-run.log"
status=${PIPESTATUS[0]}
rm -f "$build/tmp"/wave_fuzz_*.wav
done_line=$(grep -E '^#[0-9]+[[:space:]]+DONE' "$build/last-run.log" | tail -1)
if [ "$status" = 0 ]; then
  echo "wave fuzz: no findings; $done_line"
else
  echo "wave fuzz: FAILED (status $status); see $build/last-run.log and the artifact above"
fi
exit "$status"
