// The engine's render thread only renders. Every call trivox3d.dll makes to the platform and
// to its C runtime goes through the DLL's import table (its C++ runtime and thread library
// are linked into it), so the test points the entries that would betray a wait, a lock, an
// allocation or a control call at counters of the calling thread. The render thread is the
// one that writes wave blocks; while a source plays, voices come and go, the listener is
// moved without pause from another thread and the card's equaliser is switched, it must
// call nothing but waveOutWrite and the wait on its output's event.
#include <windows.h>
#include <mmsystem.h>
#include <dsound.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "shared/card/CardClient.h"
#include "shared/names/Names.h"

namespace {

// What the hooks tell apart. kWrite and kWaveWait are the render thread's own calls.
enum Call {
  kWrite, kWaveWait, kOtherWait, kWaitEx, kWaitMany, kSleep, kSleepEx, kCriticalSection, kTryCriticalSection,
  kSrwLock, kSetEvent, kResetEvent, kReleaseSemaphore, kCreateEventA, kCreateEventW, kDeviceIoControl, kCreateFileA,
  kCreateFileW, kWriteFile, kDebugString, kEnvironment, kTickCount, kTickCount64, kMalloc, kCalloc, kRealloc, kFree, kFopen, kFputs, kFwrite,
  kFclose, kCallCount
};
const char* const kCallNames[] = {
  "waveOutWrite", "WaitForSingleObject (wave event)", "WaitForSingleObject (other)", "WaitForSingleObjectEx",
  "WaitForMultipleObjects", "Sleep", "SleepEx", "EnterCriticalSection", "TryEnterCriticalSection",
  "AcquireSRWLockExclusive", "SetEvent", "ResetEvent", "ReleaseSemaphore", "CreateEventA", "CreateEventW",
  "DeviceIoControl", "CreateFileA", "CreateFileW", "WriteFile", "OutputDebugStringA", "GetEnvironmentVariableA",
  "GetTickCount", "GetTickCount64", "malloc", "calloc", "realloc", "free",
  "fopen", "fputs", "fwrite", "fclose"};
static_assert(sizeof kCallNames / sizeof kCallNames[0] == kCallCount, "a name for each call");

constexpr int kThreads = 128;
std::atomic<DWORD> g_thread[kThreads];
std::atomic<long> g_count[kThreads][kCallCount];
std::atomic<bool> g_armed{false};
std::atomic<long> g_writes{0};  // armed or not: the engine is running
std::atomic<HANDLE> g_waveEvent{nullptr};

void note(Call c) {
  if (c == kWrite) ++g_writes;
  if (!g_armed.load()) return;
  const DWORD me = GetCurrentThreadId();
  for (int i = 0; i < kThreads; ++i) {
    DWORD t = g_thread[i].load();
    if (t == 0 && g_thread[i].compare_exchange_strong(t, me)) t = me;
    if (t == me) {
      ++g_count[i][c];
      return;
    }
  }
}

// One hook per import: counts, then calls what the table held.
#define HOOK(call, ret, conv, name, params, args)        \
  ret(conv* real_##name) params = nullptr;               \
  ret conv hook_##name params {                          \
    note(call);                                          \
    return real_##name args;                             \
  }

HOOK(kWrite, MMRESULT, WINAPI, waveOutWrite, (HWAVEOUT w, LPWAVEHDR h, UINT n), (w, h, n))
HOOK(kWaitEx, DWORD, WINAPI, WaitForSingleObjectEx, (HANDLE h, DWORD ms, BOOL a), (h, ms, a))
HOOK(kWaitMany, DWORD, WINAPI, WaitForMultipleObjects, (DWORD n, const HANDLE* h, BOOL all, DWORD ms), (n, h, all, ms))
HOOK(kSleep, void, WINAPI, Sleep, (DWORD ms), (ms))
HOOK(kSleepEx, DWORD, WINAPI, SleepEx, (DWORD ms, BOOL a), (ms, a))
HOOK(kCriticalSection, void, WINAPI, EnterCriticalSection, (LPCRITICAL_SECTION cs), (cs))
HOOK(kTryCriticalSection, BOOL, WINAPI, TryEnterCriticalSection, (LPCRITICAL_SECTION cs), (cs))
HOOK(kSrwLock, void, WINAPI, AcquireSRWLockExclusive, (PSRWLOCK l), (l))
HOOK(kSetEvent, BOOL, WINAPI, SetEvent, (HANDLE h), (h))
HOOK(kResetEvent, BOOL, WINAPI, ResetEvent, (HANDLE h), (h))
HOOK(kReleaseSemaphore, BOOL, WINAPI, ReleaseSemaphore, (HANDLE h, LONG n, LPLONG p), (h, n, p))
HOOK(kCreateEventA, HANDLE, WINAPI, CreateEventA, (LPSECURITY_ATTRIBUTES s, BOOL m, BOOL i, LPCSTR n), (s, m, i, n))
HOOK(kCreateEventW, HANDLE, WINAPI, CreateEventW, (LPSECURITY_ATTRIBUTES s, BOOL m, BOOL i, LPCWSTR n), (s, m, i, n))
HOOK(kDeviceIoControl, BOOL, WINAPI, DeviceIoControl,
     (HANDLE h, DWORD c, LPVOID i, DWORD ni, LPVOID o, DWORD no, LPDWORD r, LPOVERLAPPED ov), (h, c, i, ni, o, no, r, ov))
HOOK(kCreateFileA, HANDLE, WINAPI, CreateFileA,
     (LPCSTR n, DWORD a, DWORD s, LPSECURITY_ATTRIBUTES sa, DWORD d, DWORD f, HANDLE t), (n, a, s, sa, d, f, t))
HOOK(kCreateFileW, HANDLE, WINAPI, CreateFileW,
     (LPCWSTR n, DWORD a, DWORD s, LPSECURITY_ATTRIBUTES sa, DWORD d, DWORD f, HANDLE t), (n, a, s, sa, d, f, t))
HOOK(kWriteFile, BOOL, WINAPI, WriteFile, (HANDLE h, LPCVOID b, DWORD n, LPDWORD w, LPOVERLAPPED o), (h, b, n, w, o))
HOOK(kDebugString, void, WINAPI, OutputDebugStringA, (LPCSTR s), (s))
HOOK(kEnvironment, DWORD, WINAPI, GetEnvironmentVariableA, (LPCSTR n, LPSTR b, DWORD s), (n, b, s))
HOOK(kTickCount, DWORD, WINAPI, GetTickCount, (), ())
HOOK(kTickCount64, ULONGLONG, WINAPI, GetTickCount64, (), ())
HOOK(kMalloc, void*, __cdecl, malloc, (size_t n), (n))
HOOK(kCalloc, void*, __cdecl, calloc, (size_t n, size_t s), (n, s))
HOOK(kRealloc, void*, __cdecl, realloc, (void* p, size_t n), (p, n))
HOOK(kFree, void, __cdecl, free, (void* p), (p))
HOOK(kFopen, FILE*, __cdecl, fopen, (const char* n, const char* m), (n, m))
HOOK(kFputs, int, __cdecl, fputs, (const char* s, FILE* f), (s, f))
HOOK(kFwrite, size_t, __cdecl, fwrite, (const void* p, size_t s, size_t n, FILE* f), (p, s, n, f))
HOOK(kFclose, int, __cdecl, fclose, (FILE* f), (f))

// The engine's output event is told apart from every other handle waited on.
MMRESULT(WINAPI* real_waveOutOpen)(LPHWAVEOUT, UINT, LPCWAVEFORMATEX, DWORD_PTR, DWORD_PTR, DWORD) = nullptr;
MMRESULT WINAPI hook_waveOutOpen(LPHWAVEOUT w, UINT id, LPCWAVEFORMATEX f, DWORD_PTR cb, DWORD_PTR inst, DWORD flags) {
  if ((flags & CALLBACK_TYPEMASK) == CALLBACK_EVENT) g_waveEvent.store(reinterpret_cast<HANDLE>(cb));
  return real_waveOutOpen(w, id, f, cb, inst, flags);
}
DWORD(WINAPI* real_WaitForSingleObject)(HANDLE, DWORD) = nullptr;
DWORD WINAPI hook_WaitForSingleObject(HANDLE h, DWORD ms) {
  note(h == g_waveEvent.load() ? kWaveWait : kOtherWait);
  return real_WaitForSingleObject(h, ms);
}

struct Hook {
  const char* name;
  void* hook;
  void** real;
};
#define ENTRY(name) {#name, reinterpret_cast<void*>(&hook_##name), reinterpret_cast<void**>(&real_##name)}
const Hook kHooks[] = {
  ENTRY(waveOutOpen), ENTRY(waveOutWrite), ENTRY(WaitForSingleObject), ENTRY(WaitForSingleObjectEx),
  ENTRY(WaitForMultipleObjects), ENTRY(Sleep), ENTRY(SleepEx), ENTRY(EnterCriticalSection),
  ENTRY(TryEnterCriticalSection), ENTRY(AcquireSRWLockExclusive), ENTRY(SetEvent), ENTRY(ResetEvent),
  ENTRY(ReleaseSemaphore), ENTRY(CreateEventA), ENTRY(CreateEventW), ENTRY(DeviceIoControl),
  ENTRY(CreateFileA), ENTRY(CreateFileW), ENTRY(WriteFile), ENTRY(OutputDebugStringA), ENTRY(GetEnvironmentVariableA),
  ENTRY(GetTickCount), ENTRY(GetTickCount64), ENTRY(malloc), ENTRY(calloc), ENTRY(realloc), ENTRY(free), ENTRY(fopen), ENTRY(fputs),
  ENTRY(fwrite), ENTRY(fclose)};

// Points the module's import entries named in kHooks at the hooks; the names patched.
std::vector<std::string> patchImports(HMODULE module) {
  std::vector<std::string> patched;
  BYTE* base = reinterpret_cast<BYTE*>(module);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
  const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  for (auto* d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); d->Name; ++d) {
    auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->OriginalFirstThunk);
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->FirstThunk);
    for (; d->OriginalFirstThunk && names->u1.AddressOfData; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      const char* name = reinterpret_cast<const char*>(
          reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData)->Name);
      for (const Hook& h : kHooks) {
        if (std::strcmp(name, h.name) != 0) continue;
        DWORD old = 0;
        VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE, &old);
        *h.real = reinterpret_cast<void*>(slots->u1.Function);
        slots->u1.Function = reinterpret_cast<ULONG_PTR>(h.hook);
        VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, old, &old);
        patched.push_back(name);
      }
    }
  }
  return patched;
}

