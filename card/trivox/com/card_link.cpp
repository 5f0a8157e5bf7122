#include "card_link.h"

#include <cstdio>
#include <memory>

#include "shared/card/CardClient.h"
#include "shared/settings/Catalogue.h"
#include "shared/settings/Settings.h"

namespace trivox {
namespace {

RenderMode storedMode() {
  DWORD stored = 0;
  const bool ok = SettingsReadDword(HKEY_LOCAL_MACHINE, catalogue::kCardPanel.path, catalogue::TrivoxMode.name,
                                    &stored) != 0;
  return catalogue::RenderModeIndexFromStore(ok, stored) == 1 ? RenderMode::kSpeed : RenderMode::kQuality;
}

}  // namespace

CardLink::CardLink() : m_card(new kv22::CardClient()), m_status(new kv22::CardStatus()) {
  if (m_card->Open()) m_mode = storedMode();
}

CardLink::~CardLink() = default;

bool CardLink::present() const { return m_card->IsOpen(); }

bool CardLink::poll() {
  if (!present()) return false;
  kv22::CardStatus& status = *m_status;
  if (!m_card->GetStatus(status)) return false;
  CardRenderState s;
  s.output = status.state.outputFlag == kv22::kExternalSpeakersFlag ? OutputPath::kSpeakers : OutputPath::kHeadphones;
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
