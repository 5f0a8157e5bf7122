#!/usr/bin/env bash
# The measured-HRTF loader as a libFuzzer target (clang, AddressSanitizer + UBSan); options
# in fuzz-common.sh.
source "$(dirname "${BASH_SOURCE[0]}")/fuzz-common.sh"
zf_options hrtf 15 "$@"
zf_build "$zf_root/tools/fuzz/hrtf_fuzz.cpp" "$zf_root/card/trivox/render/hrtf.cpp" \
  -- "$zf_root/card/trivox/render/hrtf.h" "$zf_root/tools/fuzz/FuzzInputFile.h"

le16() { printf "\\x$(printf %02x $(($1 & 255)))\\x$(printf %02x $((($1 >> 8) & 255)))"; }
le32() { le16 $(($1 & 65535)); le16 $((($1 >> 16) & 65535)); }
# header RATE SAMPLETYPE TAPS FIELDS
header() { printf 'MinPHR02'; le32 "$1"; printf "\\x$(printf %02x "$2")\\x00\\x$(printf %02x "$3")\\x$(printf %02x "$4")"; }
# field DISTANCE AZCOUNT...
field() { le16 "$1"; shift; printf "\\x$(printf %02x $#)"; for n in "$@"; do printf "\\x$(printf %02x "$n")"; done; }
# Five elevations of 1, 2, 2, 2, 1 azimuths: 8 filters.
{ header 48000 0 8 1; field 1000 1 2 2 2 1; head -c $((8 * 8 * 2)) /dev/urandom; head -c 8 /dev/zero; } | zf_seed small16
{ header 44100 1 8 1; field 1000 1 2 2 2 1; head -c $((8 * 8 * 3)) /dev/urandom; printf '\x01\x02\x03\x04\x05\x06\x07\x08'; } | zf_seed small24
{ header 48000 0 8 2; field 500 1 2 2 2 1; field 1500 1 2 2 2 1;
  head -c $((16 * 8 * 2)) /dev/urandom; head -c 16 /dev/zero; } | zf_seed two-fields
{ header 48000 0 8 1; field 1000 1 2 2 2 1; head -c 40 /dev/urandom; } | zf_seed truncated
# The measured set the engine ships with, cut to a size the fuzzer can mutate.
if [ -r /usr/share/openal/hrtf/default-44100.mhr ]; then
  head -c 4096 /usr/share/openal/hrtf/default-44100.mhr | zf_seed openal-head
fi

export HRTF_FUZZ_TMP=$zf_build_dir/tmp
zf_run
