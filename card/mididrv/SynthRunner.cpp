#include "card/mididrv/SynthRunner.h"

#include <cmath>
#include <string>
#include <vector>

#include "card/waveout/WaveOutput.h"

namespace zmidi {

namespace {

std::atomic<SynthRunner*> g_runner{nullptr};

int16_t ToPcm(float v, float gain) {
  float s = v * gain * 32767.0f;
  if (s > 32767.0f) s = 32767.0f;
  if (s < -32768.0f) s = -32768.0f;
  return int16_t(std::lrint(s));
}

}  // namespace

SynthRunner& SynthRunner::Get() {
  // One synthesizer per process, alive to its end: a render thread may still be stopping.
  static SynthRunner runner;
  g_runner.store(&runner);
  return runner;
}

SynthRunner* SynthRunner::Existing() { return g_runner.load(); }

void SynthRunner::Start() {
  if (m_thread) return;
  m_stop.store(false);
  m_thread = CreateThread(nullptr, 0, &SynthRunner::ThreadMain, this, 0, nullptr);
}

void SynthRunner::Stop() {
  m_host.postReset();
  if (!m_thread) return;
  m_stop.store(true);
  WaitForSingleObject(m_thread, 5000);
  CloseHandle(m_thread);
  m_thread = nullptr;
}

DWORD WINAPI SynthRunner::ThreadMain(void* self) {
  static_cast<SynthRunner*>(self)->Render();
  return 0;
}

void SynthRunner::Render() {
  kv22::WaveQueuePolicy queue;
  queue.blockFrames = kBlockFrames;
  queue.minBlocks = queue.maxBlocks = kBuffers;
  kv22::WaveOutput out;
  std::string why;
  if (!out.open(kRate, queue, why)) {
    OutputDebugStringA("zephra midi: no wave output for the synthesizer\n");
    return;
  }
  std::vector<float> mix(kBlockFrames * 2);
  SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
  while (!m_stop.load()) {
    int16_t* pcm = nullptr;
    while (!m_stop.load() && (pcm = out.nextBlock()) != nullptr) {
      m_host.render(mix.data(), kBlockFrames);
      DWORD vol = m_volume.load();
      float gl = float(vol & 0xFFFF) / 65535.0f, gr = float(vol >> 16) / 65535.0f;
      for (uint32_t i = 0; i < kBlockFrames; ++i) {
        pcm[2 * i] = ToPcm(mix[2 * i], gl);
        pcm[2 * i + 1] = ToPcm(mix[2 * i + 1], gr);
      }
      out.write();
    }
    out.wait(50);
  }
}

}  // namespace zmidi
