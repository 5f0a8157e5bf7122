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
#include "shared/card/CardClient.h"
#include "shared/names/Names.h"

using namespace e2e;

namespace {

constexpr int kRate = Capture::kRate;
constexpr double kPi = 3.14159265358979323846;

bool CardRequest(uint32_t code, const void* in, DWORD size) {
  HANDLE h = CreateFileA(ZEPHRA_DEVICE_PATH(ZEPHRA_WAVETABLE_NT), GENERIC_READ, FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD got = 0;
  BOOL ok = DeviceIoControl(h, code, const_cast<void*>(in), size, nullptr, 0, &got, nullptr);
  CloseHandle(h);
  return ok != FALSE;
}
bool CardSet(uint32_t code, uint32_t value) { return CardRequest(code, &value, 4); }

kv22::MidiState Midi() {
  kv22::CardClient card;
  kv22::MidiState m{};
  if (!card.Open() || !card.GetMidi(m)) m.hasSynth = 0;
  return m;
}

// The synthesizer's report once the card shows what it plays with.
bool WaitForSynth(uint32_t effects, uint32_t reverb, uint32_t mode) {
  return WaitUntil([&] {
    kv22::MidiState m = Midi();
    return m.hasSynth && m.synth.effects == effects && m.synth.reverb == reverb && m.synth.mode == mode;
  });
}

// Mono (left) samples of frames [from, to).
std::vector<double> Left(const Capture& cap, long long from, long long to) {
  std::vector<short> s = cap.Read(from, to);
  std::vector<double> out(s.size() / 2);
  for (size_t i = 0; i < out.size(); ++i) out[i] = s[2 * i];
  return out;
}

double Energy(const std::vector<double>& x) {
  double e = 0;
  for (double v : x) e += v * v;
  return e / (x.empty() ? 1 : x.size());
}

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
    ASSERT_EQ(midiOutOpen(&out_, 0, 0, 0, CALLBACK_NULL), MMSYSERR_NOERROR);
    // Nothing to hear until the synthesizer has loaded its bank, which it does beside the
    // first open.
    ASSERT_TRUE(WaitUntil([] { return Midi().hasSynth != 0 && Midi().synth.bank[0] != 0; }, 30000))
        << "the synthesizer reported no bank";
  }
  void TearDown() override {
    if (out_) midiOutClose(out_);
    CardSet(zephra::kSetWavetableEffect, 1);
    CardSet(zephra::kSetReverbAmount, 64);
    CardSet(zephra::kSetSoftSynthMode, 0);
  }
  void Short(DWORD m) { ASSERT_EQ(midiOutShortMsg(out_, m), MMSYSERR_NOERROR); }
  // One note held for `ms`; the recording from its start to `tailMs` after its release.
  struct Take {
    long long on = -1, off = -1;
  };
  Take Note(uint8_t program, uint8_t key, int ms) {
    Take t;
    Short(0xC0 | program << 8);
    const long long from = capture_.Running();
    Short(0x90 | key << 8 | 100 << 16);
    t.on = capture_.WaitForSound(from);
    if (t.on < 0) return t;
    capture_.WaitPast(t.on + kRate * ms / 1000);
    Short(0x80 | key << 8);
    t.off = capture_.Running();
    return t;
  }
  // Energy of the recording from 150 to 650 ms after a release.
  double Tail(const Take& t) {
    capture_.WaitPast(t.off + kRate * 7 / 10);
    return Energy(Left(capture_, t.off + kRate * 15 / 100, t.off + kRate * 65 / 100));
  }

  Capture capture_;
  HMIDIOUT out_ = nullptr;
};

TEST_F(MidiCapture, AnA4ThroughTheSequencerSoundsAt440Hz) {
  midiOutClose(out_);  // the sequencer opens the synthesizer through the mapper
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
  const double hz = Pitch(Left(capture_, on + kRate * 3 / 10, on + kRate * 8 / 10));
  mciSendStringA("close tune", nullptr, 0, nullptr);
  DeleteFileA(file.c_str());
  EXPECT_NEAR(hz, 440.0, 440.0 * 0.005);
}

