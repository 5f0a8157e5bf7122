// Held notes at a fixed count of voices, ours against FluidSynth: the per-voice cost with
// nothing else changing, effects off (like for like) and on.
#pragma once

#include <memory>
#include <string>

#include "Bank.h"

namespace zsynth::bench {

// Prints the table: `repeats` interleaved runs of `seconds` of audio each, medians.
void PrintHeldTable(const std::string& soundfont, std::shared_ptr<const Bank> bank, int repeats, double seconds);

}  // namespace zsynth::bench
