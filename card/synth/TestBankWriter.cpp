#include "TestBankWriter.h"

#include <cstring>

namespace zsynth {
namespace testbank {
namespace {

class Out {
 public:
  void U8(uint8_t v) { m_b.push_back(v); }
  void U16(uint32_t v) { U8(uint8_t(v)); U8(uint8_t(v >> 8)); }
  void U32(uint32_t v) { U16(v & 0xFFFF); U16(v >> 16); }
  void Id(const char* id) { m_b.insert(m_b.end(), id, id + 4); }
  void Text(const std::string& s, size_t n) {  // fixed field, zero filled
    for (size_t i = 0; i < n; ++i) U8(i < s.size() && i + 1 < n ? uint8_t(s[i]) : 0);
  }
  size_t Begin(const char* id, const char* type = nullptr) {
    Id(id);
    U32(0);
    size_t at = m_b.size();
    if (type) Id(type);
    return at;
  }
  void End(size_t at) {
    const uint32_t size = uint32_t(m_b.size() - at);
    for (int i = 0; i < 4; ++i) m_b[at - 4 + size_t(i)] = uint8_t(size >> (8 * i));
    if (size & 1) U8(0);
  }
  size_t Size() const { return m_b.size(); }
  std::vector<uint8_t>& Bytes() { return m_b; }

