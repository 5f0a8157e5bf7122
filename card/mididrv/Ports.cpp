#include "card/mididrv/Ports.h"

#include <atomic>
#include <cstddef>
#include <cstring>

#include "shared/settings/Store.h"
#include "shared/names/Names.h"

namespace zmidi {

void Client::Set(const MIDIOPENDESC& desc, DWORD openFlags) {
  handle = desc.hMidi;
  callback = desc.dwCallback;
  instance = desc.dwInstance;
  flags = HIWORD(openFlags & CALLBACK_TYPEMASK);
}

void Client::Notify(UINT msg, DWORD_PTR p1, DWORD_PTR p2) const {
  if (flags != DCB_NULL) DriverCallback(callback, flags, reinterpret_cast<HDRVR>(handle), msg, instance, p1, p2);
}

bool PortHold::Take(const char* suffix) {
  std::string name = std::string("\\\\.\\pipe\\" ZEPHRA_MIDI_PORT_PIPE ".") + suffix;
  // One instance at most: the next CreateNamedPipe fails while this handle lives, in any
  // process, and the hold goes with the process.
  m_pipe = CreateNamedPipeA(name.c_str(), PIPE_ACCESS_INBOUND | FILE_FLAG_FIRST_PIPE_INSTANCE,
                           PIPE_TYPE_BYTE | PIPE_WAIT, 1, 0, 0, 0, nullptr);
  return Held();
}

void PortHold::Release() {
  if (Held()) CloseHandle(m_pipe);
  m_pipe = INVALID_HANDLE_VALUE;
}

namespace {

std::string ReadName(const catalogue::Value& value) {
  settings::Key key(*value.key, KEY_READ, settings::Open::Existing);
  char text[256] = {};
  if (!settings::ReadString(key, value.name, text, sizeof text) || !text[0]) return value.byDefault.text;
  return text;
}

}  // namespace

std::string MpuName() { return ReadName(catalogue::MidiDriverName); }
std::string WavetableName() { return ReadName(catalogue::WavetableDriverName); }

void PutName(WCHAR* dst, const std::string& name) {
  int n = MultiByteToWideChar(CP_ACP, 0, name.c_str(), int(name.size()), dst, MAXPNAMELEN - 1);
  dst[n > 0 ? n : 0] = 0;
}

namespace {

struct LoopMapping {
  HANDLE mapping = nullptr;
  HANDLE event = nullptr;
  LoopRing* ring = nullptr;
  LoopMapping() {
    mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(LoopRing),
                                 ZEPHRA_MIDI_LOOP);
    if (mapping) ring = static_cast<LoopRing*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(LoopRing)));
    event = CreateEventA(nullptr, FALSE, FALSE, ZEPHRA_MIDI_LOOP_EVENT);
  }
  ~LoopMapping() {
    if (ring) UnmapViewOfFile(ring);
    if (mapping) CloseHandle(mapping);
    if (event) CloseHandle(event);
  }
  LoopMapping(const LoopMapping&) = delete;
  LoopMapping& operator=(const LoopMapping&) = delete;
};

LoopMapping& Mapping() {
  static LoopMapping m;
  return m;
}

}  // namespace

LoopRing* Loop() { return Mapping().ring; }
HANDLE LoopEvent() { return Mapping().event; }

static_assert(kHdrMinSize == offsetof(MIDIHDR, dwOffset), "the header's fields up to its offset");

HeaderView ViewOf(const MIDIHDR* hdr, DWORD_PTR size) {
  HeaderView v{};
  v.present = hdr != nullptr;
  v.size = uint32_t(size);
  if (hdr && size >= kHdrMinSize) {
    v.flags = hdr->dwFlags;
    v.hasData = hdr->lpData != nullptr;
    v.length = hdr->dwBufferLength;
  }
  return v;
}

DWORD PrepareHeader(bool prepare, MIDIHDR* hdr, DWORD_PTR size) {
  HeaderView v = ViewOf(hdr, size);
  if (DWORD r = prepare ? CheckPrepare(v) : CheckUnprepare(v)) return r;
  if (prepare) hdr->dwFlags |= MHDR_PREPARED;
  else hdr->dwFlags &= ~MHDR_PREPARED;
  return kNoError;
}

}  // namespace zmidi
