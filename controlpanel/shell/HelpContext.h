// The help context for the sheet's active page: indices differ per platform, contexts don't.
#pragma once

int HelpContextFor(bool sheetOpen, bool nt, int activeIndex);
