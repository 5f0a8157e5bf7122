#include "card/mididrv/SynthRunner.h"

#include <mmsystem.h>

#include <cmath>
#include <vector>

namespace zmidi {

namespace {

std::atomic<SynthRunner*> g_runner{nullptr};

// Owns the wave output the render thread plays into.
class WaveOut {
 public:
  explicit WaveOut(HANDLE done) {
    WAVEFORMATEX fmt{};
    fmt.wFormatTag = WAVE_FORMAT_PCM;
    fmt.nChannels = 2;
    fmt.nSamplesPerSec = SynthRunner::kRate;
    fmt.wBitsPerSample = 16;
    fmt.nBlockAlign = 4;
    fmt.nAvgBytesPerSec = SynthRunner::kRate * 4;
    if (waveOutOpen(&wo_, WAVE_MAPPER, &fmt, reinterpret_cast<DWORD_PTR>(done), 0, CALLBACK_EVENT) !=
        MMSYSERR_NOERROR)
      wo_ = nullptr;
  }
  ~WaveOut() {
    if (!wo_) return;
    waveOutReset(wo_);
    for (WAVEHDR& h : hdrs_) {
      if (h.dwFlags & WHDR_PREPARED) waveOutUnprepareHeader(wo_, &h, sizeof h);
    }
    waveOutClose(wo_);
  }
  WaveOut(const WaveOut&) = delete;
  WaveOut& operator=(const WaveOut&) = delete;

  bool Ok() const { return wo_ != nullptr; }
  bool Prepare() {
    pcm_.assign(SynthRunner::kBuffers * SynthRunner::kBlockFrames * 2, 0);
    for (uint32_t i = 0; i < SynthRunner::kBuffers; ++i) {
      WAVEHDR& h = hdrs_[i];
      h = WAVEHDR{};
      h.lpData = reinterpret_cast<LPSTR>(&pcm_[i * SynthRunner::kBlockFrames * 2]);
      h.dwBufferLength = SynthRunner::kBlockFrames * 4;
      if (waveOutPrepareHeader(wo_, &h, sizeof h) != MMSYSERR_NOERROR) return false;
      h.dwFlags |= WHDR_DONE;  // free to fill
    }
    return true;
  }
  WAVEHDR& Header(uint32_t i) { return hdrs_[i]; }
  int16_t* Samples(uint32_t i) { return &pcm_[i * SynthRunner::kBlockFrames * 2]; }
  void Write(uint32_t i) { waveOutWrite(wo_, &hdrs_[i], sizeof(WAVEHDR)); }

 private:
  HWAVEOUT wo_ = nullptr;
  WAVEHDR hdrs_[SynthRunner::kBuffers] = {};
  std::vector<int16_t> pcm_;
};

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
  if (thread_) return;
  stop_.store(false);
  thread_ = CreateThread(nullptr, 0, &SynthRunner::ThreadMain, this, 0, nullptr);
}

void SynthRunner::Stop() {
  host_.postReset();
  if (!thread_) return;
  stop_.store(true);
  WaitForSingleObject(thread_, 5000);
  CloseHandle(thread_);
  thread_ = nullptr;
}

DWORD WINAPI SynthRunner::ThreadMain(void* self) {
  static_cast<SynthRunner*>(self)->Render();
  return 0;
}

void SynthRunner::Render() {
  HANDLE done = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  if (!done) return;
  {
    WaveOut out(done);
    if (!out.Ok() || !out.Prepare()) {
      OutputDebugStringA("zephra midi: no wave output for the synthesizer\n");
    } else {
      std::vector<float> mix(kBlockFrames * 2);
      SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
      uint32_t next = 0;
      while (!stop_.load()) {
        while (!stop_.load() && (out.Header(next).dwFlags & WHDR_DONE)) {
          host_.render(mix.data(), kBlockFrames);
          DWORD vol = volume_.load();
          float gl = float(vol & 0xFFFF) / 65535.0f, gr = float(vol >> 16) / 65535.0f;
          int16_t* pcm = out.Samples(next);
          for (uint32_t i = 0; i < kBlockFrames; ++i) {
            pcm[2 * i] = ToPcm(mix[2 * i], gl);
            pcm[2 * i + 1] = ToPcm(mix[2 * i + 1], gr);
          }
          out.Header(next).dwFlags &= ~WHDR_DONE;
          out.Write(next);
          next = (next + 1) % kBuffers;
        }
        WaitForSingleObject(done, 50);
      }
    }
  }
  CloseHandle(done);
}

}  // namespace zmidi
