#!/usr/bin/env bash
# Runs Wine 8.0's own DirectSound tests (dsound.c, ds3d.c from Debian's source
# package) against the platform's DirectSound and against the Trivox object,
# and prints per file: executed, failures, skipped, crash. Optional and slow:
# not part of CI. Wine's files are fetched into the work folder, patched
# there, and never enter the repository. Fails when a program crashes, at exit too.
#   card/trivox/tests/peer-suite.sh [WINDOWS_BUILD_DIR] [SHAPE]
# ZEPHRA_ARCH (i686 or x86_64; default what the machine runs, i686 first) picks the build.
# PEER_DIR (work folder, default build/peer-suite) and PEER_WINE_SRC (an
# unpacked wine-8.0 tree, fetched into PEER_DIR when not given) may be set.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../../.." && pwd)
source "$root/tools/wine-env.sh"
build=$(cd "${1:-$root/build/win-$ZEPHRA_ARCH}" && pwd) || exit 1
shape=${2:-nt}
work=${PEER_DIR:-$root/build/peer-suite}/$ZEPHRA_ARCH
mkdir -p "$work"
work=$(cd "$work" && pwd)
src=${PEER_WINE_SRC:-$work/../wine-8.0}
files=(dsound ds3d)

fetch() {
  [ -f "$src/dlls/dsound/tests/dsound.c" ] && [ -f "$src/include/wine/debug.h" ] && return 0
  local apt=$work/apt
  mkdir -p "$apt/lists/partial" "$apt/parts" "$apt/dl"
  cat > "$apt/parts/debian-src.sources" <<SRC
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
  local opts=(-o Dir::Etc::SourceList=/dev/null -o Dir::Etc::SourceParts="$apt/parts" -o Dir::State::Lists="$apt/lists")
  apt-get "${opts[@]}" update >"$apt/update.log" 2>&1 || { echo "peer-suite: apt-get update failed ($apt/update.log)" >&2; return 1; }
  (cd "$apt/dl" && apt-get "${opts[@]}" source --download-only wine=8.0~repack-4) >"$apt/source.log" 2>&1 ||
    { echo "peer-suite: source download failed ($apt/source.log)" >&2; return 1; }
  mkdir -p "$(dirname "$src")"
  tar -xJf "$apt/dl/wine_8.0~repack.orig.tar.xz" -C "$(dirname "$src")" \
    --wildcards '*/dlls/dsound/tests/*' '*/include/wine/test.h' '*/include/wine/debug.h' || return 1
  [ -f "$src/dlls/dsound/tests/dsound.c" ] || { echo "peer-suite: no dsound.c under $src" >&2; return 1; }
}

# The class id's initializer, in C, from the numbers in Names.h.
trivox_clsid() {
  tr '\n' ' ' < "$root/shared/names/Names.h" |
    sed -E 's/.*kTrivoxDeviceClsid = (\{[^;]*\});.*/\1/'
}

# Copies of the test files with the tests of interfaces the object does not
# offer left out (notifications, duplicated buffers), and a test list.
prepare() {
  local t=$src/dlls/dsound/tests f
  mkdir -p "$work/src/wine" "$work/bin"
  cp "$src/include/wine/test.h" "$src/include/wine/debug.h" "$work/src/wine/"
  cp "$t/dsound_test.h" "$work/src/"
  # The property set tests release what the query did not give when it is not offered.
  sed -E 's/^(\s*)IKsPropertySet_Release\(propset\);/\1if (propset) IKsPropertySet_Release(propset);/' "$t/ds3d.c" > "$work/src/ds3d.c"
  sed -E '/^\s*test_(duplicate|notifications)\(lpGuid\);/d' "$t/dsound.c" > "$work/src/dsound.c"
  printf '#include <windows.h>\n#define STANDALONE\n#include "wine/test.h"\n%s\n%s\n%s\n' \
    'extern void func_dsound(void);' 'extern void func_ds3d(void);' \
    'const struct test winetest_testlist[] = { { "dsound", func_dsound }, { "ds3d", func_ds3d }, { 0, 0 } };' \
    > "$work/src/testlist.c"
}

