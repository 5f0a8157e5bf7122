#include "mixer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <thread>

#include "kernels.h"
#include "test_scene.h"
#include "test_signal.h"

#if defined(__SSE__) || defined(__x86_64__)
#include <xmmintrin.h>
#endif

namespace trivox {
namespace {

using namespace testsig;

// Level and arrival-time differences of the rendered ears against the data set itself.
TEST(Fidelity, InterauralDifferencesAtNinetyDegreesMatchTheDataSet) {
  const HrtfSet set = kemar();
  ASSERT_FALSE(set.empty());
  const int e0 = set.elevationCount() / 2;
  const int quarter = set.azCount[static_cast<size_t>(e0)] / 4;
  const float* h90 = set.filter(set.filterIndex(e0, quarter));       // left ear, source right
  const float* h270 = set.filter(set.filterIndex(e0, 3 * quarter));  // left ear, source left
  double e90 = 0, e270 = 0;
  for (int t = 0; t < set.taps; ++t) {
    e90 += h90[t] * h90[t];
    e270 += h270[t] * h270[t];
  }
  const double wantIld = db(e270 / e90);  // near ear over far ear
  const double wantItdUs = (set.delays[static_cast<size_t>(set.filterIndex(e0, quarter))] -
                            set.delays[static_cast<size_t>(set.filterIndex(e0, 3 * quarter))]) /
                           kRate * 1e6;

  for (float side : {1.0f, -1.0f}) {
    SCOPED_TRACE(side > 0 ? "source right" : "source left");
    Mixer m(set, kRate, 4);
    Source noiseSrc = makeSource(noise(kRate, 7, 0.5f), kRate);
    noiseSrc.params.source.position = {2 * side, 0, 0};
    const int v = m.addVoice();
    m.setVoice(v, noiseSrc.params);
    const auto out = renderFor(m, kRate);
    const auto l = channel(out, 0, 4800), r = channel(out, 1, 4800);
    const double ild = db(energy(side > 0 ? r : l) / energy(side > 0 ? l : r));
    EXPECT_NEAR(ild, wantIld, 1.0);
    EXPECT_GT(ild, 6.0);  // the near ear is clearly louder

    // One click, played once: when does each ear hear it?
    std::vector<float> click(4800, 0.0f);
    click[100] = 0.9f;
    Source clickSrc = makeSource(click, kRate, false);
    clickSrc.params.source.position = {2 * side, 0, 0};
    Mixer m2(set, kRate, 4);
    const int c = m2.addVoice();
    m2.setVoice(c, clickSrc.params);
    const auto out2 = renderFor(m2, 2400);
    const double tl = onset(channel(out2, 0), 0.2), tr = onset(channel(out2, 1), 0.2);
    const double itdUs = (side > 0 ? tl - tr : tr - tl) / kRate * 1e6;  // far ear minus near ear
    EXPECT_NEAR(itdUs, wantItdUs, 50.0);
    EXPECT_GT(itdUs, 300.0);  // the near ear hears it first
    std::printf("[ figures ] side %+.0f: ILD %.2f dB (set %.2f), ITD %.1f us (set %.1f)\n", side, ild, wantIld,
                itdUs, wantItdUs);
  }
}

TEST(Fidelity, SphericalHeadPutsASourceOnTheRightInTheRightEar) {
  Mixer m(makeSphericalHead(kRate), kRate, 2);
  std::vector<float> click(4800, 0.0f);
  click[10] = 0.9f;
  Source s = makeSource(click, kRate, false);
  s.params.source.position = {3, 0, 0};
  m.setVoice(m.addVoice(), s.params);
  const auto out = renderFor(m, 2400);
  const auto l = channel(out, 0), r = channel(out, 1);
  EXPECT_GT(energy(r), 2.0 * energy(l));
  const double itd = (onset(l, 0.2) - onset(r, 0.2)) / kRate;
  EXPECT_NEAR(itd, 0.0875 / 343.3 * (1 + 3.14159265 / 2), 50e-6);
}

TEST(Fidelity, DistanceLawWithinHalfADecibel) {
  const HrtfSet set = kemar();
  for (float rolloff : {1.0f, 2.5f}) {
    double ref = 0;
    for (float k : {1.0f, 2.0f, 4.0f, 8.0f}) {
      Mixer m(set, kRate, 2);
      ListenerState l;
      l.rolloffFactor = rolloff;
      m.setListener(l);
      Source s = makeSource(noise(kRate / 2, 3, 0.5f), kRate);
      s.params.source.minDistance = 1.5f;
      s.params.source.position = {0, 0, 1.5f * k};
      m.setVoice(m.addVoice(), s.params);
      const auto out = renderFor(m, kRate / 2);
      const double level = rmsDb(channel(out, 0, 2400)) + 0 * rmsDb(channel(out, 1, 2400));
      if (k == 1.0f) ref = level;
      const double want = 20.0 * std::log10(1.5 / (1.5 + rolloff * (1.5 * k - 1.5)));
      EXPECT_NEAR(level - ref, want, 0.5) << "rolloff " << rolloff << " at " << k << " x min";
      std::printf("[ figures ] rolloff %.1f at %.0f x min: %.2f dB (law %.2f)\n", rolloff, k, level - ref, want);
    }
  }
}

double dopplerWant(double f, double vs, double vl) {
  // Velocities along the listener-to-source line.
  return f * (kSpeedOfSound + vl) / (kSpeedOfSound + vs);
}

TEST(Fidelity, DopplerWithinOnePercent) {
  const HrtfSet set = kemar();
  struct Case {
    Vec3 pos, vsrc, vlis;
    float dopplerFactor;
    double want;
  };
  const Case cases[] = {
      {{-10, 0, 0}, {20, 0, 0}, {}, 1, dopplerWant(1000, -20, 0)},  // approaching
      {{10, 0, 0}, {20, 0, 0}, {}, 1, dopplerWant(1000, 20, 0)},    // receding
      {{0, 0, 10}, {}, {0, 0, 20}, 1, dopplerWant(1000, 0, 20)},    // listener approaching
      {{0, 0, 10}, {0, 0, -20}, {}, 2, dopplerWant(1000, -40, 0)},  // doubled factor
  };
  for (const Case& c : cases) {
    Mixer m(set, kRate, 2);
    ListenerState l;
    l.velocity = c.vlis;
    l.dopplerFactor = c.dopplerFactor;
    m.setListener(l);
    Source s = makeSource(sine(1000, 22050, 22050, 0.5f), 22050);
    s.params.source.position = c.pos;
    s.params.source.velocity = c.vsrc;
    m.setVoice(m.addVoice(), s.params);
    const auto out = renderFor(m, kRate);
    const auto ch = channel(out, 0, 4800);
    const double f = frequency(ch.data(), static_cast<int>(ch.size()), kRate);
    EXPECT_NEAR(f / c.want, 1.0, 0.01) << f << " Hz, want " << c.want;
  }
}

TEST(Fidelity, DopplerOfASourcePassingAt20MetresPerSecond) {
  Mixer m(kemar(), kRate, 2);
  Source s = makeSource(sine(1000, 22050, 22050, 0.5f), 22050);
  s.params.source.velocity = {20, 0, 0};
  const int v = m.addVoice();
  // 33 ms ticks, as the player moves its sources, from x = -30 to +30 at 3 m in front.
  const int tick = kRate * 33 / 1000;
  double worst = 0;
  int windows = 0;
  for (int i = 0; i < 90; ++i) {
    const double t = i * 0.033;
    const float x = static_cast<float>(-30 + 20 * t);
    s.params.source.position = {x, 0, 3};
    m.setVoice(v, s.params);
    const auto out = renderFor(m, tick);
    if (i < 3 || std::fabs(x) < 12) continue;  // glide settling, and the fast sweep near the head
    const auto ch = channel(out, 0);
    const double f = frequency(ch.data(), static_cast<int>(ch.size()), kRate);
    const double xm = x + 20 * 0.0165;  // the middle of this tick
    const double d = std::sqrt(xm * xm + 9);
    const double radial = 20 * xm / d;  // along listener-to-source
    const double want = dopplerWant(1000, radial, 0);
    worst = std::max(worst, std::fabs(f / want - 1));
    ++windows;
  }
  EXPECT_GT(windows, 40);
  EXPECT_LT(worst, 0.01);
  std::printf("[ figures ] passing source: worst Doppler error %.3f %% over %d ticks\n", worst * 100, windows);
}

// The largest sample-to-sample step of the moving render must not exceed that of
// the same signal rendered still at any of the positions visited by more than -60 dBFS.
void expectNoClicks(const std::vector<Vec3>& path, const char* what) {
  const HrtfSet set = kemar();
  const int tick = kRate * 33 / 1000;
  const auto tone = sine(500, kRate, kRate, 0.5f);
  double still = 0;
  for (const Vec3& p : path) {
    Mixer m(set, kRate, 2);
    Source s = makeSource(tone, kRate);
    s.params.source.position = p;
    m.setVoice(m.addVoice(), s.params);
    const auto out = renderFor(m, 4800);
    still = std::max({still, maxStep(channel(out, 0, 2400)), maxStep(channel(out, 1, 2400))});
  }
  Mixer m(set, kRate, 2);
  Source s = makeSource(tone, kRate);
  const int v = m.addVoice();
  std::vector<float> all;
  for (const Vec3& p : path) {
    s.params.source.position = p;
    m.setVoice(v, s.params);
    const auto out = renderFor(m, tick);
    all.insert(all.end(), out.begin(), out.end());
  }
  // The tone's own onset is not a parameter change.
  const double moving = std::max(maxStep(channel(all, 0), 2400), maxStep(channel(all, 1), 2400));
  const double excess = moving - still;
  EXPECT_LT(excess, 0.001) << what;  // -60 dBFS
  std::printf("[ figures ] %s: largest step %.5f moving, %.5f still, excess %.1f dBFS\n", what, moving, still,
              20 * std::log10(std::max(excess, 1e-9)));
}

TEST(Fidelity, NoClicksWhenCirclingTheHeadIn33msSteps) {
  std::vector<Vec3> path;
  for (int i = 0; i < 60; ++i) {
    const float a = static_cast<float>(i) * 2 * 3.14159265f / 30;  // a turn a second
    path.push_back({std::sin(a), 0, std::cos(a)});
  }
  expectNoClicks(path, "circling at 1 m, a turn per second");
}

TEST(Fidelity, NoClicksWhenJumpingFromSideToSide) {
  std::vector<Vec3> path;
  for (int i = 0; i < 20; ++i) path.push_back({i % 2 ? 1.0f : -1.0f, 0, 0.1f});
  expectNoClicks(path, "jumping between left and right");
}

TEST(Mixer, ResamplesAtTheBufferFrequency) {
  Mixer m(kemar(), kRate, 2);
  Source s = makeSource(sine(1000, 22050, 22050, 0.5f), 22050);
  s.params.is3d = false;
  const int v = m.addVoice();
  m.setVoice(v, s.params);
  auto out = renderFor(m, kRate / 2);
  auto ch = channel(out, 0, 2400);
  EXPECT_NEAR(frequency(ch.data(), static_cast<int>(ch.size()), kRate), 1000.0, 1.0);
  s.params.frequency = 44100;  // twice as fast
  m.setVoice(v, s.params);
  out = renderFor(m, kRate / 2);
  ch = channel(out, 0, 4800);
  EXPECT_NEAR(frequency(ch.data(), static_cast<int>(ch.size()), kRate), 2000.0, 2.0);
}

TEST(Mixer, PanAndVolumeInMillibels) {
  Mixer m(kemar(), kRate, 2);
  Source s = makeSource(noise(kRate / 4, 5, 0.5f), kRate);
  s.params.is3d = false;
  const int v = m.addVoice();
  m.setVoice(v, s.params);
  const auto base = renderFor(m, 4800);
  const double l0 = rmsDb(channel(base, 0, 2400)), r0 = rmsDb(channel(base, 1, 2400));
  EXPECT_NEAR(l0, r0, 0.01);
  s.params.volume = -600;
  s.params.pan = -10000;  // hard left
  m.setVoice(v, s.params);
  renderFor(m, 4800);  // glide
  const auto out = renderFor(m, 4800);
  EXPECT_NEAR(rmsDb(channel(out, 0)) - l0, -6.0, 0.3);
  for (float x : channel(out, 1)) ASSERT_EQ(x, 0.0f);
  s.params.pan = 0;
  s.params.volume = -10000;
  m.setVoice(v, s.params);
  renderFor(m, 4800);
  for (float x : renderFor(m, 480)) ASSERT_EQ(x, 0.0f);  // silence is exact, nothing left decaying
}

TEST(Mixer, EightBitStereoBuffersKeepTheirChannels) {
  Mixer m(kemar(), kRate, 2);
  std::vector<uint8_t> pcm;
  for (int i = 0; i < 4800; ++i) {
    pcm.push_back(static_cast<uint8_t>(128 + (i % 2 ? 100 : -100)));  // left: Nyquist square
    pcm.push_back(128);                                              // right: silence
  }
  VoiceParams p;
  p.data = pcm.data();
  p.bytes = static_cast<uint32_t>(pcm.size());
  p.channels = 2;
  p.bits = 8;
  p.frequency = kRate;
  p.playing = true;
  p.looping = true;
  p.playGen = 1;
  m.setVoice(m.addVoice(), p);
  const auto out = renderFor(m, 2400);
  EXPECT_GT(rmsDb(channel(out, 0, 10)), -4.0);
  for (float x : channel(out, 1)) ASSERT_EQ(x, 0.0f);
}

TEST(Mixer, OneShotEndsAndReportsItLoopingGoesOn) {
  Mixer m(kemar(), kRate, 4);
  Source once = makeSource(noise(1000, 9, 0.5f), kRate, false);
  Source loop = makeSource(noise(1000, 9, 0.5f), kRate, true);
  const int a = m.addVoice(), b = m.addVoice();
  ASSERT_NE(a, b);
  m.setVoice(a, once.params);
  m.setVoice(b, loop.params);
  renderFor(m, 480);
  EXPECT_EQ(m.status(a).endedGen, 0u);
  EXPECT_EQ(m.status(a).frame, 480u);
  renderFor(m, 960);
  EXPECT_EQ(m.status(a).endedGen, 1u);
  EXPECT_EQ(m.status(a).frame, 0u);
  EXPECT_EQ(m.status(b).endedGen, 0u);
  EXPECT_EQ(m.status(b).frame, 1440u % 1000u);
  // Playing it again starts from the top; seeking moves the cursor.
  once.params.playGen = 2;
  once.params.seekGen = 1;
  once.params.seekFrame = 600;
  m.setVoice(a, once.params);
  renderFor(m, kBlockFrames);
  EXPECT_EQ(m.status(a).frame, 600u + kBlockFrames);
  m.removeVoice(b);
  EXPECT_EQ(m.addVoice(), b);  // the slot is free again
}

TEST(Mixer, RunsOutOfVoicesCleanlyAndIgnoresBadIds) {
  Mixer m(kemar(), kRate, 2);
  EXPECT_GE(m.addVoice(), 0);
  EXPECT_GE(m.addVoice(), 0);
  EXPECT_EQ(m.addVoice(), -1);
  VoiceParams p;
  m.setVoice(-1, p);
  m.setVoice(7, p);
  m.removeVoice(99);
  EXPECT_EQ(m.status(42).frame, 0u);
  // A voice without data renders silence.
  p.playing = true;
  p.playGen = 1;
  p.is3d = true;
  m.setVoice(0, p);
  for (float x : renderFor(m, 480)) ASSERT_EQ(x, 0.0f);
}

TEST(Mixer, HostileParametersStayFinite) {
  Mixer m(kemar(), kRate, 2);
  Source s = makeSource(noise(4800, 11, 0.5f), 8000);
  s.params.source.position = {NAN, INFINITY, 1};
  s.params.source.velocity = {-1e30f, 0, 0};
  s.params.source.minDistance = 0;
  s.params.frequency = 4000000000u;
  m.setVoice(m.addVoice(), s.params);
  for (float x : renderFor(m, 2400)) ASSERT_TRUE(std::isfinite(x));
}

TEST(Mixer, RenderLeavesTheCallersFloatingPointModeAlone) {
#if defined(__SSE__) || defined(__x86_64__)
  const unsigned before = _mm_getcsr();
  Mixer m(kemar(), kRate, 1);
  renderFor(m, 480);
  EXPECT_EQ(_mm_getcsr(), before);
#else
  GTEST_SKIP() << "no SSE control register here";
#endif
}

TEST(Mixer, ControlFromAnotherThreadWhileRendering) {
  Mixer m(kemar(), kRate, 8);
  Source s = makeSource(noise(4800, 13, 0.5f), 22050);
  std::atomic<bool> stop{false};
  std::thread engine([&] {
    std::vector<float> out(480 * 2);
    while (!stop.load()) m.render(out.data(), 480);
  });
  for (int i = 0; i < 300; ++i) {
    const int v = m.addVoice();
    ASSERT_GE(v, 0);
    s.params.source.position = {static_cast<float>(i % 7) - 3, 0, 1};
    m.setVoice(v, s.params);
    m.setListener(ListenerState{});
    if (i % 3 == 0) std::this_thread::yield();
    m.removeVoice(v);
  }
  stop.store(true);
  engine.join();
  for (int i = 0; i < m.maxVoices(); ++i) EXPECT_GE(m.addVoice(), 0);
}

template <typename Condition>
bool waitUntil(Condition done) {
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!done()) {
    if (std::chrono::steady_clock::now() > limit) return false;
    std::this_thread::yield();
  }
  return true;
}

// A resampling kernel that holds the render inside it until the test lets go.
std::atomic<bool> g_heldInside{false}, g_letGo{false};
void heldResample(const float* s, double phase, double step, float* out, int n) {
  g_heldInside.store(true);
  waitUntil([] { return g_letGo.load(); });
  baselineKernels().resampleCubic(s, phase, step, out, n);
}

TEST(Mixer, ControlCallsReturnWhileARenderIsInProgress) {
  Kernels held = baselineKernels();
  held.resampleCubic = heldResample;
  g_heldInside = false;
  g_letGo = false;
  Mixer m(makeSphericalHead(kRate), kRate, 4, &held);
  auto samples = std::make_shared<std::vector<uint8_t>>(pcm16(noise(4800, 3, 0.5f)));
  const std::weak_ptr<std::vector<uint8_t>> watch = samples;
  Source other = makeSource(noise(4800, 4, 0.5f), kRate);
  VoiceParams p = other.params;
  p.data = samples->data();
  const int v = m.addVoice();
  m.setVoice(v, p);

  std::atomic<bool> rendered{false}, returned{false};
  std::thread engine([&] {
    std::vector<float> out(480 * 2);
    m.render(out.data(), 480);
    rendered = true;
  });
  ASSERT_TRUE(waitUntil([] { return g_heldInside.load(); }));
  int added = -1;
  std::thread control([&] {
    p.volume = -600;
    m.setVoice(v, p);
    m.setListener(ListenerState{});
    added = m.addVoice();
    m.setVoice(added, other.params);
    m.removeVoice(v, std::move(samples));
    m.status(v);
    m.setListener(ListenerState{});  // frees nothing the held render may still read
    returned = true;
  });
  EXPECT_TRUE(waitUntil([&] { return returned.load(); })) << "a control call waited for the render";
  EXPECT_FALSE(rendered.load());
  EXPECT_FALSE(watch.expired());
  g_letGo = true;
  engine.join();
  control.join();

  // The held render began before the removal: only the next one lets go of the data.
  m.setListener(ListenerState{});
  EXPECT_FALSE(watch.expired());
  renderFor(m, 480);
  m.setListener(ListenerState{});
  EXPECT_TRUE(watch.expired());
  EXPECT_EQ(m.status(added).frame, 480u);  // added and set during the held render, then played
}

}  // namespace
}  // namespace trivox

