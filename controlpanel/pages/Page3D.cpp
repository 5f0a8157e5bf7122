#include "controlpanel/pages/Page3D.h"

#include "controlpanel/res/resource.h"

BEGIN_MESSAGE_MAP(CPage3D, fw::CPropertyPage)
END_MESSAGE_MAP()

CPage3D::CPage3D() : fw::CPropertyPage(IDD_PAGE_3D) {}
