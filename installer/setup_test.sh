#!/usr/bin/env bash
# The setup program in a fresh Wine prefix: installs, upgrades in place keeping the user's
# settings, and its uninstaller (ending a running control panel first) leaves nothing of
# ours behind, judged by comparing file and registry lists with the prefix before setup.
#   installer/setup_test.sh WINDOWS_BUILD_DIR      (needs DISPLAY and an audio server as the
#                                                   other Windows tests; prints "N passed, N failed")
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build=$(cd "${1:?usage: setup_test.sh WINDOWS_BUILD_DIR}" && pwd)
source "$here/../tools/wine-env.sh"
source "$here/../shared/names/names.sh"
source "$here/../shared/settings/keys.sh"

work=$(mktemp -d /tmp/zephra-setup-test.XXXXXX)
trap 'WINEPREFIX=$work/prefix zw_session_end; rm -rf "$work"' EXIT
passed=0 failed=0
check() {  # check "what" command...
  local what=$1; shift
  if "$@"; then passed=$((passed + 1)); echo "ok: $what"; else failed=$((failed + 1)); echo "FAILED: $what"; fi
}

setup=$work/setup.exe
"$here/build-setup.sh" "$build" "$setup" >/dev/null 2>"$work/makensis.log" || { cat "$work/makensis.log"; echo "0 passed, 1 failed"; exit 1; }

zw_prefix "$work/prefix" 9x >/dev/null || { echo "0 passed, 1 failed"; exit 1; }
timeout 60 wineserver -w
c=$WINEPREFIX/drive_c
prog="$c/Program Files/Resonix Trivox"
cp "$setup" "$c/setup.exe"

