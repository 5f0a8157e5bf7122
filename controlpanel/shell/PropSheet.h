// The property sheet the user sees: pages per platform, position and page remembered.
#pragma once
#include "controlpanel/pages/Page3D.h"
#include "controlpanel/pages/PageCfg.h"
#include "controlpanel/pages/PageMIDI.h"
#include "controlpanel/pages/PagePrefs.h"
#include "controlpanel/pages/PageServices.h"
#include "framework/PropSheet.h"

class CPropSheet : public fw::CPropertySheet {
  DECLARE_MESSAGE_MAP()
 public:
  // Every page gets the services; they must outlive the sheet.
  CPropSheet(CPageServices& services, UINT captionId, fw::CWnd* parent, UINT selectPage);

  BOOL OnInitDialog() override;

  CPageCfg m_pageCfg;
  CPagePrefs m_pagePrefs;
  CPage3D m_page3D;
  CPageMIDI m_pageMIDI;

 protected:
  LRESULT OnDestroy(WPARAM, LPARAM);
};
