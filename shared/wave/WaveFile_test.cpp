#include "shared/wave/WaveFile.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <process.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#define WAVE_TEST_LEAK_CHECK 1
// The sanitizer runtime's own count of a block's bytes (its header is not in every compiler's).
extern "C" size_t __sanitizer_get_allocated_size(const volatile void* p);
#endif

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<unsigned char>;

void Put16(Bytes& b, uint16_t v) {
  b.push_back(static_cast<unsigned char>(v));
  b.push_back(static_cast<unsigned char>(v >> 8));
}
void Put32(Bytes& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<unsigned char>(v >> (8 * i)));
}
void PutId(Bytes& b, const char* id) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<unsigned char>(id[i]));
}
void Append(Bytes& b, const Bytes& more) { b.insert(b.end(), more.begin(), more.end()); }

struct Format {
  uint16_t tag = 1;
  uint16_t channels = 2;
  uint32_t rate = 22050;
  uint32_t avg = 88200;
  uint16_t align = 4;
  uint16_t bits = 16;
};

// Sample bytes that text-mode file access would alter (CR LF, Ctrl-Z) and that
// differ at every offset.
Bytes Samples(size_t n) {
  Bytes s(n);
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<unsigned char>(i * 7 + 3);
  if (n >= 4) {
    s[0] = 0x0D;
    s[1] = 0x0A;
    s[2] = 0x1A;
    s[3] = 0x0A;
  }
  return s;
}

// "fmt " chunk of size fmtSize: the 16 format bytes, then filler up to fmtSize.
Bytes FmtChunk(const Format& f, uint32_t fmtSize = 16) {
  Bytes b;
  PutId(b, "fmt ");
  Put32(b, fmtSize);
  Put16(b, f.tag);
  Put16(b, f.channels);
  Put32(b, f.rate);
  Put32(b, f.avg);
  Put16(b, f.align);
  Put16(b, f.bits);
  for (uint32_t i = 16; i < fmtSize; ++i) b.push_back(0xEE);
  return b;
}

Bytes DataChunk(const Bytes& samples, uint32_t declared) {
  Bytes b;
  PutId(b, "data");
  Put32(b, declared);
  Append(b, samples);
  return b;
}

Bytes Header(const char* riff = "RIFF", const char* form = "WAVE", uint32_t size = 0) {
  Bytes b;
  PutId(b, riff);
  Put32(b, size);
  PutId(b, form);
  return b;
}

Bytes WaveFile(const Bytes& samples, const Format& f = Format(), uint32_t fmtSize = 16) {
  Bytes b = Header();
  Append(b, FmtChunk(f, fmtSize));
  Append(b, DataChunk(samples, static_cast<uint32_t>(samples.size())));
  return b;
}

// Lowest descriptor the runtime hands out next; a descriptor left open by the reader
// takes that slot and moves this number up.
int NextFreeDescriptor(const std::string& anyFile) {
#ifdef _WIN32
  const int fd = _open(anyFile.c_str(), _O_RDONLY | _O_BINARY);
  if (fd >= 0) _close(fd);
#else
  const int fd = open(anyFile.c_str(), O_RDONLY);
  if (fd >= 0) close(fd);
#endif
  return fd;
}

int ProcessId() {
#ifdef _WIN32
  return _getpid();
#else
  return static_cast<int>(getpid());
#endif
}

WaveInfo Sentinel() {
  WaveInfo info;
  std::memset(&info, 0xA5, sizeof info);
  return info;
}

class WaveReadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static int serial = 0;
    m_dir = fs::temp_directory_path() /
            ("wavefile_test_" + std::to_string(ProcessId()) + "_" + std::to_string(serial++));
    fs::create_directories(m_dir);
    m_probe = Write("probe.bin", Bytes(1, 0));
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(m_dir, ec);
  }

  std::string Write(const std::string& name, const Bytes& content) {
    const fs::path p = m_dir / name;
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(content.data()), static_cast<std::streamsize>(content.size()));
    out.close();
    EXPECT_TRUE(out.good()) << p.string();
    return p.string();
  }

  // Reads content through a file and checks that no descriptor stays open.
  WaveBlock Read(const Bytes& content, WaveInfo* info) {
    const std::string path = Write("in" + std::to_string(m_files++) + ".wav", content);
    const int before = NextFreeDescriptor(m_probe);
    EXPECT_GE(before, 0) << "probe file cannot be opened";
    WaveBlock block(ReadWaveFile(path.c_str(), info));
    EXPECT_EQ(NextFreeDescriptor(m_probe), before) << "file left open";
    return block;
  }

  fs::path m_dir;
  std::string m_probe;
  int m_files = 0;
};

