#include "player/app/PlayerDlg.h"

#include "shared/settings/Store.h"
#include "framework/App.h"
#include "framework/Util.h"
#include "player/app/AboutDlg.h"
#include "player/app/ListenerDlg.h"
#include "player/engine/Sound3D.h"
#include "player/res/resource.h"
#include "player/view/ViewRoomWnd.h"

namespace {
const int kHeightId[2] = {IDC_BLUE_HEIGHT, IDC_RED_HEIGHT};
const int kEditId[2][3] = {{IDC_BLUE_X, IDC_BLUE_Y, IDC_BLUE_Z}, {IDC_RED_X, IDC_RED_Y, IDC_RED_Z}};
const Point3 kStart[2] = {{-2.0f, 0.0f, 0.0f}, {2.0f, 0.0f, 0.0f}};
}  // namespace

BEGIN_MESSAGE_MAP(CPlayerDlg, fw::CDialog)
  ON_MESSAGE(WM_SYSCOMMAND, OnSysCommand)
  ON_MESSAGE(WM_PAINT, OnPaint)
  ON_MESSAGE(WM_QUERYDRAGICON, OnQueryDragIcon)
  ON_MESSAGE(WM_DESTROY, OnDestroy)
  ON_MESSAGE(WM_TIMER, OnTimer)
  ON_MESSAGE(WM_VSCROLL, OnVScroll)
  ON_MESSAGE(WM_SOURCE_MOVED, OnSourceMoved)
  ON_BN_CLICKED(IDC_BLUE_MOVE, OnBlueMove)
  ON_BN_CLICKED(IDC_RED_MOVE, OnRedMove)
  ON_CBN_SELCHANGE(IDC_BLUE_PATH, OnBluePath)
  ON_CBN_SELCHANGE(IDC_RED_PATH, OnRedPath)
  ON_BN_CLICKED(IDC_BLUE_WAVE, OnBlueWave)
  ON_BN_CLICKED(IDC_RED_WAVE, OnRedWave)
  ON_CBN_SELCHANGE(IDC_BLUE_WAVES, OnBlueWaves)
  ON_CBN_SELCHANGE(IDC_RED_WAVES, OnRedWaves)
  ON_BN_CLICKED(IDC_BLUE_PLAY, OnBluePlay)
  ON_BN_CLICKED(IDC_RED_PLAY, OnRedPlay)
  ON_BN_CLICKED(IDC_BLUE_TRIVOX, OnBlueEngine)
  ON_BN_CLICKED(IDC_BLUE_DS3D, OnBlueEngine)
  ON_BN_CLICKED(IDC_RED_TRIVOX, OnRedEngine)
  ON_BN_CLICKED(IDC_RED_DS3D, OnRedEngine)
END_MESSAGE_MAP()

CPlayerDlg::CPlayerDlg() : fw::CDialog(IDD_PLAYER_DIALOG, nullptr) {
  m_hIcon = LoadIconA(fw::AfxGetInstanceHandle(), MAKEINTRESOURCEA(IDR_MAINFRAME));
}

CPlayerDlg::~CPlayerDlg() = default;

void CPlayerDlg::DoDataExchange(fw::CDataExchange* dx) {
  fw::DDX_Control(dx, IDC_RED_HEIGHT, m_wndHeight[1]);
  fw::DDX_Control(dx, IDC_BLUE_HEIGHT, m_wndHeight[0]);
  fw::DDX_Control(dx, IDC_RED_PLAY, m_wndPlay[1]);
  fw::DDX_Control(dx, IDC_BLUE_PLAY, m_wndPlay[0]);
  fw::DDX_Control(dx, IDC_RED_MOVE, m_wndMove[1]);
  fw::DDX_Control(dx, IDC_BLUE_MOVE, m_wndMove[0]);
  fw::DDX_Control(dx, IDC_RED_TRIVOX, m_wndTrivox[1]);
  fw::DDX_Control(dx, IDC_BLUE_TRIVOX, m_wndTrivox[0]);
  fw::DDX_Control(dx, IDC_RED_WAVES, m_wndWaves[1]);
  fw::DDX_Control(dx, IDC_BLUE_WAVES, m_wndWaves[0]);
  fw::DDX_Control(dx, IDC_RED_PATH, m_wndPath[1]);
  fw::DDX_Control(dx, IDC_BLUE_PATH, m_wndPath[0]);
  fw::DDX_Control(dx, IDC_ROOM, m_wndRoomFrame);
}

