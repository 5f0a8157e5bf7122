#include "MidiPage.h"

#include <prsht.h>

#include <fstream>
#include <vector>

#include "card/synth/TestBankWriter.h"

namespace e2e {

const char kPanelKey[] = "Software\\Orvane\\Zephra\\ControlPanel";
const char kInstallSettings[] = "Software\\Orvane\\Zephra\\InstallSettings";

namespace {
const char kDialogTitle[] = "Open a DLS Collection File";
}  // namespace

void Slide(HWND page, int id, int pos, int code) {
  HWND slider = GetDlgItem(page, id);
  SendMessageA(slider, TBM_SETPOS, TRUE, pos);
  SendMessageA(page, WM_HSCROLL, MAKEWPARAM(code, pos), reinterpret_cast<LPARAM>(slider));
}

bool Download(HWND page, const std::string& path) {
  PostMessageA(page, WM_COMMAND, MAKEWPARAM(kDownload, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(page, kDownload)));
  HWND dialog = nullptr;
  if (!WaitUntil([&] { return (dialog = FindVisible("#32770", kDialogTitle)) != nullptr; })) return false;
  HWND name = GetDlgItem(dialog, 0x47c);  // the file name box
  if (!name) name = GetDlgItem(dialog, 0x480);
  if (!name) return false;
  SendMessageA(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  return WaitUntil([&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); });
}

std::string FailureBox(HWND* box) {
  std::string text;
  WaitUntil([&] {
    for (HWND w : FindAllVisible("#32770", nullptr)) {
      const std::string t = Text(GetDlgItem(w, 0xFFFF));
      if (t.rfind("Failed", 0) == 0) {
        text = t;
        *box = w;
      }
    }
    return !text.empty();
  });
  return text;
}

void WriteBank(const std::string& path, const std::string& tag) {
  zsynth::testbank::Recipe recipe = zsynth::testbank::SquareBank();
  recipe.name = tag;
  const std::vector<uint8_t> bytes = zsynth::testbank::WriteSf2(recipe);
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<std::streamsize>(bytes.size()));
}

MidiPageTest::MidiPageTest()
    : prefs_(HKEY_CURRENT_USER, kPrefsKey, {"TaskBarIconEnable", "PROPSHEET_PAGE"}),
      panel_(HKEY_LOCAL_MACHINE, kPanelKey,
             {"SoftSynthMode", "BrisaWavetableEffect", "ReverbAmount", "ChorusAmount", "MidiOutDeviceName",
              "MidiOutDeviceID", "BrisaMidiOutDeviceID", "BrisaMidiInDeviceID"}),
      install_(HKEY_LOCAL_MACHINE, kInstallSettings, {"DLSBankPath", "ZephraWorkingDir"}) {}

void MidiPageTest::SetUp() {
  EndAll();
  ASSERT_TRUE(card_.Open()) << "virtual card missing";
  ASSERT_TRUE(card_.GetStatus(saved_));
  kv22::CardConfig cfg = saved_.config;
  kv22::DefaultConfig(cfg);
  ASSERT_TRUE(card_.SetConfig(cfg));
  ASSERT_TRUE(card_.ResetState());
  for (const char* v : {"SoftSynthMode", "BrisaWavetableEffect", "ReverbAmount", "ChorusAmount"})
    DeleteValue(HKEY_LOCAL_MACHINE, kPanelKey, v);
}

void MidiPageTest::TearDown() {
  EndAll();
  EXPECT_TRUE(card_.SetConfig(saved_.config));
}

HWND MidiPageTest::OpenPageAt(int midiIndex, const std::function<void()>& first) {
  EXPECT_TRUE(SetDword(HKEY_CURRENT_USER, kPrefsKey, "TaskBarIconEnable", 0));
  const int startPage = first ? midiIndex + 1 : midiIndex;
  EXPECT_TRUE(SetDword(HKEY_CURRENT_USER, kPrefsKey, "PROPSHEET_PAGE", DWORD(startPage)));
  process_ = std::make_unique<Process>(Process::Start());
  sheet_ = WaitForSheet();
  if (!sheet_) return nullptr;
  if (first) {
    if (!WaitUntil([&] { return ActivePage(sheet_) == startPage; })) return nullptr;
    first();
  }
  SendMessageA(sheet_, PSM_SETCURSEL, static_cast<WPARAM>(midiIndex), 0);
  HWND page = reinterpret_cast<HWND>(SendMessageA(sheet_, PSM_GETCURRENTPAGEHWND, 0, 0));
  return page && GetDlgItem(page, kDownload) ? page : nullptr;
}

void MidiPageTest::Close() {
  CloseSheet(sheet_, IDCANCEL);
  EXPECT_TRUE(process_ && process_->WaitExit(10000));
}

}  // namespace e2e
