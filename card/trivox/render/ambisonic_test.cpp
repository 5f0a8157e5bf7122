#include "ambisonic.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "test_scene.h"
#include "test_signal.h"

namespace trivox {
namespace {

using namespace testsig;

struct Ears {
  double left, right;
};

Ears heard(const HrtfSet& set, RenderMode mode, Vec3 at) {
  Mixer m(set, kRate, 2);
  CardRenderState card;
  card.mode = mode;
  m.setCardState(card);
  Source s = makeSource(noise(kRate, 23, 0.25f), kRate);
  s.params.source.position = at;
  m.setVoice(m.addVoice(), s.params);
  renderFor(m, 4800);
  const auto out = renderFor(m, kRate / 2);
  return {energy(channel(out, 0)), energy(channel(out, 1))};
}

TEST(SpeedMode, LevelDifferencesComeWithinThreeDecibelsOfQualityMode) {
  const HrtfSet set = kemar();
  for (float side : {1.0f, -1.0f}) {
    const Ears q = heard(set, RenderMode::kQuality, {2 * side, 0, 0});
    const Ears s = heard(set, RenderMode::kSpeed, {2 * side, 0, 0});
    const double ildQ = db(q.right / q.left), ildS = db(s.right / s.left);
    std::printf("[ figures ] source at %+.0f deg: ILD quality %.2f dB, speed %.2f dB\n", 90 * side, ildQ, ildS);
    EXPECT_NEAR(ildS, ildQ, 3.0);
    EXPECT_GT(ildS * side, 6.0);
  }
  const Ears qf = heard(set, RenderMode::kQuality, {0, 0, 2}), qb = heard(set, RenderMode::kQuality, {0, 0, -2});
  const Ears sf = heard(set, RenderMode::kSpeed, {0, 0, 2}), sb = heard(set, RenderMode::kSpeed, {0, 0, -2});
  const double fbQ = db((qf.left + qf.right) / (qb.left + qb.right));
  const double fbS = db((sf.left + sf.right) / (sb.left + sb.right));
  std::printf("[ figures ] front/back: quality %.2f dB, speed %.2f dB; speed's front level %+.2f dB of quality's\n",
              fbQ, fbS, db((sf.left + sf.right) / (qf.left + qf.right)));
  EXPECT_NEAR(fbS, fbQ, 3.0);
}

}  // namespace
}  // namespace trivox
