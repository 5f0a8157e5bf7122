// One DirectSound contract, run against the platform's DirectSound object and
// against the Trivox device object, with a side-by-side table at the end.
#include <algorithm>
#include <map>

#include "contract.h"

namespace {

using namespace contract;

TEST_P(Contract, IdentityAndReferenceCounts) {
  IUnknown* a = nullptr;
  IUnknown* b = nullptr;
  ASSERT_EQ(m_ds->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&a)), S_OK);
  ASSERT_EQ(m_ds->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&b)), S_OK);
  EXPECT_EQ(a, b);
  // Wine counts IUnknown apart from IDirectSound; Trivox keeps one count per
  // object, which COM allows and which makes Release's answer meaningful.
  const ULONG ra = a->Release(), rb = b->Release();
  if (trivox()) {
    EXPECT_EQ(ra, 2u);
    EXPECT_EQ(rb, 1u);
  }
  void* none = reinterpret_cast<void*>(1);
  EXPECT_EQ(m_ds->QueryInterface(IID_IDirectSoundBuffer, &none), E_NOINTERFACE);
  EXPECT_EQ(none, nullptr);
}

TEST_P(Contract, CallsBeforeInitializeAreRefused) {
  WAVEFORMATEX f = pcm(1, 22050, 16);
  EXPECT_EQ(tryCreate(sizeof(DSBUFFERDESC), 0x40F2, 4410, &f), DSERR_UNINITIALIZED);
  EXPECT_EQ(m_ds->SetCooperativeLevel(GetDesktopWindow(), DSSCL_PRIORITY), DSERR_UNINITIALIZED);
  DSCAPS caps = {};
  caps.dwSize = sizeof caps;
  EXPECT_EQ(m_ds->GetCaps(&caps), DSERR_UNINITIALIZED);
  EXPECT_EQ(m_ds->GetCaps(nullptr), DSERR_UNINITIALIZED);  // the state is told before the argument
  EXPECT_EQ(m_ds->Compact(), DSERR_UNINITIALIZED);
}

TEST_P(Contract, SecondInitializeIsRefused) {
  init();
  EXPECT_EQ(m_ds->Initialize(nullptr), DSERR_ALREADYINITIALIZED);
  EXPECT_EQ(m_ds->Initialize(&GUID_NULL), DSERR_ALREADYINITIALIZED);
}

TEST_P(Contract, CapsAreFilledAndSizeChecked) {
  init();
  DSCAPS caps = {};
  caps.dwSize = sizeof caps - 4;
  EXPECT_EQ(m_ds->GetCaps(&caps), DSERR_INVALIDPARAM);
  caps.dwSize = sizeof caps;
  ASSERT_EQ(m_ds->GetCaps(&caps), DS_OK);
  EXPECT_TRUE(caps.dwFlags & DSCAPS_SECONDARY16BIT);
  EXPECT_LE(caps.dwMinSecondarySampleRate, 22050u);
  EXPECT_GE(caps.dwMaxSecondarySampleRate, 48000u);
  EXPECT_EQ(m_ds->GetCaps(nullptr), DSERR_INVALIDPARAM);
}

TEST_P(Contract, CooperativeLevelRange) {
  ASSERT_EQ(m_ds->Initialize(nullptr), DS_OK);
  EXPECT_EQ(m_ds->SetCooperativeLevel(GetDesktopWindow(), DSSCL_NORMAL), DS_OK);
  EXPECT_EQ(m_ds->SetCooperativeLevel(GetDesktopWindow(), DSSCL_PRIORITY), DS_OK);
  EXPECT_STRICT(m_ds->SetCooperativeLevel(GetDesktopWindow(), 0), DSERR_INVALIDPARAM, "no such level");
  EXPECT_STRICT(m_ds->SetCooperativeLevel(GetDesktopWindow(), 5), DSERR_INVALIDPARAM, "no such level");
}

