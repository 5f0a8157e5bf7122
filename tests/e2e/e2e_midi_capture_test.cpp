// The wavetable synthesizer as a listener hears it: MIDI through the card's MIDI driver
// into the sound server's null sink, recorded beside the test. The card's settings are
// changed through its wavetable device, as the MIDI page changes them.
#include <gtest/gtest.h>
#include <windows.h>

#include <mmsystem.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "E2eSupport.h"
#include "SoundProbe.h"
#include "shared/card/CardClient.h"
#include "shared/names/Names.h"

using namespace e2e;

namespace {

constexpr int kRate = Capture::kRate;
constexpr double kPi = 3.14159265358979323846;

// Fundamental by autocorrelation over 200..1000 Hz, refined between lags.
double Pitch(const std::vector<double>& x) {
  const int lo = kRate / 1000, hi = kRate / 200;
  std::vector<double> r(hi + 2, 0.0);
  for (int lag = lo - 1; lag <= hi + 1; ++lag) {
    for (size_t i = 0; i + lag < x.size(); ++i) r[lag] += x[i] * x[i + lag];
  }
  int best = lo;
  for (int lag = lo; lag <= hi; ++lag) {
    if (r[lag] > r[best]) best = lag;
  }
  double a = r[best - 1], b = r[best], c = r[best + 1];
  double shift = (a - 2 * b + c) != 0 ? 0.5 * (a - c) / (a - 2 * b + c) : 0;
  return kRate / (best + shift);
}

// Energy-weighted mean frequency of a 4096-sample stretch, up to 10 kHz.
double Centroid(const std::vector<double>& x) {
  const size_t n = 4096;
  double num = 0, den = 0;
  for (size_t k = 1; k < n * 10000 / kRate; ++k) {
    double re = 0, im = 0;
    for (size_t i = 0; i < n && i < x.size(); ++i) {
      double w = 0.5 - 0.5 * std::cos(2 * kPi * i / n);
      re += w * x[i] * std::cos(2 * kPi * k * i / n);
      im -= w * x[i] * std::sin(2 * kPi * k * i / n);
    }
    double p = re * re + im * im;
    num += p * k * kRate / n;
    den += p;
  }
  return den > 0 ? num / den : 0;
}

class MidiCapture : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(capture_.Available()) << "run through e2e_capture.sh";
    ASSERT_GE(capture_.Running(), 0);
    ASSERT_TRUE(player_.Open()) << "no MIDI output, or the synthesizer reported no bank";
    out_ = player_.Handle();
  }
  void TearDown() override {
    player_.Close();
    CardSet(zephra::kSetWavetableEffect, 1);
    CardSet(zephra::kSetReverbAmount, 64);
    CardSet(zephra::kSetSoftSynthMode, 0);
  }
  void Short(DWORD m) { ASSERT_TRUE(player_.Short(m)); }
  using Take = NotePlayer::Take;
  Take Note(uint8_t program, uint8_t key, int ms) { return player_.Note(program, key, ms); }
  double Tail(const Take& t) { return player_.Tail(t); }

  Capture capture_;
  NotePlayer player_{capture_};
  HMIDIOUT out_ = nullptr;
};

TEST_F(MidiCapture, AnA4ThroughTheSequencerSoundsAt440Hz) {
  player_.Close();  // the sequencer opens the synthesizer through the mapper
  out_ = nullptr;
  // One track: the square lead, A4 for two seconds (the default bank's flute sample is
  // itself tuned 10 cents sharp), at 500 000 us per quarter and 480 ticks each.
  const unsigned char smf[] = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0x01, 0xE0, 'M', 'T', 'r', 'k', 0, 0, 0, 16,
                               0x00, 0xC0, 80, 0x00, 0x90, 69, 100, 0x87, 0x40, 0x80, 69, 0, 0x00, 0xFF, 0x2F, 0x00};
  char path[MAX_PATH];
  GetTempPathA(sizeof path, path);
  std::string file = std::string(path) + "zephra_a4.mid";
  FILE* f = std::fopen(file.c_str(), "wb");
  ASSERT_TRUE(f);
  std::fwrite(smf, 1, sizeof smf, f);
  std::fclose(f);
  ASSERT_EQ(mciSendStringA(("open \"" + file + "\" type sequencer alias tune").c_str(), nullptr, 0, nullptr), 0u);
  const long long from = capture_.Running();
  ASSERT_EQ(mciSendStringA("play tune", nullptr, 0, nullptr), 0u);
  const long long on = capture_.WaitForSound(from);
  ASSERT_GE(on, 0) << "the sequencer's note was not heard";
  ASSERT_TRUE(capture_.WaitPast(on + kRate));
  const double hz = Pitch(LeftChannel(capture_, on + kRate * 3 / 10, on + kRate * 8 / 10));
  mciSendStringA("close tune", nullptr, 0, nullptr);
  DeleteFileA(file.c_str());
  EXPECT_NEAR(hz, 440.0, 440.0 * 0.005);
}