BOOL CPlayerDlg::OnInitDialog() {
  fw::CDialog::OnInitDialog();

  HMENU sys = GetSystemMenu(m_hWnd, FALSE);
  if (sys) {
    std::string about = fw::LoadStr(IDS_ABOUTBOX);
    if (!about.empty()) AppendMenuA(sys, MF_STRING, IDM_ABOUTBOX, about.c_str());
    std::string listener = fw::LoadStr(IDS_LISTENER);
    if (!listener.empty()) AppendMenuA(sys, MF_STRING, IDM_LISTENER, listener.c_str());
    EnableMenuItem(sys, SC_SIZE, MF_BYCOMMAND | MF_GRAYED);
    EnableMenuItem(sys, SC_MAXIMIZE, MF_BYCOMMAND | MF_GRAYED);
  }
  SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
  SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));

  m_pSound = std::make_unique<CSound3D>();
  m_pSound->Startup();  // failures were shown by the engine

  RECT r;
  GetWindowRect(m_wndRoomFrame.m_hWnd, &r);
  POINT corners[2] = {{r.left, r.top}, {r.right, r.bottom}};
  ScreenToClient(m_hWnd, &corners[0]);
  ScreenToClient(m_hWnd, &corners[1]);
  RECT inDialog = {corners[0].x, corners[0].y, corners[1].x, corners[1].y};
  auto room = std::make_unique<CViewRoomWnd>();
  if (room->Create(this, inDialog)) m_pRoom = std::move(room);

  for (int s = 0; s < 2; ++s) {
    for (int a = 0; a < 3; ++a) m_wndEdit[s][a].Attach(GetDlgItem(kEditId[s][a]));
    m_position[s].Attach(&m_wndEdit[s][0], &m_wndEdit[s][1], &m_wndEdit[s][2]);
    m_position[s].SetRanges(-kRoomLimit, kRoomLimit, -kRoomLimit, kRoomLimit, -kRoomLimit, kRoomLimit);
    m_position[s].SetPosition(kStart[s].x, kStart[s].y, kStart[s].z);
    m_prev[s] = m_cur[s] = kStart[s];
  }
  for (int s = 0; s < 2; ++s) {
    m_wndHeight[s].SetRange(kSliderMin, kSliderMax, TRUE);
    m_wndHeight[s].SetTicFreq(60);
    m_wndHeight[s].SendMessage(TBM_SETPAGESIZE, 0, 100);
    m_wndHeight[s].SetPos(SliderPosFromHeight(m_position[s].GetY()));
  }
  m_wndPath[0].SetCurSel(0);
  m_wndPath[1].SetCurSel(0);
  EnableItem(IDC_BLUE_PLAY, false);
  EnableItem(IDC_RED_PLAY, false);
  m_wndTrivox[0].SetCheck(BST_CHECKED);
  m_wndTrivox[1].SetCheck(BST_CHECKED);
  CheckEngineChoice();
  RefreshAllPositions();
  SetTimer(IDT_ANIMATE, 33);
  ::SetFocus(m_wndHeight[0].m_hWnd);
  return FALSE;
}

