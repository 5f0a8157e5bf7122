#include "Synth.h"

#include "shared/card/CardProtocol.h"

#include <algorithm>
#include <cstring>

#include "Channel.h"
#include "Effects.h"
#include "Voice.h"

namespace zsynth {

namespace {
constexpr uint32_t kMaxVoices = 64;
constexpr int kChannels = 16;
// Room for a dense arrangement before the output's full scale: about -10 dB.
constexpr float kHeadroom = 0.3f;

struct Slot {
  Voice voice;
  bool active = false;
  bool sustained = false;  // released by the key, held by the pedal
  uint8_t channel = 0, key = 0;
  uint16_t exclusive = 0;
  uint32_t note = 0;  // which note-on started it; also the age
};
}  // namespace

struct Synth::Impl {
  Impl(uint32_t r, const VoiceKernels& k) : rate(r ? r : 44100), kernels(k), reverb(rate), chorus(rate) {
    resetAll();
  }

  uint32_t rate;
  const VoiceKernels& kernels;
  std::shared_ptr<const Bank> bank;
  SynthSettings settings, applied;
  bool settingsChanged = true;
  Channel channels[kChannels];
  Slot slots[kMaxVoices];
  uint32_t noteCounter = 0;
  uint32_t active = 0, peak = 0;
  float masterGain = 1.0f;
  uint8_t runningStatus = 0;
  Reverb reverb;
  Chorus chorus;
  Buses buses{}, pending{};  // pending: fades of cut voices, due from the next frame on
  LaneGroup group{}, fadeGroup{};
  LaneBuses lanes{}, fadeLanes{};

  uint32_t maxVoices() const { return applied.mode == 2 ? 32 : kMaxVoices; }
  bool cubic() const { return applied.mode != 1; }

