// Time per source per second of audio: Trivox's mixer against OpenAL Soft
// rendering the same scene through its loopback device with HRTF on. The
// Windows build (the 32-bit code users get, run under Wine) has no OpenAL
// Soft beside it and prints Trivox's figures alone.
#if TRIVOX_BENCH_OPENAL
#include <AL/al.h>
#include <AL/alc.h>
#include <AL/alext.h>
#endif

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "kernels.h"
#include "mixer.h"
#include "test_signal.h"

namespace {

constexpr int kRate = 48000;
constexpr int kSourceRate = 22050;
constexpr int kChunk = 480;  // 10 ms
constexpr int kTick = kRate * 33 / 1000;

trivox::Vec3 positionOf(int i, int n, double t) {
  // Spread over a sphere of 2 m; moving scenes turn it.
  const double golden = 2.399963229728653;
  const double y = n > 1 ? 1.0 - 2.0 * (i + 0.5) / n : 0.0;
  const double r = std::sqrt(1 - y * y);
  const double a = golden * i + t;
  return {static_cast<float>(2 * r * std::sin(a)), static_cast<float>(2 * y), static_cast<float>(2 * r * std::cos(a))};
}

using Clock = std::chrono::steady_clock;

struct Result {
  double seconds = 0;  // wall time for the rendered audio
};

double renderTrivox(const trivox::HrtfSet& set, const std::vector<uint8_t>& pcm, int n, double audioSeconds,
                    bool moving, const trivox::Kernels* kernels,
                    trivox::RenderMode mode = trivox::RenderMode::kQuality) {
  trivox::Mixer m(set, kRate, n, kernels);
  trivox::CardRenderState card;
  card.mode = mode;
  m.setCardState(card);
  std::vector<int> ids;
  trivox::VoiceParams p;
  p.data = pcm.data();
  p.bytes = static_cast<uint32_t>(pcm.size());
  p.frequency = kSourceRate;
  p.playing = true;
  p.looping = true;
  p.playGen = 1;
  p.is3d = true;
  for (int i = 0; i < n; ++i) {
    ids.push_back(m.addVoice());
    p.source.position = positionOf(i, n, 0);
    m.setVoice(ids.back(), p);
  }
  std::vector<float> out(kChunk * 2);
  // A new mixer starts in quality mode: the fade to speed mode (both paths at
  // once) is over before the clock starts, so the speed rows time that mode alone.
  if (mode != trivox::RenderMode::kQuality)
    for (int done = 0; done < trivox::kCardFadeBlocks * trivox::kBlockFrames; done += kChunk) m.render(out.data(), kChunk);
  const int total = static_cast<int>(audioSeconds * kRate);
  int sinceTick = 0;
  double t = 0;
  const auto start = Clock::now();
  for (int done = 0; done < total; done += kChunk) {
    if (moving && sinceTick >= kTick) {
      sinceTick -= kTick;
      t += 0.033;
      for (int i = 0; i < n; ++i) {
        p.source.position = positionOf(i, n, t);
        m.setVoice(ids[static_cast<size_t>(i)], p);
      }
    }
    m.render(out.data(), kChunk);
    sinceTick += kChunk;
  }
  return std::chrono::duration<double>(Clock::now() - start).count();
}

#if TRIVOX_BENCH_OPENAL
struct OpenAl {
  LPALCLOOPBACKOPENDEVICESOFT openLoopback = nullptr;
  LPALCRENDERSAMPLESSOFT renderSamples = nullptr;
  ALCdevice* device = nullptr;
  ALCcontext* context = nullptr;
  std::string hrtfName;

