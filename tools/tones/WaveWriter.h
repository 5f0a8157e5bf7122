// Writes 16-bit mono PCM RIFF WAVE files for our sound generators.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

inline void Put32(std::string& s, uint32_t v) {
  for (int i = 0; i < 4; ++i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}
inline void Put16(std::string& s, uint16_t v) {
  s.push_back(static_cast<char>(v & 0xFF));
  s.push_back(static_cast<char>(v >> 8));
}

inline bool WriteWave(const std::string& path, const std::vector<int16_t>& samples, uint32_t rate) {
  const uint32_t bytes = static_cast<uint32_t>(samples.size() * 2);
  std::string f = "RIFF";
  Put32(f, 36 + bytes);
  f += "WAVEfmt ";
  Put32(f, 16);
  Put16(f, 1);          // PCM
  Put16(f, 1);          // mono
  Put32(f, rate);
  Put32(f, rate * 2);  // bytes per second
  Put16(f, 2);          // block align
  Put16(f, 16);         // bits
  f += "data";
  Put32(f, bytes);
  for (int16_t s : samples) Put16(f, static_cast<uint16_t>(s));
  FILE* out = std::fopen(path.c_str(), "wb");
  if (!out) return false;
  const bool ok = std::fwrite(f.data(), 1, f.size(), out) == f.size();
  return std::fclose(out) == 0 && ok;
}
