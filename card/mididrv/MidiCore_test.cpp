#include "card/mididrv/MidiCore.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "card/core/CardCore.h"
#include "card/core/CardText.h"

namespace zmidi {
namespace {

std::vector<Parser::Event> FeedAll(Parser& p, const std::vector<uint8_t>& bytes) {
  std::vector<Parser::Event> out;
  for (uint8_t b : bytes) {
    Parser::Event ev[2];
    uint32_t n = p.Feed(b, ev);
    out.insert(out.end(), ev, ev + n);
  }
  return out;
}

TEST(MidiParser, RunningStatusRealTimeAndSysEx) {
  Parser p;
  // Note on, then a running-status note, a clock byte in the middle, a program change.
  auto ev = FeedAll(p, {0x90, 0x45, 0xF8, 0x64, 0x47, 0x00, 0xC3, 0x05});
  ASSERT_EQ(ev.size(), 4u);
  EXPECT_EQ(ev[0].kind, Parser::kShort);
  EXPECT_EQ(ev[0].packed, 0xF8u);
  EXPECT_EQ(ev[1].packed, 0x644590u);
  EXPECT_EQ(ev[2].packed, 0x004790u);
  EXPECT_EQ(ev[3].packed, 0x05C3u);

  // SysEx bytes one by one; a status byte inside cuts it and starts its own message.
  ev = FeedAll(p, {0xF0, 0x7E, 0x7F, 0xF7, 0xF0, 0x01, 0xB0, 0x07, 0x40});
  ASSERT_EQ(ev.size(), 8u);
  EXPECT_EQ(ev[0].kind, Parser::kSysEx);
  EXPECT_EQ(ev[3].kind, Parser::kSysExEnd);
  EXPECT_EQ(ev[6].kind, Parser::kSysExCut);
  EXPECT_EQ(ev[7].packed, 0x4007B0u);
  // After a SysEx nothing runs: stray data makes no message.
  EXPECT_TRUE(FeedAll(p, {0xF0, 0xF7, 0x10, 0x20}).size() == 2u);
}

// SysEx gathered from a program's long buffers: whole messages up to the synthesizer's
// limit; a longer one, however long, is dropped and leaves the next message intact.
TEST(MidiSysEx, WholeMessagesUpToTheLimit) {
  Parser p;
  SysExGather g;
  std::vector<std::vector<uint8_t>> got;
  auto feed = [&](const std::vector<uint8_t>& bytes) {
    for (const Parser::Event& e : FeedAll(p, bytes)) {
      uint32_t n = 0;
      if (const uint8_t* m = g.Take(e, n)) got.emplace_back(m, m + n);
    }
  };
  std::vector<uint8_t> longest(kMaxSysExBytes, 0x11);
  longest.front() = 0xF0;
  longest.back() = 0xF7;
  feed(longest);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0], longest);

  std::vector<uint8_t> endless(1u << 20, 0x22);  // a megabyte without its end
  endless.front() = 0xF0;
  feed(endless);
  feed({0x22, 0xF7, 0xF0, 0x7E, 0xF7});
  ASSERT_EQ(got.size(), 2u) << "the overlong message is dropped";
  EXPECT_EQ(got[1], (std::vector<uint8_t>{0xF0, 0x7E, 0xF7}));

  feed({0xF0, 0x01, 0x90, 0x40, 0x40, 0xF7, 0xF0, 0x02, 0xF7});  // cut by a status byte
  ASSERT_EQ(got.size(), 3u);
  EXPECT_EQ(got[2], (std::vector<uint8_t>{0xF0, 0x02, 0xF7}));
}

