#include "held.h"

#if ZSYNTH_BENCH_FLUID
#include <fluidsynth.h>
#endif

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <vector>

#include "Synth.h"
#include "VoiceKernels.h"

namespace zsynth::bench {
namespace {
constexpr uint32_t kRate = 44100, kFrames = 64;
// Looped, sustaining programs; notes spread over four octaves.
constexpr int kPrograms[4] = {48, 19, 52, 89};

double CpuNow() {
  timespec ts;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return ts.tv_sec + ts.tv_nsec * 1e-9;
}

struct Engine {
  std::function<void(int ch, int key)> noteOn;
  std::function<uint32_t()> render;  // one block of kFrames; the voices sounding
};

// Strikes notes until `voices` sound, lets the attacks pass, then times `seconds` of audio.
// Microseconds of process CPU per voice per audio second.
double Measure(Engine& e, uint32_t voices, double seconds) {
  uint32_t sounding = 0;
  for (int n = 0; n < 128 && sounding < voices; ++n) {
    e.noteOn(n % 4, 36 + (n * 7) % 48);
    sounding = e.render();
  }
  for (int i = 0; i < 0.3 * kRate / kFrames; ++i) e.render();
  const int blocks = static_cast<int>(seconds * kRate / kFrames);
  double voiceSeconds = 0;
  const double t0 = CpuNow();
  for (int i = 0; i < blocks; ++i) voiceSeconds += e.render() * double(kFrames) / kRate;
  const double cpu = CpuNow() - t0;
  return voiceSeconds > 0 ? cpu / voiceSeconds * 1e6 : 0.0;
}

double Ours(std::shared_ptr<const Bank> bank, uint32_t mode, bool effects, uint32_t voices, double seconds,
            const VoiceKernels* kernels) {
  Synth s(kRate, kernels);
  s.setBank(std::move(bank));
  s.setSettings(SynthSettings{effects, 64, 64, mode});
  for (int ch = 0; ch < 4; ++ch) s.shortMessage(0xC0u | ch | kPrograms[ch] << 8);
  std::vector<float> out(2 * kFrames);
  Engine e{[&](int ch, int key) { s.shortMessage(0x90u | ch | key << 8 | 100u << 16); },
           [&] {
             s.render(out.data(), kFrames);
             return s.status().activeVoices;
           }};
  return Measure(e, voices, seconds);
}

#if ZSYNTH_BENCH_FLUID
double Fluid(const std::string& sf2, bool linear, bool effects, uint32_t voices, double seconds) {
  if (sf2.empty()) return 0.0;
  for (int level = 0; level <= FLUID_DBG; ++level) fluid_set_log_function(level, nullptr, nullptr);
  fluid_settings_t* settings = new_fluid_settings();
  fluid_settings_setnum(settings, "synth.sample-rate", kRate);
  fluid_settings_setint(settings, "synth.polyphony", 128);
  fluid_settings_setint(settings, "synth.cpu-cores", 1);
  fluid_settings_setint(settings, "synth.reverb.active", effects ? 1 : 0);
  fluid_settings_setint(settings, "synth.chorus.active", effects ? 1 : 0);
  fluid_synth_t* synth = new_fluid_synth(settings);
  fluid_synth_sfload(synth, sf2.c_str(), 1);
  fluid_synth_set_interp_method(synth, -1, linear ? FLUID_INTERP_LINEAR : FLUID_INTERP_4THORDER);
  for (int ch = 0; ch < 4; ++ch) fluid_synth_program_change(synth, ch, kPrograms[ch]);
  std::vector<float> l(kFrames), r(kFrames);
  Engine e{[&](int ch, int key) { fluid_synth_noteon(synth, ch, key, 100); },
           [&] {
             fluid_synth_write_float(synth, kFrames, l.data(), 0, 1, r.data(), 0, 1);
             return static_cast<uint32_t>(fluid_synth_get_active_voice_count(synth));
           }};
  const double us = Measure(e, voices, seconds);
  delete_fluid_synth(synth);
  delete_fluid_settings(settings);
  return us;
}
#else
double Fluid(const std::string&, bool, bool, uint32_t, double) { return 0.0; }
#endif

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.size() % 2 ? v[v.size() / 2] : 0.5 * (v[v.size() / 2 - 1] + v[v.size() / 2]);
}
}  // namespace

std::vector<HeldRow> MeasureHeld(const std::string& sf2, std::shared_ptr<const Bank> bank, int repeats,
                                 double seconds) {
  const VoiceKernels* avx2 = avx2VoiceKernels();
  std::vector<HeldRow> rows;
  for (bool effects : {false, true}) {
    for (uint32_t voices : {32u, 64u}) {
      std::vector<double> m0, m0base, f4, m1, f1;
      for (int r = 0; r < repeats; ++r) {
        m0.push_back(Ours(bank, 0, effects, voices, seconds, nullptr));
        f4.push_back(Fluid(sf2, false, effects, voices, seconds));
        m0base.push_back(avx2 ? Ours(bank, 0, effects, voices, seconds, &baselineVoiceKernels()) : m0.back());
        m1.push_back(Ours(bank, 1, effects, voices, seconds, nullptr));
        f1.push_back(Fluid(sf2, true, effects, voices, seconds));
      }
      rows.push_back(HeldRow{effects, voices, Median(m0), Median(m0base), Median(f4), Median(m1), Median(f1)});
    }
  }
  return rows;
}

void PrintHeldTable(const std::vector<HeldRow>& rows, int repeats, double seconds) {
  std::printf("Held voices: us of process CPU per voice per audio second, median of %d interleaved runs of %.1f s\n",
              repeats, seconds);
  std::printf("mode 0 (cubic) against FluidSynth's 4th-order interpolation, mode 1 (linear) against its linear;\n");
  std::printf("ratio = ours / FluidSynth. Ours: %s kernels (sse2 = the baseline every x86 runs).\n",
              voiceKernels().name);
  std::printf("%-7s %6s | %8s %8s %8s %6s %6s | %8s %8s %6s\n", "effects", "voices", "mode 0", "m0 sse2", "fluid",
              "ratio", "sse2", "mode 1", "fl lin", "ratio");
  for (const HeldRow& r : rows) {
    std::printf("%-7s %6u | %8.1f %8.1f %8.1f %6.2f %6.2f | %8.1f %8.1f %6.2f\n", r.effects ? "on" : "off", r.voices,
                r.mode0, r.mode0Baseline, r.fluid, r.mode0 / r.fluid, r.mode0Baseline / r.fluid, r.mode1,
                r.fluidLinear, r.mode1 / r.fluidLinear);
  }
  std::printf("\n");
}

void PrintHeldRows(const std::vector<HeldRow>& rows) {
  for (const HeldRow& r : rows) {
    std::printf("%s %u %.1f %.1f %.1f %.1f %.1f\n", r.effects ? "on" : "off", r.voices, r.mode0, r.mode0Baseline,
                r.fluid, r.mode1, r.fluidLinear);
  }
  std::fflush(stdout);
}

}  // namespace zsynth::bench
