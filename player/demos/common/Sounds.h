// What the demos' sounds are made of, for the tool that synthesises them and for the
// tests that listen to them.
#pragma once

namespace demo {
constexpr int kSoundRate = 22050;        // every sound: 16-bit mono at this rate
constexpr double kEngineHz = 120.0;      // "Engine.wav": its fundamental dominates
}  // namespace demo
