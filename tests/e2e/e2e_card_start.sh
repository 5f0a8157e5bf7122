#!/usr/bin/env bash
# The card at its power-on: for each stage, the test stores the settings, Wine starts afresh
# (the card's driver starts with the session), and the test then listens with the null sink
# recorded. A last run takes the stored values away again, and Wine starts afresh once more.
#   e2e_card_start.sh TEST.exe
set -u
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
exe=$1
: "${WINEPREFIX:?WINEPREFIX must name the test prefix}"
source "$root/tools/wine-env.sh"

restart() {
  zw_session_end
  zw_session_start
}
rc=0
for stage in Headphones Speakers Speed; do
  ZEPHRA_START_STAGE=$stage "$root/tools/wine-run.sh" "$exe" --gtest_filter='Stored.Settings' || rc=1
  restart
  ZEPHRA_START_STAGE=$stage "$root/tests/e2e/e2e_capture.sh" "$exe" --gtest_filter="CardStart.$stage*" || rc=1
done
ZEPHRA_START_STAGE=None "$root/tools/wine-run.sh" "$exe" --gtest_filter='Stored.Settings' || rc=1
restart
exit $rc
