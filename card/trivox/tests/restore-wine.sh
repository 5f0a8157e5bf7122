#!/usr/bin/env bash
# CTest fixture cleanup of the Trivox Wine tests: the splash values as they
# were before prepare-wine.sh switched the splash off.
#   restore-wine.sh WINDOWS_BUILD_DIR
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/../../../tools/wine-env.sh"
source "$here/../../../shared/settings/keys.sh"
saved=$1/trivox-splash-saved.reg
for v in SplashAudio SplashScreen; do
  zw_wine reg delete "HKLM\\$catalogue_kTrivoxShared" /v "$v" /f >/dev/null 2>&1
done
if [ -f "$saved" ]; then
  zw_reg_import "$saved"
  rm -f "$saved"
fi
echo "splash values restored in $WINEPREFIX"
