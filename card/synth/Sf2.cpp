// SoundFont 2: presets over instruments over samples, flattened into regions. Modulator lists
// are skipped (the engine applies the standard ones) and so is the 24-bit 'sm24' extension.
// Version 3 (compressed samples) differs only in the sample data: see Sf3.h.
#include <algorithm>
#include <cmath>
#include <memory>

#include "BankReaders.h"
#include "Riff.h"
#include "Sf3.h"

namespace zsynth {
namespace {

using riff::Fourcc;
using riff::Le16;
using riff::Le32;
using riff::LeS16;

enum Gen : uint16_t {
  kStartOffset = 0, kEndOffset = 1, kLoopStartOffset = 2, kLoopEndOffset = 3,
  kStartCoarse = 4, kModLfoToPitch = 5, kVibLfoToPitch = 6, kModEnvToPitch = 7,
  kFilterFc = 8, kFilterQ = 9, kModLfoToFilter = 10, kModEnvToFilter = 11, kEndCoarse = 12,
  kModLfoToVolume = 13, kChorusSend = 15, kReverbSend = 16, kPan = 17,
  kModLfoDelay = 21, kModLfoFreq = 22, kVibLfoDelay = 23, kVibLfoFreq = 24,
  kModEnvDelay = 25,  // .. 32: delay attack hold decay sustain release keyToHold keyToDecay
  kVolEnvDelay = 33,  // .. 40 likewise
  kInstrument = 41, kKeyRange = 43, kVelRange = 44, kLoopStartCoarse = 45, kKeynum = 46,
  kVelocity = 47, kAttenuation = 48, kLoopEndCoarse = 50, kCoarseTune = 51, kFineTune = 52,
  kSampleId = 53, kSampleModes = 54, kScaleTuning = 56, kExclusiveClass = 57,
  kRootKey = 58, kGenCount = 61
};

struct GenSet {
  int16_t v[kGenCount];
  bool has[kGenCount];
};

GenSet InstrumentDefaults() {
  GenSet g{};
  g.v[kFilterFc] = 13500;
  for (int i : {21, 23, 25, 26, 27, 28, 30, 33, 34, 35, 36, 38}) g.v[i] = -12000;
  g.v[kRootKey] = -1;
  g.v[kKeynum] = -1;
  g.v[kVelocity] = -1;
  g.v[kScaleTuning] = 100;
  g.v[kKeyRange] = int16_t(0x7F00);
  g.v[kVelRange] = int16_t(0x7F00);
  return g;
}

// Sample offsets, fixed keys and the like mean nothing at preset level.
bool PresetMayAdd(int gen) {
  switch (gen) {
    case 0: case 1: case 2: case 3: case 4: case 12: case 45: case 46: case 47: case 50:
    case 54: case 57: case 58:
      return false;
    default: return true;
  }
}

struct Table {
  const uint8_t* p = nullptr;
  uint32_t count = 0;  // records, the terminal one included
};

struct Pdta {
  Table phdr, pbag, pgen, inst, ibag, igen, shdr;
};

struct Sample {
  std::string name;
  uint32_t start, end, loopStart, loopEnd, rate;
  uint8_t pitch;
  int8_t correction;
  bool rom;
};

struct Zone {
  GenSet gens;
  int link = -1;  // instrument (preset zone) or sample (instrument zone); -1: global or none
};

class Sf2Reader : private ReasonKeeper {
 public:
  LoadResult Read(const uint8_t* data, size_t size);

 private:
  bool ReadLists(const riff::Chunk& body);
  bool ReadInfo(const riff::Chunk& list);
  bool ReadPdta(const riff::Chunk& list);
  bool ReadSamples();
  bool Zones(const Table& hdr, uint32_t recSize, uint32_t bagAt, const Table& bag,
             const Table& gen, uint32_t index, uint16_t linkGen, uint32_t linkCount,
             std::vector<Zone>& out);
  bool WithinBudget();
  bool ReadPreset(uint32_t index);
  void AddRegions(const Zone& pz, const std::vector<Zone>& izones, Instrument& out);

