// What the MIDI page changes, as a listener hears it: MIDI files played through the
// sequencer into the card's wavetable synthesizer, recorded from the sound server's null
// sink beside the test, before and after the page's Download button and reverb slider, and
// with one bank downloaded as SoundFont 2 and as SoundFont 3.
#include <gtest/gtest.h>
#include <windows.h>

#include <mmsystem.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "E2eSupport.h"
#include "MidiPage.h"
#include "sf3_banks.h"

using namespace e2e;

namespace {

constexpr int kRate = Capture::kRate;
constexpr double kPi = 3.14159265358979323846;
constexpr long long kMs = kRate / 1000;  // frames a millisecond

// A format 0 file of one program's notes, one after another: each `noteMs` long, `gapMs`
// apart, and the track ending `trailMs` after the last release, so the sequencer keeps the
// synthesizer playing its tail. 500 ticks a quarter at the default tempo: a tick is 1 ms.
std::vector<uint8_t> Tune(uint8_t program, const std::vector<uint8_t>& keys, int noteMs, int gapMs, int trailMs) {
  std::vector<uint8_t> track;
  auto delta = [&](uint32_t ticks) {
    uint8_t groups[5];
    int n = 0;
    do groups[n++] = ticks & 0x7F; while ((ticks >>= 7) != 0);
    while (n-- > 0) track.push_back(uint8_t(groups[n] | (n ? 0x80 : 0)));
  };
  auto event = [&](uint32_t ticks, std::initializer_list<uint8_t> bytes) {
    delta(ticks);
    track.insert(track.end(), bytes);
  };
  event(0, {0xC0, program});
  for (size_t i = 0; i < keys.size(); ++i) {
    event(i ? gapMs : 0, {0x90, keys[i], 100});
    event(noteMs, {0x80, keys[i], 0});
  }
  event(trailMs, {0xFF, 0x2F, 0x00});
  std::vector<uint8_t> smf = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0x01, 0xF4, 'M', 'T', 'r', 'k'};
  for (int shift = 24; shift >= 0; shift -= 8) smf.push_back(uint8_t(track.size() >> shift));
  smf.insert(smf.end(), track.begin(), track.end());
  return smf;
}

// A tune opened by the sequencer from a file of its own; closed and removed when it goes.
class Sequence {
 public:
  explicit Sequence(const std::vector<uint8_t>& smf) {
    char dir[MAX_PATH];
    GetTempPathA(sizeof dir, dir);
    file_ = std::string(dir) + "zephra_page_tune.mid";
    std::ofstream(file_, std::ios::binary).write(reinterpret_cast<const char*>(smf.data()), std::streamsize(smf.size()));
    open_ = mciSendStringA(("open \"" + file_ + "\" type sequencer alias pagetune").c_str(), nullptr, 0, nullptr) == 0;
  }
  ~Sequence() {
    if (open_) mciSendStringA("close pagetune", nullptr, 0, nullptr);
    DeleteFileA(file_.c_str());
  }
  Sequence(const Sequence&) = delete;
  Sequence& operator=(const Sequence&) = delete;
  bool Play() const { return open_ && mciSendStringA("play pagetune", nullptr, 0, nullptr) == 0; }

 private:
  std::string file_;
  bool open_ = false;
};

// Both channels mixed, frames [from, to).
std::vector<double> Mix(const Capture& cap, long long from, long long to) {
  const std::vector<short> s = cap.Read(from, to);
  std::vector<double> out;
  for (size_t i = 0; i + 1 < s.size(); i += 2) out.push_back(0.5 * (s[i] + s[i + 1]));
  return out;
}

// Power within 3 % of the k-th harmonic of f0, from the Hann-windowed stretch.
double HarmonicPower(const std::vector<double>& x, double f0, int k) {
  const size_t n = x.size();
  double sum = 0;
  for (double f = k * f0 * 0.97; f <= k * f0 * 1.03; f += double(kRate) / n) {
    double re = 0, im = 0;
    for (size_t i = 0; i < n; ++i) {
      const double v = x[i] * (0.5 - 0.5 * std::cos(2 * kPi * i / n));
      re += v * std::cos(2 * kPi * f * i / kRate);
      im += v * std::sin(2 * kPi * f * i / kRate);
    }
    sum += re * re + im * im;
  }
  return sum;
}

