#include "card/core/CardText.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace kv22 {
namespace {

const char* const kDeviceNames[kDeviceCount] = {"wave", "core", "wt", "nt"};

std::vector<std::string> Split(const std::string& text, char sep) {
  std::vector<std::string> parts;
  std::string::size_type start = 0;
  for (;;) {
    auto pos = text.find(sep, start);
    parts.push_back(text.substr(start, pos == std::string::npos ? std::string::npos : pos - start));
    if (pos == std::string::npos) break;
    start = pos + 1;
  }
  return parts;
}

bool ParseU32(const std::string& text, uint32_t& value) {
  if (text.empty() || text[0] == '-' || text[0] == '+' || text[0] == ' ') return false;
  errno = 0;
  char* end = nullptr;
  unsigned long long v = std::strtoull(text.c_str(), &end, 0);
  if (errno != 0 || *end != 0 || v > 0xFFFFFFFFull) return false;
  value = uint32_t(v);
  return true;
}

std::string Hex8(uint32_t v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08x", unsigned(v));
  return buf;
}

std::string PerDevice(const char* head, const uint32_t (&counts)[kDeviceCount]) {
  std::string s = head;
  for (uint32_t d = 0; d < kDeviceCount; ++d) {
    s += ' ';
    s += kDeviceNames[d];
    s += '=';
    s += std::to_string(counts[d]);
  }
  return s;
}

}  // namespace

const char* DeviceName(uint32_t dev) { return dev < kDeviceCount ? kDeviceNames[dev] : "?"; }

bool DeviceFromName(const std::string& name, uint32_t& dev) {
  for (uint32_t d = 0; d < kDeviceCount; ++d) {
    if (name == kDeviceNames[d]) {
      dev = d;
      return true;
    }
  }
  return false;
}

const char* StatusName(uint32_t status) {
  switch (status) {
    case kOk: return "ok";
    case kBadSize: return "bad-size";
    case kNotSupported: return "not-supported";
    case kRefused: return "refused";
    case kBankNotFound: return "bank-not-found";
    case kBadPath: return "bad-path";
    case kNoDevice: return "no-device";
    case kBadBank: return "bad-bank";
    default: return "?";
  }
}

std::string FormatDeviceMask(uint32_t mask) {
  std::string s;
  for (uint32_t d = 0; d < kDeviceCount; ++d) {
    if (mask & DeviceBit(d)) {
      if (!s.empty()) s += ',';
      s += kDeviceNames[d];
    }
  }
  return s.empty() ? "none" : s;
}

bool ParseDeviceMask(const std::string& text, uint32_t& mask) {
  if (text == "none") {
    mask = 0;
    return true;
  }
  if (text == "all") {
    mask = kAllDevices;
    return true;
  }
  uint32_t m = 0;
  for (const auto& part : Split(text, ',')) {
    uint32_t d;
    if (!DeviceFromName(part, d)) return false;
    m |= DeviceBit(d);
  }
  mask = m;
  return true;
}

std::string FormatFailRules(const CardConfig& cfg) {
  std::string s;
  for (uint32_t i = 0; i < cfg.failCount && i < kMaxFailRules; ++i) {
    if (!s.empty()) s += ',';
    uint32_t devs = cfg.fail[i].devices;
    if (devs != kAllDevices) {
      // One rule per device keeps the text form simple: "wt:0x..,nt:0x..".
      bool first = true;
      for (uint32_t d = 0; d < kDeviceCount; ++d) {
        if (!(devs & DeviceBit(d))) continue;
        if (!first) s += ',';
        first = false;
        s += kDeviceNames[d];
        s += ':';
        s += Hex8(cfg.fail[i].code);
      }
    } else {
      s += Hex8(cfg.fail[i].code);
    }
  }
  return s.empty() ? "-" : s;
}

bool ParseFailRules(const std::string& text, CardConfig& cfg) {
  CardConfig next = cfg;
  next.failCount = 0;
  if (text != "-" && text != "none") {
    for (const auto& part : Split(text, ',')) {
      FailRule rule{0, kAllDevices};
      std::string codeText = part;
      auto colon = part.find(':');
      if (colon != std::string::npos) {
        uint32_t d;
        if (!DeviceFromName(part.substr(0, colon), d)) return false;
        rule.devices = DeviceBit(d);
        codeText = part.substr(colon + 1);
      }
      if (!ParseU32(codeText, rule.code)) return false;
      // The same code named for several devices becomes one rule.
      bool merged = false;
      for (uint32_t i = 0; i < next.failCount; ++i) {
        if (next.fail[i].code == rule.code) {
          next.fail[i].devices |= rule.devices;
          merged = true;
        }
      }
      if (merged) continue;
      if (next.failCount == kMaxFailRules) return false;
      next.fail[next.failCount++] = rule;
    }
  }
  cfg = next;
  return true;
}

