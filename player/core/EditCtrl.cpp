#include "player/core/EditCtrl.h"

#include <cstdio>
#include <initializer_list>

void CEditCtrl::GetRange(float& min, float& max, int axis) const {
  switch (axis) {
    case 0: min = m_fXMin; max = m_fXMax; break;
    case 1: min = m_fYMin; max = m_fYMax; break;
    case 2: min = m_fZMin; max = m_fZMax; break;
    default: break;
  }
}

void CEditCtrl::SetRanges(float xMin, float xMax, float yMin, float yMax, float zMin, float zMax) {
  m_fXMin = xMin;
  m_fXMax = xMax;
  m_fYMin = yMin;
  m_fYMax = yMax;
  m_fZMin = zMin;
  m_fZMax = zMax;
}

void CEditCtrl::SetRange(float min, float max, int axis) {
  switch (axis) {
    case 0: m_fXMin = min; m_fXMax = max; break;
    case 1: m_fYMin = min; m_fYMax = max; break;
    case 2: m_fZMin = min; m_fZMax = max; break;
    default: break;
  }
}

float CEditCtrl::GetValue(int axis) const {
  switch (axis) {
    case 0: return m_fX;
    case 1: return m_fY;
    case 2: return m_fZ;
    default: return 0.0f;
  }
}

void CEditCtrl::Store(float& slot, float v, float min, float max, EditSink* edit) {
  slot = v;
  if (v > max) slot = max;
  if (slot < min) slot = min;  // a range whose min exceeds its max yields min
  char text[64];
  std::snprintf(text, sizeof text, "%.2f", static_cast<double>(slot));
  if (edit) edit->SetText(text);
}

void CEditCtrl::SetX(float v) { Store(m_fX, v, m_fXMin, m_fXMax, m_pEditX); }
void CEditCtrl::SetY(float v) { Store(m_fY, v, m_fYMin, m_fYMax, m_pEditY); }
void CEditCtrl::SetZ(float v) { Store(m_fZ, v, m_fZMin, m_fZMax, m_pEditZ); }

void CEditCtrl::SetPosition(float x, float y, float z) {
  m_fX = x;
  m_fY = y;
  m_fZ = z;
  SetX(x);
  SetY(y);
  SetZ(z);
}

void CEditCtrl::EnableWindow(bool enable) {
  for (EditSink* e : {m_pEditX, m_pEditY, m_pEditZ})
    if (e) e->Enable(enable);
}
