// The contract where programs written against DirectSound found the Trivox
// object wanting: object lifetimes, levels, sizes and the formats it takes.
#include "contract.h"

namespace {

using namespace contract;

constexpr DWORD kQuad = 0x33, kFivePointOne = 0x3F, kSevenPointOne = 0x63F;

WAVEFORMATEXTENSIBLE extensible(WORD ch, WORD bits, bool floating, DWORD mask) {
  WAVEFORMATEXTENSIBLE x = {};
  x.Format = pcm(ch, 48000, bits);
  x.Format.wFormatTag = WAVE_FORMAT_EXTENSIBLE;
  x.Format.cbSize = sizeof x - sizeof x.Format;
  x.Samples.wValidBitsPerSample = bits;
  x.dwChannelMask = mask;
  // KSDATAFORMAT_SUBTYPE_PCM and _IEEE_FLOAT: the format tag inside a fixed GUID.
  x.SubFormat = {static_cast<DWORD>(floating ? WAVE_FORMAT_IEEE_FLOAT : WAVE_FORMAT_PCM), 0x0000, 0x0010,
                 {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
  return x;
}

WAVEFORMATEX floatFormat(WORD ch, DWORD rate) {
  WAVEFORMATEX f = pcm(ch, rate, 32);
  f.wFormatTag = WAVE_FORMAT_IEEE_FLOAT;
  return f;
}

// Whether the Trivox module would unload: every object of it is gone.
HRESULT trivoxUnloadable() {
  HMODULE m = GetModuleHandleA("trivox3d.dll");
  auto can = m ? reinterpret_cast<HRESULT(WINAPI*)()>(reinterpret_cast<void*>(GetProcAddress(m, "DllCanUnloadNow"))) : nullptr;
  return can ? can() : E_FAIL;
}

TEST_P(Contract, PrimaryBufferLivesAsLongAsItsDevice) {
  init();
  DSBUFFERDESC d = {};
  d.dwSize = sizeof d;
  d.dwFlags = DSBCAPS_PRIMARYBUFFER;
  IDirectSoundBuffer* p = nullptr;
  ASSERT_EQ(m_ds->CreateSoundBuffer(&d, &p, nullptr), DS_OK);
  EXPECT_EQ(p->Release(), 0u);
  EXPECT_EQ(p->AddRef(), 1u);
  EXPECT_EQ(p->Release(), 0u);
  EXPECT_EQ(p->Release(), 0u);
  void* none = reinterpret_cast<void*>(1);
  EXPECT_EQ(p->QueryInterface(IID_IDirectSoundNotify, &none), E_NOINTERFACE);
  EXPECT_EQ(none, nullptr);
  IDirectSoundBuffer* again = nullptr;
  ASSERT_EQ(m_ds->CreateSoundBuffer(&d, &again, nullptr), DS_OK);
  EXPECT_EQ(again, p);
  keep(again);
}

// Platform DirectSound takes its buffers down with the device; Trivox keeps
// each object until its own last reference goes, in whatever order.
TEST_P(Contract, TrivoxObjectsOutliveTheDeviceInAnyOrder) {
  if (!trivox()) GTEST_SKIP() << "DirectSound releases every buffer with its device";
  init();
  IDirectSoundBuffer* p = nullptr;
  IDirectSound3DListener* l = nullptr;
  DSBUFFERDESC d = {};
  d.dwSize = sizeof d;
  d.dwFlags = DSBCAPS_PRIMARYBUFFER | DSBCAPS_CTRL3D;
  ASSERT_EQ(m_ds->CreateSoundBuffer(&d, &p, nullptr), DS_OK);
  ASSERT_EQ(p->QueryInterface(IID_IDirectSound3DListener, reinterpret_cast<void**>(&l)), S_OK);
  WAVEFORMATEX f = pcm(1, 22050, 16);
  d.dwFlags = 0x40F2;
  d.dwBufferBytes = 4410;
  d.lpwfxFormat = &f;
  IDirectSoundBuffer* b = nullptr;
  IDirectSound3DBuffer* b3 = nullptr;
  ASSERT_EQ(m_ds->CreateSoundBuffer(&d, &b, nullptr), DS_OK);
  ASSERT_EQ(b->QueryInterface(IID_IDirectSound3DBuffer, reinterpret_cast<void**>(&b3)), S_OK);
  ASSERT_EQ(b->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
  EXPECT_EQ(p->Release(), 1u);  // the listener still holds it
  EXPECT_EQ(m_ds->Release(), 0u);
  m_ds = nullptr;
  EXPECT_EQ(trivoxUnloadable(), S_FALSE);
  EXPECT_EQ(l->SetPosition(1, 0, 0, DS3D_IMMEDIATE), DS_OK);
  EXPECT_EQ(b3->SetPosition(0, 0, 2, DS3D_IMMEDIATE), DS_OK);
  EXPECT_EQ(b->Release(), 1u);  // the 3D view still holds it
  DWORD status = 0;
  D3DVECTOR v = {};
  EXPECT_EQ(b3->GetPosition(&v), DS_OK);
  EXPECT_EQ(v.z, 2.0f);
  EXPECT_EQ(b3->Release(), 0u);
  EXPECT_EQ(l->GetPosition(&v), DS_OK);
  EXPECT_EQ(v.x, 1.0f);
  EXPECT_EQ(p->GetStatus(&status), DS_OK);
  EXPECT_EQ(l->Release(), 0u);
  EXPECT_EQ(trivoxUnloadable(), S_OK);  // the device went with its primary buffer
}

TEST_P(Contract, CompactNeedsThePriorityLevel) {
  ASSERT_EQ(m_ds->Initialize(nullptr), DS_OK);
  ASSERT_EQ(m_ds->SetCooperativeLevel(GetDesktopWindow(), DSSCL_NORMAL), DS_OK);
  EXPECT_EQ(m_ds->Compact(), DSERR_PRIOLEVELNEEDED);
  ASSERT_EQ(m_ds->SetCooperativeLevel(GetDesktopWindow(), DSSCL_PRIORITY), DS_OK);
  EXPECT_EQ(m_ds->Compact(), DS_OK);
}

TEST_P(Contract, DefaultDeviceIdsAreAccepted) {
  EXPECT_EQ(m_ds->Initialize(&DSDEVID_DefaultVoicePlayback), DS_OK);
  IDirectSound* other = nullptr;
  ASSERT_EQ(CoCreateInstance(*GetParam().clsid, nullptr, CLSCTX_ALL, IID_IDirectSound,
                             reinterpret_cast<void**>(&other)),
            S_OK);
  EXPECT_EQ(other->Initialize(&DSDEVID_DefaultPlayback), DS_OK);
  other->Release();
}

TEST_P(Contract, SizesAreWholeBlocksAndThePrimarySizeStays) {
  init();
  IDirectSoundBuffer* s = secondary(44101, pcm(2, 11025, 16));
  ASSERT_NE(s, nullptr);
  DSBCAPS caps = {};
  caps.dwSize = sizeof caps;
  ASSERT_EQ(s->GetCaps(&caps), DS_OK);
  EXPECT_EQ(caps.dwBufferBytes, 44104u);
  IDirectSoundBuffer* p = primary();
  ASSERT_NE(p, nullptr);
  ASSERT_EQ(p->GetCaps(&caps), DS_OK);
  const DWORD before = caps.dwBufferBytes;
  for (const WAVEFORMATEX& f : {pcm(2, 11025, 16), pcm(1, 44100, 8), pcm(2, 48000, 16)}) {
    WAVEFORMATEX w = f;
    ASSERT_EQ(p->SetFormat(&w), DS_OK);
    ASSERT_EQ(p->GetCaps(&caps), DS_OK);
    EXPECT_EQ(caps.dwBufferBytes, before) << w.nSamplesPerSec << " Hz " << w.wBitsPerSample << " bits";
  }
}

TEST_P(Contract, MalformedFormatsAreInvalidArguments) {
  init();
  IDirectSoundBuffer* p = primary();
  ASSERT_NE(p, nullptr);
  void (*const breaks[])(WAVEFORMATEX&) = {
      [](WAVEFORMATEX& f) { f.nChannels = 0; },       [](WAVEFORMATEX& f) { f.wBitsPerSample = 0; },
      [](WAVEFORMATEX& f) { f.wBitsPerSample = 2; },  [](WAVEFORMATEX& f) { f.wBitsPerSample = 12; },
      [](WAVEFORMATEX& f) { f.nSamplesPerSec = 0; },  [](WAVEFORMATEX& f) { f.nBlockAlign = 0; },
      [](WAVEFORMATEX& f) { f.nBlockAlign -= 1; },    [](WAVEFORMATEX& f) { f.nBlockAlign += 1; },
      [](WAVEFORMATEX& f) { f.nAvgBytesPerSec = 0; }};
  int i = 0;
  for (auto brk : breaks) {
    WAVEFORMATEX f = pcm(2, 44100, 16);
    brk(f);
    EXPECT_EQ(p->SetFormat(&f), E_INVALIDARG) << "case " << i;
    EXPECT_STRICT(tryCreate(sizeof(DSBUFFERDESC), 0, 4400, &f), E_INVALIDARG, "a record that contradicts itself");
    ++i;
  }
  // An extensible record that names no subtype.
  WAVEFORMATEXTENSIBLE nameless = extensible(2, 16, false, SPEAKER_FRONT_LEFT | SPEAKER_FRONT_RIGHT);
  nameless.SubFormat = GUID_NULL;
  EXPECT_EQ(tryCreate(sizeof(DSBUFFERDESC), 0, 4400, &nameless.Format), DSERR_INVALIDPARAM);
  // A careless average byte rate is no reason to refuse.
  for (DWORD delta : {1u, 0xFFFFFFFFu}) {
    WAVEFORMATEX f = pcm(2, 44100, 16);
    f.nAvgBytesPerSec += delta;
    EXPECT_EQ(p->SetFormat(&f), DS_OK);
    EXPECT_EQ(tryCreate(sizeof(DSBUFFERDESC), 0, 4400, &f), DS_OK);
  }
}

TEST_P(Contract, WidePcmFloatAndExtensibleFormatsArePlayed) {
  init();
  const DWORD flags = DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLPAN | DSBCAPS_CTRLFREQUENCY;
  // Plain records for wide samples: the platform's DirectSound wants them extensible.
  for (WAVEFORMATEX f : {pcm(2, 44100, 24), pcm(2, 44100, 32), floatFormat(1, 48000), floatFormat(2, 48000)}) {
    EXPECT_STRICT(tryCreate(sizeof(DSBUFFERDESC), flags, 9600, &f), DS_OK, "the mixer decodes every PCM width and float");
  }
  const WAVEFORMATEXTENSIBLE layouts[] = {
      extensible(2, 16, false, SPEAKER_FRONT_LEFT | SPEAKER_FRONT_RIGHT), extensible(1, 24, false, SPEAKER_FRONT_CENTER),
      extensible(2, 32, true, SPEAKER_FRONT_LEFT | SPEAKER_FRONT_RIGHT), extensible(6, 16, false, kFivePointOne),
      extensible(8, 32, true, kSevenPointOne), extensible(4, 8, false, kQuad)};
  for (const WAVEFORMATEXTENSIBLE& x : layouts) {
    WAVEFORMATEXTENSIBLE f = x;
    IDirectSoundBuffer* b = secondary(f.Format.nBlockAlign * 480, f.Format, flags);
    ASSERT_NE(b, nullptr) << f.Format.nChannels << " channels, " << f.Format.wBitsPerSample << " bits";
    WAVEFORMATEXTENSIBLE got = {};
    DWORD written = 0;
    ASSERT_EQ(b->GetFormat(&got.Format, sizeof got, &written), DS_OK);
    EXPECT_EQ(written, sizeof got);
    EXPECT_EQ(got.dwChannelMask, f.dwChannelMask);
    EXPECT_TRUE(IsEqualGUID(got.SubFormat, f.SubFormat));
    ASSERT_EQ(b->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
  }
  // 3D buffers are placed as a point: mono, in any coding.
  WAVEFORMATEXTENSIBLE mono = extensible(1, 32, true, SPEAKER_FRONT_CENTER);
  IDirectSoundBuffer* b = secondary(9600, mono.Format);
  ASSERT_NE(b, nullptr);
  EXPECT_NE(query<IDirectSound3DBuffer>(b, IID_IDirectSound3DBuffer), nullptr);
  WAVEFORMATEXTENSIBLE surround = extensible(6, 16, false, kFivePointOne);
  EXPECT_STRICT(tryCreate(sizeof(DSBUFFERDESC), 0x40F2, 9600, &surround.Format), DSERR_INVALIDPARAM,
                "a 3D buffer has one position");
  // The primary buffer takes an extensible record too.
  IDirectSoundBuffer* p = primary();
  ASSERT_NE(p, nullptr);
  WAVEFORMATEXTENSIBLE out = extensible(2, 16, false, SPEAKER_FRONT_LEFT | SPEAKER_FRONT_RIGHT);
  EXPECT_EQ(p->SetFormat(&out.Format), DS_OK);
  // Still refused: codings the mixer does not know.
  WAVEFORMATEX adpcm = pcm(1, 22050, 16);
  adpcm.wFormatTag = 0x55;
  const HRESULT hr = tryCreate(sizeof(DSBUFFERDESC), flags, 4410, &adpcm);
  EXPECT_LT(hr, 0);
  if (trivox()) {
    EXPECT_EQ(hr, DSERR_BADFORMAT);  // Wine: E_NOTIMPL
  }
}

}  // namespace
