#include "test_bank.h"

#include <cmath>

namespace zsynth::test {

namespace {
constexpr double kPi = 3.14159265358979323846;  // M_PI is not standard: the Windows build lacks it
}  // namespace

Region BankBuilder::sample(const std::vector<int16_t>& pcm) {
  Region r;
  r.start = static_cast<uint32_t>(m_bank.pcm.size());
  m_bank.pcm.insert(m_bank.pcm.end(), pcm.begin(), pcm.end());
  r.end = static_cast<uint32_t>(m_bank.pcm.size());
  r.sampleRate = kRate;
  return r;
}

Instrument& BankBuilder::instrument(uint8_t program, bool drum) {
  m_bank.instruments.emplace_back();
  Instrument& in = m_bank.instruments.back();
  in.program = program;
  in.drum = drum;
  return in;
}

Region SineRegion(BankBuilder& b) {
  std::vector<int16_t> pcm(1000);
  for (size_t i = 0; i < pcm.size(); ++i) pcm[i] = static_cast<int16_t>(std::lround(20000 * std::sin(2 * kPi * i / 100.0)));
  Region r = b.sample(pcm);
  r.loop = LoopMode::kForward;
  r.loopStart = r.start;
  r.loopEnd = r.end;
  r.rootKey = 69;
  r.tuneCents = static_cast<float>(-1200.0 * std::log2(441.0 / 440.0));
  return r;
}

std::vector<int16_t> Constant(int16_t value, size_t frames) { return std::vector<int16_t>(frames, value); }

std::vector<float> Render(Synth& s, uint32_t frames, uint32_t block) {
  std::vector<float> out(2 * static_cast<size_t>(frames));
  for (uint32_t at = 0; at < frames; at += block) s.render(out.data() + 2 * at, std::min(block, frames - at));
  return out;
}

std::vector<float> Left(const std::vector<float>& stereo) {
  std::vector<float> l(stereo.size() / 2);
  for (size_t i = 0; i < l.size(); ++i) l[i] = stereo[2 * i];
  return l;
}

double MeasureHz(const std::vector<float>& x) {
  double first = -1, last = -1;
  int count = 0;
  for (size_t i = 1; i < x.size(); ++i) {
    if (x[i - 1] < 0 && x[i] >= 0) {
      const double t = (i - 1) + x[i - 1] / (x[i - 1] - x[i]);
      if (first < 0) first = t;
      last = t;
      ++count;
    }
  }
  return count > 1 ? (count - 1) * kRate / (last - first) : 0.0;
}

}  // namespace zsynth::test