template <typename Pred>
bool waitUntil(Pred done, DWORD timeoutMs = 10000) {
  for (const DWORD start = GetTickCount(); !done(); Sleep(10))
    if (GetTickCount() - start > timeoutMs) return done();
  return true;
}

class RenderThread : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_card.Open()) << "virtual card missing, error " << m_card.Error();
    ASSERT_TRUE(m_card.GetStatus(m_saved));
    kv22::CardConfig cfg = m_saved.config;
    cfg.failCount = 0;  // no staged failure, the equaliser available
    cfg.eq.flags = 0;
    ASSERT_TRUE(m_card.SetConfig(cfg) && m_card.ResetState());
    char dir[MAX_PATH];
    GetTempPathA(sizeof dir, dir);
    m_trace = std::string(dir) + "trivox-render-thread-trace.txt";
    DeleteFileA(m_trace.c_str());
    SetEnvironmentVariableA("TRIVOX_TRACE", m_trace.c_str());
    ASSERT_GE(CoInitialize(nullptr), 0);
    const CLSID clsid = zephra::MakeGuid<CLSID>(zephra::kTrivoxDeviceClsid);
    ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDirectSound, reinterpret_cast<void**>(&m_ds)),
              S_OK);
  }
  void TearDown() override {
    g_armed.store(false);
    for (IUnknown* p : {static_cast<IUnknown*>(m_listener), static_cast<IUnknown*>(m_source),
                        static_cast<IUnknown*>(m_primary), static_cast<IUnknown*>(m_ds)})
      if (p) p->Release();
    CoUninitialize();
    SetEnvironmentVariableA("TRIVOX_TRACE", nullptr);
    DeleteFileA(m_trace.c_str());
    m_card.SetConfig(m_saved.config);
    m_card.ResetState();
  }

  // A looping 3D source of noise; replaces the one playing, which the engine lets go of.
  bool playSource(float x) {
    if (m_source) m_source->Release();
    m_source = nullptr;
    WAVEFORMATEX f{WAVE_FORMAT_PCM, 1, 22050, 44100, 2, 16, 0};
    DSBUFFERDESC d{};
    d.dwSize = sizeof d;
    d.dwFlags = DSBCAPS_CTRL3D | DSBCAPS_GLOBALFOCUS;
    d.dwBufferBytes = 44100;
    d.lpwfxFormat = &f;
    void* p = nullptr;
    DWORD n = 0;
    if (m_ds->CreateSoundBuffer(&d, &m_source, nullptr) != DS_OK || m_source->Lock(0, 0, &p, &n, nullptr, nullptr,
                                                                                     DSBLOCK_ENTIREBUFFER) != DS_OK)
      return false;
    uint32_t seed = 7;
    for (int16_t* s = static_cast<int16_t*>(p); s < static_cast<int16_t*>(p) + n / 2; ++s)
      *s = static_cast<int16_t>((seed = seed * 1664525u + 1013904223u) >> 18);
    IDirectSound3DBuffer* b3d = nullptr;
    const bool ok = m_source->Unlock(p, n, nullptr, 0) == DS_OK &&
                    m_source->QueryInterface(IID_IDirectSound3DBuffer, reinterpret_cast<void**>(&b3d)) == S_OK &&
                    b3d->SetPosition(x, 0, 2, DS3D_IMMEDIATE) == DS_OK && m_source->Play(0, 0, DSBPLAY_LOOPING) == DS_OK;
    if (b3d) b3d->Release();
    return ok;
  }
  // Waits for a line of the trace past the last one found that says `what`.
  bool traced(const std::string& what) {
    return waitUntil([&] {
      std::ifstream f(m_trace);
      std::stringstream text;
      text << f.rdbuf();
      const size_t at = text.str().find(what, m_seen);
      if (at == std::string::npos) return false;
      m_seen = at + what.size();
      return true;
    });
  }
  bool played(DWORD minimum) {
    return waitUntil([&] {
      DWORD play = 0;
      return m_source->GetCurrentPosition(&play, nullptr) == DS_OK && play >= minimum;
    });
  }
  bool setEqualiser(bool on) {
    const kv22::EqRequest r{kv22::kEqMaskOnOff, on ? 1u : 0u, 0};
    return m_card.EqSetConfig(r);
  }

  kv22::CardClient m_card;
  kv22::CardStatus m_saved{};
  std::string m_trace;
  size_t m_seen = 0;
  IDirectSound* m_ds = nullptr;
  IDirectSoundBuffer* m_primary = nullptr;
  IDirectSoundBuffer* m_source = nullptr;
  IDirectSound3DListener* m_listener = nullptr;
};