TEST_P(Contract, PrimaryBufferAsThePlayerUsesIt) {
  init();
  IDirectSoundBuffer* p = primary();
  ASSERT_NE(p, nullptr);
  WAVEFORMATEX f = pcm(2, 22050, 16);
  EXPECT_EQ(p->SetFormat(&f), DS_OK);
  WAVEFORMATEX got = {};
  DWORD written = 0;
  ASSERT_EQ(p->GetFormat(&got, sizeof got, &written), DS_OK);
  EXPECT_EQ(got.nSamplesPerSec, 22050u);
  EXPECT_EQ(got.nChannels, 2);
  EXPECT_EQ(got.wBitsPerSample, 16);
  EXPECT_NE(query<IDirectSound3DListener>(p, IID_IDirectSound3DListener), nullptr);
  EXPECT_EQ(query<IDirectSound3DBuffer>(p, IID_IDirectSound3DBuffer), nullptr);
  EXPECT_EQ(p->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
  DWORD status = 0;
  ASSERT_EQ(p->GetStatus(&status), DS_OK);
  EXPECT_TRUE(status & DSBSTATUS_PLAYING);
  // Asking again hands out the same primary buffer.
  DSBUFFERDESC1 d = {};
  d.dwSize = sizeof d;
  d.dwFlags = DSBCAPS_PRIMARYBUFFER | DSBCAPS_CTRL3D;
  IDirectSoundBuffer* again = nullptr;
  ASSERT_EQ(m_ds->CreateSoundBuffer(reinterpret_cast<DSBUFFERDESC*>(&d), &again, nullptr), DS_OK);
  EXPECT_EQ(again, p);
  keep(again);
  // A primary buffer has no frequency of its own and is no secondary.
  EXPECT_EQ(p->SetFrequency(22050), DSERR_CONTROLUNAVAIL);
  EXPECT_EQ(p->SetCurrentPosition(0), DSERR_INVALIDCALL);
}

TEST_P(Contract, PrimaryWithoutThreeDControlHasNoListener) {
  init();
  IDirectSoundBuffer* p = primary(DSBCAPS_PRIMARYBUFFER);
  ASSERT_NE(p, nullptr);
  IDirectSound3DListener* l = nullptr;
  EXPECT_STRICT(p->QueryInterface(IID_IDirectSound3DListener, reinterpret_cast<void**>(&l)), E_NOINTERFACE,
                "the listener belongs to a primary buffer made with DSBCAPS_CTRL3D");
  keep(l);
}

TEST_P(Contract, SetFormatNeedsPriorityAndAValidFormat) {
  ASSERT_EQ(m_ds->Initialize(nullptr), DS_OK);
  ASSERT_EQ(m_ds->SetCooperativeLevel(GetDesktopWindow(), DSSCL_NORMAL), DS_OK);
  IDirectSoundBuffer* p = primary();
  ASSERT_NE(p, nullptr);
  WAVEFORMATEX f = pcm(2, 22050, 16);
  EXPECT_EQ(p->SetFormat(&f), DSERR_PRIOLEVELNEEDED);
  ASSERT_EQ(m_ds->SetCooperativeLevel(GetDesktopWindow(), DSSCL_PRIORITY), DS_OK);
  EXPECT_EQ(p->SetFormat(nullptr), DSERR_INVALIDPARAM);
  WAVEFORMATEX ok = pcm(1, 44100, 8);
  EXPECT_EQ(p->SetFormat(&ok), DS_OK);
  IDirectSoundBuffer* s = secondary(4410, pcm(1, 22050, 16));
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->SetFormat(&f), DSERR_INVALIDCALL);
}