void ExpectFormat(const WaveInfo& info, const Format& f) {
  EXPECT_EQ(info.wFormatTag, f.tag);
  EXPECT_EQ(info.nChannels, f.channels);
  EXPECT_EQ(info.nSamplesPerSec, f.rate);
  EXPECT_EQ(info.nAvgBytesPerSec, f.avg);
  EXPECT_EQ(info.nBlockAlign, f.align);
  EXPECT_EQ(info.wBitsPerSample, f.bits);
}

void ExpectData(const WaveBlock& block, const Bytes& samples) {
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(std::memcmp(block.get(), samples.data(), samples.size()), 0);
}

TEST(WaveInfoLayout, FieldsSitWhereTheRecordPutsThem) {
  EXPECT_EQ(offsetof(WaveInfo, nSamplesPerSec), 0u);
  EXPECT_EQ(offsetof(WaveInfo, wBitsPerSample), 4u);
  EXPECT_EQ(offsetof(WaveInfo, nBlockAlign), 6u);
  EXPECT_EQ(offsetof(WaveInfo, nChannels), 8u);
  EXPECT_EQ(offsetof(WaveInfo, wFormatTag), 10u);
  EXPECT_EQ(offsetof(WaveInfo, nAvgBytesPerSec), 12u);
  EXPECT_EQ(offsetof(WaveInfo, dwDataLength), 16u);
  EXPECT_EQ(sizeof(WaveInfo), 20u);
}

TEST_F(WaveReadTest, StandardPcmFileGivesEveryFieldAndTheSamples) {
  Format f;  // every field distinct, so a swapped field shows
  f.tag = 1;
  f.channels = 2;
  f.rate = 22050;
  f.avg = 88200;
  f.align = 4;
  f.bits = 16;
  const Bytes samples = Samples(256);
  const Bytes file = WaveFile(samples, f);
  ASSERT_EQ(file.size(), 44u + samples.size());

  WaveInfo info = Sentinel();
  WaveBlock block = Read(file, &info);
  ExpectData(block, samples);
  ExpectFormat(info, f);
  EXPECT_EQ(info.dwDataLength, 256);
}

TEST_F(WaveReadTest, MonoAndEightBitFieldsComeThroughUnchanged) {
  Format f;
  f.channels = 1;
  f.rate = 11025;
  f.avg = 11025;
  f.align = 1;
  f.bits = 8;
  const Bytes samples = Samples(3);  // odd length
  WaveInfo info = Sentinel();
  WaveBlock block = Read(WaveFile(samples, f), &info);
  ExpectData(block, samples);
  ExpectFormat(info, f);
  EXPECT_EQ(info.dwDataLength, 3);
}

TEST_F(WaveReadTest, FmtChunkSizeDecidesWhereDataIsLookedFor) {
  const Bytes samples = Samples(40);
  Format f;

  // 18-byte fmt (extra-size field): data at 38.
  Bytes ext = WaveFile(samples, f, 18);
  ASSERT_EQ(std::memcmp(&ext[38], "data", 4), 0);
  WaveInfo info = Sentinel();
  WaveBlock block = Read(ext, &info);
  ExpectData(block, samples);
  ExpectFormat(info, f);
  EXPECT_EQ(info.dwDataLength, 40);

  // Odd size 17: data follows at 37, no pad byte.
  Bytes odd = WaveFile(samples, f, 17);
  ASSERT_EQ(std::memcmp(&odd[37], "data", 4), 0);
  info = Sentinel();
  block = Read(odd, &info);
  ExpectData(block, samples);
  EXPECT_EQ(info.dwDataLength, 40);

  // The same file with a pad byte after the odd fmt no longer has "data" at 37.
  Bytes padded = Header();
  Append(padded, FmtChunk(f, 17));
  padded.push_back(0);
  Append(padded, DataChunk(samples, 40));
  info = Sentinel();
  EXPECT_EQ(Read(padded, &info), nullptr);
}

TEST_F(WaveReadTest, NonPcmFormatIsReturnedAsItIs) {
  Format f;
  f.tag = 2;
  f.channels = 1;
  f.rate = 22050;
  f.avg = 11155;
  f.align = 512;
  f.bits = 4;
  const Bytes samples = Samples(512);
  WaveInfo info = Sentinel();
  WaveBlock block = Read(WaveFile(samples, f, 50), &info);
  ExpectData(block, samples);
  ExpectFormat(info, f);
}

TEST_F(WaveReadTest, TruncatedDataGivesFullBlockAndCountRead) {
  const Bytes held = Samples(600);
  Bytes file = Header();
  Append(file, FmtChunk(Format()));
  Append(file, DataChunk(held, 1000));

  WaveInfo info = Sentinel();
  WaveBlock block = Read(file, &info);
  ExpectData(block, held);
  EXPECT_EQ(info.dwDataLength, 600);
  // The block has the declared 1000 bytes (AddressSanitizer reports a shorter one).
  std::memset(block.get(), 0, 1000);
}

