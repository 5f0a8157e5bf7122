// The demos started as the Demos page starts them, heard through the null sink's recording.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "E2eSupport.h"
#include "player/demos/common/Motion.h"
#include "player/demos/common/Sounds.h"
#include "player/demos/common/resource.h"
#include "shared/names/Names.h"

using namespace e2e;

namespace {

constexpr int kRate = Capture::kRate;
const char kDemosDir[] = "C:\\Program Files\\Resonix Trivox\\" ZEPHRA_DEMOS_DIR "\\";

// The strongest frequency in [lo, hi] Hz of both channels summed, over a Hann window of
// `frames` centred at frame `at`: a coarse scan, then a fine one around its best.
double Pitch(const std::vector<short>& s, size_t at, size_t frames, double lo, double hi) {
  std::vector<double> x(frames);
  const double pi = 3.14159265358979323846;
  for (size_t i = 0; i < frames; ++i) {
    const size_t k = at - frames / 2 + i;
    const double w = 0.5 - 0.5 * std::cos(2 * pi * double(i) / double(frames - 1));
    x[i] = 2 * k + 1 < s.size() ? w * (double(s[2 * k]) + s[2 * k + 1]) : 0.0;
  }
  auto energy = [&](double f) {
    double re = 0, im = 0;
    for (size_t i = 0; i < frames; ++i) {
      re += x[i] * std::cos(2 * pi * f * double(i) / kRate);
      im += x[i] * std::sin(2 * pi * f * double(i) / kRate);
    }
    return re * re + im * im;
  };
  double best = lo, most = -1;
  for (double f = lo; f <= hi; f += 1.0)
    if (double e = energy(f); e > most) most = e, best = f;
  const double centre = best;
  for (double f = centre - 1.0; f <= centre + 1.0; f += 0.05)
    if (double e = energy(f); e > most) most = e, best = f;
  return best;
}

class Demo : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { splash_ = std::make_unique<SplashOff>(); }
  static void TearDownTestSuite() { splash_.reset(); }
  void TearDown() override {
    if (dlg_ && IsWindow(dlg_)) PostMessageA(dlg_, WM_SYSCOMMAND, SC_CLOSE, 0);
    if (pi_.hProcess) {
      if (WaitForSingleObject(pi_.hProcess, 10000) != WAIT_OBJECT_0) TerminateProcess(pi_.hProcess, 1);
      CloseHandle(pi_.hThread);
      CloseHandle(pi_.hProcess);
    }
  }
  // Started as the Demos page starts it (the path its only argument) but from another
  // directory, so that it finds its sounds by itself.
  void Start(const char* name, const char* title) {
    ASSERT_TRUE(capture_.Available()) << "run through e2e_capture.sh";
    const std::string path = std::string(kDemosDir) + name + ".exe";
    std::string line = path;
    STARTUPINFOA si{};
    si.cb = sizeof si;
    ASSERT_TRUE(CreateProcessA(path.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, "C:\\", &si, &pi_));
    ASSERT_TRUE(WaitUntil([&] { return (dlg_ = FindVisible("#32770", title)) != nullptr; }, 20000));
  }
  // The next `seconds` of the recording, once the demo is heard.
  std::vector<short> Listen(double seconds) {
    EXPECT_TRUE(WaitUntil([&] {
      const long long now = capture_.Now();
      double l, r;
      MeanSquare(capture_.Read(now - kRate / 10, now), 0, kRate / 10, &l, &r);
      return l + r > 100.0;
    }, 15000)) << "the demo sounds";
    const long long from = capture_.Now(), to = from + static_cast<long long>(seconds * kRate);
    capture_.WaitPast(to, static_cast<DWORD>(seconds * 1000) + 10000);
    return capture_.Read(from, to);
  }
  std::string ItemText(int id) const { return Text(GetDlgItem(dlg_, id)); }

  Capture capture_;
  PROCESS_INFORMATION pi_{};
  HWND dlg_ = nullptr;
  static std::unique_ptr<SplashOff> splash_;
};

std::unique_ptr<SplashOff> Demo::splash_;

