// libFuzzer target for the measured-HRTF loader: every input is a file on disk, read as the
// Trivox engine reads its data folder. A file that is refused must give the spherical head
// with the reason; one that is taken must give a set the renderer can index safely.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "tools/fuzz/FuzzInputFile.h"

#include "card/trivox/render/hrtf.h"

namespace {

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

// The shape every consumer of a set relies on.
void CheckSet(const trivox::HrtfSet& set) {
  Check(set.taps >= 8 && set.taps <= trivox::kMaxTaps && set.rate > 0);
  Check(set.elevationCount() >= 5 && set.firstFilter.size() == set.azCount.size());
  int filters = 0;
  for (int e = 0; e < set.elevationCount(); ++e) {
    Check(set.azCount[e] >= 1 && set.firstFilter[e] == filters);
    filters += set.azCount[e];
  }
  Check(filters == set.filterCount());
  Check(set.coeffs.size() == static_cast<size_t>(filters) * static_cast<size_t>(set.taps));
  for (float d : set.delays) Check(d >= 0.0f && d <= trivox::kMaxOnsetDelay);
}

void CheckRender(const trivox::HrtfSet& set) {
  float left[trivox::kMaxTaps];
  float right[trivox::kMaxTaps];
  for (float az : {0.0f, 1.3f, 3.1f, -2.0f, 7.0f}) {
    for (float el : {-1.6f, -0.4f, 0.0f, 0.9f, 1.6f}) {
      float dl = -1.0f, dr = -1.0f;
      set.interpolate(az, el, left, right, dl, dr);
      Check(dl >= 0.0f && dl <= trivox::kMaxOnsetDelay && dr >= 0.0f && dr <= trivox::kMaxOnsetDelay);
      for (int i = 0; i < set.taps; ++i) Check(std::isfinite(left[i]) && std::isfinite(right[i]));
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzzfile::Choose("HRTF_FUZZ_TMP", "hrtf_fuzz", ".mhr");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzzfile::Write(data, size);
  std::string note;
  const trivox::HrtfSet set = trivox::loadHrtfOrModel(fuzzfile::Path(), 48000, note);
  CheckSet(set);
  if (set.origin == fuzzfile::Path()) {
    Check(note.empty());
  } else {
    // Refused: the model, and a reason that names the file.
    Check(set.origin == "spherical head model" && note.find(fuzzfile::Path()) != std::string::npos);
  }
  CheckRender(set);
  return 0;
}
