// The platform's wave output as a render thread feeds it: stereo 16-bit blocks of one
// length through the wave mapper, headers prepared once, and as many blocks kept queued as
// the user's policy says. The synthesizer's runner and the Trivox engine both play by it.
#pragma once
#include <windows.h>
#include <mmsystem.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace kv22 {

struct WaveQueuePolicy {
  uint32_t blockFrames = 0;
  int minBlocks = 1;  // kept queued at first
  int maxBlocks = 1;  // kept queued at most; as many headers are prepared
  // The depth after a wake-up that found `played` blocks back at `depth`; null keeps minBlocks.
  int (*depthAfter)(int depth, int played) = nullptr;
};

class WaveOutput {
 public:
  static constexpr int kMaxBlocks = 16;

  WaveOutput() = default;
  ~WaveOutput() { close(); }
  WaveOutput(const WaveOutput&) = delete;
  WaveOutput& operator=(const WaveOutput&) = delete;

  // Opens the output with an event of its own to signal returned blocks; false with `why` said.
  bool open(uint32_t rate, const WaveQueuePolicy& policy, std::string& why);
  // Not while the render thread is in one of the calls below.
  void close();

  // The render thread's calls. Besides write() and wait() they make no system call; none
  // takes a lock or allocates.
  // Samples of the next block (blockFrames stereo frames) while the queue is below its
  // depth, null once it is full.
  int16_t* nextBlock();
  // Queues the block nextBlock() gave; false when the output refused it, which then counts
  // as played at the next wait.
  bool write();
  // Waits up to `ms` for the output, then takes back the played blocks and applies the policy.
  void wait(DWORD ms);

  // Any thread.
  int depth() const { return m_depth.load(); }
  void wake();  // ends the render thread's wait at once

 private:
  WaveQueuePolicy m_policy;
  HWAVEOUT m_wave = nullptr;
  HANDLE m_event = nullptr;
  std::vector<int16_t> m_pcm;
  WAVEHDR m_hdr[kMaxBlocks] = {};
  // Render side: headers at the output in queue order, and the spare ones.
  int m_queue[kMaxBlocks] = {}, m_spare[kMaxBlocks] = {};
  int m_head = 0, m_queued = 0, m_spares = 0;
  std::atomic<int> m_depth{0};
};

}  // namespace kv22
