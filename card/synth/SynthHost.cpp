#include "SynthHost.h"

#include <atomic>
#include <cstring>
#include <mutex>

#include "../trivox/render/handoff.h"

namespace zsynth {

namespace {
constexpr uint32_t kRingBytes = 1u << 16;  // a power of two
constexpr size_t kMaxSysEx = 2048;
constexpr int kBankSlots = 8;
enum : uint8_t { kShort = 1, kSysEx = 2, kReset = 3, kBank = 4 };

struct Header {
  uint8_t type;
  uint8_t slot;
  uint16_t size;
};

uint32_t PackSettings(const SynthSettings& s) {
  return (s.effects ? 1u : 0u) | s.reverb << 1 | s.chorus << 8 | s.mode << 15;
}
SynthSettings UnpackSettings(uint32_t v) {
  SynthSettings s;
  s.effects = v & 1;
  s.reverb = (v >> 1) & 127;
  s.chorus = (v >> 8) & 127;
  s.mode = (v >> 15) & 3;
  return s;
}
}  // namespace

struct SynthHost::Impl {
  explicit Impl(uint32_t rate) : synth(rate) {}

  Synth synth;
  // The ring: producers hold `lock`; the render thread alone moves `tail`.
  std::mutex lock;
  uint8_t ring[kRingBytes];
  std::atomic<uint32_t> head{0}, tail{0};
  uint8_t scratch[kMaxSysEx];  // the render thread's copy of one SysEx
  trivox::Handoff<SynthSettings> settings;

  // Banks handed over, owned here so the render thread never drops the last reference.
  struct BankSlot {
    bool used = false;
    uint32_t sentAt = 0;  // ring position just past its message
    std::shared_ptr<const Bank> bank;
  } banks[kBankSlots];
  bool hasWaiting = false;  // a bank for which no slot or no ring space was free yet
  std::shared_ptr<const Bank> waiting;
  uint32_t known = 0;             // the render thread's: slots it has been given
  std::atomic<uint32_t> live{0};  // slots whose bank the synthesizer may still play

  std::atomic<uint32_t> activeVoices{0}, peakVoices{0}, maxVoices{64};
  std::atomic<uint32_t> inUse{PackSettings(SynthSettings())};

