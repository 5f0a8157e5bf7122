// The device's audio engine: the binaural mixer and the thread that feeds it
// to the platform's wave output one render block at a time, kQueuedBlocksMin
// to kQueuedBlocksMax blocks queued (timing.h).
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

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
  int queueDepth() const { return m_depth.load(); }
  // The object's own sounds (the splash chime) have a voice of their own, so
  // applications keep all kMaxVoices. Mono 16-bit at kMixRate, played once;
  // the samples must outlive the engine.
  void playInternal(const int16_t* samples, uint32_t frames);
  // Ends the engine thread and closes the output; the engine stays silent afterwards.
  // Called by the destructor, and at the program's exit for engines never released.
  void stop();

 private:
  Engine() = default;
  void run();
  void fill(WAVEHDR& hdr);
  void followCard();

  // Within this of a change on the card, the mixer renders by it.
  static constexpr DWORD kCardPollMs = 200;

  std::unique_ptr<Mixer> m_mixer;
  std::string m_origin;
  std::unique_ptr<CardLink> m_card;  // read on the engine thread only, once it runs
  DWORD m_cardPolled = 0;
  int m_internalVoice = -1;
  HWAVEOUT m_wave = nullptr;
  HANDLE m_event = nullptr;
  std::vector<int16_t> m_pcm;
  std::vector<float> m_float;
  WAVEHDR m_hdr[kQueuedBlocksMax] = {};
  std::thread m_thread;
  std::atomic<bool> m_stop{false};
  std::atomic<float> m_gainL{1.0f}, m_gainR{1.0f};
  std::atomic<uint64_t> m_framesQueued{0};
  std::atomic<int> m_depth{kQueuedBlocksMin};
};

}  // namespace trivox
