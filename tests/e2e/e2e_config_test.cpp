// The Config page driven through its real windows: output device, output test with what
// it actually plays (measured on the recording of the sound server's null sink), and the
// rendering mode.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>
#include <prsht.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "E2eSupport.h"
#include "shared/card/CardClient.h"

using namespace e2e;

namespace {

const char kControlKey[] = "Software\\Orvane\\Zephra\\ControlPanel";
constexpr int kOutput = 1008, kTest = 1081, kPicLeft = 1089, kPicRight = 1090, kPicHeadphones = 1094;
constexpr int kRenderGroup = 30021, kQuality = 30022, kSpeed = 30023;

// ---- the recording

constexpr int kRate = Capture::kRate;

double Db(double rms) { return rms > 0 ? 20.0 * std::log10(rms / 32768.0) : -150.0; }

// A stretch of the recording in which one channel leads.
struct Segment {
  bool left;
  int windows = 0;  // 10 ms each
  double sumL = 0, sumR = 0;
  double LevelL() const { return Db(std::sqrt(sumL / (windows * 480.0))); }
  double LevelR() const { return Db(std::sqrt(sumR / (windows * 480.0))); }
  double Seconds() const { return windows / 100.0; }
};

// Splits the recording into runs of sounding 10 ms windows led by the same channel.
std::vector<Segment> Segments(const std::vector<short>& s, double thresholdDb = -50) {
  std::vector<Segment> out;
  const size_t window = 480;
  for (size_t at = 0; at + window * 2 <= s.size(); at += window * 2) {
    double l = 0, r = 0;
    for (size_t i = 0; i < window; ++i) {
      l += double(s[at + 2 * i]) * s[at + 2 * i];
      r += double(s[at + 2 * i + 1]) * s[at + 2 * i + 1];
    }
    const double loud = Db(std::sqrt(std::max(l, r) / window));
    if (loud < thresholdDb) continue;
    const bool left = l >= r;
    if (out.empty() || out.back().left != left) out.push_back(Segment{left});
    out.back().windows++;
    out.back().sumL += l;
    out.back().sumR += r;
  }
  // A window or two at a tone's edge may lean either way: fold them into their neighbours.
  std::vector<Segment> merged;
  for (const Segment& g : out) {
    if (g.windows <= 2 && !merged.empty()) continue;
    if (!merged.empty() && merged.back().left == g.left) {
      merged.back().windows += g.windows;
      merged.back().sumL += g.sumL;
      merged.back().sumR += g.sumR;
    } else {
      merged.push_back(g);
    }
  }
  return merged;
}

double PeakDb(const std::vector<short>& s) {
  int peak = 0;
  for (short v : s) peak = std::max(peak, std::abs(static_cast<int>(v)));
  return Db(peak);
}

// ---- the page

HWND FindConfigPage(HWND sheet) {
  HWND found = nullptr;
  WaitUntil([&] {
    HWND page = reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
    if (page && GetDlgItem(page, kTest)) found = page;
    return found != nullptr;
  });
  return found;
}

HICON IconOf(HWND page, int id) {
  return reinterpret_cast<HICON>(SendMessageA(GetDlgItem(page, id), STM_GETICON, 0, 0));
}

void SelectOutput(HWND page, int index) {
  HWND combo = GetDlgItem(page, kOutput);
  SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  SendMessageA(page, WM_COMMAND, MAKEWPARAM(kOutput, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
}

void Click(HWND page, int id) { PostMessageA(GetDlgItem(page, id), BM_CLICK, 0, 0); }

bool ButtonReads(HWND page, const char* text) { return Text(GetDlgItem(page, kTest)) == text; }

// A visible message box of any caption whose text is `text`.
HWND FindMessageBox(const std::string& text) {
  for (HWND w : FindAllVisible("#32770", nullptr))
    if (HWND s = GetDlgItem(w, 0xFFFF); s && Text(s) == text) return w;
  return nullptr;
}

std::vector<kv22::LogEntry> CardRequests(uint32_t code) {
  kv22::CardClient card;
  std::vector<kv22::LogEntry> log, out;
  if (card.Open() && card.ReadLog(log))
    for (const auto& e : log)
      if (e.code == code) out.push_back(e);
  return out;
}

std::vector<kv22::LogEntry> CoreRequests() { return CardRequests(kv22::kSetOutputMode); }

// Frames of the recording that an installed tone lasts (44-byte header, 16-bit mono 44.1 kHz).
long long ToneFrames(const char* name) {
  WIN32_FILE_ATTRIBUTE_DATA a{};
  const std::string path = std::string(kProgramDir) + name;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &a) || a.nFileSizeLow < 44) return kRate;
  return static_cast<long long>(a.nFileSizeLow - 44) / 2 * kRate / 44100;
}

void ClearCardLog() {
  kv22::CardClient card;
  ASSERT_TRUE(card.Open() && card.ClearLog());
}

bool ReadDword(const char* name, DWORD* v) {
  std::string data;
  DWORD type = 0;
  if (!ReadValue(HKEY_LOCAL_MACHINE, kControlKey, name, &data, &type) || type != REG_DWORD || data.size() != 4)
    return false;
  std::memcpy(v, data.data(), 4);
  return true;
}

// Changes the running card's answers; the previous configuration comes back with the guard.
class CardConfigGuard {
 public:
  CardConfigGuard() {
    kv22::CardClient card;
    kv22::CardStatus st{};
    ok_ = card.Open() && card.GetStatus(st);
    saved_ = st.config;
  }
  ~CardConfigGuard() {
    kv22::CardClient card;
    if (ok_ && card.Open()) card.SetConfig(saved_);
  }
  bool Set(void (*change)(kv22::CardConfig&)) {
    kv22::CardConfig cfg = saved_;
    change(cfg);
    kv22::CardClient card;
    return ok_ && card.Open() && card.SetConfig(cfg);
  }