TEST_F(MidiCapture, ReverbAmountChangesTheDecayAndEffectsOffRemoveTheTail) {
  ASSERT_TRUE(CardSet(zephra::kSetWavetableEffect, 1));
  ASSERT_TRUE(CardSet(zephra::kSetReverbAmount, 0));
  ASSERT_TRUE(WaitForSynth(1, 0, SynthReport().synth.mode));
  Take dry = Note(115, 60, 300);  // a short woodblock: its own sound ends quickly
  ASSERT_GE(dry.on, 0);
  const double tail0 = Tail(dry);

  ASSERT_TRUE(CardSet(zephra::kSetReverbAmount, 127));
  ASSERT_TRUE(WaitForSynth(1, 127, SynthReport().synth.mode));
  Take wet = Note(115, 60, 300);
  ASSERT_GE(wet.on, 0);
  const double tail127 = Tail(wet);
  EXPECT_GT(tail127, 4 * tail0 + 1.0) << "reverb 127 against 0: " << tail127 << " / " << tail0;

  ASSERT_TRUE(CardSet(zephra::kSetWavetableEffect, 0));
  ASSERT_TRUE(WaitForSynth(0, 127, SynthReport().synth.mode));
  Take off = Note(115, 60, 300);
  ASSERT_GE(off.on, 0);
  EXPECT_LT(Tail(off), tail127 / 10) << "effects off keeps a tail";
}

TEST_F(MidiCapture, Mode2SoundsAtMost32VoicesOfA48NoteChord) {
  ASSERT_TRUE(CardSet(zephra::kSetSoftSynthMode, 2));
  ASSERT_TRUE(WaitUntil([] { return SynthReport().synth.mode == 2; }));
  Short(0xC0 | 19 << 8);  // an organ holds every note
  for (int k = 0; k < 48; ++k) Short(0x90 | (36 + k) << 8 | 90 << 16);
  ASSERT_TRUE(WaitUntil([] { return SynthReport().synth.activeVoices > 0; }));
  kv22::MidiState m = SynthReport();
  EXPECT_LE(m.synth.activeVoices, 32u);
  EXPECT_EQ(m.synth.maxVoices, 32u);
  midiOutReset(out_);
  ASSERT_TRUE(CardSet(zephra::kSetSoftSynthMode, 0));
  ASSERT_TRUE(WaitUntil([] { return SynthReport().synth.mode == 0; }));
  for (int k = 0; k < 48; ++k) Short(0x90 | (36 + k) << 8 | 90 << 16);
  EXPECT_TRUE(WaitUntil([] { return SynthReport().synth.activeVoices > 32; })) << "mode 0 plays more than 32";
  midiOutReset(out_);
}

TEST_F(MidiCapture, ABankDownloadedThroughTheCardChangesTheTimbre) {
  auto centroid = [this] {
    Take t = Note(0, 60, 400);
    if (t.on < 0) return -1.0;
    return Centroid(LeftChannel(capture_, t.on + kRate / 20, t.on + kRate / 20 + 4096));
  };
  const double before = centroid();
  ASSERT_GT(before, 0);
  const char bank[] = "Z:\\usr\\share\\sounds\\sf2\\sf_GMbank.sf2";
  ASSERT_TRUE(CardRequest(zephra::kDownloadBank, bank, sizeof bank));
  ASSERT_TRUE(WaitUntil([&] { return std::string(SynthReport().synth.bank) == bank; }));
  const double after = centroid();
  // Back to the default bank for the tests after this one.
  char sys[MAX_PATH];
  GetSystemDirectoryA(sys, sizeof sys);
  std::string def = std::string(sys) + "\\orvanegm";
  CardRequest(zephra::kDownloadBank, def.c_str(), DWORD(def.size() + 1));
  EXPECT_GT(std::fabs(after - before), 0.05 * before) << "centroid " << before << " Hz, then " << after << " Hz";
}

}  // namespace
