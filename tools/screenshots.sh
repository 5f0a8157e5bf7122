#!/usr/bin/env bash
# Takes the README's pictures: every page of the control panel's sheet in both shapes, its
# About box, the help viewer on the MIDI page's topic, the player's windows and the three
# demos, each cut from the Xvfb screen into docs/screenshots/.
#   tools/screenshots.sh [--build DIR]     (after a Windows build; uses its own prefixes)
# The build is that of ZEPHRA_ARCH (default: what the machine runs, i686 first).
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
source tools/wine-env.sh
build=build/win-$ZEPHRA_ARCH
[ "${1:-}" = --build ] && build=$2
out=$root/docs/screenshots
mkdir -p "$out"

source shared/names/names.sh
source shared/settings/keys.sh
trap zw_cleanup EXIT
unset DISPLAY PULSE_SERVER
zw_display
zw_audio

panel='C:\Program Files\Resonix Trivox\ZephraCtrl.exe'
player='C:\Program Files\Resonix Trivox\demos\TrivoxPlay.exe'
sheet="Resonix Trivox"
PSM_SETCURSEL=0x465
WM_CLOSE=0x10
WM_COMMAND=0x111
WM_SYSCOMMAND=0x112

tool() { zw_wine wintool.exe "$@" | tr -d '\r'; }

# shot TITLE FILE: the window's own rectangle from the screen, once it is visible and drawn.
shot() {
  tool visible "$1" 20000 || { echo "screenshots: no window '$1'" >&2; return 1; }
  sleep 0.7  # let the window finish painting: a picture, not a test
  import -window root -crop "$(tool rect "$1")" +repage "$out/$2.png"
  echo "  $2.png"
}

for shape in 9x nt; do
  prefix=$root/build/prefix-shots-$ZEPHRA_ARCH-$shape
  tools/install.sh --prefix "$prefix" --shape "$shape" --build "$build" >/dev/null
  export WINEPREFIX=$prefix
  cp -f "$build/tools/wintool/wintool.exe" "$WINEPREFIX/drive_c/windows/system32/"
  zw_session_start
  setsid nohup wine "$panel" >/dev/null 2>&1 < /dev/null &
  tool wait "$ZEPHRA_FRAME_TITLE" 30000
  tool post "$ZEPHRA_FRAME_TITLE" 0x8065
  if [ "$shape" = 9x ]; then pages=(config demos midi preferences); else pages=(midi preferences); fi
  for i in "${!pages[@]}"; do
    tool visible "$sheet" 20000
    tool post "$sheet" $PSM_SETCURSEL "$i"
    shot "$sheet" "zephractrl-$shape-${pages[$i]}"
    if [ "$shape" = 9x ] && [ "${pages[$i]}" = midi ]; then
      tool post "$ZEPHRA_FRAME_TITLE" $WM_COMMAND 57670   # the tray menu's Help: the MIDI page's topic
      shot "Resonix Trivox Help" help-midi
      tool post "Resonix Trivox Help" $WM_CLOSE
      sleep 0.5
    fi
  done
  tool post "$sheet" $WM_CLOSE
  sleep 0.5
  tool post "$ZEPHRA_FRAME_TITLE" $WM_COMMAND 16   # the tray menu's About
  shot "$sheet" "zephractrl-$shape-about"
  tool post "$sheet" $WM_CLOSE
  if [ "$shape" = 9x ]; then
    # The Trivox logo of the first device would cover the windows for a moment.
    zw_wine reg add "HKLM\\$catalogue_kTrivoxShared" /v SplashScreen /t REG_DWORD /d 0 /f >/dev/null
    setsid nohup wine "$player" >/dev/null 2>&1 < /dev/null &
    title="Trivox Player (Hit F1 For Help)"
    shot "$title" trivoxplay
    tool post "$title" $WM_SYSCOMMAND 0x20   # listener settings
    shot "3D Listener Object Settings" trivoxplay-listener
    tool post "3D Listener Object Settings" $WM_CLOSE
    sleep 0.5
    tool post "$title" $WM_SYSCOMMAND 0x10   # About
    shot "About Trivox Player" trivoxplay-about
    tool post "About Trivox Player" $WM_CLOSE
    tool post "$title" $WM_CLOSE
    for demo in "$ZEPHRA_DEMO_HELICOPTER:Helicopter" "$ZEPHRA_DEMO_BEES:Killer Bees" "$ZEPHRA_DEMO_RACE:Race Track"; do
      exe=${demo%%:*}
      title=${demo#*:}
      setsid nohup wine "C:\\Program Files\\Resonix Trivox\\$ZEPHRA_DEMOS_DIR\\$exe.exe" >/dev/null 2>&1 < /dev/null &
      sleep 2  # the sources move on a little
      shot "$title" "$(tr '[:upper:]' '[:lower:]' <<<"$exe")"
      tool post "$title" $WM_CLOSE
    done
  fi
  zw_session_end
done