# One program holds both files (dsound.c uses ds3d.c's helpers), as in
# Wine's own build; its argument names the file to run.
compile() {
  local out=$1
  shift
  "$ZEPHRA_ARCH-w64-mingw32-gcc-posix" -O1 -w -static -DCOBJMACROS -I"$work/src" "$@" -o "$out" "$work/src/dsound.c" \
    "$work/src/ds3d.c" "$work/src/testlist.c" "$here/peer/support.c" \
    -ldsound -lole32 -loleaut32 -luuid -ldxguid -lksuser -lwinmm -luser32 -lm
}

build_all() {
  local clsid
  clsid=$(trivox_clsid)
  [[ $clsid == \{0x* ]] || { echo "peer-suite: no class id in Names.h" >&2; return 1; }
  compile "$work/bin/wine-tests.exe" || return 1
  compile "$work/bin/trivox-tests.exe" -include "$here/peer/trivox-shim.h" "-DPEER_TRIVOX_CLSID=$clsid" || return 1
}

# One row: file, engine, then the counts from the closing summary line. A program that
# ended by a signal, or whose exit status is not its failure count, crashed (at exit,
# when its summary line is there).
report() {
  local f=$1 engine=$2 log=$3 rc=$4 line crash=no
  line=$(grep -E "^([0-9a-f]+:)?$f: [0-9]+ tests executed" "$log" | tail -1)
  if [ -z "$line" ] || grep -q 'unhandled exception' "$log"; then
    crash="yes (exit $rc)"
  elif [ "$rc" -ge 128 ] || [ "$rc" -ne "$(sed -E 's/.* ([0-9]+) failures.*/\1/' <<<"$line")" ]; then
    crash="yes, at exit (exit $rc)"
  fi
  local exe=- fail=- skip=-
  if [ -n "$line" ]; then
    exe=$(sed -E 's/.* ([0-9]+) tests executed.*/\1/' <<<"$line")
    fail=$(sed -E 's/.* ([0-9]+) failures.*/\1/' <<<"$line")
    skip=$(sed -E 's/.* ([0-9]+) skipped.*/\1/' <<<"$line")
  else
    exe="$(grep -c ': Test \(failed\|succeeded\)' "$log") seen"
    fail=$(grep -c ': Test failed' "$log")
  fi
  printf '%-7s %-7s %10s %9s %8s  %s\n' "$f" "$engine" "$exe" "$fail" "$skip" "$crash"
}

run_all() {
  trap zw_cleanup EXIT
  zw_display || return 1
  zw_audio || return 1
  zw_prefix "$work/prefix-$shape" "$shape" || return 1
  "$root/card/trivox/install-trivox.sh" "$build" >/dev/null || return 1
  zw_session_start
  local f engine rc rows=()
  for f in "${files[@]}"; do
    for engine in wine trivox; do
      (cd "$work/bin" && ZW_TIMEOUT=${PEER_TIMEOUT:-900} zw_wine "$engine-tests.exe" "$f") > "$work/$engine-$f.log" 2>&1
      rc=$?
      rows+=("$(report "$f" "$engine" "$work/$engine-$f.log" "$rc")")
    done
  done
  echo
  printf '%-7s %-7s %10s %9s %8s  %s\n' file engine executed failures skipped crash
  printf '%s\n' "${rows[@]}"
  for f in "${files[@]}"; do
    echo
    echo "Trivox failures in $f.c, by line (count line):"
    grep -oE "^$f\.c:[0-9]+: Test failed" "$work/trivox-$f.log" | sed -E 's/: Test failed//' |
      sort | uniq -c | sort -k1,1nr -k2,2V
  done
  echo
  echo "logs: $work/{wine,trivox}-{dsound,ds3d}.log"
  if printf '%s\n' "${rows[@]}" | grep -q ' yes'; then
    echo "peer-suite: a program crashed" >&2
    return 1
  fi
}

fetch || exit 1
prepare || exit 1
build_all || exit 1
run_all
