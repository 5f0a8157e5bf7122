#include "card/core/BankCost.h"

namespace kv22 {
namespace {

constexpr uint32_t Id(char a, char b, char c, char d) {
  return uint32_t(uint8_t(a)) | uint32_t(uint8_t(b)) << 8 | uint32_t(uint8_t(c)) << 16 |
         uint32_t(uint8_t(d)) << 24;
}

uint16_t Le16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
uint32_t Le32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

constexpr uint32_t kList = Id('L', 'I', 'S', 'T');
constexpr uint32_t kRiff = Id('R', 'I', 'F', 'F');

// The chunks of one region, as the synthesizer's reader walks them: a size past the region
// is a fault, a missing pad byte after the last chunk is not.
struct Chunk {
  uint32_t id, type;
  const uint8_t* data;
  uint32_t size;
};

class Walker {
 public:
  Walker(const uint8_t* data, uint32_t size) : m_data(data), m_size(size) {}
  explicit Walker(const Chunk& c) : m_data(c.data), m_size(c.size) {}
  bool Next(Chunk& c) {
    if (m_fault || m_pos >= m_size) return false;
    const uint32_t left = m_size - m_pos;
    const uint8_t* p = m_data + m_pos;
    if (left < 8 || Le32(p + 4) > left - 8) return Fault();
    c.id = Le32(p);
    c.size = Le32(p + 4);
    c.data = p + 8;
    c.type = 0;
    if (c.id == kList || c.id == kRiff) {
      if (c.size < 4) return Fault();
      c.type = Le32(p + 8);
      c.data += 4;
      c.size -= 4;
    }
    const uint64_t step = 8 + uint64_t(Le32(p + 4)) + (Le32(p + 4) & 1);
    m_pos = step > left ? m_size : m_pos + uint32_t(step);
    return true;
  }
  bool fault() const { return m_fault; }

