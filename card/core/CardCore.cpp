#include "card/core/CardCore.h"

#include "shared/settings/Catalogue.h"

namespace kv22 {
namespace {

// No C library in the driver: small byte helpers of our own.
void Copy(void* dst, const void* src, uint32_t n) {
  auto* d = static_cast<volatile uint8_t*>(dst);
  auto* s = static_cast<const uint8_t*>(src);
  for (uint32_t i = 0; i < n; ++i) d[i] = s[i];
}

void Zero(void* dst, uint32_t n) {
  auto* d = static_cast<volatile uint8_t*>(dst);
  for (uint32_t i = 0; i < n; ++i) d[i] = 0;
}

uint32_t Le32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void PutLe32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
  p[2] = uint8_t(v >> 16);
  p[3] = uint8_t(v >> 24);
}

// Input size each code requires; -1 for a text (DownloadBank).
int32_t InputSize(uint32_t code) {
  switch (code) {
    case kSetOutputMode: return kOutputRecordSize;
    case kGetPerformanceLevel:
    case kGetPerformanceClass:
    case kGetPerformanceFeature: return 0;
    case kDownloadBank: return -1;
    default: return 4;
  }
}

}  // namespace

void DefaultConfig(CardConfig& cfg) {
  Zero(&cfg, sizeof cfg);
  cfg.deviceMask = kAllDevices;
  cfg.level = kDefaultLevel;
  cfg.perfClass = kDefaultClass;
  cfg.feature = kDefaultFeature;
  cfg.eq.boardId = kDefaultBoardId;
  static const char* const kNames[] = {"Line In", "CD Audio", "Aux In"};
  cfg.eq.inputCount = sizeof kNames / sizeof kNames[0];
  for (uint32_t i = 0; i < cfg.eq.inputCount; ++i) {
    for (uint32_t j = 0; kNames[i][j]; ++j) cfg.eq.names[i][j] = kNames[i][j];
  }
}

bool ConfigValid(const CardConfig& cfg) {
  if (cfg.failCount > kMaxFailRules || (cfg.deviceMask & ~kAllDevices) != 0) return false;
  for (uint32_t i = 0; i < cfg.failCount; ++i) {
    uint32_t d = cfg.fail[i].devices;
    if (d == 0 || (d & ~kAllDevices) != 0) return false;
  }
  const EqConfig& eq = cfg.eq;
  if (eq.boardId > 0xFFFF || eq.inputCount > kEqMaxInputs ||
      (eq.flags & ~uint32_t(kEqInitFails | kEqUnavailable)) != 0 ||
      (eq.refuseMask >> (kEqMaxInputs + 1)) != 0)
    return false;
  for (uint32_t i = 0; i < kEqMaxInputs; ++i) {
    if (eq.names[i][kEqNameSize - 1] != 0) return false;
  }
  return true;
}

bool FailRulesFromBytes(const uint8_t* data, uint32_t size, CardConfig& cfg) {
  if (size % 8 != 0 || size / 8 > kMaxFailRules) return false;
  CardConfig next = cfg;
  next.failCount = size / 8;
  for (uint32_t i = 0; i < next.failCount; ++i) {
    next.fail[i].code = Le32(data + 8 * i);
    next.fail[i].devices = Le32(data + 8 * i + 4);
  }
  if (!ConfigValid(next)) return false;
  cfg = next;
  return true;
}

uint32_t FailRulesToBytes(const CardConfig& cfg, uint8_t* data, uint32_t capacity) {
  uint32_t n = cfg.failCount <= kMaxFailRules ? cfg.failCount : kMaxFailRules;
  if (capacity / 8 < n) n = capacity / 8;
  for (uint32_t i = 0; i < n; ++i) {
    PutLe32(data + 8 * i, cfg.fail[i].code);
    PutLe32(data + 8 * i + 4, cfg.fail[i].devices);
  }
  return 8 * n;
}

