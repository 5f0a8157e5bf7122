// Head-related impulse responses: the measured set (MinPHR02 files) and the
// spherical-head model used when no usable file is found.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace trivox {

constexpr int kMaxTaps = 128;
constexpr int kMaxOnsetDelay = 63;  // samples; bounds the delay lines
// The largest set file read: measured sets are a few hundred KiB, and the far field's
// filters built from this many bytes stay near 8 MiB.
constexpr uint64_t kMaxMhrBytes = 4u << 20;

struct HrtfSet {
  uint32_t rate = 0;
  int taps = 0;
  std::vector<int> azCount;     // per elevation, elevations evenly from -90 deg up to +90 deg
  std::vector<int> firstFilter; // index of the first filter of each elevation
  std::vector<float> coeffs;    // filters x taps, left ear; the right ear is the mirrored azimuth
  std::vector<float> delays;    // onset delay of each filter in samples
  std::string origin;           // file path, or the model's name

  int filterCount() const { return static_cast<int>(delays.size()); }
  int elevationCount() const { return static_cast<int>(azCount.size()); }
  bool empty() const { return taps == 0 || delays.empty(); }

  // Filters of both ears for a direction, interpolated between the four
  // nearest measured directions. Azimuth runs clockwise from the front
  // (pi/2 is the listener's right), elevation upward; both in radians.
  // left/right receive `taps` values each.
  void interpolate(float azimuth, float elevation, float* left, float* right,
                   float& delayLeft, float& delayRight) const;

  // One ear's filter of the stored set, for checks and tools.
  const float* filter(int index) const { return coeffs.data() + static_cast<size_t>(index) * taps; }
  int filterIndex(int elevationIndex, int azimuthIndex) const;

 private:
  void earFilter(float azimuth, float elevation, float* out, float& delay) const;
};

// Parses a MinPHR02 image. On failure returns false and says why in `error`;
// `out` is then left untouched.
bool parseMhr(const uint8_t* data, size_t size, HrtfSet& out, std::string& error);
bool loadMhrFile(const std::string& path, HrtfSet& out, std::string& error);

// Brown and Duda's spherical head: head shadow (alpha_min 0.1 at 150 deg,
// radius 8.75 cm) with Woodworth's interaural delay, on a 10-degree grid.
HrtfSet makeSphericalHead(uint32_t rate, int taps = 32);

// The measured set from `path`, or the spherical head at `rate` when the
// file is missing or malformed; `note` then tells what went wrong.
HrtfSet loadHrtfOrModel(const std::string& path, uint32_t rate, std::string& note);

}  // namespace trivox
