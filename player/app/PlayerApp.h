// TrivoxPlay's application object: the player dialog is the program.
#pragma once
#include <string>

#include "framework/App.h"

class CPlayerApp : public fw::CWinApp {
 public:
  BOOL InitInstance() override;
  BOOL OnAppCommand(UINT id) override;

 private:
  std::string m_title;
};