bool DeviceServes(uint32_t dev, uint32_t code) {
  switch (code) {
    case kSetDisableDsHwBuf:
    case kGetDisableDsHwBuf: return dev == kDevWave;
    case kSetOutputMode: return dev == kDevCore;
    case kSetWavetableEffect:
    case kSetReverbAmount:
    case kSetChorusAmount:
    case kSetSoftSynthMode:
    case kGetPerformanceLevel:
    case kGetPerformanceClass:
    case kGetPerformanceFeature:
    case kDownloadBank: return dev == kDevWavetable || dev == kDevWavetableNt;
    default: return false;
  }
}

void Card::Init(const CardConfig& cfg, FileProbe probe, void* probeContext) {
  probe_ = probe;
  probeContext_ = probeContext;
  Zero(&state_, sizeof state_);
  Zero(&midi_, sizeof midi_);
  wtSetMask_ = 0;
  state_.eqInput = -1;
  SetConfig(cfg);
  ClearLog();
}

void Card::SetConfig(const CardConfig& cfg) {
  if (ConfigValid(cfg)) {
    config_ = cfg;
  } else {
    DefaultConfig(config_);
  }
}

bool Card::DeviceEnabled(uint32_t dev) const {
  return dev < kDeviceCount && (config_.deviceMask & DeviceBit(dev)) != 0;
}

void Card::ResetState() {
  uint32_t handles[kDeviceCount];
  Copy(handles, state_.handles, sizeof handles);
  Zero(&state_, sizeof state_);
  Copy(state_.handles, handles, sizeof handles);
  Zero(&midi_, sizeof midi_);
  wtSetMask_ = 0;
  state_.eqInput = -1;
  ClearLog();
}

Status Card::EqInitialize(EqInfo& out) {
  ++state_.eqInits;
  if (config_.eq.flags & kEqInitFails) return kRefused;
  Zero(&out, sizeof out);
  out.boardId = config_.eq.boardId;
  out.inputCount = config_.eq.inputCount;
  Copy(out.names, config_.eq.names, sizeof out.names);
  return kOk;
}

Status Card::EqGetStatus(EqStatus& out) {
  ++state_.eqStatusCalls;
  out.flags = state_.eqOn ? 1u : 0u;
  out.input = state_.eqInput;
  out.status = (config_.eq.flags & kEqUnavailable) ? kEqStatusUnavailable : 0u;
  return kOk;
}

Status Card::EqSetConfig(const EqRequest& req) {
  ++state_.eqConfigCalls;
  if (config_.eq.flags & kEqUnavailable) return kRefused;
  if (req.mask & kEqMaskInput) {
    int32_t count = int32_t(config_.eq.inputCount);
    if (req.input < -1 || req.input >= count) return kRefused;
    if (config_.eq.refuseMask & (1u << uint32_t(req.input + 1))) return kRefused;
  }
  // Both parts are checked before either is applied.
  if (req.mask & kEqMaskOnOff) state_.eqOn = req.flags & 1u;
  if (req.mask & kEqMaskInput) state_.eqInput = req.input;
  return kOk;
}

void Card::ClearLog() {
  logHead_ = 0;
  logCount_ = 0;
  nextSeq_ = 1;
}

void Card::NoteOpen(uint32_t dev) {
  if (dev >= kDeviceCount) return;
  ++state_.opens[dev];
  ++state_.handles[dev];
}

void Card::NoteClose(uint32_t dev) {
  if (dev >= kDeviceCount || state_.handles[dev] == 0) return;
  --state_.handles[dev];
}

bool Card::Refused(uint32_t dev, uint32_t code) const {
  for (uint32_t i = 0; i < config_.failCount; ++i) {
    if (config_.fail[i].code == code && (config_.fail[i].devices & DeviceBit(dev)) != 0) return true;
  }
  return false;
}

