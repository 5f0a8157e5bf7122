#include "card/hostile/fuzz_requests.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace kv22fuzz {
namespace {

using namespace kv22;

const uint32_t kCardCodes[] = {kSetDisableDsHwBuf,  kGetDisableDsHwBuf,   kSetOutputMode,
                               kSetWavetableEffect, kSetReverbAmount,     kSetChorusAmount,
                               kSetSoftSynthMode,   kGetPerformanceLevel, kGetPerformanceClass,
                               kGetPerformanceFeature, kDownloadBank};
// The control device's codes that only read; the others would change what is checked.
const uint32_t kCtlReadCodes[] = {kCtlGetStatus, kCtlGetLog, kCtlEqInitialize, kCtlEqGetStatus};

// The Win32 error each refusal of the card reaches a caller as.
DWORD ErrorOf(Status st) {
  switch (st) {
    case kOk: return 0;
    case kBadSize: return ERROR_INVALID_PARAMETER;
    case kRefused: return ERROR_GEN_FAILURE;
    case kBankNotFound: return ERROR_FILE_NOT_FOUND;
    case kBadPath: return ERROR_INVALID_NAME;
    case kBadBank: return ERROR_FILE_CORRUPT;
    default: return ERROR_INVALID_FUNCTION;
  }
}

// What the control device answers for a read-only code, or any other.
DWORD ControlError(uint32_t code, uint32_t outLength) {
  uint32_t need = 0;
  switch (code) {
    case kCtlGetStatus: need = sizeof(CardStatus); break;
    case kCtlGetLog: return 0;
    case kCtlEqInitialize: need = sizeof(EqInfo); break;
    case kCtlEqGetStatus: need = sizeof(EqStatus); break;
    default: return ERROR_INVALID_FUNCTION;
  }
  return outLength < need ? ERROR_INSUFFICIENT_BUFFER : 0;
}

std::string Describe(const char* where, uint32_t dev, uint32_t code, uint32_t in, uint32_t out,
                     DWORD expected, DWORD got) {
  char text[200];
  std::snprintf(text, sizeof text, "%s dev=%u code=0x%08x in=%u out=%u expected error %lu, got %lu",
                where, dev, code, in, out, expected, got);
  return text;
}

}  // namespace

// The harness's own bank is the one real bank; any other file that opens is not one.
Status BankProbe(const char* path, void* bank) {
  if (lstrcmpiA(path, static_cast<const std::string*>(bank)->c_str()) == 0) return kOk;
  const DWORD a = GetFileAttributesA(path);
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY) ? kBadBank : kBankNotFound;
}

void Counts::Add(const Counts& o) {
  requests += o.requests;
  rejected += o.rejected;
  nullBuffers += o.nullBuffers;
  opens += o.opens;
  closes += o.closes;
  wrongSuccess += o.wrongSuccess;
  wrongError += o.wrongError;
  for (const std::string& m : o.mismatches) {
    if (mismatches.size() < 20) mismatches.push_back(m);
  }
}

void Counts::Mismatch(const std::string& what, bool success) {
  ++(success ? wrongSuccess : wrongError);
  // Wrong successes first: they are the worse fault.
  if (success) {
    mismatches.insert(mismatches.begin(), "success: " + what);
    if (mismatches.size() > 20) mismatches.pop_back();
  } else if (mismatches.size() < 20) {
    mismatches.push_back(what);
  }
}

std::string Counts::Text() const {
  char text[240];
  std::snprintf(text, sizeof text,
                "requests=%lu rejected=%lu null=%lu opens=%lu closes=%lu wrong_success=%lu "
                "wrong_error=%lu",
                requests, rejected, nullBuffers, opens, closes, wrongSuccess, wrongError);
  return text;
}

Fuzzer::Fuzzer(const std::vector<Target>& targets, const CardConfig& cfg, const std::string& bank,
               unsigned seed)
    : m_targets(targets), m_bank(bank), m_model(new Card), m_rng(seed ? seed : 1),
      m_trace(std::getenv("ZEPHRA_DRIVER_FUZZ_TRACE") != nullptr) {
  m_model->Init(cfg, &BankProbe, &m_bank);
}

Fuzzer::~Fuzzer() { CloseAll(); }

uint32_t Fuzzer::Next() {
  m_rng ^= m_rng << 13;
  m_rng ^= m_rng >> 17;
  m_rng ^= m_rng << 5;
  return m_rng;
}

// Wine keeps every VxD DLL handle a process opened, in a small table: past about 32 opens
// the wave device fails in that process (error 50). Programs open it once per page.
std::atomic<int> g_dllOpens{0};
constexpr int kDllOpens = 6;

void Fuzzer::OpenOne() {
  size_t t = Next() % m_targets.size();
  if (m_targets[t].throughDll && g_dllOpens.fetch_add(1) >= kDllOpens) t = 0;
  const Target& target = m_targets[t];
  HANDLE h = target.ninexOpen
                 ? CreateFileA(target.path, 0, 0, nullptr, 0, FILE_FLAG_DELETE_ON_CLOSE, nullptr)
                 : CreateFileA(target.path, GENERIC_READ, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                               nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    m_counts.Mismatch(std::string("open of ") + target.path + " failed, error " +
                         std::to_string(GetLastError()),
                     false);
    return;
  }
  ++m_counts.opens;
  m_open.push_back({h, t});
}

void Fuzzer::CloseOne() {
  if (m_open.empty()) return;
  const size_t i = Next() % m_open.size();
  CloseHandle(m_open[i].handle);
  m_open.erase(m_open.begin() + static_cast<long>(i));
  ++m_counts.closes;
}

