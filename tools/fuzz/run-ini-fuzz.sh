#!/usr/bin/env bash
# The INI rewriter's libFuzzer target (clang, AddressSanitizer + UBSan); options in fuzz-common.sh.
source "$(dirname "${BASH_SOURCE[0]}")/fuzz-common.sh"
zf_options ini 15 "$@"
zf_build "$zf_root/tools/fuzz/ini_fuzz.cpp" "$zf_root/controlpanel/pages/IniFile.cpp" -- \
  "$zf_root/controlpanel/pages/IniFile.h" "$zf_root/tools/fuzz/ini_take.h"

# Seeds: three length bytes (section, key, value), their texts, then the file's content.
seed() { local s=$1 k=$2 v=$3; shift 3; { printf "\\x$(printf %02x ${#s})$s\\x$(printf %02x ${#k})$k\\x$(printf %02x ${#v})$v"; printf "$@"; } | zf_seed "$s-$k-$RANDOM"; }
seed Rename NUL 'C:\\a.dls' '[boot]\r\nx=1\r\n[rename]\r\nNUL=b\r\n'
seed Rename NUL 'C:\\b.dls' ''
seed Rename NUL 'C:\\c.dls' '\r\n'
seed Rename NUL 'C:\\d.dls' '[Rename]'
seed boot shell 'x' 'plain\nlines\n[BOOT] tail\n[boot]\n'
{ printf '\x06Rename\x03NUL\x01x'; head -c 650 /dev/zero | tr '\0' a; printf '[Rename]\r\n'; } | zf_seed long-line
zf_run
