// What the room view knows and decides: where each dot is drawn and how large, which
// drag runs, and what a mouse event turns into. The window only paints and sends.
#pragma once
#include "player/core/PlayerLogic.h"

class RoomState {
 public:
  void Create(int width, int height);

  void BeginAnimation() { ++m_nAnimation; }
  int EndAnimation();
  int GetAnimationCount() const { return m_nAnimation; }

  enum class Press { Refused, Missed, Hit };
  // A hit starts the drag: the caller captures the mouse and repaints.
  Press LeftDown(int px, int py);
  Press RightDown(int px, int py);
  // False when the release is refused (nothing to do, no default processing);
  // true when the caller releases the capture.
  bool LeftUp();
  bool RightUp();
  // True when the dragged source changed: *source and *n are what the dialog is told,
  // and the view repaints.
  bool MouseMove(int px, int py, int* source, Point3* n);
  // A placement from the dialog; true when the view repaints.
  bool Place(int source, const Point3* v);

  // Source drawn first; the other one lies on top.
  int FirstDrawn() const { return m_pixel[0].z > m_pixel[1].z ? 1 : 0; }
  const Point3& Pixel(int source) const { return m_pixel[source & 1]; }
  float HeightValue(int source) const { return m_height[source & 1]; }
  int DragIndex() const { return m_nDrag; }
  bool LeftDragging() const { return m_bLeftDrag != 0; }
  bool RightDragging() const { return m_bRightDrag != 0; }
  int Width() const { return m_nWidth; }
  int Height() const { return m_nHeight; }

 private:
  bool HitTest(int source, int px, int py) const;
  Press BeginDrag(int& mine, int other, int px, int py);
  bool EndDrag(int& mine, int other);
  Point3 Normalised(float x, float y, float h) const;

  int m_nDrag = 0;
  int m_nAnimation = 0;
  int m_bLeftDrag = 0;
  int m_bRightDrag = 0;
  int m_nWidth = 0, m_nHeight = 0;
  Point3 m_norm[2] = {};
  Point3 m_saved[2] = {};
  Point3 m_pixel[2] = {{0, 0, 11.0f}, {0, 0, 11.0f}};
  float m_height[2] = {};
  int m_nLastY = 0;
};
