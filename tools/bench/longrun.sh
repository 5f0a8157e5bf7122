#!/usr/bin/env bash
# Long runs on demand (not in the test command): the control panel's sheet opened and closed
# through Alt+F12 CYCLES times, and TrivoxPlay playing both sources on "Clockwise" for
# MINUTES. Prints memory and handle figures at the start and the end of each, and the growth.
#   tools/bench/longrun.sh [--shape 9x|nt] [--prefix DIR] [--build DIR] [--cycles N]
#                          [--minutes M] [--no-install] [--panel-only|--player-only]
# Figures per program: handles (GetProcessHandleCount), working_set_kib (Windows side) and
# private_rss_kib (Private_Clean + Private_Dirty of the Wine process; Wine 8 reports the
# Windows PrivateUsage as 0). Growth above 5 % of handles or private memory is flagged.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
shape=${ZEPHRA_SHAPE:-9x}
prefix=
source "$root/tools/arch.sh"
build=${ZEPHRA_BUILD:-$root/build/win-${ZEPHRA_ARCH:-$(za_default_arch)}}
cycles=500
minutes=10
install=1
panel=1
player=1
while [ $# -gt 0 ]; do
  case "$1" in
    --shape) shape=$2; shift 2 ;;
    --prefix) prefix=$2; shift 2 ;;
    --build) build=$2; shift 2 ;;
    --cycles) cycles=$2; shift 2 ;;
    --minutes) minutes=$2; shift 2 ;;
    --no-install) install=0; shift ;;
    --panel-only) player=0; shift ;;
    --player-only) panel=0; shift ;;
    *) echo "unknown option $1" >&2; exit 2 ;;
  esac
done
prefix=${prefix:-$root/out/prefix-longrun-$shape}
tool=$build/tools/bench/zephra_longrun.exe
bench=$build/tools/bench/zephra_bench.exe
[ -f "$tool" ] && [ -f "$bench" ] || { echo "missing $tool or $bench (build the Windows tree first)" >&2; exit 1; }

source "$root/tools/wine-env.sh"
source "$root/shared/settings/keys.sh"
trap zw_cleanup EXIT
zw_display
zw_audio
[ "$install" = 1 ] && "$root/tools/install.sh" --prefix "$prefix" --shape "$shape" --build "$build" >/dev/null
export WINEPREFIX=$prefix
zw_session_start
ZW_TIMEOUT=$((minutes * 60 + 600))

# One line of figures for the program: "handles=.. working_set_kib=.. gdi=.. user=.. private_rss_kib=.."
figures() { echo "$(zw_wine "$tool" stats "$1" | tr -d '\r') private_rss_kib=$(zw_private_kib "$1" || echo 0)"; }
field() { sed -E "s/.*$2=([0-9]+).*/\1/" <<<"$1"; }
verdict=0
growth() {  # growth WHAT START END
  local name
  for name in handles private_rss_kib working_set_kib; do
    local a b
    a=$(field "$2" "$name"); b=$(field "$3" "$name")
    awk -v w="$1" -v n="$name" -v a="$a" -v b="$b" 'BEGIN {
      g = a > 0 ? 100.0 * (b - a) / a : 0
      flag = (n != "working_set_kib" && g > 5) ? "  OVER 5 %" : ""
      printf "%s %s: start %d end %d growth %+.1f %%%s\n", w, n, a, b, g, flag }'
    if [ "$name" != working_set_kib ] && [ "$b" -gt $((a + a / 20)) ]; then verdict=1; fi
  done
}

echo "long runs, shape $shape, $(wine --version 2>/dev/null)"
if [ "$panel" = 1 ]; then
  zw_reg_text <<REG
[HKEY_CURRENT_USER\\$catalogue_kUserPreferences]
"SysKeyEnable"=dword:00000001
"TaskBarIconEnable"=dword:00000001
REG
  zw_wine "$bench" end >/dev/null || true
  zw_wine "$bench" resident >/dev/null
  zw_wine "$tool" panel 1 >/dev/null
  echo "ZephraCtrl after its first opening: $(figures ZephraCtrl.exe)"
  # Wine's heaps and caches of the process fill over the first few dozen openings and then
  # stay: the start is taken after a warm-up of a tenth of the run, not counted in it.
  zw_wine "$tool" panel $((cycles / 10)) >/dev/null
  start=$(figures ZephraCtrl.exe)
  echo "ZephraCtrl after the warm-up: $start"
  t0=$(date +%s)
  # In five steps, so that a steady growth shows apart from a settling one.
  for step in 1 2 3 4 5; do
    zw_wine "$tool" panel $((cycles / 5)) | tr -d '\r' | grep -v ' cycles$' | grep -v 'failed=0' && verdict=1
    end=$(figures ZephraCtrl.exe)
    echo "ZephraCtrl after $((step * cycles / 5)) openings: $end"
  done
  echo "ZephraCtrl: $cycles openings through Alt+F12 in $(( $(date +%s) - t0 )) s"
  growth ZephraCtrl "$start" "$end"
  zw_wine "$bench" end >/dev/null || true
fi
if [ "$player" = 1 ]; then
  # Not through a pipe: the player inherits the output and would hold the pipe open.
  zw_wine "$tool" player-start > "$prefix/player-start.txt" || verdict=1
  tr -d '\r' < "$prefix/player-start.txt"
  # The first seconds fill the engine's buffers and caches: the start is taken after them.
  zw_wine "$tool" player-check >/dev/null || verdict=1
  start=$(figures TrivoxPlay.exe)
  sleep $((minutes * 60))  # the length of the run is what is measured
  end=$(figures TrivoxPlay.exe)
  zw_wine "$tool" player-check | tr -d '\r' || verdict=1
  echo "TrivoxPlay: both sources on Clockwise for $minutes min"
  growth TrivoxPlay "$start" "$end"
  zw_wine "$tool" player-end || verdict=1
fi
[ "$verdict" = 0 ] && echo "long runs: within 5 %" || echo "long runs: OVER 5 % or a run failed"
exit "$verdict"
