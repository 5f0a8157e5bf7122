/* Forced into a peer DirectSound test file (gcc -include) by peer-suite.sh:
 * every DirectSound object the file creates is the Trivox device object.
 * PEER_TRIVOX_CLSID is the class id's initializer, taken from Names.h. */
#define COBJMACROS
#include <windows.h>
#include <mmsystem.h>
#include <dsound.h>

static const CLSID peer_trivox_clsid = PEER_TRIVOX_CLSID;

static inline HRESULT peer_co_create(REFCLSID clsid, LPUNKNOWN outer, DWORD context, REFIID iid, LPVOID* out) {
  return CoCreateInstance(IsEqualGUID(clsid, &CLSID_DirectSound) ? &peer_trivox_clsid : clsid, outer, context, iid,
                          out);
}

/* The object is one device: the enumerated device ids stand for it as the
 * default device; the default ids (playback and capture) go to it as given. */
static inline LPCGUID peer_device(LPCGUID guid) {
  if (!guid || IsEqualGUID(guid, &DSDEVID_DefaultPlayback) || IsEqualGUID(guid, &DSDEVID_DefaultVoicePlayback) ||
      IsEqualGUID(guid, &DSDEVID_DefaultCapture) || IsEqualGUID(guid, &DSDEVID_DefaultVoiceCapture))
    return guid;
  return NULL;
}

static HRESULT WINAPI peer_direct_sound_create(LPCGUID guid, LPDIRECTSOUND* out, LPUNKNOWN outer) {
  IDirectSound* ds = NULL;
  HRESULT hr;
  if (!out) return DSERR_INVALIDPARAM;
  *out = NULL;
  if (outer) return DSERR_NOAGGREGATION;
  hr = CoCreateInstance(&peer_trivox_clsid, NULL, CLSCTX_INPROC_SERVER, &IID_IDirectSound, (void**)&ds);
  if (FAILED(hr)) return hr;
  hr = IDirectSound_Initialize(ds, peer_device(guid));
  if (FAILED(hr)) {
    IDirectSound_Release(ds);
    return hr;
  }
  *out = ds;
  return DS_OK;
}

static inline FARPROC peer_get_proc(HMODULE module, LPCSTR name) {
  if (HIWORD(name) && !strcmp(name, "DirectSoundCreate")) return (FARPROC)peer_direct_sound_create;
  return GetProcAddress(module, name);
}

#define CoCreateInstance peer_co_create
#define DirectSoundCreate peer_direct_sound_create
#define GetProcAddress peer_get_proc
