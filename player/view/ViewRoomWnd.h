// The "Virtual Room": the room from above with one dot per source, dragged with the left
// button in the plane and with the right button in height.
#pragma once
#include "framework/Wnd.h"
#include "player/core/RoomState.h"

#define WM_SOURCE_MOVED 0x465
#define WM_PLACE_SOURCE 0x466

class CViewRoomWnd : public fw::CFrameWnd {
  DECLARE_MESSAGE_MAP()
 public:
  CViewRoomWnd() = default;
  ~CViewRoomWnd() override;

  // A visible child of the parent on that rectangle of its client area.
  BOOL Create(fw::CWnd* parent, const RECT& rect);
  void BeginAnimation() { m_state.BeginAnimation(); }
  int EndAnimation() { return m_state.EndAnimation(); }
  int GetAnimationCount() const { return m_state.GetAnimationCount(); }

 protected:
  BOOL PreCreateWindow(CREATESTRUCTA& cs) override;
  int OnCreate(LPCREATESTRUCTA cs) override;
  void OnDestroy() override;

 private:
  LRESULT OnEraseBkgnd(WPARAM, LPARAM);
  LRESULT OnPaint(WPARAM, LPARAM);
  LRESULT OnLButtonDown(WPARAM, LPARAM);
  LRESULT OnLButtonUp(WPARAM, LPARAM);
  LRESULT OnRButtonDown(WPARAM, LPARAM);
  LRESULT OnRButtonUp(WPARAM, LPARAM);
  LRESULT OnMouseMove(WPARAM, LPARAM);
  LRESULT OnPlaceSource(WPARAM, LPARAM);
  LRESULT OnPress(RoomState::Press press);
  void Redraw() const;
  void DrawDot(HDC dc, int source) const;

  HBITMAP m_hBackground = nullptr;
  RoomState m_state;
  RECT m_rect{};
  HWND m_hParent = nullptr;
};
