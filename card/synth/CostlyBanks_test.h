// Small banks written to cost their readers as much as the format allows: the worst cases
// the bank budget is there for. Shared by the synthesizer's and the card's tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zsynth {
namespace costly {

class Riff {
 public:
  void U16(uint32_t v) { b.push_back(uint8_t(v)), b.push_back(uint8_t(v >> 8)); }
  void U32(uint32_t v) { U16(v & 0xFFFF), U16(v >> 16); }
  void Id(const char* id) { b.insert(b.end(), id, id + 4); }
  void Zeros(size_t n) { b.insert(b.end(), n, 0); }
  size_t Begin(const char* id, const char* type = nullptr) {
    Id(id);
    U32(0);
    const size_t at = b.size();
    if (type) Id(type);
    return at;
  }
  void End(size_t at) {
    const uint32_t size = uint32_t(b.size() - at);
    for (int i = 0; i < 4; ++i) b[at - 4 + size_t(i)] = uint8_t(size >> (8 * i));
    if (size & 1) b.push_back(0);
  }
  std::vector<uint8_t> b;
};

// One instrument of `instZones` zones on one sample, and `presets` presets of `presetZones`
// zones that all name it: presets x presetZones x instZones regions from a few bytes each.
inline std::vector<uint8_t> Sf2(uint32_t presets, uint32_t presetZones, uint32_t instZones) {
  Riff o;
  const size_t riff = o.Begin("RIFF", "sfbk");
  size_t c = o.Begin("LIST", "INFO");
  size_t i = o.Begin("ifil");
  o.U16(2), o.U16(1), o.End(i), o.End(c);
  c = o.Begin("LIST", "sdta");
  i = o.Begin("smpl");
  for (int n = 0; n < 64; ++n) o.U16(uint32_t(n * 500));
  o.End(i), o.End(c);
  const size_t pdta = o.Begin("LIST", "pdta");
  i = o.Begin("phdr");
  for (uint32_t p = 0; p <= presets; ++p) {
    o.Zeros(20), o.U16(p & 0x7F), o.U16(p >> 7), o.U16(p * presetZones), o.Zeros(12);
  }
  o.End(i);
  auto bags = [&](const char* id, uint32_t zones) {
    const size_t at = o.Begin(id);
    for (uint32_t z = 0; z <= zones; ++z) o.U16(z), o.U16(0);
    o.End(at);
  };
  auto gens = [&](const char* id, uint32_t zones, uint16_t oper) {
    const size_t at = o.Begin(id);
    for (uint32_t z = 0; z < zones; ++z) o.U16(oper), o.U16(0);
    o.Zeros(4);
    o.End(at);
  };
  bags("pbag", presets * presetZones);
  i = o.Begin("pmod"), o.Zeros(10), o.End(i);
  gens("pgen", presets * presetZones, 41);
  i = o.Begin("inst");
  o.Zeros(20), o.U16(0), o.Zeros(20), o.U16(instZones);
  o.End(i);
  bags("ibag", instZones);
  i = o.Begin("imod"), o.Zeros(10), o.End(i);
  gens("igen", instZones, 53);
  i = o.Begin("shdr");
  o.Zeros(20), o.U32(0), o.U32(64), o.U32(8), o.U32(56), o.U32(22050), o.b.push_back(60), o.b.push_back(0),
      o.U16(0), o.U16(1);
  o.Zeros(46);
  o.End(i);
  o.End(pdta);
  o.End(riff);
  return o.b;
}

// The collection's head and one instrument list of `regions` regions, left open.
struct DlsInstrument {
  size_t lins, ins;
};
inline DlsInstrument BeginDlsInstrument(Riff& o, uint32_t regions) {
  size_t c = o.Begin("colh");
  o.U32(1), o.End(c);
  DlsInstrument at{o.Begin("LIST", "lins"), 0};
  at.ins = o.Begin("LIST", "ins ");
  c = o.Begin("insh");
  o.U32(regions), o.U32(0), o.U32(0), o.End(c);
  return at;
}

// A region over every key and velocity, on wave 0.
inline void DlsRegion(Riff& o) {
  const size_t rgn = o.Begin("LIST", "rgn ");
  size_t c = o.Begin("rgnh");
  o.U16(0), o.U16(127), o.U16(0), o.U16(127), o.U16(0), o.U16(0), o.End(c);
  c = o.Begin("wlnk");
  o.U16(0), o.U16(0), o.U32(1), o.U32(0), o.End(c);
  o.End(rgn);
}

// 16-bit mono PCM at 22050 Hz.
inline void DlsMonoFormat(Riff& o) {
  const size_t c = o.Begin("fmt ");
  o.U16(1), o.U16(1), o.U32(22050), o.U32(44100), o.U16(2), o.U16(16), o.End(c);
}

// One instrument of `regions` regions on one wave, none with its own articulation, and an
// instrument articulation of `connections` blocks that every region takes over.
inline std::vector<uint8_t> Dls(uint32_t regions, uint32_t connections) {
  Riff o;
  const size_t riff = o.Begin("RIFF", "DLS ");
  const DlsInstrument in = BeginDlsInstrument(o, regions);
  const size_t lrgn = o.Begin("LIST", "lrgn");
  for (uint32_t r = 0; r < regions; ++r) DlsRegion(o);
  o.End(lrgn);
  const size_t lart = o.Begin("LIST", "lart");
  size_t c = o.Begin("art1");
  o.U32(8), o.U32(connections);
  for (uint32_t n = 0; n < connections; ++n) o.U16(0), o.U16(0), o.U16(4), o.U16(0), o.U32(0);
  o.End(c), o.End(lart), o.End(in.ins), o.End(in.lins);
  c = o.Begin("ptbl");
  o.U32(8), o.U32(1), o.U32(0), o.End(c);
  const size_t wvpl = o.Begin("LIST", "wvpl");
  const size_t wave = o.Begin("LIST", "wave");
  DlsMonoFormat(o);
  c = o.Begin("data");
  for (int n = 0; n < 64; ++n) o.U16(uint32_t(n * 500));
  o.End(c), o.End(wave), o.End(wvpl);
  o.End(riff);
  return o.b;
}

// `waves` one-frame waves and as many pool cues, the last cue naming the first wave: the
// pool table lookup's worst case.
inline std::vector<uint8_t> DlsPool(uint32_t waves) {
  Riff o;
  const size_t riff = o.Begin("RIFF", "DLS ");
  const DlsInstrument in = BeginDlsInstrument(o, 1);
  const size_t lrgn = o.Begin("LIST", "lrgn");
  DlsRegion(o);
  o.End(lrgn), o.End(in.ins), o.End(in.lins);
  std::vector<uint32_t> offsets;
  Riff pool;
  const size_t wvpl = pool.Begin("LIST", "wvpl");
  for (uint32_t w = 0; w < waves; ++w) {
    offsets.push_back(uint32_t(pool.b.size() - wvpl - 4));
    const size_t wave = pool.Begin("LIST", "wave");
    DlsMonoFormat(pool);
    const size_t data = pool.Begin("data");
    pool.U16(1000), pool.End(data), pool.End(wave);
  }
  pool.End(wvpl);
  const size_t ptbl = o.Begin("ptbl");
  o.U32(8), o.U32(waves);
  for (uint32_t w = 0; w < waves; ++w) o.U32(offsets[waves - 1 - w]);
  o.End(ptbl);
  o.b.insert(o.b.end(), pool.b.begin(), pool.b.end());
  o.End(riff);
  return o.b;
}

}  // namespace costly
}  // namespace zsynth
