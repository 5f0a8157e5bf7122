// The splash a process gets from its first Trivox device: what to play and
// show, from HKLM "Software\Orvane\Trivox" "SplashAudio" and "SplashScreen",
// and the chime itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace trivox {

// A setting as the registry gave it: on when it holds 4 bytes, of any type,
// that are not all zero. Missing (null) or any other size is off.
bool splashSettingOn(const uint8_t* data, size_t size);

struct SplashPlan {
  bool chime = false;
  bool logo = false;
};

// Only the first device of a process gets the splash, whatever it was.
SplashPlan planSplash(bool firstInProcess, bool audioOn, bool screenOn);

constexpr double kChimeSeconds = 0.7;
constexpr double kChimePeak = 0.5;  // of full scale: -6 dB

// Two bell notes, the second a fourth above the first, mono 16-bit.
std::vector<int16_t> makeChime(uint32_t rate);

}  // namespace trivox
