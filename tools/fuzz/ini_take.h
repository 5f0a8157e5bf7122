// The INI targets' way of reading a section, key or value from the fuzzer's bytes.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// A length byte, then up to `most` bytes; section, key and value never hold a line end:
// they come from paths and fixed names.
inline std::string Take(const uint8_t*& data, size_t& size, size_t most) {
  std::string s;
  const size_t n = size ? data[0] % (most + 1) : 0;
  if (size) ++data, --size;
  for (size_t i = 0; i < n && size; ++i, ++data, --size)
    if (*data != '\n' && *data != '\r') s += char(*data);
  return s;
}
