// Glue shared by the MIDI driver's ports: the client's callback, the cross-process hold on a
// port, the device names from the registry, the loopback cable and what the card is told.
#pragma once
#include <windows.h>
#include <mmddk.h>
#include <mmsystem.h>

#include <string>

#include "card/core/CardCore.h"
#include "card/mididrv/MidiCore.h"

extern "C" LRESULT WINAPI DriverCallback(DWORD_PTR callback, DWORD flags, HDRVR device, DWORD msg,
                                         DWORD_PTR user, DWORD_PTR param1, DWORD_PTR param2);

namespace zmidi {

// Output device ids: the wavetable first, so that the mapper and the sequencer play on it.
constexpr UINT kOutWavetable = 0;
constexpr UINT kOutMpu = 1;
constexpr UINT kOutCount = 2;
constexpr UINT kInMpu = 0;
constexpr UINT kInCount = 1;

// Maker and product ids of a device no registry of ids knows.
constexpr WORD kMidUnmapped = 0xFFFF;
constexpr WORD kPidUnmapped = 0xFFFF;

// Who opened a port and how to call it back.
struct Client {
  HMIDI handle = nullptr;
  DWORD_PTR callback = 0;
  DWORD_PTR instance = 0;
  DWORD flags = 0;  // DCB_ kind
  void Set(const MIDIOPENDESC& desc, DWORD openFlags);
  void Notify(UINT msg, DWORD_PTR p1 = 0, DWORD_PTR p2 = 0) const;
};

// A port held by this process; a second hold anywhere fails until the first is let go.
class PortHold {
 public:
  PortHold() = default;
  ~PortHold() { Release(); }
  PortHold(const PortHold&) = delete;
  PortHold& operator=(const PortHold&) = delete;
  bool Take(const char* suffix);
  void Release();
  bool Held() const { return m_pipe != INVALID_HANDLE_VALUE; }

 private:
  HANDLE m_pipe = INVALID_HANDLE_VALUE;
};

// "MidiDriverName" or "WavetableDriverName", their defaults when missing.
std::string MpuName();
std::string WavetableName();
// The name into a caller's W capability structure, at most 31 characters and the zero.
void PutName(WCHAR* dst, const std::string& name);

// The loopback cable's memory and event, mapped once per process; null when unavailable.
LoopRing* Loop();
HANDLE LoopEvent();

// Traffic for the card's MIDI report (any thread).
void CountBytes(kv22::MidiPort port, uint32_t n);
void NoteMessage(kv22::MidiPort port, const uint8_t* bytes, uint32_t length);
// Starts the thread that reports to the card and, when a synthesizer runs, brings it the
// card's settings and bank. Idempotent.
void StartCardLink();
// Tells the card at once what the ports carried: a process may end right after a close.
void ReportTraffic();
// Waits until the synthesizer has had its first bank and settings from the control thread.
bool WaitSynthReady(DWORD ms);

HeaderView ViewOf(const MIDIHDR* hdr, DWORD_PTR size);
// Prepare (or unprepare) a long-message header: Wine leaves the flag to the driver.
DWORD PrepareHeader(bool prepare, MIDIHDR* hdr, DWORD_PTR size);

}  // namespace zmidi
