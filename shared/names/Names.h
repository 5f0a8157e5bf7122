// Names and numbers that two programs, or a program and a script, must agree on: their
// only definition. Strings are plain macros so that the resource compiler, the kernel
// driver's wide literals (L"" NAME) and the scripts read the same text: shell scripts take
// every `#define ZEPHRA_... "..."` line through names.sh, setup through !searchparse and
// CMake through zephra_name. Those strings hold no backslash, quote, dollar or backquote.
#pragma once

// Title of the control panel's hidden main window: running copies, the keyboard hook,
// setup and the tests find the panel by it. String 103 is made of it.
#define ZEPHRA_FRAME_TITLE "MeridalMultimediaGrendorControl"
// Named mutex a starting control panel holds from its instance count until its main window
// exists, so that a copy started at the same moment finds that window.
#define ZEPHRA_START_MUTEX "MeridalMultimediaGrendorControlStart"

// Private messages of the main window (WM_APP + 100 to + 102).
#define WM_TRAY_NOTIFY 0x8064
#define WM_SHOW_PROPSHEET 0x8065
#define WM_CLOSE_PANEL 0x8066

// The card's devices. The 9x names are driver files; every name opens as "\\.\" + name.
#define ZEPHRA_WAVE_VXD "brs4wave.vxd"
#define ZEPHRA_CORE_VXD "brs4core.vxd"
#define ZEPHRA_WAVETABLE_VXD "brs4wt.vxd"
#define ZEPHRA_WAVETABLE_NT "Kv22Mid0"
// The virtual card's own: the wave device behind ZEPHRA_WAVE_VXD, and its control device.
#define ZEPHRA_WAVE_DEVICE "Kv22Wave"
#define ZEPHRA_CONTROL_DEVICE "Kv22Ctl"
// Service of the virtual card's kernel driver; its image is this name + ".sys".
#define ZEPHRA_CARD_SERVICE "kv22card"

// The card's MIDI driver: Wine loads "wine" + the HKCU Software\Wine\Drivers "Audio" value
// + ".drv" from the system directory, so the file and that value go together.
#define ZEPHRA_MIDI_DRIVER "winezephra.drv"
#define ZEPHRA_WINE_AUDIO "zephra"
// Wine's own audio driver, which serves wave audio behind ours.
#define ZEPHRA_WINE_PULSE "winepulse.drv"
// The cable from the MPU-401 output to its input: shared memory and its "data" event.
#define ZEPHRA_MIDI_LOOP "ZephraMpuLoop"
#define ZEPHRA_MIDI_LOOP_EVENT "ZephraMpuLoopData"
// A port held by a process: one pipe instance of this name + the port's suffix.
#define ZEPHRA_MIDI_PORT_PIPE "ZephraMidiPort"

// The demonstration programs in the "demos" folder: the control panel's Demos page starts
// them, setup and the install scripts put them there.
#define ZEPHRA_DEMOS_DIR "demos"
#define ZEPHRA_DEMO_PLAYER "TrivoxPlay"
#define ZEPHRA_DEMO_BEES "Buzzfield"
#define ZEPHRA_DEMO_RACE "Lapline"
#define ZEPHRA_DEMO_HELICOPTER "Rotorix"

// Window class of the logo the Trivox device object shows at a process's first device.
#define ZEPHRA_SPLASH_CLASS "TrivoxSplash"

// What CreateFileA opens for a device name.
#define ZEPHRA_DEVICE_PATH(name) "\\\\.\\" name

#ifndef RC_INVOKED
#include <stdint.h>

namespace zephra {

// Control codes of the card's devices.
enum ControlCode : uint32_t {
  kSetDisableDsHwBuf = 0x00000001,
  kGetDisableDsHwBuf = 0x00000002,
  kSetOutputMode = 0x39850000,
  kSetWavetableEffect = 0x39860000,
  kSetReverbAmount = 0x39870000,
  kSetChorusAmount = 0x39880000,
  kSetSoftSynthMode = 0x39900000,
  kGetPerformanceLevel = 0x39910000,
  kGetPerformanceClass = 0x39920000,
  kGetPerformanceFeature = 0x39930000,
  kDownloadBank = 0x39950000,
};

struct GuidNumbers {
  uint32_t data1;
  uint16_t data2;
  uint16_t data3;
  uint8_t data4[8];
};

// The Trivox device object's class, {D8F1EEE0-F634-11CF-8700-00A0245D918B}.
constexpr GuidNumbers kTrivoxDeviceClsid = {0xD8F1EEE0, 0xF634, 0x11CF,
                                            {0x87, 0x00, 0x00, 0xA0, 0x24, 0x5D, 0x91, 0x8B}};

// The platform's GUID (or any struct of the same four fields) from its numbers.
template <class Guid>
constexpr Guid MakeGuid(const GuidNumbers& n) {
  return Guid{n.data1, n.data2, n.data3,
              {n.data4[0], n.data4[1], n.data4[2], n.data4[3], n.data4[4], n.data4[5], n.data4[6], n.data4[7]}};
}

}  // namespace zephra
#endif
