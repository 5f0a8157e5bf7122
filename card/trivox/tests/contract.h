// The fixture of the DirectSound contract suite: one case runs against the
// platform's DirectSound object and against the Trivox device object.
#pragma once

#include <windows.h>
#include <mmsystem.h>
#include <mmreg.h>
#include <dsound.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "shared/names/Names.h"

namespace contract {

inline const CLSID kTrivox = zephra::MakeGuid<CLSID>(zephra::kTrivoxDeviceClsid);

struct Target {
  const char* name;
  const CLSID* clsid;
  bool trivox;
};
inline const Target kTargets[] = {{"Wine", &CLSID_DirectSound, false}, {"Trivox", &kTrivox, true}};

// Where Wine accepts what DirectSound documents as misuse, Trivox refuses it:
// the expectation holds for Trivox, Wine's answer is noted next to the reason.
inline std::vector<std::string>& differences() {
  static std::vector<std::string> list;
  return list;
}

#define EXPECT_STRICT(call, code, why)                                                                 \
  do {                                                                                                 \
    const HRESULT hr_ = (call);                                                                        \
    if (trivox()) {                                                                                    \
      EXPECT_EQ(hr_, code) << #call;                                                                   \
    } else if (hr_ != (code)) {                                                                        \
      char line_[400];                                                                                 \
      std::snprintf(line_, sizeof line_, "%s: Wine 0x%08lX, Trivox %s: %s", #call,                     \
                    static_cast<unsigned long>(hr_), #code, why);                                      \
      differences().push_back(line_);                                                                  \
    }                                                                                                  \
  } while (0)

template <typename T>
inline void release(T*& p) {
  if (p) p->Release();
  p = nullptr;
}

inline WAVEFORMATEX pcm(WORD ch, DWORD rate, WORD bits) {
  WAVEFORMATEX f = {};
  f.wFormatTag = WAVE_FORMAT_PCM;
  f.nChannels = ch;
  f.nSamplesPerSec = rate;
  f.wBitsPerSample = bits;
  f.nBlockAlign = static_cast<WORD>(ch * bits / 8);
  f.nAvgBytesPerSec = rate * f.nBlockAlign;
  return f;
}

class Contract : public testing::TestWithParam<Target> {
 protected:
  void SetUp() override {
    ASSERT_GE(CoInitialize(nullptr), 0);
    const HRESULT hr = CoCreateInstance(*GetParam().clsid, nullptr, CLSCTX_ALL, IID_IDirectSound,
                                        reinterpret_cast<void**>(&m_ds));
    ASSERT_EQ(hr, S_OK) << GetParam().name << " not created (is it registered, is an audio server up?)";
    ASSERT_NE(m_ds, nullptr);
  }
  void TearDown() override {
    // Reverse order of creation.
    for (auto it = m_made.rbegin(); it != m_made.rend(); ++it) (*it)->Release();
    m_made.clear();
    release(m_ds);
    CoUninitialize();
  }
  bool trivox() const { return GetParam().trivox; }

  void init() {
    ASSERT_EQ(m_ds->Initialize(nullptr), DS_OK);
    ASSERT_EQ(m_ds->SetCooperativeLevel(GetDesktopWindow(), DSSCL_PRIORITY), DS_OK);
  }
  // Kept until TearDown.
  template <typename T>
  T* keep(T* p) {
    if (p) m_made.push_back(p);
    return p;
  }
  IDirectSoundBuffer* primary(DWORD flags = DSBCAPS_PRIMARYBUFFER | DSBCAPS_CTRL3D) {
    DSBUFFERDESC1 d = {};
    d.dwSize = sizeof d;
    d.dwFlags = flags;
    IDirectSoundBuffer* b = nullptr;
    EXPECT_EQ(m_ds->CreateSoundBuffer(reinterpret_cast<DSBUFFERDESC*>(&d), &b, nullptr), DS_OK);
    return keep(b);
  }
  // fmt may be the head of an extensible record: it is passed as it is.
  IDirectSoundBuffer* secondary(DWORD bytes, const WAVEFORMATEX& fmt, DWORD flags = 0x40F2) {
    DSBUFFERDESC1 d = {};
    d.dwSize = sizeof d;
    d.dwFlags = flags;
    d.dwBufferBytes = bytes;
    d.lpwfxFormat = const_cast<WAVEFORMATEX*>(&fmt);
    IDirectSoundBuffer* b = nullptr;
    EXPECT_EQ(m_ds->CreateSoundBuffer(reinterpret_cast<DSBUFFERDESC*>(&d), &b, nullptr), DS_OK);
    return keep(b);
  }
  HRESULT tryCreate(DWORD size, DWORD flags, DWORD bytes, WAVEFORMATEX* fmt) {
    DSBUFFERDESC d = {};
    d.dwSize = size;
    d.dwFlags = flags;
    d.dwBufferBytes = bytes;
    d.lpwfxFormat = fmt;
    IDirectSoundBuffer* b = nullptr;
    const HRESULT hr = m_ds->CreateSoundBuffer(&d, &b, nullptr);
    if (b) b->Release();
    return hr;
  }
  template <typename I>
  I* query(IUnknown* from, REFIID iid) {
    I* p = nullptr;
    if (from->QueryInterface(iid, reinterpret_cast<void**>(&p)) != S_OK) return nullptr;
    return keep(p);
  }
  void fill(IDirectSoundBuffer* b, DWORD bytes, int16_t value) {
    void* p1 = nullptr;
    DWORD n1 = 0;
    ASSERT_EQ(b->Lock(0, bytes, &p1, &n1, nullptr, nullptr, 0), DS_OK);
    int16_t* s = static_cast<int16_t*>(p1);
    for (DWORD i = 0; i < n1 / 2; ++i) s[i] = static_cast<int16_t>(i % 100 < 50 ? value : -value);
    ASSERT_EQ(b->Unlock(p1, n1, nullptr, 0), DS_OK);
  }

  IDirectSound* m_ds = nullptr;
  std::vector<IUnknown*> m_made;
};

}  // namespace contract
