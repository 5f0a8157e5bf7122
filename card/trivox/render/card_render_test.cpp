// The card's state heard in the mix: changes while sources play.
#include <gtest/gtest.h>

#include <cstdio>

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

}  // namespace
}  // namespace trivox
