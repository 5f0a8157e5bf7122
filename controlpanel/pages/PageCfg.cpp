#include "controlpanel/pages/PageCfg.h"

#include "controlpanel/res/resource.h"

BEGIN_MESSAGE_MAP(CPageCfg, fw::CPropertyPage)
END_MESSAGE_MAP()

CPageCfg::CPageCfg() : fw::CPropertyPage(IDD_PAGE_CFG) {}