 private:
  bool Fault() {
    m_fault = true;
    return false;
  }
  const uint8_t* m_data;
  uint32_t m_size;
  uint32_t m_pos = 0;
  bool m_fault = false;
};

struct Table {
  const uint8_t* p = nullptr;
  uint32_t count = 0;  // records, the terminal one included
};

struct Pdta {
  Table phdr, pbag, pgen, inst, ibag, igen, shdr;
};

bool ReadPdta(const uint8_t* body, uint32_t size, Pdta& pd) {
  struct Want { uint32_t id; uint32_t rec; Table* t; };
  const Want wants[] = {{Id('p', 'h', 'd', 'r'), 38, &pd.phdr}, {Id('p', 'b', 'a', 'g'), 4, &pd.pbag},
                        {Id('p', 'g', 'e', 'n'), 4, &pd.pgen},  {Id('i', 'n', 's', 't'), 22, &pd.inst},
                        {Id('i', 'b', 'a', 'g'), 4, &pd.ibag},  {Id('i', 'g', 'e', 'n'), 4, &pd.igen},
                        {Id('s', 'h', 'd', 'r'), 46, &pd.shdr}};
  Walker w(body, size);
  Chunk c;
  while (w.Next(c)) {
    for (const Want& want : wants) {
      if (c.id != want.id) continue;
      if (c.size % want.rec != 0 || c.size / want.rec < 1) return false;
      want.t->p = c.data;
      want.t->count = c.size / want.rec;
    }
  }
  if (w.fault()) return false;
  for (const Want& want : wants) {
    if (!want.t->p) return false;
  }
  return true;
}

constexpr uint16_t kInstrumentGen = 41;
constexpr uint16_t kSampleIdGen = 53;

// The zones of header `index` that name an instrument or sample, with every index checked
// as the reader checks it; -1 when the tables do not hold together.
int32_t LinkedZones(const Table& hdr, uint32_t recSize, uint32_t bagAt, const Table& bag, const Table& gen,
                    uint32_t index, uint16_t linkGen, uint32_t linkCount, const uint16_t* zoneCounts,
                    uint64_t& pairs) {
  const uint32_t b0 = Le16(hdr.p + recSize * index + bagAt);
  const uint32_t b1 = Le16(hdr.p + recSize * (index + 1) + bagAt);
  if (b0 > b1 || b1 >= bag.count) return -1;
  int32_t linked = 0;
  for (uint32_t b = b0; b < b1; ++b) {
    const uint32_t g0 = Le16(bag.p + 4 * b), g1 = Le16(bag.p + 4 * (b + 1));
    if (g0 > g1 || g1 > gen.count) return -1;
    for (uint32_t g = g0; g < g1; ++g) {
      if (Le16(gen.p + 4 * g) != linkGen) continue;
      const uint16_t link = Le16(gen.p + 4 * g + 2);
      if (link >= linkCount) return -1;
      ++linked;
      if (zoneCounts) pairs += zoneCounts[link];
      break;
    }
  }
  return linked;
}

}  // namespace

BankVerdict CountSf2(const uint8_t* pdta, uint32_t size, uint16_t* zoneCounts, BankCost& cost) {
  cost = BankCost();
  if (size > kBankMaxListBytes) return kBankOverBudget;
  Pdta pd;
  if (!ReadPdta(pdta, size, pd)) return kBankBadTables;
  const uint32_t samples = pd.shdr.count - 1;
  uint64_t unused = 0;
  for (uint32_t i = 0; i + 1 < pd.inst.count; ++i) {
    const int32_t n = LinkedZones(pd.inst, 22, 20, pd.ibag, pd.igen, i, kSampleIdGen, samples, nullptr, unused);
    if (n < 0) return kBankBadTables;
    if (i < kBankCountedInstruments) zoneCounts[i] = uint16_t(n);
    cost.zones += uint32_t(n);
  }
  const uint32_t instruments = pd.inst.count - 1;
  for (uint32_t i = 0; i + 1 < pd.phdr.count; ++i) {
    const int32_t n = LinkedZones(pd.phdr, 38, 24, pd.pbag, pd.pgen, i, kInstrumentGen, instruments, zoneCounts,
                                  cost.regions);
    if (n < 0) return kBankBadTables;
    cost.zones += uint32_t(n);
  }
  return CheckBankCost(cost);
}

namespace {

// Connection blocks of the 'art1'/'art2' chunks of an articulation list. A malformed one
// counts nothing: the reader refuses it when it applies it, and ignores it otherwise.
void Connections(const Chunk& list, uint64_t& count) {
  Walker w(list);
  Chunk c;
  while (w.Next(c)) {
    if (c.id != Id('a', 'r', 't', '1') && c.id != Id('a', 'r', 't', '2')) continue;
    if (c.size < 8) return;
    const uint32_t header = Le32(c.data), n = Le32(c.data + 4);
    if (header < 8 || header > c.size || n > (c.size - header) / 12) return;
    count += n;
  }
}

bool IsArticulation(const Chunk& c) {
  return c.id == kList && (c.type == Id('l', 'a', 'r', 't') || c.type == Id('l', 'a', 'r', '2'));
}

bool IsRegion(const Chunk& c) {
  return c.id == kList && (c.type == Id('r', 'g', 'n', ' ') || c.type == Id('r', 'g', 'n', '2'));
}

// One instrument: its regions, and the blocks applied to each (its own, or the instrument's).
bool CountInstrument(const Chunk& ins, BankCost& cost) {
  Walker w(ins);
  Chunk c, lrgn{0, 0, nullptr, 0};
  uint64_t shared = 0;
  while (w.Next(c)) {
    if (c.id == kList && c.type == Id('l', 'r', 'g', 'n')) lrgn = c;
    if (IsArticulation(c)) Connections(c, shared);
  }
  if (w.fault()) return false;
  Walker regions(lrgn);
  while (regions.Next(c)) {
    if (!IsRegion(c)) continue;
    Walker r(c);
    Chunk rc;
    uint64_t own = 0;
    bool hasOwn = false;
    while (r.Next(rc)) {
      if (!IsArticulation(rc)) continue;
      hasOwn = true;
      Connections(rc, own);
    }
    if (r.fault()) return false;
    ++cost.regions;
    ++cost.zones;
    cost.connections += hasOwn ? own : shared;
    if (cost.regions > kBankMaxRegions || cost.connections > kBankMaxConnections) return true;  // past it
  }
  return !regions.fault();
}

}  // namespace

BankVerdict CountDls(const uint8_t* lins, uint32_t size, BankCost& cost) {
  cost = BankCost();
  if (size > kBankMaxListBytes) return kBankOverBudget;
  Walker w(lins, size);
  Chunk c;
  while (w.Next(c)) {
    if (c.id != kList || c.type != Id('i', 'n', 's', ' ')) continue;
    if (!CountInstrument(c, cost)) return kBankBadTables;
    if (CheckBankCost(cost) != kBankLooksValid) return kBankOverBudget;
  }
  if (w.fault()) return kBankBadTables;
  return CheckBankCost(cost);
}

BankVerdict CheckBankCost(const BankCost& cost) {
  if (cost.regions > kBankMaxRegions || cost.regions > kBankRegionsPerZone * cost.zones) return kBankOverBudget;
  if (cost.connections > kBankMaxConnections) return kBankOverBudget;
  return kBankLooksValid;
}

namespace {

constexpr uint32_t kInfo = Id('I', 'N', 'F', 'O');

struct Need {
  uint32_t key;  // chunk id, or the list type for a LIST
  bool list;
};
const Need kSf2Needs[] = {{kInfo, true}, {Id('s', 'd', 't', 'a'), true}, {Id('p', 'd', 't', 'a'), true}};
const Need kDlsNeeds[] = {{Id('c', 'o', 'l', 'h'), false}, {Id('l', 'i', 'n', 's'), true},
                          {Id('p', 't', 'b', 'l'), false}, {Id('w', 'v', 'p', 'l'), true}};

}  // namespace

BankVerdict FindBankList(BankReadAt read, void* context, const uint8_t* head, uint32_t headSize,
                         uint64_t fileSize, BankList& list) {
  const BankVerdict first = ProbeBank(head, headSize, fileSize);
  if (first != kBankLooksValid) return first;
  if (fileSize > kBankMaxFileBytes) return kBankOverBudget;
  list = BankList();
  list.sf2 = Le32(head + 8) == Id('s', 'f', 'b', 'k');
  const Need* needs = list.sf2 ? kSf2Needs : kDlsNeeds;
  const uint32_t needCount = list.sf2 ? 3 : 4;
  const uint32_t wanted = list.sf2 ? Id('p', 'd', 't', 'a') : Id('l', 'i', 'n', 's');
  bool seen[4] = {};
  bool found = false;
  const uint64_t riffEnd = 8 + uint64_t(Le32(head + 4));  // checked against the file by ProbeBank
  uint64_t pos = 12;
  for (uint32_t chunks = 0; pos < riffEnd; ++chunks) {
    uint8_t h[12];
    if (chunks == kBankMaxChunks) return kBankOverBudget;
    if (riffEnd - pos < 8 || read(context, pos, h, 8) != 8) return kBankBadChunk;
    const uint32_t id = Le32(h), size = Le32(h + 4);
    if (size > riffEnd - pos - 8) return kBankBadChunk;
    const bool isList = id == kList;
    if (isList && (size < 4 || read(context, pos + 8, h + 8, 4) != 4)) return kBankBadChunk;
    const uint32_t key = isList ? Le32(h + 8) : id;
    if (list.sf2 && pos == 12 && !(isList && key == kInfo)) return kBankMisordered;
    for (uint32_t i = 0; i < needCount; ++i) {
      if (needs[i].list == isList && needs[i].key == key) seen[i] = true;
    }
    if (isList && key == wanted) {
      list.offset = pos + 12;
      list.size = size - 4;
      found = true;
    }
    pos += 8 + uint64_t(size) + (size & 1);
  }
  for (uint32_t i = 0; i < needCount; ++i) {
    if (!seen[i]) return kBankMissingChunk;
  }
  if (!found) return kBankMissingChunk;
  return list.size > kBankMaxListBytes ? kBankOverBudget : kBankLooksValid;
}

BankVerdict CheckBankList(const BankList& list, const uint8_t* body, uint16_t* zoneCounts) {
  BankCost cost;
  return list.sf2 ? CountSf2(body, list.size, zoneCounts, cost) : CountDls(body, list.size, cost);
}

}  // namespace kv22
