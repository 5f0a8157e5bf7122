// The "Config" page of the property sheet.
#pragma once
#include "framework/PropSheet.h"

class CPageCfg : public fw::CPropertyPage {
  DECLARE_MESSAGE_MAP()
 public:
  CPageCfg();
};
