#!/usr/bin/env bash
# The INI rewriter's file steps with failing operations (clang, AddressSanitizer + UBSan).
source "$(dirname "${BASH_SOURCE[0]}")/fuzz-common.sh"
zf_options inirewrite 15 "$@"
zf_build "$zf_root/tools/fuzz/inirewrite_fuzz.cpp" "$zf_root/controlpanel/pages/IniFile.cpp" -- \
  "$zf_root/controlpanel/pages/IniFile.h" "$zf_root/tools/fuzz/ini_take.h"

# Seeds: mode (bit 0 add, bit 1 file exists), three bytes of failing steps, then section,
# key and value (a length byte each) and the file's content.
n=0
seed() { n=$((n + 1)); { printf "$1"; printf '\x06Rename\x03NUL\x08C:\\a.dls'; printf "$2"; } | zf_seed "seed-$n"; }
seed '\x03\x00\x00\x00' '[boot]\r\n[rename]\r\nNUL=C:\\b.dls\r\n'
seed '\x02\x00\x00\x00' '[Rename]\r\nNUL=C:\\a.dls\r\n'
seed '\x03\x20\x00\x00' '[Rename]\r\n'
seed '\x03\x40\x00\x00' ''
seed '\x01\x00\x00\x00' ''
zf_run
