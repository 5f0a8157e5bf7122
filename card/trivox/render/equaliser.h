// The speaker equaliser: one curve for each input position of the card's list
// (-1, none, and the six inputs), as biquads designed once.
#pragma once

#include <cstdint>
#include <vector>

namespace trivox {

enum class EqBandKind : uint8_t { kLowShelf, kHighShelf, kPeak, kHighPass };

struct EqBand {
  EqBandKind kind;
  double freq;    // Hz: corner or centre
  double gainDb;  // shelves and peaks
  double q;
};

constexpr int kEqMaxBands = 3;
constexpr int kEqCurves = 7;  // input positions -1..5

struct EqCurve {
  const char* name;
  int bands;
  EqBand band[kEqMaxBands];
};

// The curve of an input position; positions outside -1..5 get the one of -1.
const EqCurve& eqCurve(int input);
int eqCurveIndex(int input);
// The curve's response in dB: the analog bands on the bilinear transform's frequency axis.
double eqCurveDb(const EqCurve& curve, double freq, double rate);

struct Biquad {
  float b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;
};

class Equaliser {
 public:
  Equaliser(uint32_t rate, int maxFrames);

  // In place. Off, and after the fade, leaves the samples untouched. A change
  // of curve or of on/off fades over a few blocks between the old and new output.
  void process(bool on, int input, float* left, float* right, int n);

 private:
  struct Slot {
    int curve = -1;  // -1: straight through
    float z[2][kEqMaxBands][2] = {};
  };
  void filter(Slot& s, const float* inL, const float* inR, float* outL, float* outR, int n) const;

  Biquad m_biquads[kEqCurves][kEqMaxBands];
  int m_bands[kEqCurves];
  Slot m_now, m_before;
  int m_fadeDone = 0;  // frames of the fade from m_before to m_now already played
  std::vector<float> m_a[2], m_b[2];
};

}  // namespace trivox
