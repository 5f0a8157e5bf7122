#include "framework/Wnd.h"

#include "framework/App.h"

namespace fw {
namespace {

const char kThisProp[] = "fw.CWnd";
thread_local CWnd* t_wndInit = nullptr;
thread_local HHOOK t_cbtHook = nullptr;

LRESULT CALLBACK CbtHookProc(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_CREATEWND && t_wndInit) {
    CWnd* wnd = t_wndInit;
    t_wndInit = nullptr;
    wnd->Subclass(reinterpret_cast<HWND>(wParam));
  }
  return CallNextHookEx(t_cbtHook, code, wParam, lParam);
}

}  // namespace

void HookWindowCreate(CWnd* wnd) {
  t_wndInit = wnd;
  if (!t_cbtHook) t_cbtHook = SetWindowsHookExA(WH_CBT, CbtHookProc, nullptr, GetCurrentThreadId());
}

void UnhookWindowCreate() {
  t_wndInit = nullptr;
  if (t_cbtHook) {
    UnhookWindowsHookEx(t_cbtHook);
    t_cbtHook = nullptr;
  }
}

CWnd::~CWnd() {
  if (m_hWnd && FromHandlePermanent(m_hWnd) == this) {
    // A routed window outliving its object must not call back into it.
    RemovePropA(m_hWnd, kThisProp);
    if (m_pfnSuper) SetWindowLongPtrA(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
  }
}

void CWnd::Subclass(HWND hwnd) {
  m_hWnd = hwnd;
  SetPropA(hwnd, kThisProp, this);
  m_pfnSuper = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWnd::RoutedWndProc)));
}

CWnd* CWnd::FromHandlePermanent(HWND hwnd) { return static_cast<CWnd*>(GetPropA(hwnd, kThisProp)); }

const MessageMap* CWnd::GetThisMessageMap() {
  static const MessageEntry none[] = {{MapKind::Message, 0, 0, nullptr}};
  static const MessageMap map = {nullptr, none};
  return &map;
}

const MessageMap* CWnd::GetMessageMap() const { return GetThisMessageMap(); }

bool CWnd::Dispatch(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  UINT code = 0, id = 0;
  MapKind kind = MapKind::Message;
  if (msg == WM_COMMAND) {
    kind = MapKind::Command;
    code = HIWORD(wParam);
    id = LOWORD(wParam);
  } else if (msg == WM_NOTIFY && lParam) {
    kind = MapKind::Notify;
    const NMHDR* hdr = reinterpret_cast<const NMHDR*>(lParam);
    code = hdr->code;
    id = static_cast<UINT>(hdr->idFrom);
  }
  for (const MessageMap* map = GetMessageMap(); map; map = map->base ? map->base() : nullptr) {
    for (const MessageEntry* e = map->entries; e->handler; ++e) {
      bool hit = false;
      if (e->kind == MapKind::Message)
        hit = e->message == msg;
      else
        hit = e->kind == kind && e->id == id && e->message == code;
      if (hit) {
        *result = (this->*(e->handler))(wParam, lParam);
        return true;
      }
    }
  }
  return false;
}

LRESULT CWnd::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  if (!Dispatch(msg, wParam, lParam, &result)) result = DefWindowProc(msg, wParam, lParam);
  return result;
}

LRESULT CWnd::Default() { return DefWindowProc(m_current.msg, m_current.wParam, m_current.lParam); }

LRESULT CWnd::DefWindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (m_pfnSuper) return CallWindowProcA(m_pfnSuper, m_hWnd, msg, wParam, lParam);
  return ::DefWindowProcA(m_hWnd, msg, wParam, lParam);
}

LRESULT CALLBACK CWnd::RoutedWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  CWnd* wnd = FromHandlePermanent(hwnd);
  if (!wnd) return ::DefWindowProcA(hwnd, msg, wParam, lParam);
  CurrentMessage saved = wnd->m_current;
  wnd->m_current = {msg, wParam, lParam};
  LRESULT result = wnd->WindowProc(msg, wParam, lParam);
  wnd->m_current = saved;
  if (msg == WM_NCDESTROY) {
    RemovePropA(hwnd, kThisProp);
    if (wnd->m_pfnSuper) SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(wnd->m_pfnSuper));
    wnd->m_pfnSuper = nullptr;
    wnd->m_hWnd = nullptr;
    wnd->PostNcDestroy();
  }
  return result;
}

