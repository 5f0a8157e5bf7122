// Lapline: cars lapping an oval around the listener; the lead car's speed is the user's.
#include <windows.h>

#include <commctrl.h>

#include <cstdio>

#include "player/demos/common/DemoApp.h"
#include "player/demos/common/resource.h"

namespace {

constexpr int kMaxCars = 4;
constexpr float kSpeedStep = 5.0f;
const COLORREF kColour[kMaxCars] = {RGB(220, 40, 30), RGB(30, 70, 200), RGB(230, 200, 30), RGB(40, 150, 60)};

class CLaplineDlg : public demo::CDemoDlg {
  DECLARE_MESSAGE_MAP()
 public:
  CLaplineDlg() : demo::CDemoDlg(58.0f) {
    for (int i = 0; i < kMaxCars; ++i) {
      m_car[i].s = demo::Track::Length() * i / kMaxCars;
      m_car[i].speed = m_car[i].wanted = 28.0f + 6.0f * static_cast<float>(i);
    }
  }

 protected:
  void StartScene() override {
    Voices().Create(SoundPath("Engine.wav").c_str(), kMaxCars);
    HWND cars = GetDlgItem(IDC_CARS);
    for (const char* n : {"1", "2", "3", "4"}) ::SendMessageA(cars, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(n));
    ::SendMessageA(cars, CB_SETCURSEL, static_cast<WPARAM>(m_cars - 1), 0);
    Advance(0);
  }
  void PlayVoices(bool on) override {
    for (int i = 0; i < kMaxCars; ++i) Voices().Play(i, on && i < m_cars);
  }
  void Advance(double dt) override {
    for (int i = 0; i < kMaxCars; ++i) {
      m_car[i].Advance(dt);
      Voices().Place(i, demo::Track::At(m_car[i].s, m_car[i].speed));
      Voices().SetPitch(i, m_car[i].EnginePitch());
    }
    char text[64];
    std::snprintf(text, sizeof text, "Lead car: %.0f m/s", static_cast<double>(m_car[0].speed));
    SetItemText(IDC_STATUS, text);
  }
  void DrawScene(HDC dc, const demo::ViewMap& map) override {
    HPEN pen = CreatePen(PS_SOLID, 3, RGB(110, 110, 110));
    HGDIOBJ old = SelectObject(dc, pen);
    const int steps = 120;
    for (int k = 0; k <= steps; ++k) {
      const demo::Sample s = demo::Track::At(demo::Track::Length() * k / steps, 0);
      const POINT p = map.ToPixel(s.pos.x, s.pos.z);
      if (k == 0)
        MoveToEx(dc, p.x, p.y, nullptr);
      else
        LineTo(dc, p.x, p.y);
    }
    SelectObject(dc, old);
    DeleteObject(pen);
    for (int i = m_cars - 1; i >= 0; --i) {
      const demo::Sample s = demo::Track::At(m_car[i].s, m_car[i].speed);
      demo::DrawDot(dc, map, s.pos.x, s.pos.z, i == 0 ? 5 : 4, kColour[i]);
    }
  }

 private:
  LRESULT OnFaster(WPARAM, LPARAM) {
    m_car[0].Want(m_car[0].wanted + kSpeedStep);
    return 0;
  }
  LRESULT OnSlower(WPARAM, LPARAM) {
    m_car[0].Want(m_car[0].wanted - kSpeedStep);
    return 0;
  }
  LRESULT OnCars(WPARAM, LPARAM) {
    const LRESULT sel = ::SendMessageA(GetDlgItem(IDC_CARS), CB_GETCURSEL, 0, 0);
    if (sel >= 0 && sel < kMaxCars) m_cars = static_cast<int>(sel) + 1;
    PlayVoices(!Paused());
    return 0;
  }

  demo::Car m_car[kMaxCars];
  int m_cars = 3;
};

BEGIN_MESSAGE_MAP(CLaplineDlg, demo::CDemoDlg)
  ON_BN_CLICKED(IDC_FASTER, OnFaster)
  ON_BN_CLICKED(IDC_SLOWER, OnSlower)
  ON_CBN_SELCHANGE(IDC_CARS, OnCars)
END_MESSAGE_MAP()

std::unique_ptr<demo::CDemoDlg> Make() { return std::make_unique<CLaplineDlg>(); }

}  // namespace

demo::CDemoApp theApp(&Make);
