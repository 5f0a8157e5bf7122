// The Trivox device object and its buffers behind the DirectSound interfaces.
#pragma once

#include <windows.h>
#include <mmsystem.h>
#include <dsound.h>

#include <memory>
#include <mutex>
#include <vector>

#include "engine.h"
#include "format.h"
#include "shared/names/Names.h"

namespace trivox {

extern const CLSID CLSID_TrivoxDevice;

void moduleLock(bool add);  // objects alive, for DllCanUnloadNow
const std::wstring& moduleDir();

class Buffer;

class Device final : public IDirectSound {
 public:
  Device();

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE CreateSoundBuffer(LPCDSBUFFERDESC desc, LPLPDIRECTSOUNDBUFFER out, IUnknown* outer) override;
  HRESULT STDMETHODCALLTYPE GetCaps(LPDSCAPS caps) override;
  HRESULT STDMETHODCALLTYPE DuplicateSoundBuffer(LPDIRECTSOUNDBUFFER original, LPLPDIRECTSOUNDBUFFER out) override;
  HRESULT STDMETHODCALLTYPE SetCooperativeLevel(HWND hwnd, DWORD level) override;
  HRESULT STDMETHODCALLTYPE Compact() override;
  HRESULT STDMETHODCALLTYPE GetSpeakerConfig(LPDWORD config) override;
  HRESULT STDMETHODCALLTYPE SetSpeakerConfig(DWORD config) override;
  HRESULT STDMETHODCALLTYPE Initialize(LPCGUID guid) override;

  // For the buffers; all under lock().
  std::mutex& lock() { return m_lock; }
  Engine* engine() { return m_engine.get(); }
  DWORD cooperativeLevel() const { return m_level; }
  void attach(Buffer* b);
  void detach(Buffer* b);
  void holdInternal();
  void dropInternal();
  ListenerState& listener() { return m_listener; }
  ListenerState& deferredListener() { return m_deferredListener; }
  void markListenerDeferred() { m_listenerDeferred = true; }
  void applyListener() { m_engine->mixer().setListener(m_listener); }
  void commitDeferred();  // listener and every buffer

 private:
  ~Device();
  void release();

  LONG m_ref = 1;
  LONG m_internal = 0;  // buffers keep the device's state alive
  LONG m_dying = 0;
  std::mutex m_lock;
  std::shared_ptr<Engine> m_engine;
  DWORD m_level = 0;
  DWORD m_speaker = DSSPEAKER_HEADPHONE;
  Buffer* m_primary = nullptr;
  std::vector<Buffer*> m_buffers;
  ListenerState m_listener;
  ListenerState m_deferredListener;
  bool m_listenerDeferred = false;
};

class Buffer final : public IDirectSoundBuffer {
 public:
  // Secondary: data is shared with duplicates.
  Buffer(Device* device, DWORD flags, const WAVEFORMATEX& fmt, std::shared_ptr<std::vector<uint8_t>> data, int voice);
  // Primary.
  explicit Buffer(Device* device, DWORD flags);

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE GetCaps(LPDSBCAPS caps) override;
  HRESULT STDMETHODCALLTYPE GetCurrentPosition(LPDWORD play, LPDWORD write) override;
  HRESULT STDMETHODCALLTYPE GetFormat(LPWAVEFORMATEX fmt, DWORD size, LPDWORD written) override;
  HRESULT STDMETHODCALLTYPE GetVolume(LPLONG volume) override;
  HRESULT STDMETHODCALLTYPE GetPan(LPLONG pan) override;
  HRESULT STDMETHODCALLTYPE GetFrequency(LPDWORD freq) override;
  HRESULT STDMETHODCALLTYPE GetStatus(LPDWORD status) override;
  HRESULT STDMETHODCALLTYPE Initialize(LPDIRECTSOUND ds, LPCDSBUFFERDESC desc) override;
  HRESULT STDMETHODCALLTYPE Lock(DWORD offset, DWORD bytes, LPVOID* p1, LPDWORD n1, LPVOID* p2, LPDWORD n2,
                                 DWORD flags) override;
  HRESULT STDMETHODCALLTYPE Play(DWORD reserved, DWORD priority, DWORD flags) override;
  HRESULT STDMETHODCALLTYPE SetCurrentPosition(DWORD pos) override;
  HRESULT STDMETHODCALLTYPE SetFormat(LPCWAVEFORMATEX fmt) override;
  HRESULT STDMETHODCALLTYPE SetVolume(LONG volume) override;
  HRESULT STDMETHODCALLTYPE SetPan(LONG pan) override;
  HRESULT STDMETHODCALLTYPE SetFrequency(DWORD freq) override;
  HRESULT STDMETHODCALLTYPE Stop() override;
  HRESULT STDMETHODCALLTYPE Unlock(LPVOID p1, DWORD n1, LPVOID p2, DWORD n2) override;
  HRESULT STDMETHODCALLTYPE Restore() override;

  bool primary() const { return m_primary; }
  DWORD flags() const { return m_flags; }
  const WAVEFORMATEX& format() const { return m_fmt; }
  std::shared_ptr<std::vector<uint8_t>> data() const { return m_data; }
  const VoiceParams& params() const { return m_params; }
  // Under the device lock.
  void commitDeferred();
  bool playing();
  DWORD cursor();  // play position in bytes
  // What Get* reports: settings given with DS3D_DEFERRED show before the commit.
  const Source3D& view() const { return m_hasDeferred ? m_deferred : m_params.source; }

 private:
  friend class Buffer3D;
  friend class Listener3D;
  friend class Device;  // deletes its primary buffer
  ~Buffer();
  ULONG releasePrimary();
  void apply();
  void applyMaster();
  void setLevel(int32_t VoiceParams::*level, LONG value);

