#!/usr/bin/env bash
# Runs every test: host tests with sanitizers, then the Windows tests under Wine in both
# platform shapes (each in its own prefix with the programs and the virtual card installed).
#   tools/test.sh [--no-setup] [--no-fuzz] [--shape 9x|nt] [-R REGEX]
# (--no-fuzz skips the bounded fuzz runs: for a quick subset while working.)
set -uo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
setup=1
fuzzing=1
shapes=(9x nt)
ctest_args=()
while [ $# -gt 0 ]; do
  case "$1" in
    --no-setup) setup=0; shift ;;
    --no-fuzz) fuzzing=0; shift ;;
    --shape) shapes=("$2"); shift 2 ;;
    -R) ctest_args+=(-R "$2"); shift 2 ;;
    *) echo "unknown option $1" >&2; exit 2 ;;
  esac
done

if [ "$setup" = 1 ]; then
  bash tools/setup.sh || { echo "set-up failed" >&2; exit 1; }
fi

jobs=2
passed=0
failed=0
status=0
log_dir=$root/build/test-logs
mkdir -p "$log_dir"

# Adds the counts of one ctest run to the totals.
count() {
  local log=$1 line
  line=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -1)
  if [ -n "$line" ]; then
    local f total
    f=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$line")
    total=$(sed -E 's/.* failed out of ([0-9]+).*/\1/' <<<"$line")
    passed=$((passed + total - f))
    failed=$((failed + f))
  fi
}

echo "== host build and tests"
cmake -S . -B build/host -DCMAKE_BUILD_TYPE=Debug -DZEPHRA_DIRS=all >/dev/null || exit 1
cmake --build build/host -j"$jobs" 2>&1 | grep -E 'warning|error|Error' ; [ "${PIPESTATUS[0]}" = 0 ] || exit 1
(cd build/host && ctest -L host --output-on-failure "${ctest_args[@]}") 2>&1 | tee "$log_dir/host.log"
[ "${PIPESTATUS[0]}" = 0 ] || status=1
count "$log_dir/host.log"

# Every fuzz target of tools/fuzz, each a bounded run.
for fuzz in tools/fuzz/run-*-fuzz.sh; do
  [ "$fuzzing" = 1 ] || break
  name=$(basename "$fuzz" .sh); name=${name#run-}; name=${name%-fuzz}
  echo "== $name fuzzing (bounded)"
  if bash "$fuzz" --short > "$log_dir/fuzz-$name.log" 2>&1; then
    passed=$((passed + 1)); tail -1 "$log_dir/fuzz-$name.log"
  else
    failed=$((failed + 1)); status=1; tail -30 "$log_dir/fuzz-$name.log"
  fi
done

echo "== Windows build"
cmake -S . -B build/win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release -DZEPHRA_DIRS=all >/dev/null || exit 1
cmake --build build/win -j"$jobs" 2>&1 | grep -E 'warning|error|Error' ; [ "${PIPESTATUS[0]}" = 0 ] || exit 1

source tools/wine-env.sh
trap zw_cleanup EXIT
zw_display || exit 1
zw_audio || exit 1
for shape in "${shapes[@]}"; do
  echo "== Windows tests, $shape shape"
  prefix=$root/build/prefix-$shape
  tools/install.sh --prefix "$prefix" --shape "$shape" --build build/win >/dev/null || { status=1; continue; }
  export WINEPREFIX=$prefix ZEPHRA_SHAPE=$shape ZEPHRA_ROOT=$root ZEPHRA_BUILD=$root/build/win
  zw_session_start
  (cd build/win && ctest -L "$shape" --output-on-failure "${ctest_args[@]}") 2>&1 | tee "$log_dir/win-$shape.log"
  [ "${PIPESTATUS[0]}" = 0 ] || status=1
  count "$log_dir/win-$shape.log"
  zw_session_end
done

echo
echo "total: $passed passed, $failed failed"
exit $status
