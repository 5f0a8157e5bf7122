#include "shared/card/CardClient.h"

namespace kv22 {

namespace {
const char kControlDevice[] = ZEPHRA_DEVICE_PATH(ZEPHRA_CONTROL_DEVICE);
}  // namespace

CardClient::~CardClient() {
  if (m_handle != INVALID_HANDLE_VALUE) CloseHandle(m_handle);
}

HANDLE CardClient::OpenDevice(DWORD* error) {
  // NT-style arguments first; the 9x loader-style open is the fallback.
  HANDLE h = CreateFileA(kControlDevice, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  DWORD first = h == INVALID_HANDLE_VALUE ? GetLastError() : 0;
  if (h == INVALID_HANDLE_VALUE) h = CreateFileA(kControlDevice, 0, 0, nullptr, 0, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (h == INVALID_HANDLE_VALUE && first == 0) first = GetLastError();
  if (error) *error = h == INVALID_HANDLE_VALUE ? first : 0;
  return h;
}

bool CardClient::Exchange(HANDLE h, DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize) {
  if (!h || h == INVALID_HANDLE_VALUE) return false;
  DWORD got = 0;
  return DeviceIoControl(h, code, const_cast<void*>(in), inSize, out, outSize, &got, nullptr) && got == outSize;
}

bool CardClient::Open() {
  if (IsOpen()) return true;
  m_handle = OpenDevice(&m_error);
  return IsOpen();
}

bool CardClient::Call(DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize,
                      DWORD* returned) {
  DWORD got = 0;
  if (!Open()) return false;
  if (!DeviceIoControl(m_handle, code, const_cast<void*>(in), inSize, out, outSize, &got, nullptr)) {
    m_error = GetLastError();
    return false;
  }
  if (returned) *returned = got;
  return true;
}

bool CardClient::GetStatus(CardStatus& status) {
  DWORD got = 0;
  if (!Call(kCtlGetStatus, nullptr, 0, &status, sizeof status, &got)) return false;
  if (got != sizeof status || status.version != kStatusVersion) {
    m_error = ERROR_INVALID_DATA;
    return false;
  }
  return true;
}

bool CardClient::ReadLog(std::vector<LogEntry>& entries, uint32_t afterSeq) {
  entries.clear();
  const DWORD chunk = 64;
  std::vector<LogEntry> buf(chunk);
  for (;;) {
    DWORD got = 0;
    if (!Call(kCtlGetLog, &afterSeq, sizeof afterSeq, buf.data(), chunk * sizeof(LogEntry), &got))
      return false;
    DWORD n = got / sizeof(LogEntry);
    entries.insert(entries.end(), buf.begin(), buf.begin() + n);
    if (n < chunk) return true;
    afterSeq = buf[n - 1].seq;
  }
}

bool CardClient::ClearLog() { return Call(kCtlClearLog, nullptr, 0, nullptr, 0, nullptr); }

bool CardClient::ResetState() { return Call(kCtlResetState, nullptr, 0, nullptr, 0, nullptr); }

bool CardClient::SetConfig(const CardConfig& cfg) {
  return Call(kCtlSetConfig, &cfg, sizeof cfg, nullptr, 0, nullptr);
}

bool CardClient::EqSetConfig(const EqRequest& req) {
  return Call(kCtlEqSetConfig, &req, sizeof req, nullptr, 0, nullptr);
}

bool CardClient::GetMidi(MidiState& midi) {
  DWORD got = 0;
  if (!Call(kCtlGetMidi, nullptr, 0, &midi, sizeof midi, &got)) return false;
  if (got != sizeof midi) {
    m_error = ERROR_INVALID_DATA;
    return false;
  }
  return true;
}

bool CardClient::ReportMidi(const MidiReport& report, WavetableView& view) {
  DWORD got = 0;
  if (!Call(kCtlMidiReport, &report, sizeof report, &view, sizeof view, &got)) return false;
  if (got != sizeof view) {
    m_error = ERROR_INVALID_DATA;
    return false;
  }
  return true;
}

}  // namespace kv22
