// Ours against FluidSynth: the same songs with the same SoundFont, rendered offline.
// Prints CPU per voice per audio second at fixed counts of held voices, then for the songs
// with peak voices and the spectral difference.
//   synth-bench SOUNDFONT [--held | --songs | --rows] [REPEATS]
#include <fluidsynth.h>

#include <cmath>
#include <complex>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>
#include <functional>
#include <string>
#include <vector>

#include "BankLoad.h"
#include "Smf.h"
#include "Synth.h"
#include "held.h"
#include "sf3.h"
#include "songs.h"

namespace {
using namespace zsynth;
constexpr uint32_t kRate = 44100, kBlockFrames = 64;

struct Result {
  double cpu = 0;         // seconds
  double voiceSeconds = 0;  // sounding voices integrated over the song
  uint32_t peak = 0;
  std::vector<float> mono;
};

double CpuNow() {
  timespec ts;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return ts.tv_sec + ts.tv_nsec * 1e-9;
}

// Plays `song` through `send` and `render` (stereo into two buffers), 2 s of tail after it.
Result Play(const SmfSong& song, const std::vector<uint8_t>& sysex, const std::function<void(const SmfEvent&)>& send,
            const std::function<uint32_t(float*, float*, uint32_t)>& render) {
  (void)sysex;
  Result r;
  const uint64_t total = static_cast<uint64_t>((song.seconds + 2.0) * kRate);
  float left[kBlockFrames], right[kBlockFrames];
  size_t next = 0;
  r.mono.reserve(total + kBlockFrames);
  // One clock reading per song, for the whole process: FluidSynth may render on threads of its own.
  const double t0 = CpuNow();
  for (uint64_t at = 0; at < total; at += kBlockFrames) {
    while (next < song.events.size() && song.events[next].seconds * kRate < at + kBlockFrames) send(song.events[next++]);
    const uint32_t voices = render(left, right, kBlockFrames);
    r.voiceSeconds += voices * double(kBlockFrames) / kRate;
    r.peak = std::max(r.peak, voices);
    for (uint32_t i = 0; i < kBlockFrames; ++i) r.mono.push_back(0.5f * (left[i] + right[i]));
  }
  r.cpu = CpuNow() - t0;
  return r;
}

Result Ours(const SmfSong& song, std::shared_ptr<const Bank> bank, uint32_t mode) {
  Synth s(kRate);
  s.setBank(std::move(bank));
  s.setSettings(SynthSettings{true, 64, 64, mode});
  std::vector<float> inter(2 * kBlockFrames);
  return Play(
      song, song.sysex,
      [&](const SmfEvent& e) {
        if (e.packed) s.shortMessage(e.packed);
        else s.sysEx(song.sysex.data() + e.sysexAt, e.sysexSize);
      },
      [&](float* l, float* r, uint32_t n) {
        s.render(inter.data(), n);
        for (uint32_t i = 0; i < n; ++i) l[i] = inter[2 * i], r[i] = inter[2 * i + 1];
        return s.status().activeVoices;
      });
}

Result Fluid(const SmfSong& song, const std::string& sf2) {
  for (int level = 0; level <= FLUID_DBG; ++level) fluid_set_log_function(level, nullptr, nullptr);
  fluid_settings_t* settings = new_fluid_settings();
  fluid_settings_setnum(settings, "synth.sample-rate", kRate);
  fluid_settings_setint(settings, "synth.polyphony", 64);
  fluid_settings_setint(settings, "synth.cpu-cores", 1);
  fluid_synth_t* synth = new_fluid_synth(settings);
  fluid_synth_sfload(synth, sf2.c_str(), 1);
  Result r = Play(
      song, song.sysex,
      [&](const SmfEvent& e) {
        if (!e.packed) {
          fluid_synth_sysex(synth, reinterpret_cast<const char*>(song.sysex.data() + e.sysexAt + 1),
                            static_cast<int>(e.sysexSize) - 2, nullptr, nullptr, nullptr, 0);
          return;
        }
        const int ch = e.packed & 15, d1 = (e.packed >> 8) & 127, d2 = (e.packed >> 16) & 127;
        switch (e.packed & 0xF0) {
          case 0x80: fluid_synth_noteoff(synth, ch, d1); break;
          case 0x90: d2 ? fluid_synth_noteon(synth, ch, d1, d2) : fluid_synth_noteoff(synth, ch, d1); break;
          case 0xB0: fluid_synth_cc(synth, ch, d1, d2); break;
          case 0xC0: fluid_synth_program_change(synth, ch, d1); break;
          case 0xE0: fluid_synth_pitch_bend(synth, ch, d2 << 7 | d1); break;
          default: break;
        }
      },
      [&](float* l, float* rt, uint32_t n) {
        fluid_synth_write_float(synth, static_cast<int>(n), l, 0, 1, rt, 0, 1);
        return static_cast<uint32_t>(fluid_synth_get_active_voice_count(synth));
      });
  delete_fluid_synth(synth);
  delete_fluid_settings(settings);
  return r;
}

// Energy per third-octave band, 50 Hz to 16 kHz, from 4096-point Hann frames.
std::vector<double> ThirdOctaves(const std::vector<float>& x, std::vector<double>& centres) {
  constexpr size_t kN = 4096;
  std::vector<double> power(kN / 2, 0.0);
  std::vector<std::complex<double>> f(kN);
  for (size_t at = 0; at + kN <= x.size(); at += kN) {
    for (size_t i = 0; i < kN; ++i) f[i] = x[at + i] * (0.5 - 0.5 * std::cos(2 * M_PI * i / kN));
    for (size_t i = 1, j = 0; i < kN; ++i) {  // iterative radix-2
      size_t bit = kN >> 1;
      for (; j & bit; bit >>= 1) j ^= bit;
      j ^= bit;
      if (i < j) std::swap(f[i], f[j]);
    }
    for (size_t len = 2; len <= kN; len <<= 1) {
      const std::complex<double> w = std::polar(1.0, -2 * M_PI / len);
      for (size_t i = 0; i < kN; i += len) {
        std::complex<double> wk = 1;
        for (size_t k = 0; k < len / 2; ++k, wk *= w) {
          const auto u = f[i + k], v = f[i + k + len / 2] * wk;
          f[i + k] = u + v;
          f[i + k + len / 2] = u - v;
        }
      }
    }
    for (size_t k = 0; k < kN / 2; ++k) power[k] += std::norm(f[k]);
  }
  std::vector<double> bands;
  centres.clear();
  for (double fc = 50.0; fc < 17000.0; fc *= std::cbrt(2.0)) {
    const double lo = fc / std::pow(2.0, 1.0 / 6), hi = fc * std::pow(2.0, 1.0 / 6);
    double e = 1e-20;
    for (size_t k = 0; k < kN / 2; ++k) {
      const double hz = double(k) * kRate / kN;
      if (hz >= lo && hz < hi) e += power[k];
    }
    bands.push_back(e);
    centres.push_back(fc);
  }
  return bands;
}

double PerVoiceUs(const Result& r) { return r.voiceSeconds > 0 ? r.cpu / r.voiceSeconds * 1e6 : 0.0; }

void Compare(const std::string& name, const Result& ours, const Result& ref, const char* label, double seconds) {
  std::vector<double> centres;
  const auto a = ThirdOctaves(ours.mono, centres), b = ThirdOctaves(ref.mono, centres);
  double ta = 0, tb = 0;
  for (size_t i = 0; i < a.size(); ++i) ta += a[i], tb += b[i];
  double sum = 0, worst = 0, worstHz = 0;
  std::string line;
  for (size_t i = 0; i < a.size(); ++i) {
    const double d = 10 * std::log10((a[i] / ta) / (b[i] / tb));
    sum += std::fabs(d);
    if (std::fabs(d) > std::fabs(worst)) worst = d, worstHz = centres[i];
    char buf[16];
    std::snprintf(buf, sizeof buf, "%+.0f ", d);
    line += buf;
  }
  std::printf("%-8s %-9s %8.2f %8.2f %6.2f %5u %5u %7.1f %+7.1f %+6.1f@%.0f\n", name.c_str(), label,
              PerVoiceUs(ours), PerVoiceUs(ref), PerVoiceUs(ours) / PerVoiceUs(ref), ours.peak, ref.peak,
              sum / a.size(), 10 * std::log10(ta / tb), worst, worstHz);
  std::printf("         bands 50 Hz..16 kHz, ours-ref dB (level-normalised): %s\n", line.c_str());
  (void)seconds;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s SOUNDFONT [--held | --songs | --rows] [REPEATS]\n", argv[0]);
    return 2;
  }
  const std::string only = argc > 2 ? argv[2] : "";
  const int repeats = argc > 3 ? std::max(1, std::atoi(argv[3])) : 5;
  const LoadResult loaded = LoadBankFile(argv[1]);
  if (!loaded.bank) {
    std::fprintf(stderr, "cannot load %s: %s\n", argv[1], loaded.reason.c_str());
    return 1;
  }
  if (only == "--rows") {
    bench::PrintHeldRows(bench::MeasureHeld(argv[1], loaded.bank, repeats, 2.0));
    return 0;
  }
  if (only != "--songs") bench::PrintHeldTable(bench::MeasureHeld(argv[1], loaded.bank, repeats, 2.0), repeats, 2.0);
  if (only == "--held") return 0;
  // The same bank as SoundFont 3, ours only: FluidSynth keeps playing the SoundFont 2.
  std::shared_ptr<const Bank> sf3;
  {
    std::ifstream in(argv[1], std::ios::binary);
    const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::string why;
    const std::vector<uint8_t> three = bench::Sf2ToSf3(bytes, 0.6f, why);
    const LoadResult l3 = three.empty() ? LoadResult{nullptr, why} : LoadBank(three.data(), three.size());
    if (l3.bank) {
      sf3 = l3.bank;
      std::printf("The bank as SoundFont 3 (libvorbis quality 0.6): %zu bytes, %zu of SoundFont 2\n", three.size(),
                  bytes.size());
    } else {
      std::printf("no SoundFont 3 rows: %s\n", l3.reason.c_str());
    }
  }
  std::printf("CPU in microseconds per voice per audio second (one core); spectrum: mean |dB| over third-octave bands\n");
  std::printf("%-8s %-9s %8s %8s %6s %5s %5s %7s %7s %s\n", "song", "ours", "us/v/s", "fluid", "ratio", "peak",
              "fpeak", "spct|dB|", "level", "worst band");
  for (const bench::Song& song : bench::MakeSongs()) {
    SmfSong smf;
    std::string reason;
    if (!ReadSmf(song.smf.data(), song.smf.size(), smf, reason)) {
      std::fprintf(stderr, "%s: %s\n", song.name.c_str(), reason.c_str());
      return 1;
    }
    const Result ref = Fluid(smf, argv[1]);
    for (uint32_t mode : {0u, 1u, 2u}) {
      const Result ours = Ours(smf, loaded.bank, mode);
      Compare(song.name, ours, ref, mode == 0 ? "mode 0" : mode == 1 ? "mode 1" : "mode 2", smf.seconds);
    }
    for (uint32_t mode : {0u, 1u}) {
      if (sf3) Compare(song.name, Ours(smf, sf3, mode), ref, mode == 0 ? "m0 sf3" : "m1 sf3", smf.seconds);
    }
  }
  return 0;
}
