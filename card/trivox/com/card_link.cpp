#include "card_link.h"

#include <cstdio>
#include <memory>

#include "card/core/CardCore.h"
#include "controlpanel/settings/Catalogue.h"
#include "controlpanel/settings/Settings.h"

namespace trivox {
namespace {

const char kControlDevice[] = ZEPHRA_DEVICE_PATH(ZEPHRA_CONTROL_DEVICE);
constexpr uint16_t kExternalSpeakers = 0xFFFF;

HANDLE openControlDevice() {
  // NT-style arguments first; the 9x loader-style open is the fallback.
  HANDLE h = CreateFileA(kControlDevice, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) h = CreateFileA(kControlDevice, 0, 0, nullptr, 0, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  return h;
}

RenderMode storedMode() {
  DWORD stored = 0;
  const bool ok = SettingsReadDword(HKEY_LOCAL_MACHINE, catalogue::kCardPanel.path, catalogue::TrivoxMode.name,
                                    &stored) != 0;
  return catalogue::RenderModeIndexFromStore(ok, stored) == 1 ? RenderMode::kSpeed : RenderMode::kQuality;
}

}  // namespace

CardLink::CardLink() : m_card(openControlDevice()), m_status(new kv22::CardStatus()) {
  if (present()) m_mode = storedMode();
}

CardLink::~CardLink() {
  if (present()) CloseHandle(m_card);
}

bool CardLink::poll() {
  if (!present()) return false;
  kv22::CardStatus& status = *m_status;
  DWORD got = 0;
  if (!DeviceIoControl(m_card, kv22::kCtlGetStatus, nullptr, 0, &status, sizeof status, &got, nullptr) ||
      got != sizeof status || status.version != kv22::kStatusVersion)
    return false;
  CardRenderState s;
  s.output = status.state.outputFlag == kExternalSpeakers ? OutputPath::kSpeakers : OutputPath::kHeadphones;
  s.mode = m_mode;
  s.eqOn = status.state.eqOn != 0;
  s.eqInput = status.state.eqInput;
  const bool changed = !m_read || s != m_state;
  m_read = true;
  m_state = s;
  return changed;
}

std::string describe(const CardRenderState& s) {
  char text[96];
  std::snprintf(text, sizeof text, "output %s, mode %s, equaliser %s, input %d",
                s.output == OutputPath::kSpeakers ? "speakers" : "headphones",
                s.mode == RenderMode::kSpeed ? "speed" : "quality", s.eqOn ? "on" : "off",
                static_cast<int>(s.eqInput));
  return text;
}

void engineTrace(const std::string& line) {
  const std::string text = "Trivox: " + line + "\n";
  OutputDebugStringA(text.c_str());
  char path[MAX_PATH];
  const DWORD n = GetEnvironmentVariableA("TRIVOX_TRACE", path, sizeof path);
  if (n == 0 || n >= sizeof path) return;
  struct Closer {
    void operator()(FILE* f) const { std::fclose(f); }
  };
  std::unique_ptr<FILE, Closer> f(std::fopen(path, "a"));
  if (f) std::fputs(text.c_str(), f.get());
}

}  // namespace trivox
