// The format readers behind LoadBank; each takes a whole file already known by its form.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "BankLoad.h"
#include "card/core/BankCost.h"

namespace zsynth {

LoadResult LoadSf2(const uint8_t* data, size_t size);
LoadResult LoadDls(const uint8_t* data, size_t size);

// The first reason a reader finds is the one it gives.
class ReasonKeeper {
 protected:
  bool Fail(const std::string& why) {
    if (m_reason.empty()) m_reason = why;
    return false;
  }
  std::string m_reason;
};

// The bank when no reason was given, else the reason.
LoadResult Finish(std::unique_ptr<Bank> bank, const std::string& reason);

// Why a bank past the budget (kv22::CountSf2, kv22::CountDls) is refused.
std::string BudgetReason(kv22::BankVerdict verdict, const kv22::BankCost& cost);

// Shared unit conversions.
float TimecentsToSeconds(double timecents);
float AbsCentsToHz(double cents);

}  // namespace zsynth