LogEntry& Card::Append(uint32_t dev, uint32_t code, const uint8_t* in, uint32_t inLength,
                       uint32_t outLength) {
  uint32_t slot;
  if (logCount_ < kLogCapacity) {
    slot = (logHead_ + logCount_) % kLogCapacity;
    ++logCount_;
  } else {
    slot = logHead_;  // overwrite the oldest
    logHead_ = (logHead_ + 1) % kLogCapacity;
  }
  LogEntry& e = log_[slot];
  Zero(&e, sizeof e);
  e.seq = nextSeq_++;
  e.device = dev;
  e.code = code;
  e.inLength = inLength;
  e.outLength = outLength;
  if (in) Copy(e.in, in, inLength < kLogInBytes ? inLength : kLogInBytes);
  return e;
}

Status Card::Request(uint32_t dev, uint32_t code, const void* in, uint32_t inLength, void* out,
                     uint32_t outLength, uint32_t* written) {
  *written = 0;
  const auto* inBytes = static_cast<const uint8_t*>(in);
  // A null buffer with a non-zero size is as bad as a wrong size.
  if (!inBytes && inLength) inLength = 0xFFFFFFFFu;
  if (!out) outLength = 0;
  // Logged first: with buffered I/O the output may overwrite the input.
  LogEntry& e = Append(dev, code, inBytes, inBytes ? inLength : 0, outLength);
  Status st = Execute(dev, code, inBytes, inLength, static_cast<uint8_t*>(out), outLength, written);
  e.status = st;
  return st;
}

Status Card::Execute(uint32_t dev, uint32_t code, const uint8_t* in, uint32_t inLength,
                     uint8_t* out, uint32_t outLength, uint32_t* written) {
  if (dev >= kDeviceCount) return kNoDevice;
  if (!DeviceServes(dev, code)) return kNotSupported;

  int32_t need = InputSize(code);
  if (need >= 0 && inLength != uint32_t(need)) return kBadSize;
  bool query = code == kGetPerformanceLevel || code == kGetPerformanceClass ||
               code == kGetPerformanceFeature;
  if (query && outLength < 4) return kBadSize;
  // GetDisableDsHwBuf returns the switch only when the caller gives room for it.
  if (code == kGetDisableDsHwBuf && outLength != 0 && outLength < 4) return kBadSize;
  if (code == kDownloadBank) {
    if (inLength < 2 || inLength > kBankPathMax || in[inLength - 1] != 0) return kBadPath;
    for (uint32_t i = 0; i + 1 < inLength; ++i) {
      if (in[i] == 0) return kBadPath;
    }
  }
  if (Refused(dev, code)) return kRefused;

  switch (code) {
    case kSetDisableDsHwBuf: state_.disableDsHwBuf = Le32(in); break;
    case kGetDisableDsHwBuf:
      if (outLength >= 4) {
        PutLe32(out, state_.disableDsHwBuf);
        *written = 4;
      }
      break;
    case kSetOutputMode:
      Copy(state_.outputRecord, in, kOutputRecordSize);
      state_.outputFlag = uint16_t(in[kOutputFlagOffset] | in[kOutputFlagOffset + 1] << 8);
      break;
    case kSetWavetableEffect: state_.effects = Le32(in); wtSetMask_ |= kWtSetEffects; break;
    case kSetReverbAmount: state_.reverb = Le32(in); wtSetMask_ |= kWtSetReverb; break;
    case kSetChorusAmount: state_.chorus = Le32(in); wtSetMask_ |= kWtSetChorus; break;
    case kSetSoftSynthMode: state_.softSynthMode = Le32(in); wtSetMask_ |= kWtSetMode; break;
    case kGetPerformanceLevel:
    case kGetPerformanceClass:
    case kGetPerformanceFeature: {
      uint32_t v = code == kGetPerformanceLevel   ? config_.level
                   : code == kGetPerformanceClass ? config_.perfClass
                                                  : config_.feature;
      PutLe32(out, v);
      *written = 4;
      break;
    }
    case kDownloadBank: {
      const char* path = reinterpret_cast<const char*>(in);
      const Status found = probe_ ? probe_(path, probeContext_) : kBankNotFound;
      if (found != kOk) return found == kBadBank ? kBadBank : kBankNotFound;
      Copy(state_.bank, in, inLength);
      break;
    }
  }
  return kOk;
}