 private:
  bool ok_ = false;
  kv22::CardConfig saved_{};
};

class Config : public ::testing::Test {
 protected:
  void SetUp() override {
    if (IsNT()) GTEST_SKIP() << "the Config page exists on Windows 95/98 only";
    EndAll();
    ASSERT_TRUE(SetCardDevices(kAllDevices, &devices_)) << "virtual card missing";
    SetDword(HKEY_CURRENT_USER, kPrefsKey, "TaskBarIconEnable", 0);
    SetDword(HKEY_CURRENT_USER, kPrefsKey, "PROPSHEET_PAGE", 0);
    SetDword(HKEY_LOCAL_MACHINE, kControlKey, "OutputMode", 1);
  }
  void TearDown() override {
    EndAll();
    SetCardDevices(devices_);
  }
  // Starts a copy that opens its sheet at once, and finds the Config page on it.
  HWND OpenPage() {
    procs_.push_back(Process::Start());
    HWND sheet = WaitForSheet();
    if (!sheet) return nullptr;
    sheet_ = sheet;
    return FindConfigPage(sheet);
  }

  std::vector<Process> procs_;
  DWORD devices_ = kAllDevices;
  HWND sheet_ = nullptr;
  RegistryGuard prefs_{HKEY_CURRENT_USER, kPrefsKey,
                       {"TaskBarIconEnable", "PROPSHEET_LEFT", "PROPSHEET_TOP", "PROPSHEET_PAGE"}};
  RegistryGuard control_{HKEY_LOCAL_MACHINE, kControlKey, {"OutputMode", "TrivoxMode"}};
  Capture capture_;
};

// Icon changes of each picture while the test runs, until the button reads "Begin Test".
struct Blinks {
  int left = 0, right = 0, headphones = 0;
  int rightBeforeLastLeft = 0;  // right-picture changes seen before the left one stopped
};

Blinks WatchTest(HWND page, DWORD timeoutMs = 15000) {
  Blinks b;
  HICON l = IconOf(page, kPicLeft), r = IconOf(page, kPicRight), h = IconOf(page, kPicHeadphones);
  WaitUntil([&] {
    HICON nl = IconOf(page, kPicLeft), nr = IconOf(page, kPicRight), nh = IconOf(page, kPicHeadphones);
    if (nl != l) b.left++;
    if (nr != r) b.right++;
    if (nh != h) b.headphones++;
    if (nl != l && b.right > 0) b.rightBeforeLastLeft = b.right;
    l = nl, r = nr, h = nh;
    return ButtonReads(page, "Begin Test");
  }, timeoutMs);
  return b;
}

TEST_F(Config, InstalledTonesAreShortMonoPcmAt44100) {
  for (const char* name : {"l.wav", "r.wav"}) {
    const std::string path = std::string(kProgramDir) + name;
    HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE) << name;
    unsigned char h[44] = {};
    DWORD got = 0;
    ReadFile(f, h, sizeof h, &got, nullptr);
    const DWORD size = GetFileSize(f, nullptr);
    CloseHandle(f);
    ASSERT_EQ(got, 44u) << name;
    auto u16 = [&](int at) { return h[at] | (h[at + 1] << 8); };
    auto u32 = [&](int at) { return static_cast<DWORD>(u16(at) | (u16(at + 2) << 16)); };
    EXPECT_EQ(std::string(reinterpret_cast<char*>(h) + 8, 8), "WAVEfmt ") << name;
    EXPECT_EQ(u32(16), 16u);
    EXPECT_EQ(u16(20), 1);      // PCM
    EXPECT_EQ(u16(22), 1);      // mono
    EXPECT_EQ(u32(24), 44100u);
    EXPECT_EQ(u16(34), 16);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(h) + 36, 4), "data");
    EXPECT_EQ(u32(40), size - 44);
    const double seconds = (size - 44) / 88200.0;
    EXPECT_GT(seconds, 0.3) << name;
    EXPECT_LT(seconds, 2.0) << name;
  }
}

