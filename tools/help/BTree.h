// The B+ trees of a help file (its directory, |CONTEXT, |TTLBTREE): fixed-size pages,
// leaves chained left to right, index pages that hold each child's first key.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tools/help/HlpFormat.h"

namespace hlp {

struct BTreeEntry {
  Bytes key;    // as stored, also in index pages
  Bytes value;  // stored after the key in leaves only
};

struct BTreeLayout {
  uint16_t pageSize;
  uint16_t flags;
  const char* structure;  // the format string the header carries, e.g. "L4"
};

// The tree's bytes from its header on, entries already in key order. False when an entry
// does not fit a page.
bool BuildBTree(const std::vector<BTreeEntry>& entries, const BTreeLayout& layout, Bytes& out);

// Reading, for the reader and the tests. A size function gives the length of the key (or
// leaf value) at p, at most `left` bytes, or 0 when it runs off the page.
using KeySizeFn = std::function<size_t(const uint8_t* p, size_t left)>;
// Negative, zero or positive as the stored key at p is below, equal to or above the one sought.
using KeyCompareFn = std::function<int(const uint8_t* p)>;

struct BTreeView {
  const uint8_t* data = nullptr;  // from the tree header on
  size_t size = 0;
  uint16_t pageSize = 0;
  uint16_t rootPage = 0;
  uint16_t totalPages = 0;
  uint16_t levels = 0;
  uint32_t entries = 0;
  std::string structure;
};

bool OpenBTree(const uint8_t* data, size_t size, BTreeView& view, std::string& error);

// Every leaf entry, left to right: visit(entry, its size left on the page). False on a
// damaged tree.
bool WalkBTree(const BTreeView& view, const KeySizeFn& keySize, const KeySizeFn& valueSize,
               const std::function<void(const uint8_t*, size_t)>& visit, std::string& error);

// Descends the index pages as the viewer does. Returns the leaf entry or nullptr.
const uint8_t* FindInBTree(const BTreeView& view, const KeySizeFn& keySize, const KeySizeFn& valueSize,
                           const KeyCompareFn& compare);

}  // namespace hlp
