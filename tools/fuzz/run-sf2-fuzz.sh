#!/usr/bin/env bash
# The SF2 reader's libFuzzer target (clang, AddressSanitizer + UBSan), seeded by the test-bank writer.
source "$(dirname "${BASH_SOURCE[0]}")/bank-fuzz.sh" sf2 "$@"
