// Random requests to the card's devices, each checked against the card's own logic.
#pragma once
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "shared/card/CardClient.h"
#include "card/core/CardCore.h"

namespace kv22fuzz {

constexpr uint32_t kControl = kv22::kDeviceCount;  // the control device's index

struct Target {
  const char* path;
  uint32_t dev;      // kv22 device id, or kControl
  bool ninexOpen;    // opened with the 9x arguments
  bool throughDll;   // Wine serves it with the wave device's DLL in this process
};

struct Counts {
  unsigned long requests = 0, rejected = 0, nullBuffers = 0, opens = 0, closes = 0;
  unsigned long wrongSuccess = 0, wrongError = 0;
  std::vector<std::string> mismatches;  // the first few, for the report
  void Add(const Counts& o);
  void Mismatch(const std::string& what, bool success);
  std::string Text() const;
};

class Fuzzer {
 public:
  Fuzzer(const std::vector<Target>& targets, const kv22::CardConfig& cfg, const std::string& bank,
         unsigned seed);
  ~Fuzzer();
  Fuzzer(const Fuzzer&) = delete;
  Fuzzer& operator=(const Fuzzer&) = delete;

  void Run(unsigned steps);
  void CloseAll();
  const Counts& counts() const { return m_counts; }

 private:
  struct Open {
    HANDLE handle;
    size_t target;
  };
  uint32_t Next();
  void OpenOne();
  void CloseOne();
  void Request(const Open& o);
  uint32_t PickCode(uint32_t dev);
  uint32_t PickSize();
  void PickInput(uint32_t code, std::vector<uint8_t>& in);

  std::vector<Target> m_targets;
  std::string m_bank;
  std::unique_ptr<kv22::Card> m_model;
  std::vector<Open> m_open;
  uint32_t m_rng;
  Counts m_counts;
  bool m_trace;  // each request on stderr before it is sent
};

// The driver opens a bank itself; here the one we made (context: its path), or a plain file.
kv22::Status BankProbe(const char* path, void* bank);
// A small file the driver can open as a bank; its path in `path`.
bool MakeBankFile(std::string& path);
// The 9x open of each VxD name fails with error 87 (NT shape).
bool NinexOpensRefused();
// Every entry's status as the card's logic gives it for the logged request.
Counts CheckLogAlone(const std::vector<kv22::LogEntry>& log, const kv22::CardConfig& cfg,
                     const std::string& bank);
// Each valid request of each device answers and lands in the card's state.
bool ValidRequestsAnswer(kv22::CardClient& card, const std::vector<Target>& targets,
                         const std::string& bank, const kv22::CardConfig& cfg);
// `cardctl state` prints the state the control device reports.
bool CardctlStateSane(kv22::CardClient& card);

}  // namespace kv22fuzz
