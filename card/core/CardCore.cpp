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
  m_probe = probe;
  m_probeContext = probeContext;
  Zero(&m_state, sizeof m_state);
  Zero(&m_midi, sizeof m_midi);
  m_wtSetMask = 0;
  m_state.eqInput = -1;
  SetConfig(cfg);
  ClearLog();
}

void Card::SetConfig(const CardConfig& cfg) {
  if (ConfigValid(cfg)) {
    m_config = cfg;
  } else {
    DefaultConfig(m_config);
  }
}

bool Card::DeviceEnabled(uint32_t dev) const {
  return dev < kDeviceCount && (m_config.deviceMask & DeviceBit(dev)) != 0;
}

void Card::ResetState() {
  uint32_t handles[kDeviceCount];
  Copy(handles, m_state.handles, sizeof handles);
  Zero(&m_state, sizeof m_state);
  Copy(m_state.handles, handles, sizeof handles);
  Zero(&m_midi, sizeof m_midi);
  m_wtSetMask = 0;
  m_state.eqInput = -1;
  ClearLog();
}

Status Card::EqInitialize(EqInfo& out) {
  ++m_state.eqInits;
  if (m_config.eq.flags & kEqInitFails) return kRefused;
  Zero(&out, sizeof out);
  out.boardId = m_config.eq.boardId;
  out.inputCount = m_config.eq.inputCount;
  Copy(out.names, m_config.eq.names, sizeof out.names);
  return kOk;
}

Status Card::EqGetStatus(EqStatus& out) {
  ++m_state.eqStatusCalls;
  out.flags = m_state.eqOn ? 1u : 0u;
  out.input = m_state.eqInput;
  out.status = (m_config.eq.flags & kEqUnavailable) ? kEqStatusUnavailable : 0u;
  return kOk;
}

Status Card::EqSetConfig(const EqRequest& req) {
  ++m_state.eqConfigCalls;
  if (m_config.eq.flags & kEqUnavailable) return kRefused;
  if (req.mask & kEqMaskInput) {
    int32_t count = int32_t(m_config.eq.inputCount);
    if (req.input < -1 || req.input >= count) return kRefused;
    if (m_config.eq.refuseMask & (1u << uint32_t(req.input + 1))) return kRefused;
  }
  // Both parts are checked before either is applied.
  if (req.mask & kEqMaskOnOff) m_state.eqOn = req.flags & 1u;
  if (req.mask & kEqMaskInput) m_state.eqInput = req.input;
  return kOk;
}

void Card::ClearLog() {
  m_logHead = 0;
  m_logCount = 0;
  m_nextSeq = 1;
}

void Card::NoteOpen(uint32_t dev) {
  if (dev >= kDeviceCount) return;
  ++m_state.opens[dev];
  ++m_state.handles[dev];
}

void Card::NoteClose(uint32_t dev) {
  if (dev >= kDeviceCount || m_state.handles[dev] == 0) return;
  --m_state.handles[dev];
}

bool Card::Refused(uint32_t dev, uint32_t code) const {
  for (uint32_t i = 0; i < m_config.failCount; ++i) {
    if (m_config.fail[i].code == code && (m_config.fail[i].devices & DeviceBit(dev)) != 0) return true;
  }
  return false;
}

