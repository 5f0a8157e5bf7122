#!/usr/bin/env bash
# Installs the virtual card into the current Wine prefix.
#   WINEPREFIX=... card/install-card.sh BUILD_DIR [level=N] [class=N] [feature=N]
#                                       [devices=wave,core,wt,nt|all|none] [fail=CODE,DEV:CODE,...|-]
#   WINEPREFIX=... card/install-card.sh --config-only [options...]
# BUILD_DIR is the Windows build directory (the card's driver, wave DLL and cardctl.exe; their
# names are in shared/names/Names.h). --config-only writes the configuration for files that the
# setup program has installed.
# Options not given take the card's defaults (all devices, level 200, class 6, feature 1,
# nothing fails), so every run writes the whole configuration. Ends a running Wine session
# first: the driver reads its configuration when the session starts.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=../tools/wine-env.sh
source "$here/../tools/wine-env.sh"
source "$here/../shared/names/names.sh"

usage() {
  sed -n '2,11p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//' >&2
  exit 2
}

[ $# -ge 1 ] || usage
build=$1
shift
: "${WINEPREFIX:?set WINEPREFIX (source tools/wine-env.sh; zw_prefix PATH SHAPE)}"
files=1
[ "$build" != "--config-only" ] || files=0
sys="$build/card/driver/$ZEPHRA_CARD_SERVICE.sys"
ctl="$build/card/cardctl/cardctl.exe"
vxd="$build/card/wavedll/$ZEPHRA_WAVE_VXD"
drv="$build/card/mididrv/$ZEPHRA_MIDI_DRIVER"
bank="$build/card/mididrv/orvanegm"
# No VxD DLL in a 64-bit build: its driver serves that name.
[ "$ZEPHRA_ARCH" = i686 ] || vxd=
if [ "$files" = 1 ]; then
  for f in "$sys" "$ctl" ${vxd:+"$vxd"} "$drv" "$bank"; do
    [ -f "$f" ] || { echo "install-card: missing $f (build the kv22card, cardctl, brs4wave and winezephra targets)" >&2; exit 1; }
  done
fi

number() {  # decimal or 0x-hex, 32 bits
  local v=$1
  [[ $v =~ ^(0[xX][0-9a-fA-F]{1,8}|[0-9]{1,10})$ ]] || return 1
  (( v <= 0xFFFFFFFF )) || return 1
  printf '%08x' "$((v))"
}

device_bit() {
  case "$1" in
    wave) echo 1 ;;
    core) echo 2 ;;
    wt) echo 4 ;;
    nt) echo 8 ;;
    *) return 1 ;;
  esac
}

level=000000c8 class=00000006 feature=00000001 mask=0000000f fail=
for arg in "$@"; do
  key=${arg%%=*}
  value=${arg#*=}
  [ "$key" != "$arg" ] || { echo "install-card: expected key=value: $arg" >&2; exit 2; }
  case "$key" in
    level) level=$(number "$value") || { echo "install-card: bad number: $arg" >&2; exit 2; } ;;
    class) class=$(number "$value") || { echo "install-card: bad number: $arg" >&2; exit 2; } ;;
    feature) feature=$(number "$value") || { echo "install-card: bad number: $arg" >&2; exit 2; } ;;
    devices)
      m=0
      case "$value" in
        all) m=15 ;;
        none) m=0 ;;
        *)
          IFS=, read -ra names <<< "$value"
          [ ${#names[@]} -gt 0 ] || { echo "install-card: bad devices: $arg" >&2; exit 2; }
          for n in "${names[@]}"; do
            b=$(device_bit "$n") || { echo "install-card: unknown device '$n' (wave, core, wt, nt)" >&2; exit 2; }
            m=$((m | b))
          done ;;
      esac
      mask=$(printf '%08x' "$m") ;;
    fail)
      # Rules: 8 bytes each, code then device mask, little-endian (same code twice merges).
      declare -A rules=()
      order=()
      if [ "$value" != "-" ] && [ "$value" != "none" ]; then
        IFS=, read -ra items <<< "$value"
        [ ${#items[@]} -gt 0 ] || { echo "install-card: bad fail list: $arg" >&2; exit 2; }
        for it in "${items[@]}"; do
          devs=15
          code=$it
          if [[ $it == *:* ]]; then
            devs=$(device_bit "${it%%:*}") || { echo "install-card: unknown device in '$it'" >&2; exit 2; }
            code=${it#*:}
          fi
          c=$(number "$code") || { echo "install-card: bad code '$it'" >&2; exit 2; }
          if [ -z "${rules[$c]:-}" ]; then order+=("$c"); rules[$c]=0; fi
          rules[$c]=$((rules[$c] | devs))
        done
      fi
      [ ${#order[@]} -le 16 ] || { echo "install-card: at most 16 failing codes" >&2; exit 2; }
      fail=
      le() { local h=$1; printf '%s,%s,%s,%s' "${h:6:2}" "${h:4:2}" "${h:2:2}" "${h:0:2}"; }
      for c in "${order[@]}"; do
        fail+="${fail:+,}$(le "$c"),$(le "$(printf '%08x' "${rules[$c]}")")"
      done ;;
    *) echo "install-card: unknown key '$key' (level, class, feature, devices, fail)" >&2; exit 2 ;;
  esac
done

# The driver image and its configuration are read when a session starts.
timeout 30 wineserver -k >/dev/null 2>&1 || true
timeout 60 wineserver -w >/dev/null 2>&1 || true

if [ "$files" = 1 ]; then
  sysdir="$WINEPREFIX/drive_c/windows/system32"
  mkdir -p "$sysdir/drivers"
  cp -f "$sys" "$sysdir/drivers/$ZEPHRA_CARD_SERVICE.sys"
  cp -f "$ctl" "$sysdir/cardctl.exe"
  [ -z "$vxd" ] || cp -f "$vxd" "$sysdir/$ZEPHRA_WAVE_VXD"
  cp -f "$drv" "$sysdir/$ZEPHRA_MIDI_DRIVER"
  cp -f "$bank" "$sysdir/orvanegm"
  # Wine loads "wine" + Audio + ".drv": ours, which passes wave audio on to Wine's own.
  zw_reg_text <<REG
[HKEY_CURRENT_USER\\Software\\Wine\\Drivers]
"Audio"="$ZEPHRA_WINE_AUDIO"
REG
fi

zw_reg_text <<REG
[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\$ZEPHRA_CARD_SERVICE]
"Type"=dword:00000001
"Start"=dword:00000002
"ErrorControl"=dword:00000001
"ImagePath"="\\\\SystemRoot\\\\System32\\\\drivers\\\\$ZEPHRA_CARD_SERVICE.sys"
"DisplayName"="Virtual Trivox card"
"DeviceMask"=dword:$mask
"PerformanceLevel"=dword:$level
"PerformanceClass"=dword:$class
"PerformanceFeature"=dword:$feature
"FailCodes"=hex:$fail
"EqBoardId"=-
"EqFlags"=-
"EqRefuse"=-
"EqInputCount"=-
"EqInputNames"=-
REG
timeout 60 wineserver -w >/dev/null 2>&1 || true
