#!/usr/bin/env bash
# The synthesizer's MIDI libFuzzer target (clang, AddressSanitizer + UBSan); options in fuzz-common.sh.
source "$(dirname "${BASH_SOURCE[0]}")/fuzz-common.sh"
zf_options midi 15 "$@"
s=$zf_root/card/synth
# The AVX2 file is built here without -mavx2: the baseline loops twice over, which is what a fuzzer needs.
zf_build "$zf_root/tools/fuzz/midi_fuzz.cpp" "$s/Synth.cpp" "$s/Voice.cpp" "$s/VoiceKernels.cpp" "$s/VoiceKernelsAvx2.cpp" \
  "$s/Envelope.cpp" "$s/Effects.cpp" \
  "$s/Bank.cpp" -- "$s"/*.h

# Seeds: notes on every kind of instrument, controllers, bend, resets, renders between.
printf '\xc0\x01\x90\x3c\x64\xf4\x80\xb0\x01\x7f\xe0\x00\x7f\xf4\x80\x80\x3c\x00\xf4\xff' | zf_seed notes
printf '\xb0\x65\x00\xb0\x64\x00\xb0\x06\x18\x99\x24\x7f\x99\x24\x7f\xf4\x10\xb0\x40\x7f\xf4\x10' | zf_seed rpn-drums
printf '\xf0\x7e\x7f\x09\x01\xf7\xf0\x41\x10\x42\x12\x40\x00\x7f\x00\x41\xf7\xf0\x7f\x7f\x04\x01\x00\x40\xf7\xf4\x20' | zf_seed sysex
printf '\xf5\xc3\x90\x30\x7f\x91\x40\x7f\xf4\xff\xb0\x78\x00\xf6\xf4\xff\xf5\x40\x90\x50\x50\xf4\x00' | zf_seed settings
zf_run
