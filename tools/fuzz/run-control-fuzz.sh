#!/usr/bin/env bash
# The control device's requests into the card (clang, AddressSanitizer + UBSan).
source "$(dirname "${BASH_SOURCE[0]}")/fuzz-common.sh"
zf_options control 15 "$@"
zf_build "$zf_root/tools/fuzz/control_fuzz.cpp" "$zf_root/card/core/CardCore.cpp" -- \
  "$zf_root/card/core/CardCore.h" "$zf_root/shared/names/Names.h"

# Seeds: each step is an operation byte and its record (the input's bytes, or a few patched).
printf '\x00\x01\x00\x00\x00\x00\x04\x01\x03\x01\x00\x10' | zf_seed config-then-log
printf '\x02\x01\x00\x00\x00\x00\x03\x00\x00\x00\x00\x00\x20' | zf_seed report-then-log
printf '\x01\x00\x03\x00\x00\x00\x01\x00\x00\x00\x02\x00\x00\x00' | zf_seed eq
printf '\x04\x01\x04\x00\x04\x01\x05\x01\x03\x01\x02\x40' | zf_seed requests-clear-log
zf_run
