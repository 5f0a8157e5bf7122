#include "controlpanel/pages/PageMIDIRules.h"

#include <cstring>

#include "controlpanel/res/resource.h"

namespace midi {

bool FitName(const char* text, std::string* out) {
  const size_t n = strnlen(text, kNameSize);
  if (n >= kNameSize) return false;
  out->assign(text, n);
  return true;
}

bool SameName(const std::string& a, const std::string& b) { return strncmp(a.c_str(), b.c_str(), kNameSize) == 0; }

int FindInputDevice(unsigned count, const CapsQuery& caps, const std::string& driverName) {
  for (unsigned id = 0; id < kMaxDevices && id < count; ++id) {
    std::string name;
    uint32_t error = 0;
    if (caps(id, &name, &error) && SameName(name, driverName)) return int(id);
  }
  return -1;
}

Destinations PlanDestinations(unsigned count, const CapsQuery& caps, const std::string& driverName,
                              const std::string& wavetableName, const std::string* storedName) {
  Destinations d;
  for (unsigned id = 0; id < kMaxDevices && id < count; ++id) {
    std::string name;
    if (!caps(id, &name, &d.error)) {
      d.failed = true;
      break;
    }
    name.resize(strnlen(name.c_str(), kEntrySize - 1));
    d.names.push_back(name);
    const int position = int(d.names.size()) - 1;
    if (SameName(name, driverName)) d.writes.push_back({Write::BrisaMidiOutDeviceID, id, {}});
    if (storedName) {
      if (SameName(name, *storedName)) d.selection = position;
    } else if (SameName(name, wavetableName)) {
      d.selection = position;
      d.writes.push_back({Write::MidiOutDeviceName, 0, name});
      d.writes.push_back({Write::MidiOutDeviceID, id, {}});
    }
  }
  return d;
}

bool DestinationChanged(int entries, int selection, int* remembered) {
  if (entries <= 0 || selection == *remembered) return false;
  *remembered = selection;
  return true;
}

const std::vector<Shift>& NtLayout() {
  // Group boxes grow upward; the controls inside follow by less the lower they sit.
  static const std::vector<Shift> shifts = {
      {IDC_MODE_GROUP, -40, 0}, {IDC_EFFECTS_GROUP, -40, 0}, {IDC_MODE0, -30, -30},
      {IDC_MODE1, -20, -20},    {IDC_MODE2, -10, -10},        {IDC_REVERB_LABEL, -30, -30},
      {IDC_REVERB, -30, -30},   {IDC_CHORUS_LABEL, -15, -15}, {IDC_CHORUS, -15, -15},
  };
  return shifts;
}

}  // namespace midi