TEST(MidiPacking, ShortMessagesAndRunningStatus) {
  uint8_t running = 0, b[3];
  EXPECT_EQ(UnpackShort(0x00407F90, running, b), 3u);
  EXPECT_EQ(b[0], 0x90);
  EXPECT_EQ(b[2], 0x40);
  EXPECT_EQ(UnpackShort(0x00003C40, running, b), 2u);  // running status: data only
  EXPECT_EQ(b[0], 0x40);
  EXPECT_EQ(UnpackShort(0x000007C0, running, b), 2u);  // program change has one data byte
  EXPECT_EQ(UnpackShort(0xF8, running, b), 1u);
  EXPECT_EQ(UnpackShort(0x0000F0, running, b), 0u);    // SysEx never travels as a short message
  uint8_t none = 0;
  EXPECT_EQ(UnpackShort(0x4040, none, b), 0u);
  EXPECT_EQ(ShortLength(0xF2), 3u);
  EXPECT_EQ(ShortLength(0xD5), 2u);
}

TEST(MidiHeaders, ErrorCodesForBadArguments) {
  HeaderView ok{true, 64, kHdrPrepared, true, 16};
  EXPECT_EQ(CheckQueue(ok), kNoError);
  HeaderView h = ok;
  h.flags = 0;
  EXPECT_EQ(CheckQueue(h), kUnprepared);
  h.flags = kHdrPrepared | kHdrInQueue;
  EXPECT_EQ(CheckQueue(h), kStillPlaying);
  EXPECT_EQ(CheckUnprepare(h), kStillPlaying);
  h = ok;
  h.size = kHdrMinSize - 1;
  EXPECT_EQ(CheckQueue(h), kInvalParam);
  EXPECT_EQ(CheckPrepare(h), kInvalParam);
  h = ok;
  h.present = false;
  EXPECT_EQ(CheckPrepare(h), kInvalParam);
  h = ok;
  h.length = 0;
  EXPECT_EQ(CheckQueue(h), kInvalParam);
  EXPECT_EQ(CheckOpenFlags(0x00030000), kNoError);
  EXPECT_EQ(CheckOpenFlags(0x00050000), kNoError);
  EXPECT_EQ(CheckOpenFlags(0x00040000), kInvalFlag);
}

TEST(LoopRing, RecordsWrapAndRefuseWhenFull) {
  auto ring = std::make_unique<LoopRing>();
  ring->head = 0;
  ring->tail = 0;
  uint8_t in[LoopRing::kMaxRecord], out[LoopRing::kMaxRecord];
  for (uint32_t i = 0; i < sizeof in; ++i) in[i] = uint8_t(i * 7);
  uint32_t written = 0;
  while (RingWrite(*ring, 1000 + written, in, sizeof in)) ++written;
  EXPECT_EQ(written, LoopRing::kSize / (sizeof in + 6));
  // Read a few, write again across the end of the buffer, read all in order.
  uint32_t tick = 0;
  for (int i = 0; i < 3; ++i) ASSERT_EQ(RingRead(*ring, &tick, out, sizeof out), sizeof in);
  EXPECT_EQ(tick, 1002u);
  ASSERT_TRUE(RingWrite(*ring, 77, in, 3));
  uint32_t n, last = 0;
  while ((n = RingRead(*ring, &tick, out, sizeof out)) != 0) last = n;
  EXPECT_EQ(last, 3u);
  EXPECT_EQ(tick, 77u);
  EXPECT_EQ(out[2], in[2]);
  EXPECT_FALSE(RingWrite(*ring, 0, in, 0));
  EXPECT_FALSE(RingWrite(*ring, 0, in, LoopRing::kMaxRecord + 1));
  RingWrite(*ring, 5, in, 4);
  RingDrop(*ring);
  EXPECT_EQ(RingRead(*ring, &tick, out, sizeof out), 0u);
}