# What a prefix holds, as lists: files (without Wine's own scratch) and registry keys and
# value names of both hives (without their time stamps).
files() { (cd "$c" && find . -path ./windows/temp -prune -o -path './users/*/Temp' -prune -o -print | sort) > "$1"; }
registry() {
  local hive out=$1
  : > "$out"
  for hive in system.reg user.reg; do
    awk -v h="$hive" '/^\[/ { key = $0; sub(/\] [0-9]+$/, "]", key); print h " " key; next }
                      /^("|@)/ { name = $0; sub(/=.*/, "", name); print h " " key " " name }' "$WINEPREFIX/$hive"
  done | sort > "$out"
}
flush() { timeout 60 wineserver -w; }
# Processes of this prefix whose command line names the program.
panel_running() {
  local p
  for p in /proc/[0-9]*; do
    grep -qz "^WINEPREFIX=$WINEPREFIX\$" "$p/environ" 2>/dev/null || continue
    tr '\0' ' ' < "$p/cmdline" 2>/dev/null | grep -qi 'ZephraCtrl.exe' && return 0
  done
  return 1
}
start_panel() { (timeout 120 wine 'C:\Program Files\Resonix Trivox\ZephraCtrl.exe' >/dev/null 2>&1 &); }
panel_gone() { local i; for i in $(seq 1 50); do panel_running || return 0; sleep 0.2; done; return 1; }
run() { zw_wine "$@" >/dev/null 2>&1; }
# The control panel's hidden window, waited for as the sign that it became resident.
panel_resident() { zw_wine "$build/tools/wintool/wintool.exe" wait "$ZEPHRA_FRAME_TITLE" 20000 >/dev/null 2>&1; }
# A setup that fails half way: it must say so and leave everything as it found it.
failing_setup() {  # failing_setup WHAT
  files "$work/fA"; registry "$work/rA"; sums "$work/sA"
  zw_wine 'C:\setup.exe' /S >/dev/null 2>&1
  check "$1 setup fails" test $? -ne 0
  flush
  files "$work/fB"; registry "$work/rB"; sums "$work/sB"
  check "$1 failed setup leaves the files as they were" diff -u "$work/fA" "$work/fB"
  check "$1 failed setup leaves the files' contents as they were" diff -u "$work/sA" "$work/sB"
  check "$1 failed setup leaves the registry as it was" \
    diff -u <(grep -vE "$noise" "$work/rA") <(grep -vE "$noise" "$work/rB")
}
sums() { (cd "$c" && find . -path ./windows/temp -prune -o -path './users/*/Temp' -prune -o -type f -print0 |
          sort -z | xargs -0 md5sum) > "$1"; }
# Keys Wine itself touches while programs run are not ours.
noise='^user\.reg \[Console\]|Software\\\\Wine|DynData|\\\\Enum\\\\|Control\\\\(Print|Session Manager|DeviceClasses)|ShellNoRoam|Explorer|Volatile Environment|MuiCache|UserAssist|MMDevices'

value() { grep -A40 -F "[$1]" "$WINEPREFIX/$2" | sed -n '2,40p' | sed '/^\[/,$d' | grep -F "\"$3\"=" ; }
dword_is() { [ "$(value "$1" system.reg "$2")" = "\"$2\"=dword:$3" ]; }  # dword_is KEY NAME 8-DIGIT-HEX
no_value() { ! grep -q "^\"$1\"=" "$WINEPREFIX/system.reg"; }

flush
files "$work/files0"
registry "$work/reg0"

# ---- a fresh setup that fails half way (a folder where its last file goes) undoes itself
mkdir -p "$prog/card/default-44100.mhr"
failing_setup "fresh:"
rm -rf "$prog"

# ---- fresh install
run 'C:\setup.exe' /S
flush
for f in ZephraCtrl.exe ZephraHook.dll Kv20DAL.dll uninstall.exe; do check "installs $f" test -f "$prog/$f"; done
[ -f "$build/controlpanel/l.wav" ] && check "installs the test tones" test -f "$prog/l.wav" -a -f "$prog/r.wav"
[ -f "$build/player/TrivoxPlay.exe" ] && check "installs demos\\TrivoxPlay.exe" test -f "$prog/demos/TrivoxPlay.exe"
[ -f "$build/controlpanel/ResonixTrivox.hlp" ] &&
  check "installs help\\ResonixTrivox.hlp" cmp -s "$build/controlpanel/ResonixTrivox.hlp" "$prog/help/ResonixTrivox.hlp"
[ -f "$build/player/TrivoxPlay.hlp" ] &&
  check "installs demos\\TrivoxPlay.hlp" cmp -s "$build/player/TrivoxPlay.hlp" "$prog/demos/TrivoxPlay.hlp"
for d in "$ZEPHRA_DEMO_HELICOPTER" "$ZEPHRA_DEMO_BEES" "$ZEPHRA_DEMO_RACE"; do
  [ -f "$build/player/demos/$d.exe" ] && check "installs demos\\$d.exe" test -f "$prog/demos/$d.exe"
done
[ -d "$build/player/demos/sounds" ] &&
  check "installs the sample sounds" bash -c "[ \$(ls '$prog/demos/sounds/'*.wav | wc -l) = 5 ]"
# The wave VxD's DLL is 32-bit only: the 64-bit driver serves that name itself.
vxd=$ZEPHRA_WAVE_VXD
[ "$ZEPHRA_ARCH" = i686 ] || { vxd=; check "installs no $ZEPHRA_WAVE_VXD" test ! -e "$c/windows/system32/$ZEPHRA_WAVE_VXD"; }
for f in "drivers/$ZEPHRA_CARD_SERVICE.sys" ${vxd:+"$vxd"} cardctl.exe; do
  check "installs system32\\$f" test -f "$c/windows/system32/$f"
done
check "installs system32\\$ZEPHRA_MIDI_DRIVER" test -f "$c/windows/system32/$ZEPHRA_MIDI_DRIVER"
check "installs the default bank as orvanegm" cmp -s "$build/card/mididrv/orvanegm" "$c/windows/system32/orvanegm"
wine_audio_is() { [ "$(value 'Software\\Wine\\Drivers' user.reg Audio)" = "\"Audio\"=\"$1\"" ]; }
previous_audio_is() { [ "$(value "$(zephra_reg_escaped "${catalogue_kDriverNames%\\*}\\Setup")" system.reg PreviousWineAudio)" = "\"PreviousWineAudio\"=\"$1\"" ]; }
check "Wine loads the card's MIDI driver" wine_audio_is "$ZEPHRA_WINE_AUDIO"
check "Wine's previous audio driver kept" previous_audio_is pulse
check "service key" value "System\\\\CurrentControlSet\\\\Services\\\\$ZEPHRA_CARD_SERVICE" system.reg Start
check "release in K4" value "$(zephra_reg_escaped "$catalogue_kSetup")" system.reg SoftwareVersion
check "MIDI names in K9" value "$(zephra_reg_escaped "$catalogue_kDriverNames")" system.reg WavetableDriverName
for v in SplashAudio SplashScreen; do
  check "splash on in K6: $v" dword_is "$(zephra_reg_escaped "$catalogue_kTrivoxShared")" "$v" 00000001
done
for v in DisplayName DisplayVersion Publisher InstallLocation UninstallString; do
  check "uninstall entry $v" value 'Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\ResonixTrivox' system.reg "$v"
done
check "installs the Trivox object" test -f "$prog/card/trivox3d.dll"
[ -f /usr/share/openal/hrtf/default-48000.mhr ] &&
  check "copies the HRTF data" cmp -s /usr/share/openal/hrtf/default-48000.mhr "$prog/card/default-48000.mhr"
check "registers the Trivox object" grep -qiF 'Resonix Trivox\\card\\trivox3d.dll' "$WINEPREFIX/system.reg"
check "no log-on start written" bash -c "! grep -q ResonixTrivoxControl '$WINEPREFIX/system.reg'"

# ---- the program runs from the installation; the card comes with the next session
zw_session_start
check "the card answers" bash -c "timeout 20 wine cardctl.exe config 2>/dev/null | grep -q '^config '"
start_panel
check "the control panel stays resident" panel_resident

# ---- a second setup over it: in place, the user's settings kept
zw_reg_text <<REG
[HKEY_CURRENT_USER\\$catalogue_kUserPreferences]
"ToolTipsEnable"=dword:00000000
"PROPSHEET_PAGE"=dword:00000002

[HKEY_LOCAL_MACHINE\\$catalogue_kCardPanel]
"OutputMode"=dword:00000000

[HKEY_LOCAL_MACHINE\\$catalogue_kTrivoxShared]
"SplashAudio"=dword:00000000
"SplashScreen"=dword:00000000
REG
run 'C:\setup.exe' /S
check "second setup ended the running copy" panel_gone
flush
check "user's K2 kept" value "$(zephra_reg_escaped "$catalogue_kUserPreferences")" user.reg ToolTipsEnable
check "user's K8 kept" value "$(zephra_reg_escaped "$catalogue_kCardPanel")" system.reg OutputMode
check "user's splash choice kept" dword_is "$(zephra_reg_escaped "$catalogue_kTrivoxShared")" SplashAudio 00000000
check "upgrade keeps Wine's previous audio driver" previous_audio_is pulse
check "still one program directory" test "$(find "$c" -name ZephraCtrl.exe | wc -l)" = 1

# ---- a setup over the installation that fails half way puts the old files back: the
# program is marked so that a copy of the new one would show
printf 'old' >> "$prog/ZephraCtrl.exe"
rm "$prog/card/default-44100.mhr" && mkdir "$prog/card/default-44100.mhr"
failing_setup "over:"
rmdir "$prog/card/default-44100.mhr"
run 'C:\setup.exe' /S
check "a setup after the failed one repairs the installation" cmp -s "$build/controlpanel/ZephraCtrl.exe" "$prog/ZephraCtrl.exe"
flush

# ---- uninstall, with the control panel running
zw_session_start
start_panel
check "the control panel runs again" panel_resident
run 'C:\Program Files\Resonix Trivox\uninstall.exe' /S
check "uninstaller ended the control panel" panel_gone
flush
for v in SplashAudio SplashScreen EnableDS3D PreviousWineAudio; do
  check "uninstall removes $v" no_value "$v"
done
check "uninstall unregisters the Trivox object" bash -c "! grep -qi 'trivox3d.dll' '$WINEPREFIX/system.reg'"
check "uninstall removes the Trivox object" test ! -e "$prog/card"
check "uninstall removes the help files" test ! -e "$prog/help" -a ! -e "$prog/demos/TrivoxPlay.hlp"
check "uninstall gives Wine its own audio driver back" wine_audio_is pulse
# The program's own settings are the user's: take them out before comparing.
zw_reg_text <<REG
[-HKEY_CURRENT_USER\\${catalogue_kInstall%\\*}]

[-HKEY_LOCAL_MACHINE\\$catalogue_kCardPanel]

[-HKEY_LOCAL_MACHINE\\${catalogue_kCardPanel%\\*}]

[-HKEY_LOCAL_MACHINE\\${catalogue_kTrivoxShared%\\*}]
REG
flush
files "$work/files1"
registry "$work/reg1"
grep -vE "$noise" "$work/reg0" > "$work/reg0f"
grep -vE "$noise" "$work/reg1" > "$work/reg1f"
check "no file of ours remains" diff -u "$work/files0" "$work/files1"
check "no registry value of ours remains" diff -u "$work/reg0f" "$work/reg1f"

echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
