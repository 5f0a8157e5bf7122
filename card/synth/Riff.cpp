#include "Riff.h"

namespace zsynth {
namespace riff {

std::string FourccText(uint32_t id) {
  std::string s;
  for (int i = 0; i < 4; ++i) {
    char c = char((id >> (8 * i)) & 0xFF);
    s += (c >= 0x20 && c < 0x7F) ? c : '?';
  }
  return s;
}

bool Walker::Next(Chunk& c) {
  if (!m_error.empty() || m_pos >= m_size) return false;
  const size_t left = m_size - m_pos;
  if (left < 8) {
    m_error = "truncated chunk header";
    return false;
  }
  const uint8_t* p = m_data + m_pos;
  c.id = Le32(p);
  c.offset = uint32_t(m_pos);
  const uint32_t size = Le32(p + 4);
  if (size > left - 8) {
    m_error = "truncated chunk '" + FourccText(c.id) + "'";
    return false;
  }
  c.type = 0;
  c.data = p + 8;
  c.size = size;
  if (c.id == Fourcc("LIST") || c.id == Fourcc("RIFF")) {
    if (size < 4) {
      m_error = "list without a type";
      return false;
    }
    c.type = Le32(p + 8);
    c.data += 4;
    c.size -= 4;
  }
  const size_t step = 8 + size_t(size) + (size & 1);
  m_pos = step > left ? m_size : m_pos + step;
  return true;
}

bool OpenForm(const uint8_t* data, size_t size, uint32_t form, Chunk& body, std::string& error) {
  Walker w(data, size);
  if (size < 12 || Le32(data) != Fourcc("RIFF")) {
    error = "not a RIFF file";
    return false;
  }
  if (!w.Next(body)) {
    error = "RIFF size runs past the end of the file";
    return false;
  }
  if (body.type != form) {
    error = "RIFF form '" + FourccText(body.type) + "' is not '" + FourccText(form) + "'";
    return false;
  }
  return true;
}

std::string FixedText(const uint8_t* p, size_t n) {
  std::string s;
  for (size_t i = 0; i < n && p[i]; ++i) s += (p[i] >= 0x20 && p[i] < 0x7F) ? char(p[i]) : '?';
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

}  // namespace riff
}  // namespace zsynth
