#include "controlpanel/trace/DebugTrace.h"

#include <windows.h>

void DebugTrace(const char* text) {
#ifdef ZEPHRA_DEVELOPMENT
  OutputDebugStringA(text);
  OutputDebugStringA("\n");
#else
  (void)text;
#endif
}
