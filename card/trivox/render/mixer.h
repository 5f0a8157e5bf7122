// The float mixer: every source resampled to the mix rate, 3D sources
// rendered binaurally, all parameter changes glided over a few blocks. Each
// voice's block is rendered by the VoiceRenderer (voice_render.h), the card's
// paths by the OutputStage (output_stage.h); a BlockContext carries what one
// block needs from the second to the first.
//
// Control calls come from any thread and queue behind each other; render()
// runs on one thread and never locks, allocates or waits for them:
// - Each voice, the listener and the card's state hand their parameters over
//   in a Handoff: a control call fills the spare copy and swaps it in with one
//   atomic exchange; render() swaps in the newest copy once per call.
// - Every copy carries the voice's generation, bumped by addVoice and by
//   removeVoice. removeVoice hands over a copy marked free and returns;
//   render() then stops reading the voice's data and stores the generation
//   it took up. Sample data given to removeVoice is freed by the first
//   control call after that, never on the render thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "card_state.h"
#include "handoff.h"
#include "hrtf.h"
#include "output_stage.h"
#include "spatial.h"
#include "timing.h"
#include "voice_render.h"

namespace trivox {

struct VoiceStatus {
  uint32_t frame = 0;     // play position
  uint32_t endedGen = 0;  // playGen of the last start that ran to its end
  uint32_t seekGen = 0;   // last seekGen the renderer has applied
};

struct Kernels;

class Mixer {
 public:
  // kernels: null picks the fastest this processor runs.
  Mixer(const HrtfSet& hrtf, uint32_t rate, int maxVoices, const Kernels* kernels = nullptr);
  ~Mixer();
  Mixer(const Mixer&) = delete;
  Mixer& operator=(const Mixer&) = delete;

  uint32_t rate() const { return m_rate; }
  const HrtfSet& hrtf() const { return m_hrtf; }
  const Kernels& kernels() const { return *m_kernels; }
  int maxVoices() const { return m_voiceCount; }

  int addVoice();  // -1 when every voice is taken
  // Returns at once; `data` (the owner of the voice's samples) is let go of
  // by a later control call, when render() no longer reads them.
  void removeVoice(int id, std::shared_ptr<const void> data = nullptr);
  void setVoice(int id, const VoiceParams& params);
  void setListener(const ListenerState& listener);
  // The card's output path, rendering mode and equaliser; any thread, like the others.
  void setCardState(const CardRenderState& state);
  VoiceStatus status(int id) const;

  // Overwrites `out` with `frames` interleaved stereo frames.
  void render(float* out, int frames);

  struct Voice;

 private:
  struct Retired {
    int voice;
    uint32_t gen;
    std::shared_ptr<const void> data;
  };

  // Control side, under m_control.
  static bool prepareHrtf(HrtfSet& set, uint32_t rate);
  void publish(Voice& v, const VoiceParams& params);
  void freeRetired();

  // Render side.
  void takeUpdates();
  void renderBlock(int frames);

  const Kernels* m_kernels;
  HrtfSet m_hrtf;
  uint32_t m_rate;
  int m_voiceCount;
  std::unique_ptr<Voice[]> m_voices;
  bool m_hrtfReady;  // m_hrtf fit for this rate, before the stages below are made from it

  mutable std::mutex m_control;  // orders control calls; render() never takes it
  std::vector<Retired> m_retired;
  Handoff<ListenerState> m_listener;
  Handoff<CardRenderState> m_card;

  // Render side, all sized at construction.
  OutputStage m_output;
  VoiceRenderer m_voiceRenderer;
  VoiceScratch m_scratch;
};

}  // namespace trivox
