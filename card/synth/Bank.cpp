#include "Bank.h"

namespace zsynth {

const Instrument* Bank::find(bool drum, uint8_t msb, uint8_t lsb, uint8_t program) const {
  const Instrument* sameProgram = nullptr;
  const Instrument* standardKit = nullptr;
  for (const Instrument& in : instruments) {
    if (in.drum != drum) continue;
    if (in.program == program) {
      if (in.bankMsb == msb && in.bankLsb == lsb) return &in;
      if (in.bankMsb == 0 && in.bankLsb == 0 && !sameProgram) sameProgram = &in;
    }
    if (drum && in.program == 0 && in.bankMsb == 0 && in.bankLsb == 0 && !standardKit) standardKit = &in;
  }
  return sameProgram ? sameProgram : standardKit;
}

}  // namespace zsynth
