// Windows and message dispatch: one mechanism for window messages, command ids and
// notification codes, used by frames, dialogs, property sheets and pages alike.
#pragma once
#include <windows.h>

namespace fw {

class CWnd;
using Handler = LRESULT (CWnd::*)(WPARAM, LPARAM);

enum class MapKind { Message, Command, Notify };

struct MessageEntry {
  MapKind kind;
  UINT message;  // window message (Message), notification code (Command, Notify)
  UINT id;       // control or command id; unused for Message
  Handler handler;
};

struct MessageMap {
  const MessageMap* (*base)();
  const MessageEntry* entries;  // ends with a null handler
};

}  // namespace fw

// Message maps, declared in a class and defined beside its handlers.
#define DECLARE_MESSAGE_MAP()                     \
 public:                                          \
  static const ::fw::MessageMap* GetThisMessageMap(); \
  const ::fw::MessageMap* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(cls, basecls)                                               \
  const ::fw::MessageMap* cls::GetMessageMap() const { return GetThisMessageMap(); } \
  const ::fw::MessageMap* cls::GetThisMessageMap() {                                 \
    using ThisClass [[maybe_unused]] = cls;                                           \
    using BaseClass = basecls;                                                        \
    static const ::fw::MessageEntry entries[] = {
#define END_MESSAGE_MAP()                                                     \
  { ::fw::MapKind::Message, 0, 0, nullptr }                                   \
  };                                                                          \
  static const ::fw::MessageMap map = {&BaseClass::GetThisMessageMap, entries};               \
  return &map;                                                                \
  }

#define FW_HANDLER(fn) static_cast<::fw::Handler>(&ThisClass::fn)
// Handlers all take (WPARAM, LPARAM) and return LRESULT.
#define ON_MESSAGE(msg, fn) {::fw::MapKind::Message, (msg), 0, FW_HANDLER(fn)},
#define ON_COMMAND(id, fn) {::fw::MapKind::Command, 0, (id), FW_HANDLER(fn)},
#define ON_CONTROL(code, id, fn) {::fw::MapKind::Command, (code), (id), FW_HANDLER(fn)},
#define ON_BN_CLICKED(id, fn) ON_CONTROL(BN_CLICKED, id, fn)
#define ON_CBN_SELCHANGE(id, fn) ON_CONTROL(CBN_SELCHANGE, id, fn)
#define ON_WM_CREATE() ON_MESSAGE(WM_CREATE, OnCreateMessage)
#define ON_WM_DESTROY() ON_MESSAGE(WM_DESTROY, OnDestroyMessage)
#define ON_NOTIFY(code, id, fn) {::fw::MapKind::Notify, (code), (id), FW_HANDLER(fn)},

// Run-time class information: a name and a factory for dynamic creation.
namespace fw {
struct RuntimeClass {
  const char* className;
  CWnd* (*create)();
};
}  // namespace fw
#define DECLARE_DYNCREATE(cls)                 \
 public:                                       \
  static const ::fw::RuntimeClass class##cls;  \
  static ::fw::CWnd* CreateObject();
#define IMPLEMENT_DYNCREATE(cls)                                            \
  ::fw::CWnd* cls::CreateObject() { return new cls; }                       \
  const ::fw::RuntimeClass cls::class##cls = {#cls, &cls::CreateObject};
#define RUNTIME_CLASS(cls) (&cls::class##cls)

namespace fw {

class CWnd {
 public:
  CWnd() = default;
  virtual ~CWnd();
  CWnd(const CWnd&) = delete;
  CWnd& operator=(const CWnd&) = delete;

  HWND m_hWnd = nullptr;

  // Attaches the object to a window without routing its messages (controls).
  void Attach(HWND hwnd) { m_hWnd = hwnd; }
  HWND Detach() {
    HWND h = m_hWnd;
    m_hWnd = nullptr;
    return h;
  }
  // Routes the window's messages through this object's message map.
  void Subclass(HWND hwnd);
  static CWnd* FromHandlePermanent(HWND hwnd);

  // The window procedure of every routed window: message map first, then the default.
  virtual LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam);
  LRESULT Default();  // the current message, to the window's original procedure
  LRESULT DefWindowProc(UINT msg, WPARAM wParam, LPARAM lParam);
  virtual void PostNcDestroy() {}

  static const MessageMap* GetThisMessageMap();
  virtual const MessageMap* GetMessageMap() const;

  // Thin helpers over the window.
  HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
  LRESULT SendMessage(UINT m, WPARAM w = 0, LPARAM l = 0) const { return ::SendMessageA(m_hWnd, m, w, l); }
  BOOL PostMessage(UINT m, WPARAM w = 0, LPARAM l = 0) const { return ::PostMessageA(m_hWnd, m, w, l); }
  BOOL ShowWindow(int cmd) const { return ::ShowWindow(m_hWnd, cmd); }
  BOOL DestroyWindow();
  BOOL IsWindow() const { return m_hWnd && ::IsWindow(m_hWnd); }
  void SetWindowText(const char* text) const { ::SetWindowTextA(m_hWnd, text); }
  UINT_PTR SetTimer(UINT_PTR id, UINT ms) const { return ::SetTimer(m_hWnd, id, ms, nullptr); }
  BOOL KillTimer(UINT_PTR id) const { return ::KillTimer(m_hWnd, id); }
  void ShowItem(int id, bool show) const { ::ShowWindow(GetDlgItem(id), show ? SW_SHOW : SW_HIDE); }
  void EnableItem(int id, bool enable) const { ::EnableWindow(GetDlgItem(id), enable ? TRUE : FALSE); }
  CWnd* GetParentFrame() const;

 protected:
  static LRESULT CALLBACK RoutedWndProc(HWND, UINT, WPARAM, LPARAM);
  bool Dispatch(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result);
  WNDPROC m_pfnSuper = nullptr;

 private:
  struct CurrentMessage {
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
  } m_current{};
};

// While set, the next window created on this thread is routed to the given object
// before its first message (so that WM_CREATE reaches the object's map).
void HookWindowCreate(CWnd* wnd);
void UnhookWindowCreate();

// Fills in a child window without a menu on that rectangle of its parent, for PreCreateWindow.
void ChildOnRect(CREATESTRUCTA& cs, const char* name, DWORD style, const RECT& rect);

// Frame window: registered class with icon and menu of one resource id.
class CFrameWnd : public CWnd {
  DECLARE_MESSAGE_MAP()
 public:
  BOOL LoadFrame(UINT resourceId, DWORD style = WS_OVERLAPPEDWINDOW, CWnd* parent = nullptr,
                 void* context = nullptr);
  virtual BOOL PreCreateWindow(CREATESTRUCTA& cs);

 protected:
  virtual int OnCreate(LPCREATESTRUCTA cs);
  virtual void OnDestroy();
  LRESULT OnCreateMessage(WPARAM, LPARAM);
  LRESULT OnDestroyMessage(WPARAM, LPARAM);
  LRESULT OnCloseMessage(WPARAM, LPARAM);
  LRESULT OnNcDestroyMessage(WPARAM, LPARAM);
  char m_className[64] = {};
};

}  // namespace fw
