// libFuzzer target for the MIDI loopback ring, which lies in named shared memory that any
// process can write. Honest writes and reads are mixed with another process's writes to
// the counters and the data. While nobody meddles, records come back whole and in order;
// after meddling, the reader gets records no longer than the limit, never reads past its
// buffer, and runs dry within one ring's worth of reads.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <deque>
#include <memory>
#include <vector>

#include "card/mididrv/MidiCore.h"

namespace {

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

struct Record {
  uint32_t tick;
  std::vector<uint8_t> bytes;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto ring = std::make_unique<zmidi::LoopRing>();
  std::memset(static_cast<void*>(ring.get()), 0, sizeof *ring);
  std::deque<Record> model;  // what an honest reader must get, while nobody meddles
  bool meddled = false;
  size_t at = 0;
  auto byte = [&]() -> uint8_t { return at < size ? data[at++] : 0; };
  auto u32 = [&]() { return uint32_t(byte()) | uint32_t(byte()) << 8 | uint32_t(byte()) << 16 | uint32_t(byte()) << 24; };
  std::vector<uint8_t> out(zmidi::LoopRing::kMaxRecord + 1);
  while (at < size) {
    const uint8_t op = byte();
    switch (op % 6) {
      case 0: {  // an honest write of up to 1040 bytes
        const uint32_t n = uint32_t(byte()) * 4 + (op >> 3) % 4 + (byte() & 0x10 ? 1024 - 1023 * (op & 1) : 0);
        std::vector<uint8_t> bytes(n);
        for (uint8_t& b : bytes) b = byte();
        const uint32_t tick = u32();
        if (zmidi::RingWrite(*ring, tick, bytes.data(), n)) model.push_back({tick, bytes});
        break;
      }
      case 1: {  // an honest read into a buffer of the size asked
        const uint32_t cap = (op >> 3) == 31 ? uint32_t(out.size()) : uint32_t(byte()) * 4;
        std::vector<uint8_t> buf(cap);
        uint32_t tick = 0;
        const uint32_t n = zmidi::RingRead(*ring, &tick, buf.data(), cap);
        Check(n <= zmidi::LoopRing::kMaxRecord);
        if (meddled) break;
        if (model.empty()) {
          Check(n == 0);
          break;
        }
        Check(n == model.front().bytes.size() && tick == model.front().tick);
        if (n && cap) Check(std::memcmp(buf.data(), model.front().bytes.data(), n < cap ? n : cap) == 0);
        model.pop_front();
        break;
      }
      case 2:  // another process writes the head or the tail
        (op & 8 ? ring->head : ring->tail).store(op & 16 ? u32() : ring->head.load() + uint32_t(int8_t(byte())) * 97);
        meddled = true;
        break;
      case 3:  // ... or the data
        ring->data[u32() % zmidi::LoopRing::kSize] = byte();
        meddled = true;
        break;
      case 4: {  // the reader drains: at most one ring's worth of records
        uint32_t tick = 0, reads = 0;
        while (zmidi::RingRead(*ring, &tick, out.data(), uint32_t(out.size())) != 0) {
          Check(++reads <= zmidi::LoopRing::kSize / 7);
        }
        model.clear();
        // Empty again: from here the ring is honest. A few meddled bytes short of a header
        // stay until the next write, which the reader then drops to find its step again.
        if (ring->head.load() == ring->tail.load()) meddled = false;
        break;
      }
      default:
        zmidi::RingDrop(*ring);
        model.clear();
        if (ring->head.load() == ring->tail.load()) meddled = false;
        break;
    }
  }
  return 0;
}
