#include "card/core/BankProbe.h"

namespace kv22 {
namespace {

constexpr uint32_t Id(char a, char b, char c, char d) {
  return uint32_t(uint8_t(a)) | uint32_t(uint8_t(b)) << 8 | uint32_t(uint8_t(c)) << 16 |
         uint32_t(uint8_t(d)) << 24;
}

uint32_t Le32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

constexpr uint32_t kList = Id('L', 'I', 'S', 'T');

struct Required {
  uint32_t id;    // chunk id, or the list type for a LIST
  bool list;
};

const Required kSf2Needs[] = {{Id('I', 'N', 'F', 'O'), true}, {Id('s', 'd', 't', 'a'), true},
                              {Id('p', 'd', 't', 'a'), true}};
const Required kDlsNeeds[] = {{Id('c', 'o', 'l', 'h'), false}, {Id('l', 'i', 'n', 's'), true},
                              {Id('p', 't', 'b', 'l'), false}, {Id('w', 'v', 'p', 'l'), true}};
constexpr uint32_t kMaxNeeds = 4;

}  // namespace

BankVerdict ProbeBank(const uint8_t* head, uint32_t headSize, uint64_t fileSize) {
  if (headSize > fileSize) headSize = uint32_t(fileSize);
  if (headSize < 12 || Le32(head) != Id('R', 'I', 'F', 'F')) return kBankNotRiff;
  const uint32_t form = Le32(head + 8);
  const bool sf2 = form == Id('s', 'f', 'b', 'k');
  if (!sf2 && form != Id('D', 'L', 'S', ' ')) return kBankWrongForm;
  const uint64_t riffEnd = 8 + uint64_t(Le32(head + 4));
  if (riffEnd < 12 || riffEnd > fileSize) return kBankSizeMismatch;

  const Required* needs = sf2 ? kSf2Needs : kDlsNeeds;
  const uint32_t needCount = sf2 ? 3 : 4;
  bool seen[kMaxNeeds] = {};
  uint64_t pos = 12;
  bool first = true;
  while (pos + 8 <= riffEnd && pos + 8 <= headSize) {
    const uint32_t id = Le32(head + pos);
    const uint64_t end = pos + 8 + Le32(head + pos + 4);
    if (end > riffEnd) return kBankBadChunk;
    const bool list = id == kList;
    if (list && end < pos + 12) return kBankBadChunk;
    if (list && pos + 12 > headSize) break;  // its type lies past the head
    const uint32_t key = list ? Le32(head + pos + 8) : id;
    if (sf2 && first && !(list && key == needs[0].id)) return kBankMisordered;
    first = false;
    for (uint32_t i = 0; i < needCount; ++i) {
      if (needs[i].list == list && needs[i].id == key) seen[i] = true;
    }
    pos = end + (end & 1);
  }
  if (pos < riffEnd && pos + 8 > riffEnd) return kBankBadChunk;  // a fragment of a header
  if (pos < riffEnd) return kBankLooksValid;  // the rest lies past the head: unknown
  for (uint32_t i = 0; i < needCount; ++i) {
    if (!seen[i]) return kBankMissingChunk;
  }
  return kBankLooksValid;
}

const char* BankVerdictText(BankVerdict v) {
  switch (v) {
    case kBankLooksValid: return "looks like a bank";
    case kBankNotRiff: return "not a RIFF file";
    case kBankWrongForm: return "a RIFF file that is neither DLS nor SoundFont 2";
    case kBankSizeMismatch: return "RIFF size larger than the file";
    case kBankBadChunk: return "a chunk runs past the RIFF data";
    case kBankMissingChunk: return "a required chunk is missing";
    case kBankMisordered: return "'INFO' is not the first list";
    case kBankOverBudget: return "loading it would take more memory or time than a bank may";
    case kBankBadTables: return "its preset, instrument or region tables do not hold together";
    default: return "?";
  }
}

}  // namespace kv22
