// Random MIDI byte streams into the synthesizer over a small bank: every message kind,
// SysEx among them, interleaved with rendering. The output must stay finite.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "card/synth/Synth.h"

namespace {

std::shared_ptr<const zsynth::Bank> SmallBank() {
  auto bank = std::make_shared<zsynth::Bank>();
  bank->pcm.resize(2000);
  for (size_t i = 0; i < bank->pcm.size(); ++i) bank->pcm[i] = static_cast<int16_t>(std::lround(12000 * std::sin(i * 0.0628)));
  for (int p = 0; p < 3; ++p) {
    zsynth::Instrument in;
    in.program = static_cast<uint8_t>(p);
    in.drum = p == 2;
    zsynth::Region r;
    r.end = 2000;
    r.loopStart = 100 * p;
    r.loopEnd = 1000 + 400 * p;
    r.loop = static_cast<zsynth::LoopMode>(p);
    r.filterCutoff = 6000.0f + 3000.0f * p;
    r.filterQ = 12.0f * p;
    r.volEnv.attack = 0.001f * p;
    r.volEnv.release = 0.05f;
    r.modLfoToPitch = 50.0f;
    r.modLfoToFilter = 1200.0f;
    r.modEnvToFilter = -2400.0f;
    r.exclusiveClass = static_cast<uint16_t>(p);
    r.keyHi = static_cast<uint8_t>(p == 1 ? 127 : 80);
    r.reverbSend = 0.5f;
    r.chorusSend = 0.5f;
    in.regions.push_back(r);
    bank->instruments.push_back(in);
  }
  return bank;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const auto bank = SmallBank();
  zsynth::Synth synth(22050);
  synth.setBank(bank);
  std::vector<float> out(2 * 300);
  std::vector<uint8_t> sysex;
  size_t i = 0;
  while (i < size) {
    const uint8_t b = data[i++];
    if (b == 0xF0) {  // SysEx to the next F7 or the end
      sysex.assign(1, b);
      while (i < size && data[i] != 0xF7) sysex.push_back(data[i++]);
      if (i < size) sysex.push_back(data[i++]);
      synth.sysEx(sysex.data(), sysex.size());
    } else if (b == 0xF4) {  // our own marker: render a block of up to 300 frames
      const uint32_t frames = i < size ? data[i++] + 45u : 64u;
      synth.render(out.data(), frames);
      for (uint32_t k = 0; k < 2 * frames; ++k)
        if (!std::isfinite(out[k])) {
          std::fprintf(stderr, "output not finite at %u\n", k);
          std::abort();
        }
    } else if (b == 0xF5 && i < size) {  // settings
      const uint8_t s = data[i++];
      synth.setSettings(zsynth::SynthSettings{(s & 1) != 0, (s >> 1) * 3u, (s >> 2) * 2u, (s >> 6) & 3u});
    } else if (b == 0xF6) {
      synth.reset();
    } else {
      uint32_t packed = b;
      if (i < size) packed |= data[i++] << 8;
      if (i < size) packed |= data[i++] << 16;
      synth.shortMessage(packed);
    }
  }
  synth.render(out.data(), 300);
  for (float v : out)
    if (!std::isfinite(v)) std::abort();
  return 0;
}
