// Every catalogue value as another program may have left it: absent, of the wrong type,
// empty, too long, without its zero, or a number out of range. Each is written where the
// programs read it, read back through the store with the buffer its owner uses, and turned
// into the value the owner uses. One row per catalogue value; a value without a row fails.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "shared/settings/Store.h"

namespace {

using catalogue::Value;

// What the owner makes of a DWORD read: (read succeeded, stored) -> the value it uses.
using DwordRule = uint32_t (*)(bool ok, uint32_t stored);

struct Row {
  const char* name;
  DWORD buffer;    // bytes the owner reads into
  DwordRule rule;  // DWORD values: the owner's rule, or null where it keeps the stored number
  uint32_t lo, hi; // what the rule may give, for any stored value
  std::vector<uint32_t> outOfRange;
};

uint32_t OutputModeRule(bool ok, uint32_t v) { return catalogue::OutputModeFromStore(ok, v); }
uint32_t RenderIndexRule(bool ok, uint32_t v) {
  return static_cast<uint32_t>(catalogue::RenderModeIndexFromStore(ok, v));
}
uint32_t LevelRule(bool ok, uint32_t v) { return catalogue::EffectLevelFromStore(ok, v); }
// A mode that is not one of the three counts as missing: 3 stands for "the card's default".
uint32_t ModeRule(bool ok, uint32_t v) { return catalogue::SoftSynthModeUsable(ok, v) ? v : 3; }
// The sheet's own position stands in as 50; a 400-pixel sheet on a 1280-pixel screen.
uint32_t SheetRule(bool ok, uint32_t v) {
  return static_cast<uint32_t>(catalogue::KeepOnScreen(catalogue::SheetCoordinate(ok, v, 50), 400, 0, 1280));
}

const uint32_t kAll = 0xFFFFFFFF;
const std::vector<Row> kRows = {
    {"TaskBarIconEnable", 4, nullptr, 0, kAll, {2, kAll}},
    {"ToolTipsEnable", 4, nullptr, 0, kAll, {2, kAll}},
    {"SysKeyEnable", 4, nullptr, 0, kAll, {2, kAll}},
    {"PROPSHEET_LEFT", 4, SheetRule, 0, 880, {100000, 0x7FFFFFFF, 0x80000000u, kAll}},
    {"PROPSHEET_TOP", 4, SheetRule, 0, 880, {100000, 0x7FFFFFFF, 0x80000000u, kAll}},
    {"PROPSHEET_PAGE", 4, nullptr, 0, kAll, {99, kAll}},
    {"DisableDriverWarning", 20, nullptr, 0, 0, {}},
    {"SoftwareUpdatedToVersion", 20, nullptr, 0, 0, {}},
    {"SoftwareVersion", 20, nullptr, 0, 0, {}},
    {"ResonixTrivoxControl", 260, nullptr, 0, 0, {}},
    {"Default_Board", 4, nullptr, 0, kAll, {kAll}},
    {"SplashAudio", 4, nullptr, 0, kAll, {7, kAll}},
    {"SplashScreen", 4, nullptr, 0, kAll, {7}},
    {"EnableDS3D", 4, nullptr, 0, kAll, {7, kAll}},
    {"DisableDsHwBuf", 4, nullptr, 0, kAll, {7}},
    {"DLSBankPath", 260, nullptr, 0, 0, {}},
    {"ZephraWorkingDir", 260, nullptr, 0, 0, {}},
    {"OutputMode", 4, OutputModeRule, 0, 1, {7, 2, kAll}},
    {"TrivoxMode", 4, RenderIndexRule, 0, 1, {1, 7, kAll}},
    {"BrisaWavetableEffect", 4, nullptr, 0, kAll, {7}},
    {"ReverbAmount", 4, LevelRule, 0, 127, {128, 1000, kAll}},
    {"ChorusAmount", 4, LevelRule, 0, 127, {128, 1000, kAll}},
    {"SoftSynthMode", 4, ModeRule, 0, 3, {3, 5, kAll}},
    {"BrisaMidiInDeviceID", 4, nullptr, 0, kAll, {kAll}},
    {"BrisaMidiOutDeviceID", 4, nullptr, 0, kAll, {kAll}},
    {"MidiOutDeviceID", 4, nullptr, 0, kAll, {kAll}},
    {"MidiOutDeviceName", 256, nullptr, 0, 0, {}},
    {"MidiDriverName", 256, nullptr, 0, 0, {}},
    {"WavetableDriverName", 256, nullptr, 0, 0, {}},
    {"ProgramFilesDir", 260, nullptr, 0, 0, {}},
};

const Row* RowFor(const Value& v) {
  for (const Row& r : kRows) {
    if (std::strcmp(r.name, v.name) == 0) return &r;
  }
  return nullptr;
}

// The value as it was, put back after the test.
class Saved {
 public:
  explicit Saved(const Value& v) : m_value(v) {
    HKEY k;
    if (RegCreateKeyExA(settings::RootOf(*v.key), v.key->path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k,
                        nullptr) != ERROR_SUCCESS)
      return;
    DWORD size = 0;
    if (RegQueryValueExA(k, v.name, nullptr, &m_type, nullptr, &size) == ERROR_SUCCESS) {
      m_data.resize(size);
      m_had = RegQueryValueExA(k, v.name, nullptr, &m_type, m_data.data(), &size) == ERROR_SUCCESS;
    }
    RegCloseKey(k);
  }
  ~Saved() {
    HKEY k;
    if (RegOpenKeyExA(settings::RootOf(*m_value.key), m_value.key->path, 0, KEY_ALL_ACCESS, &k) != ERROR_SUCCESS)
      return;
    if (m_had) {
      RegSetValueExA(k, m_value.name, 0, m_type, m_data.data(), DWORD(m_data.size()));
    } else {
      RegDeleteValueA(k, m_value.name);
    }
    RegCloseKey(k);
  }
  Saved(const Saved&) = delete;
  Saved& operator=(const Saved&) = delete;

