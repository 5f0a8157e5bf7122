#include "controlpanel/pages/BankRules.h"

#include <gtest/gtest.h>

namespace {

const std::string kWork = "C:\\Program Files\\Orvane\\KV2240";
const std::string kSystemBank = "C:\\WINDOWS\\SYSTEM\\orvanegm";

TEST(BankPathsTest, DefaultBankAndWorkingDirectory) {
  EXPECT_EQ(bank::DefaultBankPath("C:\\WINDOWS\\SYSTEM"), kSystemBank);
  // No stored directory and no "ProgramFilesDir": the caller passes the catalogue's default.
  const auto d = bank::WorkingDirFor("C:\\Program Files");
  EXPECT_EQ(d.parent, "C:\\Program Files\\Orvane");
  EXPECT_EQ(d.dir, kWork);
  EXPECT_EQ(bank::WorkingDirFor("D:\\").dir, "D:\\Orvane\\KV2240") << "no second backslash";
}

TEST(BankPathsTest, SplitLikeTheRuntime) {
  const auto p = bank::SplitPath("D:\\banks\\set.one\\Piano.DLS");
  EXPECT_EQ(p.drive, "D:");
  EXPECT_EQ(p.dir, "\\banks\\set.one\\");
  EXPECT_EQ(p.name, "Piano");
  EXPECT_EQ(p.ext, ".DLS");
  const auto q = bank::SplitPath("E:orvanegm");
  EXPECT_EQ(q.drive, "E:");
  EXPECT_EQ(q.dir, "");
  EXPECT_EQ(q.name, "orvanegm");
  EXPECT_EQ(q.ext, "");
}

TEST(BankTargetTest, FixedDiskLoadsInPlace) {
  const auto t = bank::ChooseTarget("C:\\banks\\a.dls", bank::kFixedDisk, kWork, kSystemBank);
  EXPECT_EQ(t.path, "C:\\banks\\a.dls");
  EXPECT_FALSE(t.copy);
  EXPECT_FALSE(t.replace);
  EXPECT_EQ(bank::BankInUse(t, kSystemBank, false), "C:\\banks\\a.dls");
}

TEST(BankTargetTest, OtherDrivesCopyIntoTheWorkingDirectory) {
  for (unsigned type : {0u, 1u, 2u, 4u, 5u, 6u}) {
    const auto t = bank::ChooseTarget("D:\\sets\\a.dls", type, kWork, kSystemBank);
    EXPECT_EQ(t.path, kWork + "\\a.dls") << type;
    EXPECT_TRUE(t.copy);
    EXPECT_FALSE(t.replace);
  }
}

TEST(BankTargetTest, ACopyNamedLikeTheBankInUseGetsNew) {
  const std::string current = kWork + "\\A.DLS";
  const auto t = bank::ChooseTarget("D:\\sets\\a.dls", 5, kWork, current);
  EXPECT_EQ(t.path, kWork + "\\a.dls.new");
  EXPECT_TRUE(t.replace);
  EXPECT_TRUE(bank::DeleteOldBank(t, current, kWork));
  EXPECT_EQ(bank::BankInUse(t, current, true), current) << "the copy took the old name";
  // The old bank could only be scheduled for deletion: its name goes at the next start.
  EXPECT_EQ(bank::BankInUse(t, current, false), kWork + "\\a.dls.new");
}

TEST(BankTargetTest, OnlyABankInTheWorkingDirectoryIsDeleted) {
  const auto t = bank::ChooseTarget("D:\\sets\\b.dls", 5, kWork, kSystemBank);
  EXPECT_FALSE(bank::DeleteOldBank(t, kSystemBank, kWork)) << "the system directory's bank stays";
  EXPECT_TRUE(bank::DeleteOldBank(t, "c:\\program files\\orvane\\kv2240\\old.dls", kWork)) << "case ignored";
  EXPECT_FALSE(bank::DeleteOldBank(t, "C:\\Program Files\\Orvane", kWork));
}

TEST(BankTargetTest, TheBankInUseChosenAgainIsNeverDeleted) {
  const std::string current = kWork + "\\old.dls";
  const auto t = bank::ChooseTarget("c:\\PROGRAM FILES\\orvane\\kv2240\\OLD.dls", bank::kFixedDisk, kWork, current);
  EXPECT_FALSE(bank::DeleteOldBank(t, current, kWork));
}

TEST(BankTargetTest, FailureTextQuotesTheChosenPath) {
  EXPECT_EQ(bank::FailureText("Failed to download the specified file", "D:\\a.dls"),
            "Failed to download the specified file \"D:\\a.dls\".");
}

}  // namespace

// A bank chosen on a removable drive that already lies in the working directory is its own
// copy target: copying it onto itself would empty it, and a refusal would then delete it.
TEST(BankTargetTest, ABankChosenFromTheWorkingDirectoryIsNotCopiedOntoItself) {
  for (const std::string& chosen : {kWork + "\\mine.sf2", std::string("c:\\program files\\ORVANE\\kv2240\\Mine.SF2"),
                                    kWork + "\\\\mine.sf2", std::string("C:/Program Files/Orvane/KV2240/mine.sf2")}) {
    const auto t = bank::ChooseTarget(chosen, 2, kWork, kSystemBank);
    EXPECT_FALSE(t.copy) << chosen;
    EXPECT_FALSE(t.replace) << chosen;
    EXPECT_TRUE(bank::SamePath(t.path, kWork + "\\mine.sf2")) << t.path;
  }
  // With a trailing separator in the stored working directory too.
  EXPECT_FALSE(bank::ChooseTarget(kWork + "\\mine.sf2", 2, kWork + "\\", kSystemBank).copy);
  // Another file of the working directory's name elsewhere is still copied.
  EXPECT_TRUE(bank::ChooseTarget("E:\\mine.sf2", 2, kWork, kSystemBank).copy);
}
