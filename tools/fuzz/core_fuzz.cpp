// libFuzzer target for the card's request decoder: a stream of requests as a hostile
// program sends them, plus the configuration parsers the service key and cardctl feed.
// Input and output live in buffers of exactly the sizes given, so a byte read or
// written past them is a sanitizer report.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "card/core/CardCore.h"
#include "card/core/CardText.h"

namespace {

using namespace kv22;

const uint32_t kCodes[] = {kSetDisableDsHwBuf,  kGetDisableDsHwBuf,    kSetOutputMode,
                           kSetWavetableEffect, kSetReverbAmount,      kSetChorusAmount,
                           kSetSoftSynthMode,   kGetPerformanceLevel,  kGetPerformanceClass,
                           kGetPerformanceFeature, kDownloadBank};

class Input {
 public:
  Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool done() const { return pos_ >= size_; }
  uint8_t u8() { return pos_ < size_ ? data_[pos_++] : 0; }
  uint16_t u16() { return uint16_t(u8() | u8() << 8); }
  uint32_t u32() { return uint32_t(u16()) | uint32_t(u16()) << 16; }
  // Up to n bytes; fewer when the input ends.
  std::vector<uint8_t> bytes(size_t n) {
    n = n < size_ - pos_ ? n : size_ - pos_;
    std::vector<uint8_t> v(data_ + pos_, data_ + pos_ + n);
    pos_ += n;
    return v;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

// A path ending in ".sf2" is a bank, one ending in ".txt" a file that is not: deterministic,
// and reachable by the fuzzer.
kv22::Status Probe(const char* path, void*) {
  const size_t n = std::strlen(path);
  if (n >= 4 && std::memcmp(path + n - 4, ".sf2", 4) == 0) return kv22::kOk;
  if (n >= 4 && std::memcmp(path + n - 4, ".txt", 4) == 0) return kv22::kBadBank;
  return kv22::kBankNotFound;
}

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

// What the decoder must hold to for one request, whatever it was sent.
void CheckOne(const Card& card, const CardState& before, uint32_t dev, uint32_t code,
              const uint8_t* in, uint32_t inLength, uint32_t outLength, Status st,
              uint32_t written) {
  Check(written <= outLength);
  LogEntry last;
  Check(card.ReadLog(card.LastSeq() - 1, &last, 1) == 1);
  Check(last.device == dev && last.code == code && last.status == uint32_t(st));
  Check(last.outLength == outLength);
  if (st != kOk) {
    // A rejected request changes nothing but the log.
    Check(std::memcmp(&before, &card.State(), sizeof before) == 0);
    Check(written == 0);
    return;
  }
  Check(dev < kDeviceCount && DeviceServes(dev, code));
  switch (code) {
    case kSetOutputMode: Check(inLength == kOutputRecordSize); break;
    case kGetPerformanceLevel:
    case kGetPerformanceClass:
    case kGetPerformanceFeature: Check(inLength == 0 && outLength >= 4 && written == 4); break;
    case kDownloadBank:
      Check(inLength >= 2 && inLength <= kBankPathMax && in[inLength - 1] == 0);
      Check(std::memcmp(card.State().bank, in, inLength) == 0);
      break;
    default: Check(inLength == 4); break;
  }
}

void OneRequest(Card& card, Input& input) {
  const uint8_t sel = input.u8();
  const uint32_t dev = sel & 0x80 ? input.u8() : sel % kDeviceCount;
  const uint32_t code = sel & 0x40 ? input.u32() : kCodes[input.u8() % (sizeof kCodes / 4)];
  const uint8_t shape = input.u8();
  uint32_t inLength = shape & 1 ? input.u16() % 300 : (shape >> 1) % 20;
  uint32_t outLength = shape & 8 ? input.u16() % 300 : (shape >> 4) % 8;
  std::vector<uint8_t> payload = input.bytes(inLength);
  inLength = uint32_t(payload.size());
  const bool nullIn = (shape & 0x80) && inLength;
  const bool shared = (shape & 0x40) != 0;  // buffered I/O: one buffer for both

  std::vector<uint8_t> inBuf(payload);
  std::vector<uint8_t> outBuf(outLength);
  std::vector<uint8_t> sharedBuf;
  const void* in = nullIn ? nullptr : (inLength ? inBuf.data() : nullptr);
  void* out = outLength ? outBuf.data() : nullptr;
  if (shared) {
    sharedBuf.assign(inLength > outLength ? inLength : outLength, 0);
    if (inLength) std::memcpy(sharedBuf.data(), payload.data(), inLength);
    in = nullIn ? nullptr : (sharedBuf.empty() ? nullptr : sharedBuf.data());
    out = outLength ? sharedBuf.data() : nullptr;
  }
  const CardState before = card.State();
  uint32_t written = 0xDEADBEEF;
  const Status st = card.Request(dev, code, in, inLength, out, outLength, &written);
  if (nullIn) Check(st != kOk);
  CheckOne(card, before, dev, code, payload.data(), inLength, outLength, st, written);
}

void FuzzConfig(Input& input) {
  CardConfig cfg;
  DefaultConfig(cfg);
  std::vector<uint8_t> rules = input.bytes(input.u8());
  const CardConfig kept = cfg;
  if (!FailRulesFromBytes(rules.data(), uint32_t(rules.size()), cfg)) {
    Check(std::memcmp(&kept, &cfg, sizeof cfg) == 0);
  } else {
    Check(ConfigValid(cfg));
    uint8_t back[8 * kMaxFailRules];
    Check(FailRulesToBytes(cfg, back, sizeof back) == rules.size());
    Check(rules.empty() || std::memcmp(back, rules.data(), rules.size()) == 0);
  }
  std::vector<uint8_t> text = input.bytes(input.u8());
  std::string arg(text.begin(), text.end());
  std::string error;
  const CardConfig held = cfg;
  if (ApplySetting(arg, cfg, error)) {
    Check(ConfigValid(cfg));
  } else {
    Check(std::memcmp(&held, &cfg, sizeof cfg) == 0 && !error.empty());
  }
  (void)FormatConfig(cfg);
  (void)FormatFailRules(cfg);
  (void)FormatEqConfig(cfg);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Input input(data, size);
  FuzzConfig(input);
  CardConfig cfg;
  DefaultConfig(cfg);
  // One fail rule chosen by the input, so refused requests are exercised too.
  cfg.failCount = 1;
  cfg.fail[0] = {kCodes[input.u8() % (sizeof kCodes / 4)], (input.u8() & kAllDevices) | 1u};
  static Card card;  // large; keep it off the stack
  card.Init(cfg, &Probe, nullptr);
  for (int i = 0; i < 64 && !input.done(); ++i) OneRequest(card, input);
  LogEntry entry;
  // Every logged success is one the checks above accepted; the text form takes any entry.
  if (card.ReadLog(0, &entry, 1) == 1) (void)FormatLogEntry(entry);
  (void)FormatState(card.State());
  return 0;
}