namespace trivox {
namespace {

// The vector kernels must compute what the plain loops compute, on every path
// (still and gliding filters, still and gliding delays, resampling).
TEST(Kernels, EveryInstructionSetRendersTheSameScene) {
  const Kernels* avx = avx2Kernels();
  if (!avx) GTEST_SKIP() << "this processor has no AVX2+FMA";
  const HrtfSet set = kemar();
  auto scene = [&](const Kernels* k) {
    Mixer m(set, kRate, 4, k);
    Source a = makeSource(noise(3000, 21, 0.5f), 22050);
    Source b = makeSource(noise(3000, 22, 0.5f), 44100);
    const int va = m.addVoice(), vb = m.addVoice();
    std::vector<float> all;
    for (int t = 0; t < 12; ++t) {
      a.params.source.position = {std::sin(0.5f * t), 0.2f, std::cos(0.5f * t)};
      b.params.source.position = {t % 4 < 2 ? -2.0f : 2.0f, 0, 1};
      m.setVoice(va, a.params);
      m.setVoice(vb, b.params);
      std::vector<float> out(1000 * 2);  // not a multiple of the block or the vector width
      m.render(out.data(), 1000);
      all.insert(all.end(), out.begin(), out.end());
    }
    return all;
  };
  const auto plain = scene(&baselineKernels());
  const auto fast = scene(avx);
  ASSERT_EQ(plain.size(), fast.size());
  double worst = 0, peak = 0;
  for (size_t i = 0; i < plain.size(); ++i) {
    worst = std::max(worst, static_cast<double>(std::fabs(plain[i] - fast[i])));
    peak = std::max(peak, static_cast<double>(std::fabs(plain[i])));
  }
  EXPECT_GT(peak, 0.05);
  EXPECT_LT(worst, 1e-4);  // FMA rounds differently; a wrong index or lane is orders above this
}

// The output queue grows only when a wake-up found it nearly dry, and never past its top.
TEST(OutputQueue, GrowsOnALateWakeUpOnly) {
  int depth = kQueuedBlocksMin;
  for (int played : {1, 2, 1, 2, 0}) depth = queueDepthAfter(depth, played);
  EXPECT_EQ(depth, kQueuedBlocksMin) << "on time, or one period of the platform's mixer";
  depth = queueDepthAfter(depth, kQueuedBlocksMin - 1);
  EXPECT_EQ(depth, kQueuedBlocksMin + 1);
  for (int i = 0; i < 20; ++i) depth = queueDepthAfter(depth, depth);
  EXPECT_EQ(depth, kQueuedBlocksMax);
}

}  // namespace
}  // namespace trivox

