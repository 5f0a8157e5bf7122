// The virtual card's logic: devices, control codes, state and request log.
// Freestanding: compiled into the kernel driver as well as into host tests,
// so no standard library, no allocation, no global constructors.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include "shared/names/Names.h"

namespace kv22 {

// Devices the card offers. The wavetable synthesizer has a 9x name and an NT name.
enum DeviceId : uint32_t {
  kDevWave = 0,        // ZEPHRA_WAVE_VXD
  kDevCore = 1,        // ZEPHRA_CORE_VXD
  kDevWavetable = 2,   // ZEPHRA_WAVETABLE_VXD
  kDevWavetableNt = 3, // ZEPHRA_WAVETABLE_NT
  kDeviceCount = 4
};

constexpr uint32_t DeviceBit(uint32_t dev) { return 1u << dev; }
constexpr uint32_t kAllDevices = (1u << kDeviceCount) - 1;

// Control codes the card's devices answer: the ones the programs send.
using zephra::ControlCode;
using zephra::kSetDisableDsHwBuf;
using zephra::kGetDisableDsHwBuf;
using zephra::kSetOutputMode;
using zephra::kSetWavetableEffect;
using zephra::kSetReverbAmount;
using zephra::kSetChorusAmount;
using zephra::kSetSoftSynthMode;
using zephra::kGetPerformanceLevel;
using zephra::kGetPerformanceClass;
using zephra::kGetPerformanceFeature;
using zephra::kDownloadBank;

// Why a request failed; kOk is success.
enum Status : uint32_t {
  kOk = 0,
  kBadSize = 1,       // input size differs from the code's, or output too small
  kNotSupported = 2,  // code unknown to this device
  kRefused = 3,       // configured to fail
  kBankNotFound = 4,  // DownloadBank: file cannot be opened
  kBadPath = 5,       // DownloadBank: not one zero-terminated text, or too long
  kNoDevice = 6,      // device id out of range
  kBadBank = 7,       // DownloadBank: the file is not a DLS or SoundFont 2 bank
};

struct FailRule {
  uint32_t code;
  uint32_t devices;  // DeviceBit mask the rule applies to
};

constexpr uint32_t kMaxFailRules = 16;

// The speaker equaliser, reached by the speaker-interface library (Kv20DAL).
constexpr uint32_t kEqMaxInputs = 6;
constexpr uint32_t kEqNameSize = 64;  // including the zero
constexpr uint32_t kDefaultBoardId = 0x2200;

enum EqConfigFlags : uint32_t {
  kEqInitFails = 1,    // the library's Initialize fails
  kEqUnavailable = 2,  // the equaliser reports itself unavailable now
};

struct EqConfig {
  uint32_t boardId;     // 16 bits
  uint32_t inputCount;  // analog inputs, 0..kEqMaxInputs
  uint32_t flags;       // EqConfigFlags
  uint32_t refuseMask;  // bit (index + 1): selecting that input is refused; bit 0 is "none" (-1)
  char names[kEqMaxInputs][kEqNameSize];
};

struct CardConfig {
  uint32_t deviceMask;  // which devices are visible (DeviceBit mask)
  uint32_t level;       // GetPerformanceLevel
  uint32_t perfClass;   // GetPerformanceClass
  uint32_t feature;     // GetPerformanceFeature
  uint32_t failCount;
  FailRule fail[kMaxFailRules];
  EqConfig eq;
};

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

constexpr uint32_t kBankPathMax = 260;  // including the zero
constexpr uint32_t kOutputRecordSize = 16;

struct CardState {
  uint32_t disableDsHwBuf;  // last SetDisableDsHwBuf flag
  uint32_t effects;
  uint32_t reverb;
  uint32_t chorus;
  uint32_t softSynthMode;
  uint16_t outputFlag;  // bytes 8..9 of the last OutputModeRecord
  uint16_t reserved;
  uint8_t outputRecord[kOutputRecordSize];
  char bank[kBankPathMax];  // last bank downloaded, "" when none
  uint32_t opens[kDeviceCount];    // opens since the last reset
  uint32_t handles[kDeviceCount];  // handles open now
  // The equaliser: on/off and the selected input (-1 none), and how often the library asked.
  uint32_t eqOn;
  int32_t eqInput;
  uint32_t eqInits;
  uint32_t eqStatusCalls;
  uint32_t eqConfigCalls;
};

// What the library's Initialize, GetStatus and SetConfig exchange with the card.
struct EqInfo {
  uint32_t boardId;
  uint32_t inputCount;
  char names[kEqMaxInputs][kEqNameSize];
};

constexpr uint32_t kEqStatusUnavailable = 0x08;

struct EqStatus {
  uint32_t flags;   // bit 0: on
  int32_t input;    // -1 none
  uint32_t status;  // kEqStatusUnavailable
};

constexpr uint32_t kEqMaskOnOff = 0x10;
constexpr uint32_t kEqMaskInput = 0x20;

struct EqRequest {
  uint32_t mask;   // kEqMaskOnOff, kEqMaskInput
  uint32_t flags;  // bit 0: on
  int32_t input;
};

constexpr uint32_t kLogInBytes = 64;
constexpr uint32_t kLogCapacity = 256;

struct LogEntry {
  uint32_t seq;  // 1, 2, ... since the last clear
  uint32_t device;
  uint32_t code;
  uint32_t inLength;  // full input size; only the first kLogInBytes are kept
  uint32_t outLength;
  uint32_t status;
  uint8_t in[kLogInBytes];
};

// The MIDI side, reported by the card's MIDI driver in each process that uses a port.
enum MidiPort : uint32_t { kMidiWavetable = 0, kMidiMpuOut = 1, kMidiMpuIn = 2, kMidiPortCount = 3 };
constexpr uint32_t kMidiEventBytes = 4;
constexpr uint32_t kMidiReportEvents = 8;
constexpr uint32_t kMidiLastEvents = 8;

struct MidiEvent {
  uint32_t port;    // MidiPort
  uint32_t length;  // the whole message's; only the first kMidiEventBytes are kept
  uint8_t bytes[kMidiEventBytes];
};

struct MidiSynthInfo {
  uint32_t activeVoices;
  uint32_t peakVoices;
  uint32_t maxVoices;
  uint32_t effects;  // the settings the synthesizer plays with
  uint32_t reverb;
  uint32_t chorus;
  uint32_t mode;
  char bank[kBankPathMax];  // the bank it plays, "" for none
};

enum MidiReportFlags : uint32_t { kMidiHasSynth = 1 };

struct MidiReport {
  uint32_t flags;                  // MidiReportFlags
  uint32_t bytes[kMidiPortCount];  // since the process's last report
  uint32_t eventCount;             // at most kMidiReportEvents, oldest first
  MidiEvent events[kMidiReportEvents];
  MidiSynthInfo synth;             // with kMidiHasSynth
};

struct MidiState {
  uint32_t bytes[kMidiPortCount];  // since power-on or reset
  uint32_t messages;               // every message reported
  uint32_t lastCount;              // entries in last, oldest first
  MidiEvent last[kMidiLastEvents];
  uint32_t hasSynth;               // a synthesizer has reported
  MidiSynthInfo synth;
};

// Which wavetable settings the card was told since power-on (the synthesizer keeps its own
// defaults for the others).
enum WavetableSetBits : uint32_t { kWtSetEffects = 1, kWtSetReverb = 2, kWtSetChorus = 4, kWtSetMode = 8 };

// The card's answer to a report: what its synthesizer should play with.
struct WavetableView {
  uint32_t setMask;  // WavetableSetBits
  uint32_t effects;
  uint32_t reverb;
  uint32_t chorus;
  uint32_t mode;
  char bank[kBankPathMax];  // the last bank downloaded, "" when none
};


// Looks at a bank file: kOk, kBankNotFound when it cannot be opened, kBadBank when it is not
// a bank (the driver reads its head and asks ProbeBank).
typedef Status (*FileProbe)(const char* path, void* context);

class Card {
 public:
  // Power-on: config taken, state and log cleared.
  void Init(const CardConfig& cfg, FileProbe probe, void* probeContext);
  void SetConfig(const CardConfig& cfg);
  const CardConfig& Config() const { return config_; }
  const CardState& State() const { return state_; }
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
  const MidiState& Midi() const { return midi_; }

