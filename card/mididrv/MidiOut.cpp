// The MIDI outputs: device 0 the wavetable synthesizer, device 1 the MPU-401 port, whose
// bytes go down the loopback cable to the MPU-401 input.
#include <mutex>
#include <vector>

#include "card/mididrv/Ports.h"
#include "card/mididrv/SynthRunner.h"

namespace zmidi {

namespace {

struct OutPort {
  PortHold hold;
  Client client;
  bool open = false;
  uint8_t running = 0;
  Parser parser;  // long buffers to the synthesizer: short messages and SysEx apart
  SysExGather sysex;
};

std::recursive_mutex g_lock;
OutPort g_out[kOutCount];

kv22::MidiPort PortOf(UINT id) { return id == kOutWavetable ? kv22::kMidiWavetable : kv22::kMidiMpuOut; }

DWORD GetCaps(UINT id, MIDIOUTCAPSW* caps, DWORD_PTR size) {
  if (!caps) return kInvalParam;
  MIDIOUTCAPSW c{};
  c.wMid = kMidUnmapped;
  c.wPid = kPidUnmapped;
  c.vDriverVersion = 0x0107;
  c.wChannelMask = 0xFFFF;
  if (id == kOutWavetable) {
    PutName(c.szPname, WavetableName());
    c.wTechnology = MOD_WAVETABLE;
    c.wVoices = 64;
    c.wNotes = 64;
    c.dwSupport = MIDICAPS_VOLUME;
  } else {
    PutName(c.szPname, MpuName());
    c.wTechnology = MOD_MIDIPORT;
  }
  memcpy(caps, &c, size < sizeof c ? size : sizeof c);
  return kNoError;
}

// Bytes of one message to the port.
void Send(UINT id, const uint8_t* b, uint32_t n) {
  if (id == kOutWavetable) {
    OutPort& p = g_out[id];
    zsynth::SynthHost& host = SynthRunner::Get().Host();
    for (uint32_t i = 0; i < n; ++i) {
      Parser::Event ev[2];
      uint32_t k = p.parser.Feed(b[i], ev);
      for (uint32_t e = 0; e < k; ++e) {
        if (ev[e].kind == Parser::kShort) host.postShort(ev[e].packed);
        uint32_t size = 0;
        if (const uint8_t* message = p.sysex.Take(ev[e], size)) host.postSysEx(message, size);
      }
    }
  } else if (LoopRing* ring = Loop()) {
    DWORD tick = GetTickCount();
    for (uint32_t off = 0; off < n; off += LoopRing::kMaxRecord) {
      uint32_t len = n - off < LoopRing::kMaxRecord ? n - off : LoopRing::kMaxRecord;
      RingWrite(*ring, tick, b + off, len);  // a full cable drops, as a real one would overrun
    }
    SetEvent(LoopEvent());
  }
  CountBytes(PortOf(id), n);
  NoteMessage(PortOf(id), b, n);
}

DWORD Open(UINT id, DWORD_PTR* user, const MIDIOPENDESC* desc, DWORD flags) {
  if (!desc || !user) return kInvalParam;
  if (DWORD r = CheckOpenFlags(flags)) return r;
  std::lock_guard<std::recursive_mutex> g(g_lock);
  OutPort& p = g_out[id];
  if (p.open || !p.hold.Take(id == kOutWavetable ? "wavetable" : "mpu-out")) return kAllocated;
  p.client.Set(*desc, flags);
  p.open = true;
  p.running = 0;
  p.parser = Parser();
  p.sysex = SysExGather();
  *user = id;
  StartCardLink();
  if (id == kOutWavetable) {
    SynthRunner::Get().Start();
    WaitSynthReady(5000);
  }
  p.client.Notify(MOM_OPEN);
  return kNoError;
}

DWORD Close(UINT id) {
  std::lock_guard<std::recursive_mutex> g(g_lock);
  OutPort& p = g_out[id];
  if (!p.open) return MMSYSERR_INVALHANDLE;
  if (id == kOutWavetable) SynthRunner::Get().Stop();
  p.hold.Release();
  p.open = false;
  ReportTraffic();
  p.client.Notify(MOM_CLOSE);
  return kNoError;
}

DWORD Short(UINT id, DWORD packed) {
  std::lock_guard<std::recursive_mutex> g(g_lock);
  OutPort& p = g_out[id];
  if (!p.open) return MMSYSERR_INVALHANDLE;
  uint8_t b[3];
  uint32_t n = UnpackShort(packed, p.running, b);
  if (n) Send(id, b, n);
  return kNoError;
}

DWORD Long(UINT id, MIDIHDR* hdr, DWORD_PTR size) {
  std::lock_guard<std::recursive_mutex> g(g_lock);
  OutPort& p = g_out[id];
  if (!p.open) return MMSYSERR_INVALHANDLE;
  if (DWORD r = CheckQueue(ViewOf(hdr, size))) return r;
  Send(id, reinterpret_cast<const uint8_t*>(hdr->lpData), hdr->dwBufferLength);
  p.running = 0;
  hdr->dwFlags = (hdr->dwFlags & ~MHDR_INQUEUE) | MHDR_DONE;
  p.client.Notify(MOM_DONE, reinterpret_cast<DWORD_PTR>(hdr));
  return kNoError;
}

// Every note off, sustain released, on the synthesizer or down the cable.
DWORD Reset(UINT id) {
  std::lock_guard<std::recursive_mutex> g(g_lock);
  OutPort& p = g_out[id];
  if (!p.open) return MMSYSERR_INVALHANDLE;
  p.running = 0;
  if (id == kOutWavetable) {
    SynthRunner::Get().Host().postReset();
    return kNoError;
  }
  for (uint8_t ch = 0; ch < 16; ++ch) {
    const uint8_t sustainOff[3] = {uint8_t(0xB0 | ch), 64, 0};
    const uint8_t notesOff[3] = {uint8_t(0xB0 | ch), 123, 0};
    Send(id, sustainOff, 3);
    Send(id, notesOff, 3);
  }
  return kNoError;
}

DWORD Volume(UINT id, UINT msg, DWORD_PTR p1) {
  if (id != kOutWavetable) return kNotSupported;
  if (msg == MODM_SETVOLUME) {
    SynthRunner::Get().SetVolume(DWORD(p1));
    return kNoError;
  }
  if (!p1) return kInvalParam;
  *reinterpret_cast<DWORD*>(p1) = SynthRunner::Get().Volume();
  return kNoError;
}

}  // namespace

}  // namespace zmidi

