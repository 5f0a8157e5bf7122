// A demo's scene from above: the listener's head in the middle facing up (the front),
// metres mapped to pixels; the owner draws its sources and hears of left-button drags.
#pragma once
#include "framework/Wnd.h"

namespace demo {

struct ViewMap {
  int cx = 0, cy = 0;     // the listener, in pixels
  float scale = 1.0f;     // pixels per metre
  POINT ToPixel(float x, float z) const {
    return {cx + static_cast<LONG>(x * scale), cy - static_cast<LONG>(z * scale)};
  }
  void ToWorld(POINT p, float* x, float* z) const {
    *x = static_cast<float>(p.x - cx) / scale;
    *z = static_cast<float>(cy - p.y) / scale;
  }
};

class SceneOwner {
 public:
  virtual void DrawScene(HDC dc, const ViewMap& map) = 0;
  virtual void DragTo(float x, float z) = 0;

 protected:
  ~SceneOwner() = default;
};

class CDemoView : public fw::CFrameWnd {
  DECLARE_MESSAGE_MAP()
 public:
  // A child on that rectangle of the parent, showing span metres from the centre to the
  // nearer edge.
  BOOL Create(fw::CWnd* parent, const RECT& rect, SceneOwner* owner, float span);
  void Redraw() const { InvalidateRect(m_hWnd, nullptr, FALSE); }

 protected:
  BOOL PreCreateWindow(CREATESTRUCTA& cs) override;

 private:
  LRESULT OnEraseBkgnd(WPARAM, LPARAM) { return 1; }
  LRESULT OnPaint(WPARAM, LPARAM);
  LRESULT OnLButtonDown(WPARAM, LPARAM);
  LRESULT OnLButtonUp(WPARAM, LPARAM);
  LRESULT OnMouseMove(WPARAM, LPARAM);
  void Drag(LPARAM at);
  ViewMap Map() const;

  RECT m_rect{};
  SceneOwner* m_owner = nullptr;
  float m_span = 10.0f;
  bool m_dragging = false;
};

// A filled dot of radius r pixels at a point of the scene.
void DrawDot(HDC dc, const ViewMap& map, float x, float z, int r, COLORREF colour);

}  // namespace demo