TEST_F(WaveReadTest, EmptyDataChunkGivesABlockOfNoBytes) {
  WaveInfo info = Sentinel();
  WaveBlock block = Read(WaveFile(Bytes()), &info);
  EXPECT_NE(block, nullptr);
  EXPECT_EQ(info.dwDataLength, 0);
  ExpectFormat(info, Format());
}

TEST_F(WaveReadTest, OnlyWaveAtOffsetEightMatters) {
  const Bytes samples = Samples(32);
  Bytes file = Header("JUNK", "WAVE", 0xFFFFFFFFu);
  Append(file, FmtChunk(Format()));
  Append(file, DataChunk(samples, 32));
  WaveInfo info = Sentinel();
  WaveBlock block = Read(file, &info);
  ExpectData(block, samples);
}

TEST_F(WaveReadTest, ForeignFormIsSkippedByItsSize) {
  const Bytes samples = Samples(32);
  Format f;
  f.rate = 8000;

  // 12-byte "AVI " block with a size of 20: the WAVE form begins 20 bytes after it.
  Bytes file = Header("RIFF", "AVI ", 20);
  Bytes skipped(20, 0x55);
  std::memcpy(skipped.data(), "RIFF\0\0\0\0WAVE", 12);  // must not be seen
  Append(file, skipped);
  Append(file, WaveFile(samples, f));
  WaveInfo info = Sentinel();
  WaveBlock block = Read(file, &info);
  ExpectData(block, samples);
  EXPECT_EQ(info.nSamplesPerSec, 8000u);

  // Two foreign blocks of size 0 in a row.
  Bytes twice = Header("LIST", "INFO", 0);
  Append(twice, Header("RIFF", "AVI ", 0));
  Append(twice, WaveFile(samples, f));
  info = Sentinel();
  block = Read(twice, &info);
  ExpectData(block, samples);
}

TEST_F(WaveReadTest, ChunksAfterTheDataAreIgnored) {
  const Bytes samples = Samples(24);
  Bytes file = WaveFile(samples);
  PutId(file, "LIST");
  Put32(file, 4);
  PutId(file, "INFO");
  WaveInfo info = Sentinel();
  WaveBlock block = Read(file, &info);
  ExpectData(block, samples);
  EXPECT_EQ(info.dwDataLength, 24);
}

TEST_F(WaveReadTest, SecondFmtAndDataPairIsNotRead) {
  const Bytes first = Samples(64);
  Bytes second(96, 0x77);
  Format f1;
  Format f2;
  f2.rate = 48000;
  f2.channels = 1;
  Bytes file = WaveFile(first, f1);
  Append(file, FmtChunk(f2));
  Append(file, DataChunk(second, 96));

  WaveInfo info = Sentinel();
  WaveBlock block = Read(file, &info);
  ExpectData(block, first);
  ExpectFormat(info, f1);
  EXPECT_EQ(info.dwDataLength, 64);
  block.reset();
#ifdef WAVE_TEST_LEAK_CHECK
  EXPECT_EQ(__lsan_do_recoverable_leak_check(), 0) << "a sample block was leaked";
#endif
}

// A data chunk that declares far more than the file holds costs no more than the file: the
// block reaches at most 64 KiB past what the file holds (the short-file case above fits).
TEST_F(WaveReadTest, HugeDeclaredSizeCostsWhatTheFileHolds) {
  const Bytes held = Samples(16);
  for (uint32_t declared : {0x7FFFFFFFu, 0x10000000u, 16u + 65536u + 1u}) {
    Bytes file = Header();
    Append(file, FmtChunk(Format()));
    Append(file, DataChunk(held, declared));
    WaveInfo info = Sentinel();
    WaveBlock block = Read(file, &info);
    ASSERT_NE(block, nullptr) << declared;
    ExpectData(block, held);
    EXPECT_EQ(info.dwDataLength, 16);
#ifdef WAVE_TEST_LEAK_CHECK
    EXPECT_EQ(__sanitizer_get_allocated_size(block.get()), 16u + 65536u) << declared;
#endif
  }
}

TEST_F(WaveReadTest, MissingFileGivesNullAndLeavesInfo) {
  WaveInfo info = Sentinel();
  const WaveInfo before = info;
  const std::string path = (m_dir / "absent.wav").string();
  EXPECT_EQ(ReadWaveFile(path.c_str(), &info), nullptr);
  EXPECT_EQ(std::memcmp(&info, &before, sizeof info), 0);
}