  void resetAll();
  void applySettings();
  void controlChange(Channel& ch, int index, uint8_t cc, uint8_t value);
  void dataEntry(Channel& ch, bool msb, uint8_t value);
  void noteOn(int ch, uint8_t key, uint8_t velocity);
  void noteOff(int ch, uint8_t key);
  void releaseSlot(Slot& s);
  void cut(Slot& s);
  Slot* allocate(uint32_t note);
  Slot* victim(uint32_t note);
  void renderBlock(float* out, uint32_t frames);
  void renderVoices(uint32_t frames);
  void renderGroup(Slot** members, const bool* alive, int count, uint32_t frames, bool sends);
};

void Synth::Impl::resetAll() {
  for (int i = 0; i < kChannels; ++i) channels[i].resetAll(i);
  masterGain = 1.0f;
  for (Slot& s : slots)
    if (s.active) cut(s);
}

void Synth::Impl::applySettings() {
  if (!settingsChanged) return;
  settingsChanged = false;
  applied = NormalisedSettings(settings);
  // A larger amount is a larger room as well as a louder one.
  reverb.configure(1.0f + 1.5f * applied.reverb / 127.0f, applied.mode == 1);
  chorus.configure(applied.mode == 1);
  if (!applied.effects) {
    reverb.clear();
    chorus.clear();
  }
  while (active > maxVoices()) cut(*victim(UINT32_MAX));
}

void Synth::Impl::releaseSlot(Slot& s) {
  s.sustained = false;
  s.voice.release();
}

void Synth::Impl::cut(Slot& s) {
  s.voice.fadeOut(pending, cubic(), kernels, fadeGroup, fadeLanes);
  s.active = false;
  --active;
}

// The voice to give up: the quietest releasing one, else the quietest, the older on a tie.
// Never one of the note being started.
Slot* Synth::Impl::victim(uint32_t note) {
  Slot* best = nullptr;
  bool bestReleasing = false;
  for (Slot& s : slots) {
    if (!s.active || s.note == note) continue;
    const bool releasing = s.voice.releasing();
    if (best) {
      if (bestReleasing && !releasing) continue;
      if (releasing == bestReleasing) {
        const float a = s.voice.loudness(), b = best->voice.loudness();
        if (a > b || (a == b && s.note > best->note)) continue;
      }
    }
    best = &s;
    bestReleasing = releasing;
  }
  return best;
}

Slot* Synth::Impl::allocate(uint32_t note) {
  if (active >= maxVoices()) {
    Slot* v = victim(note);
    if (!v) return nullptr;
    cut(*v);
  }
  for (Slot& s : slots)
    if (!s.active) return &s;
  return nullptr;
}

void Synth::Impl::noteOn(int ch, uint8_t key, uint8_t velocity) {
  Channel& c = channels[ch];
  if (!bank) return;
  const Instrument* in = bank->find(c.drum, c.bankMsb, c.bankLsb, c.program);
  if (!in) return;
  if (!c.drum) noteOff(ch, key);  // a key struck again lets its last note go
  const uint32_t note = ++noteCounter;
  const VoiceControl control = c.control(masterGain);
  for (const Region& r : in->regions) {
    if (key < r.keyLo || key > r.keyHi || velocity < r.velLo || velocity > r.velHi) continue;
    if (r.exclusiveClass) {
      for (Slot& s : slots)
        if (s.active && s.channel == ch && s.exclusive == r.exclusiveClass && s.note != note) cut(s);
    }
    Slot* s = allocate(note);
    if (!s) break;
    s->active = true;
    s->sustained = false;
    s->channel = static_cast<uint8_t>(ch);
    s->key = key;
    s->exclusive = r.exclusiveClass;
    s->note = note;
    s->voice.start(r, *bank, key, velocity, rate, control);
    ++active;
  }
  peak = std::max(peak, active);
}

void Synth::Impl::noteOff(int ch, uint8_t key) {
  for (Slot& s : slots) {
    if (!s.active || s.channel != ch || s.key != key || s.voice.releasing() || s.sustained) continue;
    if (channels[ch].sustain) {
      s.sustained = true;
    } else {
      releaseSlot(s);
    }
  }
}

void Synth::Impl::dataEntry(Channel& ch, bool msb, uint8_t value) {
  if (ch.rpnMsb != 0) return;
  uint16_t* target = nullptr;
  switch (ch.rpnLsb) {
    case 0: target = &ch.bendRange; break;
    case 1: target = &ch.fineTune; break;
    case 2: target = &ch.coarseTune; break;
    default: return;
  }
  *target = msb ? static_cast<uint16_t>(value << 7 | (ch.rpnLsb == 0 ? 0 : (*target & 127)))
                : static_cast<uint16_t>((*target & ~127) | value);
}

void Synth::Impl::controlChange(Channel& ch, int index, uint8_t cc, uint8_t value) {
  switch (cc) {
    case 0: ch.nextMsb = value; break;
    case 32: ch.nextLsb = value; break;
    case 1: ch.modulation = value; break;
    case 6: dataEntry(ch, true, value); break;
    case 38: dataEntry(ch, false, value); break;
    case 7: ch.volume = value; break;
    case 10: ch.pan = value; break;
    case 11: ch.expression = value; break;
    case 91: ch.reverb = value; break;
    case 93: ch.chorus = value; break;
    case 101: ch.rpnMsb = value; break;
    case 100: ch.rpnLsb = value; break;
    case 98: case 99: ch.rpnMsb = ch.rpnLsb = 127; break;  // NRPNs: none of ours
    case 64:
      ch.sustain = value >= 64;
      if (!ch.sustain)
        for (Slot& s : slots)
          if (s.active && s.channel == index && s.sustained) releaseSlot(s);
      break;
    case 120:
      for (Slot& s : slots)
        if (s.active && s.channel == index) cut(s);
      break;
    case 121:
      ch.resetControllers();
      for (Slot& s : slots)
        if (s.active && s.channel == index && s.sustained) releaseSlot(s);
      break;
    case 123: case 124: case 125: case 126: case 127:
      for (Slot& s : slots)
        if (s.active && s.channel == index) noteOff(index, s.key);
      break;
    default: break;
  }
}

void Synth::Impl::renderBlock(float* out, uint32_t frames) {
  buses.clear();
  for (uint32_t i = 0; i < frames; ++i) {
    buses.left[i] = pending.left[i];
    buses.right[i] = pending.right[i];
    buses.reverb[i] = pending.reverb[i];
    buses.chorus[i] = pending.chorus[i];
  }
  // What the next block still owes of the fades.
  const uint32_t rest = kBlock - frames;
  std::memmove(pending.left, pending.left + frames, rest * sizeof(float));
  std::memmove(pending.right, pending.right + frames, rest * sizeof(float));
  std::memmove(pending.reverb, pending.reverb + frames, rest * sizeof(float));
  std::memmove(pending.chorus, pending.chorus + frames, rest * sizeof(float));
  std::fill(pending.left + rest, pending.left + kBlock, 0.0f);
  std::fill(pending.right + rest, pending.right + kBlock, 0.0f);
  std::fill(pending.reverb + rest, pending.reverb + kBlock, 0.0f);
  std::fill(pending.chorus + rest, pending.chorus + kBlock, 0.0f);

  renderVoices(frames);
  if (applied.effects) {
    reverb.process(buses.reverb, buses.left, buses.right, frames);
    chorus.process(buses.chorus, buses.left, buses.right, frames);
  }
  for (uint32_t i = 0; i < frames; ++i) {
    out[2 * i] = buses.left[i] * kHeadroom;
    out[2 * i + 1] = buses.right[i] * kHeadroom;
  }
}

// A group of voices at a time (kLanes) through the kernels, onto the lane buses; the lanes
// are summed into the buses once for the block.
void Synth::Impl::renderVoices(uint32_t frames) {
  VoiceControl control[kChannels];
  const float reverbScale = applied.effects ? applied.reverb / 127.0f : 0.0f;
  const float chorusScale = applied.effects ? applied.chorus / 127.0f : 0.0f;
  for (int c = 0; c < kChannels; ++c) {
    control[c] = channels[c].control(masterGain);
    control[c].reverbScale = reverbScale;
    control[c].chorusScale = chorusScale;
  }
  const bool sends = reverbScale > 0.0f || chorusScale > 0.0f;
  const bool interp = cubic();
  lanes.clear(sends);
  Slot* members[kLanes];
  bool alive[kLanes];
  int count = 0;
  for (Slot& s : slots) {
    if (!s.active) continue;
    alive[count] = s.voice.prepare(control[s.channel], frames, interp, kernels, group, count);
    members[count++] = &s;
    if (count == kLanes) {
      renderGroup(members, alive, count, frames, sends);
      count = 0;
    }
  }
  if (count > 0) renderGroup(members, alive, count, frames, sends);
  kernels.reduce(lanes, buses, frames);
}

void Synth::Impl::renderGroup(Slot** members, const bool* alive, int count, uint32_t frames, bool sends) {
  for (int lane = count; lane < kLanes; ++lane) {  // silent lanes
    std::fill(group.x[lane], group.x[lane] + kBlock, 0.0f);
    group.b0[lane] = 1.0f;
    group.b1[lane] = group.b2[lane] = group.a1[lane] = group.a2[lane] = group.z1[lane] = group.z2[lane] = 0.0f;
    for (int b = 0; b < kBuses; ++b) group.gain[b][lane] = group.step[b][lane] = 0.0f;
  }
  kernels.filterMix(group, lanes, frames, sends);
  for (int lane = 0; lane < count; ++lane) {
    members[lane]->voice.finish(group, lane);
    if (!alive[lane]) {
      members[lane]->active = false;
      --active;
    }
  }
}

SynthSettings NormalisedSettings(const SynthSettings& settings) {
  SynthSettings s = settings;
  s.reverb = kv22::ClampEffectLevel(s.reverb);
  s.chorus = kv22::ClampEffectLevel(s.chorus);
  if (!kv22::SoftSynthModeValid(s.mode)) s.mode = 0;
  return s;
}

Synth::Synth(uint32_t sampleRate, const VoiceKernels* kernels)
    : m_impl(new Impl(sampleRate, kernels ? *kernels : voiceKernels())) {}
Synth::~Synth() = default;

void Synth::setBank(std::shared_ptr<const Bank> bank) { m_impl->bank = std::move(bank); }

bool Synth::usesBank(const Bank* bank) const {
  if (!bank) return false;
  if (m_impl->bank.get() == bank) return true;
  for (const Slot& s : m_impl->slots)
    if (s.active && s.voice.bank() == bank) return true;
  return false;
}

void Synth::setSettings(const SynthSettings& settings) {
  m_impl->settings = settings;
  m_impl->settingsChanged = true;
}

void Synth::shortMessage(uint32_t packed) {
  Impl& m = *m_impl;
  uint8_t status = packed & 0xFF, d1 = (packed >> 8) & 0x7F, d2 = (packed >> 16) & 0x7F;
  if (status < 0x80) {  // running status: the bytes move up by one
    if (!m.runningStatus) return;
    d2 = d1;
    d1 = status;
    status = m.runningStatus;
  } else if (status < 0xF0) {
    m.runningStatus = status;
  } else {
    if (status < 0xF8) m.runningStatus = 0;
    return;  // system messages: none of them sound
  }
  const int ch = status & 15;
  Channel& c = m.channels[ch];
  switch (status & 0xF0) {
    case 0x80: m.noteOff(ch, d1); break;
    case 0x90: d2 ? m.noteOn(ch, d1, d2) : m.noteOff(ch, d1); break;
    case 0xB0: m.controlChange(c, ch, d1, d2); break;
    case 0xC0:
      c.program = d1;
      c.bankMsb = c.nextMsb;
      c.bankLsb = c.nextLsb;
      break;
    case 0xE0: c.bend = static_cast<uint16_t>(d2 << 7 | d1); break;
    default: break;  // aftertouch: not used by our voices
  }
}

void Synth::sysEx(const uint8_t* d, size_t n) {
  Impl& m = *m_impl;
  if (n < 5 || d[0] != 0xF0 || d[n - 1] != 0xF7) return;
  m.runningStatus = 0;
  // GM system on (and GM2's), universal non-real-time.
  if (n == 6 && d[1] == 0x7E && d[3] == 0x09 && (d[4] == 0x01 || d[4] == 0x03)) return m.resetAll();
  // Master volume, universal real-time, 14 bits.
  if (n == 8 && d[1] == 0x7F && d[3] == 0x04 && d[4] == 0x01) {
    const float v = (d[6] << 7 | d[5]) / 16383.0f;
    m.masterGain = v * v;
    return;
  }
  if (n == 11 && d[1] == 0x41 && d[3] == 0x42 && d[4] == 0x12) {
    // GS reset: 40 00 7F 00; a part's rhythm mode: 40 1x 15 mm (parts 1..9, 0 = 10, A..F).
    if (d[5] == 0x40 && d[6] == 0x00 && d[7] == 0x7F && d[8] == 0x00) return m.resetAll();
    if (d[5] == 0x40 && (d[6] & 0xF0) == 0x10 && d[7] == 0x15) {
      const int part = d[6] & 15;
      const int ch = part == 0 ? 9 : (part <= 9 ? part - 1 : part);
      m.channels[ch].drum = d[8] != 0;
    }
    return;
  }
  // XG system on.
  if (n == 9 && d[1] == 0x43 && (d[2] & 0xF0) == 0x10 && d[3] == 0x4C && d[6] == 0x7E) m.resetAll();
}

void Synth::reset() {
  Impl& m = *m_impl;
  for (Channel& c : m.channels) c.sustain = false;
  for (Slot& s : m.slots)
    if (s.active && !s.voice.releasing()) m.releaseSlot(s);
  m.peak = m.active;
}

void Synth::render(float* out, uint32_t frames) {
  Impl& m = *m_impl;
  m.applySettings();
  while (frames > 0) {
    const uint32_t n = std::min(frames, kBlock);
    m.renderBlock(out, n);
    out += 2 * n;
    frames -= n;
  }
}

SynthStatus Synth::status() const {
  SynthStatus s;
  s.activeVoices = m_impl->active;
  s.peakVoices = m_impl->peak;
  s.maxVoices = m_impl->maxVoices();
  return s;
}

}  // namespace zsynth
