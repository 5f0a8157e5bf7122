// One MIDI channel's controllers, and what they mean to its voices.
#pragma once

#include <cstdint>

#include "Voice.h"

namespace zsynth {

struct Channel {
  bool drum = false;
  uint8_t program = 0, bankMsb = 0, bankLsb = 0;
  uint8_t nextMsb = 0, nextLsb = 0;  // bank select waits for the program change
  uint8_t volume = 100, expression = 127, pan = 64, modulation = 0;
  uint8_t reverb = 40, chorus = 0;
  bool sustain = false;
  uint16_t bend = 8192;
  uint8_t rpnMsb = 127, rpnLsb = 127;  // 127/127: none selected
  uint16_t bendRange = 2 << 7;         // semitones << 7 | cents
  uint16_t fineTune = 8192, coarseTune = 64 << 7;

  // Everything a GM or GS reset sets, for the channel numbered `index`.
  void resetAll(int index) {
    *this = Channel();
    drum = index == 9;
  }
  // Reset all controllers: the ones the MIDI recommended practice names, no others.
  void resetControllers() {
    expression = 127;
    modulation = 0;
    sustain = false;
    bend = 8192;
    rpnMsb = rpnLsb = 127;
  }

  VoiceControl control(float masterGain) const {
    VoiceControl c;
    const float range = (bendRange >> 7) * 100.0f + (bendRange & 127);
    c.pitchCents = (bend - 8192) / 8192.0f * range + (fineTune - 8192) / 8192.0f * 100.0f +
                   ((coarseTune >> 7) - 64) * 100.0f;
    c.vibratoCents = modulation * (50.0f / 127.0f);
    c.gain = ControllerGain(volume) * ControllerGain(expression) * masterGain;
    c.pan = pan < 64 ? (pan - 64) / 64.0f : (pan - 64) / 63.0f;
    c.reverb = reverb / 127.0f;
    c.chorus = chorus / 127.0f;
    return c;
  }
};

}  // namespace zsynth