LogEntry& Card::Append(uint32_t dev, uint32_t code, const uint8_t* in, uint32_t inLength,
                       uint32_t outLength) {
  uint32_t slot;
  if (m_logCount < kLogCapacity) {
    slot = (m_logHead + m_logCount) % kLogCapacity;
    ++m_logCount;
  } else {
    slot = m_logHead;  // overwrite the oldest
    m_logHead = (m_logHead + 1) % kLogCapacity;
  }
  LogEntry& e = m_log[slot];
  Zero(&e, sizeof e);
  e.seq = m_nextSeq++;
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
    case kSetDisableDsHwBuf: m_state.disableDsHwBuf = Le32(in); break;
    case kGetDisableDsHwBuf:
      if (outLength >= 4) {
        PutLe32(out, m_state.disableDsHwBuf);
        *written = 4;
      }
      break;
    case kSetOutputMode:
      Copy(m_state.outputRecord, in, kOutputRecordSize);
      m_state.outputFlag = uint16_t(in[kOutputFlagOffset] | in[kOutputFlagOffset + 1] << 8);
      break;
    case kSetWavetableEffect: m_state.effects = Le32(in); m_wtSetMask |= kWtSetEffects; break;
    case kSetReverbAmount: m_state.reverb = Le32(in); m_wtSetMask |= kWtSetReverb; break;
    case kSetChorusAmount: m_state.chorus = Le32(in); m_wtSetMask |= kWtSetChorus; break;
    case kSetSoftSynthMode: m_state.softSynthMode = Le32(in); m_wtSetMask |= kWtSetMode; break;
    case kGetPerformanceLevel:
    case kGetPerformanceClass:
    case kGetPerformanceFeature: {
      uint32_t v = code == kGetPerformanceLevel   ? m_config.level
                   : code == kGetPerformanceClass ? m_config.perfClass
                                                  : m_config.feature;
      PutLe32(out, v);
      *written = 4;
      break;
    }
    case kDownloadBank: {
      const char* path = reinterpret_cast<const char*>(in);
      const Status found = m_probe ? m_probe(path, m_probeContext) : kBankNotFound;
      if (found != kOk) return found == kBadBank ? kBadBank : kBankNotFound;
      Copy(m_state.bank, in, inLength);
      break;
    }
  }
  return kOk;
}

uint32_t Card::ReadLog(uint32_t afterSeq, LogEntry* out, uint32_t max) const {
  uint32_t n = 0;
  for (uint32_t i = 0; i < m_logCount && n < max; ++i) {
    const LogEntry& e = m_log[(m_logHead + i) % kLogCapacity];
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
  for (uint32_t p = 0; p < kMidiPortCount; ++p) m_midi.bytes[p] += report.bytes[p];
  for (uint32_t i = 0; i < report.eventCount; ++i) {
    if (m_midi.lastCount == kMidiLastEvents) {
      for (uint32_t k = 1; k < kMidiLastEvents; ++k) m_midi.last[k - 1] = m_midi.last[k];
      --m_midi.lastCount;
    }
    m_midi.last[m_midi.lastCount++] = report.events[i];
    ++m_midi.messages;
  }
  if (report.flags & kMidiHasSynth) {
    m_midi.hasSynth = 1;
    m_midi.synth = report.synth;
  }
  view.setMask = m_wtSetMask;
  view.effects = m_state.effects;
  view.reverb = m_state.reverb;
  view.chorus = m_state.chorus;
  view.mode = m_state.softSynthMode;
  Copy(view.bank, m_state.bank, kBankPathMax);
  return kOk;
}

void Card::TakeStored(const StoredSettings& stored) {
  const uint32_t has = stored.present;
  if (has & kStoredOutputMode) {
    const uint16_t flag = OutputFlagForMode(int(catalogue::OutputModeFromStore(true, stored.outputMode)));
    Zero(m_state.outputRecord, sizeof m_state.outputRecord);
    m_state.outputRecord[kOutputFlagOffset] = uint8_t(flag & 0xFF);
    m_state.outputRecord[kOutputFlagOffset + 1] = uint8_t(flag >> 8);
    m_state.outputFlag = flag;
  }
  if (has & kStoredDisableDsHwBuf) m_state.disableDsHwBuf = stored.disableDsHwBuf;
  if (has & kStoredEffects) {
    m_state.effects = stored.effects != 0 ? 1 : 0;
    m_wtSetMask |= kWtSetEffects;
  }
  if (has & kStoredReverb) {
    m_state.reverb = catalogue::EffectLevelFromStore(true, stored.reverb);
    m_wtSetMask |= kWtSetReverb;
  }
  if (has & kStoredChorus) {
    m_state.chorus = catalogue::EffectLevelFromStore(true, stored.chorus);
    m_wtSetMask |= kWtSetChorus;
  }
  // An odd mode counts as none stored, as on the MIDI page: the synthesizer keeps its own.
  if ((has & kStoredSynthMode) && catalogue::SoftSynthModeUsable(true, stored.synthMode)) {
    m_state.softSynthMode = stored.synthMode;
    m_wtSetMask |= kWtSetMode;
  }
  if ((has & kStoredBank) && Terminated(stored.bank, kBankPathMax) && stored.bank[0] &&
      (!m_probe || m_probe(stored.bank, m_probeContext) == kOk))
    Copy(m_state.bank, stored.bank, kBankPathMax);
}

}  // namespace kv22
