// Wave formats between the DirectSound interfaces and the argument rules.
#pragma once

#include <windows.h>
#include <mmsystem.h>
#include <mmreg.h>

#include "ds_rules.h"

namespace trivox {

// What the rules look at, read from the application's record (its
// extensible part only when the tag and cbSize say it is there).
ds::PcmFormat describe(const WAVEFORMATEX& w);

// DS_OK, DSERR_INVALIDPARAM for a malformed record, DSERR_BADFORMAT for one
// the object does not play.
HRESULT checkFormat(const WAVEFORMATEX& w);

// A copy to report back: the plain record, and the extensible part when given.
WAVEFORMATEXTENSIBLE keepFormat(const WAVEFORMATEX& w);
DWORD formatBytes(const WAVEFORMATEX& w);

}  // namespace trivox
