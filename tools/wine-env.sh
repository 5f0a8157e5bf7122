# Wine harness, sourced by the other scripts.
#   zw_arch ARCH             i686 or x86_64: the loader and prefix kind of what follows
#                            (default ZEPHRA_ARCH, else what the machine runs, i686 first)
#   zw_prefix PATH SHAPE     create or reuse a prefix in shape 9x (win98) or nt (winxp)
#   zw_display               start Xvfb when there is no DISPLAY (stopped by zw_cleanup)
#   zw_session_start/_end    keep one wineserver alive for a suite, end it afterwards
#   zw_wine ARGS...          wine under timeout (ZW_TIMEOUT seconds, default 120)
#   zw_reg_import FILE       import a .reg file into the current prefix
# Every wine call runs with WINEDEBUG=-all unless the caller set WINEDEBUG.

ZW_ROOT=${ZW_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
source "$ZW_ROOT/tools/arch.sh"
# wine, wineboot and winepath start the loader that WINEARCH names.
case ":$PATH:" in *":$ZW_ROOT/tools/winebin:"*) ;; *) export PATH="$ZW_ROOT/tools/winebin:$PATH" ;; esac
export WINEDEBUG=${WINEDEBUG:--all}

zw_arch() {
  case "$1" in
    i686) export ZEPHRA_ARCH=i686 WINEARCH=win32 ;;
    x86_64) export ZEPHRA_ARCH=x86_64 WINEARCH=win64 ;;
    *) echo "unknown architecture '$1' (i686 or x86_64)" >&2; return 1 ;;
  esac
}
zw_arch "${ZEPHRA_ARCH:-$(za_default_arch)}"
ZW_STARTED_XVFB=
ZW_STARTED_PULSE=

zw_wine() {
  timeout "${ZW_TIMEOUT:-120}" wine "$@"
}

zw_reg_import() {
  zw_wine regedit /S "$(winepath -w "$1" 2>/dev/null)"
}

# Runs a shell command with a .reg text given on stdin.
zw_reg_text() {
  local f
  f=$(mktemp --suffix=.reg)
  { printf 'REGEDIT4\n\n'; cat; } > "$f"
  zw_reg_import "$f"
  rm -f "$f"
}

zw_set_shape() {
  local shape=$1 ver
  case "$shape" in
    9x) ver=win98 ;;
    nt) ver=winxp ;;
    *) echo "unknown shape '$shape' (9x or nt)" >&2; return 1 ;;
  esac
  zw_reg_text <<REG
[HKEY_CURRENT_USER\\Software\\Wine]
"Version"="$ver"

[HKEY_CURRENT_USER\\Software\\Wine\\Drivers]
"Audio"="pulse"

[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]
"Managed"="N"
"Decorated"="N"
REG
}

zw_prefix() {
  export WINEPREFIX=$1
  local shape=${2:-9x}
  if [ -f "$WINEPREFIX/.zephra-ready" ] && [ "$(cat "$WINEPREFIX/.zephra-arch" 2>/dev/null || echo i686)" != "$ZEPHRA_ARCH" ]; then
    echo "$WINEPREFIX is a $(cat "$WINEPREFIX/.zephra-arch" 2>/dev/null || echo i686) prefix, not $ZEPHRA_ARCH" >&2
    return 1
  fi
  if [ ! -f "$WINEPREFIX/.zephra-ready" ]; then
    mkdir -p "$WINEPREFIX"
    WINEDLLOVERRIDES="mscoree,mshtml=" timeout 180 wineboot -i >/dev/null 2>&1 || true
    timeout 120 wineserver -w || true
    [ -f "$WINEPREFIX/system.reg" ] || { echo "wineboot failed for $WINEPREFIX" >&2; return 1; }
    echo "$ZEPHRA_ARCH" > "$WINEPREFIX/.zephra-arch"
    touch "$WINEPREFIX/.zephra-ready"
  fi
  zw_set_shape "$shape"
  echo "$shape" > "$WINEPREFIX/.zephra-shape"
}

