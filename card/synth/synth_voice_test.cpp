// What one note sounds like: its pitch, its envelope, its loop.
#include <gtest/gtest.h>

#include <cmath>

#include "Synth.h"
#include "test_bank.h"

namespace zsynth {
namespace {
using namespace test;

double Cents(double measured, double expected) { return 1200.0 * std::log2(measured / expected); }

std::shared_ptr<const Bank> SineBank() {
  BankBuilder b;
  Region r = SineRegion(b);
  b.instrument(0).regions.push_back(r);
  return b.build();
}

double PlayHz(Synth& s, uint32_t frames) {
  Render(s, 4096);  // past the attack
  return MeasureHz(Left(Render(s, frames)));
}

TEST(SynthPitch, EveryKeyAndBendWithinOneCent) {
  auto bank = SineBank();
  double worst = 0;
  for (int key : {0, 12, 21, 45, 60, 69, 84, 108, 120, 127}) {
    Synth s(kRate);
    s.setBank(bank);
    s.shortMessage(NoteOn(0, key, 100));
    const double expected = 440.0 * std::exp2((key - 69) / 12.0);
    const double err = Cents(PlayHz(s, key < 24 ? 4 * kRate : kRate), expected);
    EXPECT_LT(std::fabs(err), 1.0) << "key " << key;
    worst = std::max(worst, std::fabs(err));
  }
  // RPN 0 sets the bend range: 12 semitones, then the wheel up, down and half down.
  for (int bend : {16383, 0, 4096}) {
    Synth s(kRate);
    s.setBank(bank);
    for (uint32_t m : {Cc(0, 101, 0), Cc(0, 100, 0), Cc(0, 6, 12), Cc(0, 38, 0)}) s.shortMessage(m);
    s.shortMessage(0xE0u | (bend & 127) << 8 | (bend >> 7) << 16);
    s.shortMessage(NoteOn(0, 69, 100));
    const double expected = 440.0 * std::exp2((bend - 8192) / 8192.0);
    const double err = Cents(PlayHz(s, kRate), expected);
    EXPECT_LT(std::fabs(err), 1.0) << "bend " << bend;
    worst = std::max(worst, std::fabs(err));
  }
  std::printf("worst pitch error: %.4f cents\n", worst);
}

// The region alone in a bank, sounding dry at key 60, full velocity.
void DryNote(Synth& s, BankBuilder& b, const Region& r) {
  b.instrument(0).regions.push_back(r);
  s.setBank(b.build());
  s.setSettings(SynthSettings{false, 0, 0, 0});
  s.shortMessage(NoteOn(0, 60, 127));
}

// The first frame from `from` on where `pred` holds, in milliseconds.
template <typename P>
double FirstMs(const std::vector<float>& x, size_t from, P pred) {
  for (size_t i = from; i < x.size(); ++i)
    if (pred(x[i])) return i * 1000.0 / kRate;
  return -1;
}

TEST(SynthEnvelope, StageTimesWithinOneMillisecond) {
  BankBuilder b;
  Region r = b.sample(Constant(16384, 64));
  r.loop = LoopMode::kForward;
  r.loopStart = r.start;
  r.loopEnd = r.end;
  r.rootKey = 60;
  r.volEnv.delay = 0.010f;
  r.volEnv.attack = 0.050f;
  r.volEnv.hold = 0.020f;
  r.volEnv.decay = 0.100f;
  r.volEnv.sustain = 0.5f;
  r.volEnv.release = 0.200f;
  Synth s(kRate);
  DryNote(s, b, r);
  const uint32_t offAt = 512 * 32;  // 371.5 ms, on a block edge
  std::vector<float> x = Left(Render(s, offAt, 32));
  const float full = x[static_cast<size_t>(0.075 * kRate)];  // in the hold
  s.shortMessage(NoteOff(0, 60));
  std::vector<float> tail = Left(Render(s, kRate / 2, 32));
  x.insert(x.end(), tail.begin(), tail.end());

  const double delay = FirstMs(x, 0, [](float v) { return v > 0; });
  const double attack = FirstMs(x, 0, [&](float v) { return v >= full * 0.999f; });
  const double sustain = FirstMs(x, size_t(0.080 * kRate), [&](float v) { return v <= full * 0.5f * 1.001f; });
  const float releaseTo = full * 0.5f * 0.01f;  // 40 dB under the sustain: 80 ms at 100 dB per 200 ms
  const double release = FirstMs(x, offAt, [&](float v) { return v <= releaseTo; }) - offAt * 1000.0 / kRate;
  std::printf("delay %.3f attack end %.3f sustain at %.3f release -40 dB after %.3f ms\n", delay, attack, sustain,
              release);
  EXPECT_NEAR(delay, 10.0, 1.0);
  EXPECT_NEAR(attack, 60.0, 1.0);
  EXPECT_NEAR(sustain, 180.0, 1.0);
  EXPECT_NEAR(release, 80.0, 1.0);
  // The rest of the fall: 94 dB at that rate is 188 ms, after which the voice is gone.
  EXPECT_EQ(s.status().activeVoices, 0u);
}

TEST(SynthLoop, LoopPointsAreSampleExact) {
  std::vector<int16_t> ramp(300);
  for (int i = 0; i < 300; ++i) ramp[i] = static_cast<int16_t>((i + 1) * 50);
  BankBuilder b;
  Region r = b.sample(ramp);
  r.loop = LoopMode::kUntilRelease;
  r.loopStart = r.start + 100;
  r.loopEnd = r.start + 200;
  r.rootKey = 60;
  r.volEnv.release = 10.0f;
  Synth s(kRate);
  DryNote(s, b, r);
  const std::vector<float> held = Left(Render(s, 512, 32));
  const float gain = held[0] / ramp[0];
  for (size_t i = 0; i < held.size(); ++i) {
    const size_t idx = i < 200 ? i : 100 + (i - 200) % 100;
    ASSERT_FLOAT_EQ(held[i], gain * ramp[idx]) << "frame " << i;
  }
  // Released at frame 512, index 112: the sample plays on to its end, then nothing.
  s.shortMessage(NoteOff(0, 60));
  const std::vector<float> after = Left(Render(s, 256, 32));
  for (size_t i = 0; i < after.size(); ++i) {
    if (i < 188) {
      ASSERT_NEAR(after[i] / gain, ramp[112 + i], ramp[112 + i] * 0.01f) << "frame " << i;
    } else {
      ASSERT_EQ(after[i], 0.0f) << "frame " << i;
    }
  }
  EXPECT_EQ(s.status().activeVoices, 0u);
}

}  // namespace
}  // namespace zsynth
