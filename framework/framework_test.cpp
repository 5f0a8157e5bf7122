// The framework's dispatch, dialogs and data exchange against real windows.
#include <gtest/gtest.h>

#include "framework/App.h"
#include "framework/Controls.h"
#include "framework/Dialog.h"
#include "framework/PropSheet.h"
#include "framework/TextFit.h"
#include "framework/Util.h"

namespace {

fw::CWinApp g_app("Framework Test");

class TestDialog : public fw::CDialog {
  DECLARE_MESSAGE_MAP()
 public:
  TestDialog() : fw::CDialog(100) {}
  BOOL OnInitDialog() override {
    fw::CDialog::OnInitDialog();
    comboCount = static_cast<int>(::SendDlgItemMessageA(m_hWnd, 1006, CB_GETCOUNT, 0, 0));
    if (onInit) onInit(this);
    return TRUE;
  }
  void DoDataExchange(fw::CDataExchange* dx) override {
    fw::DDX_Check(dx, 1001, check);
    fw::DDX_Radio(dx, 1002, radio);
    fw::DDX_Text(dx, 1005, text);
  }
  LRESULT OnCreate(WPARAM, LPARAM) {
    ++creates;
    return refuseCreate ? -1 : Default();
  }
  LRESULT OnCheckClicked(WPARAM, LPARAM) {
    ++checkClicks;
    return 0;
  }
  LRESULT OnPrivate(WPARAM w, LPARAM l) { return static_cast<LRESULT>(w + l); }

