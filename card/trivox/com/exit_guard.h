// Engines still running when the program exits, stopped before the platform ends threads.
//
// At ExitProcess every other thread is ended wherever it is. 64-bit Wine 8 can crash the
// whole process (exit status 139) when one of them is ended while it enters a system call,
// and a leaked device's engine thread enters one about 200 times a second at time-critical
// priority. So the engines are stopped from the C runtime's exit(), which runs before
// ExitProcess, whatever references the program leaked.
#pragma once

namespace trivox {

class Engine;

void exitGuardAdd(Engine* engine);
void exitGuardRemove(Engine* engine);

}  // namespace trivox
