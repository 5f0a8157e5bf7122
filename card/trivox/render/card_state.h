// What the card tells the engine about its output: where the sound goes, how the 3D
// sources are rendered, and the speaker equaliser. The engine thread reads it from the
// card and hands it to the mixer; the render thread only ever sees a copy.
#pragma once

#include <cstdint>

namespace trivox {

enum class OutputPath : uint8_t {
  kHeadphones = 0,  // binaural, as rendered
  kSpeakers = 1,    // binaural through the crosstalk canceller
};

enum class RenderMode : uint8_t {
  kQuality = 0,  // per-source HRTF rendering
  kSpeed = 1,    // sources panned into an ambisonic bus, decoded once per block
};

struct CardRenderState {
  OutputPath output = OutputPath::kHeadphones;
  RenderMode mode = RenderMode::kQuality;
  bool eqOn = false;
  int32_t eqInput = -1;  // position in the card's input list; -1 none
};

inline bool operator==(const CardRenderState& a, const CardRenderState& b) {
  return a.output == b.output && a.mode == b.mode && a.eqOn == b.eqOn && a.eqInput == b.eqInput;
}
inline bool operator!=(const CardRenderState& a, const CardRenderState& b) { return !(a == b); }

}  // namespace trivox