extern "C" DWORD WINAPI modMessage(UINT id, UINT msg, DWORD_PTR user, DWORD_PTR p1, DWORD_PTR p2) {
  using namespace zmidi;
  (void)user;
  switch (msg) {
    case DRVM_INIT:
    case DRVM_EXIT:
    case DRVM_ENABLE:
    case DRVM_DISABLE: return kNoError;
    case MODM_GETNUMDEVS: return kOutCount;
    default: break;
  }
  if (id >= kOutCount) return kBadDeviceId;
  switch (msg) {
    case MODM_GETDEVCAPS: return GetCaps(id, reinterpret_cast<MIDIOUTCAPSW*>(p1), p2);
    case MODM_OPEN: return Open(id, reinterpret_cast<DWORD_PTR*>(user), reinterpret_cast<MIDIOPENDESC*>(p1), DWORD(p2));
    case MODM_CLOSE: return Close(id);
    case MODM_DATA: return Short(id, DWORD(p1));
    case MODM_LONGDATA: return Long(id, reinterpret_cast<MIDIHDR*>(p1), p2);
    case MODM_PREPARE:
    case MODM_UNPREPARE: return PrepareHeader(msg == MODM_PREPARE, reinterpret_cast<MIDIHDR*>(p1), p2);
    case MODM_RESET: return Reset(id);
    case MODM_GETVOLUME:
    case MODM_SETVOLUME: return Volume(id, msg, p1);
    default: return kNotSupported;
  }
}
