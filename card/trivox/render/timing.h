// The engine's clock. Every block length, queue depth and cursor lead of the
// device object derives from these constants.
#pragma once

#include <cstdint>

namespace trivox {

constexpr uint32_t kMixRate = 48000;  // the engine mixes and plays at this rate
constexpr int kBlockFrames = 240;     // one render block, one wave output block: 5 ms
// Blocks queued at the wave output: 30 ms at first. Less gapped under load (20 ms in 3 capture
// runs of 4, 25 ms in 1 of 4): the platform's own mixing threads run late too, which the engine
// cannot see. The queue grows, up to 40 ms, each time the engine thread comes back late.
constexpr int kQueuedBlocksMin = 6;
constexpr int kQueuedBlocksMax = 8;
// How far a buffer's write cursor leads its play cursor: the next render reads
// up to one block past the play cursor, the second block is the writer's time.
constexpr int kWriteAheadBlocks = 2;  // 10 ms

static_assert(kBlockFrames * 1000 == 5 * kMixRate, "the comments say a block lasts 5 ms");

// The queue depth after a wake-up of the engine thread that found `played` blocks back
// from the output. A thread on time finds one (or the two of one period of the platform's
// mixer); finding all but one of them played means the output nearly ran dry, so one more
// block is kept queued from then on, before a late wake-up becomes a gap.
constexpr int queueDepthAfter(int depth, int played) {
  return (played >= depth - 1 && depth < kQueuedBlocksMax) ? depth + 1 : depth;
}

// Frames of a stream at `rate` that last as long as `blocks` render blocks.
constexpr uint32_t framesInBlocks(uint32_t rate, int blocks) {
  return static_cast<uint32_t>(static_cast<uint64_t>(rate) * static_cast<uint64_t>(blocks) * kBlockFrames / kMixRate);
}

}  // namespace trivox
