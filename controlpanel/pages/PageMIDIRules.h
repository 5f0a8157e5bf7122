// Rules of the MIDI page that need no window: names as the page holds them, the DOS-box
// destination list and the NT layout. No <windows.h>.
#pragma once
#include <stdint.h>

#include <functional>
#include <string>
#include <vector>

namespace midi {

constexpr unsigned kMaxDevices = 24;     // devices looked at, and entries of the list
constexpr unsigned kNameSize = 64;       // 63 characters and the terminator
constexpr unsigned kEntrySize = 32;      // one entry of the page's destination table

// A registry name as the page holds it. A name that does not fit is refused, so that a
// cut name can never match another device: false, and the caller takes its default.
bool FitName(const char* text, std::string* out);
// Case-sensitive, over at most 64 characters.
bool SameName(const std::string& a, const std::string& b);

// One device's capabilities: true with its product name, false with the error code.
using CapsQuery = std::function<bool(unsigned id, std::string* name, uint32_t* error)>;

// The first MIDI input device named like the card's MPU-401 port; -1 when none.
int FindInputDevice(unsigned count, const CapsQuery& caps, const std::string& driverName);

struct Write {
  enum Value { BrisaMidiOutDeviceID, MidiOutDeviceName, MidiOutDeviceID } value;
  uint32_t number;
  std::string text;
};

struct Destinations {
  std::vector<std::string> names;  // entry k is device k
  int selection = 0;               // position shown
  std::vector<Write> writes;       // made while the list is filled, in this order
  bool failed = false;             // a capabilities query failed and ended the list
  uint32_t error = 0;              // its code
};

// The destination list of the MIDI outputs. storedName is null when "MidiOutDeviceName" is
// absent: the output named like the wavetable is then selected and stored at once.
Destinations PlanDestinations(unsigned count, const CapsQuery& caps, const std::string& driverName,
                              const std::string& wavetableName, const std::string* storedName);

// What the destination change stores, or nothing: the list is empty or the selection is
// the one stored last. *remembered follows the selection.
bool DestinationChanged(int entries, int selection, int* remembered);

// How one control moves in the NT layout, in pixels (negative is up).
struct Shift {
  int id;
  int top;
  int bottom;
};
// The controls that move once the destination group is hidden.
const std::vector<Shift>& NtLayout();

}  // namespace midi
