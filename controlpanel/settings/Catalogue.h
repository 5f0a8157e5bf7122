// Every registry key and value the control panel touches, with its default.
// Pure data: no <windows.h>, so the defaults can be tested on the host.
#pragma once
#include <cstdint>

namespace catalogue {

enum class Root { CurrentUser, LocalMachine };

struct Key {
  Root root;
  const char* path;
};

// K1/K2 are created at start-up; K7/K8 by a write through the store; the rest must exist.
inline constexpr Key K1{Root::CurrentUser, "Software\\Meridal\\Resonix Trivox\\Resonix Trivox Control"};
inline constexpr Key K2{Root::CurrentUser,
                        "Software\\Meridal\\Resonix Trivox\\Resonix Trivox Control\\Preferences"};
inline constexpr const char* kPreferencesSubKey = "Preferences";
inline constexpr Key K3{Root::LocalMachine, "Software\\Meridal\\Resonix Trivox"};
inline constexpr Key K4{Root::LocalMachine, "Software\\Meridal\\Resonix Trivox\\setup"};
inline constexpr Key K5{Root::LocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion\\Run"};
inline constexpr Key K6{Root::LocalMachine, "Software\\Orvane\\Trivox"};
inline constexpr Key K7{Root::LocalMachine, "Software\\Orvane\\Zephra\\InstallSettings"};
inline constexpr Key K8{Root::LocalMachine, "Software\\Orvane\\Zephra\\ControlPanel"};
inline constexpr Key K9{Root::LocalMachine, "Software\\Orvane\\Zephra\\DriverNames"};
inline constexpr Key K10{Root::LocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion"};

enum class Type { Dword, String };

struct Value {
  const Key* key;
  const char* name;
  Type type;
};

// K2, the user's preferences. "TaskBarIconEnable" and "SysKeyEnable" are read by the names
// in the string table (114, 117); these constants carry the same text.
inline constexpr Value TaskBarIconEnable{&K2, "TaskBarIconEnable", Type::Dword};
inline constexpr Value ToolTipsEnable{&K2, "ToolTipsEnable", Type::Dword};
inline constexpr Value SysKeyEnable{&K2, "SysKeyEnable", Type::Dword};
inline constexpr Value PropSheetLeft{&K2, "PROPSHEET_LEFT", Type::Dword};
inline constexpr Value PropSheetTop{&K2, "PROPSHEET_TOP", Type::Dword};
inline constexpr Value PropSheetPage{&K2, "PROPSHEET_PAGE", Type::Dword};
// K3, K4: the installation.
inline constexpr Value DisableDriverWarning{&K3, "DisableDriverWarning", Type::String};
inline constexpr Value SoftwareUpdatedToVersion{&K4, "SoftwareUpdatedToVersion", Type::String};
inline constexpr Value SoftwareVersion{&K4, "SoftwareVersion", Type::String};
// K5, the log-on start list.
inline constexpr Value ResonixTrivoxControl{&K5, "ResonixTrivoxControl", Type::String};
// K6, shared with the Trivox software.
inline constexpr Value DefaultBoard{&K6, "Default_Board", Type::Dword};
inline constexpr Value SplashAudio{&K6, "SplashAudio", Type::Dword};
inline constexpr Value SplashScreen{&K6, "SplashScreen", Type::Dword};
inline constexpr Value EnableDS3D{&K6, "EnableDS3D", Type::Dword};
// K7, K8: the card's settings.
inline constexpr Value DisableDsHwBuf{&K7, "DisableDsHwBuf", Type::Dword};
inline constexpr Value DLSBankPath{&K7, "DLSBankPath", Type::String};
inline constexpr Value ZephraWorkingDir{&K7, "ZephraWorkingDir", Type::String};
inline constexpr Value OutputMode{&K8, "OutputMode", Type::Dword};
inline constexpr Value TrivoxMode{&K8, "TrivoxMode", Type::Dword};
inline constexpr Value BrisaWavetableEffect{&K8, "BrisaWavetableEffect", Type::Dword};
inline constexpr Value ReverbAmount{&K8, "ReverbAmount", Type::Dword};
inline constexpr Value ChorusAmount{&K8, "ChorusAmount", Type::Dword};
inline constexpr Value SoftSynthMode{&K8, "SoftSynthMode", Type::Dword};
inline constexpr Value BrisaMidiInDeviceID{&K8, "BrisaMidiInDeviceID", Type::Dword};
inline constexpr Value BrisaMidiOutDeviceID{&K8, "BrisaMidiOutDeviceID", Type::Dword};
inline constexpr Value MidiOutDeviceID{&K8, "MidiOutDeviceID", Type::Dword};
inline constexpr Value MidiOutDeviceName{&K8, "MidiOutDeviceName", Type::String};
// K9, written by the card's installer.
inline constexpr Value MidiDriverName{&K9, "MidiDriverName", Type::String};
inline constexpr Value WavetableDriverName{&K9, "WavetableDriverName", Type::String};
// K10, the platform's.
inline constexpr Value ProgramFilesDir{&K10, "ProgramFilesDir", Type::String};

// Defaults that callers substitute after a failed read.
inline constexpr uint32_t kDefaultTaskBarIconEnable = 1;
inline constexpr uint32_t kDefaultToolTipsEnable = 1;
inline constexpr uint32_t kDefaultPropSheetPage = 0;
inline constexpr uint32_t kKeepFirstPage = 0xFFFFFFFFu;
inline constexpr uint32_t kDefaultOutputMode = 1;
inline constexpr uint32_t kDefaultTrivoxMode = 2;
inline constexpr uint32_t kDefaultReverbAmount = 0;
inline constexpr uint32_t kDefaultChorusAmount = 0;
inline constexpr uint32_t kDefaultBoard = 0;
inline constexpr const char* kDefaultMidiDriverName = "Zephra MPU-401";
inline constexpr const char* kDefaultWavetableDriverName = "Zephra Wavetable";
inline constexpr const char* kDefaultProgramFilesDir = "C:\\Program Files";
inline constexpr const char* kDefaultBankFile = "orvanegm";
inline constexpr const char* kRunCommandFile = "ZephraCtrl.exe";

// "OutputMode" as the Config page shows it: missing gives 1, anything above 1 gives 0.
inline constexpr uint32_t OutputModeFromStore(bool readOk, uint32_t stored) {
  return !readOk ? kDefaultOutputMode : (stored > 1 ? 0 : stored);
}

// "TrivoxMode" as a radio index: 0 is speed optimized (index 1), everything else quality (index 0).
inline constexpr int RenderModeIndexFromStore(bool readOk, uint32_t stored) {
  return (readOk ? stored : kDefaultTrivoxMode) == 0 ? 1 : 0;
}

// The value stored for a radio index: 2 or 0, never 1.
inline constexpr uint32_t TrivoxModeForIndex(int index) { return index == 1 ? 0 : 2; }

// A stored sheet position below 0 (as a signed number) keeps the sheet's own.
inline constexpr int32_t SheetCoordinate(bool readOk, uint32_t stored, int32_t current) {
  return (readOk && static_cast<int32_t>(stored) >= 0) ? static_cast<int32_t>(stored) : current;
}

}  // namespace catalogue
