// One voice's block: its source resampled to the mix rate, then through the
// ears' filters (3D), panned into the ambisonic bus (speed mode), or added as
// its own channels; every parameter change glided over a few blocks.
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "ambisonic.h"
#include "bus_pan.h"
#include "decode.h"
#include "hrtf.h"
#include "render_block.h"
#include "spatial.h"
#include "timing.h"

namespace trivox {

constexpr int kGlideBlocks = 8;    // a change is spread over 40 ms
constexpr float kMaxStep = 16.0f;  // source frames per mix frame

// Delay lines read two samples ahead of the nominal position for the cubic.
constexpr int kLookahead = 2;
// A voice's resampled samples kept from block to block, for the onset delays and the cubic.
constexpr int kVoiceHistory = kMaxOnsetDelay + kLookahead + 3;

struct Kernels;

struct VoiceParams {
  // Read by render() until the voice's removal took effect: hand the data's
  // owner to removeVoice, or keep the data alive as long as the mixer.
  const uint8_t* data = nullptr;
  uint32_t bytes = 0;
  uint16_t channels = 1;  // 1..kMaxSourceChannels, folded to the mix's one or two
  uint16_t bits = 16;     // 8 (unsigned), 16, 24 or 32 (signed), 32 with `floating`
  bool floating = false;     // IEEE float samples
  uint32_t channelMask = 0;  // speaker positions of the channels; 0: the usual order
  uint32_t frequency = 22050;
  bool playing = false;
  bool looping = false;
  uint32_t playGen = 0;  // bumped by each start from a stopped state
  uint32_t seekGen = 0;  // bumped with each new seekFrame
  uint32_t seekFrame = 0;
  int32_t volume = 0;  // millibels
  int32_t pan = 0;     // millibels, negative is left
  bool is3d = false;
  Source3D source;
};

// What a voice renders with: ear filters, interaural delays, ear gains and
// the resampling step.
struct VoiceSettings {
  float filter[2][kMaxTaps];
  float delay[2];
  float gain[2];
  float step;
  float sh[kAmbiChannels];  // the speed mode's bus gains, distance and volume included
};

// A voice as the render thread keeps it from block to block.
struct VoiceState {
  // Written by render(), read by control calls.
  std::atomic<uint32_t> frame{0};
  std::atomic<uint32_t> endedGen{0};
  std::atomic<uint32_t> seekGen{0};

  VoiceParams p;
  bool running = false;  // sounded in the previous block
  bool aimed = false;    // the glide heads for what the parameters and listener say now
  double pos = 0;
  uint32_t appliedSeek = 0;
  uint32_t ended = 0;

  VoiceSettings now{};     // at the start of this block
  VoiceSettings target{};  // where the glide heads
  int remaining = 0;       // blocks left in the glide

  float history[kVoiceHistory] = {};
  float earTail[2][kMaxTaps] = {};
  float earPeak[2] = {};  // bounds the ear inputs in earTail
};

// Working buffers of one block's voices, sized once.
struct VoiceScratch {
  VoiceScratch();
  std::vector<float> src[2];
  std::vector<float> mono[2];
  std::vector<float> ear[2];
  std::vector<float> gain[2];
  std::vector<int32_t> index;
  std::vector<float> frac;
};

class VoiceRenderer {
 public:
  // hrtf: already fit for `rate`, and outliving the renderer.
  VoiceRenderer(const Kernels& kernels, const HrtfSet& hrtf, uint32_t rate, LinearAt linearAt);

  // Adds the voice's block where `block` says, and moves it on.
  void render(VoiceState& v, const BlockContext& block) const;

 private:
  // One resampling pass over a voice's source.
  struct Resampling {
    float step0 = 0, step1 = 0;  // source frames per mix frame, at the block's start and end
    float* out[2] = {};          // the channels; the second only when split
    bool split = false;          // a stereo source's two channels; else one, mixed down
    bool linear = false;         // straight-line interpolation, for the speed mode alone
  };
  // The decoded stretch of source and where the block reads it.
  struct SourceSpan {
    const float* samples[2];
    double phase, firstStep, stepChange, limit;
  };
  // This block's move of a voice from its `now` settings to `next`.
  struct Move {
    const VoiceSettings& next;
    bool gliding;
  };

  void seek(VoiceState& v) const;
  void targets(const VoiceState& v, const BlockContext& block, VoiceSettings& target) const;
  void aim(VoiceState& v, const VoiceSettings& target, bool snapFilters) const;
  bool glide(VoiceState& v, VoiceSettings& next, bool quality) const;
  void copySettings(const VoiceSettings& from, VoiceSettings& to, bool quality) const;
  bool renderBinaural(VoiceState& v, const Move& move, const BlockContext& block) const;
  void renderEar(VoiceState& v, int ear, const float* mono, const Move& move, const BlockContext& block) const;
  bool renderDirect(VoiceState& v, const Move& move, const BlockContext& block) const;
  // True when a one-shot ran to its end.
  bool resample(VoiceState& v, int frames, const Resampling& job, VoiceScratch& scratch) const;
  void cubicResample(const SourceSpan& span, int frames, const Resampling& job, VoiceScratch& scratch) const;

  const Kernels& m_kernels;
  const HrtfSet& m_hrtf;
  uint32_t m_rate;
  LinearAt m_linearAt;
};

}  // namespace trivox
