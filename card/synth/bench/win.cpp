// Our held-voice rows alone, for the Windows builds (no FluidSynth there): run.sh --all sets
// them beside the host's.
//   synth-bench-win SOUNDFONT [REPEATS [SECONDS]]
// Process CPU time under Wine moves in ticks of about 16 ms: runs of a minute of audio keep
// a tick below a few per cent of a run.
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "BankLoad.h"
#include "held.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s SOUNDFONT [REPEATS [SECONDS]]\n", argv[0]);
    return 2;
  }
  const zsynth::LoadResult loaded = zsynth::LoadBankFile(argv[1]);
  if (!loaded.bank) {
    std::fprintf(stderr, "cannot load %s: %s\n", argv[1], loaded.reason.c_str());
    return 1;
  }
  const int repeats = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  const double seconds = argc > 3 ? std::max(1.0, std::atof(argv[3])) : 60.0;
  zsynth::bench::PrintHeldRows(zsynth::bench::MeasureHeld("", loaded.bank, repeats, seconds));
  return 0;
}
