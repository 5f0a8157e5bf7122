#!/usr/bin/env bash
# The MIDI loopback ring in shared memory, with other processes meddling (clang, ASan + UBSan).
source "$(dirname "${BASH_SOURCE[0]}")/fuzz-common.sh"
zf_options loopring 15 "$@"
zf_build "$zf_root/tools/fuzz/loopring_fuzz.cpp" "$zf_root/card/mididrv/MidiCore.cpp" -- "$zf_root/card/mididrv/MidiCore.h"

# Seeds: operation bytes (0 write, 1 read, 2 counters, 3 data, 4 drain, 5 drop) and their bytes.
printf '\x00\x04\x00abcdefghijklmnop\x01\x00\x00\x00\xf9\x01\x04\x00\x05' | zf_seed write-read
printf '\x00\xff\x10%0300d\x07\x00\x00\x00\x01\x40\x00\x04' 0 | zf_seed long-record
printf '\x00\x02\x00abcdefgh\x01\x00\x00\x00\x1a\x00\x00\x00\x80\x04\x00\x01\x00\x00\x00\xf9' | zf_seed hostile-head
printf '\x03\x10\x00\x00\x00\x01\x00\x03\x00abcdefghijkl\x02\x00\x00\x00\xf9\x04' | zf_seed hostile-data
zf_run
