#include "ds_rules.h"

#include <cmath>

namespace trivox::ds {

bool validPcm(const PcmFormat& f) {
  if (f.formatTag != 1) return false;
  if (f.channels != 1 && f.channels != 2) return false;
  if (f.bitsPerSample != 8 && f.bitsPerSample != 16) return false;
  if (f.samplesPerSec < kMinFrequency || f.samplesPerSec > kMaxFrequency) return false;
  if (f.blockAlign != f.channels * f.bitsPerSample / 8) return false;
  return f.avgBytesPerSec == f.samplesPerSec * f.blockAlign;
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
