// The float mixer: every source resampled to the mix rate, 3D sources
// rendered binaurally, all parameter changes glided over a few blocks.
// Control calls come from any thread; render() runs on the engine's thread,
// takes no allocation and waits at most for a parameter copy.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "decode.h"
#include "hrtf.h"
#include "spatial.h"

namespace trivox {

constexpr int kBlockFrames = 240;  // 5 ms at 48 kHz
constexpr int kGlideBlocks = 8;    // a change is spread over 40 ms
constexpr float kMaxStep = 16.0f;  // source frames per mix frame

struct VoiceParams {
  const uint8_t* data = nullptr;  // stays valid until removeVoice returns
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
  // Returns once render() no longer reads the voice's data.
  void removeVoice(int id);
  void setVoice(int id, const VoiceParams& params);
  void setListener(const ListenerState& listener);
  VoiceStatus status(int id) const;

  // Overwrites `out` with `frames` interleaved stereo frames.
  void render(float* out, int frames);

  struct Voice;

 private:
  void renderBlock(int frames);
  void renderVoice(Voice& v, int frames);
  bool resample(Voice& v, int frames, float step0, float step1, float* outA, float* outB, bool split);
  void targets(Voice& v, float* th, float* td, float* tg, float& ts) const;

  const Kernels* m_kernels;
  HrtfSet m_hrtf;
  uint32_t m_rate;
  int m_voiceCount;
  std::unique_ptr<Voice[]> m_voices;

  std::mutex m_paramMutex;   // held only to copy parameters
  std::mutex m_renderMutex;  // held by render(); removeVoice waits on it
  ListenerState m_pendingListener;
  bool m_listenerDirty = true;
  ListenerState m_listener;

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
