// What one render block needs, handed from the mixer to the voice renderer and
// the output stage: its length, where the voices add their samples, and which of
// the card's paths run. The output stage makes it at the start of every block,
// the mixer adds the listener and the voices' scratch.
#pragma once

namespace trivox {

struct ListenerState;
class PanGroup;
struct VoiceScratch;

// Which paths this block runs. quality: the voices' ear filters; speed: the
// ambisonic bus; both while the mode fades between them.
struct Route {
  bool quality = true, speed = false, speakers = false;
  bool modeFading = false;
};

struct BlockContext {
  int frames = 0;
  Route route;
  bool snapFilters = false;  // the quality path resumes: its filters jump to their targets, unheard
  float* ears[2] = {};       // where the quality path adds its ears
  float* direct[2] = {};     // where voices without the head add their channels
  PanGroup* pan = nullptr;   // the speed path's bus; null when the path is off
  const ListenerState* listener = nullptr;
  VoiceScratch* scratch = nullptr;
};

// Every glide ends on its target at the block's last sample.
inline void ramp(float* out, int n, float from, float to) {
  const float d = (to - from) / static_cast<float>(n);
  for (int i = 0; i < n; ++i) out[i] = from + d * static_cast<float>(i + 1);
}

}  // namespace trivox
