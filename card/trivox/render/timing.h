// The engine's clock. Every block length, queue depth and cursor lead of the
// device object derives from these constants.
#pragma once

#include <cstdint>

namespace trivox {

constexpr uint32_t kMixRate = 48000;  // the engine mixes and plays at this rate
constexpr int kBlockFrames = 240;     // one render block, one wave output block: 5 ms
constexpr int kQueuedBlocks = 6;      // queued at the wave output: 30 ms, rides out a busy second core
// How far a buffer's write cursor leads its play cursor: the next render reads
// up to one block past the play cursor, the second block is the writer's time.
constexpr int kWriteAheadBlocks = 2;  // 10 ms

static_assert(kBlockFrames * 1000 == 5 * kMixRate, "the comments say a block lasts 5 ms");

// Frames of a stream at `rate` that last as long as `blocks` render blocks.
constexpr uint32_t framesInBlocks(uint32_t rate, int blocks) {
  return static_cast<uint32_t>(static_cast<uint64_t>(rate) * static_cast<uint64_t>(blocks) * kBlockFrames / kMixRate);
}

}  // namespace trivox
