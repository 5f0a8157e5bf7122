#include <algorithm>

#include "ds_rules.h"
#include "objects.h"
#include "splash.h"

namespace trivox {

const CLSID CLSID_TrivoxDevice = zephra::MakeGuid<CLSID>(zephra::kTrivoxDeviceClsid);

Device::Device() { moduleLock(true); }

Device::~Device() {
  Buffer* primary = m_primary;  // unreferenced, or it would hold the device
  delete primary;
  moduleLock(false);
}

HRESULT Device::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDirectSound)) {
    *ppv = static_cast<IDirectSound*>(this);
    AddRef();
    return S_OK;
  }
  return E_NOINTERFACE;
}

ULONG Device::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&m_ref)); }

ULONG Device::Release() {
  const LONG n = InterlockedDecrement(&m_ref);
  if (n == 0) release();
  return static_cast<ULONG>(std::max<LONG>(n, 0));
}

void Device::holdInternal() { InterlockedIncrement(&m_internal); }

void Device::dropInternal() {
  if (InterlockedDecrement(&m_internal) == 0) release();
}

void Device::release() {
  // Gone once neither the application nor a buffer holds it.
  if (InterlockedCompareExchange(&m_ref, 0, 0) == 0 && InterlockedCompareExchange(&m_internal, 0, 0) == 0 &&
      InterlockedExchange(&m_dying, 1) == 0)
    delete this;
}

void Device::attach(Buffer* b) { m_buffers.push_back(b); }

void Device::detach(Buffer* b) {
  m_buffers.erase(std::remove(m_buffers.begin(), m_buffers.end(), b), m_buffers.end());
  if (b == m_primary) m_primary = nullptr;
}

void Device::commitDeferred() {
  if (m_listenerDeferred) {
    m_listener = m_deferredListener;
    m_listenerDeferred = false;
    applyListener();
  }
  for (Buffer* b : m_buffers) b->commitDeferred();
}

HRESULT Device::Initialize(LPCGUID guid) {
  std::lock_guard<std::mutex> g(m_lock);
  if (m_engine) return DSERR_ALREADYINITIALIZED;
  if (guid && !IsEqualGUID(*guid, GUID_NULL) && !IsEqualGUID(*guid, DSDEVID_DefaultPlayback) &&
      !IsEqualGUID(*guid, DSDEVID_DefaultVoicePlayback))
    return DSERR_NODRIVER;
  std::string why;
  m_engine = Engine::start(moduleDir(), why);
  if (!m_engine) {
    OutputDebugStringA(("Trivox: no output: " + why + "\n").c_str());
    return DSERR_NODRIVER;
  }
  m_deferredListener = m_listener;
  applyListener();
  startSplash(*m_engine);
  return DS_OK;
}

HRESULT Device::SetCooperativeLevel(HWND, DWORD level) {
  std::lock_guard<std::mutex> g(m_lock);
  if (!m_engine) return DSERR_UNINITIALIZED;
  if (level < DSSCL_NORMAL || level > DSSCL_WRITEPRIMARY) return DSERR_INVALIDPARAM;
  m_level = level;
  return DS_OK;
}

HRESULT Device::Compact() {
  std::lock_guard<std::mutex> g(m_lock);
  if (!m_engine) return DSERR_UNINITIALIZED;
  if (m_level < DSSCL_PRIORITY) return DSERR_PRIOLEVELNEEDED;
  return DS_OK;
}

HRESULT Device::GetSpeakerConfig(LPDWORD config) {
  std::lock_guard<std::mutex> g(m_lock);
  if (!m_engine) return DSERR_UNINITIALIZED;
  if (!config) return DSERR_INVALIDPARAM;
  *config = m_speaker;
  return DS_OK;
}

HRESULT Device::SetSpeakerConfig(DWORD config) {
  std::lock_guard<std::mutex> g(m_lock);
  if (!m_engine) return DSERR_UNINITIALIZED;
  m_speaker = config;  // rendering stays binaural: the card drives headphones
  return DS_OK;
}

