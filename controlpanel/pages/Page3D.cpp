#include "controlpanel/pages/Page3D.h"

#include <direct.h>
#include <process.h>

#include "controlpanel/pages/Page3DRules.h"
#include "controlpanel/pages/PageServices.h"
#include "controlpanel/res/resource.h"
#include "shared/settings/Store.h"
#include "framework/App.h"
#include "framework/Util.h"

namespace {

struct Demo {
  int button;
  UINT label;
  UINT icon;
  const char* program;
};
// In the order the buttons are drawn.
const Demo kDemos[] = {{IDC_DEMO_PLAYER, IDS_DEMO_PLAYER, IDI_DEMO_PLAYER, ZEPHRA_DEMO_PLAYER},
                       {IDC_DEMO_HELICOPTER, IDS_DEMO_HELICOPTER, IDI_DEMO_HELICOPTER, ZEPHRA_DEMO_HELICOPTER},
                       {IDC_DEMO_BEES, IDS_DEMO_BEES, IDI_DEMO_BEES, ZEPHRA_DEMO_BEES},
                       {IDC_DEMO_RACE, IDS_DEMO_RACE, IDI_DEMO_RACE, ZEPHRA_DEMO_RACE}};

struct IconDeleter {
  void operator()(HICON icon) const { ::DestroyIcon(icon); }
};
using OwnedIcon = std::unique_ptr<std::remove_pointer_t<HICON>, IconDeleter>;

// A window's device context, released on leaving.
class WindowDC {
 public:
  explicit WindowDC(HWND window) : m_hWnd(window), m_hDC(::GetDC(window)) {}
  ~WindowDC() {
    if (m_hDC) ::ReleaseDC(m_hWnd, m_hDC);
  }
  WindowDC(const WindowDC&) = delete;
  WindowDC& operator=(const WindowDC&) = delete;
  HDC Get() const { return m_hDC; }

 private:
  HWND m_hWnd;
  HDC m_hDC;
};

// A memory context; what was selected into it goes back before it is deleted.
class MemoryDC {
 public:
  explicit MemoryDC(HDC like) : m_hDC(::CreateCompatibleDC(like)) {}
  ~MemoryDC() {
    if (m_hDC) ::DeleteDC(m_hDC);
  }
  MemoryDC(const MemoryDC&) = delete;
  MemoryDC& operator=(const MemoryDC&) = delete;
  HDC Get() const { return m_hDC; }

 private:
  HDC m_hDC;
};

}  // namespace

BEGIN_MESSAGE_MAP(CPage3D, fw::CPropertyPage)
  ON_BN_CLICKED(IDC_DEMO_PLAYER, OnDemoClicked)
  ON_BN_CLICKED(IDC_DEMO_BEES, OnDemoClicked)
  ON_BN_CLICKED(IDC_DEMO_RACE, OnDemoClicked)
  ON_BN_CLICKED(IDC_DEMO_HELICOPTER, OnDemoClicked)
  ON_BN_CLICKED(IDC_SPLASH, OnSplashClicked)
  ON_BN_CLICKED(IDC_ABOUT_TRIVOX, OnAboutClicked)
END_MESSAGE_MAP()

CPage3D::CPage3D(CPageServices& services) : fw::CPropertyPage(IDD_PAGE_3D), m_pServices(&services) {}

CPage3D::~CPage3D() { m_pToolTip.reset(); }

void CPage3D::DoDataExchange(fw::CDataExchange* dx) {
  fw::CPropertyPage::DoDataExchange(dx);
  fw::DDX_Check(dx, IDC_SPLASH, m_bEnableSplash);
}

BOOL CPage3D::OnInitDialog() {
  fw::CPropertyPage::OnInitDialog();
  m_bEnableSplash = 0;
  {
    const settings::Key key(catalogue::kTrivoxShared, 0, settings::Open::ExistingAllowed);
    DWORD splash = 0;
    if (settings::ReadDword(key, catalogue::SplashAudio.name, &splash)) m_bEnableSplash = splash != 0 ? 1 : 0;
  }
  UpdateData(FALSE);

  m_pToolTip = std::make_unique<fw::CToolTipCtrl>();
  if (!m_pToolTip->Create(this, 0)) {
    m_pToolTip.reset();
  } else {
    AddToolTips();
    m_pServices->SetToolTipOwner(m_pToolTip.get(), m_hWnd);
  }

  const HINSTANCE inst = fw::AfxGetInstanceHandle();
  for (size_t i = 0; i < sizeof kDemos / sizeof kDemos[0]; ++i) {
    const HICON shared = ::LoadIconA(inst, MAKEINTRESOURCEA(kDemos[i].icon));
    const OwnedIcon small(static_cast<HICON>(::CopyImage(shared, IMAGE_ICON, demos::kIconSize, demos::kIconSize,
                                                         LR_COPYDELETEORG)));
    MakeDemoButtonImage(kDemos[i].button, small.get(), fw::LoadStr(kDemos[i].label).c_str(), m_hImages[i]);
  }
  return TRUE;
}

