// The card's protocol: what crosses its devices. Device ids, the records the control
// device exchanges, the output-mode record, and the ranges the card's values keep. Used by
// the card, its clients and the programs alike.
// Freestanding: compiled into the kernel driver too, so no standard library.
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

// SetOutputMode's record: 16 bytes, only the flag at bytes 8..9 (little-endian) set.
constexpr uint32_t kOutputFlagOffset = 8;
constexpr uint16_t kExternalSpeakersFlag = 0xFFFF;
// 0xFFFF for mode 1 (external speakers); 0 for mode 0 and any other value.
constexpr uint16_t OutputFlagForMode(int mode) { return mode == 1 ? kExternalSpeakersFlag : 0; }

// Reverb and chorus amounts run 0..127, as the MIDI page's sliders do. The card stores what
// it is sent; whoever plays the amounts holds them to the range.
constexpr uint32_t kEffectLevelMax = 127;
constexpr uint32_t ClampEffectLevel(uint32_t level) { return level > kEffectLevelMax ? kEffectLevelMax : level; }

// The wavetable's modes: 0 and 1 with 64 voices, 2 with 32.
constexpr uint32_t kSoftSynthModeMax = 2;
constexpr bool SoftSynthModeValid(uint32_t mode) { return mode <= kSoftSynthModeMax; }

}  // namespace kv22
