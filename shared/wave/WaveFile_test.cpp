#include "shared/wave/WaveFile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

void Put32(Bytes& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<unsigned char>(v >> (8 * i)));
}
void Put16(Bytes& b, uint16_t v) {
  b.push_back(static_cast<unsigned char>(v));
  b.push_back(static_cast<unsigned char>(v >> 8));
}
void PutId(Bytes& b, const char* id) { b.insert(b.end(), id, id + 4); }

struct Fmt {
  uint16_t tag = 1, channels = 1;
  uint32_t rate = 44100, avg = 88200;
  uint16_t align = 2, bits = 16;
};

// The 16 format bytes, then `extra` more bytes inside the fmt chunk.
void PutFmt(Bytes& b, const Fmt& f, uint32_t chunkSize = 16) {
  PutId(b, "fmt ");
  Put32(b, chunkSize);
  Put16(b, f.tag);
  Put16(b, f.channels);
  Put32(b, f.rate);
  Put32(b, f.avg);
  Put16(b, f.align);
  Put16(b, f.bits);
  for (uint32_t i = 16; i < chunkSize; ++i) b.push_back(0xEE);
}

// `declared` data bytes announced, `present` of them in the file (a ramp 0, 1, 2...).
void PutData(Bytes& b, uint32_t declared, uint32_t present, unsigned char first = 0) {
  PutId(b, "data");
  Put32(b, declared);
  for (uint32_t i = 0; i < present; ++i) b.push_back(static_cast<unsigned char>(first + i));
}

Bytes Header(const char* riff = "RIFF", const char* form = "WAVE", uint32_t formSize = 0) {
  Bytes b;
  PutId(b, riff);
  Put32(b, formSize);
  PutId(b, form);
  return b;
}

class WaveFileTest : public ::testing::Test {
 protected:
  void TearDown() override {
    if (!m_path.empty()) std::remove(m_path.c_str());
  }
  const char* Write(const Bytes& b) {
    m_path = ::testing::TempDir() + "wave_" + ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".wav";
    FILE* f = std::fopen(m_path.c_str(), "wb");
    EXPECT_NE(f, nullptr);
    if (f) {
      if (!b.empty()) std::fwrite(b.data(), 1, b.size(), f);
      std::fclose(f);
    }
    return m_path.c_str();
  }
  // A record the reader must overwrite completely or not at all.
  static WaveInfo Sentinel() { return WaveInfo{111, 222, 333, 444, 555, 666, -7}; }
  static void ExpectUntouched(const WaveInfo& w) {
    const WaveInfo s = Sentinel();
    EXPECT_EQ(0, std::memcmp(&w, &s, sizeof w));
  }
  std::string m_path;
};

TEST_F(WaveFileTest, StandardPcmFileReturnsItsData) {
  Bytes b = Header();
  PutFmt(b, Fmt{});
  PutData(b, 100, 100, 5);
  ASSERT_EQ(b.size(), 44u + 100u);
  WaveInfo w = Sentinel();
  WaveData data(ReadWaveFile(Write(b), &w));
  ASSERT_TRUE(data);
  EXPECT_EQ(w.dwDataLength, 100);
  EXPECT_EQ(w.wFormatTag, 1);
  EXPECT_EQ(w.nChannels, 1);
  EXPECT_EQ(w.nSamplesPerSec, 44100u);
  EXPECT_EQ(w.nAvgBytesPerSec, 88200u);
  EXPECT_EQ(w.nBlockAlign, 2);
  EXPECT_EQ(w.wBitsPerSample, 16);
  for (int i = 0; i < 100; ++i) ASSERT_EQ(data.get()[i], static_cast<unsigned char>(5 + i)) << i;
}

