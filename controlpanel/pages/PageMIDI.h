// The "MIDI" page of the property sheet.
#pragma once
#include "framework/PropSheet.h"

class CPageMIDI : public fw::CPropertyPage {
  DECLARE_MESSAGE_MAP()
 public:
  CPageMIDI();
};