TEST_F(Config, OutputTestPlaysLeftThenRightOnTheirOwnChannels) {
  ASSERT_TRUE(capture_.Available()) << "run under e2e_capture.sh";
  HWND page = OpenPage();
  ASSERT_NE(page, nullptr);
  EXPECT_TRUE(ButtonReads(page, "Begin Test"));
  EXPECT_TRUE(IsWindowVisible(GetDlgItem(page, kPicLeft)));
  EXPECT_FALSE(IsWindowVisible(GetDlgItem(page, kPicHeadphones)));

  const long long from = capture_.Running();
  ASSERT_GT(from, 0) << "the recording does not run";
  Click(page, kTest);
  ASSERT_TRUE(WaitUntil([&] { return ButtonReads(page, "End Test"); }, 3000));
  const Blinks blinks = WatchTest(page);
  EXPECT_TRUE(ButtonReads(page, "Begin Test"));
  // The recording lags the button: wait for the right tone to have died away in it.
  EXPECT_TRUE(capture_.WaitForSilence(capture_.Now(), 200));
  const long long to = capture_.Now();

  // Each tone blinks its own speaker, one after the other.
  EXPECT_GE(blinks.left, 3);
  EXPECT_GE(blinks.right, 3);
  EXPECT_LE(blinks.rightBeforeLastLeft, 1);

  const std::vector<Segment> seg = Segments(capture_.Read(from, to));
  for (const Segment& g : seg)
    std::printf("segment %s: %.2f s, left %.1f dBFS, right %.1f dBFS\n", g.left ? "left " : "right", g.Seconds(),
                g.LevelL(), g.LevelR());
  ASSERT_EQ(seg.size(), 2u);
  EXPECT_TRUE(seg[0].left);
  EXPECT_FALSE(seg[1].left);
  for (const Segment& g : seg) {
    EXPECT_GT(g.Seconds(), 0.45);
    EXPECT_LT(g.Seconds(), 0.9);
  }
  EXPECT_GT(seg[0].LevelL(), -30);
  EXPECT_LT(seg[0].LevelR(), seg[0].LevelL() - 40);
  EXPECT_GT(seg[1].LevelR(), -30);
  EXPECT_LT(seg[1].LevelL(), seg[1].LevelR() - 40);
}