zw_display() {
  if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    return 0
  fi
  local n
  for n in $(seq 90 130); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    ZW_STARTED_XVFB=$!
    export DISPLAY=":$n"
    local i
    for i in $(seq 1 50); do
      xdpyinfo >/dev/null 2>&1 && return 0
      sleep 0.1
    done
    kill "$ZW_STARTED_XVFB" 2>/dev/null
    ZW_STARTED_XVFB=
  done
  echo "could not start Xvfb" >&2
  return 1
}

# A private PulseAudio with a null sink "cap": the wave output the programs need, and a
# recording of what they play (zw_record_start FILE / zw_record_stop).
zw_audio() {
  if [ -n "${PULSE_SERVER:-}" ] && timeout 5 pactl info >/dev/null 2>&1; then
    return 0
  fi
  export XDG_RUNTIME_DIR=${ZW_PULSE_DIR:-$(mktemp -d /tmp/zephra-pulse.XXXXXX)}
  mkdir -p "$XDG_RUNTIME_DIR/pulse"
  export PULSE_SERVER="unix:$XDG_RUNTIME_DIR/pulse/native"
  pulseaudio -n --daemonize=no --exit-idle-time=-1 --disable-shm=yes \
    -L "module-native-protocol-unix auth-anonymous=1 socket=$XDG_RUNTIME_DIR/pulse/native" \
    -L "module-null-sink sink_name=cap rate=48000 channels=2 format=s16le norewinds=1" \
    >"$XDG_RUNTIME_DIR/pulse.log" 2>&1 &
  ZW_STARTED_PULSE=$!
  local i
  for i in $(seq 1 50); do
    timeout 2 pactl info >/dev/null 2>&1 && break
    sleep 0.1
  done
  timeout 5 pactl set-default-sink cap >/dev/null 2>&1 || { echo "could not start PulseAudio" >&2; return 1; }
}

ZW_RECORDER=
zw_record_start() {
  parec -d cap.monitor --raw --format=s16le --rate=48000 --channels=2 --latency-msec=10 > "$1" &
  ZW_RECORDER=$!
}
zw_record_stop() {
  [ -n "$ZW_RECORDER" ] && kill "$ZW_RECORDER" 2>/dev/null && wait "$ZW_RECORDER" 2>/dev/null
  ZW_RECORDER=
}

# Private pages (KiB) of the Wine process that runs the Windows program named $1 (its
# Windows path is that process's command line); fails when none runs.
zw_private_kib() {
  local pid
  for pid in $(pgrep -f "$1" || true); do
    if tr '\0' ' ' < "/proc/$pid/cmdline" 2>/dev/null | grep -qi "^C:.*$1"; then
      awk '/^Private_(Clean|Dirty):/ { s += $2 } END { print s }' "/proc/$pid/smaps_rollup"
      return 0
    fi
  done
  return 1
}

zw_session_start() {
  timeout 10 wineserver -p >/dev/null 2>&1 || true
  # Let the services of a fresh session settle before the first program runs.
  timeout 60 wine cmd /c exit >/dev/null 2>&1 || true
}

zw_session_end() {
  [ -n "${WINEPREFIX:-}" ] && timeout 30 wineserver -k >/dev/null 2>&1 || true
  [ -n "${WINEPREFIX:-}" ] && timeout 30 wineserver -w >/dev/null 2>&1 || true
}

zw_cleanup() {
  zw_session_end
  zw_record_stop || true
  if [ -n "$ZW_STARTED_PULSE" ]; then
    kill "$ZW_STARTED_PULSE" 2>/dev/null || true
    wait "$ZW_STARTED_PULSE" 2>/dev/null || true
    ZW_STARTED_PULSE=
  fi
  if [ -n "$ZW_STARTED_XVFB" ]; then
    kill "$ZW_STARTED_XVFB" 2>/dev/null || true
    wait "$ZW_STARTED_XVFB" 2>/dev/null || true
    ZW_STARTED_XVFB=
  fi
}
