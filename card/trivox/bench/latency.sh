#!/usr/bin/env bash
# SetPosition to its sound at the output, the Trivox object beside Wine's own
# DirectSound, measured by the capture test (private PulseAudio null sink,
# recorded through waveIn) RUNS times. Figures only: a quiet machine gives the
# ones that count.
#   card/trivox/bench/latency.sh [WINDOWS_BUILD_DIR] [RUNS]
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/../tests" && pwd)
root=$(cd "$here/../../.." && pwd)
build=${1:-}
runs=${2:-3}
source "$root/tools/wine-env.sh"
build=${build:-$root/build/win-$ZEPHRA_ARCH}
exe=$(find "$build" -name trivox_capture_test.exe | head -1)
[ -n "$exe" ] || { echo "no trivox_capture_test.exe under $build" >&2; exit 1; }
build=$(cd "$build" && pwd)
source "$here/audio-env.sh"
work=$(mktemp -d /tmp/trivox-latency.XXXXXX)
cleanup() {
  bash "$here/restore-wine.sh" "$build" >/dev/null 2>&1
  zw_session_end
  trivox_audio_stop
  rm -rf "$work"
}
trap cleanup EXIT
zw_prefix "${TRIVOX_PREFIX:-$root/out/prefix-trivox-latency-$ZEPHRA_ARCH}" 9x >/dev/null || exit 1
trivox_audio_start "$work" || exit 1
zw_session_start
bash "$here/prepare-wine.sh" "$build" >/dev/null || exit 1
for i in $(seq "$runs"); do
  timeout 300 wine "$exe" --gtest_filter='Both/Capture.*' 2>/dev/null | tr -d '\r' |
    awk -v run="$i" '/--- Trivox ---/ { who = "Trivox" } /--- Wine ---/ { who = "Wine DirectSound" }
      /SetPosition to sound/ { sub(/.*jumps: /, ""); printf "run %d  %-17s %s\n", run, who, $0 }
      /quietest 2.5 ms/ && who == "Trivox" { sub(/.*\] /, ""); printf "run %d  %-17s %s\n", run, who, $0 }
      /^\[  (PASSED|FAILED)/ { printf "run %d  %s\n", run, $0 }'
done
