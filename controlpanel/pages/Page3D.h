// The "Trivox Demos" page of the property sheet.
#pragma once
#include "framework/PropSheet.h"

class CPage3D : public fw::CPropertyPage {
  DECLARE_MESSAGE_MAP()
 public:
  CPage3D();
};
