#!/usr/bin/env bash
# CTest fixture for the Trivox Wine tests: installs and registers the object in
# the current WINEPREFIX and, when a PulseAudio server is named, makes its
# null sink's monitor the default recording source for the capture test.
# The splash is switched off for the run (the tests measure what they play);
# restore-wine.sh puts the installation's values back.
#   prepare-wine.sh WINDOWS_BUILD_DIR
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/../../../tools/wine-env.sh"
source "$here/../../../shared/settings/keys.sh"
"$here/../install-trivox.sh" "$1" >/dev/null
if [ -n "${PULSE_SERVER:-}" ] && pactl list short sources 2>/dev/null | grep -q '^[0-9]*[[:space:]]cap\.monitor'; then
  pactl set-default-source cap.monitor
fi
saved=$1/trivox-splash-saved.reg
rm -f "$saved"
zw_wine reg export "HKLM\\$catalogue_kTrivoxShared" "$(winepath -w "$saved" 2>/dev/null)" /y >/dev/null 2>&1 || rm -f "$saved"
zw_reg_text <<REG
[HKEY_LOCAL_MACHINE\\$catalogue_kTrivoxShared]
"SplashAudio"=dword:00000000
"SplashScreen"=dword:00000000
REG
echo "trivox installed in $WINEPREFIX, splash off"