  int check = 0, radio = 0, comboCount = -1, creates = 0, checkClicks = 0;
  bool refuseCreate = false;
  std::string text;
  void (*onInit)(TestDialog*) = nullptr;
};

BEGIN_MESSAGE_MAP(TestDialog, fw::CDialog)
  ON_MESSAGE(WM_CREATE, OnCreate)
  ON_BN_CLICKED(1001, OnCheckClicked)
  ON_MESSAGE(WM_APP + 5, OnPrivate)
END_MESSAGE_MAP()

TEST(Dialog, DataMovesBothWaysAndOkEndsTheLoop) {
  TestDialog dlg;
  dlg.check = 1;
  dlg.radio = 2;
  dlg.text = "hello";
  dlg.onInit = [](TestDialog* d) {
    // Members reached the controls...
    EXPECT_EQ(::SendDlgItemMessageA(d->m_hWnd, 1001, BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(::SendDlgItemMessageA(d->m_hWnd, 1004, BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(::SendDlgItemMessageA(d->m_hWnd, 1002, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    // ...and a user's changes come back on OK.
    ::SendDlgItemMessageA(d->m_hWnd, 1001, BM_SETCHECK, BST_UNCHECKED, 0);
    ::SendDlgItemMessageA(d->m_hWnd, 1004, BM_SETCHECK, BST_UNCHECKED, 0);
    ::SendDlgItemMessageA(d->m_hWnd, 1003, BM_SETCHECK, BST_CHECKED, 0);
    ::SetDlgItemTextA(d->m_hWnd, 1005, "world");
    ::PostMessageA(d->m_hWnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  };
  EXPECT_EQ(dlg.DoModal(), IDOK);
  EXPECT_EQ(dlg.check, 0);
  EXPECT_EQ(dlg.radio, 1);
  EXPECT_EQ(dlg.text, "world");
  EXPECT_EQ(dlg.creates, 1);  // WM_CREATE reached the map
  EXPECT_EQ(dlg.comboCount, 2);  // initial data beside the template
}

TEST(Dialog, RefusedCreationReturnsAtOnce) {
  TestDialog dlg;
  dlg.refuseCreate = true;
  dlg.onInit = [](TestDialog*) { ADD_FAILURE() << "a refused dialog must not initialise"; };
  EXPECT_EQ(dlg.DoModal(), -1);
  EXPECT_EQ(dlg.creates, 1);
}

TEST(Dialog, MapRoutesCommandsAndMessagesAndCancelEnds) {
  TestDialog dlg;
  dlg.onInit = [](TestDialog* d) {
    HWND check = ::GetDlgItem(d->m_hWnd, 1001);
    ::SendMessageA(d->m_hWnd, WM_COMMAND, MAKEWPARAM(1001, BN_CLICKED), reinterpret_cast<LPARAM>(check));
    ::SendMessageA(d->m_hWnd, WM_COMMAND, MAKEWPARAM(1001, BN_SETFOCUS), reinterpret_cast<LPARAM>(check));
    EXPECT_EQ(::SendMessageA(d->m_hWnd, WM_APP + 5, 40, 2), 42);
    ::PostMessageA(d->m_hWnd, WM_CLOSE, 0, 0);  // the close box means Cancel
  };
  EXPECT_EQ(dlg.DoModal(), IDCANCEL);
  EXPECT_EQ(dlg.checkClicks, 1);  // the notification code is part of the match
}

INT_PTR CALLBACK QuietProc(HWND, UINT msg, WPARAM, LPARAM) { return msg == WM_INITDIALOG; }

TEST(TextFit, OnlyATextThatIsCutOffIsDrawnNarrowerAndAHopelessOneIsLeftAlone) {
  HWND dlg = ::CreateDialogParamA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(100), nullptr, QuietProc, 0);
  ASSERT_TRUE(dlg);
  HWND slightly = ::GetDlgItem(dlg, 1003), hopeless = ::GetDlgItem(dlg, 1004);
  // A text a few pixels too long for radio B, whatever the font, and one far too long for C.
  std::string text = "B";
  int spare = 0;
  while (fw::TextSpare(slightly, &spare) && spare >= 0) {
    text += "b";
    ::SetWindowTextA(slightly, text.c_str());
  }
  ::SetWindowTextA(hopeless, (text + text + text).c_str());
  const HFONT dialogFont = reinterpret_cast<HFONT>(::SendMessageA(dlg, WM_GETFONT, 0, 0));
  {
    fw::CTextFit fit;
    fit.Fit(dlg);
    ASSERT_TRUE(fw::TextSpare(slightly, &spare));
    EXPECT_GE(spare, 0);
    EXPECT_NE(reinterpret_cast<HFONT>(::SendDlgItemMessageA(dlg, 1003, WM_GETFONT, 0, 0)), dialogFont);
    EXPECT_EQ(reinterpret_cast<HFONT>(::SendDlgItemMessageA(dlg, 1002, WM_GETFONT, 0, 0)), dialogFont);
    EXPECT_EQ(reinterpret_cast<HFONT>(::SendDlgItemMessageA(dlg, 1004, WM_GETFONT, 0, 0)), dialogFont);
    ::DestroyWindow(dlg);
  }
}

TEST(Util, StringsAndMenusByNumber) {
  EXPECT_EQ(fw::LoadStr(7), "seven");
  std::string s = "kept";
  EXPECT_FALSE(fw::LoadStr(8, s));
  EXPECT_EQ(s, "kept");
  EXPECT_EQ(fw::LoadStr(8), "");
}

TEST(Menu, DestroyingTheParentLeavesTheAttachedSubMenuAlone) {
  fw::CMenu parent, child;
  HMENU popup = CreatePopupMenu();
  parent.Attach(CreateMenu());
  AppendMenuA(parent.m_hMenu, MF_POPUP, reinterpret_cast<UINT_PTR>(popup), "x");
  child.Attach(parent.GetSubMenu(0));
  EXPECT_EQ(child.m_hMenu, popup);
  EXPECT_TRUE(parent.DestroyMenu());
  EXPECT_FALSE(IsMenu(popup));
  EXPECT_FALSE(child.DestroyMenu());  // already gone with its parent
}

class TestPage : public fw::CPropertyPage {
 public:
  explicit TestPage(UINT id) : fw::CPropertyPage(id) {}
  BOOL OnSetActive() override {
    ++setActive;
    return fw::CPropertyPage::OnSetActive();
  }
  BOOL OnKillActive() override {
    ++killActive;
    return fw::CPropertyPage::OnKillActive();
  }
  void OnCancel() override { ++cancels; }
  BOOL OnApply() override {
    ++applies;
    return TRUE;
  }
  int setActive = 0, killActive = 0, cancels = 0, applies = 0;
};

class TestSheet : public fw::CPropertySheet {
 public:
  TestSheet() : fw::CPropertySheet(9) {
    AddPage(&first);
    AddPage(&second);
  }
  BOOL OnInitDialog() override {
    fw::CPropertySheet::OnInitDialog();
    char caption[64] = {};
    GetWindowTextA(m_hWnd, caption, sizeof caption);
    captionSeen = caption;
    EXPECT_FALSE(SetActivePage(5));  // no such page: the first stays
    EXPECT_EQ(GetActiveIndex(), 0);
    EXPECT_TRUE(SetActivePage(1));
    EXPECT_EQ(GetActiveIndex(), 1);
    ::PostMessageA(m_hWnd, closeMessage, closeWParam, 0);
    return TRUE;
  }
  TestPage first{101}, second{102};
  std::string captionSeen;
  UINT closeMessage = WM_CLOSE;
  WPARAM closeWParam = 0;
};

TEST(Sheet, PagesSwitchAndCloseEndsTheModalLoop) {
  TestSheet sheet;
  sheet.m_psh.dwFlags |= PSH_NOAPPLYNOW;
  sheet.DoModal();
  EXPECT_EQ(sheet.captionSeen, "Sheet Test");
  EXPECT_EQ(sheet.first.setActive, 1);
  EXPECT_EQ(sheet.first.killActive, 1);
  EXPECT_EQ(sheet.second.setActive, 1);
  EXPECT_GE(sheet.second.cancels, 1);  // closing is Cancel for the pages that exist
  EXPECT_EQ(sheet.GetActiveIndex(), 1);  // still known after the window is gone
  EXPECT_EQ(sheet.m_hWnd, nullptr);
}

TEST(Sheet, OkAppliesEveryCreatedPage) {
  TestSheet sheet;
  sheet.closeMessage = WM_COMMAND;
  sheet.closeWParam = MAKEWPARAM(IDOK, BN_CLICKED);
  sheet.DoModal();
  EXPECT_EQ(sheet.first.applies, 1);
  EXPECT_EQ(sheet.second.applies, 1);
  EXPECT_EQ(sheet.first.cancels + sheet.second.cancels, 0);
}

}  // namespace

int main(int argc, char** argv) {
  g_app.m_hInstance = GetModuleHandleA(nullptr);
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES};
  InitCommonControlsEx(&icc);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
