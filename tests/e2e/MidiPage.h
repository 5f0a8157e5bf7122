// The MIDI page of the installed control panel, driven through its real windows, for the
// test programs that use it (the page's own, and the capture of what it makes the card play).
#pragma once
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <functional>
#include <memory>
#include <string>

#include "E2eSupport.h"
#include "shared/card/CardClient.h"

namespace e2e {

extern const char kPanelKey[];         // the page's values, under HKEY_LOCAL_MACHINE
extern const char kInstallSettings[];  // "DLSBankPath" and "ZephraWorkingDir"

enum MidiControl : int {
  kDosGroup = 1158, kDosMidi = 4003, kModeGroup = 1159, kMode0 = 4000, kMode1 = 4001, kMode2 = 4002,
  kEffectsGroup = 1160, kReverbLabel = 1161, kReverb = 1051, kChorusLabel = 1162, kChorus = 1049,
  kEffects = 1148, kDownload = 30020,
};

// A slider moved to `pos` and the page told, as a drag tells it.
void Slide(HWND page, int id, int pos, int code = TB_THUMBTRACK);
// Download with `path` typed into the file dialog; false when the dialog does not come or go.
bool Download(HWND page, const std::string& path);
// The message box of a failed download: its text, or "" when none comes.
std::string FailureBox(HWND* box);
// A small SoundFont 2 bank of square waves the card accepts; `tag` (its name) makes each one
// different.
void WriteBank(const std::string& path, const std::string& tag);

// Each test starts with no panel running, the card in its default configuration and state
// (so the synthesizer plays its default bank with its own settings), and none of the page's
// stored settings; every value the page or the test writes is put back afterwards.
class MidiPageTest : public ::testing::Test {
 public:
  MidiPageTest();

 protected:
  void SetUp() override;
  void TearDown() override;

  static int MidiIndex() { return IsNT() ? 0 : 2; }
  // A copy with its sheet open at the MIDI page, which is then the first page set up; or,
  // with `first`, opened at the Preferences page (the next one), `first` run, and then the
  // MIDI page.
  HWND OpenPage(const std::function<void()>& first = nullptr) { return OpenPageAt(MidiIndex(), first); }
  HWND OpenPageAt(int midiIndex, const std::function<void()>& first = nullptr);
  void Close();

  kv22::CardClient card_;
  kv22::CardStatus saved_{};

 private:
  std::unique_ptr<Process> process_;
  HWND sheet_ = nullptr;
  RegistryGuard prefs_;
  RegistryGuard panel_;
  RegistryGuard install_;
};

}  // namespace e2e
