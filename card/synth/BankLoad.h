// Reading instrument banks: DLS level 1 and 2, and SoundFont 2, told apart by content.
// Nothing is read past the data given; a bank that cannot be used is refused with a reason.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "Bank.h"

namespace zsynth {

BankKind DetectBank(const uint8_t* data, size_t size);

struct LoadResult {
  std::shared_ptr<const Bank> bank;  // null when refused
  std::string reason;                // why it was refused; empty on success
};

LoadResult LoadBank(const uint8_t* data, size_t size);
LoadResult LoadBankFile(const std::string& path);

}  // namespace zsynth
