#include "equaliser.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "test_scene.h"
#include "test_signal.h"

namespace trivox {
namespace {

using namespace testsig;

// Sines through the running equaliser, level after against level before.
TEST(Equaliser, EachCurveMeasuresWithinHalfADecibelOfItsDefinition) {
  const double freqs[] = {31.5, 63, 125, 250, 500, 1000, 2000, 3000, 4000, 8000, 12000, 16000};
  for (int input = -1; input <= 5; ++input) {
    const EqCurve& curve = eqCurve(input);
    double worst = 0, swing = 0;
    for (double f : freqs) {
      Equaliser eq(kRate, kBlockFrames);
      const auto x = sine(f, kRate, kRate / 2, 0.5f);
      std::vector<float> l = x, r = x;
      for (size_t at = 0; at < l.size(); at += kBlockFrames) eq.process(true, input, &l[at], &r[at], kBlockFrames);
      const std::vector<float> tail(l.begin() + kRate / 4, l.end()), ref(x.begin() + kRate / 4, x.end());
      const double got = db(energy(tail) / energy(ref));
      const double want = eqCurveDb(curve, f, kRate);
      EXPECT_NEAR(got, want, 0.5) << curve.name << " at " << f << " Hz";
      EXPECT_EQ(r, l);
      worst = std::max(worst, std::fabs(got - want));
      swing = std::max(swing, std::fabs(want));
    }
    std::printf("[ figures ] input %+d, %-16s: largest lift or cut %.1f dB, worst error %.3f dB\n", input, curve.name,
                swing, worst);
  }
  EXPECT_EQ(&eqCurve(9), &eqCurve(-1));
}

}  // namespace
}  // namespace trivox