  void NoteOpen(uint32_t dev);
  void NoteClose(uint32_t dev);

  // State back to power-on values, open counters and log cleared; config kept.
  void ResetState();
  void ClearLog();

  // Entries with seq > afterSeq, oldest first, at most max of them.
  uint32_t ReadLog(uint32_t afterSeq, LogEntry* out, uint32_t max) const;
  uint32_t LogCount() const { return logCount_; }
  uint32_t LastSeq() const { return nextSeq_ - 1; }

 private:
  Status Execute(uint32_t dev, uint32_t code, const uint8_t* in, uint32_t inLength, uint8_t* out,
                 uint32_t outLength, uint32_t* written);
  bool Refused(uint32_t dev, uint32_t code) const;
  LogEntry& Append(uint32_t dev, uint32_t code, const uint8_t* in, uint32_t inLength,
                   uint32_t outLength);

  CardConfig config_;
  CardState state_;
  MidiState midi_;
  uint32_t wtSetMask_;
  FileProbe probe_;
  void* probeContext_;
  LogEntry log_[kLogCapacity];
  uint32_t logHead_;  // index of the oldest entry
  uint32_t logCount_;
  uint32_t nextSeq_;
};

// Which device a code belongs to: true when dev serves code.
bool DeviceServes(uint32_t dev, uint32_t code);

// Private codes of the always-present control device ZEPHRA_CONTROL_DEVICE
// (FILE_DEVICE_UNKNOWN, functions 0x800.., METHOD_BUFFERED, any access).
enum CtlCode : uint32_t {
  kCtlGetStatus = 0x00222000,  // out: CardStatus
  kCtlGetLog = 0x00222004,     // in: uint32 afterSeq; out: LogEntry[]
  kCtlClearLog = 0x00222008,
  kCtlResetState = 0x0022200C,  // state, open counters and log
  kCtlSetConfig = 0x00222010,   // in: CardConfig; kept in the service key too
  kCtlEqInitialize = 0x00222014,  // out: EqInfo
  kCtlEqGetStatus = 0x00222018,   // out: EqStatus
  kCtlEqSetConfig = 0x0022201C,   // in: EqRequest
  kCtlMidiReport = 0x00222020,    // in: MidiReport; out: WavetableView
  kCtlGetMidi = 0x00222024,       // out: MidiState
};

constexpr uint32_t kStatusVersion = 2;

struct CardStatus {
  uint32_t version;
  uint32_t lastSeq;
  uint32_t logCount;
  uint32_t linkMask;  // devices whose names exist now
  CardConfig config;
  CardState state;
};

}  // namespace kv22