HRESULT Device::GetCaps(LPDSCAPS caps) {
  std::lock_guard<std::mutex> g(m_lock);
  if (!m_engine) return DSERR_UNINITIALIZED;
  if (!caps || caps->dwSize != sizeof(DSCAPS)) return DSERR_INVALIDPARAM;
  const DWORD size = caps->dwSize;
  ZeroMemory(caps, sizeof *caps);
  caps->dwSize = size;
  caps->dwFlags = DSCAPS_PRIMARYMONO | DSCAPS_PRIMARYSTEREO | DSCAPS_PRIMARY8BIT | DSCAPS_PRIMARY16BIT |
                  DSCAPS_CONTINUOUSRATE | DSCAPS_SECONDARYMONO | DSCAPS_SECONDARYSTEREO | DSCAPS_SECONDARY8BIT |
                  DSCAPS_SECONDARY16BIT;
  caps->dwMinSecondarySampleRate = ds::kMinFrequency;
  caps->dwMaxSecondarySampleRate = ds::kMaxFrequency;
  caps->dwPrimaryBuffers = 1;
  const DWORD used = static_cast<DWORD>(std::count_if(m_buffers.begin(), m_buffers.end(),
                                                      [](Buffer* b) { return !b->primary(); }));
  const DWORD total = kMaxVoices;
  const DWORD freeVoices = used < total ? total - used : 0;
  // The card's engine mixes every buffer: all of them count as hardware.
  caps->dwMaxHwMixingAllBuffers = caps->dwMaxHwMixingStaticBuffers = caps->dwMaxHwMixingStreamingBuffers = total;
  caps->dwFreeHwMixingAllBuffers = caps->dwFreeHwMixingStaticBuffers = caps->dwFreeHwMixingStreamingBuffers = freeVoices;
  caps->dwMaxHw3DAllBuffers = caps->dwMaxHw3DStaticBuffers = caps->dwMaxHw3DStreamingBuffers = total;
  caps->dwFreeHw3DAllBuffers = caps->dwFreeHw3DStaticBuffers = caps->dwFreeHw3DStreamingBuffers = freeVoices;
  return DS_OK;
}

HRESULT Device::CreateSoundBuffer(LPCDSBUFFERDESC desc, LPLPDIRECTSOUNDBUFFER out, IUnknown* outer) {
  if (!out) return DSERR_INVALIDPARAM;
  *out = nullptr;
  if (outer) return DSERR_NOAGGREGATION;
  if (!desc || (desc->dwSize != sizeof(DSBUFFERDESC1) && desc->dwSize != sizeof(DSBUFFERDESC)))
    return DSERR_INVALIDPARAM;
  Buffer* created = nullptr;
  {
    std::lock_guard<std::mutex> g(m_lock);
    if (!m_engine) return DSERR_UNINITIALIZED;
    if (desc->dwFlags & DSBCAPS_PRIMARYBUFFER) {
      if (desc->dwBufferBytes != 0 || desc->lpwfxFormat) return DSERR_INVALIDPARAM;
      if (desc->dwFlags & (DSBCAPS_STATIC | DSBCAPS_CTRLFREQUENCY)) return DSERR_INVALIDPARAM;
      if (m_primary) {
        // One primary buffer per device; asking again hands out the same one.
        m_primary->AddRef();
        *out = m_primary;
        return DS_OK;
      }
      created = new Buffer(this, desc->dwFlags);
      m_primary = created;
    } else {
      if (!desc->lpwfxFormat) return DSERR_INVALIDPARAM;
      const WAVEFORMATEX& w = *desc->lpwfxFormat;
      const HRESULT valid = checkFormat(w);
      if (valid != DS_OK) return valid;
      const ds::PcmFormat f = describe(w);
      if ((desc->dwFlags & DSBCAPS_CTRL3D) && !ds::fitsThreeD(f)) return DSERR_INVALIDPARAM;
      if (desc->dwBufferBytes < ds::kMinBufferBytes || desc->dwBufferBytes > ds::kMaxBufferBytes)
        return DSERR_INVALIDPARAM;
      const DWORD bytes = ds::roundToBlock(desc->dwBufferBytes, w.nBlockAlign);
      const bool unsignedSamples = w.wBitsPerSample == 8 && !ds::isFloat(f);
      std::shared_ptr<std::vector<uint8_t>> data;
      try {
        data = std::make_shared<std::vector<uint8_t>>(bytes, static_cast<uint8_t>(unsignedSamples ? 0x80 : 0));
      } catch (const std::bad_alloc&) {
        return DSERR_OUTOFMEMORY;
      }
      const int voice = m_engine->mixer().addVoice();
      if (voice < 0) return DSERR_ALLOCATED;
      created = new Buffer(this, desc->dwFlags, w, std::move(data), voice);
    }
  }
  *out = created;
  return DS_OK;
}

HRESULT Device::DuplicateSoundBuffer(LPDIRECTSOUNDBUFFER original, LPLPDIRECTSOUNDBUFFER out) {
  if (!out) return DSERR_INVALIDPARAM;
  *out = nullptr;
  if (!original) return DSERR_INVALIDPARAM;
  std::lock_guard<std::mutex> g(m_lock);
  if (!m_engine) return DSERR_UNINITIALIZED;
  // Only our own buffers can share their memory.
  Buffer* src = nullptr;
  for (Buffer* b : m_buffers)
    if (static_cast<IDirectSoundBuffer*>(b) == original) src = b;
  if (!src) return DSERR_INVALIDPARAM;
  if (src->primary()) return DSERR_INVALIDCALL;
  const int voice = m_engine->mixer().addVoice();
  if (voice < 0) return DSERR_ALLOCATED;
  Buffer* dup = new Buffer(this, src->flags(), src->format(), src->data(), voice);
  *out = dup;
  return DS_OK;
}

}  // namespace trivox
