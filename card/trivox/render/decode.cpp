#include "decode.h"

#include <algorithm>
#include <cstring>

namespace trivox {
namespace {

struct U8 {
  static constexpr int kBytes = 1;
  static float read(const uint8_t* s) { return (static_cast<float>(s[0]) - 128.0f) * (1.0f / 128.0f); }
};
struct S16 {
  static constexpr int kBytes = 2;
  static float read(const uint8_t* s) {
    return static_cast<float>(static_cast<int16_t>(s[0] | (s[1] << 8))) * (1.0f / 32768.0f);
  }
};
struct S24 {
  static constexpr int kBytes = 3;
  static float read(const uint8_t* s) {
    const uint32_t u = (static_cast<uint32_t>(s[0]) << 8) | (static_cast<uint32_t>(s[1]) << 16) |
                       (static_cast<uint32_t>(s[2]) << 24);
    return static_cast<float>(static_cast<int32_t>(u)) * (1.0f / 2147483648.0f);
  }
};
struct S32 {
  static constexpr int kBytes = 4;
  static float read(const uint8_t* s) {
    const uint32_t u = static_cast<uint32_t>(s[0]) | (static_cast<uint32_t>(s[1]) << 8) |
                       (static_cast<uint32_t>(s[2]) << 16) | (static_cast<uint32_t>(s[3]) << 24);
    return static_cast<float>(static_cast<int32_t>(u)) * (1.0f / 2147483648.0f);
  }
};
struct F32 {
  static constexpr int kBytes = 4;
  static float read(const uint8_t* s) {
    float v;
    std::memcpy(&v, s, sizeof v);
    if (!(v == v)) return 0.0f;  // a NaN would stay in every filter after it
    return v < -1.0f ? -1.0f : v > 1.0f ? 1.0f : v;
  }
};

enum Side { kLeft, kRight, kCentre };

// Speaker bits 0..17 by side: front, back, side and top positions.
Side sideOf(uint32_t bit) {
  constexpr uint32_t left = 0x1 | 0x10 | 0x40 | 0x200 | 0x1000 | 0x8000;
  constexpr uint32_t right = 0x2 | 0x20 | 0x80 | 0x400 | 0x4000 | 0x20000;
  return (left & bit) ? kLeft : (right & bit) ? kRight : kCentre;
}

// Channels take the mask's set bits in order; without a mask, the usual
// order FL FR FC LFE BL BR SL SR. Centre channels feed both sides at half weight.
void foldWeights(const SampleCoding& c, int n, float* wl, float* wr) {
  const uint32_t mask = c.channelMask == 0 || c.channelMask == 0x80000000u ? 0x63Fu : c.channelMask;
  uint32_t rest = mask;
  float sl = 0.0f, sr = 0.0f;
  for (int i = 0; i < n; ++i) {
    const uint32_t bit = rest & (~rest + 1);
    rest &= rest - 1;
    const Side s = bit ? sideOf(bit) : kCentre;
    wl[i] = s == kLeft ? 1.0f : s == kCentre ? 0.5f : 0.0f;
    wr[i] = s == kRight ? 1.0f : s == kCentre ? 0.5f : 0.0f;
    sl += wl[i];
    sr += wr[i];
  }
  // Normalised so that full scale everywhere stays full scale; a side no
  // channel feeds takes the other's.
  for (int i = 0; i < n; ++i) {
    const float l = wl[i], r = wr[i];
    wl[i] = sl > 0.0f ? l / sl : r / sr;
    wr[i] = sr > 0.0f ? r / sr : l / sl;
  }
}

template <typename R>
void decodeAs(const uint8_t* src, int frames, const SampleCoding& c, float* left, float* right) {
  const int n = c.channels;
  const int stride = n * R::kBytes;
  if (n == 1) {
    // Kept apart from the copy so that the loop vectorises.
    for (int i = 0; i < frames; ++i) left[i] = R::read(src + i * stride);
    if (right) std::copy(left, left + frames, right);
  } else if (n == 2) {
    for (int i = 0; i < frames; ++i, src += stride) {
      const float a = R::read(src), b = R::read(src + R::kBytes);
      if (right) {
        left[i] = a;
        right[i] = b;
      } else {
        left[i] = 0.5f * (a + b);
      }
    }
  } else {
    float wl[kMaxSourceChannels], wr[kMaxSourceChannels];
    foldWeights(c, n, wl, wr);
    for (int i = 0; i < frames; ++i, src += stride) {
      float l = 0.0f, r = 0.0f, m = 0.0f;
      for (int k = 0; k < n; ++k) {
        const float v = R::read(src + k * R::kBytes);
        l += wl[k] * v;
        r += wr[k] * v;
        m += v;
      }
      if (right) {
        left[i] = l;
        right[i] = r;
      } else {
        left[i] = m / static_cast<float>(n);
      }
    }
  }
}

}  // namespace

void decodeFrames(const uint8_t* src, int frames, const SampleCoding& c, float* left, float* right) {
  if (c.channels < 1 || c.channels > kMaxSourceChannels) {
    for (int i = 0; i < frames; ++i) left[i] = 0.0f;
    if (right)
      for (int i = 0; i < frames; ++i) right[i] = 0.0f;
    return;
  }
  if (c.floating) return decodeAs<F32>(src, frames, c, left, right);
  switch (c.bits) {
    case 8:
      return decodeAs<U8>(src, frames, c, left, right);
    case 24:
      return decodeAs<S24>(src, frames, c, left, right);
    case 32:
      return decodeAs<S32>(src, frames, c, left, right);
    default:
      return decodeAs<S16>(src, frames, c, left, right);
  }
}

}  // namespace trivox
