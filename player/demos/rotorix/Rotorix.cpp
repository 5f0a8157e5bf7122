// Rotorix: a helicopter circling, over the listener's head once a lap; dragging in the
// view moves the centre of its circle.
#include "player/demos/common/DemoApp.h"
#include "player/demos/common/resource.h"

namespace {

class CRotorixDlg : public demo::CDemoDlg {
 public:
  CRotorixDlg() : demo::CDemoDlg(30.0f) {}

 protected:
  void StartScene() override {
    Voices().Create(SoundPath("Rotor.wav").c_str(), 1);
    Voices().Place(0, m_path.At(m_t));
  }
  void PlayVoices(bool on) override { Voices().Play(0, on); }
  void Advance(double dt) override {
    m_t += dt;
    Voices().Place(0, m_path.At(m_t));
  }
  void DragTo(float x, float z) override {
    m_path.SetCentre(x, z);
    Voices().Place(0, m_path.At(m_t));
  }
  void DrawScene(HDC dc, const demo::ViewMap& map) override {
    const POINT c = map.ToPixel(m_path.CentreX(), m_path.CentreZ());
    const int r = static_cast<int>(demo::HeliPath::kRadius * map.scale);
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
    HPEN pen = CreatePen(PS_DOT, 1, RGB(70, 90, 70));
    HGDIOBJ oldPen = SelectObject(dc, pen);
    Ellipse(dc, c.x - r, c.y - r, c.x + r, c.y + r);
    MoveToEx(dc, c.x - 4, c.y, nullptr);
    LineTo(dc, c.x + 5, c.y);
    MoveToEx(dc, c.x, c.y - 4, nullptr);
    LineTo(dc, c.x, c.y + 5);
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    DeleteObject(pen);
    const demo::Sample s = m_path.At(m_t);
    demo::DrawDot(dc, map, s.pos.x, s.pos.z, 7, RGB(40, 60, 90));
    // The rotor disc, a little ahead along the flight.
    demo::DrawDot(dc, map, s.pos.x + s.vel.x * 0.05f, s.pos.z + s.vel.z * 0.05f, 3, RGB(230, 230, 240));
  }

 private:
  demo::HeliPath m_path;
  double m_t = 0;
};

std::unique_ptr<demo::CDemoDlg> Make() { return std::make_unique<CRotorixDlg>(); }

}  // namespace

demo::CDemoApp theApp(&Make);
