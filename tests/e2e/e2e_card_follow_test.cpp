// The Trivox engine follows the card: what the Config and Preferences pages set reaches a
// Trivox device of this process, read back from the engine's trace and heard in the capture.
#include <gtest/gtest.h>
#include <windows.h>

#include <dsound.h>
#include <prsht.h>

#include <cmath>
#include <cstdio>
#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>

#include "E2eSupport.h"
#include "shared/card/CardClient.h"
#include "SoundProbe.h"
#include "shared/names/Names.h"

using namespace e2e;

namespace {

const char kControlKey[] = "Software\\Orvane\\Zephra\\ControlPanel";
constexpr int kOutput = 1008, kTest = 1081, kSpeed = 30023, kEqEnable = 1164;
const char kQuestion[] = "The change to Trivox mode will take effect after you reboot your system.\n\n"
                         "Are you sure that you want to make this change?";

class TrivoxFollowsCard : public ::testing::Test {
 protected:
  void SetUp() override {
    if (IsNT()) GTEST_SKIP() << "the Config page exists on Windows 95/98 only";
    EndAll();
    ASSERT_TRUE(SetCardDevices(kAllDevices, &devices_)) << "virtual card missing";
    kv22::CardClient card;
    ASSERT_TRUE(card.Open() && card.ResetState());
    SetDword(HKEY_CURRENT_USER, kPrefsKey, "TaskBarIconEnable", 0);
    SetDword(HKEY_CURRENT_USER, kPrefsKey, "PROPSHEET_PAGE", 0);
    char dir[MAX_PATH];
    GetTempPathA(sizeof dir, dir);
    trace_ = std::string(dir) + "trivox-card-trace.txt";
    DeleteFileA(trace_.c_str());
    SetEnvironmentVariableA("TRIVOX_TRACE", trace_.c_str());
  }
  void TearDown() override {
    EndAll();
    SetEnvironmentVariableA("TRIVOX_TRACE", nullptr);
    DeleteFileA(trace_.c_str());
    kv22::CardClient card;
    if (card.Open()) card.ResetState();
    SetCardDevices(devices_);
  }
  // The sheet of a copy that opens it at once, on page `index`.
  HWND OpenSheetPage(int index, int control) {
    procs_.push_back(Process::Start());
    HWND sheet = WaitForSheet();
    if (!sheet) return nullptr;
    SendMessageA(sheet, PSM_SETCURSEL, static_cast<WPARAM>(index), 0);
    HWND page = nullptr;
    WaitUntil([&] {
      page = reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
      return page && GetDlgItem(page, control);
    });
    return page;
  }
  // The card lines of the trace since the last call, waiting until one of them says `what`.
  bool Traced(const std::string& what, DWORD timeoutMs = 10000) {
    return WaitUntil([&] {
      std::ifstream f(trace_);
      std::stringstream all;
      all << f.rdbuf();
      const std::string text = all.str();
      const size_t at = text.find(what, seen_);
      if (at == std::string::npos) return false;
      seen_ = text.find('\n', at);
      return true;
    }, timeoutMs);
  }
  std::string TraceText() const {
    std::ifstream f(trace_);
    std::stringstream all;
    all << f.rdbuf();
    return all.str();
  }

  Bands Measure(const std::vector<double>& edges, int blocks = 8) const {
    return MeasureBands(capture_, edges, blocks);
  }

