// Every registry key and value the control panel, the player and the card read or write: where it
// lives, its type, what a failed read stands for and which part of the program owns it.
// Pure data: no <windows.h>, so the defaults can be tested on the host.
#pragma once
#include <cstdint>

#include "shared/card/CardProtocol.h"

namespace catalogue {

enum class Root { CurrentUser, LocalMachine };

struct Key {
  Root root;
  const char* path;
};

// Created at start-up and kept open for the whole run.
// HKCU "Software\Meridal\Resonix Trivox\Resonix Trivox Control"
inline constexpr Key kUserControl{Root::CurrentUser, "Software\\Meridal\\Resonix Trivox\\Resonix Trivox Control"};
inline constexpr const char* kPreferencesSubKey = "Preferences";
// kUserControl + "\Preferences"
inline constexpr Key kUserPreferences{Root::CurrentUser,
                                      "Software\\Meridal\\Resonix Trivox\\Resonix Trivox Control\\Preferences"};
// The installer's; never created by the programs.
// HKLM "Software\Meridal\Resonix Trivox"
inline constexpr Key kInstall{Root::LocalMachine, "Software\\Meridal\\Resonix Trivox"};
// HKLM "Software\Meridal\Resonix Trivox\setup"
inline constexpr Key kSetup{Root::LocalMachine, "Software\\Meridal\\Resonix Trivox\\setup"};
// HKLM "Software\Microsoft\Windows\CurrentVersion\Run"
inline constexpr Key kRunAtLogon{Root::LocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion\\Run"};
// HKLM "Software\Orvane\Trivox", shared with the Trivox software and the player.
inline constexpr Key kTrivoxShared{Root::LocalMachine, "Software\\Orvane\\Trivox"};
// Created by the first write through the store.
// HKLM "Software\Orvane\Zephra\InstallSettings"
inline constexpr Key kCardInstall{Root::LocalMachine, "Software\\Orvane\\Zephra\\InstallSettings"};
// HKLM "Software\Orvane\Zephra\ControlPanel"
inline constexpr Key kCardPanel{Root::LocalMachine, "Software\\Orvane\\Zephra\\ControlPanel"};
// HKLM "Software\Orvane\Zephra\DriverNames", written by the card's installer.
inline constexpr Key kDriverNames{Root::LocalMachine, "Software\\Orvane\\Zephra\\DriverNames"};
// HKLM "Software\Microsoft\Windows\CurrentVersion", the platform's.
inline constexpr Key kWindowsCurrentVersion{Root::LocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion"};

enum class Type { Dword, String };

// What the owner substitutes after a failed read.
struct Default {
  enum Kind { Number, Text, Other } kind;
  uint32_t number;
  const char* text;  // the text default, or for Other what the owner does instead
};
constexpr Default Number(uint32_t n) { return {Default::Number, n, nullptr}; }
constexpr Default Text(const char* t) { return {Default::Text, 0, t}; }
constexpr Default Other(const char* how) { return {Default::Other, 0, how}; }

struct Value {
  const Key* key;
  const char* name;
  Type type;
  Default byDefault;
  const char* owner;
};

// "TaskBarIconEnable" and "SysKeyEnable" are read by the names in the string table
// (114, 117); these constants carry the same text.
inline constexpr Value TaskBarIconEnable{&kUserPreferences, "TaskBarIconEnable", Type::Dword, Number(1),
                                         "Preferences page"};
inline constexpr Value ToolTipsEnable{&kUserPreferences, "ToolTipsEnable", Type::Dword, Number(1), "start-up"};
inline constexpr Value SysKeyEnable{&kUserPreferences, "SysKeyEnable", Type::Dword, Number(0), "start-up"};
inline constexpr Value PropSheetLeft{&kUserPreferences, "PROPSHEET_LEFT", Type::Dword,
                                     Other("the sheet's own position; negative is ignored"), "property sheet"};
inline constexpr Value PropSheetTop{&kUserPreferences, "PROPSHEET_TOP", Type::Dword,
                                    Other("the sheet's own position; negative is ignored"), "property sheet"};
inline constexpr Value PropSheetPage{&kUserPreferences, "PROPSHEET_PAGE", Type::Dword, Number(0),
                                     "property sheet"};
inline constexpr Value DisableDriverWarning{&kInstall, "DisableDriverWarning", Type::String,
                                            Other("the warning is shown"), "hardware warning"};
inline constexpr Value SoftwareUpdatedToVersion{&kSetup, "SoftwareUpdatedToVersion", Type::String,
                                                Other("\"SoftwareVersion\" is shown"), "About box"};
inline constexpr Value SoftwareVersion{&kSetup, "SoftwareVersion", Type::String, Text("Improper Installation"),
                                       "About box"};
inline constexpr Value ResonixTrivoxControl{&kRunAtLogon, "ResonixTrivoxControl", Type::String,
                                            Other("not read: absent unless the tray icon is on"),
                                            "Preferences page"};
inline constexpr Value DefaultBoard{&kTrivoxShared, "Default_Board", Type::Dword, Number(0), "Preferences page"};
inline constexpr Value SplashAudio{&kTrivoxShared, "SplashAudio", Type::Dword, Number(0), "Demos page"};
inline constexpr Value SplashScreen{&kTrivoxShared, "SplashScreen", Type::Dword, Other("not read"), "Demos page"};
inline constexpr Value EnableDS3D{&kTrivoxShared, "EnableDS3D", Type::Dword, Number(0), "player dialog"};
inline constexpr Value DisableDsHwBuf{&kCardInstall, "DisableDsHwBuf", Type::Dword, Other("not read"),
                                      "Preferences page"};
inline constexpr Value DLSBankPath{&kCardInstall, "DLSBankPath", Type::String,
                                   Other("the system directory, a backslash and \"orvanegm\""), "bank download"};
inline constexpr Value ZephraWorkingDir{&kCardInstall, "ZephraWorkingDir", Type::String,
                                        Other("\"ProgramFilesDir\", \"Orvane\", \"KV2240\", joined by backslashes"),
                                        "bank download"};
inline constexpr Value OutputMode{&kCardPanel, "OutputMode", Type::Dword, Number(1), "Config page"};
inline constexpr Value TrivoxMode{&kCardPanel, "TrivoxMode", Type::Dword, Number(2), "Config page"};
inline constexpr Value BrisaWavetableEffect{&kCardPanel, "BrisaWavetableEffect", Type::Dword,
                                            Other("derived from the driver"), "MIDI page"};
inline constexpr Value ReverbAmount{&kCardPanel, "ReverbAmount", Type::Dword, Number(0), "MIDI page"};
inline constexpr Value ChorusAmount{&kCardPanel, "ChorusAmount", Type::Dword, Number(0), "MIDI page"};
inline constexpr Value SoftSynthMode{&kCardPanel, "SoftSynthMode", Type::Dword, Other("derived from the driver"),
                                     "MIDI page"};
inline constexpr Value BrisaMidiInDeviceID{&kCardPanel, "BrisaMidiInDeviceID", Type::Dword, Other("not read"),
                                           "MIDI page"};
inline constexpr Value BrisaMidiOutDeviceID{&kCardPanel, "BrisaMidiOutDeviceID", Type::Dword, Other("not read"),
                                            "MIDI page"};
inline constexpr Value MidiOutDeviceID{&kCardPanel, "MidiOutDeviceID", Type::Dword, Other("not read"),
                                       "MIDI page"};
inline constexpr Value MidiOutDeviceName{&kCardPanel, "MidiOutDeviceName", Type::String,
                                         Other("the output named by \"WavetableDriverName\", written back"),
                                         "MIDI page"};
inline constexpr Value MidiDriverName{&kDriverNames, "MidiDriverName", Type::String, Text("Zephra MPU-401"),
                                      "MIDI page"};
inline constexpr Value WavetableDriverName{&kDriverNames, "WavetableDriverName", Type::String,
                                           Text("Zephra Wavetable"), "MIDI page"};
inline constexpr Value ProgramFilesDir{&kWindowsCurrentVersion, "ProgramFilesDir", Type::String,
                                       Text("C:\\Program Files"), "bank download"};

inline constexpr const Value* kAllValues[] = {
    &TaskBarIconEnable, &ToolTipsEnable, &SysKeyEnable, &PropSheetLeft, &PropSheetTop, &PropSheetPage,
    &DisableDriverWarning, &SoftwareUpdatedToVersion, &SoftwareVersion, &ResonixTrivoxControl, &DefaultBoard,
    &SplashAudio, &SplashScreen, &EnableDS3D, &DisableDsHwBuf, &DLSBankPath, &ZephraWorkingDir, &OutputMode,
    &TrivoxMode, &BrisaWavetableEffect, &ReverbAmount, &ChorusAmount, &SoftSynthMode, &BrisaMidiInDeviceID,
    &BrisaMidiOutDeviceID, &MidiOutDeviceID, &MidiOutDeviceName, &MidiDriverName, &WavetableDriverName,
    &ProgramFilesDir};

// 0xFFFFFFFF as "PROPSHEET_PAGE" leaves the first page active.
inline constexpr uint32_t kKeepFirstPage = 0xFFFFFFFFu;
inline constexpr const char* kDefaultBankFile = "orvanegm";
inline constexpr const char* kRunCommandFile = "ZephraCtrl.exe";

// "OutputMode" as the Config page shows it: missing gives 1, anything above 1 gives 0.
inline constexpr uint32_t OutputModeFromStore(bool readOk, uint32_t stored) {
  return !readOk ? OutputMode.byDefault.number : (stored > 1 ? 0 : stored);
}

// "TrivoxMode" as a radio index: 0 is speed optimized (index 1), everything else quality (index 0).
inline constexpr int RenderModeIndexFromStore(bool readOk, uint32_t stored) {
  return (readOk ? stored : TrivoxMode.byDefault.number) == 0 ? 1 : 0;
}

// The value stored for a radio index: 2 or 0, never 1.
inline constexpr uint32_t TrivoxModeForIndex(int index) { return index == 1 ? 0 : 2; }

// "ReverbAmount" and "ChorusAmount" as the sliders hold them: missing gives 0, a number
// above the sliders' 127 gives 127.
inline constexpr uint32_t kEffectLevelMax = kv22::kEffectLevelMax;
inline constexpr uint32_t EffectLevelFromStore(bool readOk, uint32_t stored) {
  return readOk ? kv22::ClampEffectLevel(stored) : 0;
}

// "SoftSynthMode" counts only when it names one of the three modes; any other number is
// taken as missing, and the page asks the card for its default.
inline constexpr bool SoftSynthModeUsable(bool readOk, uint32_t stored) {
  return readOk && kv22::SoftSynthModeValid(stored);
}

// A stored sheet position below 0 (as a signed number) keeps the sheet's own.
inline constexpr int32_t SheetCoordinate(bool readOk, uint32_t stored, int32_t current) {
  return (readOk && static_cast<int32_t>(stored) >= 0) ? static_cast<int32_t>(stored) : current;
}

// A stored sheet edge that would put the sheet (size long) outside the screen area
// [areaStart, areaEnd) moves it back inside; a sheet larger than the area starts at its edge.
inline constexpr int32_t KeepOnScreen(int32_t edge, int32_t size, int32_t areaStart, int32_t areaEnd) {
  const int64_t last = static_cast<int64_t>(areaEnd) - size;
  if (static_cast<int64_t>(edge) > last) edge = static_cast<int32_t>(last);
  return edge < areaStart ? areaStart : edge;
}

}  // namespace catalogue