std::string FormatLogEntry(const LogEntry& e) {
  std::string s = "req " + std::to_string(e.seq) + " " + DeviceName(e.device) + " " + Hex8(e.code) +
                  " in=";
  uint32_t kept = e.inLength < kLogInBytes ? e.inLength : kLogInBytes;
  if (kept == 0) {
    s += '-';
  } else {
    char hex[3];
    for (uint32_t i = 0; i < kept; ++i) {
      std::snprintf(hex, sizeof hex, "%02x", e.in[i]);
      s += hex;
    }
  }
  s += " len=" + std::to_string(e.inLength) + " out=" + std::to_string(e.outLength) + " " +
       (e.status == kOk ? "ok" : "fail");
  return s;
}

std::string FormatState(const CardState& st) {
  char flag[8];
  std::snprintf(flag, sizeof flag, "0x%04x", unsigned(st.outputFlag));
  // The bank path is what the device stored: bounded by its buffer.
  std::string bank(st.bank, strnlen(st.bank, kBankPathMax));
  return "state disable_ds_hw_buf=" + std::to_string(st.disableDsHwBuf) + " output=" + flag +
         " effects=" + std::to_string(st.effects) + " reverb=" + std::to_string(st.reverb) +
         " chorus=" + std::to_string(st.chorus) + " mode=" + std::to_string(st.softSynthMode) +
         " bank=\"" + bank + "\"";
}

std::string FormatMidi(const MidiState& m) {
  static const char* const kPorts[kMidiPortCount] = {"wavetable", "mpu-out", "mpu-in"};
  std::string s = "midi";
  for (uint32_t p = 0; p < kMidiPortCount; ++p) s += std::string(" ") + kPorts[p] + "=" + std::to_string(m.bytes[p]);
  s += " messages=" + std::to_string(m.messages);
  uint32_t count = m.lastCount < kMidiLastEvents ? m.lastCount : kMidiLastEvents;
  for (uint32_t i = 0; i < count; ++i) {
    const MidiEvent& e = m.last[i];
    s += std::string("\nlast ") + (e.port < kMidiPortCount ? kPorts[e.port] : "?");
    uint32_t kept = e.length < kMidiEventBytes ? e.length : kMidiEventBytes;
    for (uint32_t k = 0; k < kept; ++k) {
      char b[4];
      std::snprintf(b, sizeof b, "%02x", unsigned(e.bytes[k]));
      s += std::string(" ") + b;
    }
    s += " len=" + std::to_string(e.length);
  }
  if (!m.hasSynth) return s + "\nsynth none";
  const MidiSynthInfo& y = m.synth;
  return s + "\nsynth voices=" + std::to_string(y.activeVoices) + " peak=" + std::to_string(y.peakVoices) +
         " max=" + std::to_string(y.maxVoices) + " effects=" + std::to_string(y.effects) +
         " reverb=" + std::to_string(y.reverb) + " chorus=" + std::to_string(y.chorus) +
         " mode=" + std::to_string(y.mode) + " bank=\"" + std::string(y.bank, strnlen(y.bank, kBankPathMax)) + "\"";
}

std::string FormatOpens(const CardState& s) { return PerDevice("opens", s.opens); }
std::string FormatHandles(const CardState& s) { return PerDevice("handles", s.handles); }

std::string FormatConfig(const CardConfig& cfg) {
  return "config devices=" + FormatDeviceMask(cfg.deviceMask) + " level=" + std::to_string(cfg.level) +
         " class=" + std::to_string(cfg.perfClass) + " feature=" + std::to_string(cfg.feature) +
         " fail=" + FormatFailRules(cfg);
}

std::string FormatLinks(uint32_t linkMask) { return "links " + FormatDeviceMask(linkMask); }

std::string FormatEqConfig(const CardConfig& cfg) {
  char board[16];
  std::snprintf(board, sizeof board, "0x%04x", unsigned(cfg.eq.boardId & 0xFFFF));
  std::string refuse;
  for (uint32_t bit = 0; bit <= kEqMaxInputs; ++bit) {
    if (!(cfg.eq.refuseMask & (1u << bit))) continue;
    if (!refuse.empty()) refuse += ',';
    refuse += std::to_string(int(bit) - 1);
  }
  std::string inputs;
  uint32_t count = cfg.eq.inputCount <= kEqMaxInputs ? cfg.eq.inputCount : kEqMaxInputs;
  for (uint32_t i = 0; i < count; ++i) {
    if (i) inputs += '|';
    inputs.append(cfg.eq.names[i], strnlen(cfg.eq.names[i], kEqNameSize));
  }
  return std::string("eq board=") + board + " init=" + ((cfg.eq.flags & kEqInitFails) ? "fail" : "ok") +
         " unavailable=" + ((cfg.eq.flags & kEqUnavailable) ? "1" : "0") +
         " refuse=" + (refuse.empty() ? "-" : refuse) + " inputs=\"" + inputs + "\"";
}