void Fuzzer::CloseAll() {
  for (const Open& o : m_open) CloseHandle(o.handle);
  m_counts.closes += m_open.size();
  m_open.clear();
}

uint32_t Fuzzer::PickCode(uint32_t dev) {
  const uint32_t r = Next() % 10;
  if (dev == kControl && r < 5) return kCtlReadCodes[Next() % 4];
  if (r < 6) return kCardCodes[Next() % (sizeof kCardCodes / 4)];
  if (r < 8) return kCardCodes[Next() % (sizeof kCardCodes / 4)] ^ (Next() & 0x3);  // other methods
  uint32_t code = Next();
  // Wine's socket layer takes the beep and network device types (1, 0x12) before any access
  // check or driver sees them: such a code tests Wine, not the card.
  if ((code >> 16) == 0x0001u || (code >> 16) == 0x0012u) code ^= 0x00400000u;
  // Random codes of the control device's type, but never one that changes the card.
  if (dev == kControl && (code & 0xFFFF0000u) == 0x00220000u) code = kCtlGetLog | (code & 3);
  return code;
}

uint32_t Fuzzer::PickSize() {
  switch (Next() % 8) {
    case 0: return 0;
    case 1: return Next() % 65537;
    case 2: return Next() % 600;
    default: return Next() % 20;
  }
}

void Fuzzer::PickInput(uint32_t code, std::vector<uint8_t>& in) {
  const uint32_t kind = Next() % 8;
  if (code != kDownloadBank || kind > 5) {
    in.resize(PickSize());
    for (uint8_t& b : in) b = static_cast<uint8_t>(Next());
    return;
  }
  std::string path;
  switch (kind) {
    case 0: path = m_bank; break;
    case 1: path = "C:\\no such folder\\bank.sf2"; break;
    case 2: path = "C:\\" + std::string(256 + Next() % 800, 'b') + ".sf2"; break;  // too long
    case 3: path = "C:\\" + std::string(255, 'c'); break;  // 259 characters: the longest text
    case 4: path = m_bank + std::string(1, '\0') + "tail"; break;  // an inner zero
    default: path = m_bank; in.assign(path.begin(), path.end()); return;  // no zero
  }
  in.assign(path.begin(), path.end());
  in.push_back(0);
}

void Fuzzer::Request(const Open& o) {
  const Target& target = m_targets[o.target];
  const uint32_t code = PickCode(target.dev);
  std::vector<uint8_t> in;
  PickInput(code, in);
  std::vector<uint8_t> out(PickSize());
  // No null input with a size: under Wine that can leave the caller itself waiting for ever,
  // before any device sees the request. A null output is refused as it should be.
  const bool nullIn = false;
  const bool nullOut = !out.empty() && Next() % 16 == 0;
  if (m_trace) {
    std::fprintf(stderr, "req %s 0x%08x in=%u%s out=%u%s\n", target.path, code, unsigned(in.size()),
                 nullIn ? " null" : "", unsigned(out.size()), nullOut ? " null" : "");
  }
  DWORD got = 0;
  const BOOL ok = DeviceIoControl(o.handle, code, nullIn ? nullptr : in.data(), DWORD(in.size()),
                                  nullOut ? nullptr : out.data(), DWORD(out.size()), &got, nullptr);
  const DWORD error = ok ? 0 : GetLastError();
  ++m_counts.requests;
  if (error) ++m_counts.rejected;
  if (nullIn || nullOut) {
    // The platform refuses a buffer it cannot reach before the driver sees it.
    ++m_counts.nullBuffers;
    if (ok) m_counts.Mismatch(Describe("null buffer", target.dev, code, DWORD(in.size()),
                                      DWORD(out.size()), ERROR_NOACCESS, 0), true);
    return;
  }
  DWORD expected;
  // The platform checks a code's access bits against the handle's before any device sees it.
  const uint32_t granted = target.ninexOpen ? 0 : FILE_READ_ACCESS;
  if (((code >> 14) & 3) & ~granted) {
    expected = ERROR_ACCESS_DENIED;
  } else if (target.throughDll && (code >> 16) != 0) {
    expected = ERROR_NOT_SUPPORTED;  // Wine hands a VxD DLL only codes below 0x10000
  } else if (target.dev == kControl) {
    expected = ControlError(code, DWORD(out.size()));
  } else {
    std::vector<uint8_t> modelOut(out.size());
    // The wave DLL asks the driver for GetDisableDsHwBuf with a 4-byte output of its own.
    const uint32_t outLength = target.throughDll && code == kGetDisableDsHwBuf ? 4 : DWORD(out.size());
    modelOut.resize(outLength);
    uint32_t written = 0;
    expected = ErrorOf(m_model->Request(target.dev, code, in.data(), DWORD(in.size()),
                                       modelOut.empty() ? nullptr : modelOut.data(), outLength, &written));
    // Query answers come from the configuration: they must match to the byte.
    if (ok && !expected && code != kGetDisableDsHwBuf && written &&
        (got != written || std::memcmp(out.data(), modelOut.data(), written) != 0))
      m_counts.Mismatch(Describe("answer differs", target.dev, code, DWORD(in.size()), DWORD(out.size()), 0, 0),
                       true);
  }
  if (error != expected)
    m_counts.Mismatch(Describe("request", target.dev, code, DWORD(in.size()), DWORD(out.size()), expected, error),
                     ok != FALSE);
}

void Fuzzer::Run(unsigned steps) {
  for (unsigned i = 0; i < steps; ++i) {
    const uint32_t r = Next() % 100;
    if (m_open.empty() || r < 6) {
      OpenOne();
    } else if (r < 10 || m_open.size() > 8) {
      CloseOne();
    } else {
      Request(m_open[Next() % m_open.size()]);
    }
  }
}

}  // namespace kv22fuzz
