// Diagnostic trace of failures the user is not told about. Development builds send the
// texts to the debugger output; the delivered program discards them.
#pragma once

void DebugTrace(const char* text);