TEST_F(WaveFileTest, FormatFieldsLandInTheirOwnMembers) {
  Bytes b = Header();
  PutFmt(b, Fmt{2, 2, 22050, 11155, 1024, 4});
  PutData(b, 8, 8);
  WaveInfo w = Sentinel();
  WaveData data(ReadWaveFile(Write(b), &w));
  ASSERT_TRUE(data);
  EXPECT_EQ(w.wFormatTag, 2);  // not PCM, returned all the same
  EXPECT_EQ(w.nChannels, 2);
  EXPECT_EQ(w.nSamplesPerSec, 22050u);
  EXPECT_EQ(w.nAvgBytesPerSec, 11155u);
  EXPECT_EQ(w.nBlockAlign, 1024);
  EXPECT_EQ(w.wBitsPerSample, 4);
  EXPECT_EQ(w.dwDataLength, 8);
}

TEST_F(WaveFileTest, FmtChunkSizeDecidesWhereDataIsLookedFor) {
  {
    Bytes b = Header();
    PutFmt(b, Fmt{}, 18);
    const size_t dataAt = b.size();
    PutData(b, 4, 4, 9);
    EXPECT_EQ(dataAt, 38u);
    WaveInfo w = Sentinel();
    WaveData data(ReadWaveFile(Write(b), &w));
    ASSERT_TRUE(data);
    EXPECT_EQ(w.dwDataLength, 4);
    EXPECT_EQ(data.get()[0], 9);
  }
  {
    // Odd size: the next chunk follows at once, without a pad byte.
    Bytes b = Header();
    PutFmt(b, Fmt{}, 17);
    PutData(b, 3, 3, 1);
    WaveInfo w = Sentinel();
    WaveData data(ReadWaveFile(Write(b), &w));
    ASSERT_TRUE(data);
    EXPECT_EQ(w.dwDataLength, 3);
  }
  {
    // A padded odd chunk is therefore not read.
    Bytes b = Header();
    PutFmt(b, Fmt{}, 17);
    b.push_back(0);
    PutData(b, 3, 3, 1);
    WaveInfo w = Sentinel();
    EXPECT_EQ(ReadWaveFile(Write(b), &w), nullptr);
    ExpectUntouched(w);
  }
}

TEST_F(WaveFileTest, ChunksBetweenFmtAndDataMakeTheFileUnreadable) {
  for (const char* id : {"LIST", "fact"}) {
    Bytes b = Header();
    PutFmt(b, Fmt{});
    PutId(b, id);
    Put32(b, 4);
    PutId(b, "INFO");
    PutData(b, 4, 4);
    WaveInfo w = Sentinel();
    EXPECT_EQ(ReadWaveFile(Write(b), &w), nullptr) << id;
    ExpectUntouched(w);
  }
}

TEST_F(WaveFileTest, TruncatedDataGivesTheDeclaredBlockAndTheCountRead) {
  Bytes b = Header();
  PutFmt(b, Fmt{});
  PutData(b, 1000, 600);
  WaveInfo w = Sentinel();
  WaveData data(ReadWaveFile(Write(b), &w));
  ASSERT_TRUE(data);
  EXPECT_EQ(w.dwDataLength, 600);
  // The whole declared block is there to be written (AddressSanitizer checks the size).
  std::memset(data.get(), 0, 1000);
}

TEST_F(WaveFileTest, FirstBlockNeedsWaveAtOffsetEightOnly) {
  Bytes b = Header("JUNK", "WAVE");
  PutFmt(b, Fmt{});
  PutData(b, 2, 2);
  WaveInfo w = Sentinel();
  WaveData data(ReadWaveFile(Write(b), &w));
  ASSERT_TRUE(data);
  EXPECT_EQ(w.dwDataLength, 2);
}

TEST_F(WaveFileTest, ForeignFormIsSkippedByItsSize) {
  // A 12-byte block without "WAVE" whose size covers 6 bytes, then a WAVE file.
  Bytes b = Header("RIFF", "AVI ", 6);
  b.insert(b.end(), 6, 0x55);
  const Bytes wave = [] {
    Bytes w = Header();
    PutFmt(w, Fmt{});
    PutData(w, 2, 2, 40);
    return w;
  }();
  b.insert(b.end(), wave.begin(), wave.end());
  WaveInfo w = Sentinel();
  WaveData data(ReadWaveFile(Write(b), &w));
  ASSERT_TRUE(data);
  EXPECT_EQ(data.get()[0], 40);
}

