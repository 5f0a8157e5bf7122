// Buzzfield: a swarm of 1 to 256 bees around the listener, and what rendering them costs.
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "player/demos/common/DemoApp.h"
#include "player/demos/common/resource.h"

namespace {

constexpr int kMaxBees = 256;
constexpr int kStartBees = 16;

// CPU time of the whole program (the Trivox engine renders in it) per second of sound.
class CpuMeter {
 public:
  // Milliseconds of CPU per second since the last reading; -1 before the first.
  double Read() {
    FILETIME created, ended, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user)) return -1;
    const ULONGLONG cpu = Ticks(kernel) + Ticks(user), now = GetTickCount();
    const double result = m_wall && now > m_wall ? (cpu - m_cpu) / 1e4 / ((now - m_wall) / 1000.0) : -1;
    m_cpu = cpu;
    m_wall = now;
    return result;
  }

 private:
  static ULONGLONG Ticks(const FILETIME& f) { return (ULONGLONG(f.dwHighDateTime) << 32) | f.dwLowDateTime; }
  ULONGLONG m_cpu = 0, m_wall = 0;
};

class CBuzzfieldDlg : public demo::CDemoDlg {
  DECLARE_MESSAGE_MAP()
 public:
  CBuzzfieldDlg() : demo::CDemoDlg(5.0f) {
    m_paths.reserve(kMaxBees);
    for (int i = 0; i < kMaxBees; ++i) m_paths.emplace_back(static_cast<uint32_t>(i));
  }

 protected:
  void StartScene() override {
    const int made = Voices().Create(SoundPath("Bee.wav").c_str(), kMaxBees);
    for (int i = 0; i < made; ++i) Voices().SetPitch(i, 0.85f + 0.3f * static_cast<float>((i * 37) % 64) / 63.0f);
    HWND slider = GetDlgItem(IDC_BEES);
    ::SendMessageA(slider, TBM_SETRANGE, TRUE, MAKELPARAM(1, made > 0 ? made : 1));
    ::SendMessageA(slider, TBM_SETPAGESIZE, 0, 16);
    ::SendMessageA(slider, TBM_SETPOS, TRUE, m_bees);
    SetCount(std::min(m_bees, made > 0 ? made : 1));
    Advance(0);
    Advance(0);
    m_meter.Read();
  }
  void PlayVoices(bool on) override {
    for (int i = 0; i < kMaxBees; ++i) Voices().Play(i, on && i < m_bees);
  }
  void Advance(double dt) override {
    m_t += dt;
    // Half the swarm each tick: the engine glides between positions, and the time saved
    // is the renderer's.
    m_half = 1 - m_half;
    for (int i = m_half; i < m_bees; i += 2) Voices().Place(i, m_paths[static_cast<size_t>(i)].At(m_t));
    m_sinceReading += dt;
    if (m_sinceReading < 1.0) return;
    m_sinceReading = 0;
    const double ms = m_meter.Read();
    char text[96];
    std::snprintf(text, sizeof text, "Render load: %.0f ms CPU per audio second (whole program)", ms);
    if (ms >= 0) SetItemText(IDC_LOAD, text);
  }
  void DrawScene(HDC dc, const demo::ViewMap& map) override {
    // Above the ears bright, below them dark.
    HBRUSH brush[2] = {CreateSolidBrush(RGB(150, 110, 10)), CreateSolidBrush(RGB(250, 200, 20))};
    HGDIOBJ old = SelectObject(dc, brush[0]);
    for (int i = 0; i < m_bees; ++i) {
      const demo::Sample s = m_paths[static_cast<size_t>(i)].At(m_t);
      const POINT p = map.ToPixel(s.pos.x, s.pos.z);
      SelectObject(dc, brush[s.pos.y > 0 ? 1 : 0]);
      Ellipse(dc, p.x - 2, p.y - 2, p.x + 3, p.y + 3);
    }
    SelectObject(dc, old);
    DeleteObject(brush[0]);
    DeleteObject(brush[1]);
  }

 private:
  void SetCount(int n) {
    m_bees = n;
    // The swarm's loudness stays the same, however many bees make it.
    const LONG each = static_cast<LONG>(-1000.0 * std::log10(static_cast<double>(n)));
    for (int i = 0; i < Voices().Count(); ++i) Voices().SetVolume(i, each);
    PlayVoices(!Paused());
    char text[32];
    std::snprintf(text, sizeof text, "Bees: %d", n);
    SetItemText(IDC_BEE_COUNT, text);
  }
  LRESULT OnHScroll(WPARAM, LPARAM) {
    const int n = static_cast<int>(::SendMessageA(GetDlgItem(IDC_BEES), TBM_GETPOS, 0, 0));
    if (n != m_bees && n >= 1 && n <= kMaxBees) SetCount(n);
    return 0;
  }

  std::vector<demo::BeePath> m_paths;
  int m_bees = kStartBees;
  int m_half = 0;
  double m_t = 0, m_sinceReading = 0;
  CpuMeter m_meter;
};

BEGIN_MESSAGE_MAP(CBuzzfieldDlg, demo::CDemoDlg)
  ON_MESSAGE(WM_HSCROLL, OnHScroll)
END_MESSAGE_MAP()

std::unique_ptr<demo::CDemoDlg> Make() { return std::make_unique<CBuzzfieldDlg>(); }

}  // namespace

demo::CDemoApp theApp(&Make);
