#include <algorithm>
#include <cmath>

#include "ds_rules.h"
#include "objects.h"
#include "timing.h"

namespace trivox {
namespace {

// Bytes by which a playing buffer's write cursor leads its play cursor.
DWORD writeAhead(const WAVEFORMATEX& f) { return (framesInBlocks(f.nSamplesPerSec, kWriteAheadBlocks) + 1) * f.nBlockAlign; }

}  // namespace

// The caller holds the device lock.
Buffer::Buffer(Device* device, DWORD flags, const WAVEFORMATEX& fmt, std::shared_ptr<std::vector<uint8_t>> data,
               int voice)
    : m_device(device), m_primary(false), m_flags(flags), m_format(keepFormat(fmt)), m_data(std::move(data)),
      m_voice(voice) {
  moduleLock(true);
  m_device->holdInternal();
  m_device->attach(this);
  m_params.data = m_data->data();
  m_params.bytes = static_cast<uint32_t>(m_data->size());
  m_params.channels = fmt.nChannels;
  m_params.bits = fmt.wBitsPerSample;
  const ds::PcmFormat coding = describe(fmt);
  m_params.floating = ds::isFloat(coding);
  m_params.channelMask = ds::channelMask(coding);
  m_params.frequency = fmt.nSamplesPerSec;
  m_params.is3d = (flags & DSBCAPS_CTRL3D) != 0;
  m_params.source.muteAtMaxDistance = (flags & DSBCAPS_MUTE3DATMAXDISTANCE) != 0;
  m_deferred = m_params.source;
  apply();
}

Buffer::Buffer(Device* device, DWORD flags) : m_device(device), m_primary(true), m_flags(flags) {
  moduleLock(true);
  m_device->holdInternal();
  m_device->attach(this);
  // What the output runs at until SetFormat says otherwise.
  m_fmt.wFormatTag = WAVE_FORMAT_PCM;
  m_fmt.nChannels = 2;
  m_fmt.nSamplesPerSec = 22050;
  m_fmt.wBitsPerSample = 8;
  m_fmt.nBlockAlign = 2;
  m_fmt.nAvgBytesPerSec = 44100;
  m_primaryBytes = m_fmt.nAvgBytesPerSec / 10;
}

Buffer::~Buffer() {
  {
    std::lock_guard<std::mutex> g(m_device->lock());
    // Returns at once; the mixer frees its share of the data after the render has let go.
    if (m_voice >= 0) m_device->engine()->mixer().removeVoice(m_voice, m_data);
    m_device->detach(this);
  }
  if (!m_primary) m_device->dropInternal();  // the device itself deletes its primary buffer
  moduleLock(false);
}

HRESULT Buffer::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDirectSoundBuffer)) {
    *ppv = static_cast<IDirectSoundBuffer*>(this);
  } else if (IsEqualIID(riid, IID_IDirectSound3DBuffer) && !m_primary && (m_flags & DSBCAPS_CTRL3D)) {
    *ppv = static_cast<IDirectSound3DBuffer*>(&m_3d);
  } else if (IsEqualIID(riid, IID_IDirectSound3DListener) && m_primary && (m_flags & DSBCAPS_CTRL3D)) {
    *ppv = static_cast<IDirectSound3DListener*>(&m_listener);
  } else {
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

ULONG Buffer::AddRef() {
  const LONG n = InterlockedIncrement(&m_ref);
  if (m_primary && n == 1) m_device->holdInternal();
  return static_cast<ULONG>(n);
}

ULONG Buffer::Release() {
  if (m_primary) return releasePrimary();
  const LONG n = InterlockedDecrement(&m_ref);
  if (n == 0) delete this;
  return static_cast<ULONG>(std::max<LONG>(n, 0));
}

// The primary buffer is the device's: unreferenced it waits to be handed out
// again, and holds the device only while the application holds it.
ULONG Buffer::releasePrimary() {
  LONG n = m_ref;
  for (;;) {
    if (n <= 0) return 0;
    const LONG seen = InterlockedCompareExchange(&m_ref, n - 1, n);
    if (seen == n) break;
    n = seen;
  }
  if (n == 1) m_device->dropInternal();  // may delete the device and this buffer: touch nothing after
  return static_cast<ULONG>(n - 1);
}

void Buffer::apply() {
  if (m_voice >= 0) m_device->engine()->mixer().setVoice(m_voice, m_params);
}

void Buffer::applyMaster() {
  const float v = millibelsToGain(m_params.volume);
  const float l = m_params.pan > 0 ? millibelsToGain(-m_params.pan) : 1.0f;
  const float r = m_params.pan < 0 ? millibelsToGain(m_params.pan) : 1.0f;
  m_device->engine()->setMasterGain(v * l, v * r);
}

void Buffer::commitDeferred() {
  if (!m_hasDeferred) return;
  m_params.source = m_deferred;
  m_hasDeferred = false;
  apply();
}

DWORD Buffer::cursor() {
  const VoiceStatus s = m_device->engine()->mixer().status(m_voice);
  // A new position counts from the call, before the renderer takes it up.
  const uint32_t frame = s.seekGen == m_params.seekGen ? s.frame : m_params.seekFrame;
  return static_cast<DWORD>(static_cast<uint64_t>(frame) * m_fmt.nBlockAlign % m_data->size());
}

bool Buffer::playing() {
  if (m_primary) return m_primaryPlaying;
  if (!m_params.playing) return false;
  if (m_device->engine()->mixer().status(m_voice).endedGen == m_params.playGen) {
    m_params.playing = false;  // ran to its end
    apply();
    return false;
  }
  return true;
}

HRESULT Buffer::GetCaps(LPDSBCAPS caps) {
  if (!caps || caps->dwSize != sizeof(DSBCAPS)) return DSERR_INVALIDPARAM;
  std::lock_guard<std::mutex> g(m_device->lock());
  caps->dwFlags = m_flags | DSBCAPS_LOCHARDWARE;
  caps->dwBufferBytes = m_primary ? m_primaryBytes : static_cast<DWORD>(m_data->size());
  caps->dwUnlockTransferRate = 0;
  caps->dwPlayCpuOverhead = 0;
  return DS_OK;
}

HRESULT Buffer::GetCurrentPosition(LPDWORD play, LPDWORD write) {
  std::lock_guard<std::mutex> g(m_device->lock());
  DWORD p = 0, w = 0;
  if (m_primary) {
    const DWORD size = m_primaryBytes - m_primaryBytes % m_fmt.nBlockAlign;  // cursors on whole frames
    const uint64_t frames = m_device->engine()->framesQueued() * m_fmt.nSamplesPerSec / kMixRate;
    p = static_cast<DWORD>(frames * m_fmt.nBlockAlign % size);
    w = (p + m_fmt.nBlockAlign * framesInBlocks(m_fmt.nSamplesPerSec, kWriteAheadBlocks)) % size;
  } else {
    const DWORD size = static_cast<DWORD>(m_data->size());
    const bool on = playing();
    p = cursor();
    const DWORD ahead = on ? writeAhead(m_fmt) : 0;
    w = static_cast<DWORD>((static_cast<uint64_t>(p) + ahead) % size);
  }
  if (play) *play = p;
  if (write) *write = w;
  return DS_OK;
}

HRESULT Buffer::GetFormat(LPWAVEFORMATEX fmt, DWORD size, LPDWORD written) {
  std::lock_guard<std::mutex> g(m_device->lock());
  const DWORD full = formatBytes(m_fmt);
  if (!fmt) {
    if (!written) return DSERR_INVALIDPARAM;
    *written = full;
    return DS_OK;
  }
  const DWORD n = std::min(size, full);
  CopyMemory(fmt, &m_fmt, n);
  if (written) *written = n;
  return DS_OK;
}

HRESULT Buffer::GetVolume(LPLONG volume) {
  if (!volume) return DSERR_INVALIDPARAM;
  if (!(m_flags & DSBCAPS_CTRLVOLUME)) return DSERR_CONTROLUNAVAIL;
  std::lock_guard<std::mutex> g(m_device->lock());
  *volume = m_params.volume;
  return DS_OK;
}

HRESULT Buffer::GetPan(LPLONG pan) {
  if (!pan) return DSERR_INVALIDPARAM;
  if (!(m_flags & DSBCAPS_CTRLPAN)) return DSERR_CONTROLUNAVAIL;
  std::lock_guard<std::mutex> g(m_device->lock());
  *pan = m_params.pan;
  return DS_OK;
}

HRESULT Buffer::GetFrequency(LPDWORD freq) {
  if (!freq) return DSERR_INVALIDPARAM;
  if (m_primary || !(m_flags & DSBCAPS_CTRLFREQUENCY)) return DSERR_CONTROLUNAVAIL;
  std::lock_guard<std::mutex> g(m_device->lock());
  *freq = m_params.frequency;
  return DS_OK;
}

HRESULT Buffer::GetStatus(LPDWORD status) {
  if (!status) return DSERR_INVALIDPARAM;
  std::lock_guard<std::mutex> g(m_device->lock());
  DWORD s = 0;
  if (playing()) {
    s = DSBSTATUS_PLAYING | DSBSTATUS_LOCHARDWARE;
    if (m_primary || m_params.looping) s |= DSBSTATUS_LOOPING;
  }
  *status = s;
  return DS_OK;
}

HRESULT Buffer::Initialize(LPDIRECTSOUND, LPCDSBUFFERDESC) { return DSERR_ALREADYINITIALIZED; }

HRESULT Buffer::Lock(DWORD offset, DWORD bytes, LPVOID* p1, LPDWORD n1, LPVOID* p2, LPDWORD n2, DWORD flags) {
  if (!p1 || !n1) return DSERR_INVALIDPARAM;
  *p1 = nullptr;
  *n1 = 0;
  if (p2) *p2 = nullptr;
  if (n2) *n2 = 0;
  if (m_primary) return DSERR_PRIOLEVELNEEDED;  // no DSSCL_WRITEPRIMARY mixing of our own
  std::lock_guard<std::mutex> g(m_device->lock());
  const DWORD size = static_cast<DWORD>(m_data->size());
  if (flags & DSBLOCK_FROMWRITECURSOR) {
    const bool on = playing();
    const DWORD play = cursor();
    offset = static_cast<DWORD>((static_cast<uint64_t>(play) + (on ? writeAhead(m_fmt) : 0)) % size);
  }
  ds::LockRegion r;
  if (!ds::lockRegion(size, offset, bytes, (flags & DSBLOCK_ENTIREBUFFER) != 0, r)) return DSERR_INVALIDPARAM;
  if (r.second && (!p2 || !n2)) return DSERR_INVALIDPARAM;
  *p1 = m_data->data() + r.offset;
  *n1 = r.first;
  if (p2 && n2 && r.second) {
    *p2 = m_data->data();
    *n2 = r.second;
  }
  return DS_OK;
}

HRESULT Buffer::Unlock(LPVOID p1, DWORD n1, LPVOID p2, DWORD n2) {
  if (m_primary) return DSERR_INVALIDCALL;
  std::lock_guard<std::mutex> g(m_device->lock());
  const uint8_t* base = m_data->data();
  const int64_t o1 = p1 ? static_cast<const uint8_t*>(p1) - base : 0;
  const int64_t o2 = p2 ? static_cast<const uint8_t*>(p2) - base : 0;
  if (!p1 || !ds::unlockFits(static_cast<uint32_t>(m_data->size()), o1, n1, o2, n2, p2 != nullptr))
    return DSERR_INVALIDPARAM;
  // The mixer reads the buffer's memory directly: nothing to copy.
  return DS_OK;
}

HRESULT Buffer::Play(DWORD reserved, DWORD priority, DWORD flags) {
  if (reserved != 0) return DSERR_INVALIDPARAM;
  if (priority != 0 && !(m_flags & DSBCAPS_LOCDEFER)) return DSERR_INVALIDPARAM;
  std::lock_guard<std::mutex> g(m_device->lock());
  if (m_primary) {
    if (!(flags & DSBPLAY_LOOPING)) return DSERR_INVALIDPARAM;  // the primary buffer only loops
    m_primaryPlaying = true;
    return DS_OK;
  }
  if (!playing()) {
    m_params.playGen++;
    m_params.playing = true;
  }
  m_params.looping = (flags & DSBPLAY_LOOPING) != 0;
  apply();
  return DS_OK;
}

HRESULT Buffer::Stop() {
  std::lock_guard<std::mutex> g(m_device->lock());
  if (m_primary) {
    m_primaryPlaying = false;  // the output runs on: other applications' mixing never stops
    return DS_OK;
  }
  m_params.playing = false;
  apply();
  return DS_OK;
}

HRESULT Buffer::SetCurrentPosition(DWORD pos) {
  if (m_primary) return DSERR_INVALIDCALL;
  std::lock_guard<std::mutex> g(m_device->lock());
  if (pos >= m_data->size()) return DSERR_INVALIDPARAM;
  m_params.seekFrame = pos / m_fmt.nBlockAlign;
  m_params.seekGen++;
  apply();
  return DS_OK;
}

HRESULT Buffer::SetFormat(LPCWAVEFORMATEX fmt) {
  if (!m_primary) return DSERR_INVALIDCALL;
  if (!fmt) return DSERR_INVALIDPARAM;
  std::lock_guard<std::mutex> g(m_device->lock());
  if (m_device->cooperativeLevel() < DSSCL_PRIORITY) return DSERR_PRIOLEVELNEEDED;
  const HRESULT valid = checkFormat(*fmt);
  if (valid != DS_OK) return valid;
  // Recorded and reported; the engine keeps mixing at 48 kHz float and
  // converts once at the output, which loses nothing.
  m_format = keepFormat(*fmt);
  return DS_OK;
}

HRESULT Buffer::SetVolume(LONG volume) {
  if (!(m_flags & DSBCAPS_CTRLVOLUME)) return DSERR_CONTROLUNAVAIL;
  if (!ds::validVolume(volume)) return DSERR_INVALIDPARAM;
  setLevel(&VoiceParams::volume, volume);
  return DS_OK;
}

HRESULT Buffer::SetPan(LONG pan) {
  if (!(m_flags & DSBCAPS_CTRLPAN)) return DSERR_CONTROLUNAVAIL;
  if (!ds::validPan(pan)) return DSERR_INVALIDPARAM;
  setLevel(&VoiceParams::pan, pan);
  return DS_OK;
}

// Volume and pan of the primary buffer are the whole output's.
void Buffer::setLevel(int32_t VoiceParams::*level, LONG value) {
  std::lock_guard<std::mutex> g(m_device->lock());
  m_params.*level = value;
  if (m_primary) {
    applyMaster();
  } else {
    apply();
  }
}

HRESULT Buffer::SetFrequency(DWORD freq) {
  if (m_primary || !(m_flags & DSBCAPS_CTRLFREQUENCY)) return DSERR_CONTROLUNAVAIL;
  if (!ds::validFrequency(freq)) return DSERR_INVALIDPARAM;
  std::lock_guard<std::mutex> g(m_device->lock());
  m_params.frequency = freq == DSBFREQUENCY_ORIGINAL ? m_fmt.nSamplesPerSec : freq;
  apply();
  return DS_OK;
}

HRESULT Buffer::Restore() { return DS_OK; }

}  // namespace trivox