TEST_F(Config, HeadphonesBlinkWhileTheirToneSounds) {
  SetDword(HKEY_LOCAL_MACHINE, kControlKey, "OutputMode", 0);
  HWND page = OpenPage();
  ASSERT_NE(page, nullptr);
  EXPECT_TRUE(IsWindowVisible(GetDlgItem(page, kPicHeadphones)));
  EXPECT_FALSE(IsWindowVisible(GetDlgItem(page, kPicLeft)));
  const HICON rest = IconOf(page, kPicHeadphones);
  Click(page, kTest);
  ASSERT_TRUE(WaitUntil([&] { return ButtonReads(page, "End Test"); }, 3000));
  const Blinks blinks = WatchTest(page);
  EXPECT_GE(blinks.headphones, 6);  // both tones
  EXPECT_EQ(blinks.left, 0);
  EXPECT_EQ(IconOf(page, kPicHeadphones), rest);  // back at rest at the end
}

TEST_F(Config, EndTestStopsTheSoundAtOnce) {
  ASSERT_TRUE(capture_.Available()) << "run under e2e_capture.sh";
  HWND page = OpenPage();
  ASSERT_NE(page, nullptr);
  const long long from = capture_.Running();
  ASSERT_GT(from, 0) << "the recording does not run";
  Click(page, kTest);
  ASSERT_TRUE(WaitUntil([&] { return ButtonReads(page, "End Test"); }, 3000));
  ASSERT_GE(capture_.WaitForSound(from), 0) << "the left tone never sounded";
  const long long stopAt = capture_.Now();
  Click(page, kTest);
  EXPECT_TRUE(WaitUntil([&] { return ButtonReads(page, "Begin Test"); }, 1000));
  capture_.WaitPast(stopAt + kRate * 12 / 10);

  const double before = PeakDb(capture_.Read(from, stopAt));
  // What the server still held when Stop came may trail for a few tens of milliseconds.
  const double after = PeakDb(capture_.Read(stopAt + kRate * 15 / 100, stopAt + kRate * 12 / 10));
  std::printf("before End Test %.1f dBFS peak, from 150 ms after it %.1f dBFS peak\n", before, after);
  EXPECT_GT(before, -20);
  EXPECT_LT(after, -80);
}

TEST_F(Config, MissingRightToneEndsTheTestAfterTheLeftTone) {
  ASSERT_TRUE(capture_.Available()) << "run under e2e_capture.sh";
  const FileAway right(std::string(kProgramDir) + "r.wav");
  ASSERT_TRUE(right.Moved());

  HWND page = OpenPage();
  ASSERT_NE(page, nullptr);
  const long long from = capture_.Running();
  ASSERT_GT(from, 0) << "the recording does not run";
  Click(page, kTest);
  ASSERT_TRUE(WaitUntil([&] { return ButtonReads(page, "End Test"); }, 3000));
  const Blinks blinks = WatchTest(page);
  EXPECT_TRUE(ButtonReads(page, "Begin Test"));
  EXPECT_GE(blinks.left, 3);
  EXPECT_EQ(blinks.right, 0);
  // A right tone follows the left one at once: listen for as long as the left tone
  // lasted, counted from the end of the test.
  const long long ended = capture_.Now();
  EXPECT_TRUE(capture_.WaitForSilence(ended, 200));
  const std::vector<Segment> left = Segments(capture_.Read(from, capture_.Now()));
  ASSERT_FALSE(left.empty()) << "the left tone never sounded";
  EXPECT_TRUE(capture_.WaitPast(ended + left[0].windows * kRate / 100));
  const std::vector<Segment> seg = Segments(capture_.Read(from, capture_.Now()));
  ASSERT_EQ(seg.size(), 1u);
  EXPECT_TRUE(seg[0].left);
}

