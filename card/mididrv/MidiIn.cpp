// The MPU-401 input: what the cable brings from the MPU-401 output, in whatever process that
// is, cut into messages on a reader thread and stamped in ms since midiInStart.
#include <atomic>
#include <deque>
#include <mutex>

#include "card/mididrv/Ports.h"

namespace zmidi {

namespace {

struct InPort {
  PortHold hold;
  Client client;
  bool open = false;
  std::atomic<bool> started{false};
  std::atomic<DWORD> startTick{0};
  std::recursive_mutex lock;  // queue and parser; callbacks may add buffers
  std::deque<MIDIHDR*> queue;
  Parser parser;
  bool sysexSkip = false;  // the rest of a SysEx that found no room
  DWORD sysexTime = 0;
  HANDLE quit = nullptr;
  HANDLE thread = nullptr;
};

InPort g_in;

// Hands the oldest buffer back with what it holds.
void ReturnHead(UINT msg, DWORD time) {
  MIDIHDR* h = g_in.queue.front();
  g_in.queue.pop_front();
  h->dwFlags = (h->dwFlags & ~MHDR_INQUEUE) | MHDR_DONE;
  g_in.client.Notify(msg, reinterpret_cast<DWORD_PTR>(h), time);
}

void SysExByte(uint8_t b, bool last, DWORD time) {
  if (b == 0xF0) {
    g_in.sysexSkip = false;
    g_in.sysexTime = time;
  }
  if (g_in.sysexSkip) return;
  if (g_in.queue.empty()) {  // nowhere to put it: the message is lost
    g_in.sysexSkip = true;
    return;
  }
  MIDIHDR* h = g_in.queue.front();
  if (h->dwBytesRecorded >= h->dwBufferLength) {  // too long for the buffer given
    ReturnHead(MIM_LONGERROR, g_in.sysexTime);
    g_in.sysexSkip = true;
    return;
  }
  h->lpData[h->dwBytesRecorded++] = char(b);
  if (last) ReturnHead(MIM_LONGDATA, g_in.sysexTime);
}

void Deliver(const uint8_t* bytes, uint32_t n, DWORD tick) {
  DWORD start = g_in.startTick.load();
  DWORD time = LONG(tick - start) > 0 ? tick - start : 0;
  std::lock_guard<std::recursive_mutex> g(g_in.lock);
  for (uint32_t i = 0; i < n; ++i) {
    Parser::Event ev[2];
    uint32_t k = g_in.parser.Feed(bytes[i], ev);
    for (uint32_t e = 0; e < k; ++e) {
      switch (ev[e].kind) {
        case Parser::kShort: {
          uint8_t b[3] = {uint8_t(ev[e].packed), uint8_t(ev[e].packed >> 8), uint8_t(ev[e].packed >> 16)};
          uint32_t len = ShortLength(b[0]);
          CountBytes(kv22::kMidiMpuIn, len);
          NoteMessage(kv22::kMidiMpuIn, b, len);
          g_in.client.Notify(MIM_DATA, ev[e].packed, time);
          break;
        }
        case Parser::kSysExCut:
          if (!g_in.sysexSkip && !g_in.queue.empty() && g_in.queue.front()->dwBytesRecorded)
            ReturnHead(MIM_LONGERROR, g_in.sysexTime);
          g_in.sysexSkip = false;
          break;
        case Parser::kSysEx:
        case Parser::kSysExEnd:
          CountBytes(kv22::kMidiMpuIn, 1);
          SysExByte(uint8_t(ev[e].packed), ev[e].kind == Parser::kSysExEnd, time);
          break;
        default: break;
      }
    }
  }
}

DWORD WINAPI Reader(void*) {
  LoopRing* ring = Loop();
  HANDLE waits[2] = {g_in.quit, LoopEvent()};
  static uint8_t buf[LoopRing::kMaxRecord];
  for (;;) {
    DWORD w = WaitForMultipleObjects(2, waits, FALSE, 50);
    if (w == WAIT_OBJECT_0) return 0;
    uint32_t tick = 0;
    while (uint32_t n = RingRead(*ring, &tick, buf, sizeof buf)) {
      if (g_in.started.load()) Deliver(buf, n, tick);  // before midiInStart the bytes are lost
    }
  }
}

DWORD GetCaps(MIDIINCAPSW* caps, DWORD_PTR size) {
  if (!caps) return kInvalParam;
  MIDIINCAPSW c{};
  c.wMid = kMidUnmapped;
  c.wPid = kPidUnmapped;
  c.vDriverVersion = 0x0107;
  PutName(c.szPname, MpuName());
  memcpy(caps, &c, size < sizeof c ? size : sizeof c);
  return kNoError;
}

DWORD Open(DWORD_PTR* user, const MIDIOPENDESC* desc, DWORD flags) {
  if (!desc || !user) return kInvalParam;
  if (DWORD r = CheckOpenFlags(flags)) return r;
  if (!Loop() || !LoopEvent()) return MMSYSERR_NOMEM;
  std::lock_guard<std::recursive_mutex> g(g_in.lock);
  if (g_in.open || !g_in.hold.Take("mpu-in")) return kAllocated;
  RingDrop(*Loop());
  g_in.quit = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  g_in.thread = g_in.quit ? CreateThread(nullptr, 0, &Reader, nullptr, 0, nullptr) : nullptr;
  if (!g_in.thread) {
    if (g_in.quit) CloseHandle(g_in.quit);
    g_in.quit = nullptr;
    g_in.hold.Release();
    return MMSYSERR_NOMEM;
  }
  g_in.client.Set(*desc, flags);
  g_in.open = true;
  g_in.started = false;
  g_in.parser = Parser();
  g_in.sysexSkip = false;
  *user = 0;
  StartCardLink();
  g_in.client.Notify(MIM_OPEN);
  return kNoError;
}

DWORD Close() {
  {
    std::lock_guard<std::recursive_mutex> g(g_in.lock);
    if (!g_in.open) return MMSYSERR_INVALHANDLE;
    if (!g_in.queue.empty()) return kStillPlaying;
    g_in.started = false;
  }
  SetEvent(g_in.quit);
  WaitForSingleObject(g_in.thread, 5000);
  CloseHandle(g_in.thread);
  CloseHandle(g_in.quit);
  g_in.thread = g_in.quit = nullptr;
  std::lock_guard<std::recursive_mutex> g(g_in.lock);
  g_in.hold.Release();
  g_in.open = false;
  ReportTraffic();
  g_in.client.Notify(MIM_CLOSE);
  return kNoError;
}

DWORD AddBuffer(MIDIHDR* hdr, DWORD_PTR size) {
  std::lock_guard<std::recursive_mutex> g(g_in.lock);
  if (!g_in.open) return MMSYSERR_INVALHANDLE;
  if (DWORD r = CheckQueue(ViewOf(hdr, size))) return r;
  hdr->dwFlags = (hdr->dwFlags & ~MHDR_DONE) | MHDR_INQUEUE;
  hdr->dwBytesRecorded = 0;
  g_in.queue.push_back(hdr);
  return kNoError;
}

// Stop returns a buffer a SysEx had begun to fill; reset returns them all.
DWORD StopOrReset(bool reset) {
  std::lock_guard<std::recursive_mutex> g(g_in.lock);
  if (!g_in.open) return MMSYSERR_INVALHANDLE;
  g_in.started = false;
  DWORD now = GetTickCount() - g_in.startTick.load();
  if (!g_in.queue.empty() && g_in.queue.front()->dwBytesRecorded) ReturnHead(MIM_LONGDATA, now);
  while (reset && !g_in.queue.empty()) ReturnHead(MIM_LONGDATA, now);
  g_in.parser = Parser();
  g_in.sysexSkip = false;
  return kNoError;
}

}  // namespace

}  // namespace zmidi

