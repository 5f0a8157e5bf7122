#include "player/view/ViewRoomWnd.h"

#include <windowsx.h>

#include "framework/App.h"
#include "player/res/resource.h"

namespace {
const COLORREF kColour[2] = {0x00FF0040, 0x003246FA};  // Blue, Red
}

BEGIN_MESSAGE_MAP(CViewRoomWnd, fw::CFrameWnd)
  ON_MESSAGE(WM_ERASEBKGND, OnEraseBkgnd)
  ON_MESSAGE(WM_PAINT, OnPaint)
  ON_MESSAGE(WM_LBUTTONDOWN, OnLButtonDown)
  ON_MESSAGE(WM_LBUTTONUP, OnLButtonUp)
  ON_MESSAGE(WM_RBUTTONDOWN, OnRButtonDown)
  ON_MESSAGE(WM_RBUTTONUP, OnRButtonUp)
  ON_MESSAGE(WM_MOUSEMOVE, OnMouseMove)
  ON_MESSAGE(WM_PLACE_SOURCE, OnPlaceSource)
END_MESSAGE_MAP()

CViewRoomWnd::~CViewRoomWnd() {
  if (m_hBackground) DeleteObject(m_hBackground);
}

BOOL CViewRoomWnd::Create(fw::CWnd* parent, const RECT& rect) {
  m_rect = rect;
  m_hParent = parent->m_hWnd;
  return LoadFrame(0, WS_CHILD | WS_VISIBLE, parent) && (ShowWindow(SW_SHOW), TRUE);
}

BOOL CViewRoomWnd::PreCreateWindow(CREATESTRUCTA& cs) {
  fw::ChildOnRect(cs, "3D Room", WS_CHILD | WS_VISIBLE, m_rect);
  return TRUE;
}

int CViewRoomWnd::OnCreate(LPCREATESTRUCTA cs) {
  if (fw::CFrameWnd::OnCreate(cs) == -1) return -1;
  RECT client;
  GetClientRect(m_hWnd, &client);
  m_state.Create(client.right, client.bottom);
  m_hBackground = LoadBitmapA(fw::AfxGetInstanceHandle(), MAKEINTRESOURCEA(IDB_ROOM));
  return 0;
}

void CViewRoomWnd::OnDestroy() {
  fw::CFrameWnd::OnDestroy();
  if (m_hBackground) {
    DeleteObject(m_hBackground);
    m_hBackground = nullptr;
  }
}

LRESULT CViewRoomWnd::OnEraseBkgnd(WPARAM wParam, LPARAM) {
  HDC dc = reinterpret_cast<HDC>(wParam);
  if (!m_hBackground) return Default();
  HDC mem = CreateCompatibleDC(dc);
  if (!mem) return Default();
  HGDIOBJ old = SelectObject(mem, m_hBackground);
  SetStretchBltMode(dc, COLORONCOLOR);
  StretchBlt(dc, 0, 0, m_state.Width(), m_state.Height(), mem, 0, 0, 263, 240, SRCCOPY);
  SelectObject(mem, old);
  DeleteDC(mem);
  return 0;
}

void CViewRoomWnd::DrawDot(HDC dc, int s) const {
  const Point3& p = m_state.Pixel(s);
  HPEN pen = CreatePen(PS_SOLID, static_cast<int>(p.z), kColour[s]);
  if (!pen) return;
  HGDIOBJ old = SelectObject(dc, pen);
  int x = static_cast<int>(p.x), y = static_cast<int>(p.y);
  MoveToEx(dc, x, y, nullptr);
  LineTo(dc, x, y);
  SelectObject(dc, old);
  DeleteObject(pen);
}

LRESULT CViewRoomWnd::OnPaint(WPARAM, LPARAM) {
  PAINTSTRUCT ps;
  BeginPaint(m_hWnd, &ps);
  HDC dc = GetDC(m_hWnd);
  if (dc) {
    int oldMode = SetBkMode(dc, TRANSPARENT);
    int first = m_state.FirstDrawn();
    DrawDot(dc, first);
    DrawDot(dc, 1 - first);
    SetBkMode(dc, oldMode);
    ReleaseDC(m_hWnd, dc);
  }
  EndPaint(m_hWnd, &ps);
  return 0;
}

void CViewRoomWnd::Redraw() const { InvalidateRect(m_hWnd, nullptr, TRUE); }

LRESULT CViewRoomWnd::OnPress(RoomState::Press press) {
  if (press == RoomState::Press::Refused) {
    MessageBeep(MB_ICONHAND);
    return 0;
  }
  if (press == RoomState::Press::Hit) {
    SetCapture(m_hWnd);
    Redraw();
  }
  return Default();
}

LRESULT CViewRoomWnd::OnLButtonDown(WPARAM, LPARAM lParam) {
  return OnPress(m_state.LeftDown(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)));
}

LRESULT CViewRoomWnd::OnRButtonDown(WPARAM, LPARAM lParam) {
  return OnPress(m_state.RightDown(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)));
}

LRESULT CViewRoomWnd::OnLButtonUp(WPARAM, LPARAM) {
  if (!m_state.LeftUp()) return 0;
  ReleaseCapture();
  return Default();
}

LRESULT CViewRoomWnd::OnRButtonUp(WPARAM, LPARAM) {
  if (!m_state.RightUp()) return 0;
  ReleaseCapture();
  return Default();
}

LRESULT CViewRoomWnd::OnMouseMove(WPARAM, LPARAM lParam) {
  int source = 0;
  Point3 n{};
  if (m_state.MouseMove(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam), &source, &n)) {
    ::SendMessageA(GetParent(m_hWnd), WM_SOURCE_MOVED, static_cast<WPARAM>(source), reinterpret_cast<LPARAM>(&n));
    Redraw();
  }
  return Default();
}

LRESULT CViewRoomWnd::OnPlaceSource(WPARAM wParam, LPARAM lParam) {
  if (m_state.Place(static_cast<int>(wParam), reinterpret_cast<const Point3*>(lParam))) Redraw();
  return 0;
}