  Capture capture_;
  std::vector<Process> procs_;
  DWORD devices_ = kAllDevices;
  std::string trace_;
  size_t seen_ = 0;
  SplashOff splash_;
  RegistryGuard prefs_{HKEY_CURRENT_USER, kPrefsKey, {"TaskBarIconEnable", "PROPSHEET_LEFT", "PROPSHEET_TOP",
                                                      "PROPSHEET_PAGE"}};
  RegistryGuard control_{HKEY_LOCAL_MACHINE, kControlKey, {"OutputMode", "TrivoxMode"}};
};

void SelectOutput(HWND page, int index) {
  HWND combo = GetDlgItem(page, kOutput);
  SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  SendMessageA(page, WM_COMMAND, MAKEWPARAM(kOutput, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
}

HWND FindQuestion() {
  for (HWND w : FindAllVisible("#32770", nullptr))
    if (HWND s = GetDlgItem(w, 0xFFFF); s && Text(s) == kQuestion) return w;
  return nullptr;
}

TEST_F(TrivoxFollowsCard, SpeedOptimizedAnsweredYesIsTheNextDevicesMode) {
  DeleteValue(HKEY_LOCAL_MACHINE, kControlKey, "TrivoxMode");
  {
    TrivoxDevice before;
    ASSERT_TRUE(before.Ok());
    EXPECT_TRUE(Traced("mode quality")) << TraceText();
  }
  HWND page = OpenSheetPage(0, kTest);
  ASSERT_NE(page, nullptr);
  PostMessageA(GetDlgItem(page, kSpeed), BM_CLICK, 0, 0);
  HWND box = nullptr;
  ASSERT_TRUE(WaitUntil([&] { return (box = FindQuestion()) != nullptr; }, 5000));
  PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDYES, BN_CLICKED), 0);
  ASSERT_TRUE(WaitUntil([&] { return FindQuestion() == nullptr; }, 3000));
  TrivoxDevice after;
  ASSERT_TRUE(after.Ok());
  EXPECT_TRUE(Traced("mode speed")) << TraceText();
}

TEST_F(TrivoxFollowsCard, ExternalSpeakersReachARunningDevice) {
  SetDword(HKEY_LOCAL_MACHINE, kControlKey, "OutputMode", 0);
  HWND page = OpenSheetPage(0, kTest);
  ASSERT_NE(page, nullptr);
  TrivoxDevice device;
  ASSERT_TRUE(device.Ok());
  EXPECT_TRUE(Traced("output headphones")) << TraceText();
  SelectOutput(page, 1);
  EXPECT_TRUE(Traced("output speakers")) << TraceText();
  SelectOutput(page, 0);
  EXPECT_TRUE(Traced("output headphones")) << TraceText();
}

TEST_F(TrivoxFollowsCard, EqualiserSwitchedOnInThePreferencesPageReachesTheDeviceWithinASecond) {
  HWND page = OpenSheetPage(3, kEqEnable);
  ASSERT_NE(page, nullptr);
  ASSERT_TRUE(IsWindowVisible(GetDlgItem(page, kEqEnable))) << "a board with the equaliser";
  TrivoxDevice device;
  ASSERT_TRUE(device.Ok());
  EXPECT_TRUE(Traced("equaliser off")) << TraceText();
  SendMessageA(GetDlgItem(page, kEqEnable), BM_CLICK, 0, 0);
  EXPECT_TRUE(Traced("equaliser on", 1000)) << TraceText();
}


// Over speakers each ear also hears the far speaker, so the canceller feeds that speaker a
// cancelling copy of the near one's signal; across a band of noise its power adds to the far
// feed, and the feeds' level difference comes out below the binaural one wherever the delay
// between the speaker paths turns the phase (from about 500 Hz on).
TEST_F(TrivoxFollowsCard, ExternalSpeakersShrinkTheFeedsLevelDifferenceOfASourceAtTheSide) {
  ASSERT_TRUE(capture_.Available()) << "run through e2e_capture.sh";
  SetDword(HKEY_LOCAL_MACHINE, kControlKey, "OutputMode", 0);
  HWND page = OpenSheetPage(0, kTest);
  ASSERT_NE(page, nullptr);
  TrivoxDevice device;
  ASSERT_TRUE(device.PlayNoise(2, 0));
  ASSERT_TRUE(Traced("output headphones")) << TraceText();
  ASSERT_GE(capture_.WaitForSound(capture_.Now(), -40), 0) << "the noise is heard";
  const std::vector<double> edges = {250, 500, 1000, 2000, 4000, 8000};
  const Bands phones = Measure(edges);
  SelectOutput(page, 1);
  ASSERT_TRUE(Traced("output speakers")) << TraceText();
  ASSERT_TRUE(capture_.WaitPast(capture_.Now() + Capture::kRate / 4)) << "past what was queued before";
  const Bands speakers = Measure(edges);
  for (size_t j = 0; j + 1 < edges.size(); ++j) {
    const double ildPhones = Db(phones.right[j]) - Db(phones.left[j]);
    const double ildSpeakers = Db(speakers.right[j]) - Db(speakers.left[j]);
    std::printf("[ figures ] %5.0f-%5.0f Hz: ILD headphones %5.1f dB, speaker feeds %5.1f dB\n", edges[j],
                edges[j + 1], ildPhones, ildSpeakers);
    EXPECT_GT(ildPhones, 3) << "the right ear is the near one";
    if (edges[j] >= 500) {
      EXPECT_LT(ildSpeakers, ildPhones - 1.5) << edges[j] << " Hz";
    }
  }
}

// With no input chosen the curve cuts below 60 Hz and lifts 3 kHz by 2 dB.
TEST_F(TrivoxFollowsCard, EqualiserSwitchedOnChangesTheCapturedSpectrumWithinASecond) {
  ASSERT_TRUE(capture_.Available()) << "run through e2e_capture.sh";
  HWND page = OpenSheetPage(3, kEqEnable);
  ASSERT_NE(page, nullptr);
  ASSERT_TRUE(IsWindowVisible(GetDlgItem(page, kEqEnable))) << "a board with the equaliser";
  TrivoxDevice device;
  ASSERT_TRUE(device.PlayNoise(0, 2));
  ASSERT_TRUE(Traced("equaliser off")) << TraceText();
  ASSERT_GE(capture_.WaitForSound(capture_.Now(), -40), 0) << "the noise is heard";
  const std::vector<double> edges = {20, 45, 2500, 3500};
  const Bands off = Measure(edges);
  SendMessageA(GetDlgItem(page, kEqEnable), BM_CLICK, 0, 0);
  ASSERT_TRUE(capture_.WaitPast(capture_.Now() + Capture::kRate));
  const Bands on = Measure(edges, 4);
  const double low = Db(on.left[0] + on.right[0]) - Db(off.left[0] + off.right[0]);
  const double mid = Db(on.left[2] + on.right[2]) - Db(off.left[2] + off.right[2]);
  std::printf("[ figures ] equaliser on: 20-45 Hz %+.1f dB, 2.5-3.5 kHz %+.1f dB\n", low, mid);
  EXPECT_LT(low, -6);
  EXPECT_GT(mid, 1);
  EXPECT_LT(mid, 3);
}

}  // namespace
