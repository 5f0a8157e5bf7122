#!/usr/bin/env bash
# A program that leaks playing devices must exit cleanly, every time: runs exit_child RUNS
# times in the current prefix and fails on any status but 0 (139: the Wine process crashed
# at exit; 2: the devices could not be made). Without the exit guard about one 64-bit run in
# six crashed, so 20 runs there; 32-bit Wine never did, and 6 runs keep the guard honest.
#   card/trivox/tests/exit-test.sh WINDOWS_BUILD_DIR [RUNS]
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/../../../tools/wine-env.sh"
child=$(find "${1:?usage: exit-test.sh WINDOWS_BUILD_DIR [RUNS]}" -name trivox_exit_child.exe -print -quit)
[ -n "$child" ] || { echo "no trivox_exit_child.exe under $1"; exit 1; }
runs=${2:-$([ "$ZEPHRA_ARCH" = x86_64 ] && echo 20 || echo 6)}
bad=0
for i in $(seq 1 "$runs"); do
  timeout 120 wine "$child" >/dev/null 2>&1
  rc=$?
  [ "$rc" = 0 ] || { echo "run $i: exit status $rc"; bad=$((bad + 1)); }
done
echo "$runs runs, $bad with a bad exit status"
[ "$bad" = 0 ]
