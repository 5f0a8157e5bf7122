// Modal dialogs from resource templates, and data exchange with their controls.
#pragma once
#include <string>

#include "framework/TextFit.h"
#include "framework/Wnd.h"

namespace fw {

class CDialog;

struct CDataExchange {
  CDialog* m_pDlgWnd;
  BOOL m_bSaveAndValidate;  // TRUE: controls to members
};

class CDialog : public CWnd {
  DECLARE_MESSAGE_MAP()
 public:
  explicit CDialog(UINT templateId, CWnd* parent = nullptr);
  ~CDialog() override;

  virtual INT_PTR DoModal();
  virtual BOOL OnInitDialog();
  virtual void OnOK();
  virtual void OnCancel();
  virtual void DoDataExchange(CDataExchange* dx);
  BOOL UpdateData(BOOL saveAndValidate = TRUE);
  void EndDialog(int result);
  void ExecuteDlgInit();

  LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

  UINT m_nIDTemplate;
  CWnd* m_pParentWnd;

 protected:
  static INT_PTR CALLBACK StubDlgProc(HWND, UINT, WPARAM, LPARAM);
  volatile bool m_bEnded = false;
  INT_PTR m_nResult = -1;
  CTextFit m_textFit;  // after the window, whose controls draw with its fonts
};

// Data exchange. Control members are attached to their windows; values move both ways.
void DDX_Control(CDataExchange* dx, int id, CWnd& control);
void DDX_Check(CDataExchange* dx, int id, int& value);
void DDX_Radio(CDataExchange* dx, int firstId, int& value);
void DDX_Text(CDataExchange* dx, int id, std::string& value);

}  // namespace fw
