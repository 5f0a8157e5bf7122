// Property sheet and pages over comctl32, run modally by our own loop so that every
// message of the sheet passes the application's message filter.
#pragma once
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <vector>

#include "framework/Dialog.h"

namespace fw {

class CPropertySheet;

class CPropertyPage : public CDialog {
  DECLARE_MESSAGE_MAP()
 public:
  explicit CPropertyPage(UINT templateId);

  virtual BOOL OnSetActive();
  virtual BOOL OnKillActive();
  virtual BOOL OnApply();
  virtual BOOL OnQueryCancel();
  void OnOK() override;
  void OnCancel() override;

  LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
  CPropertySheet* GetSheet() const { return m_pSheet; }

  PROPSHEETPAGEA m_psp;

 private:
  friend class CPropertySheet;
  static INT_PTR CALLBACK PageDlgProc(HWND, UINT, WPARAM, LPARAM);
  CPropertySheet* m_pSheet = nullptr;
};

class CPropertySheet : public CWnd {
  DECLARE_MESSAGE_MAP()
 public:
  CPropertySheet(UINT captionId, CWnd* parent = nullptr, UINT selectPage = 0);
  ~CPropertySheet() override;

  void AddPage(CPropertyPage* page);
  int GetPageCount() const { return static_cast<int>(m_pages.size()); }
  CPropertyPage* GetPage(int index) const { return m_pages[static_cast<size_t>(index)]; }
  int GetActiveIndex() const;
  BOOL SetActivePage(int index);
  virtual INT_PTR DoModal();
  virtual BOOL OnInitDialog();

  PROPSHEETHEADERA m_psh;
  CWnd* m_pParentWnd;

 private:
  friend class CPropertyPage;
  static int CALLBACK SheetCallback(HWND, UINT, LPARAM);
  std::vector<CPropertyPage*> m_pages;
  std::vector<PROPSHEETPAGEA> m_pageRecords;
  int m_nTrackedActive = -1;
};

}  // namespace fw
