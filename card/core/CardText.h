// Text forms of the card's state, configuration and log, as cardctl prints them
// and as `cardctl set` / install-card.sh take them. Hosted code (not in the driver).
#pragma once
#include <string>

#include "card/core/CardCore.h"

namespace kv22 {

const char* DeviceName(uint32_t dev);  // "wave", "core", "wt", "nt"
bool DeviceFromName(const std::string& name, uint32_t& dev);
const char* StatusName(uint32_t status);

// "wave,core,wt,nt", or "none" for an empty mask.
std::string FormatDeviceMask(uint32_t mask);
bool ParseDeviceMask(const std::string& text, uint32_t& mask);

// "0x39850000,nt:0x39910000", or "-" when nothing fails.
std::string FormatFailRules(const CardConfig& cfg);
bool ParseFailRules(const std::string& text, CardConfig& cfg);

// req <seq> <device> 0x<code8> in=<hex|-> len=<n> out=<n> <ok|fail>
std::string FormatLogEntry(const LogEntry& e);
// state disable_ds_hw_buf=<n> output=0x<hhhh> effects=<n> reverb=<n> chorus=<n> mode=<n> bank="<path>"
std::string FormatState(const CardState& s);
// opens wave=<n> core=<n> wt=<n> nt=<n>   /   handles wave=<n> ...
std::string FormatOpens(const CardState& s);
std::string FormatHandles(const CardState& s);
// config devices=<list> level=<n> class=<n> feature=<n> fail=<list>
std::string FormatConfig(const CardConfig& cfg);
// links <list>: device names that can be opened now
std::string FormatLinks(uint32_t linkMask);

// eq board=0x<hhhh> init=<ok|fail> unavailable=<0|1> refuse=<list|-> inputs="<name|name...>"
std::string FormatEqConfig(const CardConfig& cfg);
// eqstate on=<n> input=<n> inits=<n> status=<n> configs=<n>
std::string FormatEqState(const CardState& s);

// The MIDI side, one line each:
// midi wavetable=<bytes> mpu-out=<bytes> mpu-in=<bytes> messages=<n>
// last <port> <hex bytes> len=<n>          (oldest first, at most kMidiLastEvents)
// synth voices=<n> peak=<n> max=<n> effects=<n> reverb=<n> chorus=<n> mode=<n> bank="<path>"
//   or "synth none" before a synthesizer reported
std::string FormatMidi(const MidiState& m);

// One "key=value" of `cardctl set`: level, class, feature, fail, devices, and for the
// equaliser board, inputs ("A|B|C" or -), eqinit (ok|fail), unavailable (0|1) and
// refuse (input indexes, -1 for none, comma list, or -).
// Numbers are decimal or 0x-hex. On failure cfg is unchanged and error says why.
bool ApplySetting(const std::string& arg, CardConfig& cfg, std::string& error);

}  // namespace kv22