  class Buffer3D : public IDirectSound3DBuffer {
   public:
    explicit Buffer3D(Buffer* owner) : m_owner(owner) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override { return m_owner->QueryInterface(riid, ppv); }
    ULONG STDMETHODCALLTYPE AddRef() override { return m_owner->AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return m_owner->Release(); }
    HRESULT STDMETHODCALLTYPE GetAllParameters(LPDS3DBUFFER p) override;
    HRESULT STDMETHODCALLTYPE GetConeAngles(LPDWORD inside, LPDWORD outside) override;
    HRESULT STDMETHODCALLTYPE GetConeOrientation(LPD3DVECTOR v) override;
    HRESULT STDMETHODCALLTYPE GetConeOutsideVolume(LPLONG v) override;
    HRESULT STDMETHODCALLTYPE GetMaxDistance(LPD3DVALUE d) override;
    HRESULT STDMETHODCALLTYPE GetMinDistance(LPD3DVALUE d) override;
    HRESULT STDMETHODCALLTYPE GetMode(LPDWORD mode) override;
    HRESULT STDMETHODCALLTYPE GetPosition(LPD3DVECTOR v) override;
    HRESULT STDMETHODCALLTYPE GetVelocity(LPD3DVECTOR v) override;
    HRESULT STDMETHODCALLTYPE SetAllParameters(LPCDS3DBUFFER p, DWORD apply) override;
    HRESULT STDMETHODCALLTYPE SetConeAngles(DWORD inside, DWORD outside, DWORD apply) override;
    HRESULT STDMETHODCALLTYPE SetConeOrientation(D3DVALUE x, D3DVALUE y, D3DVALUE z, DWORD apply) override;
    HRESULT STDMETHODCALLTYPE SetConeOutsideVolume(LONG v, DWORD apply) override;
    HRESULT STDMETHODCALLTYPE SetMaxDistance(D3DVALUE d, DWORD apply) override;
    HRESULT STDMETHODCALLTYPE SetMinDistance(D3DVALUE d, DWORD apply) override;
    HRESULT STDMETHODCALLTYPE SetMode(DWORD mode, DWORD apply) override;
    HRESULT STDMETHODCALLTYPE SetPosition(D3DVALUE x, D3DVALUE y, D3DVALUE z, DWORD apply) override;
    HRESULT STDMETHODCALLTYPE SetVelocity(D3DVALUE x, D3DVALUE y, D3DVALUE z, DWORD apply) override;

   private:
    template <typename F>
    HRESULT set(DWORD apply, F change);
    Buffer* m_owner;
  };

  class Listener3D : public IDirectSound3DListener {
   public:
    explicit Listener3D(Buffer* owner) : m_owner(owner) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override { return m_owner->QueryInterface(riid, ppv); }
    ULONG STDMETHODCALLTYPE AddRef() override { return m_owner->AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return m_owner->Release(); }
    HRESULT STDMETHODCALLTYPE GetAllParameters(LPDS3DLISTENER p) override;
    HRESULT STDMETHODCALLTYPE GetDistanceFactor(LPD3DVALUE f) override;
    HRESULT STDMETHODCALLTYPE GetDopplerFactor(LPD3DVALUE f) override;
    HRESULT STDMETHODCALLTYPE GetOrientation(LPD3DVECTOR front, LPD3DVECTOR top) override;
    HRESULT STDMETHODCALLTYPE GetPosition(LPD3DVECTOR v) override;
    HRESULT STDMETHODCALLTYPE GetRolloffFactor(LPD3DVALUE f) override;
    HRESULT STDMETHODCALLTYPE GetVelocity(LPD3DVECTOR v) override;
    HRESULT STDMETHODCALLTYPE SetAllParameters(LPCDS3DLISTENER p, DWORD apply) override;
    HRESULT STDMETHODCALLTYPE SetDistanceFactor(D3DVALUE f, DWORD apply) override;
    HRESULT STDMETHODCALLTYPE SetDopplerFactor(D3DVALUE f, DWORD apply) override;
    HRESULT STDMETHODCALLTYPE SetOrientation(D3DVALUE xf, D3DVALUE yf, D3DVALUE zf, D3DVALUE xt, D3DVALUE yt,
                                             D3DVALUE zt, DWORD apply) override;
    HRESULT STDMETHODCALLTYPE SetPosition(D3DVALUE x, D3DVALUE y, D3DVALUE z, DWORD apply) override;
    HRESULT STDMETHODCALLTYPE SetRolloffFactor(D3DVALUE f, DWORD apply) override;
    HRESULT STDMETHODCALLTYPE SetVelocity(D3DVALUE x, D3DVALUE y, D3DVALUE z, DWORD apply) override;
    HRESULT STDMETHODCALLTYPE CommitDeferredSettings() override;

   private:
    template <typename F>
    HRESULT set(DWORD apply, F change);
    Buffer* m_owner;
  };

  LONG m_ref = 1;
  Device* m_device;
  bool m_primary;
  DWORD m_flags;
  WAVEFORMATEXTENSIBLE m_format = {};  // the extensible part only when the application gave one
  WAVEFORMATEX& m_fmt = m_format.Format;
  DWORD m_primaryBytes = 0;  // the output's ring as programs see it, whatever the format
  std::shared_ptr<std::vector<uint8_t>> m_data;
  int m_voice = -1;
  VoiceParams m_params;
  Source3D m_deferred;
  bool m_hasDeferred = false;
  bool m_primaryPlaying = false;
  Buffer3D m_3d{this};
  Listener3D m_listener{this};
};

}  // namespace trivox
