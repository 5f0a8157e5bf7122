#!/usr/bin/env bash
# The hand-over tests under ThreadSanitizer, in a small build of their own: the host
# build's AddressSanitizer and ThreadSanitizer do not mix.
#   tsan-test.sh BUILD_DIR
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build=${1:?build directory}
cmake -S "$here/../.." -B "$build" -DCMAKE_BUILD_TYPE=Debug -DZEPHRA_DIRS=card/synth -DZEPHRA_SANITIZE=OFF \
  -DZSYNTH_TSAN=ON -DCMAKE_CXX_FLAGS=-fsanitize=thread -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread >/dev/null
cmake --build "$build" --target zsynth_mix_test -j2 >/dev/null
TSAN_OPTIONS=halt_on_error=1 "$build/card/synth/zsynth_mix_test" --gtest_filter='SynthHost*'