// A tone cut short (its header still counting every byte) plays what it holds; one cut
// inside its header cannot load, and the test does not start.
TEST_F(Config, TruncatedTonesPlayWhatTheyHoldOrKeepTheTestFromStarting) {
  ASSERT_TRUE(capture_.Available()) << "run under e2e_capture.sh";
  const auto cut = [](const FileAway& f, size_t bytes) {
    std::ifstream in(f.Aside(), std::ios::binary);
    const std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::ofstream(f.Path(), std::ios::binary) << all.substr(0, bytes);
    return all.size();
  };
  const FileAway right(std::string(kProgramDir) + "r.wav");
  ASSERT_TRUE(right.Moved());
  const size_t whole = cut(right, 0);
  ASSERT_GT(whole, 44u + 8820);
  const size_t half = 44 + ((whole - 44) / 2 & ~size_t{1});
  cut(right, half);

  HWND page = OpenPage();
  ASSERT_NE(page, nullptr);
  long long from = capture_.Running();
  ASSERT_GT(from, 0) << "the recording does not run";
  Click(page, kTest);
  ASSERT_TRUE(WaitUntil([&] { return ButtonReads(page, "End Test"); }, 3000));
  WatchTest(page);
  EXPECT_TRUE(ButtonReads(page, "Begin Test"));
  EXPECT_TRUE(capture_.WaitForSilence(capture_.Now(), 200));
  const std::vector<Segment> seg = Segments(capture_.Read(from, capture_.Now()));
  ASSERT_EQ(seg.size(), 2u);
  EXPECT_FALSE(seg[1].left);
  const double expected = (half - 44) / 88200.0;
  std::printf("right tone cut to %.3f s: heard %.2f s\n", expected, seg[1].Seconds());
  EXPECT_NEAR(seg[1].Seconds(), expected, 0.08);

  const FileAway left(std::string(kProgramDir) + "l.wav");
  ASSERT_TRUE(left.Moved());
  cut(left, 30);
  from = capture_.Now();
  Click(page, kTest);
  ASSERT_TRUE(Settled(page));
  EXPECT_TRUE(ButtonReads(page, "Begin Test"));
  EXPECT_TRUE(capture_.WaitForSilence(from, 500)) << "nothing plays";
  EXPECT_TRUE(Segments(capture_.Read(from, capture_.Now())).empty());
}

TEST_F(Config, WithoutDirectSoundBeginTestSaysSoAndPlaysNothing) {
  ASSERT_TRUE(capture_.Available()) << "run under e2e_capture.sh";
  const DllTakenAway dsound("ZephraCtrl.exe", "dsound");
  ASSERT_TRUE(dsound.Set());
  HWND page = OpenPage();
  ASSERT_NE(page, nullptr);
  const long long from = capture_.Now();
  for (int click = 0; click < 2; ++click) {
    Click(page, kTest);
    HWND box = nullptr;
    if (!WaitUntil([&] { return (box = FindMessageBox("No DSound avaliable")) != nullptr; }, 5000)) {
      for (HWND w : FindAllVisible(nullptr, nullptr)) {
        char c[64] = {};
        GetClassNameA(w, c, sizeof c);
        std::printf("window %s '%s' static '%s' button '%s'\n", c, Text(w).c_str(), Text(GetDlgItem(w, 0xFFFF)).c_str(), Text(GetDlgItem(page, kTest)).c_str());
      }
      FAIL() << click;
    }
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    ASSERT_TRUE(WaitUntil([&] { return FindMessageBox("No DSound avaliable") == nullptr; }, 3000));
    EXPECT_TRUE(ButtonReads(page, "Begin Test"));
  }
  // A tone of either click would have sounded within a tone's length of the last box.
  EXPECT_TRUE(capture_.WaitPast(capture_.Now() + ToneFrames("l.wav")));
  EXPECT_LT(PeakDb(capture_.Read(from, capture_.Now())), -80);
}