std::string FormatEqState(const CardState& s) {
  return "eqstate on=" + std::to_string(s.eqOn) + " input=" + std::to_string(s.eqInput) +
         " inits=" + std::to_string(s.eqInits) + " status=" + std::to_string(s.eqStatusCalls) +
         " configs=" + std::to_string(s.eqConfigCalls);
}

namespace {

// "-" or a comma list of input indexes -1..kEqMaxInputs-1; bit i + 1 stands for index i.
bool ParseRefuseMask(const std::string& value, uint32_t& mask) {
  mask = 0;
  if (value == "-") return true;
  for (const auto& part : Split(value, ',')) {
    errno = 0;
    char* end = nullptr;
    long v = std::strtol(part.c_str(), &end, 10);
    if (part.empty() || errno != 0 || *end != 0 || v < -1 || v >= long(kEqMaxInputs)) return false;
    mask |= 1u << uint32_t(v + 1);
  }
  return true;
}

// "-" or up to kEqMaxInputs names joined by '|', each 1..kEqNameSize-1 characters.
bool ParseInputNames(const std::string& value, std::vector<std::string>& names) {
  names.clear();
  if (value != "-") names = Split(value, '|');
  bool ok = names.size() <= kEqMaxInputs;
  for (const auto& name : names) ok = ok && !name.empty() && name.size() < kEqNameSize;
  return ok;
}

}  // namespace

bool ApplySetting(const std::string& arg, CardConfig& cfg, std::string& error) {
  auto eq = arg.find('=');
  if (eq == std::string::npos || eq == 0) {
    error = "expected key=value: " + arg;
    return false;
  }
  std::string key = arg.substr(0, eq), value = arg.substr(eq + 1);
  uint32_t n;
  if (key == "level" || key == "class" || key == "feature") {
    if (!ParseU32(value, n)) {
      error = "not a 32-bit number: " + arg;
      return false;
    }
    (key == "level" ? cfg.level : key == "class" ? cfg.perfClass : cfg.feature) = n;
    return true;
  }
  if (key == "devices") {
    if (!ParseDeviceMask(value, n)) {
      error = "devices are wave, core, wt, nt (comma list), all or none: " + arg;
      return false;
    }
    cfg.deviceMask = n;
    return true;
  }
  if (key == "fail") {
    if (!ParseFailRules(value, cfg)) {
      error = "fail takes codes like 0x39850000 or nt:0x39910000 (at most 16), or -: " + arg;
      return false;
    }
    return true;
  }
  if (key == "board") {
    if (!ParseU32(value, n) || n > 0xFFFF) {
      error = "board takes a 16-bit number: " + arg;
      return false;
    }
    cfg.eq.boardId = n;
    return true;
  }
  if (key == "eqinit" || key == "unavailable") {
    uint32_t bit = key == "eqinit" ? kEqInitFails : kEqUnavailable;
    bool on;
    if (key == "eqinit" ? value == "fail" : value == "1") {
      on = true;
    } else if (key == "eqinit" ? value == "ok" : value == "0") {
      on = false;
    } else {
      error = (key == "eqinit" ? "eqinit takes ok or fail: " : "unavailable takes 0 or 1: ") + arg;
      return false;
    }
    cfg.eq.flags = on ? (cfg.eq.flags | bit) : (cfg.eq.flags & ~bit);
    return true;
  }
  if (key == "refuse") {
    uint32_t mask = 0;
    if (!ParseRefuseMask(value, mask)) {
      error = "refuse takes input indexes -1.." + std::to_string(kEqMaxInputs - 1) + " or -: " + arg;
      return false;
    }
    cfg.eq.refuseMask = mask;
    return true;
  }
  if (key == "inputs") {
    std::vector<std::string> names;
    if (!ParseInputNames(value, names)) {
      error = "inputs takes up to " + std::to_string(kEqMaxInputs) + " names of 1.." +
              std::to_string(kEqNameSize - 1) + " characters joined by |, or -: " + arg;
      return false;
    }
    std::memset(cfg.eq.names, 0, sizeof cfg.eq.names);
    for (size_t i = 0; i < names.size(); ++i) std::memcpy(cfg.eq.names[i], names[i].data(), names[i].size());
    cfg.eq.inputCount = uint32_t(names.size());
    return true;
  }
  error = "unknown key (level, class, feature, devices, fail, board, inputs, eqinit, unavailable, refuse): " + arg;
  return false;
}

}  // namespace kv22