  bool post(uint8_t type, uint8_t slot, const void* payload, size_t size);
  void write(uint32_t at, const void* data, size_t size);
  void read(uint32_t at, void* data, size_t size) const;
  uint32_t drain();  // returns the ring position reached
  void collect();
  bool sendBank(std::shared_ptr<const Bank> bank);
};

void SynthHost::Impl::write(uint32_t at, const void* data, size_t size) {
  const uint32_t pos = at & (kRingBytes - 1);
  const size_t first = std::min<size_t>(size, kRingBytes - pos);
  std::memcpy(ring + pos, data, first);
  std::memcpy(ring, static_cast<const uint8_t*>(data) + first, size - first);
}

void SynthHost::Impl::read(uint32_t at, void* data, size_t size) const {
  const uint32_t pos = at & (kRingBytes - 1);
  const size_t first = std::min<size_t>(size, kRingBytes - pos);
  std::memcpy(data, ring + pos, first);
  std::memcpy(static_cast<uint8_t*>(data) + first, ring, size - first);
}

// Called with `lock` held.
bool SynthHost::Impl::post(uint8_t type, uint8_t slot, const void* payload, size_t size) {
  const uint32_t h = head.load(std::memory_order_relaxed);
  const uint32_t used = h - tail.load(std::memory_order_acquire);
  if (sizeof(Header) + size > kRingBytes - used) return false;
  const Header hd{type, slot, static_cast<uint16_t>(size)};
  write(h, &hd, sizeof hd);
  if (size) write(h + sizeof hd, payload, size);
  head.store(h + static_cast<uint32_t>(sizeof hd + size), std::memory_order_release);
  return true;
}

uint32_t SynthHost::Impl::drain() {
  uint32_t t = tail.load(std::memory_order_relaxed);
  const uint32_t h = head.load(std::memory_order_acquire);
  while (t != h) {
    Header hd;
    read(t, &hd, sizeof hd);
    t += sizeof hd;
    if (hd.type == kShort) {
      uint32_t packed;
      read(t, &packed, sizeof packed);
      synth.shortMessage(packed);
    } else if (hd.type == kSysEx) {
      read(t, scratch, hd.size);
      synth.sysEx(scratch, hd.size);
    } else if (hd.type == kReset) {
      synth.reset();
    } else if (hd.type == kBank) {
      synth.setBank(banks[hd.slot].bank);  // a copy: the slot keeps its reference
      known |= 1u << hd.slot;
    }
    t += hd.size;
  }
  return t;
}

// Control side, `lock` held: frees the banks the render thread has let go of.
void SynthHost::Impl::collect() {
  const uint32_t consumed = tail.load(std::memory_order_acquire);
  // Acquire: pairs with render()'s release, so its last look at a slot came before.
  const uint32_t playing = live.load(std::memory_order_acquire);
  for (int i = 0; i < kBankSlots; ++i) {
    BankSlot& b = banks[i];
    if (!b.used || static_cast<int32_t>(consumed - b.sentAt) < 0 || (playing & (1u << i))) continue;
    b.bank.reset();
    b.used = false;
  }
  if (hasWaiting && sendBank(waiting)) {
    hasWaiting = false;
    waiting.reset();
  }
}

bool SynthHost::Impl::sendBank(std::shared_ptr<const Bank> bank) {
  for (int i = 0; i < kBankSlots; ++i) {
    BankSlot& b = banks[i];
    if (b.used) continue;
    b.bank = std::move(bank);
    if (!post(kBank, static_cast<uint8_t>(i), nullptr, 0)) {
      b.bank.reset();
      return false;
    }
    b.used = true;
    b.sentAt = head.load(std::memory_order_relaxed);
    return true;
  }
  return false;
}

SynthHost::SynthHost(uint32_t sampleRate) : m_impl(new Impl(sampleRate)) {}
SynthHost::~SynthHost() = default;

bool SynthHost::postShort(uint32_t packed) {
  std::lock_guard<std::mutex> g(m_impl->lock);
  return m_impl->post(kShort, 0, &packed, sizeof packed);
}

bool SynthHost::postSysEx(const uint8_t* data, size_t size) {
  if (!data || size == 0 || size > kMaxSysEx) return false;
  std::lock_guard<std::mutex> g(m_impl->lock);
  return m_impl->post(kSysEx, 0, data, size);
}

bool SynthHost::postReset() {
  std::lock_guard<std::mutex> g(m_impl->lock);
  m_impl->collect();
  return m_impl->post(kReset, 0, nullptr, 0);
}

void SynthHost::setSettings(const SynthSettings& settings) {
  std::lock_guard<std::mutex> g(m_impl->lock);
  m_impl->collect();
  m_impl->settings.spare() = settings;
  m_impl->settings.publish();
}

void SynthHost::setBank(std::shared_ptr<const Bank> bank) {
  std::lock_guard<std::mutex> g(m_impl->lock);
  m_impl->collect();
  // A bank still waiting was never seen by the render thread: this one replaces it.
  m_impl->waiting.reset();
  m_impl->hasWaiting = false;
  if (!m_impl->sendBank(bank)) {
    m_impl->waiting = std::move(bank);
    m_impl->hasWaiting = true;
  }
}

void SynthHost::render(float* out, uint32_t frames) {
  Impl& m = *m_impl;
  const uint32_t drained = m.drain();
  if (m.settings.take()) m.synth.setSettings(m.settings.read());
  m.synth.render(out, frames);

  for (int i = 0; i < kBankSlots; ++i) {
    const uint32_t bit = 1u << i;
    if ((m.known & bit) && !m.synth.usesBank(m.banks[i].bank.get())) m.known &= ~bit;
  }
  const SynthStatus s = m.synth.status();
  m.activeVoices.store(s.activeVoices, std::memory_order_relaxed);
  m.peakVoices.store(s.peakVoices, std::memory_order_relaxed);
  m.maxVoices.store(s.maxVoices, std::memory_order_relaxed);
  m.inUse.store(PackSettings(NormalisedSettings(m.settings.read())), std::memory_order_relaxed);
  m.live.store(m.known, std::memory_order_release);
  // Everything drained is now handled: the producers may reuse the space, and a bank's
  // slot may be freed once `live` no longer names it.
  m.tail.store(drained, std::memory_order_release);
}

SynthStatus SynthHost::status() const {
  SynthStatus s;
  s.activeVoices = m_impl->activeVoices.load(std::memory_order_relaxed);
  s.peakVoices = m_impl->peakVoices.load(std::memory_order_relaxed);
  s.maxVoices = m_impl->maxVoices.load(std::memory_order_relaxed);
  return s;
}

SynthSettings SynthHost::settingsInUse() const {
  return UnpackSettings(m_impl->inUse.load(std::memory_order_relaxed));
}

}  // namespace zsynth