TEST_F(RenderThread, CallsOnlyTheWaveOutputWhileVoicesAndTheCardChange) {
  HMODULE dll = GetModuleHandleA("trivox3d.dll");
  ASSERT_NE(dll, nullptr);
  const std::vector<std::string> patched = patchImports(dll);
  const std::string all = testing::PrintToString(patched);
  for (const char* name : {"waveOutOpen", "waveOutWrite", "WaitForSingleObject", "DeviceIoControl", "malloc", "free",
                           "OutputDebugStringA", "fopen"})
    ASSERT_NE(all.find(std::string("\"") + name + "\""), std::string::npos) << name << " not imported: " << all;

  ASSERT_EQ(m_ds->Initialize(nullptr), DS_OK);
  ASSERT_NE(g_waveEvent.load(), nullptr) << "the engine's output has no event";
  ASSERT_EQ(m_ds->SetCooperativeLevel(GetDesktopWindow(), DSSCL_PRIORITY), DS_OK);
  DSBUFFERDESC pd{};
  pd.dwSize = sizeof pd;
  pd.dwFlags = DSBCAPS_PRIMARYBUFFER | DSBCAPS_CTRL3D;
  ASSERT_EQ(m_ds->CreateSoundBuffer(&pd, &m_primary, nullptr), DS_OK);
  ASSERT_EQ(m_primary->QueryInterface(IID_IDirectSound3DListener, reinterpret_cast<void**>(&m_listener)), S_OK);
  ASSERT_TRUE(playSource(-1));
  ASSERT_TRUE(waitUntil([] { return g_writes.load() > 0; })) << "the engine writes no block";
  ASSERT_TRUE(traced("equaliser off"));

  // From here on, every call is counted by thread. The listener's control calls take the
  // mixer's control lock without pause: a render thread that took it would wait behind them.
  g_armed.store(true);
  std::atomic<bool> moving{true};
  std::thread mover([&] {
    for (float x = 0; moving.load(); x += 0.01f) m_listener->SetPosition(x, 0, 0, DS3D_IMMEDIATE);
  });
  const long writesBefore = g_writes.load();
  EXPECT_TRUE(setEqualiser(true));
  EXPECT_TRUE(traced("equaliser on"));
  EXPECT_TRUE(playSource(1));
  EXPECT_TRUE(played(8000));
  EXPECT_TRUE(setEqualiser(false));
  EXPECT_TRUE(traced("equaliser off"));
  EXPECT_TRUE(waitUntil([&] { return g_writes.load() - writesBefore > 100; }));  // half a second of blocks
  moving.store(false);
  mover.join();
  g_armed.store(false);

  int renderer = -1, pollers = 0, tracers = 0, allocators = 0;
  for (int i = 0; i < kThreads && g_thread[i].load(); ++i) {
    if (g_count[i][kWrite].load() > 0) {
      EXPECT_EQ(renderer, -1) << "more than one thread writes wave blocks";
      renderer = i;
      continue;
    }
    pollers += g_count[i][kDeviceIoControl].load() > 0;
    tracers += g_count[i][kFopen].load() > 0;
    allocators += g_count[i][kMalloc].load() > 0;
  }
  ASSERT_NE(renderer, -1);
  EXPECT_GT(g_count[renderer][kWaveWait].load(), 0) << "the render thread never waited for its output";
  for (int c = kOtherWait; c < kCallCount; ++c)
    EXPECT_EQ(g_count[renderer][c].load(), 0) << "the render thread called " << kCallNames[c];
  // The counters see the DLL's other threads: the card is polled and traced beside the render.
  EXPECT_GT(pollers, 0) << "no thread of the DLL asked the card";
  EXPECT_GT(tracers, 0) << "no thread of the DLL wrote the trace";
  EXPECT_GT(allocators, 0) << "no thread of the DLL allocated";
}

}  // namespace
