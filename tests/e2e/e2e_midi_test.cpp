// The MIDI page and the instrument-bank download, driven through their real windows, with
// the virtual card read back through its control device. e2e_midi.sh runs it with a drive
// E: that Wine is told is a CD-ROM, and once more after Wine's next start (*AfterRestart).
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>
#include <mmsystem.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "E2eSupport.h"
#include "MidiPage.h"
#include "shared/card/CardClient.h"

using namespace e2e;

namespace {

const char kWork[] = "C:\\zephra-work";
const char kCd[] = "E:\\";

std::string Read(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), {});
}
bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string WininitPath() {
  char dir[MAX_PATH];
  GetWindowsDirectoryA(dir, sizeof dir);
  GetShortPathNameA(dir, dir, sizeof dir);
  return std::string(dir) + "\\WININIT.INI";
}

std::string StringValue(const char* path, const char* name) {
  std::string data;
  DWORD type = 0;
  if (!ReadValue(HKEY_LOCAL_MACHINE, path, name, &data, &type)) return "<absent>";
  return std::string(data.c_str());
}
std::string DwordValue(const char* name) {
  std::string data;
  DWORD type = 0;
  if (!ReadValue(HKEY_LOCAL_MACHINE, kPanelKey, name, &data, &type) || data.size() != 4) return "<absent>";
  return std::to_string(*reinterpret_cast<const DWORD*>(data.data()));
}

class Midi : public MidiPageTest {
 protected:
  void Configure(const std::function<void(kv22::CardConfig&)>& change) { ASSERT_TRUE(ConfigureCard(card_, change)); }
  kv22::CardState State() { return CardStateOf(card_); }
  std::vector<kv22::LogEntry> WavetableLog() {
    std::vector<kv22::LogEntry> all, wt;
    EXPECT_TRUE(card_.ReadLog(all));
    for (const auto& e : all)
      if (e.device == kv22::kDevWavetable || e.device == kv22::kDevWavetableNt) wt.push_back(e);
    return wt;
  }
  static bool Checked(HWND page, int id) { return SendMessageA(GetDlgItem(page, id), BM_GETCHECK, 0, 0) == BST_CHECKED; }
  static void Click(HWND page, int id) { SendMessageA(GetDlgItem(page, id), BM_CLICK, 0, 0); }
  static int Pos(HWND page, int id) { return int(SendMessageA(GetDlgItem(page, id), TBM_GETPOS, 0, 0)); }
};

// ---- initialisation

TEST_F(Midi, InitialisationOnlyQueriesAndWritesNothing) {
  Configure([](kv22::CardConfig& c) { c.perfClass = 6; });
  // The sheet sets up its first page whichever it shows, and on 9x that is the Config page,
  // which asks the card too: there the log starts once another page is showing.
  const auto clear = [&] { EXPECT_TRUE(card_.ClearLog()); };
  if (IsNT()) clear();
  HWND page = IsNT() ? OpenPage() : OpenPage(clear);
  ASSERT_NE(page, nullptr);
  EXPECT_TRUE(Checked(page, kMode0)) << "class 6: 64 voices, pro quality";
  EXPECT_TRUE(Checked(page, kEffects)) << "level 200 with the feature";
  EXPECT_EQ(Pos(page, kReverb), 0);
  const auto log = WavetableLog();
  const uint32_t expected[] = {kv22::kGetPerformanceLevel, kv22::kGetPerformanceClass, kv22::kGetPerformanceFeature,
                               kv22::kGetPerformanceLevel, kv22::kGetPerformanceFeature};
  ASSERT_EQ(log.size(), 5u);
  for (size_t i = 0; i < log.size(); ++i) {
    EXPECT_EQ(log[i].code, expected[i]) << i;
    EXPECT_EQ(log[i].status, uint32_t(kv22::kOk)) << i;
  }
  EXPECT_EQ(DwordValue("SoftSynthMode"), "<absent>");
  EXPECT_EQ(DwordValue("BrisaWavetableEffect"), "<absent>");
  Close();

  // Stored values: no query at all, and the controls show them.
  ASSERT_TRUE(SetDword(HKEY_LOCAL_MACHINE, kPanelKey, "SoftSynthMode", 2));
  ASSERT_TRUE(SetDword(HKEY_LOCAL_MACHINE, kPanelKey, "BrisaWavetableEffect", 0));
  ASSERT_TRUE(SetDword(HKEY_LOCAL_MACHINE, kPanelKey, "ReverbAmount", 40));
  ASSERT_TRUE(SetDword(HKEY_LOCAL_MACHINE, kPanelKey, "ChorusAmount", 90));
  if (IsNT()) clear();
  page = IsNT() ? OpenPage() : OpenPage(clear);
  ASSERT_NE(page, nullptr);
  EXPECT_TRUE(Checked(page, kMode2));
  EXPECT_FALSE(Checked(page, kEffects));
  EXPECT_EQ(Pos(page, kReverb), 40);
  EXPECT_EQ(Pos(page, kChorus), 90);
  EXPECT_TRUE(WavetableLog().empty());
  Close();
}

