#include "splash.h"

#include <atomic>
#include <vector>

#include "shared/names/Names.h"
#include "splash_res.h"
#include "splash_rules.h"

namespace trivox {
namespace {

constexpr UINT kLogoMs = 1500;
const wchar_t kLogoClass[] = L"" ZEPHRA_SPLASH_CLASS;

class RegKey {
 public:
  explicit RegKey(const char* path) {
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_QUERY_VALUE, &m_key) != ERROR_SUCCESS) m_key = nullptr;
  }
  ~RegKey() {
    if (m_key) RegCloseKey(m_key);
  }
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;
  bool settingOn(const char* name) const {
    uint8_t data[4] = {};
    DWORD size = sizeof data;
    // A longer value does not fit and reads as off.
    return m_key && RegQueryValueExA(m_key, name, nullptr, nullptr, data, &size) == ERROR_SUCCESS &&
           splashSettingOn(data, size);
  }

 private:
  HKEY m_key = nullptr;
};

class Bitmap {
 public:
  explicit Bitmap(HBITMAP b) : m_bitmap(b) {}
  ~Bitmap() {
    if (m_bitmap) DeleteObject(m_bitmap);
  }
  Bitmap(const Bitmap&) = delete;
  Bitmap& operator=(const Bitmap&) = delete;
  HBITMAP get() const { return m_bitmap; }

 private:
  HBITMAP m_bitmap;
};

void paintLogo(HWND w) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(w, &ps);
  const HBITMAP logo = reinterpret_cast<HBITMAP>(GetWindowLongPtrW(w, GWLP_USERDATA));
  BITMAP info = {};
  HDC mem = CreateCompatibleDC(dc);
  if (mem && logo && GetObjectW(logo, sizeof info, &info)) {
    const HGDIOBJ old = SelectObject(mem, logo);
    BitBlt(dc, 0, 0, info.bmWidth, info.bmHeight, mem, 0, 0, SRCCOPY);
    SelectObject(mem, old);
  }
  if (mem) DeleteDC(mem);
  EndPaint(w, &ps);
}

LRESULT CALLBACK logoProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_NCCREATE:
      SetWindowLongPtrW(w, GWLP_USERDATA,
                        reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams));
      break;
    case WM_MOUSEACTIVATE:
      return MA_NOACTIVATE;  // a click closes the logo, the user's window keeps the focus
    case WM_PAINT:
      paintLogo(w);
      return 0;
    case WM_TIMER:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
      DestroyWindow(w);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(w, msg, wp, lp);
}

void runLogo(HMODULE self) {
  const Bitmap logo(LoadBitmapW(self, MAKEINTRESOURCEW(IDB_SPLASH_LOGO)));
  BITMAP info = {};
  if (!logo.get() || !GetObjectW(logo.get(), sizeof info, &info)) return;
  WNDCLASSW wc = {};
  wc.lpfnWndProc = logoProc;
  wc.hInstance = self;
  wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.lpszClassName = kLogoClass;
  if (!RegisterClassW(&wc)) return;
  RECT work = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  const int x = (work.left + work.right - info.bmWidth) / 2, y = (work.top + work.bottom - info.bmHeight) / 2;
  HWND w = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, kLogoClass, L"Trivox", WS_POPUP, x, y,
                           info.bmWidth, info.bmHeight, nullptr, nullptr, self, logo.get());
  if (w) {
    SetTimer(w, 1, kLogoMs, nullptr);
    ShowWindow(w, SW_SHOWNOACTIVATE);
    MSG m;
    while (GetMessageW(&m, nullptr, 0, 0) > 0) DispatchMessageW(&m);
  }
  UnregisterClassW(kLogoClass, self);
}

DWORD WINAPI logoThread(void* module) {
  runLogo(static_cast<HMODULE>(module));
  // The module reference taken for this thread goes with it.
  FreeLibraryAndExitThread(static_cast<HMODULE>(module), 0);
  return 0;
}

void startLogo() {
  HMODULE self = nullptr;
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&logoThread), &self))
    return;
  HANDLE t = CreateThread(nullptr, 0, logoThread, self, 0, nullptr);
  if (t) {
    CloseHandle(t);
  } else {
    FreeLibrary(self);
  }
}

}  // namespace

void startSplash(Engine& engine) {
  static std::atomic<bool> taken{false};
  const bool first = !taken.exchange(true);
  const RegKey key("Software\\Orvane\\Trivox");
  const SplashPlan plan = planSplash(first, key.settingOn("SplashAudio"), key.settingOn("SplashScreen"));
  if (plan.chime) {
    // Kept for the process: engines of later devices may still be playing it.
    static const std::vector<int16_t> chime = makeChime(kMixRate);
    engine.playInternal(chime.data(), static_cast<uint32_t>(chime.size()));
  }
  if (plan.logo) startLogo();
}

}  // namespace trivox
