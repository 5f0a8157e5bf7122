#include "player/core/RoomState.h"

void RoomState::Create(int width, int height) {
  m_nWidth = width;
  m_nHeight = height;
  m_nDrag = 0;
  m_nAnimation = 0;
  m_bLeftDrag = 0;
  m_bRightDrag = 0;
}

int RoomState::EndAnimation() {
  if (--m_nAnimation < 0) m_nAnimation = 0;
  return m_nAnimation;
}

bool RoomState::HitTest(int s, int px, int py) const {
  int r = static_cast<int>(m_pixel[s].z);
  int x = static_cast<int>(m_pixel[s].x), y = static_cast<int>(m_pixel[s].y);
  int dx = px - x, dy = py - y;
  return (dx < 0 ? -dx : dx) <= r && (dy < 0 ? -dy : dy) <= r;
}

// A press on a dot starts its drag, unless a motion runs or the other button drags.
RoomState::Press RoomState::BeginDrag(int& mine, int other, int px, int py) {
  if (m_nAnimation > 0 || other) return Press::Refused;
  Press result = Press::Missed;
  for (int s = 0; s < 2; ++s) {
    if (!HitTest(s, px, py)) continue;
    mine = 1;
    m_nDrag = s;
    m_pixel[s].x = static_cast<float>(px);
    m_pixel[s].y = static_cast<float>(py);
    m_saved[s] = m_pixel[s];
    result = Press::Hit;
  }
  return result;
}

RoomState::Press RoomState::LeftDown(int px, int py) { return BeginDrag(m_bLeftDrag, m_bRightDrag, px, py); }

RoomState::Press RoomState::RightDown(int px, int py) {
  const Press result = BeginDrag(m_bRightDrag, m_bLeftDrag, px, py);
  if (result == Press::Hit) m_nLastY = py;
  return result;
}

// A drag that runs always ends at its button-up, or it would hold the mouse forever
// when a motion was switched on (by keyboard) in the middle of it.
bool RoomState::EndDrag(int& mine, int other) {
  if (!mine && (m_nAnimation > 0 || other)) return false;
  if (other) return false;
  m_saved[0] = m_pixel[0];
  m_saved[1] = m_pixel[1];
  mine = 0;
  return true;
}

bool RoomState::LeftUp() { return EndDrag(m_bLeftDrag, m_bRightDrag); }

bool RoomState::RightUp() { return EndDrag(m_bRightDrag, m_bLeftDrag); }

Point3 RoomState::Normalised(float x, float y, float h) const {
  return {m_nWidth > 0 ? x / static_cast<float>(m_nWidth) : 0.0f,
          m_nHeight > 0 ? y / static_cast<float>(m_nHeight) : 0.0f, h};
}

bool RoomState::MouseMove(int px, int py, int* source, Point3* n) {
  const int s = m_nDrag;
  if (m_bLeftDrag) {
    if (px < 0) px = 0;
    if (px > m_nWidth) px = m_nWidth;
    if (py < 0) py = 0;
    if (py > m_nHeight) py = m_nHeight;
    m_pixel[s].x = static_cast<float>(px);
    m_pixel[s].y = static_cast<float>(py);
    if (m_pixel[s].x == m_saved[s].x && m_pixel[s].y == m_saved[s].y) return false;
    m_norm[s] = Normalised(m_pixel[s].x, m_pixel[s].y, m_height[s]);
    m_saved[s].x = m_pixel[s].x;
    m_saved[s].y = m_pixel[s].y;
    *source = s;
    *n = m_norm[s];
    return true;
  }
  if (m_bRightDrag && py != m_nLastY) {
    m_height[s] = StepHeight(m_height[s], py < m_nLastY);
    m_norm[s] = Normalised(m_saved[s].x, m_saved[s].y, m_height[s]);
    m_pixel[s].z = DotDiameter(m_height[s]);
    m_saved[s].z = m_pixel[s].z;
    m_nLastY = py;
    *source = s;
    *n = m_norm[s];
    return true;
  }
  return false;
}

bool RoomState::Place(int source, const Point3* v) {
  if (source < 0 || source > 1) return false;  // only two sources exist
  m_nDrag = source;
  if (!v) return false;
  m_pixel[source] = {PixelX(m_nWidth, v->x), PixelY(m_nHeight, v->y), DotDiameter(v->z)};
  m_height[source] = v->z;
  m_saved[source] = m_pixel[source];
  return true;
}
