// The one client of the card's control device ZEPHRA_CONTROL_DEVICE: cardctl, the tests, the
// Trivox engine, the speaker-interface library and the MIDI driver all reach the card here.
#pragma once
#include <windows.h>

#include <vector>

#include "shared/card/CardProtocol.h"

namespace kv22 {

class CardClient {
 public:
  CardClient() = default;
  ~CardClient();
  CardClient(const CardClient&) = delete;
  CardClient& operator=(const CardClient&) = delete;

  // Opens the control device; works in both Windows shapes.
  bool Open();
  // The same open for a holder of a bare handle (the speaker-interface object, whose layout is
  // fixed): INVALID_HANDLE_VALUE when the card is missing.
  static HANDLE OpenDevice(DWORD* error = nullptr);
  // One request on such a handle; true only when it succeeded and filled exactly outSize bytes.
  static bool Exchange(HANDLE h, DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize);
  bool IsOpen() const { return m_handle != INVALID_HANDLE_VALUE; }
  // Win32 error of the last failed call.
  DWORD Error() const { return m_error; }

  bool GetStatus(CardStatus& status);
  // Entries with seq > afterSeq, oldest first.
  bool ReadLog(std::vector<LogEntry>& entries, uint32_t afterSeq = 0);
  bool ClearLog();
  bool ResetState();
  // Applied at once, links included, and kept in the service key.
  bool SetConfig(const CardConfig& cfg);
  // The equaliser as the speaker-interface library sets it.
  bool EqSetConfig(const EqRequest& req);
  // The MIDI side: what the MIDI driver reported, and its report with the card's answer.
  bool GetMidi(MidiState& midi);
  bool ReportMidi(const MidiReport& report, WavetableView& view);

 private:
  bool Call(DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize, DWORD* returned);

  HANDLE m_handle = INVALID_HANDLE_VALUE;
  DWORD m_error = 0;
};

}  // namespace kv22