TEST_F(Midi, NtLayoutHidesTheDestinationAndClosesTheGap) {
  if (!IsNT()) GTEST_SKIP() << "the layout of the NT family";
  // The same panel told it runs on 9x lays the page out unmoved: that is the reference.
  const char kAppKey[] = "Software\\Wine\\AppDefaults\\ZephraCtrl.exe";
  RegistryGuard app(HKEY_CURRENT_USER, kAppKey, {"Version"});
  ASSERT_TRUE(SetString(HKEY_CURRENT_USER, kAppKey, "Version", "win98"));
  HWND reference = OpenPageAt(2);
  ASSERT_NE(reference, nullptr);
  ASSERT_TRUE(IsWindowVisible(GetDlgItem(reference, kDosMidi)));
  auto place = [](HWND dialog, int id) {
    RECT d, r;
    GetWindowRect(dialog, &d);
    GetWindowRect(GetDlgItem(dialog, id), &r);
    OffsetRect(&r, -d.left, -d.top);
    return r;
  };
  const struct {
    int id, top, bottom;
  } moves[] = {{kModeGroup, 40, 0}, {kEffectsGroup, 40, 0}, {kMode0, 30, 30},      {kMode1, 20, 20},
               {kMode2, 10, 10},    {kReverbLabel, 30, 30}, {kReverb, 30, 30},     {kChorusLabel, 15, 15},
               {kChorus, 15, 15},   {kEffects, 0, 0},       {kDownload, 0, 0}};
  std::vector<RECT> unmoved;
  for (const auto& m : moves) unmoved.push_back(place(reference, m.id));
  Close();
  DeleteValue(HKEY_CURRENT_USER, kAppKey, "Version");
  for (const char* v : {"MidiOutDeviceName", "MidiOutDeviceID", "BrisaMidiOutDeviceID", "BrisaMidiInDeviceID"})
    DeleteValue(HKEY_LOCAL_MACHINE, kPanelKey, v);

  HWND page = OpenPage();
  ASSERT_NE(page, nullptr);
  EXPECT_FALSE(IsWindowVisible(GetDlgItem(page, kDosGroup)));
  EXPECT_FALSE(IsWindowVisible(GetDlgItem(page, kDosMidi)));
  for (size_t i = 0; i < unmoved.size(); ++i) {
    const auto& m = moves[i];
    const RECT want = unmoved[i], got = place(page, m.id);
    EXPECT_EQ(got.top, want.top - m.top) << m.id;
    EXPECT_EQ(got.bottom, want.bottom - m.bottom) << m.id;
    EXPECT_EQ(got.left, want.left) << m.id;
    EXPECT_EQ(got.right, want.right) << m.id;
  }
  EXPECT_EQ(StringValue(kPanelKey, "MidiOutDeviceName"), "<absent>") << "no destination stored on NT";
  EXPECT_EQ(DwordValue("BrisaMidiInDeviceID"), "<absent>");
  Close();
}

// ---- the controls

TEST_F(Midi, EachControlSendsItsRequestAndStoresItsValue) {
  HWND page = OpenPage();
  ASSERT_NE(page, nullptr);
  ASSERT_TRUE(Checked(page, kMode0));
  ASSERT_TRUE(card_.ClearLog());

  Click(page, kEffects);
  EXPECT_FALSE(Checked(page, kEffects));
  EXPECT_EQ(State().effects, 0u);
  EXPECT_EQ(DwordValue("BrisaWavetableEffect"), "0");

  Click(page, kMode1);
  EXPECT_EQ(State().softSynthMode, 1u);
  EXPECT_EQ(DwordValue("SoftSynthMode"), "1");
  ASSERT_TRUE(card_.ClearLog());
  Click(page, kMode1);
  EXPECT_TRUE(WavetableLog().empty()) << "the mode already selected sends nothing";

  // A drag: one request and one write per notification, the last with the final position.
  for (int pos = 0; pos <= 127; ++pos) Slide(page, kReverb, pos);
  Slide(page, kReverb, 127, TB_ENDTRACK);
  auto log = WavetableLog();
  ASSERT_EQ(log.size(), 129u);
  for (size_t i = 0; i < log.size(); ++i) {
    EXPECT_EQ(log[i].code, uint32_t(kv22::kSetReverbAmount));
    EXPECT_EQ(log[i].in[0], i < 128 ? i : 127) << i;
  }
  EXPECT_EQ(State().reverb, 127u);
  EXPECT_EQ(DwordValue("ReverbAmount"), "127");
  Slide(page, kChorus, 64, TB_PAGEDOWN);
  EXPECT_EQ(State().chorus, 64u);
  EXPECT_EQ(DwordValue("ChorusAmount"), "64");
  Close();
}