// Even harmonics 2, 4 and 6 against odd 3, 5 and 7, in dB: a square wave has no even ones,
// most instruments have both.
double EvenOverOddDb(const std::vector<double>& x, double f0) {
  double even = 1e-9, odd = 1e-9;
  for (int k = 2; k <= 7; ++k) (k % 2 ? odd : even) += HarmonicPower(x, f0, k);
  return 10 * std::log10(even / odd);
}

// Energy in third-octave bands from 100 Hz to 16 kHz of a Hann-windowed stretch whose length
// is a power of two.
std::vector<double> ThirdOctaves(const std::vector<double>& x) {
  const size_t n = x.size();
  std::vector<std::complex<double>> f(n);
  for (size_t i = 0; i < n; ++i) f[i] = x[i] * (0.5 - 0.5 * std::cos(2 * kPi * i / n));
  for (size_t i = 1, j = 0; i < n; ++i) {  // iterative radix-2
    size_t bit = n >> 1;
    for (; j & bit; bit >>= 1) j ^= bit;
    j ^= bit;
    if (i < j) std::swap(f[i], f[j]);
  }
  for (size_t len = 2; len <= n; len <<= 1) {
    const std::complex<double> w = std::polar(1.0, -2 * kPi / len);
    for (size_t i = 0; i < n; i += len) {
      std::complex<double> wk = 1;
      for (size_t k = 0; k < len / 2; ++k, wk *= w) {
        const auto u = f[i + k], v = f[i + k + len / 2] * wk;
        f[i + k] = u + v;
        f[i + k + len / 2] = u - v;
      }
    }
  }
  std::vector<double> bands;
  for (double fc = 100; fc < 16500; fc *= std::cbrt(2.0)) {
    const double lo = fc / std::pow(2.0, 1.0 / 6), hi = fc * std::pow(2.0, 1.0 / 6);
    double e = 1e-9;
    for (size_t k = 0; k < n / 2; ++k) {
      const double hz = double(k) * kRate / n;
      if (hz >= lo && hz < hi) e += std::norm(f[k]);
    }
    bands.push_back(e);
  }
  return bands;
}

void WriteBytes(const std::string& path, const unsigned char* data, size_t size) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(data), std::streamsize(size));
}

// A slider dragged to `to` a step at a time, as the mouse moves its thumb.
void Drag(HWND page, int id, int to) {
  int pos = int(SendMessageA(GetDlgItem(page, id), TBM_GETPOS, 0, 0));
  while (pos != to) Slide(page, id, pos += pos < to ? 1 : -1);
  Slide(page, id, to, TB_ENDTRACK);
}

class MidiPageSound : public MidiPageTest {
 protected:
  void SetUp() override {
    MidiPageTest::SetUp();
    if (HasFatalFailure()) return;
    ASSERT_TRUE(capture_.Available()) << "run through e2e_capture.sh";
    ASSERT_GE(capture_.Running(), 0);
    // An open brings the synthesizer up; the card's state was reset, so it returns to the
    // default bank and its own settings.
    HMIDIOUT out = nullptr;
    ASSERT_EQ(midiOutOpen(&out, 0, 0, 0, CALLBACK_NULL), MMSYSERR_NOERROR);
    midiOutClose(out);
    char sys[MAX_PATH];
    GetSystemDirectoryA(sys, sizeof sys);
    const std::string bank = std::string(sys) + "\\orvanegm";
    ASSERT_TRUE(WaitUntil([&] { return Synth().hasSynth && bank == Synth().synth.bank; }, 30000))
        << "the synthesizer did not report the default bank";
    // No bank in use is stored, so a download replaces (and removes) none.
    DeleteValue(HKEY_LOCAL_MACHINE, kInstallSettings, "DLSBankPath");
  }
  void TearDown() override {
    MidiPageTest::TearDown();
    EXPECT_TRUE(card_.ResetState()) << "the default bank and settings back for the tests after this";
  }

