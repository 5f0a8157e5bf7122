#include "format.h"

#include <dsound.h>

#include <cstring>

namespace trivox {
namespace {

bool extensible(const WAVEFORMATEX& w) {
  return w.wFormatTag == WAVE_FORMAT_EXTENSIBLE && w.cbSize >= ds::kExtensibleExtra;
}

// The standard subtypes are the format tag inside a fixed GUID.
uint16_t subtypeTag(const GUID& g) {
  static const BYTE tail[8] = {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
  if (g.Data2 != 0 || g.Data3 != 0x0010 || std::memcmp(g.Data4, tail, sizeof tail) != 0) return 0;
  return g.Data1 == WAVE_FORMAT_PCM || g.Data1 == WAVE_FORMAT_IEEE_FLOAT ? static_cast<uint16_t>(g.Data1) : 0;
}

}  // namespace

ds::PcmFormat describe(const WAVEFORMATEX& w) {
  ds::PcmFormat f;
  f.formatTag = w.wFormatTag;
  f.channels = w.nChannels;
  f.samplesPerSec = w.nSamplesPerSec;
  f.avgBytesPerSec = w.nAvgBytesPerSec;
  f.blockAlign = w.nBlockAlign;
  f.bitsPerSample = w.wBitsPerSample;
  f.extraBytes = w.wFormatTag == WAVE_FORMAT_EXTENSIBLE ? w.cbSize : 0;
  if (extensible(w)) {
    const auto& x = reinterpret_cast<const WAVEFORMATEXTENSIBLE&>(w);
    f.validBits = x.Samples.wValidBitsPerSample;
    f.channelMask = x.dwChannelMask;
    f.subFormat = subtypeTag(x.SubFormat);
  }
  return f;
}

HRESULT checkFormat(const WAVEFORMATEX& w) {
  switch (ds::checkFormat(describe(w))) {
    case ds::FormatCheck::Ok:
      return DS_OK;
    case ds::FormatCheck::Malformed:
      return DSERR_INVALIDPARAM;
    case ds::FormatCheck::Unsupported:
      break;
  }
  return DSERR_BADFORMAT;
}

WAVEFORMATEXTENSIBLE keepFormat(const WAVEFORMATEX& w) {
  WAVEFORMATEXTENSIBLE x = {};
  if (extensible(w)) {
    x = reinterpret_cast<const WAVEFORMATEXTENSIBLE&>(w);
    x.Format.cbSize = ds::kExtensibleExtra;
  } else {
    x.Format = w;
    x.Format.cbSize = 0;
  }
  return x;
}

DWORD formatBytes(const WAVEFORMATEX& w) { return sizeof(WAVEFORMATEX) + w.cbSize; }

}  // namespace trivox
