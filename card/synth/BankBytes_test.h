// Editing written banks in tests: find a chunk id, patch a 32-bit field.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
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

}  // namespace zsynth