 private:
  std::vector<uint8_t> m_b;
};

void Info(Out& o, const std::string& name, bool sf2, uint16_t version = 2) {
  size_t info = o.Begin("LIST", "INFO");
  if (sf2) {
    size_t c = o.Begin("ifil");
    o.U16(version);
    o.U16(1);
    o.End(c);
    c = o.Begin("isng");
    o.Text("EMU8000", 8);
    o.End(c);
  }
  size_t c = o.Begin("INAM");
  o.Text(name, name.size() + 1);
  o.End(c);
  o.End(info);
}

void Gens(Out& o, const std::vector<Gen>& gens) {
  for (const Gen& g : gens) {
    o.U16(g.oper);
    o.U16(uint16_t(g.amount));
  }
}

// The generator lists of one preset's or instrument's zones, global zone first when given.
struct ZoneLists {
  std::vector<std::vector<Gen>> zones;
};

ZoneLists InstrumentZones(const Recipe& recipe, const Program& p) {
  ZoneLists z;
  if (!p.instGlobal.empty()) z.zones.push_back(p.instGlobal);
  for (const Zone& zone : p.zones) {
    std::vector<Gen> g{{43, int16_t(zone.keyLo | zone.keyHi << 8)},
                       {44, int16_t(zone.velLo | zone.velHi << 8)}};
    g.insert(g.end(), zone.gens.begin(), zone.gens.end());
    LoopMode loop = recipe.samples[zone.sample].loop;
    if (loop != LoopMode::kNone) g.push_back({54, int16_t(loop == LoopMode::kForward ? 1 : 3)});
    g.push_back({53, int16_t(zone.sample)});
    z.zones.push_back(g);
  }
  return z;
}

// phdr/inst records, bags and generators of all presets or all instruments.
void Sf2Level(Out& o, const Recipe& recipe, bool preset) {
  std::vector<ZoneLists> all;
  for (size_t i = 0; i < recipe.programs.size(); ++i) {
    const Program& p = recipe.programs[i];
    if (!preset) {
      all.push_back(InstrumentZones(recipe, p));
      continue;
    }
    ZoneLists z;
    if (!p.presetGlobal.empty()) z.zones.push_back(p.presetGlobal);
    z.zones.push_back(p.presetZone);
    z.zones.back().push_back({41, int16_t(i)});
    all.push_back(z);
  }
  size_t c = o.Begin(preset ? "phdr" : "inst");
  uint32_t bag = 0;
  for (size_t i = 0; i <= all.size(); ++i) {
    const bool last = i == all.size();
    const Program* p = last ? nullptr : &recipe.programs[i];
    o.Text(last ? (preset ? "EOP" : "EOI") : p->name, 20);
    if (preset) {
      o.U16(last ? 0 : p->program);
      o.U16(last ? 0 : p->drum ? 128 : p->bankMsb);
    }
    o.U16(bag);
    if (preset) o.Text("", 12);
    if (!last) bag += uint32_t(all[i].zones.size());
  }
  o.End(c);
  c = o.Begin(preset ? "pbag" : "ibag");
  uint32_t gen = 0;
  for (const ZoneLists& z : all) {
    for (const auto& g : z.zones) {
      o.U16(gen);
      o.U16(0);
      gen += uint32_t(g.size());
    }
  }
  o.U16(gen);
  o.U16(0);
  o.End(c);
  c = o.Begin(preset ? "pmod" : "imod");
  o.Text("", 10);
  o.End(c);
  c = o.Begin(preset ? "pgen" : "igen");
  for (const ZoneLists& z : all) {
    for (const auto& g : z.zones) Gens(o, g);
  }
  o.Text("", 4);
  o.End(c);
}

void Sf2Samples(Out& o, const Recipe& recipe, const std::vector<SampleData>& data) {
  size_t c = o.Begin("shdr");
  for (size_t i = 0; i < recipe.samples.size(); ++i) {
    const Sample& s = recipe.samples[i];
    const SampleData& d = data[i];
    o.Text(s.name, 20);
    o.U32(d.start);
    o.U32(d.end);
    o.U32(d.loopFrom + s.loopStart);
    o.U32(d.loopFrom + s.loopEnd);
    o.U32(s.rate);
    o.U8(s.rootKey);
    o.U8(uint8_t(s.fineTune));
    o.U16(0);
    o.U16(d.type);
  }
  o.Text("EOS", 46);
  o.End(c);
}

}  // namespace

std::vector<uint8_t> WriteSoundFont(const Recipe& recipe, uint16_t version, const std::vector<uint8_t>& smpl,
                                    const std::vector<SampleData>& data) {
  Out o;
  size_t riff = o.Begin("RIFF", "sfbk");
  Info(o, recipe.name, true, version);
  size_t sdta = o.Begin("LIST", "sdta");
  size_t c = o.Begin("smpl");
  o.Bytes().insert(o.Bytes().end(), smpl.begin(), smpl.end());
  o.End(c);
  o.End(sdta);
  size_t pdta = o.Begin("LIST", "pdta");
  Sf2Level(o, recipe, true);
  Sf2Level(o, recipe, false);
  Sf2Samples(o, recipe, data);
  o.End(pdta);
  o.End(riff);
  return std::move(o.Bytes());
}

std::vector<uint8_t> WriteSf2(const Recipe& recipe) {
  std::vector<uint8_t> smpl;
  std::vector<SampleData> data;
  for (const Sample& s : recipe.samples) {
    const uint32_t at = uint32_t(smpl.size() / 2), n = uint32_t(s.pcm.size());
    data.push_back(SampleData{at, at + n, at, 1});
    for (int16_t v : s.pcm) smpl.push_back(uint8_t(v)), smpl.push_back(uint8_t(uint16_t(v) >> 8));
    smpl.insert(smpl.end(), 2 * 46, 0);  // the silence every sample is followed by
  }
  return WriteSoundFont(recipe, 2, smpl, data);
}

namespace {

void Articulation(Out& o, const std::vector<Conn>& art, bool dls2) {
  if (art.empty()) return;
  size_t list = o.Begin("LIST", dls2 ? "lar2" : "lart");
  size_t c = o.Begin(dls2 ? "art2" : "art1");
  o.U32(8);
  o.U32(uint32_t(art.size()));
  for (const Conn& k : art) {
    o.U16(k.source);
    o.U16(k.control);
    o.U16(k.destination);
    o.U16(k.transform);
    o.U32(uint32_t(k.scale));
  }
  o.End(c);
  o.End(list);
}

void Wsmp(Out& o, const Sample& s, int32_t attenuationCb) {
  size_t c = o.Begin("wsmp");
  const bool loops = s.loop != LoopMode::kNone;
  o.U32(20);
  o.U16(s.rootKey);
  o.U16(uint16_t(int16_t(s.fineTune)));
  o.U32(uint32_t(-attenuationCb * 65536));
  o.U32(0);
  o.U32(loops ? 1 : 0);
  if (loops) {
    o.U32(16);
    o.U32(s.loop == LoopMode::kForward ? 0 : 1);
    o.U32(s.loopStart);
    o.U32(s.loopEnd - s.loopStart);
  }
  o.End(c);
}

void DlsInstrument(Out& o, const Recipe& recipe, const Program& p) {
  size_t ins = o.Begin("LIST", "ins ");
  size_t c = o.Begin("insh");
  o.U32(uint32_t(p.zones.size()));
  o.U32(uint32_t(p.bankMsb) << 8 | p.bankLsb | (p.drum ? 0x80000000u : 0));
  o.U32(p.program);
  o.End(c);
  size_t lrgn = o.Begin("LIST", "lrgn");
  for (const Zone& z : p.zones) {
    size_t rgn = o.Begin("LIST", recipe.dls2 ? "rgn2" : "rgn ");
    c = o.Begin("rgnh");
    o.U16(z.keyLo);
    o.U16(z.keyHi);
    o.U16(z.velLo);
    o.U16(z.velHi);
    o.U16(0);
    o.U16(z.keyGroup);
    o.End(c);
    Wsmp(o, recipe.samples[z.sample], z.attenuationCb);
    c = o.Begin("wlnk");
    o.U16(0);
    o.U16(0);
    o.U32(1);
    o.U32(z.sample);
    o.End(c);
    Articulation(o, z.art, recipe.dls2);
    o.End(rgn);
  }
  o.End(lrgn);
  Articulation(o, p.art, recipe.dls2);
  Info(o, p.name, false);
  o.End(ins);
}

void Wave(Out& o, const Sample& s) {
  size_t wave = o.Begin("LIST", "wave");
  size_t c = o.Begin("fmt ");
  const uint32_t bytes = s.eightBit ? 1 : 2;
  o.U16(1);
  o.U16(1);
  o.U32(s.rate);
  o.U32(s.rate * bytes);
  o.U16(bytes);
  o.U16(bytes * 8);
  o.End(c);
  Wsmp(o, s, 0);
  c = o.Begin("data");
  for (int16_t v : s.pcm) {
    if (s.eightBit) {
      o.U8(uint8_t((v >> 8) + 128));
    } else {
      o.U16(uint16_t(v));
    }
  }
  o.End(c);
  o.End(wave);
}

}  // namespace

std::vector<uint8_t> WriteDls(const Recipe& recipe) {
  Out o;
  size_t riff = o.Begin("RIFF", "DLS ");
  size_t c = o.Begin("colh");
  o.U32(uint32_t(recipe.programs.size()));
  o.End(c);
  size_t lins = o.Begin("LIST", "lins");
  for (const Program& p : recipe.programs) DlsInstrument(o, recipe, p);
  o.End(lins);
  // The pool's offsets are known once the waves are written: write them apart first.
  Out pool;
  std::vector<uint32_t> cues;
  size_t wvpl = pool.Begin("LIST", "wvpl");
  for (const Sample& s : recipe.samples) {
    cues.push_back(uint32_t(pool.Size() - wvpl - 4));
    Wave(pool, s);
  }
  pool.End(wvpl);
  c = o.Begin("ptbl");
  o.U32(8);
  o.U32(uint32_t(cues.size()));
  for (uint32_t cue : cues) o.U32(cue);
  o.End(c);
  o.Bytes().insert(o.Bytes().end(), pool.Bytes().begin(), pool.Bytes().end());
  Info(o, recipe.name, false);
  o.End(riff);
  return std::move(o.Bytes());
}

Recipe SquareBank() {
  Recipe recipe;
  recipe.name = "Square test bank";
  Sample square;
  square.name = "square";
  square.rate = 44000;
  square.rootKey = 69;
  for (int i = 0; i < 2000; ++i) square.pcm.push_back(int16_t((i % 100) < 50 ? 12000 : -12000));
  square.loopStart = 1000;
  square.loopEnd = 2000;
  square.loop = LoopMode::kForward;
  Sample noise;
  noise.name = "noise";
  uint32_t x = 1;
  for (int i = 0; i < 4410; ++i) {
    x = x * 1664525u + 1013904223u;
    noise.pcm.push_back(int16_t((int32_t(x >> 16) - 32768) / 4 * (4410 - i) / 4410));
  }
  recipe.samples = {square, noise};
  for (int p = 0; p < 128; ++p) {
    Program prog;
    prog.name = "Square " + std::to_string(p);
    prog.program = uint8_t(p);
    prog.zones.push_back(Zone{});
    recipe.programs.push_back(prog);
  }
  Program kit;
  kit.name = "Noise kit";
  kit.drum = true;
  Zone z;
  z.sample = 1;
  kit.zones.push_back(z);
  recipe.programs.push_back(kit);
  return recipe;
}

}  // namespace testbank
}  // namespace zsynth
