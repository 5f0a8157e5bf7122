#include "controlpanel/pages/PageMIDIRules.h"

#include <gtest/gtest.h>

#include <map>

namespace {

// A device list: names by id; an id in `failing` answers with an error.
struct Devices {
  std::vector<std::string> names;
  std::map<unsigned, uint32_t> failing;
  unsigned asked = 0;
  midi::CapsQuery Query() {
    return [this](unsigned id, std::string* name, uint32_t* error) {
      ++asked;
      auto f = failing.find(id);
      if (f != failing.end()) {
        *error = f->second;
        return false;
      }
      *name = names.at(id);
      return true;
    };
  }
};

const std::string kMpu = "Zephra MPU-401";
const std::string kWavetable = "Zephra Wavetable";

TEST(MidiNamesTest, LongNamesAreRefusedNotCut) {
  std::string out = "kept";
  EXPECT_TRUE(midi::FitName(std::string(63, 'a').c_str(), &out));
  EXPECT_EQ(out, std::string(63, 'a'));
  EXPECT_FALSE(midi::FitName(std::string(64, 'a').c_str(), &out));
  EXPECT_FALSE(midi::FitName(std::string(200, 'a').c_str(), &out));
  EXPECT_TRUE(midi::SameName(kMpu, kMpu));
  EXPECT_FALSE(midi::SameName(kMpu, "zephra MPU-401")) << "case counts";
  EXPECT_TRUE(midi::SameName(std::string(64, 'x') + "1", std::string(64, 'x') + "2")) << "64 characters only";
}

TEST(MidiInputTest, FirstMatchWithinTwentyFourDevices) {
  Devices d;
  for (int i = 0; i < 30; ++i) d.names.push_back("In " + std::to_string(i));
  d.names[3] = d.names[5] = kMpu;
  d.failing[1] = 6;
  EXPECT_EQ(midi::FindInputDevice(30, d.Query(), kMpu), 3);
  d.names[3] = d.names[5] = "x";
  d.names[26] = kMpu;
  d.asked = 0;
  EXPECT_EQ(midi::FindInputDevice(30, d.Query(), kMpu), -1);
  EXPECT_EQ(d.asked, 24u);
}

TEST(MidiDestinationsTest, ThirtyDevicesListTwentyFour) {
  Devices d;
  for (int i = 0; i < 30; ++i) d.names.push_back("Out " + std::to_string(i));
  const std::string stored = "Out 7";
  auto plan = midi::PlanDestinations(30, d.Query(), kMpu, kWavetable, &stored);
  ASSERT_EQ(plan.names.size(), 24u);
  EXPECT_EQ(plan.names[23], "Out 23");
  EXPECT_EQ(plan.selection, 7);
  EXPECT_TRUE(plan.writes.empty()) << "a stored name is not written while filling";
  EXPECT_EQ(d.asked, 24u);
}

TEST(MidiDestinationsTest, StoredNameGoneSelectsTheFirst) {
  Devices d{{"A", kWavetable, "B"}, {}, 0};
  const std::string stored = "Gone";
  auto plan = midi::PlanDestinations(3, d.Query(), kMpu, kWavetable, &stored);
  EXPECT_EQ(plan.selection, 0);
  EXPECT_TRUE(plan.writes.empty());
  int remembered = -1;
  EXPECT_TRUE(midi::DestinationChanged(3, plan.selection, &remembered)) << "the first entry is stored";
  EXPECT_EQ(remembered, 0);
  EXPECT_FALSE(midi::DestinationChanged(3, 0, &remembered)) << "the same selection is not stored again";
  EXPECT_FALSE(midi::DestinationChanged(0, 2, &remembered)) << "an empty list stores nothing";
}

TEST(MidiDestinationsTest, NothingStoredTakesTheLaterWavetableAndWritesAsItGoes) {
  Devices d{{kMpu, kWavetable, "Other", kWavetable}, {}, 0};
  auto plan = midi::PlanDestinations(4, d.Query(), kMpu, kWavetable, nullptr);
  EXPECT_EQ(plan.selection, 3);
  ASSERT_EQ(plan.writes.size(), 5u);
  EXPECT_EQ(plan.writes[0].value, midi::Write::BrisaMidiOutDeviceID);
  EXPECT_EQ(plan.writes[0].number, 0u);
  EXPECT_EQ(plan.writes[1].value, midi::Write::MidiOutDeviceName);
  EXPECT_EQ(plan.writes[1].text, kWavetable);
  EXPECT_EQ(plan.writes[2].value, midi::Write::MidiOutDeviceID);
  EXPECT_EQ(plan.writes[2].number, 1u);
  EXPECT_EQ(plan.writes[4].value, midi::Write::MidiOutDeviceID);
  EXPECT_EQ(plan.writes[4].number, 3u) << "the later device is stored last";
}

TEST(MidiDestinationsTest, AFailedQueryEndsTheListWithWhatItHas) {
  Devices d{{"A", "B", "C", "D"}, {{2, 7}}, 0};
  auto plan = midi::PlanDestinations(4, d.Query(), kMpu, kWavetable, nullptr);
  EXPECT_TRUE(plan.failed);
  EXPECT_EQ(plan.error, 7u);
  EXPECT_EQ(plan.names, (std::vector<std::string>{"A", "B"}));
  EXPECT_EQ(d.asked, 3u);
  // A device name longer than the table's entry keeps 31 characters.
  Devices wide{{std::string(40, 'n')}, {}, 0};
  EXPECT_EQ(midi::PlanDestinations(1, wide.Query(), kMpu, kWavetable, nullptr).names[0], std::string(31, 'n'));
}
}  // namespace
