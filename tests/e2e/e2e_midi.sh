#!/usr/bin/env bash
# Runs the MIDI page's test with drive E: staged as a CD-ROM, then its *AfterRestart part
# once more after Wine's next start, which carries out WININIT.INI.
#   e2e_midi.sh TEST.exe
set -u
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
exe=$1
: "${WINEPREFIX:?WINEPREFIX must name the test prefix}"
source "$root/tools/wine-env.sh"

cd_dir=$WINEPREFIX/zephra-cdrom
mkdir -p "$cd_dir"
ln -sfn "$cd_dir" "$WINEPREFIX/dosdevices/e:"
zw_reg_text <<REG
[HKEY_LOCAL_MACHINE\\Software\\Wine\\Drives]
"e:"="cdrom"
REG

# Drive types are read when a session starts, and so is WININIT.INI.
restart() {
  zw_session_end
  zw_session_start
}
restart
"$root/tools/wine-run.sh" "$exe" --gtest_filter='-MidiAfterRestart.*'
rc=$?
restart
"$root/tools/wine-run.sh" "$exe" --gtest_filter='MidiAfterRestart.*' || rc=1
exit $rc