// The ring lies in memory any process can write: a head far past the tail, over data that
// reads as records everywhere, must not keep the reader busy for more than one ring's worth.
TEST(LoopRing, AHostileHeadCostsTheReaderAtMostOneRing) {
  auto ring = std::make_unique<LoopRing>();
  std::memset(ring->data, 0x01, sizeof ring->data);  // every offset: a 257-byte record
  ring->tail = 0;
  ring->head = 0x80000000u;
  uint8_t out[LoopRing::kMaxRecord];
  uint32_t tick = 0, reads = 0;
  while (reads < 100000 && RingRead(*ring, &tick, out, sizeof out) != 0) ++reads;
  EXPECT_LE(reads, LoopRing::kSize / 7) << "records read from a ring that holds at most kSize bytes";
  // And a writer that moved the tail past the head leaves nothing to read.
  ring->tail = 100;
  ring->head = 50;
  EXPECT_EQ(RingRead(*ring, &tick, out, sizeof out), 0u);
  EXPECT_TRUE(RingWrite(*ring, 1, out, 4));
  EXPECT_EQ(RingRead(*ring, &tick, out, sizeof out), 4u);
}

TEST(CardMidi, ReportsMergeAndTheCardAnswersWithItsSettings) {
  auto card = std::make_unique<kv22::Card>();
  kv22::CardConfig cfg;
  kv22::DefaultConfig(cfg);
  card->Init(cfg, nullptr, nullptr);
  uint32_t reverb = 127, written = 0;
  ASSERT_EQ(card->Request(kv22::kDevWavetableNt, kv22::kSetReverbAmount, &reverb, 4, nullptr, 0, &written), kv22::kOk);

  auto r = std::make_unique<kv22::MidiReport>();
  *r = kv22::MidiReport{};
  r->bytes[kv22::kMidiMpuOut] = 5;
  r->eventCount = 2;
  r->events[0] = {kv22::kMidiMpuOut, 3, {0x90, 0x45, 0x64, 0}};
  r->events[1] = {kv22::kMidiMpuOut, 6, {0xF0, 0x7E, 0x7F, 0x09}};
  kv22::WavetableView view{};
  ASSERT_EQ(card->MidiReportIn(*r, view), kv22::kOk);
  EXPECT_EQ(view.setMask, uint32_t(kv22::kWtSetReverb));
  EXPECT_EQ(view.reverb, 127u);
  r->flags = kv22::kMidiHasSynth;
  r->synth.activeVoices = 32;
  r->synth.maxVoices = 32;
  r->synth.mode = 2;
  std::snprintf(r->synth.bank, sizeof r->synth.bank, "C:\\windows\\system32\\orvanegm");
  ASSERT_EQ(card->MidiReportIn(*r, view), kv22::kOk);
  EXPECT_EQ(card->Midi().bytes[kv22::kMidiMpuOut], 10u);
  EXPECT_EQ(kv22::FormatMidi(card->Midi()),
            "midi wavetable=0 mpu-out=10 mpu-in=0 messages=4\n"
            "last mpu-out 90 45 64 len=3\nlast mpu-out f0 7e 7f 09 len=6\n"
            "last mpu-out 90 45 64 len=3\nlast mpu-out f0 7e 7f 09 len=6\n"
            "synth voices=32 peak=0 max=32 effects=0 reverb=0 chorus=0 mode=2 "
            "bank=\"C:\\windows\\system32\\orvanegm\"");

  // Malformed reports change nothing; a reset forgets the MIDI side and what was set.
  r->eventCount = kv22::kMidiReportEvents + 1;
  EXPECT_EQ(card->MidiReportIn(*r, view), kv22::kBadSize);
  r->eventCount = 0;
  std::memset(r->synth.bank, 'x', sizeof r->synth.bank);
  EXPECT_EQ(card->MidiReportIn(*r, view), kv22::kBadPath);
  EXPECT_EQ(card->Midi().messages, 4u);
  card->ResetState();
  EXPECT_EQ(kv22::FormatMidi(card->Midi()), "midi wavetable=0 mpu-out=0 mpu-in=0 messages=0\nsynth none");
  *r = kv22::MidiReport{};
  ASSERT_EQ(card->MidiReportIn(*r, view), kv22::kOk);
  EXPECT_EQ(view.setMask, 0u);
}

}  // namespace
}  // namespace zmidi