TEST_F(MidiCapture, ReverbAmountChangesTheDecayAndEffectsOffRemoveTheTail) {
  ASSERT_TRUE(CardSet(zephra::kSetWavetableEffect, 1));
  ASSERT_TRUE(CardSet(zephra::kSetReverbAmount, 0));
  ASSERT_TRUE(WaitForSynth(1, 0, Midi().synth.mode));
  Take dry = Note(115, 60, 300);  // a short woodblock: its own sound ends quickly
  ASSERT_GE(dry.on, 0);
  const double tail0 = Tail(dry);

  ASSERT_TRUE(CardSet(zephra::kSetReverbAmount, 127));
  ASSERT_TRUE(WaitForSynth(1, 127, Midi().synth.mode));
  Take wet = Note(115, 60, 300);
  ASSERT_GE(wet.on, 0);
  const double tail127 = Tail(wet);
  EXPECT_GT(tail127, 4 * tail0 + 1.0) << "reverb 127 against 0: " << tail127 << " / " << tail0;

  ASSERT_TRUE(CardSet(zephra::kSetWavetableEffect, 0));
  ASSERT_TRUE(WaitForSynth(0, 127, Midi().synth.mode));
  Take off = Note(115, 60, 300);
  ASSERT_GE(off.on, 0);
  EXPECT_LT(Tail(off), tail127 / 10) << "effects off keeps a tail";
}

TEST_F(MidiCapture, Mode2SoundsAtMost32VoicesOfA48NoteChord) {
  ASSERT_TRUE(CardSet(zephra::kSetSoftSynthMode, 2));
  ASSERT_TRUE(WaitUntil([] { return Midi().synth.mode == 2; }));
  Short(0xC0 | 19 << 8);  // an organ holds every note
  for (int k = 0; k < 48; ++k) Short(0x90 | (36 + k) << 8 | 90 << 16);
  ASSERT_TRUE(WaitUntil([] { return Midi().synth.activeVoices > 0; }));
  kv22::MidiState m = Midi();
  EXPECT_LE(m.synth.activeVoices, 32u);
  EXPECT_EQ(m.synth.maxVoices, 32u);
  midiOutReset(out_);
  ASSERT_TRUE(CardSet(zephra::kSetSoftSynthMode, 0));
  ASSERT_TRUE(WaitUntil([] { return Midi().synth.mode == 0; }));
  for (int k = 0; k < 48; ++k) Short(0x90 | (36 + k) << 8 | 90 << 16);
  EXPECT_TRUE(WaitUntil([] { return Midi().synth.activeVoices > 32; })) << "mode 0 plays more than 32";
  midiOutReset(out_);
}

TEST_F(MidiCapture, ABankDownloadedThroughTheCardChangesTheTimbre) {
  auto centroid = [this] {
    Take t = Note(0, 60, 400);
    if (t.on < 0) return -1.0;
    return Centroid(Left(capture_, t.on + kRate / 20, t.on + kRate / 20 + 4096));
  };
  const double before = centroid();
  ASSERT_GT(before, 0);
  const char bank[] = "Z:\\usr\\share\\sounds\\sf2\\sf_GMbank.sf2";
  ASSERT_TRUE(CardRequest(zephra::kDownloadBank, bank, sizeof bank));
  ASSERT_TRUE(WaitUntil([&] { return std::string(Midi().synth.bank) == bank; }));
  const double after = centroid();
  // Back to the default bank for the tests after this one.
  char sys[MAX_PATH];
  GetSystemDirectoryA(sys, sizeof sys);
  std::string def = std::string(sys) + "\\orvanegm";
  CardRequest(zephra::kDownloadBank, def.c_str(), DWORD(def.size() + 1));
  EXPECT_GT(std::fabs(after - before), 0.05 * before) << "centroid " << before << " Hz, then " << after << " Hz";
}

}  // namespace
