// The position display of one source: three read-only edits, a range per axis, values
// clamped into their range and shown with two decimals. The edits are reached through
// EditSink so that the logic runs without a window system.
#pragma once

class EditSink {
 public:
  virtual void SetText(const char* text) = 0;
  virtual void Enable(bool on) = 0;

 protected:
  ~EditSink() = default;
};

class CEditCtrl {
 public:
  CEditCtrl() = default;
  virtual ~CEditCtrl() = default;
  CEditCtrl(const CEditCtrl&) = delete;
  CEditCtrl& operator=(const CEditCtrl&) = delete;

  void Attach(EditSink* x, EditSink* y, EditSink* z) {
    m_pEditX = x;
    m_pEditY = y;
    m_pEditZ = z;
  }

  virtual void GetRange(float& min, float& max, int axis) const;
  virtual void SetRanges(float xMin, float xMax, float yMin, float yMax, float zMin, float zMax);
  virtual void SetRange(float min, float max, int axis);
  virtual float GetValue(int axis) const;
  virtual float GetX() const { return m_fX; }
  virtual float GetY() const { return m_fY; }
  virtual float GetZ() const { return m_fZ; }
  virtual void SetX(float v);
  virtual void SetY(float v);
  virtual void SetZ(float v);
  virtual void SetPosition(float x, float y, float z);
  virtual void EnableWindow(bool enable);

 private:
  static void Store(float& slot, float v, float min, float max, EditSink* edit);

  EditSink* m_pEditX = nullptr;
  EditSink* m_pEditY = nullptr;
  EditSink* m_pEditZ = nullptr;
  float m_fXMin = 0.0f, m_fXMax = 0.0f;
  float m_fYMin = 0.0f, m_fYMax = 0.0f;
  float m_fZMin = 0.0f, m_fZMax = 0.0f;
  float m_fX = 0.0f, m_fY = 0.0f, m_fZ = 0.0f;
};
