// cardctl: shows and changes the virtual card. Line formats: card/README.md.
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "shared/card/CardClient.h"
#include "card/core/CardText.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: cardctl state | log | clear | reset | config | midi\n"
               "       cardctl set [level=N] [class=N] [feature=N] [devices=wave,core,wt,nt|all|none]\n"
               "                   [fail=CODE,DEV:CODE,...|-] [board=N] [inputs=NAME|NAME...|-]\n"
               "                   [eqinit=ok|fail] [unavailable=0|1] [refuse=INDEX,...|-]\n");
  return 2;
}

int NoCard(const kv22::CardClient& card, const char* what) {
  std::fprintf(stderr, "cardctl: %s failed (error %lu)\n", what, static_cast<unsigned long>(card.Error()));
  return 1;
}

void Line(const std::string& s) { std::printf("%s\n", s.c_str()); }

}  // namespace

int main(int argc, char** argv) {
  // Plain \n line ends for the scripts that read us.
  _setmode(_fileno(stdout), _O_BINARY);
  if (argc < 2) return Usage();
  const std::string cmd = argv[1];
  kv22::CardClient card;
  if (cmd != "state" && cmd != "log" && cmd != "clear" && cmd != "reset" && cmd != "config" &&
      cmd != "set" && cmd != "midi")
    return Usage();
  if ((cmd == "set") != (argc > 2)) return Usage();
  if (!card.Open()) return NoCard(card, "opening " ZEPHRA_DEVICE_PATH(ZEPHRA_CONTROL_DEVICE));

  if (cmd == "log") {
    std::vector<kv22::LogEntry> entries;
    if (!card.ReadLog(entries)) return NoCard(card, "reading the log");
    for (const auto& e : entries) Line(kv22::FormatLogEntry(e));
    return 0;
  }
  if (cmd == "midi") {
    kv22::MidiState midi;
    if (!card.GetMidi(midi)) return NoCard(card, "reading the MIDI side");
    Line(kv22::FormatMidi(midi));
    return 0;
  }
  if (cmd == "clear") return card.ClearLog() ? 0 : NoCard(card, "clearing the log");
  if (cmd == "reset") return card.ResetState() ? 0 : NoCard(card, "resetting the card");

  kv22::CardStatus status;
  if (!card.GetStatus(status)) return NoCard(card, "reading the state");
  if (cmd == "set") {
    kv22::CardConfig cfg = status.config;
    for (int i = 2; i < argc; ++i) {
      std::string error;
      if (!kv22::ApplySetting(argv[i], cfg, error)) {
        std::fprintf(stderr, "cardctl: %s\n", error.c_str());
        return 2;
      }
    }
    if (!card.SetConfig(cfg)) return NoCard(card, "setting the configuration");
    if (!card.GetStatus(status)) return NoCard(card, "reading the state");
    Line(kv22::FormatConfig(status.config));
    Line(kv22::FormatLinks(status.linkMask));
    Line(kv22::FormatEqConfig(status.config));
    return 0;
  }
  if (cmd == "config") {
    Line(kv22::FormatConfig(status.config));
    Line(kv22::FormatEqConfig(status.config));
    return 0;
  }
  Line(kv22::FormatState(status.state));
  Line(kv22::FormatOpens(status.state));
  Line(kv22::FormatHandles(status.state));
  Line(kv22::FormatConfig(status.config));
  Line(kv22::FormatLinks(status.linkMask));
  Line(kv22::FormatEqConfig(status.config));
  Line(kv22::FormatEqState(status.state));
  Line("log count=" + std::to_string(status.logCount) + " last=" + std::to_string(status.lastSeq));
  return 0;
}