TEST_F(Midi, ARefusedRequestPutsTheControlBack) {
  Configure([](kv22::CardConfig& c) {
    c.failCount = 3;
    c.fail[0] = kv22::FailRule{kv22::kSetWavetableEffect, kv22::kAllDevices};
    c.fail[1] = kv22::FailRule{kv22::kSetSoftSynthMode, kv22::kAllDevices};
    c.fail[2] = kv22::FailRule{kv22::kSetChorusAmount, kv22::kAllDevices};
  });
  ASSERT_TRUE(SetDword(HKEY_LOCAL_MACHINE, kPanelKey, "ChorusAmount", 10));
  HWND page = OpenPage();
  ASSERT_NE(page, nullptr);
  ASSERT_TRUE(Checked(page, kEffects));
  Click(page, kEffects);
  EXPECT_TRUE(Checked(page, kEffects)) << "put back";
  Click(page, kMode2);
  EXPECT_TRUE(Checked(page, kMode0)) << "put back";
  EXPECT_FALSE(Checked(page, kMode2));
  Slide(page, kChorus, 50);
  EXPECT_EQ(Pos(page, kChorus), 50) << "a slider keeps its position";
  EXPECT_EQ(DwordValue("BrisaWavetableEffect"), "<absent>");
  EXPECT_EQ(DwordValue("SoftSynthMode"), "<absent>");
  EXPECT_EQ(DwordValue("ChorusAmount"), "10");
  Close();
}

TEST_F(Midi, WithoutTheWavetableDeviceSlidersSnapBackOn9x) {
  // On NT the MIDI page is the sheet's first, set up before the device could be taken away.
  if (IsNT()) GTEST_SKIP() << "the snap-back is the 9x family's";
  ASSERT_TRUE(SetDword(HKEY_LOCAL_MACHINE, kPanelKey, "ReverbAmount", 20));
  // Gone once the start-up check has found the card.
  HWND page = OpenPage([] {
    SetCardDevices(kAllDevices & ~(kv22::DeviceBit(kv22::kDevWavetable) | kv22::DeviceBit(kv22::kDevWavetableNt)));
  });
  ASSERT_NE(page, nullptr);
  Slide(page, kReverb, 100);
  EXPECT_EQ(Pos(page, kReverb), 20);
  Slide(page, kReverb, 110);
  EXPECT_EQ(Pos(page, kReverb), 20) << "back to the level last read or sent";
  EXPECT_EQ(DwordValue("ReverbAmount"), "20");
  const bool effects = Checked(page, kEffects);
  Click(page, kEffects);
  EXPECT_EQ(Checked(page, kEffects), effects) << "reverted";
  Click(page, kMode1);
  EXPECT_TRUE(Checked(page, kMode1)) << "only the radio buttons change";
  EXPECT_EQ(DwordValue("SoftSynthMode"), "<absent>");
  Close();
}

// ---- the DOS-box destination

std::vector<std::string> MidiOutputs() {
  std::vector<std::string> names;
  for (UINT id = 0; id < midiOutGetNumDevs() && id < 24; ++id) {
    MIDIOUTCAPSA caps{};
    if (midiOutGetDevCapsA(id, &caps, sizeof caps) != MMSYSERR_NOERROR) break;
    names.push_back(caps.szPname);
  }
  return names;
}

std::string ComboText(HWND combo, int i) {
  wchar_t text[64] = {};
  SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
  char narrow[64] = {};
  WideCharToMultiByte(CP_ACP, 0, text, -1, narrow, sizeof narrow, nullptr, nullptr);
  return narrow;
}

