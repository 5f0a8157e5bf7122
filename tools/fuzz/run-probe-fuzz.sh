#!/usr/bin/env bash
# The card's whole bank probe (clang, AddressSanitizer + UBSan), seeded by the test-bank writer
# with a head-size byte in front of each bank.
source "$(dirname "${BASH_SOURCE[0]}")/fuzz-common.sh"
zf_options probe 15 "$@"
core=$zf_root/card/core
zf_build "$zf_root/tools/fuzz/probe_fuzz.cpp" "$core/BankCost.cpp" "$core/BankProbe.cpp" -- \
  "$core/BankCost.h" "$core/BankProbe.h"

zf_bank_seeder || exit 1
# Each format in a folder of its own: the writer gives both the same file names.
for format in sf2 dls; do
  mkdir -p "$zf_build_dir/banks/$format"
  "$zf_seeder" "$format" "$zf_build_dir/banks/$format"
done
for bank in "$zf_build_dir"/banks/*/*; do
  for head in '\x00' '\x10' '\xff'; do
    { printf "$head"; cat "$bank"; } | zf_seed "$(basename "$(dirname "$bank")")-$(basename "$bank")-$(printf "$head" | od -An -tx1 | tr -d ' ')"
  done
done
zf_run -dict="$zf_root/tools/fuzz/bank.dict"
