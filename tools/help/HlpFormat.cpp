#include "tools/help/HlpFormat.h"

namespace hlp {

namespace {

int HashValue(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A' + 17;
  if (c >= 'a' && c <= 'z') return c - 'a' + 17;
  if (c >= '1' && c <= '9') return c - '0';
  if (c == '0') return 10;
  if (c == '.') return 12;
  if (c == '_') return 13;
  return 0;
}

}  // namespace

bool IsContextIdChar(char c) { return HashValue(c) != 0; }

int32_t ContextHash(const std::string& id) {
  uint32_t hash = 0;  // wraps as the viewer's 32-bit arithmetic does
  for (char c : id) {
    const int x = HashValue(c);
    if (x) hash = hash * 43u + static_cast<uint32_t>(x);
  }
  return static_cast<int32_t>(hash);
}

uint32_t TopicPos(size_t streamOffset) {
  const size_t block = streamOffset / kTopicBlockData;
  const size_t inBlock = streamOffset % kTopicBlockData;
  return static_cast<uint32_t>(block * 0x4000 + inBlock + kTopicBlockHeader);
}

bool StreamOffsetOf(uint32_t topicPos, size_t& streamOffset) {
  if (topicPos < kTopicBlockHeader) return false;
  const uint32_t rel = topicPos - kTopicBlockHeader;
  const uint32_t inBlock = rel & 0x3FFF;
  if (inBlock >= kTopicBlockData) return false;
  streamOffset = static_cast<size_t>(rel >> 14) * kTopicBlockData + inBlock;
  return true;
}

void PutU8(Bytes& b, uint8_t v) { b.push_back(v); }

void PutU16(Bytes& b, uint16_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}

void PutU32(Bytes& b, uint32_t v) {
  PutU16(b, static_cast<uint16_t>(v));
  PutU16(b, static_cast<uint16_t>(v >> 16));
}

void PutString(Bytes& b, const std::string& s) {
  b.insert(b.end(), s.begin(), s.end());
  b.push_back(0);
}

void SetU32(Bytes& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
}

uint16_t GetU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

uint32_t GetU32(const uint8_t* p) {
  return static_cast<uint32_t>(GetU16(p)) | (static_cast<uint32_t>(GetU16(p + 2)) << 16);
}

void PutCompressedUShort(Bytes& b, uint16_t v) {
  if (v < 0x80) {
    PutU8(b, static_cast<uint8_t>(v * 2));
  } else {
    PutU16(b, static_cast<uint16_t>(v * 2 + 1));
  }
}

void PutCompressedShort(Bytes& b, int16_t v) {
  if (v >= -64 && v < 64) {
    PutU8(b, static_cast<uint8_t>(0x80 + v * 2));
  } else {
    PutU16(b, static_cast<uint16_t>(0x8000 + v * 2 + 1));
  }
}

void PutCompressedLong(Bytes& b, int32_t v) {
  if (v >= -16384 && v < 16384) {
    PutU16(b, static_cast<uint16_t>(0x8000 + v * 2));
  } else {
    PutU32(b, static_cast<uint32_t>(0x80000000u + static_cast<uint32_t>(v) * 2u + 1u));
  }
}

}  // namespace hlp
