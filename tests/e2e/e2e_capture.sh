#!/usr/bin/env bash
# Runs a Windows test program with a recording of the null sink "cap" running beside it;
# the program reads the growing recording through ZEPHRA_CAPTURE (48 kHz, 16-bit stereo).
#   e2e_capture.sh TEST.exe [gtest args...]
set -u
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
exe=$1
shift
cap=$(mktemp /tmp/zephra-capture.XXXXXX)
parec -d cap.monitor --raw --format=s16le --rate=48000 --channels=2 --latency-msec=10 > "$cap" 2>/dev/null &
rec=$!
export ZEPHRA_CAPTURE=$cap
"$root/tools/wine-run.sh" "$exe" "$@"
rc=$?
kill "$rec" 2>/dev/null
wait "$rec" 2>/dev/null
rm -f "$cap"
exit $rc
