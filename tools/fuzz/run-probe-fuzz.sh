#!/usr/bin/env bash
# The card's whole bank probe (clang, AddressSanitizer + UBSan), seeded by the test-bank writer
# with a head-size byte in front of each bank.
source "$(dirname "${BASH_SOURCE[0]}")/fuzz-common.sh"
zf_options probe 15 "$@"
core=$zf_root/card/core
zf_build "$zf_root/tools/fuzz/probe_fuzz.cpp" "$core/BankCost.cpp" "$core/BankProbe.cpp" -- \
  "$core/BankCost.h" "$core/BankProbe.h"

synth=$zf_root/card/synth
seeder=$zf_build_dir/bank_seeds
if [ ! -x "$seeder" ] || [ -n "$(find "$zf_root/tools/fuzz/bank_seeds.cpp" "$synth/TestBankWriter.cpp" "$synth/TestBankWriter.h" -newer "$seeder")" ]; then
  "${CXX_FUZZ:-clang++}" -std=c++17 -O1 -Wall -Wextra -Werror -I"$zf_root" "$zf_root/tools/fuzz/bank_seeds.cpp" \
    "$synth/TestBankWriter.cpp" -o "$seeder"
fi
mkdir -p "$zf_build_dir/banks"
for format in sf2 dls; do "$seeder" "$format" "$zf_build_dir/banks"; done
for bank in "$zf_build_dir"/banks/*; do
  for head in '\x00' '\x10' '\xff'; do
    { printf "$head"; cat "$bank"; } | zf_seed "$(basename "$bank")-$(printf "$head" | od -An -tx1 | tr -d ' ')"
  done
done
zf_run -dict="$zf_root/tools/fuzz/bank.dict"
