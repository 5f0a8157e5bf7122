// The Trivox object heard at the output: records the null sink's monitor
// through waveIn while sources play left, right and ahead, and measures the
// time from a SetPosition to its sound; and the splash chime of a process's
// first device.
#include <windows.h>
#include <mmsystem.h>
#include <mmreg.h>
#include <dsound.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <thread>
#include <atomic>
#include <vector>

#include "shared/names/Names.h"

namespace {

const CLSID kTrivox = zephra::MakeGuid<CLSID>(zephra::kTrivoxDeviceClsid);
constexpr int kRate = 48000;
constexpr int kSeconds = 6;

template <typename T>
void release(T*& p) {
  if (p) p->Release();
  p = nullptr;
}

class Recorder {
 public:
  bool start() {
    WAVEFORMATEX f = {};
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = 2;
    f.nSamplesPerSec = kRate;
    f.wBitsPerSample = 16;
    f.nBlockAlign = 4;
    f.nAvgBytesPerSec = kRate * 4;
    if (waveInOpen(&m_in, WAVE_MAPPER, &f, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR) return false;
    m_data.assign(static_cast<size_t>(kRate) * kSeconds * 2, 0);
    // Blocks of 10 ms, so the recorded count follows time closely.
    const int blocks = kSeconds * 100;
    m_hdr.assign(static_cast<size_t>(blocks), WAVEHDR{});
    for (int i = 0; i < blocks; ++i) {
      WAVEHDR& h = m_hdr[static_cast<size_t>(i)];
      h.lpData = reinterpret_cast<LPSTR>(m_data.data() + static_cast<size_t>(i) * kRate / 100 * 2);
      h.dwBufferLength = kRate / 100 * 4;
      if (waveInPrepareHeader(m_in, &h, sizeof h) != MMSYSERR_NOERROR) return false;
      if (waveInAddBuffer(m_in, &h, sizeof h) != MMSYSERR_NOERROR) return false;
    }
    m_done.assign(m_hdr.size(), 0);
    QueryPerformanceFrequency(&m_freq);
    if (waveInStart(m_in) != MMSYSERR_NOERROR) return false;
    m_watch = std::thread([this] { watch(); });
    return true;
  }
  // Recorded frame that was being captured at performance count `qpc`: from
  // the earliest delivery of any block (delivery only ever comes later than
  // capture, so this errs towards an earlier frame, a longer latency).
  long frameAt(LONGLONG qpc) const {
    double best = 1e300;
    for (size_t i = 0; i < m_done.size(); ++i) {
      if (!m_done[i]) continue;
      const double endFrame = static_cast<double>((i + 1) * (kRate / 100));
      const double t = static_cast<double>(m_done[i]) / static_cast<double>(m_freq.QuadPart);
      best = std::min(best, t - endFrame / kRate);  // time at which frame 0 was captured, at the latest
    }
    return static_cast<long>((static_cast<double>(qpc) / static_cast<double>(m_freq.QuadPart) - best) * kRate);
  }
  // Frames recorded so far.
  long now() {
    MMTIME t = {};
    t.wType = TIME_SAMPLES;
    if (waveInGetPosition(m_in, &t, sizeof t) == MMSYSERR_NOERROR && t.wType == TIME_SAMPLES)
      return static_cast<long>(t.u.sample);
    long done = 0;
    for (const WAVEHDR& h : m_hdr)
      if (h.dwFlags & WHDR_DONE) done += static_cast<long>(h.dwBytesRecorded / 4);
    return done;
  }
  void stop() {
    m_quit.store(true);
    if (m_watch.joinable()) m_watch.join();
    if (!m_in) return;
    waveInReset(m_in);
    for (WAVEHDR& h : m_hdr)
      if (h.dwFlags & WHDR_PREPARED) waveInUnprepareHeader(m_in, &h, sizeof h);
    waveInClose(m_in);
    m_in = nullptr;
  }
  ~Recorder() { stop(); }
  float sample(long frame, int ch) const {
    return m_data[static_cast<size_t>(frame) * 2 + static_cast<size_t>(ch)] / 32768.0f;
  }
  long frames() const { return static_cast<long>(m_data.size() / 2); }
  void save(const char* path) const {
    HANDLE h = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(h, m_data.data(), static_cast<DWORD>(m_data.size() * 2), &written, nullptr);
    CloseHandle(h);
  }

 private:
  void watch() {
    while (!m_quit.load()) {
      LARGE_INTEGER now;
      QueryPerformanceCounter(&now);
      for (size_t i = 0; i < m_hdr.size(); ++i)
        if (!m_done[i] && (m_hdr[i].dwFlags & WHDR_DONE)) m_done[i] = now.QuadPart;
      Sleep(1);
    }
  }
  HWAVEIN m_in = nullptr;
  std::thread m_watch;
  std::atomic<bool> m_quit{false};
  std::vector<LONGLONG> m_done;
  LARGE_INTEGER m_freq = {};
  std::vector<int16_t> m_data;
  std::vector<WAVEHDR> m_hdr;
};

double rmsDb(const Recorder& r, int ch, long from, long to) {
  double e = 1e-20;
  for (long i = from; i < to; ++i) e += static_cast<double>(r.sample(i, ch)) * r.sample(i, ch);
  return 10 * std::log10(e / static_cast<double>(to - from));
}

// Lag in frames of the right channel behind the left (positive: left first).
double lagRightBehindLeft(const Recorder& r, long from, long to) {
  const int maxLag = 60;
  double best = -1e30;
  int bestLag = 0;
  std::vector<double> c(2 * maxLag + 1);
  for (int lag = -maxLag; lag <= maxLag; ++lag) {
    double s = 0;
    for (long i = from + maxLag; i < to - maxLag; ++i) s += static_cast<double>(r.sample(i, 0)) * r.sample(i + lag, 1);
    c[static_cast<size_t>(lag + maxLag)] = s;
    if (s > best) {
      best = s;
      bestLag = lag;
    }
  }
  double frac = 0;
  if (bestLag > -maxLag && bestLag < maxLag) {
    const double a = c[static_cast<size_t>(bestLag + maxLag - 1)], b = c[static_cast<size_t>(bestLag + maxLag)],
                 d = c[static_cast<size_t>(bestLag + maxLag + 1)];
    if (a - 2 * b + d != 0) frac = 0.5 * (a - d) / (a - 2 * b + d);
  }
  return bestLag + frac;
}

std::vector<int16_t> noise(int frames) {
  std::vector<int16_t> s(static_cast<size_t>(frames));
  uint32_t x = 12345;
  for (auto& v : s) {
    x = x * 1664525u + 1013904223u;
    v = static_cast<int16_t>(static_cast<int32_t>(x >> 16) - 32768) / 3;
  }
  return s;
}

struct Target {
  const char* name;
  const CLSID* clsid;
  bool trivox;
};
const Target kTargets[] = {{"Trivox", &kTrivox, true}, {"Wine", &CLSID_DirectSound, false}};

// The sides and the front: levels, the interaural delay, and no gap in the output.
void expectSidesAndFront(Recorder& rec, LONGLONG tRight, LONGLONG tFront, bool trivox) {
  // TRIVOX_CAPTURE_DUMP=path keeps the recording (raw s16le stereo 48 kHz) for a closer look.
  char dump[MAX_PATH];
  if (GetEnvironmentVariableA("TRIVOX_CAPTURE_DUMP", dump, sizeof dump) > 0) rec.save(dump);
  const long toRight = rec.frameAt(tRight), toFront = rec.frameAt(tFront);
  std::printf("[ figures ] moves at frames %ld and %ld of the recording\n", toRight, toFront);
  ASSERT_GT(toRight, 0);
  const long w = kRate * 3 / 10;  // measure 300 ms well inside each segment
  const long aFrom = toRight - w - kRate / 10, bFrom = toFront - w - kRate / 10, cFrom = toFront + kRate / 4;
  const double lA = rmsDb(rec, 0, aFrom, aFrom + w), rA = rmsDb(rec, 1, aFrom, aFrom + w);
  const double lB = rmsDb(rec, 0, bFrom, bFrom + w), rB = rmsDb(rec, 1, bFrom, bFrom + w);
  const double lC = rmsDb(rec, 0, cFrom, cFrom + w), rC = rmsDb(rec, 1, cFrom, cFrom + w);
  const double lagA = lagRightBehindLeft(rec, aFrom, aFrom + w);
  const double lagB = lagRightBehindLeft(rec, bFrom, bFrom + w);
  const double lagC = lagRightBehindLeft(rec, cFrom, cFrom + w);
  std::printf("[ figures ] (-2,0,0): L %.1f dB  R %.1f dB  right behind left by %.1f us\n", lA, rA, lagA / kRate * 1e6);
  std::printf("[ figures ] ( 2,0,0): L %.1f dB  R %.1f dB  right behind left by %.1f us\n", lB, rB, lagB / kRate * 1e6);
  std::printf("[ figures ] ( 0,0,2): L %.1f dB  R %.1f dB  right behind left by %.1f us\n", lC, rC, lagC / kRate * 1e6);
  EXPECT_GT(lA, -60.0) << "nothing recorded";
  EXPECT_GT(lA - rA, 6.0);
  EXPECT_GT(rB - lB, 6.0);
  EXPECT_NEAR(lC, rC, 1.0);
  if (trivox) {
    EXPECT_GT(lagA, 10.0);  // left first, by the head's width
    EXPECT_LT(lagB, -10.0);
    EXPECT_NEAR(lagC, 0.0, 2.0);
  }

  // The output never ran dry: no 2.5 ms stretch of the looping noise fell silent.
  {
    const long step = kRate / 400;
    double quietest = 0;
    for (long t = aFrom; t + step < cFrom + w; t += step)
      quietest = std::min(quietest, std::max(rmsDb(rec, 0, t, t + step), rmsDb(rec, 1, t, t + step)) - lC);
    std::printf("[ figures ] quietest 2.5 ms while playing: %.1f dB below the front level\n", -quietest);
    // Wine's own object is the reference for levels and latency, not ours to hold to this.
    if (trivox) {
      EXPECT_GT(quietest, -20.0) << "a gap in the output";
    }
  }
}

// Latency: from the call to the start of the near ear's rise, for each jump.
void reportLatency(Recorder& rec, const std::vector<std::pair<LONGLONG, int>>& jumps, bool trivox) {
  // The rise is a glide, so its start is found by a line through the 25 % and 75 % points
  // of the amplitude's change, taken back to where it leaves the old level.
  const long win = kRate / 200, hop = kRate / 800;
  auto amp = [&](int ch, long t) { return std::pow(10.0, rmsDb(rec, ch, t, t + win) / 20); };
  std::vector<double> ms;
  for (const auto& j : jumps) {
    const long at = rec.frameAt(j.first);
    double a = 0, b = 0;
    for (long t = at - kRate / 25; t < at; t += hop) a += amp(j.second, t) / (kRate / 25 / hop);
    for (long t = at + kRate / 8; t < at + kRate / 5; t += hop) b += amp(j.second, t) / ((kRate / 5 - kRate / 8) / hop);
    double t25 = -1, t75 = -1;
    for (long t = at; t < at + kRate / 5; t += hop) {
      const double e = amp(j.second, t);
      const double mid = t + win / 2.0;
      if (t25 < 0 && e > a + 0.25 * (b - a)) t25 = mid;
      if (t75 < 0 && e > a + 0.75 * (b - a)) {
        t75 = mid;
        break;
      }
    }
    EXPECT_GT(b, 1.4 * a) << "a jump was never heard";
    if (t25 < 0 || t75 < 0) continue;
    const double onset = t25 - 0.5 * (t75 - t25);
    ms.push_back((onset - at) * 1000.0 / kRate);
  }
  ASSERT_FALSE(ms.empty());
  std::sort(ms.begin(), ms.end());
  std::printf("[ figures ] SetPosition to sound at the output, %u jumps: median %.1f ms, worst %.1f ms\n",
              static_cast<unsigned>(ms.size()), ms[ms.size() / 2], ms.back());
  // A figure, not a check: it moves with the machine's load and the recording path.
  if (trivox) std::printf("[ figures ] latency goal 66 ms: %s\n", ms.back() <= 66.0 ? "met" : "missed");
}

class Capture : public testing::TestWithParam<Target> {};

// Wine's own DirectSound runs the same scene for comparison: its figures are
// printed, and only the level checks apply to it (it pans, it has no
// interaural delay).
TEST_P(Capture, SidesAheadAndLatencyAtTheOutput) {
  const bool trivox = GetParam().trivox;
  std::printf("[ figures ] --- %s ---\n", GetParam().name);
  ASSERT_GE(CoInitialize(nullptr), 0);
  IDirectSound* ds = nullptr;
  ASSERT_EQ(CoCreateInstance(*GetParam().clsid, nullptr, CLSCTX_ALL, IID_IDirectSound, reinterpret_cast<void**>(&ds)), S_OK);
  ASSERT_EQ(ds->Initialize(nullptr), DS_OK);
  ASSERT_EQ(ds->SetCooperativeLevel(GetDesktopWindow(), DSSCL_PRIORITY), DS_OK);
  DSBUFFERDESC1 pd = {};
  pd.dwSize = sizeof pd;
  pd.dwFlags = DSBCAPS_PRIMARYBUFFER | DSBCAPS_CTRL3D;
  IDirectSoundBuffer* primary = nullptr;
  ASSERT_EQ(ds->CreateSoundBuffer(reinterpret_cast<DSBUFFERDESC*>(&pd), &primary, nullptr), DS_OK);
  ASSERT_EQ(primary->Play(0, 0, DSBPLAY_LOOPING), DS_OK);

  const std::vector<int16_t> samples = noise(22050);
  WAVEFORMATEX f = {};
  f.wFormatTag = WAVE_FORMAT_PCM;
  f.nChannels = 1;
  f.nSamplesPerSec = 22050;
  f.wBitsPerSample = 16;
  f.nBlockAlign = 2;
  f.nAvgBytesPerSec = 44100;
  DSBUFFERDESC1 d = {};
  d.dwSize = sizeof d;
  d.dwFlags = 0x40F2;
  d.dwBufferBytes = static_cast<DWORD>(samples.size() * 2);
  d.lpwfxFormat = &f;
  IDirectSoundBuffer* buf = nullptr;
  ASSERT_EQ(ds->CreateSoundBuffer(reinterpret_cast<DSBUFFERDESC*>(&d), &buf, nullptr), DS_OK);
  void* p1 = nullptr;
  DWORD n1 = 0;
  ASSERT_EQ(buf->Lock(0, d.dwBufferBytes, &p1, &n1, nullptr, nullptr, 0), DS_OK);
  CopyMemory(p1, samples.data(), n1);
  ASSERT_EQ(buf->Unlock(p1, n1, nullptr, 0), DS_OK);
  IDirectSound3DBuffer* b3 = nullptr;
  ASSERT_EQ(buf->QueryInterface(IID_IDirectSound3DBuffer, reinterpret_cast<void**>(&b3)), S_OK);

  Recorder rec;
  ASSERT_TRUE(rec.start()) << "no wave input (is the monitor source the default?)";
  Sleep(300);
  ASSERT_EQ(b3->SetPosition(-2, 0, 0, DS3D_IMMEDIATE), DS_OK);
  ASSERT_EQ(buf->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
  Sleep(600);
  auto moveTo = [&](float x, float z) {
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    EXPECT_EQ(b3->SetPosition(x, 0, z, DS3D_IMMEDIATE), DS_OK);
    return t.QuadPart;
  };
  const LONGLONG tRight = moveTo(2, 0);
  Sleep(600);
  const LONGLONG tFront = moveTo(0, 2);
  Sleep(600);
  // Jumps for the latency figure: far ear to near ear, alternately.
  std::vector<std::pair<LONGLONG, int>> jumps;
  moveTo(2, 0);  // from the side, so every jump below starts at the far-ear level
  Sleep(250);
  for (int i = 0; i < 6; ++i) {
    const int ear = i % 2;  // 0: to the left, the left ear rises
    jumps.push_back({moveTo(ear == 0 ? -2.0f : 2.0f, 0), ear});
    Sleep(250);
  }
  buf->Stop();
  Sleep(200);
  rec.stop();

  b3->Release();
  buf->Release();
  primary->Stop();
  primary->Release();
  ds->Release();
  CoUninitialize();

  expectSidesAndFront(rec, tRight, tFront, trivox);
  reportLatency(rec, jumps, trivox);
}

INSTANTIATE_TEST_SUITE_P(Both, Capture, testing::ValuesIn(kTargets),
                         [](const testing::TestParamInfo<Target>& i) { return std::string(i.param.name); });

// The same noise coded four ways plays at the same level: the object hands
// each buffer's coding to the mixer.
TEST(CaptureCodings, WideAndFloatBuffersSoundLikeSixteenBit) {
  ASSERT_GE(CoInitialize(nullptr), 0);
  IDirectSound* ds = nullptr;
  ASSERT_EQ(CoCreateInstance(kTrivox, nullptr, CLSCTX_ALL, IID_IDirectSound, reinterpret_cast<void**>(&ds)), S_OK);
  ASSERT_EQ(ds->Initialize(nullptr), DS_OK);
  ASSERT_EQ(ds->SetCooperativeLevel(GetDesktopWindow(), DSSCL_PRIORITY), DS_OK);
  const std::vector<int16_t> samples = noise(24000);
  struct Coding {
    const char* name;
    WORD tag, channels, bits;
  };
  const Coding codings[] = {{"16-bit", WAVE_FORMAT_PCM, 1, 16}, {"24-bit", WAVE_FORMAT_PCM, 1, 24},
                            {"float", WAVE_FORMAT_IEEE_FLOAT, 1, 32}, {"float stereo", WAVE_FORMAT_IEEE_FLOAT, 2, 32}};
  Recorder rec;
  ASSERT_TRUE(rec.start()) << "no wave input (is the monitor source the default?)";
  Sleep(300);
  std::vector<std::pair<LONGLONG, LONGLONG>> spans;
  for (const Coding& c : codings) {
    WAVEFORMATEX f = {};
    f.wFormatTag = c.tag;
    f.nChannels = c.channels;
    f.nSamplesPerSec = kRate;
    f.wBitsPerSample = c.bits;
    f.nBlockAlign = static_cast<WORD>(c.channels * c.bits / 8);
    f.nAvgBytesPerSec = kRate * f.nBlockAlign;
    std::vector<uint8_t> data;
    for (int16_t v : samples) {
      for (int ch = 0; ch < c.channels; ++ch) {
        const int32_t wide = static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint16_t>(v)) << 16);
        const float fl = static_cast<float>(v) / 32768.0f;
        const uint8_t* b = c.tag == WAVE_FORMAT_IEEE_FLOAT ? reinterpret_cast<const uint8_t*>(&fl)
                                                           : reinterpret_cast<const uint8_t*>(&wide) + (4 - c.bits / 8);
        data.insert(data.end(), b, b + c.bits / 8);
      }
    }
    DSBUFFERDESC d = {};
    d.dwSize = sizeof d;
    d.dwFlags = DSBCAPS_CTRLVOLUME;
    d.dwBufferBytes = static_cast<DWORD>(data.size());
    d.lpwfxFormat = &f;
    IDirectSoundBuffer* buf = nullptr;
    ASSERT_EQ(ds->CreateSoundBuffer(&d, &buf, nullptr), DS_OK) << c.name;
    void* p1 = nullptr;
    DWORD n1 = 0;
    ASSERT_EQ(buf->Lock(0, d.dwBufferBytes, &p1, &n1, nullptr, nullptr, 0), DS_OK);
    CopyMemory(p1, data.data(), n1);
    ASSERT_EQ(buf->Unlock(p1, n1, nullptr, 0), DS_OK);
    LARGE_INTEGER t0, t1;
    QueryPerformanceCounter(&t0);
    ASSERT_EQ(buf->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    Sleep(450);
    QueryPerformanceCounter(&t1);
    buf->Stop();
    buf->Release();
    spans.push_back({t0.QuadPart, t1.QuadPart});
    Sleep(100);
  }
  rec.stop();
  ds->Release();
  CoUninitialize();
  double reference = 0;
  for (size_t i = 0; i < spans.size(); ++i) {
    const long from = rec.frameAt(spans[i].first) + kRate / 6, to = rec.frameAt(spans[i].second);
    ASSERT_GT(to - from, kRate / 10) << codings[i].name;
    const double l = rmsDb(rec, 0, from, to), r = rmsDb(rec, 1, from, to);
    std::printf("[ figures ] %-12s L %.2f dB  R %.2f dB\n", codings[i].name, l, r);
    if (i == 0) reference = l;
    EXPECT_GT(l, -40.0) << codings[i].name << " not heard";
    EXPECT_NEAR(l, reference, 0.5) << codings[i].name;
    EXPECT_NEAR(r, reference, 0.5) << codings[i].name;
  }
}

// The splash of the first Trivox device of a process, heard at the output:
// a helper process opens two devices in turn while the output is recorded.
namespace splash {

const char kKey[] = "Software\\Orvane\\Trivox";

class Settings {
 public:
  Settings() {
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &m_key, nullptr) != ERROR_SUCCESS)
      m_key = nullptr;
    for (int i = 0; i < 2; ++i) {
      DWORD size = sizeof m_old[i];
      m_had[i] = m_key && RegQueryValueExA(m_key, kNames[i], nullptr, nullptr, reinterpret_cast<BYTE*>(&m_old[i]),
                                           &size) == ERROR_SUCCESS;
    }
  }
  ~Settings() {
    for (int i = 0; m_key && i < 2; ++i) {
      if (m_had[i]) {
        set(i, m_old[i]);
      } else {
        RegDeleteValueA(m_key, kNames[i]);
      }
    }
    if (m_key) RegCloseKey(m_key);
  }
  bool set(int which, DWORD v) {
    return m_key && RegSetValueExA(m_key, kNames[which], 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), 4) == ERROR_SUCCESS;
  }

