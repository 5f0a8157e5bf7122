// Kept apart from the help link so that the host tests can reach it.
#include "controlpanel/shell/HelpContext.h"

int HelpContextFor(bool sheetOpen, bool nt, int activeIndex) {
  if (!sheetOpen) return 100;
  if (!nt) return activeIndex >= 0 && activeIndex <= 3 ? 3002 + activeIndex : 100;
  if (activeIndex == 0) return 3004;
  if (activeIndex == 1) return 3005;
  return 100;
}
