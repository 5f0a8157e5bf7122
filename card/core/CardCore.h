// The virtual card's logic: the state machine behind its devices, and its request log.
// Freestanding: compiled into the kernel driver as well as into host tests,
// so no standard library, no allocation, no global constructors.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include "shared/card/CardProtocol.h"

namespace kv22 {

// A capable card: every device present, class 6, level 200, feature present.
constexpr uint32_t kDefaultLevel = 200;
constexpr uint32_t kDefaultClass = 6;
constexpr uint32_t kDefaultFeature = 1;
void DefaultConfig(CardConfig& cfg);

// False when the config cannot be used (too many rules, a rule for no device, an
// equaliser with too many inputs or a name without its zero).
bool ConfigValid(const CardConfig& cfg);

// Fail rules as stored in the service key: 8-byte records {code, devices},
// little-endian. Returns false (and leaves cfg alone) when the size is not a
// multiple of 8 or holds more than kMaxFailRules records.
bool FailRulesFromBytes(const uint8_t* data, uint32_t size, CardConfig& cfg);
uint32_t FailRulesToBytes(const CardConfig& cfg, uint8_t* data, uint32_t capacity);

// Looks at a bank file: kOk, kBankNotFound when it cannot be opened, kBadBank when it is not
// a bank (the driver reads its head and asks ProbeBank).
typedef Status (*FileProbe)(const char* path, void* context);

// What the control panel stored of the settings the card keeps, read when the card starts (a
// real card's driver does the same at load time). Values not in `present` were not stored.
enum StoredBits : uint32_t {
  kStoredOutputMode = 1,
  kStoredDisableDsHwBuf = 2,
  kStoredEffects = 4,
  kStoredReverb = 8,
  kStoredChorus = 16,
  kStoredSynthMode = 32,
  kStoredBank = 64,
};

struct StoredSettings {
  uint32_t present;  // StoredBits
  uint32_t outputMode;
  uint32_t disableDsHwBuf;
  uint32_t effects;
  uint32_t reverb;
  uint32_t chorus;
  uint32_t synthMode;
  char bank[kBankPathMax];
};

class Card {
 public:
  // Power-on: config taken, state and log cleared.
  void Init(const CardConfig& cfg, FileProbe probe, void* probeContext);
  // The stored settings on top of the power-on state, read as the pages read them: so the card
  // sounds as the pages show before any control is touched. A bank is taken only when it
  // probes as one. Not logged: no program asked.
  void TakeStored(const StoredSettings& stored);
  void SetConfig(const CardConfig& cfg);
  const CardConfig& Config() const { return m_config; }
  const CardState& State() const { return m_state; }
  bool DeviceEnabled(uint32_t dev) const;

  // One control request. in and out may overlap (buffered I/O): the input is
  // read before anything is written. *written gets the output byte count.
  Status Request(uint32_t dev, uint32_t code, const void* in, uint32_t inLength, void* out,
                 uint32_t outLength, uint32_t* written);

  // The equaliser. Initialize fails (kRefused) when so configured; SetConfig refuses an
  // input outside -1..inputCount-1, one named in refuseMask, and anything while the
  // equaliser is unavailable. Every call is counted, failed or not.
  Status EqInitialize(EqInfo& out);
  Status EqGetStatus(EqStatus& out);
  Status EqSetConfig(const EqRequest& req);

  // A MIDI report merged into the card's MIDI state; kBadSize when it is malformed.
  Status MidiReportIn(const MidiReport& report, WavetableView& view);
  const MidiState& Midi() const { return m_midi; }

  void NoteOpen(uint32_t dev);
  void NoteClose(uint32_t dev);

  // State back to power-on values, open counters and log cleared; config kept.
  void ResetState();
  void ClearLog();

  // Entries with seq > afterSeq, oldest first, at most max of them.
  uint32_t ReadLog(uint32_t afterSeq, LogEntry* out, uint32_t max) const;
  uint32_t LogCount() const { return m_logCount; }
  uint32_t LastSeq() const { return m_nextSeq - 1; }

 private:
  Status Execute(uint32_t dev, uint32_t code, const uint8_t* in, uint32_t inLength, uint8_t* out,
                 uint32_t outLength, uint32_t* written);
  bool Refused(uint32_t dev, uint32_t code) const;
  LogEntry& Append(uint32_t dev, uint32_t code, const uint8_t* in, uint32_t inLength,
                   uint32_t outLength);

  CardConfig m_config;
  CardState m_state;
  MidiState m_midi;
  uint32_t m_wtSetMask;
  FileProbe m_probe;
  void* m_probeContext;
  LogEntry m_log[kLogCapacity];
  uint32_t m_logHead;  // index of the oldest entry
  uint32_t m_logCount;
  uint32_t m_nextSeq;
};

// Which device a code belongs to: true when dev serves code.
bool DeviceServes(uint32_t dev, uint32_t code);

}  // namespace kv22