  bool open(int sources) {
    openLoopback = reinterpret_cast<LPALCLOOPBACKOPENDEVICESOFT>(alcGetProcAddress(nullptr, "alcLoopbackOpenDeviceSOFT"));
    renderSamples = reinterpret_cast<LPALCRENDERSAMPLESSOFT>(alcGetProcAddress(nullptr, "alcRenderSamplesSOFT"));
    if (!openLoopback || !renderSamples) return false;
    device = openLoopback(nullptr);
    if (!device) return false;
    const ALCint attrs[] = {ALC_FORMAT_CHANNELS_SOFT, ALC_STEREO_SOFT, ALC_FORMAT_TYPE_SOFT, ALC_FLOAT_SOFT,
                            ALC_FREQUENCY, kRate, ALC_HRTF_SOFT, ALC_TRUE, ALC_MONO_SOURCES, sources + 16,
                            ALC_STEREO_SOURCES, 0, 0};
    context = alcCreateContext(device, attrs);
    if (!context || !alcMakeContextCurrent(context)) return false;
    ALCint status = 0;
    alcGetIntegerv(device, ALC_HRTF_STATUS_SOFT, 1, &status);
    if (status != ALC_HRTF_ENABLED_SOFT) return false;
    const ALCchar* name = alcGetString(device, ALC_HRTF_SPECIFIER_SOFT);
    hrtfName = name ? name : "?";
    return true;
  }
  ~OpenAl() {
    alcMakeContextCurrent(nullptr);
    if (context) alcDestroyContext(context);
    if (device) alcCloseDevice(device);
  }
};

double renderOpenAl(OpenAl& al, const std::vector<uint8_t>& pcm, int n, double audioSeconds, bool moving) {
  ALuint buffer = 0;
  alGenBuffers(1, &buffer);
  alBufferData(buffer, AL_FORMAT_MONO16, pcm.data(), static_cast<ALsizei>(pcm.size()), kSourceRate);
  std::vector<ALuint> src(static_cast<size_t>(n));
  alGenSources(n, src.data());
  if (alGetError() != AL_NO_ERROR) {
    std::fprintf(stderr, "OpenAL could not make %d sources\n", n);
    return -1;
  }
  alDistanceModel(AL_INVERSE_DISTANCE_CLAMPED);
  auto setPos = [&](int i, double t) {
    const trivox::Vec3 p = positionOf(i, n, t);
    alSource3f(src[static_cast<size_t>(i)], AL_POSITION, p.x, p.y, -p.z);  // right-handed
  };
  for (int i = 0; i < n; ++i) {
    alSourcei(src[static_cast<size_t>(i)], AL_BUFFER, static_cast<ALint>(buffer));
    alSourcei(src[static_cast<size_t>(i)], AL_LOOPING, AL_TRUE);
    alSourcef(src[static_cast<size_t>(i)], AL_REFERENCE_DISTANCE, 1.0f);
    setPos(i, 0);
  }
  alSourcePlayv(n, src.data());
  std::vector<float> out(kChunk * 2);
  const int total = static_cast<int>(audioSeconds * kRate);
  int sinceTick = 0;
  double t = 0;
  const auto start = Clock::now();
  for (int done = 0; done < total; done += kChunk) {
    if (moving && sinceTick >= kTick) {
      sinceTick -= kTick;
      t += 0.033;
      for (int i = 0; i < n; ++i) setPos(i, t);
    }
    al.renderSamples(al.device, out.data(), kChunk);
    sinceTick += kChunk;
  }
  const double s = std::chrono::duration<double>(Clock::now() - start).count();
  alSourceStopv(n, src.data());
  alDeleteSources(n, src.data());
  alDeleteBuffers(1, &buffer);
  return s;
}

bool openAlConfigured(OpenAl& al) {
  // Same work on both sides: full per-source HRTF, Catmull-Rom resampling.
  const std::string conf = "/tmp/trivox-bench-alsoft.conf";
  {
    std::ofstream f(conf);
    f << "[general]\nhrtf = true\nhrtf-mode = full\nhrtf-size = 0\nresampler = cubic\n";
  }
  setenv("ALSOFT_CONF", conf.c_str(), 1);
  if (al.open(256)) return true;
  std::fprintf(stderr, "OpenAL Soft loopback device with HRTF unavailable\n");
  return false;
}
#else
struct OpenAl {
  std::string hrtfName = "none here: the host build measures it";
};
bool openAlConfigured(OpenAl&) { return true; }
double renderOpenAl(OpenAl&, const std::vector<uint8_t>&, int, double, bool) { return 0; }
#endif

#if defined(_WIN32)
const char kSetPath[] = "Z:/usr/share/openal/hrtf/default-48000.mhr";  // the host's set, through Wine's Z:
const char kBuild[] = "Windows, 32-bit";
#else
const char kSetPath[] = "/usr/share/openal/hrtf/default-48000.mhr";
const char kBuild[] = "host, 64-bit";
#endif

}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 2.0;
  // --rows: one line per scene, for run.sh --all to put builds side by side.
  // --speed: the speed mode's rows alone.
  bool rows = false, speedOnly = false;
  for (int a = 2; a < argc; ++a) {
    rows |= std::string(argv[a]) == "--rows";
    speedOnly |= std::string(argv[a]) == "--speed";
  }
  std::string error;
  trivox::HrtfSet set;
  if (!trivox::loadMhrFile(kSetPath, set, error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  const auto pcm = trivox::testsig::pcm16(trivox::testsig::noise(kSourceRate, 1, 0.25f));
  OpenAl al;
  if (!openAlConfigured(al)) return 1;
  const trivox::Kernels& best = trivox::kernels();
  const trivox::Kernels& base = trivox::baselineKernels();
  if (!rows) {
    std::printf("Trivox mixer (%s build) vs OpenAL Soft loopback (HRTF \"%s\"), %d taps, %d Hz mix of %d Hz sources,\n",
                kBuild, al.hrtfName.c_str(), set.taps, kRate, kSourceRate);
    std::printf("%g s of audio per run, best of 3, one thread. Cost = render time per source per second of audio.\n\n",
                seconds);
    std::printf("Trivox kernels: %s (also shown: %s, what a processor without AVX2 runs)\n\n", best.name, base.name);
    std::printf("%-7s %8s %13s %13s %13s %8s %8s %15s\n", "scene", "sources", "Trivox us/s", "baseline us/s",
                "OpenAL us/s", "ratio", "ratio bl", "Trivox RT srcs");
  }
  // Quality mode still and moving, then speed mode moving: sources into the ambisonic bus.
  for (int scene : {0, 1, 2}) {
    if (speedOnly && scene != 2) continue;
    const bool moving = scene > 0;
    const trivox::RenderMode mode = scene == 2 ? trivox::RenderMode::kSpeed : trivox::RenderMode::kQuality;
    const char* name = scene == 0 ? "still" : scene == 1 ? "moving" : "speed";
    for (int n : {1, 8, 64, 256}) {
      if (scene == 2 && n == 1) continue;
      double t[3] = {1e30, 1e30, 1e30};
      for (int rep = 0; rep < 3; ++rep) {
        t[0] = std::min(t[0], renderTrivox(set, pcm, n, seconds, moving, &best, mode));
        t[1] = std::min(t[1], renderTrivox(set, pcm, n, seconds, moving, &base, mode));
        const double a = renderOpenAl(al, pcm, n, seconds, moving);
        if (a < 0) return 1;
        t[2] = std::min(t[2], a);
      }
      const double ours = t[0] / n / seconds * 1e6;
      const double plain = t[1] / n / seconds * 1e6;
      const double theirs = t[2] / n / seconds * 1e6;
      if (rows) {
        std::printf("%s %d %.1f %.1f %.1f\n", name, n, ours, plain, theirs);
      } else if (TRIVOX_BENCH_OPENAL) {
        std::printf("%-7s %8d %13.1f %13.1f %13.1f %7.2fx %7.2fx %15.0f\n", name, n, ours,
                    plain, theirs, theirs / ours, theirs / plain, 1e6 / ours);
      } else {
        std::printf("%-7s %8d %13.1f %13.1f %13s %8s %8s %15.0f\n", name, n, ours, plain, "-",
                    "-", "-", 1e6 / ours);
      }
    }
  }
  if (!rows)
    std::printf("\nratio = OpenAL cost / Trivox cost (above 1: Trivox faster), bl = with baseline kernels.\n"
                "RT srcs = sources one core renders in real time; speed = speed mode (ambisonic bus).\n");
  return 0;
}
