#!/usr/bin/env bash
# The card's request decoder and configuration parsers as a libFuzzer target (clang,
# AddressSanitizer + UBSan); options in fuzz-common.sh.
source "$(dirname "${BASH_SOURCE[0]}")/fuzz-common.sh"
zf_options core 15 "$@"
zf_build "$zf_root/tools/fuzz/core_fuzz.cpp" "$zf_root/card/core/CardCore.cpp" \
  "$zf_root/card/core/CardText.cpp" -- "$zf_root/card/core/CardCore.h" "$zf_root/card/core/CardText.h"

# Seeds: an empty rule table and setting, the fail rule, then requests as the programs send
# them (selector, code index, shape, input).
hex() { printf "$(sed 's/\(..\)/\\x\1/g' <<<"$1")"; }
hex 0000 | zf_seed empty
# wt SetReverbAmount 4 bytes; core SetOutputMode 16 bytes; nt query with a 4-byte output
hex 0000'0500''02''02''08''7f000000''01''02''21''00000000000000000000ffff00000000''03''07''40' | zf_seed valid
# DownloadBank on wt with a 12-byte path ending in .sf2 and its zero
hex 0000'0a00''02''0a''18''433a5c782e73663200' | zf_seed bank
printf '\x00\x0blevel=0x1ff\x00\x00' | zf_seed setting
zf_run
