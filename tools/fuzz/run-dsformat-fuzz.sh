#!/usr/bin/env bash
# The Trivox object's buffer-format, size and lock rules (clang, AddressSanitizer + UBSan).
source "$(dirname "${BASH_SOURCE[0]}")/fuzz-common.sh"
zf_options dsformat 15 "$@"
zf_build "$zf_root/tools/fuzz/dsformat_fuzz.cpp" "$zf_root/card/trivox/dsound/ds_rules.cpp" -- \
  "$zf_root/card/trivox/dsound/ds_rules.h"

# Seeds: tag, channels, rate, bytes a second, block, bits, extra, valid bits, mask, subtype,
# buffer bytes, then locks (mode, offset, bytes, entire).
le16() { printf "\\x$(printf %02x $(($1 & 255)))\\x$(printf %02x $((($1 >> 8) & 255)))"; }
le32() { le16 $(($1 & 65535)); le16 $((($1 >> 16) & 65535)); }
fmt() { le16 "$1"; le16 "$2"; le32 "$3"; le32 $(($3 * $4)); le16 "$4"; le16 "$5"; le16 "$6"; le16 "$5"; le32 "$7"; le16 "$8"; le32 "$9"; }
{ fmt 1 2 44100 4 16 0 0 0 88200; printf '\x00'; le32 80000; le32 20000; printf '\x00'; } | zf_seed pcm16-stereo
{ fmt 1 1 22050 1 8 0 0 0 4097; printf '\x00'; le32 4000; le32 1000; printf '\x01'; } | zf_seed pcm8-mono
{ fmt 65534 6 48000 24 32 22 63 3 268435455; printf '\x00'; le32 1; le32 268435455; printf '\x00'; } | zf_seed float-5.1
{ fmt 65534 8 96000 24 24 22 1599 1 7; printf '\x01'; le32 4294967295; le32 1; printf '\x00'; } | zf_seed pcm24-7.1
zf_run
