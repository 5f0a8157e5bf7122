#include "engine.h"

#include <algorithm>
#include <cmath>

#include "exit_guard.h"

namespace trivox {
namespace {

// Like the render, fill() takes no lock: these atomics must not hide one.
static_assert(std::atomic<float>::is_always_lock_free && std::atomic<uint64_t>::is_always_lock_free,
              "lock-free gains and frame count");

std::string narrow(const std::wstring& w) {
  std::string s;
  for (wchar_t c : w) s.push_back(c < 128 ? static_cast<char>(c) : '?');
  return s;
}

HrtfSet loadSet(const std::wstring& dir, std::string& origin) {
  std::string note;
  for (const wchar_t* name : {L"default-48000.mhr", L"default-44100.mhr"}) {
    HrtfSet set;
    std::string error;
    // The loader takes narrow paths; the install folder is plain ASCII.
    if (loadMhrFile(narrow(dir + name), set, error)) {
      origin = set.origin;
      return set;
    }
    note += error + "; ";
  }
  origin = note + "spherical head model";
  engineTrace(origin);
  return makeSphericalHead(kMixRate);
}

}  // namespace

std::shared_ptr<Engine> Engine::start(const std::wstring& dataDir, std::string& why) {
  std::shared_ptr<Engine> e(new Engine());
  const HrtfSet set = loadSet(dataDir, e->m_origin);
  e->m_mixer = std::make_unique<Mixer>(set, kMixRate, kMaxVoices + 1);
  e->m_internalVoice = e->m_mixer->addVoice();
  e->m_card = std::make_unique<CardLink>();
  if (!e->m_card->present()) engineTrace("no card: headphones, quality, equaliser off");
  e->followCard();
  e->m_controlStop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (!e->m_controlStop) {
    why = "no event";
    return nullptr;
  }
  kv22::WaveQueuePolicy queue;
  queue.blockFrames = kBlockFrames;
  queue.minBlocks = kQueuedBlocksMin;
  queue.maxBlocks = kQueuedBlocksMax;
  queue.depthAfter = queueDepthAfter;
  if (!e->m_output.open(kMixRate, queue, why)) return nullptr;
  e->m_float.assign(static_cast<size_t>(kBlockFrames) * 2, 0.0f);
  e->m_thread = std::thread([raw = e.get()] { raw->run(); });
  e->m_control = std::thread([raw = e.get()] { raw->control(); });
  exitGuardAdd(e.get());
  return e;
}

Engine::~Engine() {
  exitGuardRemove(this);
  stop();
  if (m_controlStop) CloseHandle(m_controlStop);
}

void Engine::stop() {
  m_stop.store(true);
  m_output.wake();
  if (m_controlStop) SetEvent(m_controlStop);
  if (m_thread.joinable()) m_thread.join();
  if (m_control.joinable()) m_control.join();
  m_output.close();
}

void Engine::setMasterGain(float left, float right) {
  m_gainL.store(left);
  m_gainR.store(right);
}

void Engine::playInternal(const int16_t* samples, uint32_t frames) {
  VoiceParams p;
  p.data = reinterpret_cast<const uint8_t*>(samples);
  p.bytes = frames * 2;
  p.channels = 1;
  p.bits = 16;
  p.frequency = kMixRate;
  p.playing = true;
  p.playGen = 1;
  m_mixer->setVoice(m_internalVoice, p);
}

void Engine::fill(int16_t* out) {
  m_mixer->render(m_float.data(), kBlockFrames);
  const float gl = m_gainL.load() * 32767.0f, gr = m_gainR.load() * 32767.0f;
  for (int i = 0; i < kBlockFrames; ++i) {
    const float l = std::clamp(m_float[2 * static_cast<size_t>(i)] * gl, -32768.0f, 32767.0f);
    const float r = std::clamp(m_float[2 * static_cast<size_t>(i) + 1] * gr, -32768.0f, 32767.0f);
    out[2 * i] = static_cast<int16_t>(std::lrint(l));
    out[2 * i + 1] = static_cast<int16_t>(std::lrint(r));
  }
}

void Engine::run() {
  SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
  while (!m_stop.load()) {
    for (int16_t* block; !m_stop.load() && (block = m_output.nextBlock()) != nullptr;) {
      fill(block);
      if (m_output.write()) m_framesQueued += kBlockFrames;
    }
    if (!m_stop.load()) m_output.wait(50);
  }
}

void Engine::control() {
  while (WaitForSingleObject(m_controlStop, kCardPollMs) == WAIT_TIMEOUT) {
    traceDepth();
    if (m_card->present()) followCard();
  }
}

void Engine::followCard() {
  if (!m_card->poll()) return;
  m_mixer->setCardState(m_card->state());
  engineTrace("card: " + describe(m_card->state()));
}

// The render thread only moves the depth up; each step it took is said once.
void Engine::traceDepth() {
  for (const int depth = m_output.depth(); m_depthTraced < depth;)
    engineTrace("output queue now " + std::to_string(++m_depthTraced) + " blocks");
}

}  // namespace trivox
