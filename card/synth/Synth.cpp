// First cut: the interface in place, silent; the voices come next.
#include "Synth.h"

#include <algorithm>

namespace zsynth {

struct Synth::Impl {
  uint32_t rate;
  std::shared_ptr<const Bank> bank;
  SynthSettings settings;
};

Synth::Synth(uint32_t sampleRate) : m_impl(new Impl{sampleRate, nullptr, {}}) {}
Synth::~Synth() = default;
void Synth::setBank(std::shared_ptr<const Bank> bank) { m_impl->bank = std::move(bank); }
bool Synth::usesBank(const Bank* bank) const { return m_impl->bank.get() == bank; }
void Synth::setSettings(const SynthSettings& settings) { m_impl->settings = settings; }
void Synth::shortMessage(uint32_t) {}
void Synth::sysEx(const uint8_t*, size_t) {}
void Synth::reset() {}
void Synth::render(float* out, uint32_t frames) { std::fill(out, out + 2 * frames, 0.0f); }
SynthStatus Synth::status() const {
  SynthStatus s;
  s.maxVoices = m_impl->settings.mode == 2 ? 32 : 64;
  return s;
}

}  // namespace zsynth
