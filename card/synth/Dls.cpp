// DLS level 1 and 2: instruments of regions over a pool of waves. Conditional chunks ('cdl ')
// are taken as true, so every region and articulation is read.
#include <algorithm>
#include <cmath>
#include <memory>

#include "BankReaders.h"
#include "Riff.h"

namespace zsynth {
namespace {

using riff::Fourcc;
using riff::Le16;
using riff::Le32;
using riff::LeS16;
using riff::LeS32;

constexpr uint32_t kDrumBit = 0x80000000u;  // F_INSTRUMENT_DRUMS

enum Src : uint16_t { kSrcNone = 0, kSrcLfo = 1, kSrcKey = 3, kSrcEg2 = 5, kSrcVibrato = 9,
                      kSrcCc91 = 0xDB, kSrcCc93 = 0xDD };
enum Dst : uint16_t {
  kDstAttenuation = 1, kDstPitch = 3, kDstPan = 4, kDstChorus = 0x80, kDstReverb = 0x81,
  kDstLfoFreq = 0x104, kDstLfoDelay = 0x105, kDstVibFreq = 0x114, kDstVibDelay = 0x115,
  kDstEg1Attack = 0x206, kDstEg1Decay = 0x207, kDstEg1Release = 0x209, kDstEg1Sustain = 0x20A,
  kDstEg1Delay = 0x20B, kDstEg1Hold = 0x20C,
  kDstEg2Attack = 0x30A, kDstEg2Decay = 0x30B, kDstEg2Release = 0x30D, kDstEg2Sustain = 0x30E,
  kDstEg2Delay = 0x30F, kDstEg2Hold = 0x310,
  kDstCutoff = 0x500, kDstQ = 0x501
};

struct Wave {
  uint32_t offset;  // from the pool's first wave
  uint32_t start, frames, rate;
  const uint8_t* wsmp = nullptr;  // the wave's own, used when a region has none
  uint32_t wsmpSize = 0;
};

float Seconds(int32_t scale) {
  if (scale == INT32_MIN) return 0.0f;  // "no time"
  return TimecentsToSeconds(std::min(std::max(scale / 65536.0, -12000.0), 8000.0));
}

// The volume envelope's sustain comes as 0.1 % of a 96 dB range.
float VolumeSustain(int32_t scale) {
  double permille = std::min(std::max(scale / 65536.0, 0.0), 1000.0);
  return float(std::pow(10.0, -(1000.0 - permille) * 96.0 / 1000.0 / 20.0));
}

void SetTime(Envelope& e, uint16_t dst, uint16_t base, float seconds) {
  switch (dst - base) {
    case 0: e.attack = seconds; break;
    case 1: e.decay = seconds; break;
    case 3: e.release = seconds; break;
    case 5: e.delay = seconds; break;
    case 6: e.hold = seconds; break;
    default: break;
  }
}

// One connection block into the region; blocks the engine has no place for are skipped.
void Apply(uint16_t src, uint16_t ctl, uint16_t dst, int32_t scale, Region& r) {
  if (ctl != kSrcNone) return;
  const float units = float(scale / 65536.0);
  if (src == kSrcNone) {
    switch (dst) {
      case kDstAttenuation: r.attenuation = std::max(0.0f, -units / 10.0f); return;
      case kDstPitch: r.tuneCents += units; return;
      case kDstPan: r.pan = std::min(std::max(units / 500.0f, -1.0f), 1.0f); return;
      case kDstChorus: r.chorusSend = std::min(std::max(units / 1000.0f, 0.0f), 1.0f); return;
      case kDstReverb: r.reverbSend = std::min(std::max(units / 1000.0f, 0.0f), 1.0f); return;
      case kDstLfoFreq: r.modLfo.frequency = AbsCentsToHz(units); return;
      case kDstLfoDelay: r.modLfo.delay = Seconds(scale); return;
      case kDstVibFreq: r.vibLfo.frequency = AbsCentsToHz(units); return;
      case kDstVibDelay: r.vibLfo.delay = Seconds(scale); return;
      case kDstEg1Sustain: r.volEnv.sustain = VolumeSustain(scale); return;
      case kDstEg2Sustain: r.modEnv.sustain = std::min(std::max(units / 1000.0f, 0.0f), 1.0f); return;
      case kDstCutoff: r.filterCutoff = units; return;
      case kDstQ: r.filterQ = std::max(0.0f, units / 10.0f); return;
      default: break;
    }
    if (dst >= kDstEg1Attack && dst <= kDstEg1Hold) SetTime(r.volEnv, dst, kDstEg1Attack, Seconds(scale));
    if (dst >= kDstEg2Attack && dst <= kDstEg2Hold) SetTime(r.modEnv, dst, kDstEg2Attack, Seconds(scale));
    return;
  }
  if (src == kSrcCc91 && dst == kDstReverb) r.reverbSend = std::min(std::max(units / 1000.0f, 0.0f), 1.0f);
  if (src == kSrcCc93 && dst == kDstChorus) r.chorusSend = std::min(std::max(units / 1000.0f, 0.0f), 1.0f);
  if (src == kSrcLfo && dst == kDstPitch) r.modLfoToPitch = units;
  if (src == kSrcVibrato && dst == kDstPitch) r.vibLfoToPitch = units;
  if (src == kSrcEg2 && dst == kDstPitch) r.modEnvToPitch = units;
  if (src == kSrcLfo && dst == kDstCutoff) r.modLfoToFilter = units;
  if (src == kSrcEg2 && dst == kDstCutoff) r.modEnvToFilter = units;
  if (src == kSrcLfo && dst == kDstAttenuation) r.modLfoToVolume = units / 10.0f;
  // Key number over the whole keyboard: per key, as the region keeps it.
  if (src == kSrcKey && dst == kDstEg1Hold) r.volEnv.keyToHold = units / 128.0f;
  if (src == kSrcKey && dst == kDstEg1Decay) r.volEnv.keyToDecay = units / 128.0f;
  if (src == kSrcKey && dst == kDstEg2Hold) r.modEnv.keyToHold = units / 128.0f;
  if (src == kSrcKey && dst == kDstEg2Decay) r.modEnv.keyToDecay = units / 128.0f;
}

class DlsReader : private ReasonKeeper {
 public:
  LoadResult Read(const uint8_t* data, size_t size);

