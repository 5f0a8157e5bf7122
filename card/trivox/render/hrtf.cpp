#include "hrtf.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <new>
#include <iterator>

namespace trivox {
namespace {

constexpr float kPi = 3.14159265358979f;

class Reader {
 public:
  Reader(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
  bool has(size_t n) const { return m_size - m_pos >= n; }
  size_t left() const { return m_size - m_pos; }
  uint8_t u8() { return m_data[m_pos++]; }
  uint16_t u16() {
    uint16_t v = static_cast<uint16_t>(m_data[m_pos] | (m_data[m_pos + 1] << 8));
    m_pos += 2;
    return v;
  }
  uint32_t u32() {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | m_data[m_pos + i];
    m_pos += 4;
    return v;
  }
  int32_t s16() { return static_cast<int16_t>(u16()); }
  int32_t s24() {
    uint32_t v = m_data[m_pos] | (m_data[m_pos + 1] << 8) | (static_cast<uint32_t>(m_data[m_pos + 2]) << 16);
    m_pos += 3;
    if (v & 0x800000u) v |= 0xFF000000u;
    return static_cast<int32_t>(v);
  }
  void skip(size_t n) { m_pos += n; }

 private:
  const uint8_t* m_data;
  size_t m_size;
  size_t m_pos = 0;
};

float wrapTurn(float a) {
  const float turn = 2.0f * kPi;
  a = std::fmod(a, turn);
  if (a < 0.0f) a += turn;
  return a;
}

struct MhrHeader {
  uint32_t rate = 0;
  int sampleType = 0;  // 0: 16-bit coefficients, 1: 24-bit
  int taps = 0;
  int fields = 0;
};

struct MhrField {
  int distanceMm = 0;
  std::vector<int> azimuths;  // per elevation
  int filters = 0;
};

bool readHeader(Reader& r, const uint8_t* data, size_t size, MhrHeader& h, std::string& error) {
  static const char kMagic[8] = {'M', 'i', 'n', 'P', 'H', 'R', '0', '2'};
  if (!data || size < 16) {
    error = "file too short for a MinPHR02 header";
    return false;
  }
  if (!std::equal(kMagic, kMagic + 8, data)) {
    error = "not a MinPHR02 file (bad magic)";
    return false;
  }
  r.skip(8);
  h.rate = r.u32();
  h.sampleType = r.u8();
  const int channelType = r.u8();
  h.taps = r.u8();
  h.fields = r.u8();
  if (h.rate < 8000 || h.rate > 384000) {
    error = "implausible sample rate " + std::to_string(h.rate);
    return false;
  }
  if (h.sampleType != 0 && h.sampleType != 1) {
    error = "unknown sample type " + std::to_string(h.sampleType);
    return false;
  }
  if (channelType != 0) {
    error = "unsupported channel type " + std::to_string(channelType) + " (only mono sets)";
    return false;
  }
  if (h.taps < 8 || h.taps > kMaxTaps) {
    error = "filter length " + std::to_string(h.taps) + " out of range 8..128";
    return false;
  }
  if (h.fields < 1) {
    error = "no fields";
    return false;
  }
  return true;
}

bool readFields(Reader& r, int count, std::vector<MhrField>& fields, std::string& error) {
  for (int f = 0; f < count; ++f) {
    if (!r.has(3)) {
      error = "truncated field table";
      return false;
    }
    MhrField field;
    field.distanceMm = r.u16();
    const int elevations = r.u8();
    if (elevations < 5) {
      error = "field " + std::to_string(f) + " has " + std::to_string(elevations) + " elevations (at least 5 needed)";
      return false;
    }
    if (!r.has(static_cast<size_t>(elevations))) {
      error = "truncated azimuth counts";
      return false;
    }
    for (int e = 0; e < elevations; ++e) {
      const int n = r.u8();
      if (n < 1) {
        error = "elevation " + std::to_string(e) + " has no azimuths";
        return false;
      }
      field.azimuths.push_back(n);
      field.filters += n;
    }
    fields.push_back(std::move(field));
  }
  return true;
}

// The farthest field's filters and onset delays: it serves best for sources beyond arm's length.
bool readFarField(Reader& r, const MhrHeader& h, const std::vector<MhrField>& fields, HrtfSet& set,
                  std::string& error) {
  size_t totalFilters = 0;
  for (const MhrField& f : fields) totalFilters += static_cast<size_t>(f.filters);
  const size_t bytesPerTap = h.sampleType == 0 ? 2 : 3;
  const size_t tapBytes = static_cast<size_t>(h.taps) * bytesPerTap;
  const size_t need = totalFilters * tapBytes + totalFilters;
  if (r.left() != need) {
    error = "data size " + std::to_string(r.left()) + " does not match the " + std::to_string(need) +
            " bytes the header announces";
    return false;
  }
  size_t chosen = 0;
  for (size_t f = 1; f < fields.size(); ++f)
    if (fields[f].distanceMm > fields[chosen].distanceMm) chosen = f;
  size_t before = 0;
  for (size_t f = 0; f < chosen; ++f) before += static_cast<size_t>(fields[f].filters);
  const MhrField& far = fields[chosen];

  set.rate = h.rate;
  set.taps = h.taps;
  int first = 0;
  for (int n : far.azimuths) {
    set.azCount.push_back(n);
    set.firstFilter.push_back(first);
    first += n;
  }
  const float scale = h.sampleType == 0 ? 1.0f / 32768.0f : 1.0f / 8388608.0f;
  r.skip(before * tapBytes);
  set.coeffs.resize(static_cast<size_t>(far.filters) * h.taps);
  for (float& c : set.coeffs) c = static_cast<float>(h.sampleType == 0 ? r.s16() : r.s24()) * scale;
  r.skip((totalFilters - before - static_cast<size_t>(far.filters)) * tapBytes);
  r.skip(before);
  set.delays.resize(static_cast<size_t>(far.filters));
  for (float& d : set.delays) {
    const int v = r.u8();
    if (v > kMaxOnsetDelay) {
      error = "onset delay " + std::to_string(v) + " beyond " + std::to_string(kMaxOnsetDelay) + " samples";
      return false;
    }
    d = static_cast<float>(v);
  }
  return true;
}

}  // namespace

bool parseMhr(const uint8_t* data, size_t size, HrtfSet& out, std::string& error) {
  if (size > kMaxMhrBytes) {
    error = "larger than the " + std::to_string(kMaxMhrBytes >> 20) + " MiB a set may have";
    return false;
  }
  Reader r(data, size);
  MhrHeader header;
  if (!readHeader(r, data, size, header, error)) return false;
  std::vector<MhrField> fields;
  if (!readFields(r, header.fields, fields, error)) return false;
  HrtfSet set;
  if (!readFarField(r, header, fields, set, error)) return false;
  out = std::move(set);
  return true;
}

bool loadMhrFile(const std::string& path, HrtfSet& out, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "cannot open " + path;
    return false;
  }
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  in.seekg(0, std::ios::beg);
  if (size < 0 || static_cast<uint64_t>(size) > kMaxMhrBytes) {
    error = path + ": larger than the " + std::to_string(kMaxMhrBytes >> 20) + " MiB a set may have";
    return false;
  }
  // The set loads inside other people's programs: short of memory, it is refused.
  std::vector<uint8_t> bytes;
  std::string why;
  try {
    bytes.resize(static_cast<size_t>(size));
    if (!in.read(reinterpret_cast<char*>(bytes.data()), size)) {
      error = "cannot read " + path;
      return false;
    }
    if (!parseMhr(bytes.data(), bytes.size(), out, why)) why = why.empty() ? "malformed" : why;
  } catch (const std::bad_alloc&) {
    why = "not enough memory for the set";
  }
  if (!why.empty()) {
    error = path + ": " + why;
    return false;
  }
  out.origin = path;
  return true;
}

int HrtfSet::filterIndex(int elevationIndex, int azimuthIndex) const {
  return firstFilter[static_cast<size_t>(elevationIndex)] + azimuthIndex;
}

void HrtfSet::earFilter(float azimuth, float elevation, float* out, float& delay) const {
  const int ev = elevationCount();
  const float elStep = kPi / static_cast<float>(ev - 1);
  float ef = (std::clamp(elevation, -kPi / 2, kPi / 2) + kPi / 2) / elStep;
  int e0 = std::min(static_cast<int>(ef), ev - 1);
  const int e1 = std::min(e0 + 1, ev - 1);
  const float fe = ef - static_cast<float>(e0);
  const float az = wrapTurn(azimuth);

  int idx[4];
  float w[4];
  for (int k = 0; k < 2; ++k) {
    const int e = k == 0 ? e0 : e1;
    const int n = azCount[static_cast<size_t>(e)];
    const float af = az / (2.0f * kPi / static_cast<float>(n));
    int a0 = static_cast<int>(af);
    const float fa = af - static_cast<float>(a0);
    a0 %= n;
    const int a1 = (a0 + 1) % n;
    const float we = k == 0 ? 1.0f - fe : fe;
    idx[2 * k] = filterIndex(e, a0);
    idx[2 * k + 1] = filterIndex(e, a1);
    w[2 * k] = we * (1.0f - fa);
    w[2 * k + 1] = we * fa;
  }
  const float* f0 = filter(idx[0]);
  const float* f1 = filter(idx[1]);
  const float* f2 = filter(idx[2]);
  const float* f3 = filter(idx[3]);
  for (int t = 0; t < taps; ++t) out[t] = w[0] * f0[t] + w[1] * f1[t] + w[2] * f2[t] + w[3] * f3[t];
  delay = w[0] * delays[static_cast<size_t>(idx[0])] + w[1] * delays[static_cast<size_t>(idx[1])] +
          w[2] * delays[static_cast<size_t>(idx[2])] + w[3] * delays[static_cast<size_t>(idx[3])];
}

void HrtfSet::interpolate(float azimuth, float elevation, float* left, float* right, float& delayLeft,
                          float& delayRight) const {
  earFilter(azimuth, elevation, left, delayLeft);
  earFilter(-azimuth, elevation, right, delayRight);
}

HrtfSet makeSphericalHead(uint32_t rate, int taps) {
  constexpr double kRadius = 0.0875;
  constexpr double kSound = 343.3;
  constexpr double kAlphaMin = 0.1;
  constexpr double kThetaMin = 150.0 * 3.14159265358979 / 180.0;
  const double pi = 3.14159265358979;
  HrtfSet set;
  set.rate = rate;
  set.taps = std::clamp(taps, 8, kMaxTaps);
  set.origin = "spherical head model";
  const int ev = 19;
  const double w0 = kSound / kRadius;
  const double K = 2.0 * rate;
  int first = 0;
  for (int e = 0; e < ev; ++e) {
    const double el = -pi / 2 + pi * e / (ev - 1);
    const int n = std::max(1, static_cast<int>(std::lround(72.0 * std::cos(el))));
    set.azCount.push_back(n);
    set.firstFilter.push_back(first);
    first += n;
    for (int a = 0; a < n; ++a) {
      const double az = 2.0 * pi * a / n;
      // Angle between the left ear's axis (-x) and the source.
      const double cosTheta = std::clamp(-std::sin(az) * std::cos(el), -1.0, 1.0);
      const double theta = std::acos(cosTheta);
      const double alpha = (1.0 + kAlphaMin / 2) + (1.0 - kAlphaMin / 2) * std::cos(theta / kThetaMin * pi);
      // Head shadow (alpha s + 2 w0) / (s + 2 w0) through the bilinear transform.
      const double den = K + 2 * w0;
      const double b0 = (alpha * K + 2 * w0) / den;
      const double b1 = (2 * w0 - alpha * K) / den;
      const double a1 = (2 * w0 - K) / den;
      double x1 = 0, y1 = 0;
      for (int t = 0; t < set.taps; ++t) {
        const double x = t == 0 ? 1.0 : 0.0;
        const double y = b0 * x + b1 * x1 - a1 * y1;
        x1 = x;
        y1 = y;
        set.coeffs.push_back(static_cast<float>(y));
      }
      // Woodworth: arrival relative to the head's centre, shifted so the near ear's earliest is 0.
      const double tau = theta < pi / 2 ? -kRadius / kSound * std::cos(theta) : kRadius / kSound * (theta - pi / 2);
      const double onset = (tau + kRadius / kSound) * rate;
      set.delays.push_back(static_cast<float>(std::min(onset, static_cast<double>(kMaxOnsetDelay))));
    }
  }
  return set;
}

HrtfSet loadHrtfOrModel(const std::string& path, uint32_t rate, std::string& note) {
  HrtfSet set;
  std::string error;
  if (loadMhrFile(path, set, error)) {
    note.clear();
    return set;
  }
  note = error + "; using the spherical head model";
  return makeSphericalHead(rate);
}

}  // namespace trivox
