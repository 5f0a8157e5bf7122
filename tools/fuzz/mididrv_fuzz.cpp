// libFuzzer target for the MIDI driver's path from a program to the synthesizer: packed
// short messages (midiOutShortMsg) through the running status, long buffers
// (midiOutLongMsg) through the byte parser and the SysEx gathering, into the synthesizer's
// host, rendered between. Every gathered SysEx is whole (F0 .. F7), within the limit, and
// taken by the host unless its ring is full; the sound stays finite.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "card/mididrv/MidiCore.h"
#include "card/synth/SynthHost.h"

namespace {

struct Port {
  zmidi::Parser parser;
  zmidi::SysExGather sysex;
  uint8_t running = 0;
};

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

void Send(Port& p, zsynth::SynthHost& host, const uint8_t* b, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    zmidi::Parser::Event ev[2];
    const uint32_t k = p.parser.Feed(b[i], ev);
    Check(k <= 2);
    for (uint32_t e = 0; e < k; ++e) {
      if (ev[e].kind == zmidi::Parser::kShort) {
        Check((ev[e].packed & 0x80) != 0);
        host.postShort(ev[e].packed);
      }
      uint32_t size = 0;
      const uint8_t* m = p.sysex.Take(ev[e], size);
      if (!m) continue;
      Check(size >= 2 && size <= zmidi::kMaxSysExBytes && m[0] == 0xF0 && m[size - 1] == 0xF7);
      for (uint32_t j = 1; j + 1 < size; ++j) Check(m[j] < 0x80);
      if (!host.postSysEx(m, size)) {  // only a full ring refuses: rendering empties it
        std::vector<float> out(2 * 64);
        host.render(out.data(), 64);
        Check(host.postSysEx(m, size));
      }
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  zsynth::SynthHost host(22050);
  Port port;
  std::vector<float> out(2 * 256);
  size_t at = 0;
  auto byte = [&]() -> uint8_t { return at < size ? data[at++] : 0; };
  while (at < size) {
    switch (byte() % 4) {
      case 0: {  // midiOutShortMsg
        const uint32_t packed = uint32_t(byte()) | uint32_t(byte()) << 8 | uint32_t(byte()) << 16;
        uint8_t b[3];
        const uint32_t n = zmidi::UnpackShort(packed, port.running, b);
        Check(n <= 3);
        Send(port, host, b, n);
        break;
      }
      case 1: {  // midiOutLongMsg: up to 255 bytes of the input, or a long run of one byte
        const size_t n = byte();
        const size_t take = n < size - at ? n : size - at;
        Send(port, host, data + at, take);
        at += take;
        port.running = 0;
        break;
      }
      case 2: {
        std::vector<uint8_t> run(size_t(byte()) * 64 + 1, byte());
        run[0] = byte();
        Send(port, host, run.data(), run.size());
        port.running = 0;
        break;
      }
      default: {
        const uint32_t frames = 1 + byte();
        host.render(out.data(), frames);
        for (uint32_t i = 0; i < 2 * frames; ++i) Check(std::isfinite(out[i]));
        break;
      }
    }
  }
  return 0;
}
