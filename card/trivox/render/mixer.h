// The float mixer: every source resampled to the mix rate, 3D sources
// rendered binaurally, all parameter changes glided over a few blocks.
//
// Control calls come from any thread and queue behind each other; render()
// runs on one thread and never locks, allocates or waits for them:
// - Each voice and the listener hand their parameters over in a Handoff:
//   a control call fills the spare copy and swaps it in with one atomic
//   exchange; render() swaps in the newest copy once per call.
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

#include "ambisonic.h"
#include "bus_pan.h"
#include "card_state.h"
#include "crosstalk.h"
#include "decode.h"
#include "equaliser.h"
#include "handoff.h"
#include "hrtf.h"
#include "spatial.h"
#include "timing.h"

namespace trivox {

constexpr int kGlideBlocks = 8;    // a change is spread over 40 ms
constexpr float kMaxStep = 16.0f;  // source frames per mix frame
constexpr int kCardFadeBlocks = 6;  // a change of rendering mode or output path fades over 30 ms

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
  struct Settings;
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
  void renderVoice(Voice& v, int frames);
  void cubicResample(const float* sa, const float* sb, double phase, double firstStep, double stepChange, double limit,
                     float* outA, float* outB, bool split, int n);
  void seek(Voice& v) const;
  void targets(const Voice& v, Settings& target) const;
  void aim(Voice& v, const Settings& target) const;
  bool glide(Voice& v, Settings& next) const;
  void copySettings(const Settings& from, Settings& to) const;
  bool renderBinaural(Voice& v, int frames, const Settings& next, bool gliding);
  void renderEar(Voice& v, int ear, const float* mono, int frames, const Settings& next, bool gliding);
  bool renderDirect(Voice& v, int frames, const Settings& next);
  // The buffer the next voice for the bus renders its samples into (history first).
  float* panSlot(int frames);
  // That voice into the ambisonic bus, its gains gliding from `from` to `to` over
  // the block; `mono` lies in its slot and is read when the group is full.
  void panToBus(const float* from, const float* to, const float* mono, int frames);
  void flushPan(int frames);

  // The card's state on the render side (mixer_card.cpp).
  struct Route {
    bool quality = true, speed = false, speakers = false;
    bool modeFading = false;
  };
  Route beginBlock(int frames);
  void endBlock(const Route& route, int frames);
  void decodeBus(int frames, float* left, float* right);
  static void ramp(float* out, int n, float from, float to);
  // linear: straight-line interpolation, for the speed mode alone.
  bool resample(Voice& v, int frames, float step0, float step1, float* outA, float* outB, bool split,
                bool linear = false);

  const Kernels* m_kernels;
  HrtfSet m_hrtf;
  uint32_t m_rate;
  int m_voiceCount;
  std::unique_ptr<Voice[]> m_voices;
  bool m_hrtfReady;  // m_hrtf fit for this rate, before the filters below are made from it

  mutable std::mutex m_control;  // orders control calls; render() never takes it
  std::vector<Retired> m_retired;
  Handoff<ListenerState> m_listener;
  Handoff<CardRenderState> m_card;

  // Render side: the card's output stage, all sized at construction.
  AmbisonicDecoder m_decoder;
  CrosstalkCanceller m_canceller;
  Limiter m_limiter;
  Equaliser m_equaliser;
  BusPan m_pan;
  int m_panCount = 0;  // sources waiting in the group below
  float m_panFrom[kPanGroup][kAmbiChannels], m_panSlope[kPanGroup][kAmbiChannels];
  const float* m_panX[kPanGroup] = {};
  std::vector<float> m_panInput;  // kPanGroup slots of history and block
  LinearAt m_linearAt;
  bool m_snapFilters = false;  // the quality path resumes: its filters jump to their targets, unheard
  int m_busStride = 0;
  std::vector<float> m_bus;  // kAmbiChannels x (history + block)
  float m_speedMix = 0.0f;    // 0 quality .. 1 speed, now
  float m_speakerMix = 0.0f;  // 0 headphones .. 1 speakers, now
  bool m_qualityRan = true, m_speedRan = false, m_speakersRan = false;
  float* m_dest[2] = {nullptr, nullptr};  // where the quality path adds its ears this block
  std::vector<float> m_quality[2], m_speed[2], m_binaural[2], m_weight[2], m_ones;

  // Scratch, sized once.
  std::vector<float> m_src[2];
  std::vector<float> m_mono[2];
  std::vector<float> m_ear[2];
  std::vector<float> m_gain[4];
  std::vector<float> m_mix[2];
  std::vector<int32_t> m_index;
  std::vector<float> m_frac;
};

}  // namespace trivox
