#!/usr/bin/env bash
# Runs the Trivox Wine tests: private PulseAudio with a null sink, the object
# installed and registered in its own prefix, then the conformance suite and
# the capture test (waveIn on the null sink's monitor).
#   card/trivox/tests/run-wine-tests.sh [WINDOWS_BUILD_DIR] [SHAPE]
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../../.." && pwd)
shape=${2:-9x}
source "$root/tools/wine-env.sh"
build=${1:-$root/build/win-trivox-$ZEPHRA_ARCH}
source "$here/audio-env.sh"
work=$(mktemp -d /tmp/trivox-wine.XXXXXX)
cleanup() {
  zw_session_end
  trivox_audio_stop
  rm -rf "$work"
}
trap cleanup EXIT
zw_prefix "${TRIVOX_PREFIX:-$root/out/prefix-trivox-$ZEPHRA_ARCH-$shape}" "$shape" || exit 1
trivox_audio_start "$work" || exit 1
zw_session_start
rc=0
(cd "$build" && ctest --output-on-failure -L "$shape" -R trivox_) || rc=1
exit $rc
