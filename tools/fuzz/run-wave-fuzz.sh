#!/usr/bin/env bash
# The wave reader's libFuzzer target (clang, AddressSanitizer + UBSan); options in fuzz-common.sh.
source "$(dirname "${BASH_SOURCE[0]}")/fuzz-common.sh"
zf_options wave 25 "$@"
zf_build "$zf_root/tools/fuzz/wave_fuzz.cpp" "$zf_root/shared/wave/WaveFile.cpp" -- "$zf_root/shared/wave/WaveFile.h" "$zf_root/tools/fuzz/FuzzInputFile.h"

# Seed corpus: a few well-formed files and the layouts the reader treats specially.
le16() { printf "\\x$(printf %02x $(($1 & 255)))\\x$(printf %02x $((($1 >> 8) & 255)))"; }
le32() { le16 $(($1 & 65535)); le16 $((($1 >> 16) & 65535)); }
fmt() { # size tag channels rate bits
  local align=$(($3 * $5 / 8))
  printf 'fmt '; le32 "$1"; le16 "$2"; le16 "$3"; le32 "$4"; le32 $(($4 * align)); le16 $align; le16 "$5"
  head -c $(($1 > 16 ? $1 - 16 : 0)) /dev/zero
}
data() { # declared held
  printf 'data'; le32 "$1"; head -c "$2" /dev/urandom
}
riff() { printf 'RIFF'; le32 "$1"; printf 'WAVE'; }
riff 100 | cat - <(fmt 16 1 1 44100 16) <(data 64 64) | zf_seed pcm16-mono
riff 100 | cat - <(fmt 16 1 2 22050 8) <(data 33 33) | zf_seed pcm8-stereo
riff 100 | cat - <(fmt 18 1 2 48000 16) <(data 40 40) | zf_seed fmt18
riff 100 | cat - <(fmt 17 1 1 8000 8) <(data 20 20) | zf_seed fmt17
riff 100 | cat - <(fmt 50 2 1 22050 4) <(data 64 64) | zf_seed adpcm
riff 100 | cat - <(fmt 16 1 1 11025 8) <(data 100 60) | zf_seed truncated
riff 100 | cat - <(fmt 16 1 1 11025 8) <(data 16 16) <(fmt 16 1 2 8000 8) <(data 8 8) | zf_seed two-pairs
{ printf 'RIFF'; le32 8; printf 'AVI '; head -c 8 /dev/zero; riff 60; fmt 16 1 1 8000 8; data 8 8; } | zf_seed foreign-first
riff 100 | cat - <(fmt 16 1 1 8000 8) <(printf 'LIST'; le32 4; printf 'INFO') <(data 8 8) | zf_seed list-before-data

export WAVE_FUZZ_TMP=$zf_build_dir/tmp
zf_run -dict="$zf_root/tools/fuzz/wave.dict"