 private:
  const Value& m_value;
  bool m_had = false;
  DWORD m_type = 0;
  std::vector<BYTE> m_data;
};

// Stores raw bytes (or, with type 0, deletes the value).
void Store(const Value& v, DWORD type, const void* data, DWORD size) {
  HKEY k;
  ASSERT_EQ(RegCreateKeyExA(settings::RootOf(*v.key), v.key->path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k,
                            nullptr),
            ERROR_SUCCESS);
  if (type == 0) {
    RegDeleteValueA(k, v.name);
  } else {
    static const BYTE kNothing = 0;  // a zero-length value still needs a pointer
    ASSERT_EQ(RegSetValueExA(k, v.name, 0, type, size ? static_cast<const BYTE*>(data) : &kNothing, size),
              ERROR_SUCCESS);
  }
  RegCloseKey(k);
}

struct Form {
  const char* what;
  DWORD type;
  std::vector<BYTE> bytes;
};

std::vector<Form> Forms(const Row& row, bool dword) {
  std::vector<Form> f = {{"absent", 0, {}},
                         {"zero length", dword ? DWORD(REG_DWORD) : DWORD(REG_SZ), {}},
                         {"300 bytes", REG_BINARY, std::vector<BYTE>(300, 'x')},
                         {"without its zero", REG_SZ, std::vector<BYTE>(row.buffer, 'y')},
                         {"short without its zero", REG_SZ, {'1', '2'}}};
  if (dword) {
    f.push_back({"wrong type", REG_SZ, {'7', 0}});
  } else {
    f.push_back({"wrong type", REG_DWORD, {7, 0, 0, 0}});
  }
  for (uint32_t n : row.outOfRange) {
    f.push_back({"out of range", REG_DWORD, {BYTE(n), BYTE(n >> 8), BYTE(n >> 16), BYTE(n >> 24)}});
  }
  return f;
}

constexpr BYTE kGuard = 0xA5;
constexpr DWORD kGuardBytes = 16;

void CheckDword(const Value& v, const Row& row, const Form& form) {
  std::vector<BYTE> buf(4 + kGuardBytes, kGuard);
  const settings::Key key(*v.key, KEY_READ, settings::Open::Existing);
  DWORD got = 0;
  const bool ok = settings::ReadDword(key, v.name, &got) != 0;
  std::memcpy(buf.data(), &got, 4);
  // The owner's reading, through the same store, into a buffer with guards behind it.
  const bool ok2 = settings::ReadDword(key, v.name, reinterpret_cast<DWORD*>(buf.data())) != 0;
  EXPECT_EQ(ok, ok2);
  for (DWORD i = 4; i < buf.size(); ++i) ASSERT_EQ(buf[i], kGuard) << v.name << ": " << form.what;
  if (form.type == 0 || form.bytes.size() > 4) {
    EXPECT_FALSE(ok) << v.name << ": " << form.what;
  }
  if (!row.rule) return;
  const uint32_t used = row.rule(ok, got);
  EXPECT_GE(used, row.lo) << v.name << ": " << form.what;
  EXPECT_LE(used, row.hi) << v.name << ": " << form.what;
  if (!ok) {
    EXPECT_EQ(used, row.rule(false, 0)) << v.name << ": " << form.what;
  }
}

void CheckString(const Value& v, const Row& row, const Form& form) {
  std::vector<char> buf(row.buffer + kGuardBytes, char(kGuard));
  buf[0] = 'Z';
  const settings::Key key(*v.key, KEY_READ, settings::Open::Existing);
  const bool ok = settings::ReadString(key, v.name, buf.data(), row.buffer) != 0;
  for (DWORD i = row.buffer; i < buf.size(); ++i) ASSERT_EQ(BYTE(buf[i]), kGuard) << v.name << ": " << form.what;
  // Always a text within the buffer; a failed read leaves it empty for the default.
  EXPECT_LT(std::strlen(buf.data()), row.buffer) << v.name << ": " << form.what;
  if (!ok) {
    EXPECT_STREQ(buf.data(), "") << v.name << ": " << form.what;
  }
  if (form.type == 0 || form.bytes.size() > row.buffer) {
    EXPECT_FALSE(ok) << v.name << ": " << form.what;
  }
}

TEST(RegistryValues, EveryValueHasARow) {
  for (const Value* v : catalogue::kAllValues) EXPECT_NE(RowFor(*v), nullptr) << v->name << " has no row";
  EXPECT_EQ(kRows.size(), sizeof catalogue::kAllValues / sizeof catalogue::kAllValues[0]);
}

TEST(RegistryValues, HostileFormsGiveTheDefaultOrARangedValue) {
  for (const Value* v : catalogue::kAllValues) {
    const Row* row = RowFor(*v);
    if (!row) continue;
    const bool dword = v->type == catalogue::Type::Dword;
    Saved saved(*v);
    for (const Form& form : Forms(*row, dword)) {
      Store(*v, form.type, form.bytes.data(), DWORD(form.bytes.size()));
      if (dword) {
        CheckDword(*v, *row, form);
      } else {
        CheckString(*v, *row, form);
      }
    }
  }
}

}  // namespace