extern "C" DWORD WINAPI midMessage(UINT id, UINT msg, DWORD_PTR user, DWORD_PTR p1, DWORD_PTR p2) {
  using namespace zmidi;
  switch (msg) {
    case DRVM_INIT:
    case DRVM_EXIT:
    case DRVM_ENABLE:
    case DRVM_DISABLE: return kNoError;
    case MIDM_GETNUMDEVS: return kInCount;
    default: break;
  }
  if (id >= kInCount) return kBadDeviceId;
  switch (msg) {
    case MIDM_GETDEVCAPS: return GetCaps(reinterpret_cast<MIDIINCAPSW*>(p1), p2);
    case MIDM_OPEN: return Open(reinterpret_cast<DWORD_PTR*>(user), reinterpret_cast<MIDIOPENDESC*>(p1), DWORD(p2));
    case MIDM_CLOSE: return Close();
    case MIDM_ADDBUFFER: return AddBuffer(reinterpret_cast<MIDIHDR*>(p1), p2);
    case MIDM_PREPARE:
    case MIDM_UNPREPARE: return PrepareHeader(msg == MIDM_PREPARE, reinterpret_cast<MIDIHDR*>(p1), p2);
    case MIDM_START: {
      std::lock_guard<std::recursive_mutex> g(g_in.lock);
      if (!g_in.open) return MMSYSERR_INVALHANDLE;
      g_in.startTick = GetTickCount();
      g_in.started = true;
      return kNoError;
    }
    case MIDM_STOP: return StopOrReset(false);
    case MIDM_RESET: return StopOrReset(true);
    default: return kNotSupported;
  }
}
