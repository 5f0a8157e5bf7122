// The card starts with what the control panel stored: after a restart of Wine (the card's
// power-on) the synthesizer and the Trivox engine sound as the pages show, before any
// control is touched. Run by e2e_card_start.sh, one stage per session:
//   Headphones  reverb 0, effects on, headphones, quality
//   Speakers    reverb 127, effects on, external speakers, quality
//   Speed       reverb 0, effects on, headphones, speed optimized
// Each stage compares what it hears at the start against the same setting changed by hand,
// or against an earlier stage's figures (kept in a file in the temporary folder).
#include <gtest/gtest.h>
#include <windows.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "SoundProbe.h"
#include "shared/card/CardClient.h"
#include "shared/names/Names.h"

using namespace e2e;

namespace {

const char kPanelKey[] = "Software\\Orvane\\Zephra\\ControlPanel";
const char* const kStored[] = {"ReverbAmount", "ChorusAmount", "BrisaWavetableEffect", "OutputMode", "TrivoxMode"};
const std::vector<double> kEdges = {250, 500, 1000, 2000, 4000, 8000};

std::string Stage() {
  const char* s = std::getenv("ZEPHRA_START_STAGE");
  return s ? s : "";
}

std::string TempFile(const char* name) {
  char dir[MAX_PATH];
  GetTempPathA(sizeof dir, dir);
  return std::string(dir) + name;
}

std::string FileText(const std::string& path) {
  std::ifstream f(path);
  std::stringstream all;
  all << f.rdbuf();
  return all.str();
}

// The interaural level difference per band of a noise at the listener's right.
std::vector<double> LevelDifference(const Bands& b) {
  std::vector<double> d;
  for (size_t j = 0; j < b.left.size(); ++j) d.push_back(Db(b.right[j]) - Db(b.left[j]));
  return d;
}

void Keep(const char* name, const std::vector<double>& v) {
  std::ofstream f(TempFile(name));
  for (double x : v) f << x << "\n";
}

std::vector<double> Kept(const char* name) {
  std::ifstream f(TempFile(name));
  std::vector<double> v;
  for (double x; f >> x;) v.push_back(x);
  return v;
}

// Stores the stage's settings as the pages store them, or takes them away ("None").
TEST(Stored, Settings) {
  const std::string stage = Stage();
  if (stage == "None") {
    for (const char* name : kStored) DeleteValue(HKEY_LOCAL_MACHINE, kPanelKey, name);
    DeleteFileA(TempFile("zephra-start-phones.txt").c_str());
    return;
  }
  ASSERT_TRUE(stage == "Headphones" || stage == "Speakers" || stage == "Speed") << stage;
  ASSERT_TRUE(SetDword(HKEY_LOCAL_MACHINE, kPanelKey, "BrisaWavetableEffect", 1));
  ASSERT_TRUE(SetDword(HKEY_LOCAL_MACHINE, kPanelKey, "ReverbAmount", stage == "Speakers" ? 127 : 0));
  ASSERT_TRUE(SetDword(HKEY_LOCAL_MACHINE, kPanelKey, "ChorusAmount", 0));
  ASSERT_TRUE(SetDword(HKEY_LOCAL_MACHINE, kPanelKey, "OutputMode", stage == "Speakers" ? 1 : 0));
  ASSERT_TRUE(SetDword(HKEY_LOCAL_MACHINE, kPanelKey, "TrivoxMode", stage == "Speed" ? 0 : 2));
}

class CardStart : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(capture_.Available()) << "run through e2e_card_start.sh";
    ASSERT_GE(capture_.Running(), 0);
    trace_ = TempFile("trivox-start-trace.txt");
    DeleteFileA(trace_.c_str());
    SetEnvironmentVariableA("TRIVOX_TRACE", trace_.c_str());
  }
  void TearDown() override {
    SetEnvironmentVariableA("TRIVOX_TRACE", nullptr);
    DeleteFileA(trace_.c_str());
  }
  // What the card holds before any program has sent it a setting.
  kv22::CardState Card() {
    kv22::CardClient card;
    kv22::CardStatus status{};
    EXPECT_TRUE(card.Open() && card.GetStatus(status)) << "virtual card missing";
    EXPECT_EQ(status.logCount, 0u) << "a program set the card before the test";
    return status.state;
  }
  // The tail of a short woodblock note with the reverb the card started with, and with
  // `other` set by hand afterwards.
  void Tails(uint32_t startReverb, uint32_t other, double* atStart, double* byHand) {
    NotePlayer player(capture_);
    ASSERT_TRUE(player.Open()) << "no MIDI output, or the synthesizer reported no bank";
    ASSERT_TRUE(WaitForSynth(1, startReverb, SynthReport().synth.mode)) << "the synthesizer's settings at start";
    NotePlayer::Take t = player.Note(115, 60, 300);
    ASSERT_GE(t.on, 0);
    *atStart = player.Tail(t);
    ASSERT_TRUE(CardSet(zephra::kSetReverbAmount, other));
    ASSERT_TRUE(WaitForSynth(1, other, SynthReport().synth.mode));
    t = player.Note(115, 60, 300);
    ASSERT_GE(t.on, 0);
    *byHand = player.Tail(t);
    std::printf("[ figures ] tail with reverb %u at start %.1f, with %u by hand %.1f\n", startReverb, *atStart,
                other, *byHand);
  }
  // A noise at the listener's right through a Trivox device, once the engine has taken up
  // the card's state and its own trace says `taken`.
  Bands NoiseAtTheRight(const std::string& taken) {
    TrivoxDevice device;
    EXPECT_TRUE(device.PlayNoise(2, 0));
    EXPECT_TRUE(WaitUntil([&] { return FileText(trace_).find(taken) != std::string::npos; }))
        << "the engine's trace: " << FileText(trace_);
    EXPECT_GE(capture_.WaitForSound(capture_.Now(), -40), 0) << "the noise is heard";
    return MeasureBands(capture_, kEdges);
  }

  Capture capture_;
  SplashOff splash_;
  std::string trace_;
};

