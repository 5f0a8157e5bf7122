// The player's main dialog: two sources, their positions, paths, wave files and engines.
#pragma once
#include <memory>

#include "framework/Controls.h"
#include "framework/Dialog.h"
#include "player/core/EditCtrl.h"
#include "player/core/PlayerLogic.h"

class CSound3D;
class CViewRoomWnd;

// An edit control as the position display sees it.
class CEditSinkWnd : public fw::CWnd, public EditSink {
 public:
  void SetText(const char* text) override { ::SetWindowTextA(m_hWnd, text); }
  void Enable(bool on) override { ::EnableWindow(m_hWnd, on ? TRUE : FALSE); }
};

class CPlayerDlg : public fw::CDialog {
  DECLARE_MESSAGE_MAP()
 public:
  CPlayerDlg();
  ~CPlayerDlg() override;

  BOOL OnInitDialog() override;
  void DoDataExchange(fw::CDataExchange* dx) override;

 private:
  enum { IDT_ANIMATE = 1124 };

  LRESULT OnSysCommand(WPARAM, LPARAM);
  LRESULT OnPaint(WPARAM, LPARAM);
  LRESULT OnQueryDragIcon(WPARAM, LPARAM);
  LRESULT OnDestroy(WPARAM, LPARAM);
  LRESULT OnTimer(WPARAM, LPARAM);
  LRESULT OnVScroll(WPARAM, LPARAM);
  LRESULT OnSourceMoved(WPARAM, LPARAM);
  LRESULT OnBlueMove(WPARAM, LPARAM) { return OnMove(0); }
  LRESULT OnRedMove(WPARAM, LPARAM) { return OnMove(1); }
  LRESULT OnBluePath(WPARAM, LPARAM) { return OnPathChange(0); }
  LRESULT OnRedPath(WPARAM, LPARAM) { return OnPathChange(1); }
  LRESULT OnBlueWave(WPARAM, LPARAM) { return OnWave(0); }
  LRESULT OnRedWave(WPARAM, LPARAM) { return OnWave(1); }
  LRESULT OnBlueWaves(WPARAM, LPARAM) { return OnWaveChange(0); }
  LRESULT OnRedWaves(WPARAM, LPARAM) { return OnWaveChange(1); }
  LRESULT OnBluePlay(WPARAM, LPARAM) { return OnPlay(0); }
  LRESULT OnRedPlay(WPARAM, LPARAM) { return OnPlay(1); }
  LRESULT OnBlueEngine(WPARAM, LPARAM) { return OnEngine(0); }
  LRESULT OnRedEngine(WPARAM, LPARAM) { return OnEngine(1); }

  LRESULT OnMove(int source);
  LRESULT OnPathChange(int source);
  LRESULT OnWave(int source);
  LRESULT OnWaveChange(int source);
  LRESULT OnPlay(int source);
  LRESULT OnEngine(int source);

  void CheckEngineChoice();
  void SetMoving(int source, bool on);
  int OpenWaveFile();
  void StartPlay(int source, int index);
  void ApplyPosition(int source, const Point3& p);
  void RefreshPosition(int source);
  void RefreshAllPositions();
  void ShowInRoom(int source, const Point3& p);
  Point3 Displayed(int source) const;
  void FocusHeight(int source);

  // Controls, per source: [0] Blue, [1] Red.
  fw::CSliderCtrl m_wndHeight[2];
  fw::CButton m_wndPlay[2];
  fw::CButton m_wndMove[2];
  fw::CButton m_wndTrivox[2];
  fw::CComboBox m_wndWaves[2];
  fw::CComboBox m_wndPath[2];
  fw::CStatic m_wndRoomFrame;
  CEditSinkWnd m_wndEdit[2][3];
  CEditCtrl m_position[2];
  HICON m_hIcon;
  std::unique_ptr<CSound3D> m_pSound;
  std::unique_ptr<CViewRoomWnd> m_pRoom;
  int m_nEngine[2] = {kEngineTrivox, kEngineTrivox};
  SourceMotion m_motion[2];
  WaveList m_waves;
  Point3 m_prev[2] = {{-2.0f, 0.0f, 0.0f}, {2.0f, 0.0f, 0.0f}};
  Point3 m_cur[2] = {{-2.0f, 0.0f, 0.0f}, {2.0f, 0.0f, 0.0f}};
};
