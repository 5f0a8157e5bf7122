// A demo's application object: its window is the program.
#pragma once
#include <memory>
#include <string>

#include "framework/App.h"
#include "player/demos/common/DemoDlg.h"

namespace demo {

class CDemoApp : public fw::CWinApp {
 public:
  using Factory = std::unique_ptr<CDemoDlg> (*)();
  explicit CDemoApp(Factory make) : m_make(make) {}
  BOOL InitInstance() override;

 private:
  Factory m_make;
  std::string m_title;
};

}  // namespace demo
