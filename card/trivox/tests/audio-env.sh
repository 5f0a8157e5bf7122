# Private PulseAudio with a null sink for the Wine tests, sourced by run-wine-tests.sh.
#   trivox_audio_start DIR   start the server (socket and logs under DIR), point Wine at it
#   trivox_audio_stop        stop the server started here
TRIVOX_PULSE_PID=

trivox_audio_start() {
  local dir=$1
  mkdir -p "$dir/run/pulse" "$dir/home"
  chmod 700 "$dir/run"
  export XDG_RUNTIME_DIR="$dir/run"
  export PULSE_SERVER="unix:$dir/run/pulse/native"
  export PULSE_RUNTIME_PATH="$dir/run/pulse"
  HOME="$dir/home" pulseaudio -n --daemonize=no --exit-idle-time=-1 --disallow-exit \
    -L "module-native-protocol-unix auth-anonymous=1 socket=$dir/run/pulse/native" \
    -L "module-null-sink sink_name=cap rate=48000 channels=2 format=s16le norewinds=1" \
    >"$dir/pulse.log" 2>&1 &
  TRIVOX_PULSE_PID=$!
  local i
  for i in $(seq 1 50); do
    pactl info >/dev/null 2>&1 && break
    sleep 0.1
  done
  pactl info >/dev/null 2>&1 || { echo "pulseaudio did not start (see $dir/pulse.log)" >&2; return 1; }
  pactl set-default-sink cap
  pactl set-default-source cap.monitor
  zw_reg_text <<'REG'
[HKEY_CURRENT_USER\Software\Wine\Drivers]
"Audio"="pulse"
REG
}

trivox_audio_stop() {
  if [ -n "$TRIVOX_PULSE_PID" ]; then
    kill "$TRIVOX_PULSE_PID" 2>/dev/null || true
    wait "$TRIVOX_PULSE_PID" 2>/dev/null || true
    TRIVOX_PULSE_PID=
  fi
}