TEST_F(Demo, HelicopterSwingsTheBalanceFromSideToSideAsItCircles) {
  Start(ZEPHRA_DEMO_HELICOPTER, "Helicopter");
  const demo::HeliPath path;
  const std::vector<short> s = Listen(2.2 * path.Period());
  ASSERT_GT(s.size(), size_t(2 * kRate * 2 * path.Period()));
  // Balance (L - R) / (L + R) of the channels' levels in 100 ms steps.
  double lo = 1, hi = -1;
  int swings = 0, side = 0;
  for (size_t a = 0; a + kRate / 10 <= s.size() / 2; a += kRate / 10) {
    double l, r;
    MeanSquare(s, a, a + kRate / 10, &l, &r);
    const double b = (std::sqrt(l) - std::sqrt(r)) / (std::sqrt(l) + std::sqrt(r) + 1e-9);
    lo = std::min(lo, b);
    hi = std::max(hi, b);
    const int now = b > 0.1 ? 1 : b < -0.1 ? -1 : side;
    if (side && now != side) ++swings;
    side = now;
  }
  std::printf("helicopter balance from %.2f to %.2f, %d swings in %.1f s\n", lo, hi, swings, 2.2 * path.Period());
  EXPECT_GT(hi, 0.1) << "left at times";
  EXPECT_LT(lo, -0.1) << "right at times";
  EXPECT_GE(swings, 3) << "back and forth, lap after lap";
}

TEST_F(Demo, PauseSilencesBothEnginesSoundAndAboutOpensFromTheSystemMenu) {
  Start(ZEPHRA_DEMO_HELICOPTER, "Helicopter");
  Listen(0.2);
  SendMessageA(GetDlgItem(dlg_, IDC_PAUSE), BM_CLICK, 0, 0);
  EXPECT_EQ(ItemText(IDC_PAUSE), "&Resume");
  EXPECT_TRUE(WaitUntil([&] {
    const long long now = capture_.Now();
    double l, r;
    MeanSquare(capture_.Read(now - kRate / 5, now), 0, kRate / 5, &l, &r);
    return l + r < 1.0;
  })) << "paused is silent";
  SendMessageA(GetDlgItem(dlg_, IDC_PAUSE), BM_CLICK, 0, 0);
  EXPECT_EQ(ItemText(IDC_PAUSE), "&Pause");
  // Setup offers the DirectSound 3D engine: the helicopter goes on sounding on either.
  ASSERT_TRUE(IsWindowVisible(GetDlgItem(dlg_, IDC_ENGINE_DS3D)));
  SendMessageA(GetDlgItem(dlg_, IDC_ENGINE_DS3D), BM_CLICK, 0, 0);
  Listen(0.2);
  SendMessageA(GetDlgItem(dlg_, IDC_ENGINE_TRIVOX), BM_CLICK, 0, 0);
  Listen(0.2);
  PostMessageA(dlg_, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
  HWND about = nullptr;
  ASSERT_TRUE(WaitUntil([&] { return (about = FindVisible("#32770", "About Helicopter")) != nullptr; }));
  PostMessageA(about, WM_COMMAND, IDOK, 0);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(about); }));
}

