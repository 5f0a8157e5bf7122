// The device's audio engine: the binaural mixer, the render thread that feeds it to the
// wave output one block at a time (kQueuedBlocksMin to kQueuedBlocksMax blocks queued,
// timing.h), and a control thread that follows the card and writes the engine's trace.
// The render thread only renders: besides writing blocks and waiting for the output it
// makes no system call, takes no lock and allocates nothing.
#pragma once

#include <windows.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "card/waveout/WaveOutput.h"
#include "card_link.h"
#include "mixer.h"
#include "timing.h"

namespace trivox {

constexpr int kMaxVoices = 256;

class Engine {
 public:
  // Null when the wave output cannot be opened.
  static std::shared_ptr<Engine> start(const std::wstring& dataDir, std::string& why);
  ~Engine();
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  Mixer& mixer() { return *m_mixer; }
  const std::string& hrtfOrigin() const { return m_origin; }
  void setMasterGain(float left, float right);
  uint64_t framesQueued() const { return m_framesQueued.load(); }
  int queueDepth() const { return m_output.depth(); }
  // The object's own sounds (the splash chime) have a voice of their own, so
  // applications keep all kMaxVoices. Mono 16-bit at kMixRate, played once;
  // the samples must outlive the engine.
  void playInternal(const int16_t* samples, uint32_t frames);
  // Ends both threads and closes the output; the engine stays silent afterwards.
  // Called by the destructor, and at the program's exit for engines never released.
  void stop();

 private:
  Engine() = default;
  void run();
  void fill(int16_t* block);
  void control();
  void followCard();
  void traceDepth();

  // Within this of a change on the card, the mixer renders by it.
  static constexpr DWORD kCardPollMs = 200;

  std::unique_ptr<Mixer> m_mixer;
  std::string m_origin;
  std::unique_ptr<CardLink> m_card;  // the control thread's, once it runs
  int m_depthTraced = kQueuedBlocksMin;  // the control thread's
  int m_internalVoice = -1;
  kv22::WaveOutput m_output;
  std::vector<float> m_float;
  HANDLE m_controlStop = nullptr;
  std::thread m_thread, m_control;
  std::atomic<bool> m_stop{false};
  std::atomic<float> m_gainL{1.0f}, m_gainR{1.0f};
  std::atomic<uint64_t> m_framesQueued{0};
};

}  // namespace trivox
