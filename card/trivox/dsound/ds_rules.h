// Argument rules of the DirectSound interfaces, apart from COM: what the
// Trivox device object accepts and how a lock splits over the buffer's end.
#pragma once

#include <cstdint>

namespace trivox::ds {

constexpr uint32_t kMinBufferBytes = 4;
constexpr uint32_t kMaxBufferBytes = 0x0FFFFFFF;
constexpr uint32_t kMinFrequency = 100;
constexpr uint32_t kMaxFrequency = 200000;
constexpr int32_t kMinVolume = -10000;
constexpr int32_t kMaxVolume = 0;
constexpr int32_t kMinPan = -10000;
constexpr int32_t kMaxPan = 10000;
constexpr float kMaxFactor = 10.0f;  // rolloff and Doppler

constexpr uint16_t kMaxChannels = 8;  // 7.1
constexpr uint16_t kTagPcm = 1;
constexpr uint16_t kTagFloat = 3;
constexpr uint16_t kTagExtensible = 0xFFFE;
constexpr uint16_t kExtensibleExtra = 22;  // bytes after the plain format

// A wave format as the application gave it; the extensible part only
// counts when formatTag is kTagExtensible.
struct PcmFormat {
  uint16_t formatTag = 0;
  uint16_t channels = 0;
  uint32_t samplesPerSec = 0;
  uint32_t avgBytesPerSec = 0;
  uint16_t blockAlign = 0;
  uint16_t bitsPerSample = 0;
  uint16_t extraBytes = 0;  // cbSize
  uint16_t validBits = 0;
  uint32_t channelMask = 0;
  uint16_t subFormat = 0;  // kTagPcm or kTagFloat for the standard subtypes, else 0
};

enum class FormatCheck { Ok, Malformed, Unsupported };

// Malformed: sizes that contradict each other or are zero, or an extensible
// record without a known subtype. Unsupported: well
// formed, but no PCM 8/16/24/32-bit or 32-bit float up to kMaxChannels at a
// supported rate. The average byte rate only has to be non-zero.
FormatCheck checkFormat(const PcmFormat& f);

// How the samples are coded, once checkFormat said Ok.
bool isFloat(const PcmFormat& f);
uint32_t channelMask(const PcmFormat& f);  // 0 when not given

// 3D buffers are placed as one point: mono, or stereo as its downmix.
bool fitsThreeD(const PcmFormat& f);

// Buffer sizes are whole blocks: a partial block at the end is filled up.
uint32_t roundToBlock(uint32_t bytes, uint16_t blockAlign);

struct LockRegion {
  uint32_t offset = 0;  // of the first block
  uint32_t first = 0;   // bytes from offset
  uint32_t second = 0;  // bytes from the buffer's start, after a wrap
};

// Lock of `bytes` at `offset` (or the whole buffer from `offset` when
// `entire`); false when the request does not fit the buffer.
bool lockRegion(uint32_t size, uint32_t offset, uint32_t bytes, bool entire, LockRegion& out);

// Unlock must hand back ranges inside the buffer: offsets relative to its start.
bool unlockFits(uint32_t size, int64_t firstOffset, uint32_t firstBytes, int64_t secondOffset, uint32_t secondBytes,
                bool hasSecond);

bool validVolume(int32_t v);
bool validPan(int32_t p);
// 0 restores the buffer's own rate.
bool validFrequency(uint32_t hz);
bool validCone(uint32_t inside, uint32_t outside);
bool validConeVolume(int32_t v);
bool validFactor(float f);  // rolloff, Doppler: 0..10
bool validDistanceFactor(float f);
bool validDistance(float d);  // min and max distance
bool validMode(uint32_t mode);
bool validApply(uint32_t apply);  // immediate (0) or deferred (1)
bool finite3(float x, float y, float z);

}  // namespace trivox::ds