TEST_P(Contract, BadDescriptionsAreRefused) {
  init();
  WAVEFORMATEX f = pcm(1, 22050, 16);
  EXPECT_EQ(tryCreate(0, 0x40F2, 4410, &f), DSERR_INVALIDPARAM);             // no size
  EXPECT_EQ(tryCreate(sizeof(DSBUFFERDESC), 0x40F2, 4410, nullptr), DSERR_INVALIDPARAM);  // no format
  EXPECT_EQ(tryCreate(sizeof(DSBUFFERDESC), 0x40F2, 0, &f), DSERR_INVALIDPARAM);         // no bytes
  EXPECT_EQ(tryCreate(sizeof(DSBUFFERDESC), 0x40F2, 0x10000000, &f), DSERR_INVALIDPARAM);  // too big
  EXPECT_STRICT(tryCreate(sizeof(DSBUFFERDESC), DSBCAPS_PRIMARYBUFFER, 4410, nullptr), DSERR_INVALIDPARAM,
                "a primary buffer's size is the device's, dwBufferBytes must be 0");
  EXPECT_EQ(tryCreate(sizeof(DSBUFFERDESC), DSBCAPS_PRIMARYBUFFER, 0, &f), DSERR_INVALIDPARAM);
  WAVEFORMATEX bad = f;
  bad.nBlockAlign = 3;
  EXPECT_LT(tryCreate(sizeof(DSBUFFERDESC), 0x40F2, 4410, &bad), 0);
  bad = pcm(1, 22050, 16);
  bad.wFormatTag = 0x55;  // compressed
  EXPECT_LT(tryCreate(sizeof(DSBUFFERDESC), 0x40F2, 4410, &bad), 0);
  DSBUFFERDESC d = {};
  d.dwSize = sizeof d;
  d.dwFlags = 0x40F2;
  d.dwBufferBytes = 4410;
  d.lpwfxFormat = &f;
  EXPECT_EQ(m_ds->CreateSoundBuffer(&d, nullptr, nullptr), DSERR_INVALIDPARAM);
}

TEST_P(Contract, StereoAndEightBitBuffers) {
  init();
  WAVEFORMATEX stereo = pcm(2, 44100, 16);
  EXPECT_STRICT(tryCreate(sizeof(DSBUFFERDESC), 0x40F2, 44100, &stereo), DS_OK,
                "a stereo 3D buffer is placed as its mono downmix");
  EXPECT_EQ(tryCreate(sizeof(DSBUFFERDESC), DSBCAPS_STATIC | DSBCAPS_CTRLVOLUME, 44100, &stereo), DS_OK);
  WAVEFORMATEX eight = pcm(1, 11025, 8);
  EXPECT_EQ(tryCreate(sizeof(DSBUFFERDESC), 0x40F2, 11025, &eight), DS_OK);
}

TEST_P(Contract, LockAndUnlockIncludingTheWrap) {
  init();
  const DWORD size = 8000;
  IDirectSoundBuffer* b = secondary(size, pcm(1, 22050, 16));
  ASSERT_NE(b, nullptr);
  DSBCAPS caps = {};
  caps.dwSize = sizeof caps;
  ASSERT_EQ(b->GetCaps(&caps), DS_OK);
  EXPECT_EQ(caps.dwBufferBytes, size);
  void *p1 = nullptr, *p2 = nullptr;
  DWORD n1 = 0, n2 = 0;
  // The whole buffer from 0, as the player fills it.
  ASSERT_EQ(b->Lock(0, size, &p1, &n1, &p2, &n2, 0), DS_OK);
  EXPECT_EQ(n1, size);
  EXPECT_EQ(n2, 0u);
  void* start = p1;
  ASSERT_EQ(b->Unlock(p1, n1, p2, n2), DS_OK);
  // Across the end: the second block starts at the buffer's start.
  ASSERT_EQ(b->Lock(size - 100, 300, &p1, &n1, &p2, &n2, 0), DS_OK);
  EXPECT_EQ(n1, 100u);
  EXPECT_EQ(n2, 200u);
  EXPECT_EQ(static_cast<char*>(p1), static_cast<char*>(start) + size - 100);
  EXPECT_EQ(p2, start);
  ASSERT_EQ(b->Unlock(p1, n1, p2, n2), DS_OK);
  // Beyond the buffer.
  EXPECT_EQ(b->Lock(size, 10, &p1, &n1, &p2, &n2, 0), DSERR_INVALIDPARAM);
  EXPECT_EQ(b->Lock(0, size + 2, &p1, &n1, &p2, &n2, 0), DSERR_INVALIDPARAM);
  // The whole buffer, whatever the count.
  ASSERT_EQ(b->Lock(0, 0, &p1, &n1, &p2, &n2, DSBLOCK_ENTIREBUFFER), DS_OK);
  EXPECT_EQ(n1, size);
  ASSERT_EQ(b->Unlock(p1, n1, p2, n2), DS_OK);
}