  kv22::MidiState Synth() {
    kv22::MidiState m{};
    if (!card_.GetMidi(m)) m.hasSynth = 0;
    return m;
  }
  // The tune played; the frame its first note was heard, -1 when it was not. The recording
  // is silent first, so that what is heard is this tune's.
  long long Play(const Sequence& tune) {
    if (!capture_.WaitForSilence(capture_.Now(), 300)) return -1;
    const long long from = capture_.Running();
    return from >= 0 && tune.Play() ? capture_.WaitForSound(from) : -1;
  }

  Capture capture_;
};

TEST_F(MidiPageSound, ATuneSoundsWithTheBankDownloadedThroughThePage) {
  // A3, A4 and A5 on a piano: no note's harmonics fall near another's even ones.
  const std::vector<uint8_t> keys = {57, 69, 81};
  constexpr int kNote = 400, kGap = 100;
  auto figure = [&](const char* bank) {
    Sequence tune(Tune(0, keys, kNote, kGap, 500));
    const long long on = Play(tune);
    if (on < 0) return 99.0;
    double sum = 0;
    for (size_t i = 0; i < keys.size(); ++i) {
      const long long from = on + static_cast<long long>(i) * (kNote + kGap) * kMs + 60 * kMs;
      if (!capture_.WaitPast(from + 8192)) return 99.0;
      const double db = EvenOverOddDb(Mix(capture_, from, from + 8192), 440.0 * std::pow(2.0, (keys[i] - 69) / 12.0));
      std::printf("%s bank, key %d: even/odd harmonics %.1f dB\n", bank, keys[i], db);
      sum += db;
    }
    return sum / keys.size();
  };
  const double before = figure("default");
  ASSERT_LT(before, 90) << "the tune was not heard";

  const std::string path = "C:\\zephra-banks\\square.sf2";
  CreateDirectoryA("C:\\zephra-banks", nullptr);
  WriteBank(path, "squares");
  HWND page = OpenPage();
  ASSERT_NE(page, nullptr);
  ASSERT_TRUE(Download(page, path));
  ASSERT_TRUE(WaitUntil([&] { return path == Synth().synth.bank; }, 20000)) << "the synthesizer kept its bank";
  const double after = figure("square");
  Close();
  DeleteFileA(path.c_str());
  RemoveDirectoryA("C:\\zephra-banks");
  ASSERT_LT(after, 90) << "the tune was not heard with the new bank";
  std::printf("even/odd harmonics: default bank %.1f dB, square bank %.1f dB\n", before, after);
  EXPECT_LT(after, before - 15) << "the square bank's missing even harmonics";
}