BOOL CWnd::DestroyWindow() {
  if (!m_hWnd) return FALSE;
  return ::DestroyWindow(m_hWnd);
}

CWnd* CWnd::GetParentFrame() const {
  for (HWND h = GetParent(m_hWnd); h; h = GetParent(h)) {
    CWnd* w = FromHandlePermanent(h);
    if (dynamic_cast<CFrameWnd*>(w)) return w;
  }
  // Dialogs without a parent are owned by the application's main window.
  CWinApp* app = AfxGetApp();
  return app ? app->m_pMainWnd : nullptr;
}

// ---- frame window

BEGIN_MESSAGE_MAP(CFrameWnd, CWnd)
  ON_MESSAGE(WM_CREATE, OnCreateMessage)
  ON_MESSAGE(WM_DESTROY, OnDestroyMessage)
  ON_MESSAGE(WM_CLOSE, OnCloseMessage)
  ON_MESSAGE(WM_NCDESTROY, OnNcDestroyMessage)
END_MESSAGE_MAP()

void ChildOnRect(CREATESTRUCTA& cs, const char* name, DWORD style, const RECT& rect) {
  cs.lpszName = name;
  cs.style = style;
  cs.dwExStyle = 0;
  cs.hMenu = nullptr;
  cs.x = rect.left;
  cs.y = rect.top;
  cs.cx = rect.right - rect.left;
  cs.cy = rect.bottom - rect.top;
}

BOOL CFrameWnd::PreCreateWindow(CREATESTRUCTA&) { return TRUE; }

BOOL CFrameWnd::LoadFrame(UINT resourceId, DWORD style, CWnd* parent, void* context) {
  HINSTANCE inst = AfxGetInstanceHandle();
  wsprintfA(m_className, "FwFrame:%u", resourceId);
  WNDCLASSA wc{};
  wc.lpfnWndProc = ::DefWindowProcA;
  wc.hInstance = inst;
  wc.hIcon = LoadIconA(inst, MAKEINTRESOURCEA(resourceId));
  wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = m_className;
  WNDCLASSA existing;
  if (!GetClassInfoA(inst, m_className, &existing) && !RegisterClassA(&wc)) return FALSE;

  CREATESTRUCTA cs{};
  cs.lpCreateParams = context;
  cs.hInstance = inst;
  cs.hMenu = LoadMenuA(inst, MAKEINTRESOURCEA(resourceId));
  cs.hwndParent = parent ? parent->m_hWnd : nullptr;
  cs.cy = cs.cx = CW_USEDEFAULT;
  cs.y = cs.x = CW_USEDEFAULT;
  cs.style = static_cast<LONG>(style & ~WS_VISIBLE);
  cs.lpszName = "";
  cs.lpszClass = m_className;
  if (!PreCreateWindow(cs)) {
    if (cs.hMenu) DestroyMenu(cs.hMenu);
    return FALSE;
  }
  HookWindowCreate(this);
  HWND hwnd = CreateWindowExA(cs.dwExStyle, cs.lpszClass, cs.lpszName, static_cast<DWORD>(cs.style), cs.x, cs.y,
                              cs.cx, cs.cy, cs.hwndParent, cs.hMenu, cs.hInstance, cs.lpCreateParams);
  UnhookWindowCreate();
  if (!hwnd && cs.hMenu) DestroyMenu(cs.hMenu);
  return hwnd != nullptr;
}

int CFrameWnd::OnCreate(LPCREATESTRUCTA) { return static_cast<int>(Default()); }
void CFrameWnd::OnDestroy() { Default(); }

LRESULT CFrameWnd::OnCreateMessage(WPARAM, LPARAM lParam) {
  return OnCreate(reinterpret_cast<LPCREATESTRUCTA>(lParam));
}
LRESULT CFrameWnd::OnDestroyMessage(WPARAM, LPARAM) {
  OnDestroy();
  return 0;
}
LRESULT CFrameWnd::OnCloseMessage(WPARAM, LPARAM) {
  DestroyWindow();
  return 0;
}
LRESULT CFrameWnd::OnNcDestroyMessage(WPARAM, LPARAM) {
  LRESULT r = Default();
  // Destroying the main window ends the program.
  CWinApp* app = AfxGetApp();
  if (app && app->m_pMainWnd == this) {
    app->m_pMainWnd = nullptr;
    PostQuitMessage(0);
  }
  return r;
}

}  // namespace fw