TEST_F(WaveFileTest, ForeignFormWithHugeOrBackwardSizeEnds) {
  // 0xFFFFFFF4 would step back onto the same block if taken as signed: it must end.
  for (uint32_t size : {0xFFFFFFF4u, 0xFFFFFFFFu, 0x80000000u}) {
    Bytes b = Header("RIFF", "AVI ", size);
    PutFmt(b, Fmt{});
    PutData(b, 2, 2);
    WaveInfo w = Sentinel();
    EXPECT_EQ(ReadWaveFile(Write(b), &w), nullptr) << size;
    ExpectUntouched(w);
  }
}

TEST_F(WaveFileTest, ShortOrMissingFilesGiveNull) {
  WaveInfo w = Sentinel();
  Bytes eleven = Header();
  eleven.pop_back();
  EXPECT_EQ(ReadWaveFile(Write(eleven), &w), nullptr);
  EXPECT_EQ(ReadWaveFile(Write(Bytes{}), &w), nullptr);
  EXPECT_EQ(ReadWaveFile(Write(Header()), &w), nullptr);  // header alone
  Bytes noData = Header();
  PutFmt(noData, Fmt{});
  EXPECT_EQ(ReadWaveFile(Write(noData), &w), nullptr);
  Bytes halfId = noData;
  halfId.insert(halfId.end(), {'d', 'a', 't'});
  EXPECT_EQ(ReadWaveFile(Write(halfId), &w), nullptr);
  EXPECT_EQ(ReadWaveFile((::testing::TempDir() + "no_such_dir/none.wav").c_str(), &w), nullptr);
  ExpectUntouched(w);
}

TEST_F(WaveFileTest, ChunkAfterHeaderMustBeFmt) {
  Bytes b = Header();
  PutData(b, 2, 2);
  WaveInfo w = Sentinel();
  EXPECT_EQ(ReadWaveFile(Write(b), &w), nullptr);
  ExpectUntouched(w);
}

TEST_F(WaveFileTest, DataSizeBeyondTheSignedLengthFails) {
  for (uint32_t size : {0x80000000u, 0xFFFFFFFFu}) {
    Bytes b = Header();
    PutFmt(b, Fmt{});
    PutData(b, size, 16);
    WaveInfo w = Sentinel();
    EXPECT_EQ(ReadWaveFile(Write(b), &w), nullptr) << size;
    ExpectUntouched(w);
  }
}

TEST_F(WaveFileTest, FmtSizeBeyondTheFileFails) {
  Bytes b = Header();
  PutFmt(b, Fmt{});
  b[16] = b[17] = b[18] = b[19] = 0xFF;
  PutData(b, 2, 2);
  WaveInfo w = Sentinel();
  EXPECT_EQ(ReadWaveFile(Write(b), &w), nullptr);
  ExpectUntouched(w);
}

TEST_F(WaveFileTest, EmptyDataChunkReturnsABlock) {
  Bytes b = Header();
  PutFmt(b, Fmt{});
  PutData(b, 0, 0);
  WaveInfo w = Sentinel();
  WaveData data(ReadWaveFile(Write(b), &w));
  EXPECT_TRUE(data);
  EXPECT_EQ(w.dwDataLength, 0);
}

TEST_F(WaveFileTest, SecondFmtAndDataPairIsIgnored) {
  Bytes b = Header();
  PutFmt(b, Fmt{});
  PutData(b, 4, 4, 10);
  PutFmt(b, Fmt{1, 2, 8000, 32000, 4, 16});
  PutData(b, 8, 8, 90);
  WaveInfo w = Sentinel();
  WaveData data(ReadWaveFile(Write(b), &w));
  ASSERT_TRUE(data);
  EXPECT_EQ(w.dwDataLength, 4);
  EXPECT_EQ(w.nSamplesPerSec, 44100u);
  EXPECT_EQ(data.get()[0], 10);
}

}  // namespace