 private:
  bool Walk(riff::Walker& w, const char* where) {
    return w.error().empty() || Fail(w.error() + " in '" + where + "'");
  }
  bool ReadPool(const riff::Chunk& wvpl);
  bool ReadWave(const riff::Chunk& list);
  bool ReadCues(const riff::Chunk& ptbl);
  bool ReadArticulation(const riff::Chunk& list, Region& r);
  bool ReadInstrument(const riff::Chunk& ins);
  bool ReadRegion(const riff::Chunk& rgn, const std::vector<riff::Chunk>& insArt, Instrument& in);
  bool ApplyWsmp(const uint8_t* p, uint32_t size, const Wave& w, Region& r);
  // Regions and articulation are counted before any is built; structural faults are left
  // to the readers, which name them.
  bool WithinBudget(const riff::Chunk& lins) {
    kv22::BankCost cost;
    const kv22::BankVerdict v = kv22::CountDls(lins.data, lins.size, cost);
    return v != kv22::kBankOverBudget || Fail(BudgetReason(v, cost));
  }

  std::unique_ptr<Bank> m_bank;
  std::vector<Wave> m_waves;
  std::vector<uint32_t> m_cues;  // table index -> wave
};

bool DlsReader::ReadWave(const riff::Chunk& list) {
  riff::Walker w(list);
  riff::Chunk c;
  const uint8_t* fmt = nullptr;
  const riff::Chunk* data = nullptr;
  riff::Chunk dataChunk;
  Wave wave{};
  while (w.Next(c)) {
    if (c.id == Fourcc("fmt ")) {
      if (c.size < 16) return Fail("'fmt ' is shorter than 16 bytes");
      fmt = c.data;
    } else if (c.id == Fourcc("data")) {
      dataChunk = c;
      data = &dataChunk;
    } else if (c.id == Fourcc("wsmp")) {
      wave.wsmp = c.data;
      wave.wsmpSize = c.size;
    }
  }
  if (!Walk(w, "wave")) return false;
  if (!fmt || !data) return Fail("a wave without 'fmt ' or 'data'");
  const uint16_t tag = Le16(fmt), channels = Le16(fmt + 2), bits = Le16(fmt + 14);
  if (tag != 1 || channels < 1 || (bits != 8 && bits != 16)) {
    return Fail("wave format " + std::to_string(tag) + ", " + std::to_string(bits) +
                " bits is not 8- or 16-bit PCM");
  }
  wave.rate = Le32(fmt + 4);
  if (wave.rate == 0) return Fail("a wave without a sample rate");
  const uint32_t frameBytes = uint32_t(channels) * (bits / 8u);
  wave.frames = data->size / frameBytes;
  if (wave.frames == 0) return Fail("a wave without samples");
  wave.start = uint32_t(m_bank->pcm.size());
  m_bank->pcm.reserve(m_bank->pcm.size() + wave.frames);
  for (uint32_t i = 0; i < wave.frames; ++i) {  // the first channel only
    const uint8_t* s = data->data + size_t(i) * frameBytes;
    m_bank->pcm.push_back(bits == 8 ? int16_t((s[0] - 128) * 256) : LeS16(s));
  }
  m_waves.push_back(wave);
  return true;
}

bool DlsReader::ReadPool(const riff::Chunk& wvpl) {
  riff::Walker w(wvpl);
  riff::Chunk c;
  while (w.Next(c)) {
    if (c.id != Fourcc("LIST") || c.type != Fourcc("wave")) continue;
    if (!ReadWave(c)) return false;
    m_waves.back().offset = c.offset;
  }
  return Walk(w, "wvpl");
}

bool DlsReader::ReadCues(const riff::Chunk& ptbl) {
  if (ptbl.size < 8) return Fail("truncated chunk 'ptbl'");
  const uint32_t header = Le32(ptbl.data), count = Le32(ptbl.data + 4);
  if (header < 8 || header > ptbl.size || count > (ptbl.size - header) / 4) {
    return Fail("truncated chunk 'ptbl'");
  }
  // Waves lie in the pool in file order, so their offsets rise: a cue is a binary search.
  for (uint32_t i = 0; i < count; ++i) {
    const uint32_t offset = Le32(ptbl.data + header + 4 * i);
    auto it = std::lower_bound(m_waves.begin(), m_waves.end(), offset,
                               [](const Wave& w, uint32_t at) { return w.offset < at; });
    if (it == m_waves.end() || it->offset != offset) return Fail("pool cue " + std::to_string(i) + " points at no wave");
    m_cues.push_back(uint32_t(it - m_waves.begin()));
  }
  return true;
}

bool DlsReader::ReadArticulation(const riff::Chunk& list, Region& r) {
  riff::Walker w(list);
  riff::Chunk c;
  while (w.Next(c)) {
    if (c.id != Fourcc("art1") && c.id != Fourcc("art2")) continue;
    if (c.size < 8) return Fail("truncated chunk '" + riff::FourccText(c.id) + "'");
    const uint32_t header = Le32(c.data), count = Le32(c.data + 4);
    if (header < 8 || header > c.size || count > (c.size - header) / 12) {
      return Fail("truncated chunk '" + riff::FourccText(c.id) + "'");
    }
    for (uint32_t i = 0; i < count; ++i) {
      const uint8_t* b = c.data + header + 12 * i;
      Apply(Le16(b), Le16(b + 2), Le16(b + 4), LeS32(b + 8), r);
    }
  }
  return Walk(w, riff::FourccText(list.type).c_str());
}

// Unity note, fine tune, attenuation and the first loop; loop points are checked against the
// wave so that a region never reaches outside its own samples.
bool DlsReader::ApplyWsmp(const uint8_t* p, uint32_t size, const Wave& w, Region& r) {
  if (size < 20) return Fail("truncated chunk 'wsmp'");
  const uint32_t header = Le32(p), loops = Le32(p + 16);
  if (header < 20 || header > size || loops > (size - header) / 16) return Fail("truncated chunk 'wsmp'");
  r.rootKey = uint8_t(std::min<uint16_t>(Le16(p + 4), 127));
  r.tuneCents = LeS16(p + 6);
  r.attenuation = float(std::abs(double(LeS32(p + 8))) / 655360.0);
  r.loop = LoopMode::kNone;
  if (loops == 0) return true;
  const uint8_t* l = p + header;
  const uint32_t type = Le32(l + 4), start = Le32(l + 8), length = Le32(l + 12);
  if (start >= w.frames || length == 0 || length > w.frames - start) {
    return Fail("loop outside its wave");
  }
  r.loop = type == 1 ? LoopMode::kUntilRelease : LoopMode::kForward;
  r.loopStart = w.start + start;
  r.loopEnd = w.start + start + length;
  return true;
}

bool DlsReader::ReadRegion(const riff::Chunk& rgn, const std::vector<riff::Chunk>& insArt,
                           Instrument& in) {
  riff::Walker w(rgn);
  riff::Chunk c;
  const uint8_t* rgnh = nullptr;
  riff::Chunk wsmp{};
  const uint8_t* wlnk = nullptr;
  std::vector<riff::Chunk> art;
  while (w.Next(c)) {
    if (c.id == Fourcc("rgnh")) {
      if (c.size < 12) return Fail("truncated chunk 'rgnh'");
      rgnh = c.data;
    } else if (c.id == Fourcc("wsmp")) {
      wsmp = c;
    } else if (c.id == Fourcc("wlnk")) {
      if (c.size < 12) return Fail("truncated chunk 'wlnk'");
      wlnk = c.data;
    } else if (c.id == Fourcc("LIST") && (c.type == Fourcc("lart") || c.type == Fourcc("lar2"))) {
      art.push_back(c);
    }
  }
  if (!Walk(w, "rgn ")) return false;
  if (!rgnh || !wlnk) return Fail("a region without 'rgnh' or 'wlnk'");
  const uint32_t table = Le32(wlnk + 8);
  if (table >= m_cues.size()) {
    return Fail("region names wave " + std::to_string(table) + " of " + std::to_string(m_cues.size()));
  }
  const Wave& wave = m_waves[m_cues[table]];
  Region r;
  r.keyLo = uint8_t(std::min<uint16_t>(Le16(rgnh), 127));
  r.keyHi = uint8_t(std::min<uint16_t>(Le16(rgnh + 2), 127));
  r.velLo = uint8_t(std::min<uint16_t>(Le16(rgnh + 4), 127));
  r.velHi = uint8_t(std::min<uint16_t>(Le16(rgnh + 6), 127));
  if (r.keyLo > r.keyHi || r.velLo > r.velHi) return true;  // plays for no note
  r.exclusiveClass = Le16(rgnh + 10);
  r.start = wave.start;
  r.end = wave.start + wave.frames;
  r.sampleRate = wave.rate;
  r.modLfo.frequency = r.vibLfo.frequency = 5.0f;  // the format's default
  if (wsmp.data && !ApplyWsmp(wsmp.data, wsmp.size, wave, r)) return false;
  if (!wsmp.data && wave.wsmp && !ApplyWsmp(wave.wsmp, wave.wsmpSize, wave, r)) return false;
  // A region's own articulation replaces the instrument's.
  for (const riff::Chunk& a : art.empty() ? insArt : art) {
    if (!ReadArticulation(a, r)) return false;
  }
  in.regions.push_back(r);
  return true;
}

bool DlsReader::ReadInstrument(const riff::Chunk& ins) {
  riff::Walker w(ins);
  riff::Chunk c;
  const uint8_t* insh = nullptr;
  riff::Chunk lrgn{};
  std::vector<riff::Chunk> art;
  Instrument in;
  while (w.Next(c)) {
    if (c.id == Fourcc("insh")) {
      if (c.size < 12) return Fail("truncated chunk 'insh'");
      insh = c.data;
    } else if (c.id == Fourcc("LIST") && c.type == Fourcc("lrgn")) {
      lrgn = c;
    } else if (c.id == Fourcc("LIST") && (c.type == Fourcc("lart") || c.type == Fourcc("lar2"))) {
      art.push_back(c);
    } else if (c.id == Fourcc("LIST") && c.type == Fourcc("INFO")) {
      riff::Walker info(c);
      riff::Chunk i;
      while (info.Next(i)) {
        if (i.id == Fourcc("INAM")) in.name = riff::FixedText(i.data, i.size);
      }
    }
  }
  if (!Walk(w, "ins ")) return false;
  if (!insh) return Fail("an instrument without 'insh'");
  const uint32_t bank = Le32(insh + 4);
  in.drum = (bank & kDrumBit) != 0;
  in.bankMsb = uint8_t((bank >> 8) & 0x7F);
  in.bankLsb = uint8_t(bank & 0x7F);
  in.program = uint8_t(Le32(insh + 8) & 0x7F);
  riff::Walker regions(lrgn);
  while (regions.Next(c)) {
    if (c.id == Fourcc("LIST") && (c.type == Fourcc("rgn ") || c.type == Fourcc("rgn2"))) {
      if (!ReadRegion(c, art, in)) return false;
    }
  }
  if (!Walk(regions, "lrgn")) return false;
  if (!in.regions.empty()) m_bank->instruments.push_back(std::move(in));
  return true;
}

LoadResult DlsReader::Read(const uint8_t* data, size_t size) {
  m_bank = std::make_unique<Bank>();
  m_bank->kind = BankKind::kDls;
  riff::Chunk body, c, lins{}, ptbl{}, wvpl{};
  std::string why;
  if (!riff::OpenForm(data, size, Fourcc("DLS "), body, why)) return LoadResult{nullptr, why};
  riff::Walker w(body);
  bool colh = false;
  while (w.Next(c)) {
    if (c.id == Fourcc("colh")) colh = true;
    if (c.id == Fourcc("ptbl")) ptbl = c;
    if (c.id == Fourcc("LIST") && c.type == Fourcc("lins")) lins = c;
    if (c.id == Fourcc("LIST") && c.type == Fourcc("wvpl")) wvpl = c;
    if (c.id == Fourcc("LIST") && c.type == Fourcc("INFO")) {
      riff::Walker info(c);
      riff::Chunk i;
      while (info.Next(i)) {
        if (i.id == Fourcc("INAM")) m_bank->name = riff::FixedText(i.data, i.size);
      }
    }
  }
  bool ok = Walk(w, "DLS ");
  if (ok && !colh) ok = Fail("no 'colh' chunk");
  if (ok && !lins.data) ok = Fail("no 'lins' list");
  if (ok && !ptbl.data) ok = Fail("no 'ptbl' chunk");
  if (ok && !wvpl.data) ok = Fail("no 'wvpl' list");
  ok = ok && WithinBudget(lins) && ReadPool(wvpl) && ReadCues(ptbl);
  riff::Walker instruments(lins);
  while (ok && instruments.Next(c)) {
    if (c.id == Fourcc("LIST") && c.type == Fourcc("ins ")) ok = ReadInstrument(c);
  }
  if (ok) ok = Walk(instruments, "lins");
  if (ok && m_bank->instruments.empty()) Fail("no playable instrument");
  return Finish(std::move(m_bank), m_reason);
}

}  // namespace

LoadResult LoadDls(const uint8_t* data, size_t size) { return DlsReader().Read(data, size); }

}  // namespace zsynth
