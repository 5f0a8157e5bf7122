#include "hrtf.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>

namespace trivox {
namespace {

constexpr float kPi = 3.14159265358979f;
const char* kFile44 = "/usr/share/openal/hrtf/default-44100.mhr";
const char* kFile48 = "/usr/share/openal/hrtf/default-48000.mhr";

float rad(float deg) { return deg * kPi / 180.0f; }

// A small well-formed image: one field, 5 elevations of 1/4/4/4/1 azimuths, 8 taps of int16.
std::vector<uint8_t> tinyImage(int sampleType = 0) {
  std::vector<uint8_t> b = {'M', 'i', 'n', 'P', 'H', 'R', '0', '2'};
  const uint32_t rate = 48000;
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(rate >> (8 * i)));
  b.push_back(static_cast<uint8_t>(sampleType));
  b.push_back(0);
  b.push_back(8);
  b.push_back(1);
  b.push_back(0x78);  // 1400 mm
  b.push_back(0x05);
  b.push_back(5);
  for (int n : {1, 4, 4, 4, 1}) b.push_back(static_cast<uint8_t>(n));
  const int filters = 14;
  for (int f = 0; f < filters; ++f) {
    for (int t = 0; t < 8; ++t) {
      // Filter f has value (f+1)/16 at tap 0 and nothing else.
      const int32_t full = t == 0 ? (f + 1) * (sampleType == 0 ? 2048 : 524288) : 0;
      const int bytes = sampleType == 0 ? 2 : 3;
      for (int k = 0; k < bytes; ++k) b.push_back(static_cast<uint8_t>(full >> (8 * k)));
    }
  }
  for (int f = 0; f < filters; ++f) b.push_back(static_cast<uint8_t>(f));
  return b;
}

TEST(MhrFile, DebianKemarSetHasTheDocumentedShape) {
  HrtfSet set;
  std::string error;
  ASSERT_TRUE(loadMhrFile(kFile44, set, error)) << error;
  EXPECT_EQ(set.rate, 44100u);
  EXPECT_EQ(set.taps, 32);
  EXPECT_EQ(set.elevationCount(), 19);
  EXPECT_EQ(set.filterCount(), 828);
  EXPECT_EQ(set.origin, kFile44);
  // Horizontal plane: 72 azimuths, the stored left ear is late for a source on the right.
  const int e0 = 9;
  ASSERT_EQ(set.azCount[e0], 72);
  EXPECT_EQ(set.delays[static_cast<size_t>(set.filterIndex(e0, 18))], 30.0f);  // 90 deg
  EXPECT_EQ(set.delays[static_cast<size_t>(set.filterIndex(e0, 54))], 0.0f);   // 270 deg
  HrtfSet set48;
  ASSERT_TRUE(loadMhrFile(kFile48, set48, error)) << error;
  EXPECT_EQ(set48.rate, 48000u);
}

TEST(MhrFile, RejectsMalformedImagesWithAReason) {
  HrtfSet set;
  set.taps = 99;  // must survive a failed parse
  std::string error;
  auto img = tinyImage();
  ASSERT_TRUE(parseMhr(img.data(), img.size(), set, error)) << error;
  EXPECT_EQ(set.taps, 8);

  struct Case {
    const char* name;
    size_t offset;
    int value;  // -1: truncate at offset; -2: append a byte
    const char* words;
  };
  const Case cases[] = {
      {"magic", 7, '1', "magic"},
      {"sample type", 12, 2, "sample type"},
      {"channel type", 13, 1, "channel type"},
      {"filter length", 14, 0, "filter length"},
      {"field count", 15, 0, "no fields"},
      {"elevations", 18, 3, "elevations"},
      {"empty elevation", 20, 0, "no azimuths"},
      {"truncated header", 10, -1, "too short"},
      {"truncated data", 100, -1, "does not match"},
      {"trailing byte", 0, -2, "does not match"},
  };
  for (const Case& c : cases) {
    auto bad = tinyImage();
    if (c.value == -1) {
      bad.resize(c.offset);
    } else if (c.value == -2) {
      bad.push_back(0);
    } else {
      bad[c.offset] = static_cast<uint8_t>(c.value);
    }
    HrtfSet out;
    out.taps = 99;
    error.clear();
    EXPECT_FALSE(parseMhr(bad.data(), bad.size(), out, error)) << c.name;
    EXPECT_NE(error.find(c.words), std::string::npos) << c.name << ": " << error;
    EXPECT_EQ(out.taps, 99) << c.name;
  }
  auto late = tinyImage();
  late.back() = 64;  // onset delay beyond the delay lines
  EXPECT_FALSE(parseMhr(late.data(), late.size(), set, error));
  EXPECT_NE(error.find("onset delay"), std::string::npos);
  EXPECT_FALSE(parseMhr(nullptr, 0, set, error));
}

TEST(MhrFile, ReadsBothSampleTypesAndScales) {
  for (int type : {0, 1}) {
    auto img = tinyImage(type);
    HrtfSet set;
    std::string error;
    ASSERT_TRUE(parseMhr(img.data(), img.size(), set, error)) << error;
    ASSERT_EQ(set.filterCount(), 14);
    EXPECT_FLOAT_EQ(set.filter(0)[0], 1.0f / 16.0f);
    EXPECT_FLOAT_EQ(set.filter(13)[0], 14.0f / 16.0f);
    EXPECT_FLOAT_EQ(set.delays[13], 13.0f);
    EXPECT_EQ(set.firstFilter[2], 5);
  }
}

TEST(MhrFile, MissingOrBrokenFileFallsBackToTheSphericalHead) {
  std::string note;
  HrtfSet set = loadHrtfOrModel("/nonexistent/default-48000.mhr", 48000, note);
  EXPECT_EQ(set.origin, "spherical head model");
  EXPECT_NE(note.find("cannot open"), std::string::npos) << note;
  EXPECT_FALSE(set.empty());

  const std::string path = testing::TempDir() + "trivox_broken.mhr";
  {
    std::ofstream f(path, std::ios::binary);
    f << "MinPHR02 garbage";
  }
  set = loadHrtfOrModel(path, 44100, note);
  EXPECT_EQ(set.origin, "spherical head model");
  EXPECT_EQ(set.rate, 44100u);
  EXPECT_NE(note.find(path), std::string::npos) << note;
  std::remove(path.c_str());

  set = loadHrtfOrModel(kFile48, 48000, note);
  EXPECT_EQ(set.origin, kFile48);
  EXPECT_TRUE(note.empty());
}

// The most filters a megabyte can announce: what the set builds stays a small multiple of it,
// and a file past the limit is refused before it is read.
TEST(MhrFile, CostIsBoundedByTheFile) {
  std::vector<uint8_t> b = tinyImage();
  b.resize(16);  // the header: 8 taps of int16, one field
  b.push_back(0x78), b.push_back(0x05), b.push_back(255);
  for (int e = 0; e < 255; ++e) b.push_back(241);
  const size_t filters = 255 * 241;
  b.resize(b.size() + filters * 16, 0);
  b.resize(b.size() + filters, 1);
  ASSERT_LT(b.size(), 1u << 20);
  HrtfSet set;
  std::string error;
  ASSERT_TRUE(parseMhr(b.data(), b.size(), set, error)) << error;
  const size_t built = set.coeffs.size() * sizeof(float) + set.delays.size() * sizeof(float) +
                       (set.azCount.size() + set.firstFilter.size()) * sizeof(int);
  std::printf("  %zu-byte set: %d filters, %zu bytes built\n", b.size(), set.filterCount(), built);
  EXPECT_EQ(size_t(set.filterCount()), filters);
  EXPECT_LE(built, 3 * b.size());

  const std::string path = testing::TempDir() + "trivox_huge.mhr";
  {
    std::ofstream f(path, std::ios::binary);
    b.resize(size_t(kMaxMhrBytes) + 1);
    f.write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
  }
  EXPECT_FALSE(loadMhrFile(path, set, error));
  EXPECT_NE(error.find("larger than the 4 MiB a set may have"), std::string::npos) << error;
  EXPECT_FALSE(parseMhr(b.data(), b.size(), set, error));
  std::remove(path.c_str());
}

TEST(HrtfInterpolation, HitsMeasuredDirectionsExactlyAndBlendsBetween) {
  HrtfSet set;
  std::string error;
  ASSERT_TRUE(loadMhrFile(kFile44, set, error)) << error;
  std::vector<float> l(32), r(32);
  float dl, dr;
  // 90 deg right on the horizontal plane: left ear = stored 90, right ear = stored 270.
  set.interpolate(rad(90), 0, l.data(), r.data(), dl, dr);
  const float* s90 = set.filter(set.filterIndex(9, 18));
  const float* s270 = set.filter(set.filterIndex(9, 54));
  for (int t = 0; t < 32; ++t) {
    EXPECT_NEAR(l[t], s90[t], 1e-6f);
    EXPECT_NEAR(r[t], s270[t], 1e-6f);
  }
  EXPECT_FLOAT_EQ(dl, 30.0f);
  EXPECT_FLOAT_EQ(dr, 0.0f);
  // Half way between 0 and 5 deg.
  set.interpolate(rad(2.5f), 0, l.data(), r.data(), dl, dr);
  const float* a = set.filter(set.filterIndex(9, 0));
  const float* b = set.filter(set.filterIndex(9, 1));
  for (int t = 0; t < 32; ++t) EXPECT_NEAR(l[t], 0.5f * (a[t] + b[t]), 1e-5f);
  // Straight up is the single polar filter for both ears, whatever the azimuth.
  set.interpolate(rad(123), rad(90), l.data(), r.data(), dl, dr);
  const float* top = set.filter(set.filterCount() - 1);
  for (int t = 0; t < 32; ++t) {
    EXPECT_NEAR(l[t], top[t], 1e-6f);
    EXPECT_NEAR(r[t], top[t], 1e-6f);
  }
  // Azimuths wrap.
  std::vector<float> l2(32), r2(32);
  float dl2, dr2;
  set.interpolate(rad(-30), rad(15), l.data(), r.data(), dl, dr);
  set.interpolate(rad(330), rad(15), l2.data(), r2.data(), dl2, dr2);
  for (int t = 0; t < 32; ++t) EXPECT_NEAR(l[t], l2[t], 1e-5f);
  EXPECT_NEAR(dl, dl2, 1e-4f);
}

float energy(const float* h, int n) {
  float e = 0;
  for (int i = 0; i < n; ++i) e += h[i] * h[i];
  return e;
}

// High-frequency content: energy of the first difference.
float brightness(const float* h, int n) {
  float e = 0, prev = 0;
  for (int i = 0; i < n; ++i) {
    e += (h[i] - prev) * (h[i] - prev);
    prev = h[i];
  }
  return e;
}

TEST(SphericalHead, ShadowsAndDelaysTheFarEar) {
  HrtfSet set = makeSphericalHead(48000);
  ASSERT_EQ(set.taps, 32);
  std::vector<float> l(32), r(32);
  float dl, dr;
  set.interpolate(rad(90), 0, l.data(), r.data(), dl, dr);
  // Woodworth: (a/c)(1 + pi/2) for the far ear, 0 for the near one.
  const float far = 0.0875f / 343.3f * (1.0f + kPi / 2) * 48000.0f;
  EXPECT_NEAR(dl, far, 0.3f);
  EXPECT_NEAR(dr, 0.0f, 0.3f);
  // Head shadow: the far ear loses its treble (alpha 0.1 at 150 deg means -20 dB up high).
  EXPECT_LT(brightness(l.data(), 32) * 10.0f, brightness(r.data(), 32));
  // Low frequencies pass round the head: the DC gain of both ears is 1.
  float sl = 0, sr = 0;
  for (int t = 0; t < 32; ++t) {
    sl += l[t];
    sr += r[t];
  }
  EXPECT_NEAR(sl, 1.0f, 0.05f);
  EXPECT_NEAR(sr, 1.0f, 0.05f);
  // Straight ahead both ears are equal.
  set.interpolate(0, 0, l.data(), r.data(), dl, dr);
  EXPECT_NEAR(energy(l.data(), 32), energy(r.data(), 32), 1e-4f);
  EXPECT_NEAR(dl, dr, 1e-3f);
}

}  // namespace
}  // namespace trivox