// Files that cannot be read: null, the record untouched, the file closed.
struct Unreadable {
  const char* name;
  Bytes content;
};

class WaveRejectTest : public WaveReadTest, public ::testing::WithParamInterface<Unreadable> {};

TEST_P(WaveRejectTest, GivesNullAndLeavesInfo) {
  WaveInfo info = Sentinel();
  const WaveInfo before = info;
  EXPECT_EQ(Read(GetParam().content, &info), nullptr);
  EXPECT_EQ(std::memcmp(&info, &before, sizeof info), 0);
}

Bytes Truncated(Bytes b, size_t n) {
  b.resize(n);
  return b;
}

Bytes WithChunkBeforeData(const char* id) {
  Bytes b = Header();
  Append(b, FmtChunk(Format()));
  PutId(b, id);
  Put32(b, 4);
  Put32(b, 1234);
  Append(b, DataChunk(Samples(16), 16));
  return b;
}

// A fmt chunk shorter than its 16 bytes of fields: the data chunk's header is not a format.
Bytes ShortFmt(uint32_t size) {
  Bytes b = Header();
  Bytes fmt = FmtChunk(Format());
  fmt.resize(8 + size);
  fmt[4] = static_cast<unsigned char>(size);
  Append(b, fmt);
  Append(b, DataChunk(Samples(16), 16));
  return b;
}

Bytes WithDataSize(uint32_t declared) {
  Bytes b = Header();
  Append(b, FmtChunk(Format()));
  Append(b, DataChunk(Samples(16), declared));
  return b;
}

Bytes ForeignOnly(uint32_t size) {
  Bytes b = Header("RIFF", "AVI ", size);
  Append(b, Bytes(40, 0));
  return b;
}

Bytes FmtNotFirst() {
  Bytes b = Header();
  PutId(b, "JUNK");
  Put32(b, 4);
  Put32(b, 0);
  Append(b, FmtChunk(Format()));
  Append(b, DataChunk(Samples(16), 16));
  return b;
}

Bytes FmtPointingPastEnd() {
  Bytes b = Header();
  Append(b, FmtChunk(Format()));
  b[16] = 0xF0;  // fmt size 0xF0000010
  b[19] = 0xF0;
  Append(b, DataChunk(Samples(16), 16));
  return b;
}

std::vector<Unreadable> UnreadableFiles() {
  const Bytes good = WaveFile(Samples(16));
  return {
      {"Empty", Bytes()},
      {"ElevenBytes", Truncated(good, 11)},
      {"HeaderOnly", Truncated(good, 12)},
      {"EndsInFmtHeader", Truncated(good, 19)},
      {"EndsInFormatFields", Truncated(good, 30)},
      {"EndsBeforeDataSize", Truncated(good, 40)},
      {"NoWaveForm", ForeignOnly(40)},
      {"ForeignFormSkipsPastEnd", ForeignOnly(0x7FFFFFF0u)},
      {"ForeignFormSizeBeyondTwoGiB", ForeignOnly(0xFFFFFFFFu)},
      {"ForeignFormSizeBackToItself", ForeignOnly(0xFFFFFFF4u)},  // -12 as a signed offset
      {"ChunkBeforeFmt", FmtNotFirst()},
      {"ListBeforeData", WithChunkBeforeData("LIST")},
      {"FactBeforeData", WithChunkBeforeData("fact")},
      {"FmtSizeBeyondFile", FmtPointingPastEnd()},
      {"FmtOfNoBytes", ShortFmt(0)},
      {"FmtOfEightBytes", ShortFmt(8)},
      {"FmtOfFifteenBytes", ShortFmt(15)},
      {"DataSizeTwoGiB", WithDataSize(0x80000000u)},
      {"DataSizeAllBits", WithDataSize(0xFFFFFFFFu)},
  };
}

INSTANTIATE_TEST_SUITE_P(Files, WaveRejectTest, ::testing::ValuesIn(UnreadableFiles()),
                         [](const ::testing::TestParamInfo<Unreadable>& p) { return std::string(p.param.name); });

TEST_F(WaveReadTest, RepeatedReadsKeepNoFileOpen) {
  // Far more reads than the runtime has descriptors, success and failure mixed.
  const std::string good = Write("good.wav", WaveFile(Samples(8)));
  const std::string bad = Write("bad.wav", WithChunkBeforeData("LIST"));
  for (int i = 0; i < 3000; ++i) {
    WaveInfo info = Sentinel();
    WaveBlock block(ReadWaveFile((i % 2 ? bad : good).c_str(), &info));
    ASSERT_EQ(block != nullptr, i % 2 == 0) << "read " << i;
  }
}

}  // namespace
