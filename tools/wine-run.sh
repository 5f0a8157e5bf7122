#!/usr/bin/env bash
# Runs one Windows program under Wine in the current WINEPREFIX (CTest's emulator).
set -u
: "${WINEPREFIX:?WINEPREFIX must name the test prefix}"
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
export PATH="$here/winebin:$PATH" WINEARCH=${WINEARCH:-win32} WINEDEBUG=${WINEDEBUG:--all}
exec timeout "${ZW_TIMEOUT:-300}" "$here/winebin/wine" "$@"
