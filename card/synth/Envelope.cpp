#include "Envelope.h"

#include <cmath>

#include "SynthMath.h"

namespace zsynth {

namespace {
float KeyScaled(float seconds, float timecentsPerKey, uint8_t key) {
  return timecentsPerKey == 0.0f ? seconds : seconds * std::exp2(timecentsPerKey * (60 - key) / 1200.0f);
}
float NonNegative(float v) { return v > 0.0f ? v : 0.0f; }  // also turns NaN into 0
}  // namespace

void EnvelopeGen::start(const Envelope& e, uint8_t key, bool volume) {
  m_volume = volume;
  m_delay = NonNegative(e.delay);
  m_attack = NonNegative(e.attack);
  m_hold = NonNegative(KeyScaled(e.hold, e.keyToHold, key));
  m_decay = NonNegative(KeyScaled(e.decay, e.keyToDecay, key));
  m_release = NonNegative(e.release);
  m_sustain = Clamp(e.sustain, 0.0f, 1.0f);
  m_sustainDb = Clamp(-GainToDb(m_sustain), 0.0f, kSilentDb);
  m_stage = kDelay;
  m_t = 0.0f;
  m_level = 0.0f;
  advance(0.0f);
}

void EnvelopeGen::release() {
  if (m_stage >= kRelease) return;
  m_releaseFrom = m_volume ? Clamp(-GainToDb(m_level), 0.0f, kSilentDb) : m_level;
  m_stage = kRelease;
  m_t = 0.0f;
  advance(0.0f);
}

float EnvelopeGen::duration() const {
  switch (m_stage) {
    case kDelay: return m_delay;
    case kAttack: return m_attack;
    case kHold: return m_hold;
    case kDecay: return m_decay;
    case kRelease:
      return m_volume ? m_release * (kSilentDb - m_releaseFrom) / kSilentDb : m_release * m_releaseFrom;
    default: return 0.0f;
  }
}

float EnvelopeGen::levelAt(float t) const {
  switch (m_stage) {
    case kDelay: return 0.0f;
    case kAttack: return m_attack > 0.0f ? t / m_attack : 1.0f;
    case kHold: return 1.0f;
    case kDecay: {
      const float f = m_decay > 0.0f ? t / m_decay : 1.0f;
      return m_volume ? DbToGain(-f * m_sustainDb) : 1.0f - (1.0f - m_sustain) * f;
    }
    case kSustain: return m_sustain;
    case kRelease:
      if (m_release <= 0.0f) return 0.0f;
      return m_volume ? DbToGain(-(m_releaseFrom + t / m_release * kSilentDb)) : m_releaseFrom - t / m_release;
    default: return 0.0f;
  }
}

float EnvelopeGen::advance(float seconds) {
  while (m_stage != kSustain && m_stage != kDone) {
    const float left = duration() - m_t;
    if (seconds < left) break;
    seconds -= left > 0.0f ? left : 0.0f;
    m_t = 0.0f;
    if (m_stage == kRelease) {
      m_stage = kDone;
    } else {
      m_stage = static_cast<Stage>(m_stage + 1);
      // A sustain level at silence ends the note where the decay arrives.
      if (m_stage == kSustain && m_volume && m_sustainDb >= kSilentDb) m_stage = kDone;
    }
  }
  if (m_stage != kSustain && m_stage != kDone) m_t += seconds;
  m_level = levelAt(m_t);
  return m_level;
}

}  // namespace zsynth
