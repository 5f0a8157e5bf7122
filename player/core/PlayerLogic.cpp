#include "player/core/PlayerLogic.h"

#include <cmath>
#include <cstring>

Point3 PathPoint(int path, float a) {
  const double r = kPathRadius;
  const double s = std::sin(static_cast<double>(a)), c = std::cos(static_cast<double>(a));
  switch (path) {
    case kPathClockwise:
      return {static_cast<float>(-r * c), 0.0f, static_cast<float>(r * s)};
    case kPathOverheadLR:
      return {static_cast<float>(-r * c), static_cast<float>(r * s), 0.0f};
    case kPathOverheadFB:
      return {0.0f, static_cast<float>(r * s), static_cast<float>(r * c)};
    case kPathBounceRFLB:
      return {static_cast<float>(r * s), 0.0f, static_cast<float>(0.3 + r * s)};
    default:
      return {0.0f, 0.0f, 0.0f};
  }
}

bool AdvanceMotion(SourceMotion& m) {
  if (m.restart == 1) {
    m.angle = 0.0f;
    m.restart = 0;
  }
  if (m.moving != 1) return false;
  if (static_cast<double>(m.angle) > 6.2831854)
    m.angle = 0.0f;
  else
    m.angle = m.angle + m.step;
  return true;
}

Point3 ViewPointOf(const Point3& p) {
  const float third = 0.33333334f;
  return {p.x * third, p.z * -third, p.y * third};
}

float PixelX(int width, float vx) { return static_cast<float>(width / 2) * (vx + 1.0f); }
float PixelY(int height, float vy) { return static_cast<float>(height / 2) * (vy + 1.0f); }
float DotDiameter(float h) { return 11.0f + 5.7f * (h + 1.0f); }

Point3 RoomFromNormalised(const Point3& n) {
  return {6.0f * n.x - 3.0f, 3.0f * n.z, 3.0f - 6.0f * n.y};
}

int SliderPosFromHeight(float y) {
  double pos = static_cast<double>(y) * -100.0;
  // Out-of-range heights cannot happen through the dialog; keep the cast defined anyway.
  if (!(pos > -1e6)) pos = -1e6;
  if (pos > 1e6) pos = 1e6;
  return static_cast<int>(pos);
}

float HeightFromSlider(int pos) { return static_cast<float>(-static_cast<double>(pos) * 0.01); }

Point3 DragVelocity(const Point3& cur, const Point3& prev) {
  if (cur == prev) return {0.0f, 0.0f, 0.0f};
  return {(cur.x - prev.x) * 20.0f, (cur.y - prev.y) * 20.0f, (cur.z - prev.z) * 20.0f};
}

float StepHeight(float h, bool up) {
  h = up ? h + 0.01f : h - 0.01f;
  if (h > 1.0f) h = 1.0f;
  if (h < -1.0f) h = -1.0f;
  return h;
}

int WaveList::Find(const char* path) const {
  for (int i = 0; i < m_count; ++i)
    if (std::strcmp(m_paths[i], path) == 0) return i;
  return -1;
}

int WaveList::Add(const char* path, bool* added) {
  *added = false;
  int i = Find(path);
  if (i >= 0) return i;
  // A longer path would be cut and then name another file.
  if (m_count >= kMax || std::strlen(path) >= kPathChars) return -1;
  std::memcpy(m_paths[m_count], path, std::strlen(path) + 1);
  *added = true;
  return m_count++;
}

const char* BareFileName(const char* path) {
  const char* name = path;
  for (const char* p = path; *p; ++p)
    if (*p == '\\' || *p == '/' || *p == ':') name = p + 1;
  return name;
}
