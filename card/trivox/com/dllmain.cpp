// In-process server entry points: class object, unloading and registration.
#include <olectl.h>

#include <new>
#include <string>

#include "objects.h"

namespace trivox {
namespace {

HMODULE g_module = nullptr;
LONG g_objects = 0;
LONG g_locks = 0;
std::wstring g_dir;

// HKCR\CLSID\{...} of the class, and its server key below it.
std::wstring ClassKey() {
  wchar_t id[40] = L"";
  StringFromGUID2(CLSID_TrivoxDevice, id, 40);
  return std::wstring(L"CLSID\\") + id;
}
std::wstring ServerKey() { return ClassKey() + L"\\InprocServer32"; }

class ClassFactory : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
      *ppv = static_cast<IClassFactory*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  // A static object: its references only pin the module.
  ULONG STDMETHODCALLTYPE AddRef() override {
    moduleLock(true);
    return 2;
  }
  ULONG STDMETHODCALLTYPE Release() override {
    moduleLock(false);
    return 1;
  }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    Device* d = new (std::nothrow) Device();
    if (!d) return E_OUTOFMEMORY;
    const HRESULT hr = d->QueryInterface(riid, ppv);
    d->Release();
    return hr;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    if (lock) {
      InterlockedIncrement(&g_locks);
    } else {
      InterlockedDecrement(&g_locks);
    }
    return S_OK;
  }
};

ClassFactory g_factory;

class Key {
 public:
  ~Key() {
    if (m_key) RegCloseKey(m_key);
  }
  bool create(HKEY parent, const wchar_t* path) {
    return RegCreateKeyExW(parent, path, 0, nullptr, 0, KEY_WRITE, nullptr, &m_key, nullptr) == ERROR_SUCCESS;
  }
  bool set(const wchar_t* name, const std::wstring& value) {
    return RegSetValueExW(m_key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
  }

 private:
  HKEY m_key = nullptr;
};

}  // namespace

void moduleLock(bool add) {
  if (add) {
    InterlockedIncrement(&g_objects);
  } else {
    InterlockedDecrement(&g_objects);
  }
}

const std::wstring& moduleDir() { return g_dir; }

}  // namespace trivox

using namespace trivox;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_module = instance;
    DisableThreadLibraryCalls(instance);
    wchar_t path[MAX_PATH];
    const DWORD n = GetModuleFileNameW(instance, path, MAX_PATH);
    if (n > 0 && n < MAX_PATH) {
      g_dir.assign(path, n);
      g_dir.erase(g_dir.find_last_of(L"\\/") + 1);
    }
  }
  return TRUE;
}

extern "C" HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (!IsEqualCLSID(clsid, CLSID_TrivoxDevice)) return CLASS_E_CLASSNOTAVAILABLE;
  return g_factory.QueryInterface(riid, ppv);
}

extern "C" HRESULT WINAPI DllCanUnloadNow() { return g_objects == 0 && g_locks == 0 ? S_OK : S_FALSE; }

extern "C" HRESULT WINAPI DllRegisterServer() {
  wchar_t path[MAX_PATH];
  const DWORD n = GetModuleFileNameW(g_module, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return SELFREG_E_CLASS;
  Key cls, server;
  if (!cls.create(HKEY_CLASSES_ROOT, ClassKey().c_str()) || !cls.set(nullptr, L"Resonix Trivox 3D Device")) return SELFREG_E_CLASS;
  if (!server.create(HKEY_CLASSES_ROOT, ServerKey().c_str()) || !server.set(nullptr, std::wstring(path, n)) ||
      !server.set(L"ThreadingModel", L"Both"))
    return SELFREG_E_CLASS;
  return S_OK;
}

extern "C" HRESULT WINAPI DllUnregisterServer() {
  const LONG a = RegDeleteKeyW(HKEY_CLASSES_ROOT, ServerKey().c_str());
  const LONG b = RegDeleteKeyW(HKEY_CLASSES_ROOT, ClassKey().c_str());
  const bool ok = (a == ERROR_SUCCESS || a == ERROR_FILE_NOT_FOUND) && (b == ERROR_SUCCESS || b == ERROR_FILE_NOT_FOUND);
  return ok ? S_OK : SELFREG_E_CLASS;
}
