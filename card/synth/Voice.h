// One sounding region of one note: sample playback with loops, two envelopes, two LFOs,
// a resonant low-pass filter, and the mix into the synthesizer's buses. The voice does its
// block-rate work and the interpolation; the filter and the mix run on a lane of a group
// of voices (VoiceKernels.h).
#pragma once

#include <cstdint>

#include "Bank.h"
#include "Envelope.h"
#include "SynthMath.h"
#include "VoiceKernels.h"

namespace zsynth {

// The channel's share of a voice's controls, fresh for every block.
struct VoiceControl {
  float pitchCents = 0.0f;    // bend and channel tuning
  float vibratoCents = 0.0f;  // modulation wheel depth on the vibrato LFO
  float gain = 1.0f;          // volume, expression, master volume
  float pan = 0.0f;           // -1..1, added to the region's
  float reverb = 0.0f;        // 0..1, added to the region's send, before the card's scaling
  float chorus = 0.0f;
  float reverbScale = 0.0f;   // the card's amounts, 0..1 (0 with effects off)
  float chorusScale = 0.0f;
};

class Voice {
 public:
  void start(const Region& region, const Bank& bank, uint8_t key, uint8_t velocity,
             uint32_t outRate, const VoiceControl& control);
  void release();
  // Steps the controls by `frames` (at most kBlock) and puts this block's samples, filter
  // and gains into `lane` of `group`; false once the voice has ended (this block still sounds).
  bool prepare(const VoiceControl& control, uint32_t frames, bool cubic, const VoiceKernels& kernels,
               LaneGroup& group, int lane);
  // Takes back the filter's state once the group has been rendered.
  void finish(const LaneGroup& group, int lane);
  // Ends the voice within one block, mixing its fade into `buses`; `group` and `lanes` are scratch.
  void fadeOut(Buses& buses, bool cubic, const VoiceKernels& kernels, LaneGroup& group, LaneBuses& lanes);

  bool releasing() const { return m_vol.stage() >= EnvelopeGen::kRelease; }
  float loudness() const { return m_gainL + m_gainR; }
  const Bank* bank() const { return m_bank; }
  const Region* region() const { return m_region; }

 private:
  void update(const VoiceControl& control, float seconds);
  void generate(float* out, uint32_t frames, bool cubic, const VoiceKernels& kernels);
  float sampleAt(uint64_t index) const;
  void toLane(LaneGroup& group, int lane, uint32_t frames);  // all but the samples

  const Region* m_region = nullptr;
  const Bank* m_bank = nullptr;
  const int16_t* m_pcm = nullptr;
  uint32_t m_rate = 44100;
  uint32_t m_start = 0, m_end = 0, m_loopStart = 0, m_loopEnd = 0;
  bool m_looping = false;
  bool m_ended = false;
  uint64_t m_phase = 0, m_inc = 0;  // 32.32 frames
  float m_pitchBase = 0.0f;  // log2 of the playback ratio before modulation
  float m_gainBase = 0.0f;   // attenuation and velocity as gain, with the sample scale
  EnvelopeGen m_vol, m_mod;
  float m_modLfoT = 0.0f, m_vibLfoT = 0.0f;  // seconds since the note began
  float m_pan = 2.0f, m_panL = 0.0f, m_panR = 0.0f;  // the last pan and its gains
  bool m_filterOn = false;
  float m_cutoffHz = -1.0f, m_q = -1.0f;  // what the coefficients were made for
  float m_halfOverQ = 0.0f;                // 1 / 2Q for m_q
  float m_cents = 0.0f;        // the modulation m_inc was made for
  float m_cutoffCents = 0.0f;  // and m_hz
  float m_hz = 0.0f;
  float m_b0 = 0, m_b1 = 0, m_b2 = 0, m_a1 = 0, m_a2 = 0, m_z1 = 0, m_z2 = 0;
  // Gains reached at the end of the last block, and the targets of this one.
  float m_gainL = 0, m_gainR = 0, m_gainRev = 0, m_gainCho = 0;
  float m_toL = 0, m_toR = 0, m_toRev = 0, m_toCho = 0;
};

}  // namespace zsynth
