#include "player/demos/common/DemoView.h"

#include <windowsx.h>

namespace demo {

BEGIN_MESSAGE_MAP(CDemoView, fw::CFrameWnd)
  ON_MESSAGE(WM_ERASEBKGND, OnEraseBkgnd)
  ON_MESSAGE(WM_PAINT, OnPaint)
  ON_MESSAGE(WM_LBUTTONDOWN, OnLButtonDown)
  ON_MESSAGE(WM_LBUTTONUP, OnLButtonUp)
  ON_MESSAGE(WM_MOUSEMOVE, OnMouseMove)
END_MESSAGE_MAP()

BOOL CDemoView::Create(fw::CWnd* parent, const RECT& rect, SceneOwner* owner, float span) {
  m_rect = rect;
  m_owner = owner;
  m_span = span;
  return LoadFrame(0, WS_CHILD | WS_VISIBLE, parent);
}

BOOL CDemoView::PreCreateWindow(CREATESTRUCTA& cs) {
  fw::ChildOnRect(cs, "Scene", WS_CHILD | WS_VISIBLE | WS_BORDER, m_rect);
  return TRUE;
}

void DrawDot(HDC dc, const ViewMap& map, float x, float z, int r, COLORREF colour) {
  const POINT p = map.ToPixel(x, z);
  HBRUSH brush = CreateSolidBrush(colour);
  HGDIOBJ old = SelectObject(dc, brush);
  Ellipse(dc, p.x - r, p.y - r, p.x + r + 1, p.y + r + 1);
  SelectObject(dc, old);
  DeleteObject(brush);
}

ViewMap CDemoView::Map() const {
  RECT client;
  GetClientRect(m_hWnd, &client);
  ViewMap map;
  map.cx = client.right / 2;
  map.cy = client.bottom / 2;
  const int half = client.right < client.bottom ? client.right / 2 : client.bottom / 2;
  map.scale = static_cast<float>(half > 0 ? half : 1) / m_span;
  return map;
}

LRESULT CDemoView::OnPaint(WPARAM, LPARAM) {
  PAINTSTRUCT ps;
  HDC screen = BeginPaint(m_hWnd, &ps);
  RECT client;
  GetClientRect(m_hWnd, &client);
  // Drawn off screen first, so the moving sources do not flicker.
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, client.right, client.bottom);
  HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
  HBRUSH ground = CreateSolidBrush(RGB(196, 208, 184));
  FillRect(dc, &client, ground);
  DeleteObject(ground);
  const ViewMap map = Map();
  DrawDot(dc, map, 0, 0, 6, RGB(224, 184, 144));  // the listener's head, the nose to the front
  DrawDot(dc, map, 0, 6.0f / map.scale, 2, RGB(120, 80, 40));
  if (m_owner) m_owner->DrawScene(dc, map);
  BitBlt(screen, 0, 0, client.right, client.bottom, dc, 0, 0, SRCCOPY);
  SelectObject(dc, oldBitmap);
  DeleteObject(bitmap);
  DeleteDC(dc);
  EndPaint(m_hWnd, &ps);
  return 0;
}

void CDemoView::Drag(LPARAM at) {
  if (!m_owner) return;
  float x, z;
  Map().ToWorld(POINT{GET_X_LPARAM(at), GET_Y_LPARAM(at)}, &x, &z);
  m_owner->DragTo(x, z);
  Redraw();
}

LRESULT CDemoView::OnLButtonDown(WPARAM, LPARAM l) {
  m_dragging = true;
  SetCapture(m_hWnd);
  Drag(l);
  return 0;
}

LRESULT CDemoView::OnLButtonUp(WPARAM, LPARAM l) {
  if (m_dragging) Drag(l);
  m_dragging = false;
  ReleaseCapture();
  return 0;
}

LRESULT CDemoView::OnMouseMove(WPARAM, LPARAM l) {
  if (m_dragging) Drag(l);
  return 0;
}

}  // namespace demo
