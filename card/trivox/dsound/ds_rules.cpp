#include "ds_rules.h"

#include <cmath>

namespace trivox::ds {

FormatCheck checkFormat(const PcmFormat& f) {
  const bool ext = f.formatTag == kTagExtensible;
  if (ext && f.extraBytes < kExtensibleExtra) return FormatCheck::Malformed;
  if (f.channels == 0 || f.samplesPerSec == 0 || f.avgBytesPerSec == 0) return FormatCheck::Malformed;
  if (f.bitsPerSample == 0 || f.bitsPerSample % 8 != 0) return FormatCheck::Malformed;
  if (f.blockAlign != static_cast<uint32_t>(f.channels) * f.bitsPerSample / 8) return FormatCheck::Malformed;
  if (ext && f.validBits > f.bitsPerSample) return FormatCheck::Malformed;
  // An extensible record names its coding by subtype: an unknown or null one is a bad argument.
  if (ext && f.subFormat == 0) return FormatCheck::Malformed;
  const uint16_t coding = ext ? f.subFormat : f.formatTag;
  const bool pcm = coding == kTagPcm && f.bitsPerSample <= 32;
  const bool flt = coding == kTagFloat && f.bitsPerSample == 32;
  if (!pcm && !flt) return FormatCheck::Unsupported;
  if (f.channels > kMaxChannels) return FormatCheck::Unsupported;
  if (f.samplesPerSec < kMinFrequency || f.samplesPerSec > kMaxFrequency) return FormatCheck::Unsupported;
  // Speaker positions 0..17, or all of them; reserved bits mean no layout we know.
  constexpr uint32_t kSpeakerAll = 0x80000000u, kKnownSpeakers = 0x3FFFFu;
  if (ext && f.channelMask != kSpeakerAll && (f.channelMask & ~kKnownSpeakers)) return FormatCheck::Unsupported;
  return FormatCheck::Ok;
}

bool isFloat(const PcmFormat& f) {
  return (f.formatTag == kTagExtensible ? f.subFormat : f.formatTag) == kTagFloat;
}

uint32_t channelMask(const PcmFormat& f) { return f.formatTag == kTagExtensible ? f.channelMask : 0; }

bool fitsThreeD(const PcmFormat& f) { return f.channels <= 2; }

uint32_t roundToBlock(uint32_t bytes, uint16_t blockAlign) {
  if (blockAlign == 0) return bytes;
  const uint32_t part = bytes % blockAlign;
  return part ? bytes + (blockAlign - part) : bytes;
}

bool lockRegion(uint32_t size, uint32_t offset, uint32_t bytes, bool entire, LockRegion& out) {
  if (size == 0 || offset >= size) return false;
  if (entire) bytes = size;
  if (bytes == 0 || bytes > size) return false;
  out.offset = offset;
  const uint32_t tail = size - offset;
  out.first = bytes < tail ? bytes : tail;
  out.second = bytes - out.first;
  return true;
}

bool unlockFits(uint32_t size, int64_t firstOffset, uint32_t firstBytes, int64_t secondOffset, uint32_t secondBytes,
                bool hasSecond) {
  if (firstOffset < 0 || firstOffset > size || firstBytes > size - firstOffset) return false;
  if (!hasSecond) return secondBytes == 0;
  return secondOffset >= 0 && secondOffset <= size && secondBytes <= size - secondOffset;
}

bool validVolume(int32_t v) { return v >= kMinVolume && v <= kMaxVolume; }
bool validPan(int32_t p) { return p >= kMinPan && p <= kMaxPan; }
bool validFrequency(uint32_t hz) { return hz == 0 || (hz >= kMinFrequency && hz <= kMaxFrequency); }
bool validCone(uint32_t inside, uint32_t outside) { return inside <= 360 && outside <= 360 && inside <= outside; }
bool validConeVolume(int32_t v) { return validVolume(v); }
bool validFactor(float f) { return std::isfinite(f) && f >= 0.0f && f <= kMaxFactor; }
bool validDistanceFactor(float f) { return std::isfinite(f) && f > 0.0f; }
bool validDistance(float d) { return std::isfinite(d) && d > 0.0f; }
bool validMode(uint32_t mode) { return mode <= 2; }
bool validApply(uint32_t apply) { return apply <= 1; }
bool finite3(float x, float y, float z) { return std::isfinite(x) && std::isfinite(y) && std::isfinite(z); }

}  // namespace trivox::ds