TEST_P(Contract, PlayLoopingAndOnceStopAndStatus) {
  init();
  primary();
  const WAVEFORMATEX f = pcm(1, 22050, 16);
  IDirectSoundBuffer* b = secondary(2205, f);  // 50 ms, and not a whole number of frames
  ASSERT_NE(b, nullptr);
  fill(b, 2205, 3000);
  DWORD status = 0xFFFF;
  ASSERT_EQ(b->GetStatus(&status), DS_OK);
  EXPECT_EQ(status, 0u);
  ASSERT_EQ(b->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
  ASSERT_EQ(b->GetStatus(&status), DS_OK);
  EXPECT_EQ(status & (DSBSTATUS_PLAYING | DSBSTATUS_LOOPING), DWORD(DSBSTATUS_PLAYING | DSBSTATUS_LOOPING));
  Sleep(200);  // several turns of the loop
  ASSERT_EQ(b->GetStatus(&status), DS_OK);
  EXPECT_TRUE(status & DSBSTATUS_PLAYING);
  ASSERT_EQ(b->Stop(), DS_OK);
  ASSERT_EQ(b->GetStatus(&status), DS_OK);
  EXPECT_EQ(status & DSBSTATUS_PLAYING, 0u);
  // Once: it ends by itself.
  ASSERT_EQ(b->SetCurrentPosition(0), DS_OK);
  ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
  ASSERT_EQ(b->GetStatus(&status), DS_OK);
  EXPECT_EQ(status & (DSBSTATUS_PLAYING | DSBSTATUS_LOOPING), DWORD(DSBSTATUS_PLAYING));
  Sleep(400);
  ASSERT_EQ(b->GetStatus(&status), DS_OK);
  EXPECT_EQ(status & DSBSTATUS_PLAYING, 0u);
  EXPECT_STRICT(b->Play(1, 0, 0), DSERR_INVALIDPARAM, "the reserved argument must be 0");
  b->Stop();
}

TEST_P(Contract, PlayCursorMovesWhilePlayingAndStaysWhenStopped) {
  init();
  primary();
  IDirectSoundBuffer* b = secondary(22050 * 2, pcm(1, 22050, 16));  // 1 s
  ASSERT_NE(b, nullptr);
  fill(b, 22050 * 2, 2000);
  DWORD play0 = 1, write0 = 1;
  ASSERT_EQ(b->GetCurrentPosition(&play0, &write0), DS_OK);
  EXPECT_EQ(play0, 0u);
  ASSERT_EQ(b->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
  Sleep(300);
  DWORD play1 = 0, write1 = 0;
  ASSERT_EQ(b->GetCurrentPosition(&play1, &write1), DS_OK);
  EXPECT_GT(play1, 22050u * 2 / 10);  // more than 100 ms in
  EXPECT_LT(play1, 22050u * 2 * 6 / 10);
  ASSERT_EQ(b->Stop(), DS_OK);
  DWORD a = 0, c = 0;
  ASSERT_EQ(b->GetCurrentPosition(&a, nullptr), DS_OK);
  Sleep(100);
  ASSERT_EQ(b->GetCurrentPosition(&c, nullptr), DS_OK);
  EXPECT_EQ(a, c);
  ASSERT_EQ(b->SetCurrentPosition(1000), DS_OK);
  ASSERT_EQ(b->GetCurrentPosition(&a, nullptr), DS_OK);
  EXPECT_EQ(a, 1000u);
  EXPECT_STRICT(b->SetCurrentPosition(22050 * 2), DSERR_INVALIDPARAM, "a position beyond the buffer");
}

TEST_P(Contract, VolumePanFrequencyRangesAndControls) {
  init();
  IDirectSoundBuffer* b = secondary(4410, pcm(1, 22050, 16));
  ASSERT_NE(b, nullptr);
  LONG v = 1;
  ASSERT_EQ(b->GetVolume(&v), DS_OK);
  EXPECT_EQ(v, 0);
  EXPECT_EQ(b->SetVolume(-600), DS_OK);
  ASSERT_EQ(b->GetVolume(&v), DS_OK);
  EXPECT_EQ(v, -600);
  EXPECT_EQ(b->SetVolume(1), DSERR_INVALIDPARAM);
  EXPECT_EQ(b->SetVolume(-10001), DSERR_INVALIDPARAM);
  EXPECT_EQ(b->SetPan(-10000), DS_OK);
  ASSERT_EQ(b->GetPan(&v), DS_OK);
  EXPECT_EQ(v, -10000);
  EXPECT_EQ(b->SetPan(10001), DSERR_INVALIDPARAM);
  DWORD fr = 0;
  ASSERT_EQ(b->GetFrequency(&fr), DS_OK);
  EXPECT_EQ(fr, 22050u);
  EXPECT_EQ(b->SetFrequency(44100), DS_OK);
  ASSERT_EQ(b->GetFrequency(&fr), DS_OK);
  EXPECT_EQ(fr, 44100u);
  EXPECT_EQ(b->SetFrequency(DSBFREQUENCY_ORIGINAL), DS_OK);
  ASSERT_EQ(b->GetFrequency(&fr), DS_OK);
  EXPECT_EQ(fr, 22050u);
  EXPECT_EQ(b->SetFrequency(50), DSERR_INVALIDPARAM);
  // Without the control flags.
  IDirectSoundBuffer* plain = secondary(4410, pcm(1, 22050, 16), DSBCAPS_STATIC);
  ASSERT_NE(plain, nullptr);
  EXPECT_EQ(plain->SetVolume(-100), DSERR_CONTROLUNAVAIL);
  EXPECT_EQ(plain->SetPan(100), DSERR_CONTROLUNAVAIL);
  EXPECT_EQ(plain->SetFrequency(11025), DSERR_CONTROLUNAVAIL);
  EXPECT_EQ(query<IDirectSound3DBuffer>(plain, IID_IDirectSound3DBuffer), nullptr);
}

TEST_P(Contract, ThreeDBufferDefaultsAndImmediateSettings) {
  init();
  IDirectSoundBuffer* b = secondary(4410, pcm(1, 22050, 16));
  ASSERT_NE(b, nullptr);
  IDirectSound3DBuffer* b3 = query<IDirectSound3DBuffer>(b, IID_IDirectSound3DBuffer);
  ASSERT_NE(b3, nullptr);
  DS3DBUFFER all = {};
  all.dwSize = sizeof all;
  ASSERT_EQ(b3->GetAllParameters(&all), DS_OK);
  EXPECT_EQ(all.flMinDistance, DS3D_DEFAULTMINDISTANCE);
  EXPECT_EQ(all.flMaxDistance, DS3D_DEFAULTMAXDISTANCE);
  EXPECT_EQ(all.dwInsideConeAngle, DS3D_DEFAULTCONEANGLE);
  EXPECT_EQ(all.dwOutsideConeAngle, DS3D_DEFAULTCONEANGLE);
  if (trivox()) {
    EXPECT_EQ(all.vConeOrientation.z, 1.0f);  // the documented default; Wine has 0,0,0
  }
  EXPECT_EQ(all.lConeOutsideVolume, DS3D_DEFAULTCONEOUTSIDEVOLUME);
  EXPECT_EQ(all.dwMode, DWORD(DS3DMODE_NORMAL));
  ASSERT_EQ(b3->SetPosition(-2, 0.5f, 1, DS3D_IMMEDIATE), DS_OK);
  ASSERT_EQ(b3->SetVelocity(3, 0, -4, DS3D_IMMEDIATE), DS_OK);
  ASSERT_EQ(b3->SetMinDistance(2, DS3D_IMMEDIATE), DS_OK);
  ASSERT_EQ(b3->SetMaxDistance(50, DS3D_IMMEDIATE), DS_OK);
  ASSERT_EQ(b3->SetConeAngles(90, 180, DS3D_IMMEDIATE), DS_OK);
  ASSERT_EQ(b3->SetConeOrientation(1, 0, 0, DS3D_IMMEDIATE), DS_OK);
  ASSERT_EQ(b3->SetConeOutsideVolume(-2000, DS3D_IMMEDIATE), DS_OK);
  ASSERT_EQ(b3->SetMode(DS3DMODE_HEADRELATIVE, DS3D_IMMEDIATE), DS_OK);
  D3DVECTOR v = {};
  ASSERT_EQ(b3->GetPosition(&v), DS_OK);
  EXPECT_EQ(v.x, -2.0f);
  EXPECT_EQ(v.y, 0.5f);
  ASSERT_EQ(b3->GetVelocity(&v), DS_OK);
  EXPECT_EQ(v.z, -4.0f);
  D3DVALUE d = 0;
  ASSERT_EQ(b3->GetMinDistance(&d), DS_OK);
  EXPECT_EQ(d, 2.0f);
  ASSERT_EQ(b3->GetMaxDistance(&d), DS_OK);
  EXPECT_EQ(d, 50.0f);
  DWORD in = 0, out = 0, mode = 9;
  ASSERT_EQ(b3->GetConeAngles(&in, &out), DS_OK);
  EXPECT_EQ(in, 90u);
  EXPECT_EQ(out, 180u);
  ASSERT_EQ(b3->GetConeOrientation(&v), DS_OK);
  EXPECT_EQ(v.x, 1.0f);
  LONG ov = 0;
  ASSERT_EQ(b3->GetConeOutsideVolume(&ov), DS_OK);
  EXPECT_EQ(ov, -2000);
  ASSERT_EQ(b3->GetMode(&mode), DS_OK);
  EXPECT_EQ(mode, DWORD(DS3DMODE_HEADRELATIVE));
  ASSERT_EQ(b3->SetMode(DS3DMODE_DISABLE, DS3D_IMMEDIATE), DS_OK);
  // Out of range.
  EXPECT_STRICT(b3->SetMode(3, DS3D_IMMEDIATE), DSERR_INVALIDPARAM, "modes are 0..2");
  EXPECT_STRICT(b3->SetConeOutsideVolume(1, DS3D_IMMEDIATE), DSERR_INVALIDPARAM, "volumes are -10000..0");
  EXPECT_STRICT(b3->SetConeAngles(10, 400, DS3D_IMMEDIATE), DSERR_INVALIDPARAM, "angles are 0..360");
  EXPECT_STRICT(b3->SetPosition(0, 0, 0, 2), DSERR_INVALIDPARAM, "apply is immediate or deferred");
}

TEST_P(Contract, DeferredSettingsWaitForTheCommit) {
  init();
  IDirectSoundBuffer* p = primary();
  ASSERT_NE(p, nullptr);
  IDirectSound3DListener* l = query<IDirectSound3DListener>(p, IID_IDirectSound3DListener);
  ASSERT_NE(l, nullptr);
  IDirectSoundBuffer* b = secondary(4410, pcm(1, 22050, 16));
  IDirectSound3DBuffer* b3 = query<IDirectSound3DBuffer>(b, IID_IDirectSound3DBuffer);
  ASSERT_NE(b3, nullptr);
  EXPECT_EQ(b3->SetPosition(5, 0, 0, DS3D_DEFERRED), DS_OK);
  EXPECT_EQ(l->SetRolloffFactor(2, DS3D_DEFERRED), DS_OK);
  EXPECT_EQ(l->CommitDeferredSettings(), DS_OK);
  D3DVECTOR v = {};
  ASSERT_EQ(b3->GetPosition(&v), DS_OK);
  EXPECT_EQ(v.x, 5.0f);
  D3DVALUE r = 0;
  ASSERT_EQ(l->GetRolloffFactor(&r), DS_OK);
  EXPECT_EQ(r, 2.0f);
}

TEST_P(Contract, ListenerDefaultsSettingsAndRanges) {
  init();
  IDirectSoundBuffer* p = primary();
  ASSERT_NE(p, nullptr);
  IDirectSound3DListener* l = query<IDirectSound3DListener>(p, IID_IDirectSound3DListener);
  ASSERT_NE(l, nullptr);
  DS3DLISTENER all = {};
  all.dwSize = sizeof all;
  ASSERT_EQ(l->GetAllParameters(&all), DS_OK);
  EXPECT_EQ(all.flDistanceFactor, DS3D_DEFAULTDISTANCEFACTOR);
  EXPECT_EQ(all.flRolloffFactor, DS3D_DEFAULTROLLOFFFACTOR);
  EXPECT_EQ(all.flDopplerFactor, DS3D_DEFAULTDOPPLERFACTOR);
  EXPECT_EQ(all.vOrientFront.z, 1.0f);
  EXPECT_EQ(all.vOrientTop.y, 1.0f);
  // The player's three calls, in its order.
  EXPECT_EQ(l->SetRolloffFactor(1.0f, DS3D_IMMEDIATE), DS_OK);
  EXPECT_EQ(l->SetDopplerFactor(1.0f, DS3D_IMMEDIATE), DS_OK);
  EXPECT_EQ(l->SetDistanceFactor(1.0f, DS3D_IMMEDIATE), DS_OK);
  EXPECT_EQ(l->SetDopplerFactor(3.5f, DS3D_IMMEDIATE), DS_OK);
  D3DVALUE f = 0;
  ASSERT_EQ(l->GetDopplerFactor(&f), DS_OK);
  EXPECT_EQ(f, 3.5f);
  EXPECT_EQ(l->SetDistanceFactor(0.5f, DS3D_IMMEDIATE), DS_OK);
  ASSERT_EQ(l->GetDistanceFactor(&f), DS_OK);
  EXPECT_EQ(f, 0.5f);
  EXPECT_EQ(l->SetPosition(1, 2, 3, DS3D_IMMEDIATE), DS_OK);
  EXPECT_EQ(l->SetVelocity(0, 0, 1, DS3D_IMMEDIATE), DS_OK);
  EXPECT_EQ(l->SetOrientation(1, 0, 0, 0, 1, 0, DS3D_IMMEDIATE), DS_OK);
  D3DVECTOR front = {}, top = {};
  ASSERT_EQ(l->GetOrientation(&front, &top), DS_OK);
  EXPECT_EQ(front.x, 1.0f);
  EXPECT_EQ(top.y, 1.0f);
  EXPECT_STRICT(l->SetRolloffFactor(10.5f, DS3D_IMMEDIATE), DSERR_INVALIDPARAM, "rolloff is 0..10");
  EXPECT_STRICT(l->SetDopplerFactor(-1.0f, DS3D_IMMEDIATE), DSERR_INVALIDPARAM, "Doppler factor is 0..10");
  EXPECT_STRICT(l->SetDistanceFactor(0.0f, DS3D_IMMEDIATE), DSERR_INVALIDPARAM, "a distance factor must be positive");
}

TEST_P(Contract, ReleaseInReverseOrderOfCreation) {
  init();
  IDirectSoundBuffer* p = primary();
  IDirectSound3DListener* l = nullptr;
  ASSERT_EQ(p->QueryInterface(IID_IDirectSound3DListener, reinterpret_cast<void**>(&l)), S_OK);
  IDirectSoundBuffer* b = secondary(4410, pcm(1, 22050, 16));
  IDirectSound3DBuffer* b3 = nullptr;
  ASSERT_EQ(b->QueryInterface(IID_IDirectSound3DBuffer, reinterpret_cast<void**>(&b3)), S_OK);
  ASSERT_EQ(b->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
  // The player's shutdown order; each object goes when its last reference does.
  b3->Release();
  b->Stop();
  m_made.erase(std::find(m_made.begin(), m_made.end(), b));
  EXPECT_EQ(b->Release(), 0u);
  p->Stop();
  l->Release();
  m_made.erase(std::find(m_made.begin(), m_made.end(), p));
  EXPECT_EQ(p->Release(), 0u);
  EXPECT_EQ(m_ds->Release(), 0u);
  m_ds = nullptr;
}

TEST_P(Contract, DuplicateSharesTheSamples) {
  init();
  IDirectSoundBuffer* b = secondary(4410, pcm(1, 22050, 16));
  ASSERT_NE(b, nullptr);
  fill(b, 4410, 1234);
  IDirectSoundBuffer* dup = nullptr;
  ASSERT_EQ(m_ds->DuplicateSoundBuffer(b, &dup), DS_OK);
  keep(dup);
  void* p1 = nullptr;
  DWORD n1 = 0;
  ASSERT_EQ(dup->Lock(0, 4410, &p1, &n1, nullptr, nullptr, 0), DS_OK);
  EXPECT_EQ(static_cast<int16_t*>(p1)[0], 1234);
  ASSERT_EQ(dup->Unlock(p1, n1, nullptr, 0), DS_OK);
  IDirectSoundBuffer* prim = primary();
  IDirectSoundBuffer* none = nullptr;
  EXPECT_LT(m_ds->DuplicateSoundBuffer(prim, &none), 0);
}

INSTANTIATE_TEST_SUITE_P(Both, Contract, testing::ValuesIn(kTargets),
                         [](const testing::TestParamInfo<Target>& i) { return std::string(i.param.name); });

// Prints each case's outcome for both objects next to each other.
class SideBySide : public testing::EmptyTestEventListener {
 public:
  void OnTestEnd(const testing::TestInfo& t) override {
    std::string name = t.name();
    const size_t slash = name.find('/');
    if (slash != std::string::npos) name = name.substr(0, slash);
    const std::string target = t.value_param() ? (std::string(t.name()).find("Trivox") != std::string::npos ? "Trivox" : "Wine") : "";
    m_rows[name][target] = t.result()->Passed() ? "pass" : "FAIL";
  }
  void OnTestProgramEnd(const testing::UnitTest&) override {
    std::printf("\n%-48s %-6s %-6s\n", "case", "Wine", "Trivox");
    for (const auto& r : m_rows) {
      auto get = [&](const char* k) {
        auto it = r.second.find(k);
        return it == r.second.end() ? std::string("-") : it->second;
      };
      std::printf("%-48s %-6s %-6s\n", r.first.c_str(), get("Wine").c_str(), get("Trivox").c_str());
    }
    std::printf("\nWhere Trivox differs from Wine on purpose (%u):\n", static_cast<unsigned>(differences().size()));
    for (const std::string& d : differences()) std::printf("  %s\n", d.c_str());
  }

 private:
  std::map<std::string, std::map<std::string, std::string>> m_rows;
};

}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  testing::UnitTest::GetInstance()->listeners().Append(new SideBySide);
  return RUN_ALL_TESTS();
}