TEST_F(Midi, DestinationListShowsTheMidiOutputsAndStoresTheChoice) {
  if (IsNT()) GTEST_SKIP() << "hidden and never filled on NT (the layout test)";
  DeleteValue(HKEY_LOCAL_MACHINE, kPanelKey, "MidiOutDeviceName");
  DeleteValue(HKEY_LOCAL_MACHINE, kPanelKey, "MidiOutDeviceID");
  const auto outputs = MidiOutputs();
  HWND page = OpenPage();
  ASSERT_NE(page, nullptr);
  HWND combo = GetDlgItem(page, kDosMidi);
  const int count = int(SendMessageA(combo, CB_GETCOUNT, 0, 0));
  ASSERT_EQ(count, int(outputs.size()));
  if (outputs.empty()) {
    // Until the card's MIDI driver is installed the platform lists no output here.
    EXPECT_EQ(StringValue(kPanelKey, "MidiOutDeviceName"), "<absent>") << "nothing stored";
    Close();
    GTEST_SKIP() << "no MIDI output devices: the list stays empty and nothing is stored";
  }
  for (int i = 0; i < count; ++i) EXPECT_EQ(ComboText(combo, i), outputs[size_t(i)]) << i;
  // Nothing stored: the card's wavetable (its last one) is selected and stored.
  int wavetable = 0;
  for (size_t i = 0; i < outputs.size(); ++i)
    if (outputs[i] == "Zephra Wavetable") wavetable = int(i);
  EXPECT_EQ(int(SendMessageA(combo, CB_GETCURSEL, 0, 0)), wavetable);
  EXPECT_EQ(StringValue(kPanelKey, "MidiOutDeviceName"), outputs[size_t(wavetable)]);
  EXPECT_EQ(DwordValue("MidiOutDeviceID"), std::to_string(wavetable));
  const int other = wavetable == 0 ? count - 1 : 0;
  SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(other), 0);
  SendMessageA(page, WM_COMMAND, MAKEWPARAM(kDosMidi, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
  EXPECT_EQ(StringValue(kPanelKey, "MidiOutDeviceName"), outputs[size_t(other)]);
  EXPECT_EQ(DwordValue("MidiOutDeviceID"), std::to_string(other));
  Close();

  // A stored name shows at its place.
  page = OpenPage();
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(int(SendMessageA(GetDlgItem(page, kDosMidi), CB_GETCURSEL, 0, 0)), other);
  Close();
}

// ---- the bank download

class MidiDownload : public Midi {
 protected:
  void SetUp() override {
    Midi::SetUp();
    if (IsNT()) GTEST_SKIP() << "the download is the same on both families; run on 9x";
    CreateDirectoryA(kWork, nullptr);
    ASSERT_TRUE(SetString(HKEY_LOCAL_MACHINE, kInstallSettings, "ZephraWorkingDir", kWork));
    ASSERT_EQ(GetDriveTypeA(kCd), UINT(DRIVE_CDROM)) << "e2e_midi.sh stages E: as a CD-ROM";
  }
  static std::string Work(const std::string& name) { return std::string(kWork) + "\\" + name; }
  static std::string Cd(const std::string& name) { return kCd + name; }
};

TEST_F(MidiDownload, AFixedDiskBankLoadsInPlace) {
  // No working directory stored: it is made in the program files directory and stored.
  DeleteValue(HKEY_LOCAL_MACHINE, kInstallSettings, "ZephraWorkingDir");
  CreateDirectoryA("C:\\banks", nullptr);
  WriteBank("C:\\banks\\fixed.sf2", "fixed");
  HWND page = OpenPage();
  ASSERT_NE(page, nullptr);
  ASSERT_TRUE(Download(page, "C:\\banks\\fixed.sf2"));
  EXPECT_TRUE(WaitUntil([] { return StringValue(kInstallSettings, "DLSBankPath") == "C:\\banks\\fixed.sf2"; }));
  EXPECT_STREQ(State().bank, "C:\\banks\\fixed.sf2");
  const std::string made = "C:\\Program Files\\Orvane\\KV2240";
  EXPECT_EQ(StringValue(kInstallSettings, "ZephraWorkingDir"), made);
  EXPECT_TRUE(Exists(made));
  EXPECT_FALSE(Exists(made + "\\fixed.sf2")) << "nothing copied";
  // The bank in use chosen again stays.
  ASSERT_TRUE(Download(page, "C:\\banks\\fixed.sf2"));
  ASSERT_TRUE(Settled(page));
  EXPECT_TRUE(Exists("C:\\banks\\fixed.sf2"));
  Close();
}

TEST_F(MidiDownload, ACdBankIsCopiedAndANameInUseGetsNewFirst) {
  WriteBank(Cd("cd.sf2"), "from the CD");
  WriteBank(Work("old.sf2"), "old");
  ASSERT_TRUE(SetString(HKEY_LOCAL_MACHINE, kInstallSettings, "DLSBankPath", Work("old.sf2")));
  HWND page = OpenPage();
  ASSERT_NE(page, nullptr);
  ASSERT_TRUE(Download(page, Cd("cd.sf2")));
  EXPECT_TRUE(WaitUntil([&] { return StringValue(kInstallSettings, "DLSBankPath") == Work("cd.sf2"); }));
  EXPECT_EQ(std::string(State().bank), Work("cd.sf2"));
  EXPECT_EQ(Read(Work("cd.sf2")), Read(Cd("cd.sf2")));
  EXPECT_FALSE(Exists(Work("old.sf2"))) << "the replaced bank of the working directory is deleted";

  // The same name again: loaded as ".new", which then takes the old name.
  WriteBank(Cd("cd.sf2"), "a newer CD");
  ASSERT_TRUE(Download(page, Cd("cd.sf2")));
  EXPECT_TRUE(WaitUntil([&] { return std::string(State().bank) == Work("cd.sf2.new"); }));
  ASSERT_TRUE(Settled(page));
  EXPECT_EQ(StringValue(kInstallSettings, "DLSBankPath"), Work("cd.sf2"));
  EXPECT_EQ(Read(Work("cd.sf2")), Read(Cd("cd.sf2")));
  EXPECT_FALSE(Exists(Work("cd.sf2.new")));
  Close();
}

TEST_F(MidiDownload, ARefusedBankShowsTheMessageAndTheCopyGoes) {
  Configure([](kv22::CardConfig& c) {
    c.failCount = 1;
    c.fail[0] = kv22::FailRule{kv22::kDownloadBank, kv22::kAllDevices};
  });
  WriteBank(Cd("refused.sf2"), "refused");
  ASSERT_TRUE(SetString(HKEY_LOCAL_MACHINE, kInstallSettings, "DLSBankPath", "C:\\banks\\kept.sf2"));
  HWND page = OpenPage();
  ASSERT_NE(page, nullptr);
  ASSERT_TRUE(Download(page, Cd("refused.sf2")));
  HWND box = nullptr;
  EXPECT_EQ(FailureBox(&box), "Failed to download the specified file \"E:\\refused.sf2\".");
  ASSERT_NE(box, nullptr);
  PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(box); }));
  ASSERT_TRUE(Settled(page));
  EXPECT_FALSE(Exists(Work("refused.sf2"))) << "the copy is removed";
  EXPECT_EQ(StringValue(kInstallSettings, "DLSBankPath"), "C:\\banks\\kept.sf2");
  Close();
}

