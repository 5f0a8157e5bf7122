#include "SoundProbe.h"

#include <cmath>
#include <complex>

#include "fft.h"
#include "shared/card/CardClient.h"
#include "shared/names/Names.h"

namespace e2e {

namespace {
constexpr double kPi = 3.14159265358979323846;
constexpr int kRate = Capture::kRate;
}  // namespace

TrivoxDevice::TrivoxDevice() {
  if (CoInitialize(nullptr) < 0) return;
  const CLSID clsid = zephra::MakeGuid<CLSID>(zephra::kTrivoxDeviceClsid);
  if (CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_IDirectSound, reinterpret_cast<void**>(&ds_)) != S_OK) {
    ds_ = nullptr;
    return;
  }
  ok_ = ds_->Initialize(nullptr) == DS_OK;
}

TrivoxDevice::~TrivoxDevice() {
  if (source_) source_->Stop();
  if (source3d_) source3d_->Release();
  if (source_) source_->Release();
  if (primary_) primary_->Release();
  if (ds_) ds_->Release();
  CoUninitialize();
}

bool TrivoxDevice::PlayNoise(float x, float z) {
  if (!ok_ || ds_->SetCooperativeLevel(GetDesktopWindow(), DSSCL_PRIORITY) != DS_OK) return false;
  DSBUFFERDESC pd{};
  pd.dwSize = sizeof pd;
  pd.dwFlags = DSBCAPS_PRIMARYBUFFER | DSBCAPS_CTRL3D;
  if (ds_->CreateSoundBuffer(&pd, &primary_, nullptr) != DS_OK || primary_->Play(0, 0, DSBPLAY_LOOPING) != DS_OK)
    return false;
  WAVEFORMATEX f{WAVE_FORMAT_PCM, 1, 48000, 96000, 2, 16, 0};
  DSBUFFERDESC d{};
  d.dwSize = sizeof d;
  d.dwFlags = DSBCAPS_CTRL3D | DSBCAPS_GLOBALFOCUS;
  d.dwBufferBytes = 2 * 48000;
  d.lpwfxFormat = &f;
  if (ds_->CreateSoundBuffer(&d, &source_, nullptr) != DS_OK) return false;
  void* p = nullptr;
  DWORD n = 0;
  if (source_->Lock(0, d.dwBufferBytes, &p, &n, nullptr, nullptr, 0) != DS_OK) return false;
  uint32_t seed = 12345;
  for (short* s = static_cast<short*>(p); s < static_cast<short*>(p) + n / 2; ++s) {
    seed = seed * 1664525u + 1013904223u;
    *s = static_cast<short>((static_cast<int>(seed >> 16) - 32768) / 4);
  }
  source_->Unlock(p, n, nullptr, 0);
  if (source_->QueryInterface(IID_IDirectSound3DBuffer, reinterpret_cast<void**>(&source3d_)) != S_OK) return false;
  return source3d_->SetPosition(x, 0, z, DS3D_IMMEDIATE) == DS_OK && source_->Play(0, 0, DSBPLAY_LOOPING) == DS_OK;
}

Bands MeasureBands(const Capture& capture, const std::vector<double>& edges, int blocks) {
  const long long from = capture.Now();
  Bands b{std::vector<double>(edges.size() - 1), std::vector<double>(edges.size() - 1)};
  if (from < 0 || !capture.WaitPast(from + blocks * kBandFft)) return b;
  const std::vector<short> s = capture.Read(from, from + blocks * kBandFft);
  for (int k = 0; k < blocks; ++k)
    for (int ch = 0; ch < 2; ++ch) {
      trivox::Spectrum x(kBandFft);
      for (size_t i = 0; i < kBandFft; ++i)
        x[i] = s[2 * (k * kBandFft + i) + ch] * (0.5 - 0.5 * std::cos(2 * kPi * i / kBandFft));
      trivox::fft(x);
      for (size_t j = 0; j + 1 < edges.size(); ++j)
        for (size_t i = size_t(edges[j] * kBandFft / kRate); i < size_t(edges[j + 1] * kBandFft / kRate); ++i)
          (ch ? b.right : b.left)[j] += std::norm(x[i]) / blocks;
    }
  return b;
}

double Db(double power) { return 10 * std::log10(power + 1e-12); }

bool CardRequest(uint32_t code, const void* in, DWORD size) {
  HANDLE h = CreateFileA(ZEPHRA_DEVICE_PATH(ZEPHRA_WAVETABLE_NT), GENERIC_READ, FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD got = 0;
  BOOL ok = DeviceIoControl(h, code, const_cast<void*>(in), size, nullptr, 0, &got, nullptr);
  CloseHandle(h);
  return ok != FALSE;
}

bool CardSet(uint32_t code, uint32_t value) { return CardRequest(code, &value, sizeof value); }

kv22::MidiState SynthReport() {
  kv22::CardClient card;
  kv22::MidiState m{};
  if (!card.Open() || !card.GetMidi(m)) m.hasSynth = 0;
  return m;
}

bool WaitForSynth(uint32_t effects, uint32_t reverb, uint32_t mode) {
  return WaitUntil([&] {
    kv22::MidiState m = SynthReport();
    return m.hasSynth && m.synth.effects == effects && m.synth.reverb == reverb && m.synth.mode == mode;
  });
}

std::vector<double> LeftChannel(const Capture& cap, long long from, long long to) {
  std::vector<short> s = cap.Read(from, to);
  std::vector<double> out(s.size() / 2);
  for (size_t i = 0; i < out.size(); ++i) out[i] = s[2 * i];
  return out;
}

double Energy(const std::vector<double>& x) {
  double e = 0;
  for (double v : x) e += v * v;
  return e / (x.empty() ? 1 : x.size());
}

NotePlayer::~NotePlayer() { Close(); }

void NotePlayer::Close() {
  if (out_) midiOutClose(out_);
  out_ = nullptr;
}

bool NotePlayer::Open() {
  if (midiOutOpen(&out_, 0, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR) {
    out_ = nullptr;
    return false;
  }
  // Nothing to hear until the synthesizer has loaded its bank, which it does beside the
  // first open.
  return WaitUntil([] { return SynthReport().hasSynth != 0 && SynthReport().synth.bank[0] != 0; }, 30000);
}

bool NotePlayer::Short(DWORD message) { return out_ && midiOutShortMsg(out_, message) == MMSYSERR_NOERROR; }

NotePlayer::Take NotePlayer::Note(uint8_t program, uint8_t key, int ms) {
  Take t;
  if (!Short(0xC0 | program << 8)) return t;
  const long long from = capture_.Running();
  Short(0x90 | key << 8 | 100 << 16);
  t.on = capture_.WaitForSound(from);
  if (t.on < 0) return t;
  capture_.WaitPast(t.on + kRate * ms / 1000);
  Short(0x80 | key << 8);
  t.off = capture_.Running();
  return t;
}

double NotePlayer::Tail(const Take& t) {
  capture_.WaitPast(t.off + kRate * 7 / 10);
  return Energy(LeftChannel(capture_, t.off + kRate * 15 / 100, t.off + kRate * 65 / 100));
}

}  // namespace e2e
