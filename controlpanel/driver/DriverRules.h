// Rules of the driver protocol that need no device: the output-mode record and
// the defaults derived from the card's performance figures.
#pragma once
#include <stdint.h>

#include "shared/card/CardProtocol.h"

// Input of SetOutputMode. Only the flag at bytes 8..9 is set; the rest is zero.
struct OutputModeRecord {
  unsigned char bytes[16];
};
static_assert(sizeof(OutputModeRecord) == kv22::kOutputRecordSize, "the device takes exactly 16 bytes");

using kv22::OutputFlagForMode;
OutputModeRecord MakeOutputModeRecord(int mode);

// Wavetable mode when none is stored: 0 (64 voices, pro quality) on a class 6
// or better card, else 1 (64 voices, game quality) with level >= 200 and the
// feature, else 2 (32 voices, pro quality). A failed query counts as 0.
uint32_t DefaultSoftSynthMode(uint32_t level, bool levelOk, uint32_t perfClass, bool classOk,
                              uint32_t feature, bool featureOk);

// Effects on (1) with level >= 200 and the feature; failed queries count as 0.
uint32_t DefaultWavetableEffect(uint32_t level, bool levelOk, uint32_t feature, bool featureOk);

// The rendering-mode choice is offered with level >= 200 and the feature; here
// a failed level query counts as 200 and a failed feature query as 1.
bool RenderingModeAvailable(bool levelOk, uint32_t level, bool featureOk, uint32_t feature);
