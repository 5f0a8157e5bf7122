#include "controlpanel/pages/PageMIDI.h"

#include "controlpanel/res/resource.h"

BEGIN_MESSAGE_MAP(CPageMIDI, fw::CPropertyPage)
END_MESSAGE_MAP()

CPageMIDI::CPageMIDI() : fw::CPropertyPage(IDD_PAGE_MIDI) {}