TEST_F(CardStart, HeadphonesAndNoReverb) {
  const kv22::CardState card = Card();
  EXPECT_EQ(card.reverb, 0u);
  EXPECT_EQ(card.outputFlag, 0u);
  double atStart = 0, byHand = 0;
  Tails(0, 127, &atStart, &byHand);
  EXPECT_GT(byHand, 4 * atStart + 1.0) << "a stored reverb 0 plays no tail";
  const std::vector<double> ild = LevelDifference(NoiseAtTheRight("card: output headphones, mode quality"));
  for (size_t j = 0; j < ild.size(); ++j) {
    std::printf("[ figures ] %5.0f-%5.0f Hz: ILD headphones %5.1f dB\n", kEdges[j], kEdges[j + 1], ild[j]);
    EXPECT_GT(ild[j], 3) << "the right ear is the near one";
  }
  Keep("zephra-start-phones.txt", ild);
}

// Over speakers the canceller feeds the far speaker a cancelling copy of the near one's
// signal, so the feeds' level difference comes out below the binaural one from about 500 Hz.
TEST_F(CardStart, SpeakersAndFullReverb) {
  const kv22::CardState card = Card();
  EXPECT_EQ(card.reverb, 127u);
  EXPECT_EQ(card.outputFlag, kv22::kExternalSpeakersFlag);
  double atStart = 0, byHand = 0;
  Tails(127, 0, &atStart, &byHand);
  EXPECT_GT(atStart, 4 * byHand + 1.0) << "a stored reverb 127 plays its tail";
  const std::vector<double> phones = Kept("zephra-start-phones.txt");
  const std::vector<double> ild = LevelDifference(NoiseAtTheRight("card: output speakers, mode quality"));
  ASSERT_EQ(phones.size(), ild.size()) << "the headphones stage's figures";
  for (size_t j = 0; j < ild.size(); ++j) {
    std::printf("[ figures ] %5.0f-%5.0f Hz: ILD headphones %5.1f dB, speaker feeds %5.1f dB\n", kEdges[j],
                kEdges[j + 1], phones[j], ild[j]);
    if (kEdges[j] >= 500) {
      EXPECT_LT(ild[j], phones[j] - 1.5) << kEdges[j] << " Hz";
    }
  }
}

TEST_F(CardStart, SpeedOptimized) {
  const kv22::CardState card = Card();
  EXPECT_EQ(card.outputFlag, 0u);
  const std::vector<double> quality = Kept("zephra-start-phones.txt");
  const std::vector<double> ild = LevelDifference(NoiseAtTheRight("card: output headphones, mode speed"));
  ASSERT_EQ(quality.size(), ild.size()) << "the headphones stage's figures";
  double apart = 0;
  for (size_t j = 0; j < ild.size(); ++j) {
    std::printf("[ figures ] %5.0f-%5.0f Hz: ILD quality %5.1f dB, speed %5.1f dB\n", kEdges[j], kEdges[j + 1],
                quality[j], ild[j]);
    apart += std::fabs(ild[j] - quality[j]) / ild.size();
  }
  EXPECT_GT(apart, 1.5) << "the speed mode's panning sounds unlike the quality mode's";
}

}  // namespace
