// The mixer's output stage: the card's rendering mode, output path and speaker
// equaliser, with a fade over a few blocks whenever one of them changes.
// Quality mode takes the voices' ears as they are; speed mode pans the voices
// into an ambisonic bus and decodes it once per block; speakers put the ears
// through the crosstalk canceller and the limiter.
#pragma once

#include <cstdint>
#include <vector>

#include "ambisonic.h"
#include "bus_pan.h"
#include "card_state.h"
#include "crosstalk.h"
#include "equaliser.h"
#include "hrtf.h"
#include "render_block.h"
#include "timing.h"

namespace trivox {

constexpr int kCardFadeBlocks = 6;  // a change of rendering mode or output path fades over 30 ms

struct Kernels;

// Voices on their way into the ambisonic bus. They are panned kPanGroup at a
// time: the bus is read and written once per group.
class PanGroup {
 public:
  // slotFrames: a voice's samples, history and block; bus: the first sample of this block
  // in channel 0, the channels `stride` apart.
  PanGroup(BusPan pan, int slotFrames, float* bus, int stride);

  // The buffer the next voice renders its samples into (history first).
  float* slot(int frames);
  // That voice, its gains gliding from `from` to `to` over the block; `x` lies in
  // its slot and is read when the group is full.
  void add(const float* from, const float* to, const float* x, int frames);
  void flush(int frames);

 private:
  BusPan m_pan;
  int m_count = 0;  // voices waiting in the group
  float m_from[kPanGroup][kAmbiChannels], m_slope[kPanGroup][kAmbiChannels];
  const float* m_x[kPanGroup] = {};
  std::vector<float> m_input;  // kPanGroup slots
  float* m_bus;
  int m_stride;
};

class OutputStage {
 public:
  // slotFrames: what a voice renders into the bus's group, history and block.
  OutputStage(const Kernels& kernels, const HrtfSet& hrtf, uint32_t rate, int slotFrames);

  // Decides where this block's voices go: clears the mix and returns the block's context.
  // With headphones in one steady mode the ears add straight into the mix, as they always did.
  BlockContext beginBlock(const CardRenderState& card, int frames);
  // The voices' block through the paths to the mix.
  void endBlock(const CardRenderState& card, const BlockContext& block);
  // This block's stereo output, after endBlock.
  const float* mix(int channel) const { return m_mix[channel].data(); }

 private:
  void decodeBus(int frames, float* left, float* right);

  const Kernels& m_kernels;
  AmbisonicDecoder m_decoder;
  CrosstalkCanceller m_canceller;
  Limiter m_limiter;
  Equaliser m_equaliser;
  int m_busStride;
  std::vector<float> m_bus;  // kAmbiChannels x (history + block)
  PanGroup m_pan;
  float m_speedMix = 0.0f;    // 0 quality .. 1 speed, now
  float m_speakerMix = 0.0f;  // 0 headphones .. 1 speakers, now
  bool m_qualityRan = true, m_speedRan = false, m_speakersRan = false;
  std::vector<float> m_mix[2], m_quality[2], m_speed[2], m_binaural[2], m_weight[2], m_ones;
};

}  // namespace trivox
