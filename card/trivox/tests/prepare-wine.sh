#!/usr/bin/env bash
# CTest fixture for the Trivox Wine tests: installs and registers the object in
# the current WINEPREFIX and, when a PulseAudio server is named, makes its
# null sink's monitor the default recording source for the capture test.
#   prepare-wine.sh WINDOWS_BUILD_DIR
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
"$here/../install-trivox.sh" "$1" >/dev/null
if [ -n "${PULSE_SERVER:-}" ] && pactl list short sources 2>/dev/null | grep -q '^[0-9]*[[:space:]]cap\.monitor'; then
  pactl set-default-source cap.monitor
fi
echo "trivox installed in $WINEPREFIX"