TEST_F(Demo, PassingCarsPitchFollowsTheDopplerFormula) {
  Start(ZEPHRA_DEMO_RACE, "Race Track");
  HWND cars = GetDlgItem(dlg_, IDC_CARS);
  SendMessageA(cars, CB_SETCURSEL, 0, 0);
  SendMessageA(dlg_, WM_COMMAND, MAKEWPARAM(IDC_CARS, CBN_SELCHANGE), reinterpret_cast<LPARAM>(cars));
  ASSERT_EQ(ItemText(IDC_STATUS), "Lead car: 28 m/s");
  const float v = 28;
  const double nominal = demo::kEngineHz * demo::Car::PitchAt(v);
  // A whole lap and a bit: both straights pass the listener.
  const std::vector<short> s = Listen(demo::Track::Length() / v + 2.0);
  // The closest point is the loudest: search away from the recording's ends.
  const size_t hop = kRate / 20, margin = kRate * 3 / 2;
  size_t closest = 0;
  double loudest = -1;
  for (size_t a = margin; a + margin < s.size() / 2; a += hop) {
    double l, r;
    MeanSquare(s, a - kRate / 10, a + kRate / 10, &l, &r);
    if (l + r > loudest) loudest = l + r, closest = a;
  }
  ASSERT_GT(closest, 0u);
  const double dt = 0.6;  // seconds either side of the closest point
  const double before = Pitch(s, closest - size_t(dt * kRate), kRate / 5, 0.75 * nominal, 1.33 * nominal);
  const double after = Pitch(s, closest + size_t(dt * kRate), kRate / 5, 0.75 * nominal, 1.33 * nominal);
  const double wantBefore = nominal * demo::DopplerRatio(demo::Track::At(demo::Track::kHalfStraight - v * dt, v));
  const double wantAfter = nominal * demo::DopplerRatio(demo::Track::At(demo::Track::kHalfStraight + v * dt, v));
  std::printf("car at %.0f m/s, engine %.1f Hz: %.1f Hz before the closest point (formula %.1f), %.1f Hz after "
              "(formula %.1f)\n", v, nominal, before, wantBefore, after, wantAfter);
  EXPECT_GT(before, nominal);
  EXPECT_LT(after, nominal);
  EXPECT_NEAR(before / wantBefore, 1.0, 0.02);
  EXPECT_NEAR(after / wantAfter, 1.0, 0.02);

  // The lead car's speed glides to what the buttons ask, a step of 5 m/s each.
  SendMessageA(GetDlgItem(dlg_, IDC_FASTER), BM_CLICK, 0, 0);
  SendMessageA(GetDlgItem(dlg_, IDC_FASTER), BM_CLICK, 0, 0);
  EXPECT_TRUE(WaitUntil([&] { return ItemText(IDC_STATUS) == "Lead car: 38 m/s"; }));
  SendMessageA(GetDlgItem(dlg_, IDC_SLOWER), BM_CLICK, 0, 0);
  EXPECT_TRUE(WaitUntil([&] { return ItemText(IDC_STATUS) == "Lead car: 33 m/s"; }));
}

// 5 ms stretches of silence in a recording: how an underrun is heard.
int SilentGaps(const std::vector<short>& s) {
  int gaps = 0;
  for (size_t a = 0; a + 240 <= s.size() / 2; a += 240) {
    int peak = 0;
    for (size_t i = a; i < a + 240; ++i) peak = std::max({peak, std::abs(int(s[2 * i])), std::abs(int(s[2 * i + 1]))});
    if (peak <= 4) ++gaps;
  }
  return gaps;
}

TEST_F(Demo, TwoHundredFiftySixBeesRenderWithoutAGap) {
  Start(ZEPHRA_DEMO_BEES, "Killer Bees");
  HWND slider = GetDlgItem(dlg_, IDC_BEES);
  ASSERT_EQ(SendMessageA(slider, TBM_GETRANGEMAX, 0, 0), 256) << "a voice for every bee";
  int gaps = -1;
  for (int n : {1, 64, 256}) {
    SendMessageA(slider, TBM_SETPOS, TRUE, n);
    SendMessageA(dlg_, WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, n), reinterpret_cast<LPARAM>(slider));
    ASSERT_EQ(ItemText(IDC_BEE_COUNT), "Bees: " + std::to_string(n));
    // The load is read once a second: wait for a reading over this count alone.
    const std::string was = ItemText(IDC_LOAD);
    EXPECT_TRUE(WaitUntil([&] { return ItemText(IDC_LOAD) != was; }, 5000));
    // A stall of the shared machine itself can drop a block now and then: at the full swarm
    // a clean 4 s is asked for within three listens, and every count is printed.
    for (int listen = 0; listen < (n == 256 ? 3 : 1); ++listen) {
      const std::vector<short> s = Listen(4.0);
      ASSERT_GE(s.size(), size_t(2 * kRate * 4));
      gaps = SilentGaps(s);
      std::printf("%d bees: %s; %d silent 5 ms gaps in 4 s\n", n, ItemText(IDC_LOAD).c_str(), gaps);
      if (gaps == 0) break;
    }
  }
  EXPECT_EQ(gaps, 0) << "with 256 bees";
}

}  // namespace
