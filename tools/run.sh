#!/usr/bin/env bash
# The main job: set up the machine, build, install into the default prefix with the
# virtual card, and start ZephraCtrl resident in the tray.
#   tools/run.sh [--shape 9x|nt] [--arch i686|x86_64] [--prefix DIR]     start (again)
# The architecture is i686 where the machine runs 32-bit code, else x86_64.
#   tools/run.sh --stop                            end ZephraCtrl and what this script started
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
prefix=${ZEPHRA_PREFIX:-}
shape=${ZEPHRA_SHAPE:-9x}
arch=
state=$root/out/run
stop=0
while [ $# -gt 0 ]; do
  case "$1" in
    --shape) shape=$2; shift 2 ;;
    --prefix) prefix=$2; shift 2 ;;
    --arch) arch=$2; shift 2 ;;
    --stop) stop=1; shift ;;
    *) echo "unknown option $1" >&2; exit 2 ;;
  esac
done
mkdir -p "$state"

# What an earlier start left for the next one: display, sound server, architecture, prefix.
[ -f "$state/env" ] && source "$state/env"
source tools/wine-env.sh
source shared/names/names.sh
[ -z "$arch" ] || zw_arch "$arch" || exit 2
arch=$ZEPHRA_ARCH
prefix=${prefix:-$root/out/prefix-$arch}

# Ends what the last start began, in its own prefix and architecture.
stop_all() {
  if [ -n "${RUN_PREFIX:-}" ] && [ -d "$RUN_PREFIX" ] && [ -n "${PULSE_SERVER:-}" ]; then
    (
      zw_arch "${RUN_ARCH:-$arch}"
      export WINEPREFIX=$RUN_PREFIX
      timeout 20 wine "C:\\Program Files\\Resonix Trivox\\ZephraCtrl.exe" /U >/dev/null 2>&1 || true
      timeout 30 wineserver -k >/dev/null 2>&1 || true
    )
  fi
  for p in xvfb pulse; do
    [ -f "$state/$p.pid" ] && kill "$(cat "$state/$p.pid")" 2>/dev/null || true
    rm -f "$state/$p.pid"
  done
  rm -f "$state/env"
}

if [ "$stop" = 1 ]; then
  stop_all
  echo "stopped"
  exit 0
fi

bash tools/setup.sh
if ! za_runs "$arch"; then
  za_why_not "$arch" >&2
  exit 1
fi
build=build/win-$arch
cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE="cmake/mingw-$arch.cmake" -DCMAKE_BUILD_TYPE=Release -DZEPHRA_DIRS=all >/dev/null
cmake --build "$build" -j2 >/dev/null

stop_all
export WINEPREFIX=$prefix
tools/install.sh --prefix "$prefix" --shape "$shape" --build "$build"

# Display and sound server live on after this script, with the program.
if [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then
  unset DISPLAY
  zw_display
  echo "$ZW_STARTED_XVFB" > "$state/xvfb.pid"
  ZW_STARTED_XVFB=
  xvfb=1
fi
ZW_PULSE_DIR=$state/pulse zw_audio
[ -n "$ZW_STARTED_PULSE" ] && echo "$ZW_STARTED_PULSE" > "$state/pulse.pid"
ZW_STARTED_PULSE=
printf 'export DISPLAY=%q XDG_RUNTIME_DIR=%q PULSE_SERVER=%q RUN_ARCH=%q RUN_PREFIX=%q\n' \
  "$DISPLAY" "$XDG_RUNTIME_DIR" "$PULSE_SERVER" "$arch" "$prefix" > "$state/env"

cp -f "$build/tools/wintool/wintool.exe" "$WINEPREFIX/drive_c/windows/system32/"
setsid nohup wine "C:\\Program Files\\Resonix Trivox\\ZephraCtrl.exe" >"$state/zephractrl.log" 2>&1 < /dev/null &
if ! timeout 60 wine wintool.exe wait "$ZEPHRA_FRAME_TITLE" 30000; then
  echo "ZephraCtrl did not start; see $state/zephractrl.log" >&2
  exit 1
fi
echo "ZephraCtrl is running in the tray."
echo "  Wine prefix: $WINEPREFIX (shape $shape, $arch)"
echo "  Display:     $DISPLAY"
if [ "${xvfb:-0}" = 1 ]; then
  # A second start opens the sheet of the running copy: that is what the picture shows.
  timeout 30 wine "C:\\Program Files\\Resonix Trivox\\ZephraCtrl.exe" >/dev/null 2>&1 || true
  timeout 30 wine wintool.exe visible "Resonix Trivox" 10000 || true
  sleep 0.5
  import -window root "$state/screenshot.png"
  echo "  Screenshot:  $state/screenshot.png (the property sheet opened by a second start)"
  if [ "$shape" = 9x ] && timeout 30 wine wintool.exe page "Resonix Trivox" 1; then
    sleep 0.5
    import -window root "$state/screenshot-demos.png"
    echo "  Screenshot:  $state/screenshot-demos.png (its Trivox Demos page)"
  fi
fi
echo "  Stop with:   tools/run.sh --stop"
