// First cut: serialised by one lock; the lock-free hand-over comes with the voices.
#include "SynthHost.h"

#include <mutex>

namespace zsynth {

struct SynthHost::Impl {
  explicit Impl(uint32_t rate) : synth(rate) {}
  mutable std::mutex lock;
  Synth synth;
  SynthSettings settings;
};

SynthHost::SynthHost(uint32_t sampleRate) : m_impl(new Impl(sampleRate)) {}
SynthHost::~SynthHost() = default;

bool SynthHost::postShort(uint32_t packed) {
  std::lock_guard<std::mutex> g(m_impl->lock);
  m_impl->synth.shortMessage(packed);
  return true;
}
bool SynthHost::postSysEx(const uint8_t* data, size_t size) {
  std::lock_guard<std::mutex> g(m_impl->lock);
  m_impl->synth.sysEx(data, size);
  return true;
}
bool SynthHost::postReset() {
  std::lock_guard<std::mutex> g(m_impl->lock);
  m_impl->synth.reset();
  return true;
}
void SynthHost::setSettings(const SynthSettings& settings) {
  std::lock_guard<std::mutex> g(m_impl->lock);
  m_impl->settings = settings;
  m_impl->synth.setSettings(settings);
}
void SynthHost::setBank(std::shared_ptr<const Bank> bank) {
  std::lock_guard<std::mutex> g(m_impl->lock);
  m_impl->synth.setBank(std::move(bank));
}
void SynthHost::render(float* out, uint32_t frames) {
  std::lock_guard<std::mutex> g(m_impl->lock);
  m_impl->synth.render(out, frames);
}
SynthStatus SynthHost::status() const {
  std::lock_guard<std::mutex> g(m_impl->lock);
  return m_impl->synth.status();
}
SynthSettings SynthHost::settingsInUse() const {
  std::lock_guard<std::mutex> g(m_impl->lock);
  return m_impl->settings;
}

}  // namespace zsynth