namespace trivox {
namespace {

// The steady resampler picks its taps by lane shuffles, two windows or a
// gather, by step; the delay line by runs of one whole offset: each way must
// land on the samples the plain lookup reads.
TEST(Kernels, ResamplingAndDelayMatchTheLookupAndReportTheirPeaks) {
  const std::vector<float> s = testsig::noise(4000, 7, 0.5f);
  const int n = 237;
  std::vector<int32_t> k(n);
  std::vector<float> f(n), want(n), got(n);
  std::vector<const Kernels*> all = {&baselineKernels()};
  if (avx2Kernels()) all.push_back(avx2Kernels());
  auto check = [&](double phase, double step, bool delay) {
    for (int i = 0; i < n; ++i) {
      const double at = phase + i * step;
      k[i] = static_cast<int32_t>(at);
      f[i] = static_cast<float>(at - k[i]);
    }
    baselineKernels().cubicAt(s.data(), k.data(), f.data(), want.data(), n);
    for (const Kernels* kern : all) {
      if (delay) {
        const float top = kern->delayCubic(s.data(), static_cast<float>(phase), static_cast<float>(step), got.data(), n);
        float wantTop = 0.0f;
        for (float y : want) wantTop = std::max(wantTop, std::fabs(y));
        EXPECT_NEAR(top, wantTop, 1e-4) << kern->name << " delay's peak, step " << step;
      } else {
        kern->resampleCubic(s.data(), phase, step, got.data(), n);
      }
      double worst = 0;
      for (int i = 0; i < n; ++i) worst = std::max(worst, static_cast<double>(std::fabs(got[i] - want[i])));
      EXPECT_LT(worst, 1e-4) << kern->name << (delay ? " delay" : " resampling") << " step " << step;
    }
  };
  for (double step : {0.3, 0.459375, 0.91875, 1.0, 1.6, 2.7, 9.3}) check(1.37, step, false);
  const float c[4] = {0.1f, -0.2f, 0.7f, 0.4f};
  for (const Kernels* kern : all) {
    const float top = kern->fir4(s.data(), c, got.data(), n);
    float wantTop = 0.0f;
    for (int i = 0; i < n; ++i) wantTop = std::max(wantTop, std::fabs(got[i]));
    EXPECT_EQ(top, wantTop) << kern->name << " fir4's peak";
  }
  // Delays gliding slowly and fast, either way, and from a whole sample.
  for (double step : {1.0 - 1.0 / 240, 1.0 - 0.13, 1.0, 1.0 + 1.0 / 300, 1.0 + 0.07}) {
    check(40.62, step, true);
    check(40.0, step, true);
  }
}

}  // namespace
}  // namespace trivox