// The working directory on the CD drive, and the bank chosen from it: the chosen file is its
// own copy's place. It is loaded where it lies, never copied onto itself (which would empty
// it), and a refusal leaves the user's file as it was.
TEST_F(MidiDownload, ABankChosenFromTheWorkingDirectoryOnACdKeepsItsBytes) {
  const std::string work = Cd("work");
  CreateDirectoryA(work.c_str(), nullptr);
  ASSERT_EQ(GetDriveTypeA(kCd), UINT(DRIVE_CDROM));
  ASSERT_TRUE(SetString(HKEY_LOCAL_MACHINE, kInstallSettings, "ZephraWorkingDir", work.c_str()));
  ASSERT_TRUE(SetString(HKEY_LOCAL_MACHINE, kInstallSettings, "DLSBankPath", "C:\\banks\\kept.sf2"));
  const std::string mine = work + "\\mine.sf2";
  WriteBank(mine, "the user's own");
  const std::string bytes = Read(mine);
  ASSERT_GT(bytes.size(), 100u);
  HWND page = OpenPage();
  ASSERT_NE(page, nullptr);

  // Refused by the card: the message, and the file untouched.
  Configure([](kv22::CardConfig& c) {
    c.failCount = 1;
    c.fail[0] = kv22::FailRule{kv22::kDownloadBank, kv22::kAllDevices};
  });
  ASSERT_TRUE(Download(page, mine));
  HWND box = nullptr;
  EXPECT_EQ(FailureBox(&box), "Failed to download the specified file \"" + mine + "\".");
  ASSERT_NE(box, nullptr);
  PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(box); }));
  ASSERT_TRUE(Settled(page));
  EXPECT_TRUE(Exists(mine)) << "a refused bank the user chose is never deleted";
  EXPECT_TRUE(Read(mine) == bytes) << Read(mine).size() << " of " << bytes.size() << " bytes left";
  EXPECT_EQ(StringValue(kInstallSettings, "DLSBankPath"), "C:\\banks\\kept.sf2");

  // Taken by the card: loaded in place, still whole.
  Configure([](kv22::CardConfig& c) { c.failCount = 0; });
  ASSERT_TRUE(Download(page, mine));
  EXPECT_TRUE(WaitUntil([&] { return StringValue(kInstallSettings, "DLSBankPath") == mine; }));
  EXPECT_EQ(std::string(State().bank), mine);
  ASSERT_TRUE(Settled(page));
  EXPECT_TRUE(Read(mine) == bytes) << Read(mine).size() << " of " << bytes.size() << " bytes left";
  Close();
  DeleteFileA(mine.c_str());
  RemoveDirectoryA(work.c_str());
}