 private:
  static constexpr const char* kNames[2] = {"SplashAudio", "SplashScreen"};
  HKEY m_key = nullptr;
  DWORD m_old[2] = {};
  bool m_had[2] = {};
};

struct Heard {
  int chimes = 0;
  double peakDb = -200;
  bool logoSeen = false, logoTookFocus = false, logoTopmost = false, logoClosed = false;
  DWORD exitCode = 1;
};

Heard runHelper() {
  Heard run;
  char dir[MAX_PATH];
  const DWORD n = GetModuleFileNameA(nullptr, dir, MAX_PATH);
  std::string cmd(dir, n);
  cmd = "\"" + cmd.substr(0, cmd.find_last_of("\\/") + 1) + "trivox_splash_helper.exe\" 2";
  Recorder rec;
  if (!rec.start()) return run;
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return run;
  const DWORD start = GetTickCount();
  while (WaitForSingleObject(pi.hProcess, 10) == WAIT_TIMEOUT && GetTickCount() - start < 30000) {
    HWND logo = FindWindowA(ZEPHRA_SPLASH_CLASS, nullptr);
    if (logo && IsWindowVisible(logo)) {
      run.logoSeen = true;
      run.logoTopmost = (GetWindowLongA(logo, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
      if (GetForegroundWindow() == logo) run.logoTookFocus = true;
    } else if (run.logoSeen) {
      run.logoClosed = true;  // by its time, while the process runs on
    }
  }
  GetExitCodeProcess(pi.hProcess, &run.exitCode);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  rec.stop();
  // Chimes: rises above -45 dBFS after at least 200 ms of quiet, in 10 ms windows.
  const long win = kRate / 100;
  long quiet = 20;
  for (long t = 0; t + win <= rec.now() && t + win <= rec.frames(); t += win) {
    const double db = std::max(rmsDb(rec, 0, t, t + win), rmsDb(rec, 1, t, t + win));
    run.peakDb = std::max(run.peakDb, db);
    if (db > -45) {
      if (quiet >= 20) ++run.chimes;
      quiet = 0;
    } else {
      ++quiet;
    }
  }
  return run;
}

TEST(Splash, ChimeOnceAtTheFirstDeviceOfAProcessAndNoneWhenOff) {
  Settings settings;
  ASSERT_TRUE(settings.set(0, 1) && settings.set(1, 1));
  const Heard on = runHelper();
  std::printf("[ figures ] SplashAudio=1: %d chime(s), loudest 10 ms %.1f dBFS\n", on.chimes, on.peakDb);
  EXPECT_EQ(on.exitCode, 0u) << "the helper's devices did not start";
  EXPECT_EQ(on.chimes, 1);
  EXPECT_GT(on.peakDb, -20.0);
  EXPECT_TRUE(on.logoSeen);
  EXPECT_TRUE(on.logoTopmost);
  EXPECT_FALSE(on.logoTookFocus);
  EXPECT_TRUE(on.logoClosed) << "the logo stayed up as long as its process";

  ASSERT_TRUE(settings.set(0, 0) && settings.set(1, 0));
  const Heard off = runHelper();
  std::printf("[ figures ] SplashAudio=0: %d chime(s), loudest 10 ms %.1f dBFS\n", off.chimes, off.peakDb);
  EXPECT_EQ(off.exitCode, 0u);
  EXPECT_EQ(off.chimes, 0);
  EXPECT_FALSE(off.logoSeen);
}

}  // namespace splash

}  // namespace
