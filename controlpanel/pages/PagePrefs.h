// The "Preferences" page of the property sheet.
#pragma once
#include "framework/PropSheet.h"

class CPagePrefs : public fw::CPropertyPage {
  DECLARE_MESSAGE_MAP()
 public:
  CPagePrefs();
};