// A bank in use held open here can only be deleted at the next start; the ".new" copy then
// stays the bank in use. A bank chosen again after its deletion was scheduled is kept.
// e2e_midi.sh restarts Wine and runs *AfterRestart.
TEST_F(MidiDownload, ABankStillOpenIsDeletedAtTheNextStartUnlessChosenAgain) {
  DeleteFileA(WininitPath().c_str());
  auto hold = [](const std::string& path) {
    return CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  };
  WriteBank(Work("chosen.sf2"), "chosen");
  WriteBank(Cd("chosen.sf2"), "chosen, newer");
  ASSERT_TRUE(SetString(HKEY_LOCAL_MACHINE, kInstallSettings, "DLSBankPath", Work("chosen.sf2")));
  HANDLE held = hold(Work("chosen.sf2"));
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  HWND page = OpenPage();
  ASSERT_NE(page, nullptr);
  ASSERT_TRUE(Download(page, Cd("chosen.sf2")));
  EXPECT_TRUE(WaitUntil([&] { return StringValue(kInstallSettings, "DLSBankPath") == Work("chosen.sf2.new"); }));
  ASSERT_TRUE(Settled(page));
  EXPECT_EQ(Read(WininitPath()), "\r\n[Rename]\r\nNUL=" + Work("chosen.sf2") + "\r\n");
  CloseHandle(held);
  ASSERT_TRUE(Download(page, Work("chosen.sf2")));
  EXPECT_TRUE(WaitUntil([&] { return StringValue(kInstallSettings, "DLSBankPath") == Work("chosen.sf2"); }));
  ASSERT_TRUE(Settled(page));
  EXPECT_FALSE(Exists(Work("chosen.sf2.new"))) << "the replaced bank of the working directory goes";
  EXPECT_EQ(Read(WininitPath()), "\r\n[Rename]\r\n") << "its deletion taken back";

  WriteBank(Work("held.sf2"), "held");
  WriteBank(Cd("held.sf2"), "replacement");
  ASSERT_TRUE(SetString(HKEY_LOCAL_MACHINE, kInstallSettings, "DLSBankPath", Work("held.sf2")));
  held = hold(Work("held.sf2"));
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  ASSERT_TRUE(Download(page, Cd("held.sf2")));
  EXPECT_TRUE(WaitUntil([&] { return StringValue(kInstallSettings, "DLSBankPath") == Work("held.sf2.new"); }));
  ASSERT_TRUE(Settled(page));
  const std::string wininit = Read(WininitPath());
  std::printf("WININIT.INI:\n%s(end)\n", wininit.c_str());
  EXPECT_EQ(wininit, "\r\n[Rename]\r\nNUL=" + Work("held.sf2") + "\r\n");
  EXPECT_TRUE(Exists(Work("held.sf2.new")));
  CloseHandle(held);
  Close();
}

TEST(MidiAfterRestart, TheScheduledBankIsGoneAndTheBankInUseStays) {
  if (IsNT()) GTEST_SKIP() << "run on 9x";
  EXPECT_FALSE(Exists(std::string(kWork) + "\\held.sf2")) << "WININIT.INI was carried out";
  EXPECT_FALSE(Exists(WininitPath()));
  for (const char* name : {"\\held.sf2.new", "\\chosen.sf2"}) {
    const std::string inUse = kWork + std::string(name);
    EXPECT_TRUE(Exists(inUse)) << inUse << " was in use and survives the start";
    DeleteFileA(inUse.c_str());
  }
}

}  // namespace
