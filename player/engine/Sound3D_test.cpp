// The engine against recording stand-ins of the two device objects.
#include "player/engine/Sound3D.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "framework/App.h"

namespace {

// The first DirectSound buffer record: 20 bytes on i686, 24 on x86_64.
const std::string kDesc = std::to_string(sizeof(DSBUFFERDESC1));

std::vector<std::string> g_log;
std::map<std::string, HRESULT> g_fail;  // "ds.Initialize" -> result
int g_alive = 0;
std::vector<std::string> g_messages;

HRESULT Result(const std::string& call) {
  g_log.push_back(call);
  auto it = g_fail.find(call);
  return it == g_fail.end() ? S_OK : it->second;
}

const GUID kListener = {0x279AFA84, 0x4981, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};
const GUID k3DBuffer = {0x279AFA86, 0x4981, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};

class Fake3D final : public IDirectSound3DBuffer, public IDirectSound3DListener {
 public:
  explicit Fake3D(std::string n) : name(std::move(n)) { ++g_alive; }
  std::string name;
  LONG ref = 1;
  // IUnknown, shared by both faces
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++ref; }
  ULONG STDMETHODCALLTYPE Release() override {
    g_log.push_back(name + ".Release");
    if (--ref) return ref;
    --g_alive;
    delete this;
    return 0;
  }
  // IDirectSound3DBuffer
  HRESULT STDMETHODCALLTYPE GetAllParameters(LPDS3DBUFFER) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetConeAngles(LPDWORD, LPDWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetConeOrientation(D3DVECTOR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetConeOutsideVolume(LPLONG) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetMaxDistance(D3DVALUE*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetMinDistance(D3DVALUE*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetMode(LPDWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetPosition(D3DVECTOR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetVelocity(D3DVECTOR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetAllParameters(LPCDS3DBUFFER, DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetConeAngles(DWORD, DWORD, DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetConeOrientation(D3DVALUE, D3DVALUE, D3DVALUE, DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetConeOutsideVolume(LONG, DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetMaxDistance(D3DVALUE, DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetMinDistance(D3DVALUE, DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetMode(DWORD, DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetPosition(D3DVALUE x, D3DVALUE y, D3DVALUE z, DWORD apply) override {
    return Result(name + ".SetPosition " + Triple(x, y, z, apply));
  }
  HRESULT STDMETHODCALLTYPE SetVelocity(D3DVALUE x, D3DVALUE y, D3DVALUE z, DWORD apply) override {
    return Result(name + ".SetVelocity " + Triple(x, y, z, apply));
  }
  // IDirectSound3DListener
  HRESULT STDMETHODCALLTYPE GetAllParameters(LPDS3DLISTENER) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetDistanceFactor(D3DVALUE*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetDopplerFactor(D3DVALUE*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetOrientation(D3DVECTOR*, D3DVECTOR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetRolloffFactor(D3DVALUE*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetAllParameters(LPCDS3DLISTENER, DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetDistanceFactor(D3DVALUE f, DWORD apply) override {
    return Result(name + ".SetDistanceFactor " + Num(f) + " " + std::to_string(apply));
  }
  HRESULT STDMETHODCALLTYPE SetDopplerFactor(D3DVALUE f, DWORD apply) override {
    return Result(name + ".SetDopplerFactor " + Num(f) + " " + std::to_string(apply));
  }
  HRESULT STDMETHODCALLTYPE SetOrientation(D3DVALUE, D3DVALUE, D3DVALUE, D3DVALUE, D3DVALUE, D3DVALUE,
                                           DWORD) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE SetRolloffFactor(D3DVALUE f, DWORD apply) override {
    return Result(name + ".SetRolloffFactor " + Num(f) + " " + std::to_string(apply));
  }
  HRESULT STDMETHODCALLTYPE CommitDeferredSettings() override { return E_NOTIMPL; }

  static std::string Num(float v) {
    char b[32];
    std::snprintf(b, sizeof b, "%g", static_cast<double>(v));
    return b;
  }
  static std::string Triple(float x, float y, float z, DWORD apply) {
    return Num(x) + "," + Num(y) + "," + Num(z) + " " + std::to_string(apply);
  }

 private:
  ~Fake3D() = default;
};

class FakeBuffer final : public IDirectSoundBuffer {
 public:
  explicit FakeBuffer(std::string n, DWORD bytes) : name(std::move(n)), data(bytes) { ++g_alive; }
  std::string name;
  std::vector<char> data;
  LONG ref = 1;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    bool listener = IsEqualGUID(iid, kListener);
    HRESULT hr = Result(name + (listener ? ".QueryListener" : IsEqualGUID(iid, k3DBuffer) ? ".Query3D" : ".Query?"));
    if (FAILED(hr)) return hr;
    auto* f = new Fake3D(name + (listener ? ".listener" : ".3d"));
    *out = listener ? static_cast<void*>(static_cast<IDirectSound3DListener*>(f))
                    : static_cast<void*>(static_cast<IDirectSound3DBuffer*>(f));
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++ref; }
  ULONG STDMETHODCALLTYPE Release() override {
    g_log.push_back(name + ".Release");
    if (--ref) return ref;
    --g_alive;
    delete this;
    return 0;
  }
  HRESULT STDMETHODCALLTYPE GetCaps(LPDSBCAPS) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetCurrentPosition(LPDWORD, LPDWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetFormat(LPWAVEFORMATEX, DWORD, LPDWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetVolume(LPLONG) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetPan(LPLONG) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetFrequency(LPDWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetStatus(LPDWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Initialize(LPDIRECTSOUND, LPCDSBUFFERDESC) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Lock(DWORD off, DWORD n, LPVOID* p1, LPDWORD n1, LPVOID* p2, LPDWORD n2,
                                 DWORD) override {
    HRESULT hr = Result(name + ".Lock " + std::to_string(off) + " " + std::to_string(n));
    if (FAILED(hr)) return hr;
    *p1 = data.data();
    *n1 = static_cast<DWORD>(data.size());
    *p2 = nullptr;
    *n2 = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Play(DWORD, DWORD, DWORD flags) override {
    return Result(name + ".Play " + std::to_string(flags));
  }
  HRESULT STDMETHODCALLTYPE SetCurrentPosition(DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetFormat(LPCWAVEFORMATEX f) override {
    return Result(name + ".SetFormat " + std::to_string(f->wFormatTag) + "/" + std::to_string(f->nChannels) + "/" +
                  std::to_string(f->nSamplesPerSec) + "/" + std::to_string(f->nAvgBytesPerSec) + "/" +
                  std::to_string(f->nBlockAlign) + "/" + std::to_string(f->wBitsPerSample) + "/" +
                  std::to_string(f->cbSize));
  }
  HRESULT STDMETHODCALLTYPE SetVolume(LONG) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetPan(LONG) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetFrequency(DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Stop() override { return Result(name + ".Stop"); }
  HRESULT STDMETHODCALLTYPE Unlock(LPVOID, DWORD n, LPVOID, DWORD) override {
    return Result(name + ".Unlock " + std::to_string(n));
  }
  HRESULT STDMETHODCALLTYPE Restore() override { return E_NOTIMPL; }

 private:
  ~FakeBuffer() = default;
};

std::map<std::string, FakeBuffer*> g_buffers;  // last buffer made under each name

class FakeDevice final : public IDirectSound {
 public:
  explicit FakeDevice(std::string n) : name(std::move(n)) { ++g_alive; }
  std::string name;
  LONG ref = 1;
  int made = 0;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++ref; }
  ULONG STDMETHODCALLTYPE Release() override {
    g_log.push_back(name + ".Release");
    if (--ref) return ref;
    --g_alive;
    delete this;
    return 0;
  }
  HRESULT STDMETHODCALLTYPE CreateSoundBuffer(LPCDSBUFFERDESC d, LPLPDIRECTSOUNDBUFFER out, IUnknown*) override {
    bool primary = d->dwFlags & DSBCAPS_PRIMARYBUFFER;
    std::string call = name + ".CreateSoundBuffer " + std::to_string(d->dwSize) + " " + std::to_string(d->dwFlags) +
                       " " + std::to_string(d->dwBufferBytes);
    if (d->lpwfxFormat)
      call += " " + std::to_string(d->lpwfxFormat->nSamplesPerSec) + "/" + std::to_string(d->lpwfxFormat->nChannels);
    HRESULT hr = Result(primary ? name + ".CreatePrimary" : name + ".CreateSource");
    g_log.back() = call;
    if (FAILED(hr)) return hr;
    std::string bname = primary ? name + ".primary" : name + ".buf";
    auto* b = new FakeBuffer(bname, d->dwBufferBytes);
    g_buffers[bname] = b;
    *out = b;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetCaps(LPDSCAPS) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DuplicateSoundBuffer(LPDIRECTSOUNDBUFFER, LPLPDIRECTSOUNDBUFFER) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE SetCooperativeLevel(HWND, DWORD level) override {
    return Result(name + ".SetCooperativeLevel " + std::to_string(level));
  }
  HRESULT STDMETHODCALLTYPE Compact() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetSpeakerConfig(LPDWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetSpeakerConfig(DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Initialize(LPCGUID g) override {
    static const GUID zero = {};
    return Result(name + ".Initialize" + (g && IsEqualGUID(*g, zero) ? " null-guid" : " ?"));
  }

 private:
  ~FakeDevice() = default;
};

HRESULT Create(REFCLSID clsid, void** out) {
  bool trivox = IsEqualGUID(clsid, kClsidTrivoxDevice);
  HRESULT hr = Result(trivox ? "create tx" : "create ds");
  if (FAILED(hr)) {
    *out = nullptr;
    return hr;
  }
  *out = static_cast<IDirectSound*>(new FakeDevice(trivox ? "tx" : "ds"));
  return S_OK;
}
void Report(const char* text) { g_messages.push_back(text); }
HWND NoWindow() { return nullptr; }
const Sound3DHooks kFakes = {&Create, &Report, &NoWindow};

std::vector<std::string> From(size_t start) { return {g_log.begin() + static_cast<long>(start), g_log.end()}; }

std::string WriteTone(const char* name, bool listChunk) {
  char dir[MAX_PATH];
  GetTempPathA(sizeof dir, dir);
  std::string path = std::string(dir) + name;
  std::string fmt("fmt \x10\0\0\0\x01\0\x01\0\x22\x56\0\0\x44\xAC\0\0\x02\0\x10\0", 24);
  std::string list = listChunk ? std::string("LIST\x04\0\0\0INFO", 12) : "";
  std::string data = std::string("data\x08\0\0\0", 8) + "ABCDEFGH";
  std::string body = "WAVE" + fmt + list + data;
  uint32_t size = static_cast<uint32_t>(body.size());
  std::ofstream(path, std::ios::binary) << "RIFF" << std::string(reinterpret_cast<char*>(&size), 4) << body;
  return path;
}

class Engine : public ::testing::Test {
 protected:
  void SetUp() override {
    g_log.clear();
    g_fail.clear();
    g_messages.clear();
    g_buffers.clear();
    g_alive = 0;
  }
  void TearDown() override {
    engine.Shutdown();
    engine.FreeSampleData();
    EXPECT_EQ(g_alive, 0) << "every object released";
  }
  fw::CWinApp app{"Trivox Player"};
  CSound3D engine{&kFakes};
};

TEST_F(Engine, StartupMakesBothDevicesInOrder) {
  ASSERT_EQ(engine.Startup(), 0);
  EXPECT_EQ(g_log, (std::vector<std::string>{
                       "create tx", "create ds", "ds.Initialize null-guid", "tx.Initialize null-guid",
                       "ds.SetCooperativeLevel 2", "tx.SetCooperativeLevel 2", "ds.CreateSoundBuffer " + kDesc + " 17 0",
                       "tx.CreateSoundBuffer " + kDesc + " 17 0", "ds.primary.SetFormat 1/2/22050/88200/4/16/0",
                       "tx.primary.SetFormat 1/2/22050/88200/4/16/0", "ds.primary.QueryListener",
                       "tx.primary.QueryListener", "ds.primary.Play 1", "tx.primary.Play 1",
                       "tx.primary.listener.SetRolloffFactor 1 0", "tx.primary.listener.SetDopplerFactor 1 0",
                       "tx.primary.listener.SetDistanceFactor 1 0"}));
  EXPECT_TRUE(g_messages.empty());
  EXPECT_EQ(engine.CurrentEngine(), kEngineTrivox);
  ASSERT_NE(engine.GetActiveListener(), nullptr);
}

TEST_F(Engine, ShutdownReleasesInReverseOrder) {
  ASSERT_EQ(engine.Startup(), 0);
  std::string path = WriteTone("engine-a.wav", false);
  ASSERT_EQ(engine.LoadAndPlay(0, path.c_str(), kEngineTrivox), 1);
  size_t mark = g_log.size();
  engine.Shutdown();
  EXPECT_EQ(From(mark), (std::vector<std::string>{
                            "ds.buf.3d.Release", "ds.buf.Stop", "ds.buf.Release", "tx.buf.3d.Release", "tx.buf.Stop",
                            "tx.buf.Release", "ds.primary.Stop", "ds.primary.Release", "tx.primary.Stop",
                            "tx.primary.Release", "ds.primary.listener.Release", "tx.primary.listener.Release",
                            "ds.Release", "tx.Release"}));
  EXPECT_EQ(g_alive, 0);
  mark = g_log.size();
  engine.Shutdown();  // a second time finds nothing to release
  EXPECT_EQ(g_log.size(), mark);
}

struct StartFailure {
  const char* call;
  const char* message;
  bool devicesKept;
};

TEST_F(Engine, EveryStartupFailureShowsItsMessageOnce) {
  const StartFailure cases[] = {
      {"create ds", "Could not get a DirectSound object.", false},
      {"create tx", "Could not get an Trivox object.", false},
      {"ds.Initialize null-guid", "Could not initialize the DirectSound object.", false},
      {"tx.Initialize null-guid", "Could not initialize the Trivox object.", false},
      {"ds.SetCooperativeLevel 2", "Could not set cooperative level for the DirectSound object.", false},
      {"tx.SetCooperativeLevel 2", "Could not set cooperative level for the Trivox object.", false},
      {"ds.CreatePrimary", "Could not create primary buffer for the DirectSound object.", true},
      {"tx.CreatePrimary", "Could not create primary buffer for the Trivox object.", true},
      {"ds.primary.SetFormat 1/2/22050/88200/4/16/0", "Could not load wavefile format for the DirectSound object.",
       true},
      {"tx.primary.SetFormat 1/2/22050/88200/4/16/0", "Could not load wavefile format for the Trivox object.", true},
      {"ds.primary.QueryListener", "Could not create a 3D-listener for the DirectSound object.", true},
      {"tx.primary.QueryListener", "Could not create a 3D-listener for the Trivox object.", true},
      {"ds.primary.Play 1", "Could not play the primary buffer for the DirectSound object.", true},
      {"tx.primary.Play 1", "Could not play the primary buffer for the Trivox object.", true},
  };
  std::string path = WriteTone("engine-f.wav", false);
  for (const StartFailure& c : cases) {
    SCOPED_TRACE(c.call);
    g_log.clear();
    g_messages.clear();
    g_fail = {{c.call, E_FAIL}};
    CSound3D e(&kFakes);
    EXPECT_EQ(e.Startup(), -1);
    EXPECT_EQ(g_messages, std::vector<std::string>{c.message});
    EXPECT_EQ(g_alive > 0, c.devicesKept);
    // Everything the dialog still calls stays harmless.
    g_fail.clear();
    g_messages.clear();
    e.SetSourcePosition(0, 1, 2, 3);
    e.SetSourceVelocity(1, 1, 2, 3);
    e.SelectEngine(0, kEngineDS3D, 1);
    e.StopSource(1);
    if (!c.devicesKept) {
      EXPECT_EQ(e.LoadAndPlay(0, path.c_str(), kEngineTrivox), -1);
      EXPECT_EQ(g_messages, std::vector<std::string>{"Failed to trigger Trivox Buffer object."});
      EXPECT_EQ(e.GetActiveListener(), nullptr);
    }
    e.Shutdown();
    e.FreeSampleData();
    EXPECT_EQ(g_alive, 0);
  }
}

TEST_F(Engine, LoadMakesABufferOnEachDeviceAndPlaysTheCurrentOne) {
  ASSERT_EQ(engine.Startup(), 0);
  std::string path = WriteTone("engine-b.wav", false);
  size_t mark = g_log.size();
  ASSERT_EQ(engine.LoadAndPlay(1, path.c_str(), kEngineDS3D), 1);
  EXPECT_EQ(From(mark), (std::vector<std::string>{
                            "ds.CreateSoundBuffer " + kDesc + " 16626 8 22050/1", "tx.CreateSoundBuffer " + kDesc + " 16626 8 22050/1",
                            "ds.buf.Lock 0 8", "ds.buf.Unlock 8", "tx.buf.Lock 0 8", "tx.buf.Unlock 8",
                            "ds.buf.Query3D", "tx.buf.Query3D", "ds.buf.Play 1"}));
  EXPECT_EQ(std::string(g_buffers["tx.buf"]->data.data(), 8), "ABCDEFGH");
  EXPECT_EQ(engine.CurrentEngine(), kEngineDS3D);
  EXPECT_STREQ(engine.SourcePath(1), path.c_str());
  EXPECT_TRUE(engine.HasSampleData(1));

  // The same path only restarts the buffer of the engine asked for.
  DeleteFileA(path.c_str());
  mark = g_log.size();
  EXPECT_EQ(engine.LoadAndPlay(1, path.c_str(), kEngineTrivox), 0);
  EXPECT_EQ(From(mark), std::vector<std::string>{"tx.buf.Play 1"});

  mark = g_log.size();
  engine.SetSourcePosition(1, -2.0f, 0.5f, 1.0f);
  engine.SetSourceVelocity(1, 0.0f, 0.0f, 0.0f);
  engine.StopSource(1);
  EXPECT_EQ(From(mark), (std::vector<std::string>{"ds.buf.3d.SetPosition -2,0.5,1 0",
                                                   "tx.buf.3d.SetPosition -2,0.5,1 0", "ds.buf.3d.SetVelocity 0,0,0 0",
                                                   "tx.buf.3d.SetVelocity 0,0,0 0", "ds.buf.Stop", "tx.buf.Stop"}));
}

TEST_F(Engine, SelectEngineMovesAPlayingSourceAndIgnoresTheSameEngine) {
  ASSERT_EQ(engine.Startup(), 0);
  std::string path = WriteTone("engine-c.wav", false);
  ASSERT_EQ(engine.LoadAndPlay(0, path.c_str(), kEngineTrivox), 1);
  size_t mark = g_log.size();
  engine.SelectEngine(0, kEngineTrivox, 1);
  EXPECT_EQ(g_log.size(), mark);
  engine.SelectEngine(0, kEngineDS3D, 1);
  EXPECT_EQ(From(mark), (std::vector<std::string>{"tx.buf.Stop", "ds.buf.Play 1"}));
  EXPECT_EQ(engine.GetActiveListener(), engine.GetActiveListener());
  mark = g_log.size();
  engine.SelectEngine(0, kEngineTrivox, 0);
  EXPECT_EQ(g_log.size(), mark) << "a source that does not play only changes the engine";
  EXPECT_EQ(engine.CurrentEngine(), kEngineTrivox);
}

TEST_F(Engine, UnreadableFileKeepsTheOldPathWithoutData) {
  ASSERT_EQ(engine.Startup(), 0);
  std::string good = WriteTone("engine-d.wav", false), bad = WriteTone("engine-list.wav", true);
  ASSERT_EQ(engine.LoadAndPlay(0, good.c_str(), kEngineTrivox), 1);
  EXPECT_EQ(engine.LoadAndPlay(0, bad.c_str(), kEngineTrivox), -1);
  EXPECT_EQ(g_messages, std::vector<std::string>{"Failed to load \\\"" + bad + "\\\"."});
  EXPECT_STREQ(engine.SourcePath(0), good.c_str());
  EXPECT_FALSE(engine.HasSampleData(0));
}

TEST_F(Engine, BufferFailureEmptiesTheSlotAndNamesTheEngineAskedFor) {
  ASSERT_EQ(engine.Startup(), 0);
  std::string path = WriteTone("engine-e.wav", false);
  for (const char* call : {"tx.CreateSource", "ds.buf.Lock 0 8", "tx.buf.Unlock 8", "ds.buf.Query3D"}) {
    SCOPED_TRACE(call);
    g_messages.clear();
    g_fail = {{call, E_FAIL}};
    EXPECT_EQ(engine.LoadAndPlay(1, path.c_str(), kEngineDS3D), -1);
    EXPECT_EQ(g_messages, std::vector<std::string>{"Failed to trigger DS3D Buffer object."});
    EXPECT_STREQ(engine.SourcePath(1), "");
    EXPECT_FALSE(engine.HasSampleData(1));
  }
  g_messages.clear();
  g_fail = {{"ds.CreateSource", E_FAIL}};
  EXPECT_EQ(engine.LoadAndPlay(0, path.c_str(), kEngineTrivox), -1);
  EXPECT_EQ(g_messages, std::vector<std::string>{"Failed to trigger Trivox Buffer object."});
  g_fail.clear();
  EXPECT_EQ(engine.LoadAndPlay(0, path.c_str(), kEngineTrivox), 1) << "the next try loads again";
}

TEST_F(Engine, SourceIndexesOutsideBothAreIgnored) {
  ASSERT_EQ(engine.Startup(), 0);
  size_t mark = g_log.size();
  EXPECT_EQ(engine.LoadAndPlay(2, "x.wav", kEngineTrivox), -1);
  engine.SetSourcePosition(-1, 0, 0, 0);
  engine.StopSource(5);
  engine.SelectEngine(3, kEngineDS3D, 1);
  EXPECT_EQ(g_log.size(), mark);
  EXPECT_STREQ(engine.SourcePath(9), "");
}

}  // namespace
