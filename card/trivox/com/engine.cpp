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
  e->m_event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  if (!e->m_event) {
    why = "no event";
    return nullptr;
  }
  WAVEFORMATEX fmt = {};
  fmt.wFormatTag = WAVE_FORMAT_PCM;
  fmt.nChannels = 2;
  fmt.nSamplesPerSec = kMixRate;
  fmt.wBitsPerSample = 16;
  fmt.nBlockAlign = 4;
  fmt.nAvgBytesPerSec = kMixRate * 4;
  const MMRESULT r = waveOutOpen(&e->m_wave, WAVE_MAPPER, &fmt, reinterpret_cast<DWORD_PTR>(e->m_event), 0,
                                 CALLBACK_EVENT);
  if (r != MMSYSERR_NOERROR) {
    e->m_wave = nullptr;
    why = "waveOutOpen failed (" + std::to_string(r) + ")";
    return nullptr;
  }
  e->m_pcm.assign(static_cast<size_t>(kBlockFrames) * 2 * kQueuedBlocksMax, 0);
  e->m_float.assign(static_cast<size_t>(kBlockFrames) * 2, 0.0f);
  for (int i = 0; i < kQueuedBlocksMax; ++i) {
    WAVEHDR& h = e->m_hdr[i];
    h.lpData = reinterpret_cast<LPSTR>(e->m_pcm.data() + static_cast<size_t>(i) * kBlockFrames * 2);
    h.dwBufferLength = kBlockFrames * 4;
    if (waveOutPrepareHeader(e->m_wave, &h, sizeof h) != MMSYSERR_NOERROR) {
      why = "waveOutPrepareHeader failed";
      return nullptr;  // the destructor unprepares what was prepared
    }
  }
  e->m_thread = std::thread([raw = e.get()] { raw->run(); });
  exitGuardAdd(e.get());
  return e;
}

Engine::~Engine() {
  exitGuardRemove(this);
  stop();
  if (m_event) CloseHandle(m_event);
}

void Engine::stop() {
  m_stop.store(true);
  if (m_event) SetEvent(m_event);
  if (m_thread.joinable()) m_thread.join();
  if (m_wave) {
    waveOutReset(m_wave);
    for (WAVEHDR& h : m_hdr)
      if (h.dwFlags & WHDR_PREPARED) waveOutUnprepareHeader(m_wave, &h, sizeof h);
    waveOutClose(m_wave);
    m_wave = nullptr;
  }
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

void Engine::fill(WAVEHDR& hdr) {
  m_mixer->render(m_float.data(), kBlockFrames);
  const float gl = m_gainL.load() * 32767.0f, gr = m_gainR.load() * 32767.0f;
  int16_t* out = reinterpret_cast<int16_t*>(hdr.lpData);
  for (int i = 0; i < kBlockFrames; ++i) {
    const float l = std::clamp(m_float[2 * static_cast<size_t>(i)] * gl, -32768.0f, 32767.0f);
    const float r = std::clamp(m_float[2 * static_cast<size_t>(i) + 1] * gr, -32768.0f, 32767.0f);
    out[2 * i] = static_cast<int16_t>(std::lrint(l));
    out[2 * i + 1] = static_cast<int16_t>(std::lrint(r));
  }
  hdr.dwFlags &= ~WHDR_DONE;
  if (waveOutWrite(m_wave, &hdr, sizeof hdr) == MMSYSERR_NOERROR)
    m_framesQueued += kBlockFrames;
  else
    hdr.dwFlags |= WHDR_DONE;  // never reached the output: back to the spares, not a stalled queue
}

void Engine::followCard() {
  m_cardPolled = GetTickCount();
  if (!m_card->poll()) return;
  m_mixer->setCardState(m_card->state());
  engineTrace("card: " + describe(m_card->state()));
}

void Engine::run() {
  SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
  // Headers at the output in queue order, and the spare ones.
  int queue[kQueuedBlocksMax], spare[kQueuedBlocksMax];
  int head = 0, queued = 0, spares = 0;
  for (int i = kQueuedBlocksMax - 1; i >= 0; --i) spare[spares++] = i;
  auto topUp = [&] {
    while (!m_stop.load() && queued < m_depth.load() && spares > 0) {
      const int h = spare[--spares];
      fill(m_hdr[h]);
      queue[(head + queued++) % kQueuedBlocksMax] = h;
    }
  };
  topUp();
  while (!m_stop.load()) {
    WaitForSingleObject(m_event, 50);
    int played = 0;
    while (queued > 0 && (m_hdr[queue[head]].dwFlags & WHDR_DONE)) {
      spare[spares++] = queue[head];
      head = (head + 1) % kQueuedBlocksMax;
      --queued;
      ++played;
    }
    const int depth = queueDepthAfter(m_depth.load(), played);
    const bool grew = depth != m_depth.load();
    m_depth.store(depth);
    topUp();
    // Rare (a few times in an engine's life), and only once the queue is full again.
    if (grew) engineTrace("output queue now " + std::to_string(depth) + " blocks");
    // With the queue just filled: the card's answer comes well inside it.
    if (m_card->present() && GetTickCount() - m_cardPolled >= kCardPollMs) followCard();
  }
}

}  // namespace trivox