void CPage3D::AddToolTips() {
  static const struct {
    int control;
    UINT text;
  } tools[] = {{IDC_ABOUT_TRIVOX, IDS_TIP_ABOUT_TRIVOX}, {IDC_SPLASH, IDS_TIP_SPLASH},
               {IDC_DEMO_PLAYER, IDS_TIP_DEMO_PLAYER}, {IDC_DEMO_HELICOPTER, IDS_TIP_DEMO_HELICOPTER},
               {IDC_DEMO_BEES, IDS_TIP_DEMO_BEES}, {IDC_DEMO_RACE, IDS_TIP_DEMO_RACE}};
  for (const auto& t : tools) m_pToolTip->AddTool(this, t.control, fw::LoadStr(t.text).c_str());
}

void CPage3D::MakeDemoButtonImage(int buttonId, HICON icon, const char* label, OwnedBitmap& image) const {
  const HWND button = GetDlgItem(buttonId);
  const WindowDC dc(button);
  RECT client{};
  ::GetClientRect(button, &client);
  const int width = demos::ButtonImageWidth(client.right - client.left);

  const MemoryDC mem(dc.Get());
  OwnedBitmap bitmap(::CreateCompatibleBitmap(dc.Get(), width, demos::kImageHeight));
  if (!bitmap || !mem.Get()) {
    ::SendMessageA(button, BM_SETIMAGE, IMAGE_BITMAP, 0);
    return;
  }
  const HGDIOBJ oldBitmap = ::SelectObject(mem.Get(), bitmap.get());
  RECT area{0, 0, width, demos::kImageHeight};
  const HBRUSH face = ::CreateSolidBrush(::GetSysColor(COLOR_BTNFACE));
  ::FillRect(mem.Get(), &area, face);
  ::DeleteObject(face);
  ::DrawIconEx(mem.Get(), 0, 0, icon, demos::kIconSize, demos::kIconSize, 0, nullptr, DI_NORMAL);
  ::SetBkColor(mem.Get(), ::GetSysColor(COLOR_BTNFACE));
  const HGDIOBJ oldFont = ::SelectObject(mem.Get(), ::GetStockObject(ANSI_VAR_FONT));
  ::TextOutA(mem.Get(), demos::kLabelX, demos::kLabelY, label, static_cast<int>(lstrlenA(label)));
  ::SelectObject(mem.Get(), oldBitmap);
  ::SendMessageA(button, BM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap.get()));
  ::SelectObject(mem.Get(), oldFont);
  image = std::move(bitmap);
}

// The demo's own folder stays the panel's current directory; the start is not watched.
void CPage3D::LaunchDemo(const char* name) const {
  const demos::Launch launch = demos::DemoLaunch(m_pServices->ProgramDir(), name);
  _chdir(launch.directory.c_str());
  _spawnlp(_P_NOWAIT, launch.program.c_str(), launch.program.c_str(), static_cast<const char*>(nullptr));
}

LRESULT CPage3D::OnDemoClicked(WPARAM wParam, LPARAM) {
  for (const Demo& demo : kDemos)
    if (demo.button == LOWORD(wParam)) LaunchDemo(demo.program);
  return 0;
}

// Trivox software reads both values; the key is setup's to create, so a missing one stays so.
LRESULT CPage3D::OnSplashClicked(WPARAM, LPARAM) {
  UpdateData(TRUE);
  const settings::Key key(catalogue::kTrivoxShared, 0, settings::Open::ExistingAllowed);
  const DWORD value = m_bEnableSplash == 1 ? 1 : 0;
  settings::WriteDword(key, catalogue::SplashAudio.name, value);
  settings::WriteDword(key, catalogue::SplashScreen.name, value);
  return 0;
}

LRESULT CPage3D::OnAboutClicked(WPARAM, LPARAM) {
  fw::CDialog about(IDD_TRIVOX_ABOUT);
  about.DoModal();
  return 0;
}

BOOL CPage3D::OnSetActive() {
  m_pServices->SetToolTipOwner(m_pToolTip.get(), m_hWnd);
  return fw::CPropertyPage::OnSetActive();
}

BOOL CPage3D::OnKillActive() {
  m_pServices->SetToolTipOwner(nullptr, nullptr);
  return fw::CPropertyPage::OnKillActive();
}

BOOL CPage3D::OnApply() { return fw::CPropertyPage::OnApply(); }