// The square bank as SoundFont 2 and as SoundFont 3 (its samples Ogg Vorbis streams), each
// downloaded through the page: the tune sounds alike band for band. The same bank cut short
// is refused, and the synthesizer keeps the one it had.
TEST_F(MidiPageSound, ASoundFont3BankSoundsAsTheSameBankAsSoundFont2) {
  const std::vector<uint8_t> keys = {57, 69, 81};
  constexpr int kNote = 400, kGap = 100;
  constexpr long long kStretch = 16384;
  auto bands = [&](const char* bank) {  // summed over the notes; empty when unheard
    Sequence tune(Tune(0, keys, kNote, kGap, 500));
    const long long on = Play(tune);
    std::vector<double> sum;
    for (size_t i = 0; on >= 0 && i < keys.size(); ++i) {
      const long long from = on + static_cast<long long>(i) * (kNote + kGap) * kMs + 30 * kMs;
      if (!capture_.WaitPast(from + kStretch)) return std::vector<double>{};
      const std::vector<double> b = ThirdOctaves(Mix(capture_, from, from + kStretch));
      sum.resize(b.size());
      for (size_t k = 0; k < b.size(); ++k) sum[k] += b[k];
    }
    std::printf("%s: %s\n", bank, sum.empty() ? "not heard" : "heard");
    return sum;
  };
  const std::string dir = "C:\\zephra-banks", sf2 = dir + "\\square.sf2", sf3 = dir + "\\square.sf3",
                    cut = dir + "\\cut.sf3";
  CreateDirectoryA(dir.c_str(), nullptr);
  WriteBank(sf2, "squares");
  WriteBytes(sf3, kSquareSf3, sizeof kSquareSf3);
  WriteBytes(cut, kSquareSf3, sizeof kSquareSf3 / 2);
  HWND page = OpenPage();
  ASSERT_NE(page, nullptr);
  ASSERT_TRUE(Download(page, sf2));
  ASSERT_TRUE(WaitUntil([&] { return sf2 == Synth().synth.bank; }, 20000)) << "the SoundFont 2 bank was not loaded";
  const std::vector<double> two = bands("SoundFont 2");
  ASSERT_TRUE(Download(page, sf3));
  ASSERT_TRUE(WaitUntil([&] { return sf3 == Synth().synth.bank; }, 20000)) << "the SoundFont 3 bank was not loaded";
  const std::vector<double> three = bands("SoundFont 3");

  ASSERT_TRUE(Download(page, cut));
  HWND box = nullptr;
  EXPECT_EQ(FailureBox(&box), "Failed to download the specified file \"" + cut + "\".");
  if (box) PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(box); }));
  EXPECT_EQ(sf3, Synth().synth.bank) << "a refused bank replaced the one in use";
  Close();
  for (const std::string& f : {sf2, sf3, cut}) DeleteFileA(f.c_str());
  RemoveDirectoryA(dir.c_str());

  ASSERT_FALSE(two.empty()) << "the tune was not heard with the SoundFont 2 bank";
  ASSERT_EQ(three.size(), two.size()) << "the tune was not heard with the SoundFont 3 bank";
  // Bands within 40 dB of the loudest: below that lies the recording's own noise.
  const double loudest = *std::max_element(two.begin(), two.end());
  double sum = 0;
  int counted = 0;
  for (size_t k = 0; k < two.size(); ++k) {
    if (two[k] < loudest * 1e-4) continue;
    sum += std::fabs(10 * std::log10(three[k] / two[k]));
    ++counted;
  }
  ASSERT_GE(counted, 8) << "too few bands heard to compare";
  std::printf("SoundFont 3 against 2: mean |difference| %.2f dB over %d third-octave bands\n", sum / counted, counted);
  EXPECT_LT(sum / counted, 1.0);
}

TEST_F(MidiPageSound, TheReverbSliderFrom0To127LengthensTheTail) {
  // The slider starts where the synthesizer's own level is, and the user drags it.
  ASSERT_TRUE(SetDword(HKEY_LOCAL_MACHINE, kPanelKey, "ReverbAmount", 64));
  HWND page = OpenPage();
  ASSERT_NE(page, nullptr);
  constexpr int kNote = 300;  // a woodblock: its own sound ends quickly
  // Mean square of both channels from 150 to 650 ms after the release; -1 when unheard.
  auto tail = [&](int reverb) {
    Drag(page, kReverb, reverb);
    EXPECT_EQ(CardStateOf(card_).reverb, uint32_t(reverb)) << "the page sent no request";
    Sequence tune(Tune(115, {60}, kNote, 0, 1500));
    const long long on = Play(tune);
    if (on < 0) return -1.0;
    // The synthesizer reports the settings of the blocks it renders, so only while it plays.
    const bool used = WaitUntil([&] {
      const kv22::MidiState m = Synth();
      return m.hasSynth && m.synth.reverb == uint32_t(reverb) && m.synth.effects == 1;
    });
    EXPECT_TRUE(used) << "the synthesizer played with another reverb level than " << reverb;
    const long long off = on + kNote * kMs;
    if (!capture_.WaitPast(off + 700 * kMs)) return -1.0;
    double left = 0, right = 0;
    MeanSquare(capture_.Read(off + 150 * kMs, off + 650 * kMs), 0, 500 * kMs, &left, &right);
    std::printf("reverb %d: tail mean square %.1f\n", reverb, left + right);
    return left + right;
  };
  const double dry = tail(0);
  ASSERT_GE(dry, 0) << "the note at reverb 0 was not heard";
  const double wet = tail(127);
  ASSERT_GE(wet, 0) << "the note at reverb 127 was not heard";
  Close();
  EXPECT_GT(wet, 10 * dry + 1.0) << "reverb 127 against 0: " << wet << " / " << dry;
}

}  // namespace
