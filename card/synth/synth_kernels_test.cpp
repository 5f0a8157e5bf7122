// The processor variants of the voice loops: each interpolates as the plain formula does,
// and a whole synthesizer renders alike on every variant this processor runs.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "SynthMath.h"
#include "VoiceKernels.h"
#include "test_bank.h"

namespace zsynth {
namespace {
using namespace test;

std::vector<const VoiceKernels*> Variants() {
  std::vector<const VoiceKernels*> v{&baselineVoiceKernels()};
  if (avx2VoiceKernels()) v.push_back(avx2VoiceKernels());
  return v;
}

std::vector<int16_t> Noise(size_t frames, uint32_t seed) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> d(-32768, 32767);
  std::vector<int16_t> pcm(frames);
  for (int16_t& s : pcm) s = static_cast<int16_t>(d(rng));
  return pcm;
}

// The block-rate functions that stand in for the C library's, to float precision.
TEST(SynthMath, Exp2AndSinCosMatchTheLibrary) {
  double worst = 0;
  for (float x = -125.0f; x < 127.0f; x += 0.001953125f * 37) {
    worst = std::max(worst, std::fabs(Exp2(x) / std::exp2(double(x)) - 1.0));
  }
  EXPECT_LT(worst, 3e-7);
  EXPECT_EQ(Exp2(0.0f), 1.0f);
  EXPECT_EQ(Exp2(-1.0f), 0.5f);
  EXPECT_TRUE(std::isnan(Exp2(NAN)));
  EXPECT_GT(Exp2(-1000.0f), 0.0f);
  EXPECT_TRUE(std::isfinite(Exp2(1000.0f)));
  double sinErr = 0, cosErr = 0;
  for (float w = -7.0f; w < 7.0f; w += 0.00137f) {
    float s, c;
    SinCos(w, s, c);
    sinErr = std::max(sinErr, std::fabs(s - std::sin(double(w))));
    cosErr = std::max(cosErr, std::fabs(c - std::cos(double(w))));
  }
  EXPECT_LT(sinErr, 3e-7);
  EXPECT_LT(cosErr, 3e-7);
}

TEST(VoiceKernels, InterpolateAsThePlainFormula) {
  const std::vector<int16_t> pcm = Noise(40000, 7);
  const uint64_t incs[] = {1ull << 32, 0x40000000ull, 0x1A000137ull, 0x2C0000001ull, 0x3FF12345678ull / 1024};
  for (const VoiceKernels* k : Variants()) {
    for (uint64_t inc : incs) {
      for (uint32_t n : {1u, 7u, 8u, 13u, 32u}) {
        const uint32_t frac = 0x9E3779B9u;
        float cubic[kBlock + kSpan], linear[kBlock + kSpan];
        const int16_t* p = pcm.data() + 5;
        k->cubic(p, frac, inc, cubic, n);
        k->linear(p, frac, inc, linear, n);
        uint64_t at = frac;
        for (uint32_t i = 0; i < n; ++i, at += inc) {
          const int16_t* q = p + (at >> 32);
          const float f = static_cast<float>(static_cast<uint32_t>(at) >> 9) / 8388608.0f;
          const float y0 = q[-1], y1 = q[0], y2 = q[1], y3 = q[2];
          const float c = y1 + f * (0.5f * (y2 - y0) + f * (y0 - 2.5f * y1 + 2.0f * y2 - 0.5f * y3 +
                                                          f * (0.5f * (y3 - y0) + 1.5f * (y1 - y2))));
          ASSERT_NEAR(cubic[i], c, 0.02f) << k->name << " inc " << inc << " frame " << i;
          ASSERT_NEAR(linear[i], y1 + f * (y2 - y1), 0.01f) << k->name << " inc " << inc << " frame " << i;
        }
      }
    }
  }
}

// Loops, one-shots, resonant and swept filters, vibrato, bends and pans; more voices than
// one group, groups left part empty, blocks that are no multiple of the vector width.
std::vector<float> Scene(const VoiceKernels* kernels, uint32_t mode) {
  BankBuilder b;
  Region loop = b.sample(Noise(6000, 3));
  loop.loop = LoopMode::kForward;
  loop.loopStart = loop.start + 1000;
  loop.loopEnd = loop.start + 5000;
  loop.rootKey = 60;
  loop.filterCutoff = 8000;
  loop.filterQ = 12;
  loop.modEnv.attack = 0.05f;
  loop.modEnv.decay = 0.2f;
  loop.modEnv.sustain = 0.3f;
  loop.modEnvToFilter = 3000;
  loop.vibLfo.frequency = 5.5f;
  loop.vibLfoToPitch = 30;
  loop.volEnv.release = 0.05f;
  loop.reverbSend = 0.5f;
  loop.chorusSend = 0.3f;
  b.instrument(0).regions.push_back(loop);
  Region once = b.sample(Noise(9000, 5));
  once.rootKey = 72;
  once.pan = -0.5f;
  b.instrument(1).regions.push_back(once);
  Synth s(kRate, kernels);
  s.setBank(b.build());
  s.setSettings(SynthSettings{true, 90, 70, mode});
  s.shortMessage(0xC1u | 1u << 8);
  std::vector<float> all;
  for (int step = 0; step < 12; ++step) {
    for (int n = 0; n < 4; ++n) s.shortMessage(NoteOn(step % 2, 30 + 7 * step + 11 * n % 60, 60 + 5 * n));
    s.shortMessage(0xE0u | static_cast<uint32_t>(step * 1300 % 16384) << 8);
    s.shortMessage(Cc(0, 10, step * 10));
    if (step % 3 == 2) s.shortMessage(NoteOff(0, 30 + 7 * (step - 1)));
    const std::vector<float> out = Render(s, 997, 61);
    all.insert(all.end(), out.begin(), out.end());
  }
  return all;
}

TEST(VoiceKernels, EveryVariantRendersTheSameNotesAlike) {
  const VoiceKernels* avx2 = avx2VoiceKernels();
  if (!avx2) GTEST_SKIP() << "this processor has no AVX2+FMA";
  for (uint32_t mode : {0u, 1u}) {
    const std::vector<float> plain = Scene(&baselineVoiceKernels(), mode), fast = Scene(avx2, mode);
    ASSERT_EQ(plain.size(), fast.size());
    double worst = 0, peak = 0;
    for (size_t i = 0; i < plain.size(); ++i) {
      ASSERT_TRUE(std::isfinite(plain[i]) && std::isfinite(fast[i]));
      worst = std::max(worst, static_cast<double>(std::fabs(plain[i] - fast[i])));
      peak = std::max(peak, static_cast<double>(std::fabs(plain[i])));
    }
    EXPECT_GT(peak, 0.05) << "mode " << mode;
    EXPECT_LT(worst, 1e-5) << "mode " << mode;
  }
}

}  // namespace
}  // namespace zsynth
