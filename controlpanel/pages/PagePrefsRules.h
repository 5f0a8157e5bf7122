// Rules of the Preferences page and the About box that need no window. No <windows.h>.
#pragma once
#include <stdint.h>

#include <string>

namespace prefs {

constexpr int kMaxEqPosition = 6;  // "None" and six inputs

// The list position of an input index: index + 1, and "None" (0) for anything the list
// cannot show (below -1, beyond six inputs, or beyond the entries the list has).
int EqListPosition(int32_t inputIndex, int entries);
// The input index the library takes for a list position: "None" is -1.
inline int32_t EqInputIndex(int position) { return position - 1; }
// Names the record holds, whatever count the library reports.
int EqInputsToShow(unsigned reportedCount);
// Copies one name of the library's record, stopping at its zero or at 64 bytes.
std::string EqInputName(const char* name, unsigned size);

// The log-on command: the program directory (ending in "\") and the program's file name.
std::string RunCommand(const char* programDir);

// "%x" of the board id: lower-case hexadecimal, no leading zeros.
std::string BoardIdText(uint16_t boardId);

}  // namespace prefs
