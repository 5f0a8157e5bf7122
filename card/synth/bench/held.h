// Held notes at a fixed count of voices, ours against FluidSynth: the per-voice cost with
// nothing else changing, effects off (like for like) and on.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "Bank.h"

namespace zsynth::bench {

// Microseconds of process CPU per voice per audio second, medians of interleaved runs.
struct HeldRow {
  bool effects;
  unsigned voices;
  double mode0, mode0Baseline, fluid, mode1, fluidLinear;  // FluidSynth's: 0 when not measured
};

// `soundfont` empty: ours alone (a build without FluidSynth).
std::vector<HeldRow> MeasureHeld(const std::string& soundfont, std::shared_ptr<const Bank> bank, int repeats,
                                 double seconds);
void PrintHeldTable(const std::vector<HeldRow>& rows, int repeats, double seconds);
// One line a row, for run.sh to set beside another build's.
void PrintHeldRows(const std::vector<HeldRow>& rows);

}  // namespace zsynth::bench