TEST_F(Config, ExternalSpeakersGoToTheCoreDriverAndTheRegistry) {
  SetDword(HKEY_LOCAL_MACHINE, kControlKey, "OutputMode", 0);
  ClearCardLog();
  HWND page = OpenPage();
  ASSERT_NE(page, nullptr);
  // The first Config page of a process sends nothing.
  EXPECT_TRUE(CoreRequests().empty());

  SelectOutput(page, 1);
  std::vector<kv22::LogEntry> sent = CoreRequests();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].device, kv22::kDevCore);
  EXPECT_EQ(sent[0].inLength, 16u);
  EXPECT_EQ(sent[0].status, kv22::kOk);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(sent[0].in[i], (i == 8 || i == 9) ? 0xFF : 0x00) << "byte " << i;
  DWORD stored = 99;
  ASSERT_TRUE(ReadDword("OutputMode", &stored));
  EXPECT_EQ(stored, 1u);
  EXPECT_TRUE(IsWindowVisible(GetDlgItem(page, kPicLeft)));
  EXPECT_FALSE(IsWindowVisible(GetDlgItem(page, kPicHeadphones)));

  // The same choice again asks nothing.
  SelectOutput(page, 1);
  EXPECT_EQ(CoreRequests().size(), 1u);

  // A refused request keeps the stored choice; the pictures follow the combo box.
  CardConfigGuard card;
  ASSERT_TRUE(card.Set([](kv22::CardConfig& c) {
    c.fail[c.failCount++] = kv22::FailRule{kv22::kSetOutputMode, kv22::DeviceBit(kv22::kDevCore)};
  }));
  SelectOutput(page, 0);
  sent = CoreRequests();
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_NE(sent[1].status, kv22::kOk);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(sent[1].in[i], 0x00) << "byte " << i;
  ASSERT_TRUE(ReadDword("OutputMode", &stored));
  EXPECT_EQ(stored, 1u);
  EXPECT_TRUE(IsWindowVisible(GetDlgItem(page, kPicHeadphones)));
  EXPECT_FALSE(IsWindowVisible(GetDlgItem(page, kPicLeft)));
}

TEST_F(Config, SecondPageOfAProcessSendsTheStoredChoiceOnce) {
  SetDword(HKEY_CURRENT_USER, kPrefsKey, "TaskBarIconEnable", 1);
  SetDword(HKEY_LOCAL_MACHINE, kControlKey, "OutputMode", 1);
  ClearCardLog();
  Process resident = StartResident();
  for (int opening = 0; opening < 2; ++opening) {
    Process opener = Process::Start();  // hands over to the resident copy
    HWND sheet = WaitForSheet();
    ASSERT_NE(sheet, nullptr) << opening;
    ASSERT_NE(FindConfigPage(sheet), nullptr);
    // The page asks for the card's capability after its output request, if any.
    EXPECT_TRUE(WaitUntil([&] { return CardRequests(kv22::kGetPerformanceFeature).size() >= opening + 1u; }));
    const std::vector<kv22::LogEntry> sent = CoreRequests();
    if (opening == 0) {
      EXPECT_TRUE(sent.empty());
    } else {
      ASSERT_EQ(sent.size(), 1u);
      EXPECT_EQ(sent[0].in[8], 0xFF);
      EXPECT_EQ(sent[0].in[9], 0xFF);
    }
    CloseSheet(sheet, IDOK);
    ASSERT_TRUE(WaitUntil([] { return WaitForSheet(0) == nullptr; }, 5000));
  }
  DWORD stored = 0;
  ASSERT_TRUE(ReadDword("OutputMode", &stored));
  EXPECT_EQ(stored, 1u);
}

