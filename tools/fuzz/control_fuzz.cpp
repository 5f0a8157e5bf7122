// libFuzzer target for the control device's requests as the driver hands them to the card:
// SetConfig, EqSetConfig, MidiReport and GetLog with records of any bytes, mixed with card
// requests that fill the log. Whatever comes, the card keeps a usable configuration, the
// log answers in order inside the room given, and what it reports back is zero-terminated.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "card/core/CardCore.h"

namespace {

using namespace kv22;

class Input {
 public:
  Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool done() const { return pos_ >= size_; }
  uint8_t u8() { return pos_ < size_ ? data_[pos_++] : 0; }
  uint32_t u32() { return uint32_t(u8()) | uint32_t(u8()) << 8 | uint32_t(u8()) << 16 | uint32_t(u8()) << 24; }
  // A record of any bytes: the input's, then zeros; sometimes a copy of a sound one, patched.
  template <typename T>
  void record(T& out) {
    uint8_t* p = reinterpret_cast<uint8_t*>(&out);
    const bool patch = u8() & 1;
    const size_t n = pos_ >= size_ ? 0 : sizeof(T) < size_ - pos_ ? sizeof(T) : size_ - pos_;
    if (patch) {
      for (size_t i = 0; i < 4 && !done(); ++i) p[u32() % sizeof(T)] = u8();  // a few bytes changed
      return;
    }
    std::memcpy(p, data_ + pos_, n);
    std::memset(p + n, 0, sizeof(T) - n);
    pos_ += n;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

Status Probe(const char* path, void*) {
  const size_t n = std::strlen(path);
  return n >= 4 && std::memcmp(path + n - 4, ".sf2", 4) == 0 ? kOk : kBankNotFound;
}

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

bool Terminated(const char* text, size_t room) { return std::memchr(text, 0, room) != nullptr; }

void GetLog(Card& card, Input& in) {
  const uint32_t after = in.u8() & 1 ? card.LastSeq() - (in.u8() % 8) : in.u32();
  const uint32_t max = in.u8() % (kLogCapacity + 8);
  std::vector<LogEntry> out(max ? max : 1);
  const uint32_t n = card.ReadLog(after, max ? out.data() : nullptr, max);
  Check(n <= max && n <= card.LogCount());
  for (uint32_t i = 0; i < n; ++i) {
    Check(out[i].seq > after && out[i].seq <= card.LastSeq());
    Check(i == 0 || out[i].seq == out[i - 1].seq + 1);
  }
}

void Step(Card& card, Input& in) {
  switch (in.u8() % 6) {
    case 0: {  // SetConfig: taken only when valid, as the driver does
      CardConfig cfg;
      DefaultConfig(cfg);
      in.record(cfg);
      if (ConfigValid(cfg)) card.SetConfig(cfg);
      break;
    }
    case 1: {
      EqRequest req;
      std::memset(&req, 0, sizeof req);
      in.record(req);
      card.EqSetConfig(req);
      EqStatus st;
      card.EqGetStatus(st);
      break;
    }
    case 2: {
      auto report = std::make_unique<MidiReport>();
      std::memset(report.get(), 0, sizeof *report);
      in.record(*report);
      WavetableView view;
      std::memset(&view, 0xA5, sizeof view);
      if (card.MidiReportIn(*report, view) == kOk) Check(Terminated(view.bank, kBankPathMax));
      const MidiState& m = card.Midi();
      Check(m.lastCount <= kMidiLastEvents);
      Check(!m.hasSynth || Terminated(m.synth.bank, kBankPathMax));
      break;
    }
    case 3: GetLog(card, in); break;
    case 4: {  // a card request, for the log
      const uint32_t code = in.u8() & 1 ? kDownloadBank : kSetReverbAmount;
      uint8_t buf[16] = "x.sf2";
      uint32_t written = 0;
      card.Request(kDevWavetableNt, code, buf, code == kDownloadBank ? 6 : 4, nullptr, 0, &written);
      break;
    }
    default:
      if (in.u8() & 1) card.ClearLog(); else card.ResetState();
      break;
  }
  Check(ConfigValid(card.Config()));
  Check(card.LogCount() <= kLogCapacity);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto card = std::make_unique<Card>();
  CardConfig cfg;
  DefaultConfig(cfg);
  card->Init(cfg, &Probe, nullptr);
  Input in(data, size);
  for (int steps = 0; steps < 64 && !in.done(); ++steps) Step(*card, in);
  return 0;
}
