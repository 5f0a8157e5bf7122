// The splash a process gets from its first Trivox device.
#pragma once

#include "engine.h"

namespace trivox {

// Called once a device's engine runs. The first call of a process plays the
// chime on the engine and shows the logo, as "SplashAudio" and "SplashScreen"
// say; it returns at once, the logo living on a thread of its own.
void startSplash(Engine& engine);

}  // namespace trivox
