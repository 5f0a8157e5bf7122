// libFuzzer target for the Trivox object's buffer rules, as a player's CreateSoundBuffer,
// Lock and Unlock hand them over: any wave format, buffer size and lock. A format taken
// describes whole sample frames the renderer can read; a buffer size is whole blocks within
// the limit (no wrap past 4 GiB); a lock covers exactly what was asked inside the buffer,
// and unlocking what a lock gave fits.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "card/trivox/dsound/ds_rules.h"

namespace {

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

class Input {
 public:
  Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  uint8_t u8() { return pos_ < size_ ? data_[pos_++] : 0; }
  uint16_t u16() { return uint16_t(u8() | u8() << 8); }
  uint32_t u32() { return uint32_t(u16()) | uint32_t(u16()) << 16; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace trivox::ds;
  Input in(data, size);
  PcmFormat f;
  f.formatTag = in.u16();
  f.channels = in.u16();
  f.samplesPerSec = in.u32();
  f.avgBytesPerSec = in.u32();
  f.blockAlign = in.u16();
  f.bitsPerSample = in.u16();
  f.extraBytes = in.u16();
  f.validBits = in.u16();
  f.channelMask = in.u32();
  f.subFormat = in.u16();
  const uint32_t requested = in.u32();
  if (checkFormat(f) != FormatCheck::Ok) return 0;

  Check(f.channels >= 1 && f.channels <= kMaxChannels);
  Check(f.bitsPerSample == 8 || f.bitsPerSample == 16 || f.bitsPerSample == 24 || f.bitsPerSample == 32);
  Check(f.blockAlign == f.channels * f.bitsPerSample / 8);
  Check(f.samplesPerSec >= kMinFrequency && f.samplesPerSec <= kMaxFrequency);
  Check(!isFloat(f) || f.bitsPerSample == 32);
  if (requested < kMinBufferBytes || requested > kMaxBufferBytes) return 0;  // refused before sizing

  const uint32_t bytes = roundToBlock(requested, f.blockAlign);
  Check(bytes >= requested && bytes - requested < f.blockAlign && bytes % f.blockAlign == 0);

  for (int i = 0; i < 4; ++i) {
    const uint32_t offset = in.u8() & 1 ? in.u32() : in.u32() % bytes;
    const uint32_t want = in.u32();
    const bool entire = in.u8() & 1;
    LockRegion r;
    if (!lockRegion(bytes, offset, want, entire, r)) {
      Check(offset >= bytes || (!entire && (want == 0 || want > bytes)));
      continue;
    }
    Check(r.offset == offset && r.first >= 1 && r.first <= bytes - offset);
    Check(r.first + r.second == (entire ? bytes : want) && r.second <= offset);
    Check(unlockFits(bytes, r.offset, r.first, 0, r.second, r.second != 0));
  }
  return 0;
}
