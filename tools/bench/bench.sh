#!/usr/bin/env bash
# Start-up bench of the control panel under a warm Wine session; prints figures only.
#   tools/bench/bench.sh [--shape 9x|nt] [--prefix DIR] [--build DIR] [--runs N] [--no-install]
# Figures, each the median of N runs (default 7):
#   start_to_window_ms   CreateProcess of ZephraCtrl.exe until its hidden window is found
#   show_to_sheet_ms     posting WM_SHOW_PROPSHEET to that window until the sheet is visible
#   private_usage_kib    PrivateUsage of the resident copy (Windows side), sheet closed; Wine 8
#                        fills it from the process's swap use, so it reads 0 there
#   working_set_kib      WorkingSetSize of the same (Windows side)
#   private_rss_kib      Private_Clean + Private_Dirty of the Wine process running it (Linux side)
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
shape=${ZEPHRA_SHAPE:-9x}
prefix=
source "$root/tools/arch.sh"
build=${ZEPHRA_BUILD:-$root/build/win-${ZEPHRA_ARCH:-$(za_default_arch)}}
runs=7
install=1
while [ $# -gt 0 ]; do
  case "$1" in
    --shape) shape=$2; shift 2 ;;
    --prefix) prefix=$2; shift 2 ;;
    --build) build=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    --no-install) install=0; shift ;;
    *) echo "unknown option $1" >&2; exit 2 ;;
  esac
done
prefix=${prefix:-$root/out/prefix-bench-$shape}
bench_exe=$build/tools/bench/zephra_bench.exe
[ -f "$bench_exe" ] || { echo "missing $bench_exe (build the Windows tree first)" >&2; exit 1; }

source "$root/tools/wine-env.sh"
trap zw_cleanup EXIT
zw_display
zw_audio
if [ "$install" = 1 ]; then
  "$root/tools/install.sh" --prefix "$prefix" --shape "$shape" --build "$build" >/dev/null
fi
export WINEPREFIX=$prefix
zw_session_start
ZW_TIMEOUT=60

# Warm-up: one start and end, not counted.
zw_wine "$bench_exe" 1 >/dev/null

echo "ZephraCtrl start-up bench, shape $shape, $runs runs, $(wine --version 2>/dev/null)"
zw_wine "$bench_exe" "$runs"

# The Linux side of the resident copy: its Wine process's private pages.
values=()
for _ in $(seq 1 "$runs"); do
  zw_wine "$bench_exe" resident >/dev/null
  if v=$(zw_private_kib ZephraCtrl.exe); then values+=("$v"); fi
  zw_wine "$bench_exe" end >/dev/null
done
if [ "${#values[@]}" -gt 0 ]; then
  median=$(printf '%s\n' "${values[@]}" | sort -n | awk '{ a[NR] = $1 } END { print (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2 }')
  echo "linux side: private_rss_kib per run: ${values[*]}"
  echo "median of ${#values[@]}: private_rss_kib=$median"
else
  echo "linux side: the Wine process of ZephraCtrl.exe was not found" >&2
fi
