// The card as the engine hears it: the output path and the speaker equaliser from
// the card's control device, the rendering mode from the control panel's
// "TrivoxMode". Without a card the engine renders as it always did.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "card_state.h"

namespace kv22 {
class CardClient;
struct CardStatus;
}

namespace trivox {

class CardLink {
 public:
  // Opens the control device and reads "TrivoxMode", which holds for the link's life.
  CardLink();
  ~CardLink();
  CardLink(const CardLink&) = delete;
  CardLink& operator=(const CardLink&) = delete;

  bool present() const;
  // Asks the card; true when what it says differs from the state last taken up
  // (the first successful read always does). A failed read keeps the old state.
  bool poll();
  const CardRenderState& state() const { return m_state; }

 private:
  std::unique_ptr<kv22::CardClient> m_card;
  std::unique_ptr<kv22::CardStatus> m_status;  // about a kilobyte, read into anew each poll
  RenderMode m_mode = RenderMode::kQuality;
  bool m_read = false;
  CardRenderState m_state;
};

std::string describe(const CardRenderState& s);

// "Trivox: " + line, to the debugger and, when TRIVOX_TRACE names a file, appended there.
void engineTrace(const std::string& line);

}  // namespace trivox
