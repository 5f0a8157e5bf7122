// The MIDI driver's decisions, apart from the platform: message lengths, the byte parser of
// the input port, argument checks of the long-message headers, and the loopback ring that
// joins the MPU-401 output to its input across processes.
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>

namespace zmidi {

// Results as the multimedia system numbers them.
enum Result : uint32_t {
  kNoError = 0,
  kBadDeviceId = 2,
  kAllocated = 4,
  kNotSupported = 8,
  kInvalFlag = 10,
  kInvalParam = 11,
  kUnprepared = 64,
  kStillPlaying = 65,
};

// Header flags of a long-message buffer.
constexpr uint32_t kHdrDone = 1, kHdrPrepared = 2, kHdrInQueue = 4;
// A header must reach to its offset field: the fields before it, in this build's layout,
// packed as the multimedia records are (28 bytes on i686, 44 on x86_64).
#pragma pack(push, 1)
struct HeaderHead {
  void* data;
  uint32_t bufferLength;
  uint32_t bytesRecorded;
  uintptr_t user;
  uint32_t flags;
  void* next;
  uintptr_t reserved;
};
#pragma pack(pop)
constexpr uint32_t kHdrMinSize = sizeof(HeaderHead);

// What the checks look at in a caller's header.
struct HeaderView {
  bool present;
  uint32_t size;  // the size the caller gave
  uint32_t flags;
  bool hasData;
  uint32_t length;  // dwBufferLength
};

uint32_t CheckPrepare(const HeaderView& h);
uint32_t CheckUnprepare(const HeaderView& h);
// midiOutLongMsg and midiInAddBuffer.
uint32_t CheckQueue(const HeaderView& h);
// Callback kinds an open accepts (the CALLBACK_TYPEMASK part of the flags).
uint32_t CheckOpenFlags(uint32_t flags);

// Bytes of a short message from its status: 1 to 3; 0 for SysEx, its end and data bytes.
uint32_t ShortLength(uint8_t status);

// The bytes of a packed short message (status | d1 << 8 | d2 << 16). A packed message whose
// first byte is data uses the running status, which channel messages set. Returns the count
// written to out, 0 when there is nothing to send.
uint32_t UnpackShort(uint32_t packed, uint8_t& running, uint8_t out[3]);

// The input port's byte stream cut into messages: short ones (running status and real-time
// bytes inside SysEx included) and SysEx bytes F0 .. F7.
class Parser {
 public:
  enum Kind { kNothing, kShort, kSysEx, kSysExEnd, kSysExCut };
  struct Event {
    Kind kind;
    uint32_t packed;  // kShort: the message; kSysEx/kSysExEnd: the byte
  };
  // Up to two events for one byte (a status that cuts a SysEx short, then its own).
  uint32_t Feed(uint8_t b, Event out[2]);

 private:
  uint8_t m_running = 0;
  uint8_t m_data[2] = {};
  uint32_t m_have = 0;
  bool m_inSysEx = false;
};

// The longest SysEx message, F0 to F7, the synthesizer takes.
constexpr uint32_t kMaxSysExBytes = 2048;

// SysEx bytes from the parser gathered into whole messages. A message longer than
// kMaxSysExBytes is dropped whole: however long a program's stream, the gathering costs
// that much and no more.
class SysExGather {
 public:
  // The event's message when it completes one (size set), else null.
  const uint8_t* Take(const Parser::Event& e, uint32_t& size);

 private:
  uint8_t m_bytes[kMaxSysExBytes];
  uint32_t m_have = 0;
  bool m_over = false;
};

// Single writer, single reader, in memory shared by both processes; all zero is empty.
// Records: 4-byte tick, 2-byte length, the bytes.
struct LoopRing {
  static constexpr uint32_t kSize = 1u << 16;
  static constexpr uint32_t kMaxRecord = 1024;
  std::atomic<uint32_t> head;  // bytes ever written
  std::atomic<uint32_t> tail;  // bytes ever read
  uint8_t data[kSize];
};

// False when the ring has no room for the whole record, or n is 0 or above kMaxRecord.
bool RingWrite(LoopRing& r, uint32_t tick, const uint8_t* bytes, uint32_t n);
// The next record's length (0 when empty); bytes past cap are dropped.
uint32_t RingRead(LoopRing& r, uint32_t* tick, uint8_t* out, uint32_t cap);
// The reader skips what was written before it started listening.
void RingDrop(LoopRing& r);

}  // namespace zmidi
