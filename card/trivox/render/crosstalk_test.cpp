#include "crosstalk.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdio>

#include "fft.h"
#include "test_scene.h"
#include "test_signal.h"

namespace trivox {
namespace {

using namespace testsig;

constexpr float kPi = 3.14159265358979f;

// y = h * x, h placed at its onset delay.
std::vector<float> through(const std::vector<double>& h, const std::vector<float>& x) {
  std::vector<float> y(x.size(), 0.0f);
  for (size_t i = 0; i < x.size(); ++i) {
    double acc = 0;
    for (size_t k = 0; k < h.size() && k <= i; ++k) acc += h[k] * x[i - k];
    y[i] = static_cast<float>(acc);
  }
  return y;
}

std::vector<float> sideSource(const HrtfSet& set, OutputPath path) {
  Mixer m(set, kRate, 2);
  CardRenderState card;
  card.output = path;
  m.setCardState(card);
  Source s = makeSource(noise(kRate, 17, 0.25f), kRate);
  s.params.source.position = {2, 0, 0};  // 90 degrees to the right
  m.setVoice(m.addVoice(), s.params);
  renderFor(m, 4800);
  return renderFor(m, kRate / 2);
}

// The set itself as the listener in front of the two speakers.
TEST(Crosstalk, EarsHearTheHeadphoneLevelDifferenceFromTheSpeakers) {
  const HrtfSet set = kemar();
  const auto phones = sideSource(set, OutputPath::kHeadphones);
  const auto feeds = sideSource(set, OutputPath::kSpeakers);
  std::vector<float> near(static_cast<size_t>(set.taps)), far(static_cast<size_t>(set.taps));
  float dNear = 0, dFar = 0;
  set.interpolate(-kSpeakerAzimuthDeg * kPi / 180, 0, near.data(), far.data(), dNear, dFar);
  std::vector<double> ipsi(128, 0.0), contra(128, 0.0);
  addDelayed(near.data(), set.taps, dNear, 1.0, ipsi);
  addDelayed(far.data(), set.taps, dFar, 1.0, contra);
  const auto sl = channel(feeds, 0), sr = channel(feeds, 1);
  const auto il = through(ipsi, sl), cl = through(contra, sl), ir = through(ipsi, sr), cr = through(contra, sr);
  std::vector<float> earL(il.size()), earR(il.size());
  for (size_t i = 0; i < il.size(); ++i) {
    earL[i] = il[i] + cr[i];
    earR[i] = cl[i] + ir[i];
  }
  const auto bl = channel(phones, 0), br = channel(phones, 1);
  const double edges[] = {300, 600, 1200, 2400, 4800, 6000};
  for (int b = 0; b + 1 < 6; ++b) {
    const double lo = edges[b], hi = edges[b + 1];
    const double want = db(bandEnergy(br, lo, hi, kRate) / bandEnergy(bl, lo, hi, kRate));
    const double got = db(bandEnergy(earR, lo, hi, kRate) / bandEnergy(earL, lo, hi, kRate));
    std::printf("[ figures ] %4.0f-%4.0f Hz: ILD headphones %5.2f dB, speakers at the ears %5.2f dB, diff %+.2f dB\n",
                lo, hi, want, got, got - want);
    EXPECT_NEAR(got, want, 3.0) << lo << "-" << hi << " Hz";
  }
}

TEST(Crosstalk, NoFrequencyIsBoostedBeyondTheLimit) {
  const CrosstalkCanceller c(kemar(), kRate, kBlockFrames);
  double worst = 0;
  for (const float* h : {c.sumFilter(), c.differenceFilter()}) {
    const Spectrum s = spectrumOf(h, c.taps(), 4096);
    for (int k = 0; k <= 2048; ++k) worst = std::max(worst, std::abs(s[static_cast<size_t>(k)]));
  }
  std::printf("[ figures ] largest canceller gain %.2f dB\n", 20 * std::log10(worst));
  EXPECT_LE(20 * std::log10(worst), kMaxCancelBoostDb);
  EXPECT_GT(20 * std::log10(worst), 6.0);  // it does cancel: the low end needs a lift
}

TEST(Limiter, HoldsLoudPassagesUnderTheCeilingAndRecovers) {
  Limiter lim(kBlockFrames);
  const auto loud = sine(300, kRate, kRate / 2, 3.0f);
  const auto quiet = sine(300, kRate, kRate, 0.3f);
  std::vector<float> l, r;
  for (const auto* part : {&loud, &quiet}) {
    for (size_t at = 0; at + kBlockFrames <= part->size(); at += kBlockFrames) {
      std::vector<float> bl(part->begin() + static_cast<long>(at), part->begin() + static_cast<long>(at) + kBlockFrames);
      std::vector<float> br(bl.size(), 0.0f);
      lim.process(bl.data(), br.data(), kBlockFrames);
      l.insert(l.end(), bl.begin(), bl.end());
      r.insert(r.end(), br.begin(), br.end());
    }
  }
  float peak = 0;
  for (float v : l) peak = std::max(peak, std::fabs(v));
  EXPECT_LE(peak, 0.98f);
  EXPECT_GT(peak, 0.9f);  // limited, not muted
  const std::vector<float> tail(l.end() - 4800, l.end()), wantTail(quiet.end() - 4800, quiet.end());
  for (size_t i = 0; i < tail.size(); ++i) ASSERT_EQ(tail[i], wantTail[i]) << "gain back at 1";
}

}  // namespace
}  // namespace trivox