uint32_t Card::ReadLog(uint32_t afterSeq, LogEntry* out, uint32_t max) const {
  uint32_t n = 0;
  for (uint32_t i = 0; i < logCount_ && n < max; ++i) {
    const LogEntry& e = log_[(logHead_ + i) % kLogCapacity];
    if (e.seq > afterSeq) out[n++] = e;
  }
  return n;
}

namespace {

bool Terminated(const char* text, uint32_t size) {
  for (uint32_t i = 0; i < size; ++i) {
    if (text[i] == 0) return true;
  }
  return false;
}

}  // namespace

Status Card::MidiReportIn(const MidiReport& report, WavetableView& view) {
  if (report.eventCount > kMidiReportEvents) return kBadSize;
  if ((report.flags & kMidiHasSynth) && !Terminated(report.synth.bank, kBankPathMax)) return kBadPath;
  for (uint32_t i = 0; i < report.eventCount; ++i) {
    if (report.events[i].port >= kMidiPortCount) return kBadSize;
  }
  for (uint32_t p = 0; p < kMidiPortCount; ++p) midi_.bytes[p] += report.bytes[p];
  for (uint32_t i = 0; i < report.eventCount; ++i) {
    if (midi_.lastCount == kMidiLastEvents) {
      for (uint32_t k = 1; k < kMidiLastEvents; ++k) midi_.last[k - 1] = midi_.last[k];
      --midi_.lastCount;
    }
    midi_.last[midi_.lastCount++] = report.events[i];
    ++midi_.messages;
  }
  if (report.flags & kMidiHasSynth) {
    midi_.hasSynth = 1;
    midi_.synth = report.synth;
  }
  view.setMask = wtSetMask_;
  view.effects = state_.effects;
  view.reverb = state_.reverb;
  view.chorus = state_.chorus;
  view.mode = state_.softSynthMode;
  Copy(view.bank, state_.bank, kBankPathMax);
  return kOk;
}

void Card::TakeStored(const StoredSettings& stored) {
  const uint32_t has = stored.present;
  if (has & kStoredOutputMode) {
    const uint16_t flag = OutputFlagForMode(int(catalogue::OutputModeFromStore(true, stored.outputMode)));
    Zero(state_.outputRecord, sizeof state_.outputRecord);
    state_.outputRecord[kOutputFlagOffset] = uint8_t(flag & 0xFF);
    state_.outputRecord[kOutputFlagOffset + 1] = uint8_t(flag >> 8);
    state_.outputFlag = flag;
  }
  if (has & kStoredDisableDsHwBuf) state_.disableDsHwBuf = stored.disableDsHwBuf;
  if (has & kStoredEffects) {
    state_.effects = stored.effects != 0 ? 1 : 0;
    wtSetMask_ |= kWtSetEffects;
  }
  if (has & kStoredReverb) {
    state_.reverb = catalogue::EffectLevelFromStore(true, stored.reverb);
    wtSetMask_ |= kWtSetReverb;
  }
  if (has & kStoredChorus) {
    state_.chorus = catalogue::EffectLevelFromStore(true, stored.chorus);
    wtSetMask_ |= kWtSetChorus;
  }
  // An odd mode counts as none stored, as on the MIDI page: the synthesizer keeps its own.
  if ((has & kStoredSynthMode) && catalogue::SoftSynthModeUsable(true, stored.synthMode)) {
    state_.softSynthMode = stored.synthMode;
    wtSetMask_ |= kWtSetMode;
  }
  if ((has & kStoredBank) && Terminated(stored.bank, kBankPathMax) && stored.bank[0] &&
      (!probe_ || probe_(stored.bank, probeContext_) == kOk))
    Copy(state_.bank, stored.bank, kBankPathMax);
}

}  // namespace kv22
