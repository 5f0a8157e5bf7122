#include "BankReaders.h"

namespace zsynth {

LoadResult LoadDls(const uint8_t*, size_t) { return LoadResult{nullptr, "DLS reader not built yet"}; }

}  // namespace zsynth
