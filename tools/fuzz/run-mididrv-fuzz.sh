#!/usr/bin/env bash
# The MIDI driver's path from midiOutShortMsg/midiOutLongMsg bytes into the synthesizer's host
# (clang, AddressSanitizer + UBSan).
source "$(dirname "${BASH_SOURCE[0]}")/fuzz-common.sh"
zf_options mididrv 15 "$@"
s=$zf_root/card/synth
# The AVX2 file is built here without -mavx2: the baseline loops twice over.
zf_build "$zf_root/tools/fuzz/mididrv_fuzz.cpp" "$zf_root/card/mididrv/MidiCore.cpp" "$s/SynthHost.cpp" "$s/Synth.cpp" \
  "$s/Voice.cpp" "$s/VoiceKernels.cpp" "$s/VoiceKernelsAvx2.cpp" "$s/Envelope.cpp" "$s/Effects.cpp" "$s/Bank.cpp" -- "$s"/*.h "$zf_root/card/mididrv/MidiCore.h" \
  "$zf_root/card/trivox/render/handoff.h"

# Seeds: operation bytes (0 short, 1 long buffer, 2 a run of one byte, 3 render) and their bytes.
printf '\x00\x90\x3c\x64\x00\x3e\x64\x00\x03\x40\x01\x06\xf0\x7e\x7f\x09\x01\xf7\x03\x80' | zf_seed short-long
printf '\x02\x40\x11\xf0\x01\x02\xf7\x03\x10' | zf_seed long-sysex
printf '\x01\x08\xf0\x01\x90\x40\x40\xf7\xf8\xf7\x03\x20' | zf_seed cut-sysex
zf_run
