# Shared by the fuzz scripts: options, building a libFuzzer target, and one bounded run.
# A script sources this, sets its sources, writes its seeds, then calls zf_build and zf_run.
#   run-NAME-fuzz.sh [--short | --long [SECONDS]] [--build DIR]
#     --short  the test script's bounded run (ZF_SHORT seconds, the default)
#     --long   ten minutes, or SECONDS
# Exit status 0 when the run found nothing; a crash, leak or sanitizer report fails it and
# leaves the input in the build directory (crash-*, leak-*, oom-*, timeout-*).
set -euo pipefail

zf_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

# zf_options NAME SHORT_SECONDS "$@": sets zf_name, zf_seconds, zf_build_dir.
zf_options() {
  zf_name=$1; zf_seconds=$2; shift 2
  zf_build_dir=$zf_root/build/fuzz-$zf_name
  while [ $# -gt 0 ]; do
    case "$1" in
      --short) shift ;;
      --long)
        zf_seconds=600; shift
        if [ $# -gt 0 ] && [[ "$1" =~ ^[0-9]+$ ]]; then zf_seconds=$1; shift; fi ;;
      --build) zf_build_dir=$2; shift 2 ;;
      *) echo "unknown option $1" >&2; exit 2 ;;
    esac
  done
  mkdir -p "$zf_build_dir/seeds" "$zf_build_dir/corpus" "$zf_build_dir/tmp"
  zf_bin=$zf_build_dir/${zf_name}_fuzz
}

# zf_build SOURCE... [-- HEADER...]: (re)builds zf_bin when any file given is newer; the
# array zf_flags, when a script sets it, adds compiler options.
zf_build() {
  local srcs=() deps=() seen=0 f
  for f in "$@"; do
    if [ "$f" = -- ]; then seen=1; continue; fi
    deps+=("$f"); [ $seen = 0 ] && srcs+=("$f")
  done
  if [ ! -x "$zf_bin" ] || [ -n "$(find "${deps[@]}" -newer "$zf_bin")" ]; then
    echo "building $zf_bin"
    "${CXX_FUZZ:-clang++}" -std=c++17 -O1 -g -Wall -Wextra -Werror -I"$zf_root" \
      -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer \
      ${zf_flags[@]+"${zf_flags[@]}"} "${srcs[@]}" -o "$zf_bin"
  fi
}

zf_seed() { cat > "$zf_build_dir/seeds/$1"; }

# zf_run [LIBFUZZER_OPTION...]: one run over the corpus and the seeds, for zf_seconds.
zf_run() {
  echo "fuzzing $zf_name for $zf_seconds s"
  cd "$zf_build_dir"
  # Allocations above 32 MiB fail as they would in a process short of address space, so
  # the failure paths are exercised and a declared size near 2 GiB costs no real mapping.
  # Each input's budget: 5 s (a second's work under the sanitizers), 512 MB resident, one
  # allocation of at most 64 MB; past any of them the input is a finding.
  export ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}max_allocation_size_mb=32:allocator_may_return_null=1:detect_leaks=1
  export UBSAN_OPTIONS=${UBSAN_OPTIONS:+$UBSAN_OPTIONS:}print_stacktrace=1:halt_on_error=1
  set +e
  "$zf_bin" -max_total_time="$zf_seconds" -timeout=5 -rss_limit_mb=512 -malloc_limit_mb=64 \
    -print_final_stats=1 -artifact_prefix="$zf_build_dir/" "$@" \
    "$zf_build_dir/corpus" "$zf_build_dir/seeds" 2>&1 |
    grep -v -e 'failed to allocate' -e '^#[0-9]*[[:space:]]*\(NEW\|REDUCE\)' | tee "$zf_build_dir/last-run.log"
  local status=${PIPESTATUS[0]}
  set -e
  rm -rf "$zf_build_dir/tmp" && mkdir -p "$zf_build_dir/tmp"
  local done_line
  done_line=$(grep -E '^#[0-9]+[[:space:]]+DONE' "$zf_build_dir/last-run.log" | tail -1 || true)
  if [ "$status" = 0 ]; then
    echo "$zf_name fuzz: no findings; $done_line"
  else
    echo "$zf_name fuzz: FAILED (status $status); see $zf_build_dir/last-run.log and the artifact above"
  fi
  return "$status"
}

# zf_bank_seeder: builds, when its sources are newer, the program that writes the test-bank
# writer's banks (SoundFont 3 ones encoded with libvorbis) as seeds; its path in zf_seeder.
zf_bank_seeder() {
  local synth=$zf_root/card/synth
  zf_seeder=$zf_build_dir/bank_seeds
  if [ ! -x "$zf_seeder" ] || [ -n "$(find "$zf_root/tools/fuzz/bank_seeds.cpp" "$synth"/TestBank* -newer "$zf_seeder")" ]; then
    # shellcheck disable=SC2046
    "${CXX_FUZZ:-clang++}" -std=c++17 -O1 -Wall -Wextra -Werror -I"$zf_root" "$zf_root/tools/fuzz/bank_seeds.cpp" \
      "$synth/TestBankWriter.cpp" "$synth/TestBankSf3.cpp" $(pkg-config --cflags --libs vorbisenc vorbis ogg) \
      -o "$zf_seeder" || return 1
  fi
}
