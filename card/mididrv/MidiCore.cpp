#include "MidiCore.h"

namespace zmidi {

uint32_t CheckPrepare(const HeaderView& h) {
  if (!h.present || h.size < kHdrMinSize || !h.hasData) return kInvalParam;
  return kNoError;
}

uint32_t CheckUnprepare(const HeaderView& h) {
  if (!h.present || h.size < kHdrMinSize) return kInvalParam;
  if (h.flags & kHdrInQueue) return kStillPlaying;
  return kNoError;
}

uint32_t CheckQueue(const HeaderView& h) {
  if (!h.present || h.size < kHdrMinSize || !h.hasData || h.length == 0) return kInvalParam;
  if (!(h.flags & kHdrPrepared)) return kUnprepared;
  if (h.flags & kHdrInQueue) return kStillPlaying;
  return kNoError;
}

uint32_t CheckOpenFlags(uint32_t flags) {
  switch (flags & 0x00070000u) {
    case 0x00000000u:  // none
    case 0x00010000u:  // window
    case 0x00020000u:  // thread
    case 0x00030000u:  // function
    case 0x00050000u:  // event
      return kNoError;
    default: return kInvalFlag;
  }
}

uint32_t ShortLength(uint8_t status) {
  if (status < 0x80) return 0;
  if (status < 0xF0) return (status & 0xE0) == 0xC0 ? 2 : 3;
  switch (status) {
    case 0xF1:
    case 0xF3: return 2;
    case 0xF2: return 3;
    case 0xF0:
    case 0xF7: return 0;
    default: return 1;  // F4..F6 and the real-time bytes
  }
}

uint32_t UnpackShort(uint32_t packed, uint8_t& running, uint8_t out[3]) {
  const uint8_t b[3] = {uint8_t(packed), uint8_t(packed >> 8), uint8_t(packed >> 16)};
  if (b[0] >= 0x80) {
    uint32_t n = ShortLength(b[0]);
    if (n == 0) return 0;
    if (b[0] < 0xF0) running = b[0];
    else if (b[0] < 0xF8) running = 0;  // system common cancels running status
    for (uint32_t i = 0; i < n; ++i) out[i] = b[i];
    return n;
  }
  if (running == 0) return 0;
  uint32_t n = ShortLength(running) - 1;
  for (uint32_t i = 0; i < n; ++i) out[i] = b[i];
  return n;
}

uint32_t Parser::Feed(uint8_t b, Event out[2]) {
  uint32_t n = 0;
  if (b >= 0xF8) {  // real time: anywhere, changes nothing
    out[n++] = {kShort, b};
    return n;
  }
  if (m_inSysEx && b != 0xF7 && b >= 0x80) {
    m_inSysEx = false;
    out[n++] = {kSysExCut, b};
  }
  if (b == 0xF0) {
    m_inSysEx = true;
    m_running = 0;
    out[n++] = {kSysEx, b};
    return n;
  }
  if (m_inSysEx) {
    if (b == 0xF7) m_inSysEx = false;
    out[n++] = {b == 0xF7 ? kSysExEnd : kSysEx, b};
    return n;
  }
  if (b >= 0x80) {
    m_have = 0;
    uint32_t len = ShortLength(b);
    m_running = len >= 2 ? b : 0;  // a stray F7 or a one-byte message leaves nothing running
    if (len == 1) out[n++] = {kShort, b};
    return n;
  }
  if (m_running == 0) return n;  // stray data byte
  m_data[m_have++] = b;
  uint32_t need = ShortLength(m_running) - 1;
  if (m_have == need) {
    uint32_t packed = m_running | uint32_t(m_data[0]) << 8 | (need > 1 ? uint32_t(m_data[1]) << 16 : 0);
    m_have = 0;
    if (m_running >= 0xF0) m_running = 0;  // system common messages do not run
    out[n++] = {kShort, packed};
  }
  return n;
}

const uint8_t* SysExGather::Take(const Parser::Event& e, uint32_t& size) {
  if (e.kind == Parser::kSysExCut) {
    m_have = 0;
    m_over = false;
    return nullptr;
  }
  if (e.kind != Parser::kSysEx && e.kind != Parser::kSysExEnd) return nullptr;
  if (e.packed == 0xF0) m_have = 0, m_over = false;
  if (m_have < kMaxSysExBytes) {
    m_bytes[m_have++] = uint8_t(e.packed);
  } else {
    m_over = true;
  }
  if (e.kind != Parser::kSysExEnd) return nullptr;
  const bool whole = !m_over;
  size = m_have;
  m_have = 0;
  m_over = false;
  return whole ? m_bytes : nullptr;
}

namespace {

void Put(LoopRing& r, uint32_t pos, const uint8_t* src, uint32_t n) {
  for (uint32_t i = 0; i < n; ++i) r.data[(pos + i) % LoopRing::kSize] = src[i];
}
void Get(const LoopRing& r, uint32_t pos, uint8_t* dst, uint32_t n) {
  for (uint32_t i = 0; i < n; ++i) dst[i] = r.data[(pos + i) % LoopRing::kSize];
}

}  // namespace

bool RingWrite(LoopRing& r, uint32_t tick, const uint8_t* bytes, uint32_t n) {
  if (n == 0 || n > LoopRing::kMaxRecord) return false;
  uint32_t head = r.head.load(std::memory_order_relaxed);
  uint32_t tail = r.tail.load(std::memory_order_acquire);
  if (LoopRing::kSize - (head - tail) < 6 + n) return false;
  const uint8_t hdr[6] = {uint8_t(tick), uint8_t(tick >> 8), uint8_t(tick >> 16), uint8_t(tick >> 24),
                          uint8_t(n), uint8_t(n >> 8)};
  Put(r, head, hdr, 6);
  Put(r, head + 6, bytes, n);
  r.head.store(head + 6 + n, std::memory_order_release);
  return true;
}

uint32_t RingRead(LoopRing& r, uint32_t* tick, uint8_t* out, uint32_t cap) {
  uint32_t tail = r.tail.load(std::memory_order_relaxed);
  uint32_t head = r.head.load(std::memory_order_acquire);
  // A writer never leaves more than the ring outstanding: more means another process wrote
  // the counters, and everything up to the head is dropped.
  if (head - tail > LoopRing::kSize) {
    r.tail.store(head, std::memory_order_release);
    return 0;
  }
  if (head - tail < 6) return 0;
  uint8_t hdr[6];
  Get(r, tail, hdr, 6);
  uint32_t n = uint32_t(hdr[4]) | uint32_t(hdr[5]) << 8;
  if (n == 0 || n > LoopRing::kMaxRecord || head - tail < 6 + n) {  // damaged: start afresh
    r.tail.store(head, std::memory_order_release);
    return 0;
  }
  *tick = uint32_t(hdr[0]) | uint32_t(hdr[1]) << 8 | uint32_t(hdr[2]) << 16 | uint32_t(hdr[3]) << 24;
  Get(r, tail + 6, out, n < cap ? n : cap);
  r.tail.store(tail + 6 + n, std::memory_order_release);
  return n;
}

void RingDrop(LoopRing& r) { r.tail.store(r.head.load(std::memory_order_acquire), std::memory_order_release); }

}  // namespace zmidi
