// Entry point of every program built on the framework: the one application object runs.
#include "framework/App.h"

int WINAPI WinMain(HINSTANCE inst, HINSTANCE, LPSTR cmdLine, int cmdShow) {
  fw::CWinApp* app = fw::AfxGetApp();
  return app ? app->WinMain(inst, cmdLine, cmdShow) : 1;
}
