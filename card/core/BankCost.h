// What loading an instrument bank may cost, stated once. The card's probe and the
// synthesizer's loader count the same lists of the same file with these functions and
// refuse a bank past the limits, so the card never takes a bank the synthesizer refuses.
// Freestanding (the kernel driver runs it): no standard library, no allocation.
#pragma once
#include <stdint.h>

#include "card/core/BankProbe.h"

namespace kv22 {

// The limits. Regions grow with the product of preset and instrument zones, so they are
// bounded by the zones the file holds and by a fixed count (a region is about 180 bytes).
constexpr uint64_t kBankMaxFileBytes = 128u << 20;
constexpr uint32_t kBankMaxListBytes = 16u << 20;   // the SF2 'pdta' or DLS 'lins' list
constexpr uint64_t kBankMaxRegions = 65536;
constexpr uint64_t kBankRegionsPerZone = 64;
constexpr uint64_t kBankMaxConnections = 4u << 20;  // DLS articulation blocks applied to regions
constexpr uint32_t kBankMaxChunks = 4096;            // top-level chunks, each a read for the card

// SoundFont 2 instruments whose zones are counted; a zone's link is a 16-bit index.
constexpr uint32_t kBankCountedInstruments = 65536;

struct BankCost {
  uint64_t zones = 0;        // SF2: preset and instrument zones; DLS: regions
  uint64_t regions = 0;      // SF2: preset zone x instrument zone pairs; DLS: regions
  uint64_t connections = 0;  // DLS: articulation blocks applied, region by region
};

// Counts a SoundFont 2 'pdta' list (its body, after the list type). Refuses tables that do
// not hold together (kBankBadTables) and a bank past the limits (kBankOverBudget).
// zoneCounts: scratch of kBankCountedInstruments entries.
BankVerdict CountSf2(const uint8_t* pdta, uint32_t size, uint16_t* zoneCounts, BankCost& cost);

// Counts a DLS 'lins' list (its body, after the list type) likewise.
BankVerdict CountDls(const uint8_t* lins, uint32_t size, BankCost& cost);

// kBankOverBudget past any limit, else kBankLooksValid.
BankVerdict CheckBankCost(const BankCost& cost);

// Where the list to count lies in a file: found by walking the top-level chunks.
struct BankList {
  uint64_t offset = 0;  // of the list's body
  uint32_t size = 0;
  bool sf2 = false;
};

// Reads up to n bytes at offset into `to`; returns the count read.
typedef uint32_t (*BankReadAt)(void* context, uint64_t offset, uint8_t* to, uint32_t n);

// The whole probe, as far as it can go without the list itself: the head (ProbeBank), the
// file's size, every top-level chunk, and the list to count. kBankLooksValid with `list`
// set when the caller should read the list and count it.
BankVerdict FindBankList(BankReadAt read, void* context, const uint8_t* head, uint32_t headSize,
                         uint64_t fileSize, BankList& list);

// The list's verdict: CountSf2 or CountDls, then CheckBankCost.
BankVerdict CheckBankList(const BankList& list, const uint8_t* body, uint16_t* zoneCounts);

}  // namespace kv22