TEST_F(Config, RenderingModeGroupFollowsTheCapabilityTest) {
  CardConfigGuard card;
  {
    ASSERT_TRUE(card.Set([](kv22::CardConfig& c) { c.level = 199; }));
    HWND page = OpenPage();
    ASSERT_NE(page, nullptr);
    for (int id : {kRenderGroup, kQuality, kSpeed}) EXPECT_FALSE(IsWindowVisible(GetDlgItem(page, id))) << id;
    EndAll();
  }
  {
    // Both queries failing count as a capable card.
    ASSERT_TRUE(card.Set([](kv22::CardConfig& c) {
      c.level = 0;
      c.feature = 0;
      c.fail[c.failCount++] = kv22::FailRule{kv22::kGetPerformanceLevel, kv22::DeviceBit(kv22::kDevWavetable)};
      c.fail[c.failCount++] = kv22::FailRule{kv22::kGetPerformanceFeature, kv22::DeviceBit(kv22::kDevWavetable)};
    }));
    HWND page = OpenPage();
    ASSERT_NE(page, nullptr);
    for (int id : {kRenderGroup, kQuality, kSpeed}) EXPECT_TRUE(IsWindowVisible(GetDlgItem(page, id))) << id;
  }
}

TEST_F(Config, RenderingModeAsksBeforeItStores) {
  DeleteValue(HKEY_LOCAL_MACHINE, kControlKey, "TrivoxMode");
  HWND page = OpenPage();
  ASSERT_NE(page, nullptr);
  auto checked = [&](int id) { return SendMessageA(GetDlgItem(page, id), BM_GETCHECK, 0, 0) == BST_CHECKED; };
  EXPECT_TRUE(checked(kQuality));
  EXPECT_FALSE(checked(kSpeed));
  const std::string question = "The change to Trivox mode will take effect after you reboot your system.\n\n"
                               "Are you sure that you want to make this change?";
  for (int answer : {IDNO, IDYES}) {
    Click(page, kSpeed);
    HWND box = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (box = FindMessageBox(question)) != nullptr; }, 5000));
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED), 0);
    ASSERT_TRUE(WaitUntil([&] { return FindMessageBox(question) == nullptr; }, 3000));
    DWORD stored = 99;
    if (answer == IDNO) {
      EXPECT_TRUE(WaitUntil([&] { return checked(kQuality) && !checked(kSpeed); }, 2000));
      EXPECT_FALSE(ReadDword("TrivoxMode", &stored));
    } else {
      EXPECT_TRUE(checked(kSpeed));
      ASSERT_TRUE(ReadDword("TrivoxMode", &stored));
      EXPECT_EQ(stored, 0u);
    }
  }
}

TEST_F(Config, LeavingThePageEndsTheTest) {
  HWND page = OpenPage();
  ASSERT_NE(page, nullptr);
  Click(page, kTest);
  ASSERT_TRUE(WaitUntil([&] { return ButtonReads(page, "End Test"); }, 3000));
  HWND tabs = reinterpret_cast<HWND>(SendMessageA(sheet_, PSM_GETTABCONTROL, 0, 0));
  ASSERT_NE(tabs, nullptr);
  PostMessageA(sheet_, PSM_SETCURSEL, 1, 0);
  EXPECT_TRUE(WaitUntil([&] { return ButtonReads(page, "Begin Test"); }, 2000));
  PostMessageA(sheet_, PSM_SETCURSEL, 0, 0);
  EXPECT_TRUE(WaitUntil([&] { return ActivePage(sheet_) == 0 && IsWindowVisible(page); }));
  EXPECT_TRUE(ButtonReads(page, "Begin Test"));
}

}  // namespace
