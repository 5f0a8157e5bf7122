#!/usr/bin/env bash
# The DLS reader's libFuzzer target (clang, AddressSanitizer + UBSan), seeded by the test-bank writer.
source "$(dirname "${BASH_SOURCE[0]}")/bank-fuzz.sh" dls "$@"
