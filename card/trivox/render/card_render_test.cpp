// The card's state heard in the mix: changes while sources play.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "kernels.h"
#include "mixer.h"
#include "test_scene.h"
#include "test_signal.h"

namespace trivox {
namespace {

using namespace testsig;

CardRenderState state(RenderMode mode, OutputPath out, bool eq, int input = -1) {
  CardRenderState s;
  s.mode = mode;
  s.output = out;
  s.eqOn = eq;
  s.eqInput = input;
  return s;
}

const CardRenderState kStates[] = {
    state(RenderMode::kQuality, OutputPath::kHeadphones, false), state(RenderMode::kSpeed, OutputPath::kHeadphones, false),
    state(RenderMode::kSpeed, OutputPath::kSpeakers, false),     state(RenderMode::kQuality, OutputPath::kSpeakers, true, 2),
    state(RenderMode::kQuality, OutputPath::kHeadphones, true, 0), state(RenderMode::kSpeed, OutputPath::kHeadphones, true, 3),
    state(RenderMode::kQuality, OutputPath::kHeadphones, false),
};

struct Scene {
  // Low tones: their own steps are small, so a jump stands out.
  Source a = makeSource(sine(110, kRate, kRate, 0.4f), kRate);
  Source b = makeSource(sine(150, kRate, kRate, 0.3f), kRate);
  Scene() {
    a.params.source.position = {1, 0, 0.1f};
    b.params.source.position = {-1, 0.3f, 1};
  }
  void play(Mixer& m) {
    m.setVoice(m.addVoice(), a.params);
    m.setVoice(m.addVoice(), b.params);
  }
};

// Same bound as for moving sources: no step above what the steady renders have, by -60 dBFS.
TEST(CardState, ChangingModePathAndEqualiserWhileSourcesPlayMakesNoClick) {
  const HrtfSet set = kemar();
  Scene scene;
  double still = 0;
  for (const CardRenderState& s : kStates) {
    Mixer m(set, kRate, 2);
    m.setCardState(s);
    scene.play(m);
    const auto out = renderFor(m, 9600);
    still = std::max({still, maxStep(channel(out, 0, 4800)), maxStep(channel(out, 1, 4800))});
  }
  Mixer m(set, kRate, 2);
  scene.play(m);
  std::vector<float> all = renderFor(m, 4800);
  for (int round = 0; round < 2; ++round) {
    for (const CardRenderState& s : kStates) {
      m.setCardState(s);
      const auto out = renderFor(m, kRate * 33 / 1000);
      all.insert(all.end(), out.begin(), out.end());
    }
  }
  const double changing = std::max(maxStep(channel(all, 0), 2400), maxStep(channel(all, 1), 2400));
  std::printf("[ figures ] card state changes: largest step %.5f, steady %.5f\n", changing, still);
  EXPECT_LT(changing - still, 0.001);
}

// Headphones, quality, equaliser off: not a sample differs from a mixer that never left it.
TEST(CardState, BackToHeadphonesQualityAndEqualiserOffIsBitExact) {
  const HrtfSet set = kemar();
  Scene scene;
  Mixer plain(set, kRate, 2), detour(set, kRate, 2);
  scene.play(plain);
  scene.play(detour);
  for (const CardRenderState& s : kStates) {
    detour.setCardState(s);
    const auto a = renderFor(plain, 2400), b = renderFor(detour, 2400);
    if (s == CardRenderState{}) continue;
    EXPECT_NE(a, b) << "the state changed nothing: mode " << int(s.mode) << " output " << int(s.output);
  }
  detour.setCardState(CardRenderState{});
  renderFor(plain, 4800);
  renderFor(detour, 4800);  // the fades
  EXPECT_EQ(renderFor(plain, 4800), renderFor(detour, 4800));
}

// The bus's vector loops against the plain ones: seven moving sources, more than one group,
// steps below one, between one and two and above two (each reads its samples its own way),
// blocks that are no multiple of the vector width.
TEST(CardState, SpeedModeRendersTheSameOnEveryInstructionSet) {
  const Kernels* avx = avx2Kernels();
  if (!avx) GTEST_SKIP() << "this processor has no AVX2+FMA";
  const HrtfSet set = kemar();
  auto scene = [&](const Kernels* k) {
    Mixer m(set, kRate, 8, k);
    m.setCardState(state(RenderMode::kSpeed, OutputPath::kHeadphones, false));
    std::vector<Source> sources;
    const int rates[] = {11025, 22050, 33075, 72000, 120000, 44100, 22050};
    for (int i = 0; i < 7; ++i) sources.push_back(makeSource(noise(3000, 31 + i, 0.3f), rates[i]));
    std::vector<int> ids;
    for (size_t i = 0; i < sources.size(); ++i) ids.push_back(m.addVoice());
    std::vector<float> all;
    for (int t = 0; t < 10; ++t) {
      for (size_t i = 0; i < sources.size(); ++i) {
        const float a = 0.4f * t + static_cast<float>(i);
        sources[i].params.source.position = {std::sin(a), 0.3f, std::cos(a)};
        m.setVoice(ids[i], sources[i].params);
      }
      const auto out = renderFor(m, 1003);
      all.insert(all.end(), out.begin(), out.end());
    }
    return all;
  };
  const auto plain = scene(&baselineKernels()), fast = scene(avx);
  double worst = 0, peak = 0;
  for (size_t i = 0; i < plain.size(); ++i) {
    worst = std::max(worst, static_cast<double>(std::fabs(plain[i] - fast[i])));
    peak = std::max(peak, static_cast<double>(std::fabs(plain[i])));
  }
  EXPECT_GT(peak, 0.05);
  EXPECT_LT(worst, 1e-4);
}

}  // namespace
}  // namespace trivox
