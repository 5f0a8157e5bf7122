#include "controlpanel/driver/DriverRules.h"

namespace {
constexpr uint32_t kLevelThreshold = 200;
constexpr uint32_t kClassThreshold = 6;

bool Capable(uint32_t level, uint32_t feature) { return level >= kLevelThreshold && feature != 0; }
}  // namespace

OutputModeRecord MakeOutputModeRecord(int mode) {
  OutputModeRecord rec = {};
  uint16_t flag = OutputFlagForMode(mode);
  rec.bytes[kv22::kOutputFlagOffset] = static_cast<unsigned char>(flag & 0xFF);
  rec.bytes[kv22::kOutputFlagOffset + 1] = static_cast<unsigned char>(flag >> 8);
  return rec;
}

uint32_t DefaultSoftSynthMode(uint32_t level, bool levelOk, uint32_t perfClass, bool classOk,
                              uint32_t feature, bool featureOk) {
  if (!levelOk) level = 0;
  if (!classOk) perfClass = 0;
  if (!featureOk) feature = 0;
  if (perfClass >= kClassThreshold) return 0;
  return Capable(level, feature) ? 1 : 2;
}

uint32_t DefaultWavetableEffect(uint32_t level, bool levelOk, uint32_t feature, bool featureOk) {
  return Capable(levelOk ? level : 0, featureOk ? feature : 0) ? 1 : 0;
}

bool RenderingModeAvailable(bool levelOk, uint32_t level, bool featureOk, uint32_t feature) {
  return Capable(levelOk ? level : kLevelThreshold, featureOk ? feature : 1);
}
