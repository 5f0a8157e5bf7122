// The records as bytes: where the program and the library meet.
#include "card/kv20dal/Kv20Types.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(Kv20TypesTest, AudioInfoFieldsLandAtTheirOffsets) {
  TAudioInfo info;
  std::memset(&info, 0, sizeof info);
  info.boardId = 0x2200;
  info.inputCount = 6;
  std::strcpy(info.inputNames[5], "Aux");
  const auto* b = reinterpret_cast<const unsigned char*>(&info);
  EXPECT_EQ(b[258], 0x00);
  EXPECT_EQ(b[259], 0x22);
  EXPECT_EQ(b[260], 6);
  EXPECT_EQ(std::memcmp(b + 261 + 5 * 64, "Aux", 4), 0);
  EXPECT_EQ(b[645], 0) << "the last byte is the library's";
}

TEST(Kv20TypesTest, EqRecordFieldsLandAtTheirOffsets) {
  SpeakerEqRecord r;
  std::memset(&r, 0, sizeof r);
  r.mask = kEqFieldInput;
  r.flags = kEqFlagOn;
  r.input = -1;
  r.status = kEqUnavailableNow;
  const auto* b = reinterpret_cast<const unsigned char*>(&r);
  EXPECT_EQ(b[0], 0x20);
  EXPECT_EQ(b[12], 0x01);
  for (int i = 16; i < 20; ++i) EXPECT_EQ(b[i], 0xFF) << i;
  EXPECT_EQ(b[20], 0x08);
  for (int i : {1, 2, 3, 4, 11, 13, 14, 15, 21, 27}) EXPECT_EQ(b[i], 0) << i;
}

}  // namespace
