// Bounded walking of RIFF chunks: every size is checked against the bytes actually given.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace zsynth {
namespace riff {

constexpr uint32_t Fourcc(const char (&s)[5]) {
  return uint32_t(uint8_t(s[0])) | uint32_t(uint8_t(s[1])) << 8 | uint32_t(uint8_t(s[2])) << 16 |
         uint32_t(uint8_t(s[3])) << 24;
}

std::string FourccText(uint32_t id);

inline uint16_t Le16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
inline int16_t LeS16(const uint8_t* p) { return int16_t(Le16(p)); }
inline uint32_t Le32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline int32_t LeS32(const uint8_t* p) { return int32_t(Le32(p)); }

struct Chunk {
  uint32_t id = 0;
  uint32_t type = 0;  // the form type of a RIFF or LIST chunk, else 0
  const uint8_t* data = nullptr;  // after the form type for lists
  uint32_t size = 0;
  uint32_t offset = 0;  // of the chunk header from the start of the walked region
};

// Walks the chunks of one region, in order. A chunk whose size runs past the region stops
// the walk with a reason; a missing pad byte after the last chunk is accepted.
class Walker {
 public:
  Walker(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
  explicit Walker(const Chunk& list) : m_data(list.data), m_size(list.size) {}
  bool Next(Chunk& c);  // false at the end or on a fault (then error() is set)
  const std::string& error() const { return m_error; }

 private:
  const uint8_t* m_data;
  size_t m_size;
  size_t m_pos = 0;
  std::string m_error;
};

// The body of a RIFF file of the given form; false with a reason otherwise.
bool OpenForm(const uint8_t* data, size_t size, uint32_t form, Chunk& body, std::string& error);

// Text of a fixed-size name field: up to the first zero, printable bytes only.
std::string FixedText(const uint8_t* p, size_t n);

}  // namespace riff
}  // namespace zsynth
