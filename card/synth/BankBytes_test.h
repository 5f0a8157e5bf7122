// Editing written banks in tests: find a chunk id, patch a 32-bit field.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

namespace zsynth {

inline size_t At(const std::vector<uint8_t>& b, const char* id) {
  for (size_t i = 0; i + 4 <= b.size(); ++i) {
    if (std::memcmp(&b[i], id, 4) == 0) return i;
  }
  ADD_FAILURE() << id << " not found";
  return 0;
}

inline void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + size_t(i)] = uint8_t(v >> (8 * i));
}

// Copies of a good bank, each damaged one way and named by the reason a reader must give.
struct Damaged {
  const char* why;
  std::vector<uint8_t> bytes;
};
struct DamagedBanks {
  std::vector<uint8_t> good;
  std::vector<Damaged> cases;
  template <class Change>
  void add(const char* why, Change change) {
    std::vector<uint8_t> b = good;
    change(b);
    cases.push_back({why, std::move(b)});
  }
};

}  // namespace zsynth
