#include "player/app/ListenerDlg.h"

#include <cstdio>

#include "player/engine/Sound3D.h"
#include "player/res/resource.h"

namespace {
const int kSliderId[3] = {IDC_DISTANCE, IDC_DOPPLER, IDC_ROLLOFF};
const int kTextId[3] = {IDC_DISTANCE_TEXT, IDC_DOPPLER_TEXT, IDC_ROLLOFF_TEXT};
}  // namespace

BEGIN_MESSAGE_MAP(CListenerDlg, fw::CDialog)
  ON_MESSAGE(WM_HSCROLL, OnHScroll)
END_MESSAGE_MAP()

CListenerDlg::CListenerDlg(CSound3D* sound, fw::CWnd* parent) : fw::CDialog(IDD_LISTENER, parent), m_pSound(sound) {}

void CListenerDlg::DoDataExchange(fw::CDataExchange* dx) {
  for (int i = 0; i < 3; ++i) {
    fw::DDX_Control(dx, kTextId[i], m_wndText[i]);
    fw::DDX_Control(dx, kSliderId[i], m_wndSlider[i]);
  }
}

BOOL CListenerDlg::OnInitDialog() {
  fw::CDialog::OnInitDialog();
  IDirectSound3DListener* listener = m_pSound ? m_pSound->GetActiveListener() : nullptr;
  for (int i = 0; i < 3; ++i) {
    // A distance factor of 0 is no distance at all; the others may be 0.
    m_wndSlider[i].SetRange(i == 0 ? 1 : 0, kMaxPos, TRUE);
    m_wndSlider[i].SetTicFreq(10);
    float factor = 1.0f;
    if (listener) {
      D3DVALUE v = 1.0f;
      HRESULT hr = i == 0 ? listener->GetDistanceFactor(&v)
                          : i == 1 ? listener->GetDopplerFactor(&v) : listener->GetRolloffFactor(&v);
      if (SUCCEEDED(hr) && v >= 0.0f && v <= 10.0f) factor = v;
    }
    m_wndSlider[i].SetPos(static_cast<int>(factor * 10.0f + 0.5f));
  }
  return TRUE;
}

void CListenerDlg::Show(int row, float factor) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", static_cast<double>(factor));
  m_wndText[row].SetWindowText(text);
}

LRESULT CListenerDlg::OnHScroll(WPARAM, LPARAM lParam) {
  HWND slider = reinterpret_cast<HWND>(lParam);
  for (int i = 0; i < 3; ++i) {
    if (slider != m_wndSlider[i].m_hWnd) continue;
    float factor = static_cast<float>(m_wndSlider[i].GetPos()) * 0.1f;
    Show(i, factor);
    IDirectSound3DListener* listener = m_pSound ? m_pSound->GetActiveListener() : nullptr;
    if (listener) {
      if (i == 0) listener->SetDistanceFactor(factor, DS3D_IMMEDIATE);
      if (i == 1) listener->SetDopplerFactor(factor, DS3D_IMMEDIATE);
      if (i == 2) listener->SetRolloffFactor(factor, DS3D_IMMEDIATE);
    }
  }
  return Default();
}