void CPlayerDlg::CheckEngineChoice() {
  // The stored type is not checked; a missing key or value leaves 0.
  DWORD enable = catalogue::EnableDS3D.byDefault.number, stored = 0;
  if (settings::ReadDword(catalogue::EnableDS3D, &stored)) enable = stored;
  if (enable == 1) return;
  for (int id : {IDC_BLUE_DS3D, IDC_RED_DS3D, IDC_BLUE_TRIVOX, IDC_RED_TRIVOX, IDC_2D3D}) ShowItem(id, false);
  RECT r;
  GetWindowRect(m_hWnd, &r);
  r.bottom -= 24;
  MoveWindow(m_hWnd, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
}

Point3 CPlayerDlg::Displayed(int s) const {
  return {m_position[s].GetX(), m_position[s].GetY(), m_position[s].GetZ()};
}

void CPlayerDlg::ApplyPosition(int s, const Point3& p) {
  m_pSound->SetSourcePosition(s, p.x, p.y, p.z);
  if (m_motion[s].moving == 1) m_pSound->SetSourceVelocity(s, 0.0f, 0.0f, 0.0f);
}

void CPlayerDlg::RefreshPosition(int s) { ApplyPosition(s, Displayed(s)); }

void CPlayerDlg::RefreshAllPositions() {
  for (int s = 0; s < 2; ++s) {
    Point3 p = Displayed(s);
    ApplyPosition(s, p);
    ShowInRoom(s, p);
  }
}

void CPlayerDlg::ShowInRoom(int s, const Point3& p) {
  if (!m_pRoom) return;
  Point3 v = ViewPointOf(p);
  m_pRoom->SendMessage(WM_PLACE_SOURCE, static_cast<WPARAM>(s), reinterpret_cast<LPARAM>(&v));
}

void CPlayerDlg::FocusHeight(int s) { ::SetFocus(m_wndHeight[s].m_hWnd); }

LRESULT CPlayerDlg::OnSysCommand(WPARAM wParam, LPARAM) {
  UINT cmd = static_cast<UINT>(wParam) & 0xFFF0;
  if (cmd == IDM_ABOUTBOX) {
    CPlayerAboutDlg about(this);
    about.DoModal();
    return 0;
  }
  if (cmd == IDM_LISTENER) {
    CListenerDlg listener(m_pSound.get(), this);
    listener.DoModal();
    return 0;
  }
  return Default();
}

LRESULT CPlayerDlg::OnPaint(WPARAM, LPARAM) {
  if (!IsIconic(m_hWnd)) return Default();
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(m_hWnd, &ps);
  SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  int cx = GetSystemMetrics(SM_CXICON), cy = GetSystemMetrics(SM_CYICON);
  RECT rect;
  GetClientRect(m_hWnd, &rect);
  DrawIcon(dc, (rect.right - cx + 1) / 2, (rect.bottom - cy + 1) / 2, m_hIcon);
  EndPaint(m_hWnd, &ps);
  return 0;
}

LRESULT CPlayerDlg::OnQueryDragIcon(WPARAM, LPARAM) { return reinterpret_cast<LRESULT>(m_hIcon); }

LRESULT CPlayerDlg::OnDestroy(WPARAM, LPARAM) {
  LRESULT r = Default();
  if (m_pSound) {
    m_pSound->Shutdown();
    m_pSound->FreeSampleData();
    m_pSound.reset();
  }
  return r;
}

LRESULT CPlayerDlg::OnTimer(WPARAM wParam, LPARAM) {
  if (wParam != IDT_ANIMATE) return 0;
  for (int s = 0; s < 2; ++s) {
    if (AdvanceMotion(m_motion[s])) {
      Point3 p = PathPoint(m_motion[s].path, m_motion[s].angle);
      ApplyPosition(s, p);
      m_position[s].SetPosition(p.x, p.y, p.z);
      ShowInRoom(s, p);
    } else {
      Point3 v = DragVelocity(m_cur[s], m_prev[s]);
      m_pSound->SetSourceVelocity(s, v.x, v.y, v.z);
      m_prev[s] = m_cur[s];
    }
  }
  return Default();
}

LRESULT CPlayerDlg::OnVScroll(WPARAM, LPARAM lParam) {
  HWND slider = reinterpret_cast<HWND>(lParam);
  int id = slider ? GetDlgCtrlID(slider) : 0;
  int s = id == IDC_BLUE_HEIGHT ? 0 : id == IDC_RED_HEIGHT ? 1 : -1;
  if (s >= 0) {
    m_position[s].SetY(HeightFromSlider(m_wndHeight[s].GetPos()));
    ApplyPosition(s, Displayed(s));
    if (m_pRoom && m_pRoom->GetAnimationCount() == 0) RefreshAllPositions();
  }
  return Default();
}

LRESULT CPlayerDlg::OnSourceMoved(WPARAM wParam, LPARAM lParam) {
  int s = static_cast<int>(wParam);
  const Point3* n = reinterpret_cast<const Point3*>(lParam);
  if ((s != 0 && s != 1) || !n) return 0;
  Point3 p = RoomFromNormalised(*n);
  m_cur[s] = p;
  m_position[s].SetPosition(p.x, p.y, p.z);
  m_wndHeight[s].SetPos(SliderPosFromHeight(p.y));
  ApplyPosition(s, p);
  return 0;
}

LRESULT CPlayerDlg::OnMove(int s) {
  m_wndMove[s].SetCheck(m_wndMove[s].GetCheck() == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED);
  SetMoving(s, m_wndMove[s].GetCheck() == BST_CHECKED);
  FocusHeight(s);
  return 0;
}

LRESULT CPlayerDlg::OnPathChange(int s) {
  if (m_wndMove[s].GetCheck() == BST_CHECKED) {
    OnMove(s);
    OnMove(s);
  }
  return 0;
}

void CPlayerDlg::SetMoving(int s, bool on) {
  if (on) {
    m_motion[s].moving = 1;
    m_motion[s].restart = 1;
    int path = m_wndPath[s].GetCurSel();
    m_motion[s].path = path < 0 ? kPathClockwise : path;
    if (m_pRoom) m_pRoom->BeginAnimation();
  } else {
    m_motion[s].moving = 0;
    if (m_pRoom && m_pRoom->EndAnimation() == 0) RefreshAllPositions();
  }
}

int CPlayerDlg::OpenWaveFile() {
  fw::CFileDialog dlg(TRUE, nullptr, nullptr, OFN_HIDEREADONLY, "Sound File (*.wav)|*.wav|All Files (*.*)|*.*||",
                      nullptr);
  dlg.m_ofn.lpstrTitle = "Open a Wave file";
  if (dlg.DoModal() != IDOK) return -1;
  std::string path = dlg.GetPathName();
  bool added = false;
  int i = m_waves.Add(path.c_str(), &added);
  if (!added) return i;
  const char* name = BareFileName(m_waves.Path(i));
  m_wndWaves[0].AddString(name);
  m_wndWaves[1].AddString(name);
  if (m_waves.Count() == 1) {
    m_wndWaves[0].SetCurSel(0);
    m_wndWaves[1].SetCurSel(0);
    EnableItem(IDC_BLUE_PLAY, true);
    EnableItem(IDC_RED_PLAY, true);
  }
  return i;
}

LRESULT CPlayerDlg::OnWave(int s) {
  int i = OpenWaveFile();
  if (i != -1) {
    m_wndWaves[s].SetCurSel(i);
    m_wndPlay[s].SetCheck(BST_CHECKED);
    OnWaveChange(s);
  }
  return 0;
}

LRESULT CPlayerDlg::OnWaveChange(int s) {
  if (m_wndPlay[s].GetCheck() == BST_CHECKED) {
    OnPlay(s);
    OnPlay(s);
  }
  return 0;
}

LRESULT CPlayerDlg::OnPlay(int s) {
  m_wndPlay[s].SetCheck(m_wndPlay[s].GetCheck() == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED);
  if (m_wndPlay[s].GetCheck() == BST_CHECKED) {
    int i = m_wndWaves[s].GetCurSel();
    if (i >= 0) StartPlay(s, i);
  } else {
    m_pSound->StopSource(s);
    m_motion[s].playing = 0;
  }
  FocusHeight(s);
  return 0;
}

void CPlayerDlg::StartPlay(int s, int i) {
  if (m_motion[s].playing == 1) {
    m_pSound->StopSource(s);
    m_motion[s].playing = 0;
  }
  if (m_pSound->LoadAndPlay(s, m_waves.Path(i), m_nEngine[s]) >= 0) m_motion[s].playing = 1;
  RefreshPosition(s);
}

LRESULT CPlayerDlg::OnEngine(int s) {
  int trivox = m_wndTrivox[s].GetCheck() == BST_CHECKED ? kEngineTrivox : kEngineDS3D;
  if (trivox == m_nEngine[s]) return 0;
  m_nEngine[s] = trivox;
  m_pSound->SelectEngine(s, trivox, m_wndPlay[s].GetCheck() == BST_CHECKED ? 1 : 0);
  return 0;
}