  std::unique_ptr<Bank> m_bank;
  bool m_sawIfil = false, m_sawSmpl = false;
  uint16_t m_version = 2;
  const uint8_t* m_smpl = nullptr;  // version 3: the raw sample data, decoded by ReadSamples
  size_t m_smplSize = 0;
  Pdta m_pd;
  riff::Chunk m_pdtaList;
  std::vector<Sample> m_samples;
  std::vector<std::vector<Zone>> m_instZones;
};

bool Sf2Reader::ReadInfo(const riff::Chunk& list) {
  riff::Walker w(list);
  riff::Chunk c;
  while (w.Next(c)) {
    if (c.id == Fourcc("ifil")) {
      if (c.size != 4) return Fail("'ifil' is not 4 bytes");
      m_version = Le16(c.data);
      if (m_version != 2 && m_version != 3) {
        return Fail("SoundFont version " + std::to_string(m_version) + " is not 2 or 3");
      }
      m_sawIfil = true;
    } else if (c.id == Fourcc("INAM")) {
      m_bank->name = riff::FixedText(c.data, c.size);
    }
  }
  if (!w.error().empty()) return Fail(w.error() + " in 'INFO'");
  return m_sawIfil || Fail("no 'ifil' version chunk");
}

bool Sf2Reader::ReadPdta(const riff::Chunk& list) {
  struct Want { const char* name; uint32_t id; uint32_t rec; Table* t; };
  const Want wants[] = {
      {"phdr", Fourcc("phdr"), 38, &m_pd.phdr}, {"pbag", Fourcc("pbag"), 4, &m_pd.pbag},
      {"pgen", Fourcc("pgen"), 4, &m_pd.pgen},  {"inst", Fourcc("inst"), 22, &m_pd.inst},
      {"ibag", Fourcc("ibag"), 4, &m_pd.ibag},  {"igen", Fourcc("igen"), 4, &m_pd.igen},
      {"shdr", Fourcc("shdr"), 46, &m_pd.shdr}};
  riff::Walker w(list);
  riff::Chunk c;
  while (w.Next(c)) {
    for (const Want& want : wants) {
      if (c.id != want.id) continue;
      if (c.size % want.rec != 0 || c.size / want.rec < 1) {
        return Fail("'" + std::string(want.name) + "' size " + std::to_string(c.size) +
                    " is not a whole number of records");
      }
      want.t->p = c.data;
      want.t->count = c.size / want.rec;
    }
  }
  if (!w.error().empty()) return Fail(w.error() + " in 'pdta'");
  for (const Want& want : wants) {
    if (!want.t->p) return Fail("no '" + std::string(want.name) + "' chunk");
  }
  return true;
}

bool Sf2Reader::ReadLists(const riff::Chunk& body) {
  riff::Walker w(body);
  riff::Chunk c;
  bool sawPdta = false;
  bool first = true;
  while (w.Next(c)) {
    const bool info = c.id == Fourcc("LIST") && c.type == Fourcc("INFO");
    if (first && !info) return Fail("'INFO' is not the first list");
    first = false;
    if (c.id != Fourcc("LIST")) continue;
    if (info) {
      if (!ReadInfo(c)) return false;
    } else if (c.type == Fourcc("sdta")) {
      riff::Walker s(c);
      riff::Chunk sc;
      while (s.Next(sc)) {
        if (sc.id != Fourcc("smpl")) continue;
        m_smpl = sc.data, m_smplSize = sc.size;
        m_sawSmpl = true;
        if (m_version == 3) continue;
        m_bank->pcm.resize(sc.size / 2);
        for (size_t i = 0; i < m_bank->pcm.size(); ++i) m_bank->pcm[i] = LeS16(sc.data + 2 * i);
      }
      if (!s.error().empty()) return Fail(s.error() + " in 'sdta'");
    } else if (c.type == Fourcc("pdta")) {
      if (!ReadPdta(c)) return false;
      m_pdtaList = c;
      sawPdta = true;
    }
  }
  if (!w.error().empty()) return Fail(w.error());
  if (!m_sawIfil) return Fail("no 'INFO' list");
  if (!m_sawSmpl) return Fail("no 'smpl' sample data");
  return sawPdta || Fail("no 'pdta' list");
}

bool Sf2Reader::ReadSamples() {
  const uint32_t n = m_pd.shdr.count - 1;  // the last is the terminal record
  std::vector<SampleSpan> spans;
  if (m_version == 3) {
    for (uint32_t i = 0; i < n; ++i) {
      const uint8_t* r = m_pd.shdr.p + 46 * i;
      spans.push_back(SampleSpan{riff::FixedText(r, 20), Le32(r + 20), Le32(r + 24), Le32(r + 28), Le32(r + 32),
                                 Le16(r + 44)});
    }
    std::string why;
    if (!DecodeSf3Samples(m_smpl, m_smplSize, spans, m_bank->pcm, why)) return Fail(why);
  }
  const uint32_t pool = uint32_t(m_bank->pcm.size());
  for (uint32_t i = 0; i < n; ++i) {
    const uint8_t* r = m_pd.shdr.p + 46 * i;
    Sample s;
    s.name = riff::FixedText(r, 20);
    s.start = Le32(r + 20);
    s.end = Le32(r + 24);
    s.loopStart = Le32(r + 28);
    s.loopEnd = Le32(r + 32);
    s.rate = Le32(r + 36);
    s.pitch = r[40];
    s.correction = int8_t(r[41]);
    s.rom = (Le16(r + 44) & 0x8000) != 0;
    if (!spans.empty()) {  // moved onto the decoded pool
      s.start = spans[i].start, s.end = spans[i].end;
      s.loopStart = spans[i].loopStart, s.loopEnd = spans[i].loopEnd;
    }
    if (!s.rom && (s.start >= s.end || s.end > pool)) {
      return Fail("sample '" + s.name + "' points outside the pool");
    }
    if (!s.rom && s.rate == 0) return Fail("sample '" + s.name + "' has no sample rate");
    m_samples.push_back(s);
  }
  return true;
}

// The zones of header `index`: bag range from the header records, generator range from the
// bags, every index checked. A first zone without a link is the global zone (link -1), whose
// generators become the defaults of the others; later zones without a link are dropped.
bool Sf2Reader::Zones(const Table& hdr, uint32_t recSize, uint32_t bagAt, const Table& bag,
                      const Table& gen, uint32_t index, uint16_t linkGen, uint32_t linkCount,
                      std::vector<Zone>& out) {
  const uint32_t b0 = Le16(hdr.p + recSize * index + bagAt);
  const uint32_t b1 = Le16(hdr.p + recSize * (index + 1) + bagAt);
  if (b0 > b1 || b1 >= bag.count) return Fail("zone index outside its bag table");
  GenSet global{};
  if (linkGen == kSampleId) global = InstrumentDefaults();
  global.v[kKeyRange] = global.v[kVelRange] = int16_t(0x7F00);
  for (uint32_t b = b0; b < b1; ++b) {
    const uint32_t g0 = Le16(bag.p + 4 * b), g1 = Le16(bag.p + 4 * (b + 1));
    if (g0 > g1 || g1 > gen.count) return Fail("generator index outside its table");
    Zone z;
    z.gens = global;
    for (uint32_t g = g0; g < g1; ++g) {
      const uint16_t oper = Le16(gen.p + 4 * g);
      const int16_t amount = LeS16(gen.p + 4 * g + 2);
      if (oper == linkGen) {
        if (uint16_t(amount) >= linkCount) {
          return Fail("zone names " + std::string(linkGen == kSampleId ? "sample " : "instrument ") +
                      std::to_string(uint16_t(amount)) + " of " + std::to_string(linkCount));
        }
        z.link = uint16_t(amount);
        break;  // generators after the link are ignored
      }
      if (oper < kGenCount) {
        z.gens.v[oper] = amount;
        z.gens.has[oper] = true;
      }
    }
    if (z.link >= 0) {
      out.push_back(z);
    } else if (b == b0) {
      global = z.gens;
    }
  }
  return true;
}

struct Range {
  uint8_t lo, hi;
};

Range RangeOf(int16_t v) { return Range{uint8_t(v & 0xFF), uint8_t((uint16_t(v) >> 8) & 0xFF)}; }

bool Intersect(Range a, Range b, Range& out) {
  out.lo = std::max(a.lo, b.lo);
  out.hi = std::min({a.hi, b.hi, uint8_t(127)});
  return out.lo <= out.hi;
}

float Clamp(int v, int lo, int hi) { return float(std::min(std::max(v, lo), hi)); }

void SetEnvelope(const int* g, bool volume, Envelope& e) {
  e.delay = TimecentsToSeconds(Clamp(g[0], -12000, 5000));
  e.attack = TimecentsToSeconds(Clamp(g[1], -12000, 8000));
  e.hold = TimecentsToSeconds(Clamp(g[2], -12000, 5000));
  e.decay = TimecentsToSeconds(Clamp(g[3], -12000, 8000));
  e.sustain = volume ? float(std::pow(10.0, -Clamp(g[4], 0, 1440) / 200.0))
                     : 1.0f - Clamp(g[4], 0, 1000) / 1000.0f;
  e.release = TimecentsToSeconds(Clamp(g[5], -12000, 8000));
  e.keyToHold = Clamp(g[6], -1200, 1200);
  e.keyToDecay = Clamp(g[7], -1200, 1200);
}

// A sample point moved by a fine and a coarse offset, kept inside [lo, hi].
uint32_t Offset(uint32_t base, int fine, int coarse, uint32_t lo, uint32_t hi) {
  int64_t v = int64_t(base) + fine + int64_t(coarse) * 32768;
  return uint32_t(std::min<int64_t>(std::max<int64_t>(v, lo), hi));
}

Region MakeRegion(const int* g, const Sample& s, Range key, Range vel) {
  Region r;
  r.keyLo = key.lo; r.keyHi = key.hi; r.velLo = vel.lo; r.velHi = vel.hi;
  r.start = Offset(s.start, g[kStartOffset], g[kStartCoarse], s.start, s.end - 1);
  r.end = Offset(s.end, g[kEndOffset], g[kEndCoarse], r.start + 1, s.end);
  r.loopStart = Offset(s.loopStart, g[kLoopStartOffset], g[kLoopStartCoarse], r.start, r.end);
  r.loopEnd = Offset(s.loopEnd, g[kLoopEndOffset], g[kLoopEndCoarse], r.loopStart, r.end);
  r.sampleRate = s.rate;
  const int mode = g[kSampleModes] & 3;
  r.loop = mode == 1 ? LoopMode::kForward : mode == 3 ? LoopMode::kUntilRelease : LoopMode::kNone;
  if (r.loopEnd <= r.loopStart) r.loop = LoopMode::kNone;
  r.rootKey = g[kRootKey] >= 0 && g[kRootKey] <= 127 ? uint8_t(g[kRootKey])
              : s.pitch <= 127                       ? s.pitch
                                                     : 60;
  r.tuneCents = float(g[kCoarseTune] * 100 + g[kFineTune] + s.correction);
  r.scaleTuning = Clamp(g[kScaleTuning], 0, 1200);
  r.attenuation = Clamp(g[kAttenuation], 0, 1440) / 10.0f;
  r.pan = Clamp(g[kPan], -500, 500) / 500.0f;
  r.reverbSend = Clamp(g[kReverbSend], 0, 1000) / 1000.0f;
  r.chorusSend = Clamp(g[kChorusSend], 0, 1000) / 1000.0f;
  r.filterCutoff = Clamp(g[kFilterFc], 1500, 13500);
  r.filterQ = Clamp(g[kFilterQ], 0, 960) / 10.0f;
  SetEnvelope(g + kVolEnvDelay, true, r.volEnv);
  SetEnvelope(g + kModEnvDelay, false, r.modEnv);
  r.modLfo.delay = TimecentsToSeconds(Clamp(g[kModLfoDelay], -12000, 5000));
  r.modLfo.frequency = AbsCentsToHz(Clamp(g[kModLfoFreq], -16000, 4500));
  r.vibLfo.delay = TimecentsToSeconds(Clamp(g[kVibLfoDelay], -12000, 5000));
  r.vibLfo.frequency = AbsCentsToHz(Clamp(g[kVibLfoFreq], -16000, 4500));
  r.modLfoToPitch = Clamp(g[kModLfoToPitch], -12000, 12000);
  r.vibLfoToPitch = Clamp(g[kVibLfoToPitch], -12000, 12000);
  r.modEnvToPitch = Clamp(g[kModEnvToPitch], -12000, 12000);
  r.modLfoToFilter = Clamp(g[kModLfoToFilter], -12000, 12000);
  r.modEnvToFilter = Clamp(g[kModEnvToFilter], -12000, 12000);
  r.modLfoToVolume = Clamp(g[kModLfoToVolume], -960, 960) / 10.0f;
  r.exclusiveClass = uint16_t(Clamp(g[kExclusiveClass], 0, 127));
  return r;
}

// Preset generators add to the instrument's; key and velocity ranges intersect.
void Sf2Reader::AddRegions(const Zone& pz, const std::vector<Zone>& izones, Instrument& out) {
  for (const Zone& iz : izones) {
    const Sample& s = m_samples[size_t(iz.link)];
    if (s.rom) continue;  // no ROM to play it from
    Range key, vel;
    if (!Intersect(RangeOf(pz.gens.v[kKeyRange]), RangeOf(iz.gens.v[kKeyRange]), key)) continue;
    if (!Intersect(RangeOf(pz.gens.v[kVelRange]), RangeOf(iz.gens.v[kVelRange]), vel)) continue;
    int g[kGenCount];
    for (int i = 0; i < kGenCount; ++i) {
      g[i] = iz.gens.v[i];
      if (PresetMayAdd(i) && i != kKeyRange && i != kVelRange && pz.gens.has[i]) g[i] += pz.gens.v[i];
    }
    out.regions.push_back(MakeRegion(g, s, key, vel));
  }
}

// Regions are counted before any is built. Tables that do not hold together are left to
// Zones, which names the fault.
bool Sf2Reader::WithinBudget() {
  std::vector<uint16_t> zoneCounts(kv22::kBankCountedInstruments);
  kv22::BankCost cost;
  const kv22::BankVerdict v = kv22::CountSf2(m_pdtaList.data, m_pdtaList.size, zoneCounts.data(), cost);
  return v != kv22::kBankOverBudget || Fail(BudgetReason(v, cost));
}

bool Sf2Reader::ReadPreset(uint32_t index) {
  const uint8_t* h = m_pd.phdr.p + 38 * index;
  std::vector<Zone> zones;
  if (!Zones(m_pd.phdr, 38, 24, m_pd.pbag, m_pd.pgen, index, kInstrument, m_pd.inst.count - 1, zones)) {
    return false;
  }
  Instrument in;
  in.name = riff::FixedText(h, 20);
  const uint16_t bank = Le16(h + 22);
  in.program = uint8_t(Le16(h + 20) & 0x7F);
  in.drum = bank == 128;
  in.bankMsb = in.drum ? 0 : uint8_t(bank & 0x7F);
  for (const Zone& pz : zones) AddRegions(pz, m_instZones[size_t(pz.link)], in);
  if (!in.regions.empty()) m_bank->instruments.push_back(std::move(in));
  return true;
}

LoadResult Sf2Reader::Read(const uint8_t* data, size_t size) {
  m_bank = std::make_unique<Bank>();
  m_bank->kind = BankKind::kSf2;
  riff::Chunk body;
  std::string why;
  if (!riff::OpenForm(data, size, Fourcc("sfbk"), body, why)) Fail(why);
  bool ok = m_reason.empty() && ReadLists(body) && ReadSamples();
  for (uint32_t i = 0; ok && i + 1 < m_pd.inst.count; ++i) {
    m_instZones.emplace_back();
    ok = Zones(m_pd.inst, 22, 20, m_pd.ibag, m_pd.igen, i, kSampleId, uint32_t(m_samples.size()),
               m_instZones.back());
  }
  ok = ok && WithinBudget();
  for (uint32_t i = 0; ok && i + 1 < m_pd.phdr.count; ++i) ok = ReadPreset(i);
  if (ok && m_bank->instruments.empty()) Fail("no playable preset");
  return Finish(std::move(m_bank), m_reason);
}

}  // namespace

LoadResult LoadSf2(const uint8_t* data, size_t size) { return Sf2Reader().Read(data, size); }

}  // namespace zsynth
