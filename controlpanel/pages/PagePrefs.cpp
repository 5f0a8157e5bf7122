#include "controlpanel/pages/PagePrefs.h"

#include "controlpanel/res/resource.h"

BEGIN_MESSAGE_MAP(CPagePrefs, fw::CPropertyPage)
END_MESSAGE_MAP()

CPagePrefs::CPagePrefs() : fw::CPropertyPage(IDD_PAGE_PREFS) {}
