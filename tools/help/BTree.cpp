#include "tools/help/BTree.h"

#include <cstring>

namespace hlp {

namespace {

struct Child {
  uint16_t page;
  Bytes firstKey;
};

struct PageSet {
  std::vector<Bytes> pages;
  uint16_t pageSize;

  uint16_t Add(Bytes page) {
    page.resize(pageSize, 0);
    pages.push_back(std::move(page));
    return static_cast<uint16_t>(pages.size() - 1);
  }
};

void CloseLeaf(Bytes& page, uint16_t count, uint16_t pageSize) {
  page[0] = static_cast<uint8_t>(pageSize - page.size());
  page[1] = static_cast<uint8_t>((pageSize - page.size()) >> 8);
  page[2] = static_cast<uint8_t>(count);
  page[3] = static_cast<uint8_t>(count >> 8);
}

bool BuildLeaves(const std::vector<BTreeEntry>& entries, PageSet& set, std::vector<Child>& children) {
  Bytes page;
  uint16_t count = 0;
  auto start = [&](const Bytes& key) {
    page.assign(kLeafHeaderSize, 0);
    count = 0;
    children.push_back({0, key});  // numbered when the leaf is added
  };
  std::vector<Bytes> leaves;
  for (const BTreeEntry& e : entries) {
    const size_t size = e.key.size() + e.value.size();
    if (kLeafHeaderSize + size > set.pageSize) return false;
    if (page.empty() || page.size() + size > set.pageSize) {
      if (!page.empty()) {
        CloseLeaf(page, count, set.pageSize);
        leaves.push_back(page);
      }
      start(e.key);
    }
    page.insert(page.end(), e.key.begin(), e.key.end());
    page.insert(page.end(), e.value.begin(), e.value.end());
    ++count;
  }
  if (page.empty()) start({});  // an empty tree still has its one leaf
  CloseLeaf(page, count, set.pageSize);
  leaves.push_back(page);
  for (size_t i = 0; i < leaves.size(); ++i) {
    Bytes& leaf = leaves[i];
    const uint16_t prev = i == 0 ? 0xFFFF : static_cast<uint16_t>(i - 1);
    const uint16_t next = i + 1 == leaves.size() ? 0xFFFF : static_cast<uint16_t>(i + 1);
    leaf[4] = static_cast<uint8_t>(prev);
    leaf[5] = static_cast<uint8_t>(prev >> 8);
    leaf[6] = static_cast<uint8_t>(next);
    leaf[7] = static_cast<uint8_t>(next >> 8);
    children[i].page = set.Add(leaf);
  }
  return true;
}

// One level of index pages over `children`; returns the pages it made as the next children.
bool BuildIndexLevel(const std::vector<Child>& children, PageSet& set, std::vector<Child>& parents) {
  size_t i = 0;
  while (i < children.size()) {
    Bytes page(kIndexHeaderSize, 0);
    page[4] = static_cast<uint8_t>(children[i].page);
    page[5] = static_cast<uint8_t>(children[i].page >> 8);
    const Bytes firstKey = children[i].firstKey;
    uint16_t count = 0;
    ++i;
    while (i < children.size() && page.size() + children[i].firstKey.size() + 2 <= set.pageSize) {
      page.insert(page.end(), children[i].firstKey.begin(), children[i].firstKey.end());
      PutU16(page, children[i].page);
      ++count;
      ++i;
    }
    if (count == 0 && i < children.size()) return false;  // a key too long for an index page
    const uint16_t unused = static_cast<uint16_t>(set.pageSize - page.size());
    page[0] = static_cast<uint8_t>(unused);
    page[1] = static_cast<uint8_t>(unused >> 8);
    page[2] = static_cast<uint8_t>(count);
    page[3] = static_cast<uint8_t>(count >> 8);
    parents.push_back({set.Add(page), firstKey});
  }
  return true;
}

}  // namespace

bool BuildBTree(const std::vector<BTreeEntry>& entries, const BTreeLayout& layout, Bytes& out) {
  PageSet set{{}, layout.pageSize};
  std::vector<Child> level;
  if (!BuildLeaves(entries, set, level)) return false;
  uint16_t levels = 1;
  while (level.size() > 1) {
    std::vector<Child> parents;
    if (!BuildIndexLevel(level, set, parents)) return false;
    level.swap(parents);
    ++levels;
  }
  out.clear();
  PutU16(out, kBTreeMagic);
  PutU16(out, layout.flags);
  PutU16(out, layout.pageSize);
  char structure[16] = {};
  std::strncpy(structure, layout.structure, sizeof structure - 1);
  out.insert(out.end(), structure, structure + sizeof structure);
  PutU16(out, 0);                   // must be zero
  PutU16(out, 0);                   // page splits
  PutU16(out, level.front().page);  // root
  PutU16(out, 0xFFFF);              // must be -1
  PutU16(out, static_cast<uint16_t>(set.pages.size()));
  PutU16(out, levels);
  PutU32(out, static_cast<uint32_t>(entries.size()));
  for (const Bytes& page : set.pages) out.insert(out.end(), page.begin(), page.end());
  return true;
}

bool OpenBTree(const uint8_t* data, size_t size, BTreeView& view, std::string& error) {
  if (size < kBTreeHeaderSize || GetU16(data) != kBTreeMagic) {
    error = "B+ tree header missing";
    return false;
  }
  view.data = data;
  view.size = size;
  view.pageSize = GetU16(data + 4);
  view.structure.assign(reinterpret_cast<const char*>(data + 6), strnlen(reinterpret_cast<const char*>(data + 6), 16));
  view.rootPage = GetU16(data + 26);
  view.totalPages = GetU16(data + 30);
  view.levels = GetU16(data + 32);
  view.entries = GetU32(data + 34);
  if (view.pageSize < kLeafHeaderSize || view.levels == 0 || view.rootPage >= view.totalPages ||
      kBTreeHeaderSize + static_cast<size_t>(view.totalPages) * view.pageSize > size) {
    error = "B+ tree pages out of range";
    return false;
  }
  return true;
}

namespace {

const uint8_t* Page(const BTreeView& view, uint16_t page) {
  if (page >= view.totalPages) return nullptr;
  return view.data + kBTreeHeaderSize + static_cast<size_t>(page) * view.pageSize;
}

// The leftmost leaf under the root, following each index page's first child.
const uint8_t* FirstLeaf(const BTreeView& view) {
  uint16_t page = view.rootPage;
  for (uint16_t level = view.levels; level > 1; --level) {
    const uint8_t* p = Page(view, page);
    if (!p) return nullptr;
    page = GetU16(p + 4);
  }
  return Page(view, page);
}

}  // namespace

bool WalkBTree(const BTreeView& view, const KeySizeFn& keySize, const KeySizeFn& valueSize,
               const std::function<void(const uint8_t*, size_t)>& visit, std::string& error) {
  const uint8_t* page = FirstLeaf(view);
  uint32_t seen = 0;
  for (uint16_t visited = 0; page; ++visited) {
    if (visited >= view.totalPages) {
      error = "B+ tree leaves form a loop";
      return false;
    }
    const uint16_t count = GetU16(page + 2);
    size_t at = kLeafHeaderSize;
    for (uint16_t i = 0; i < count; ++i) {
      const size_t k = keySize(page + at, view.pageSize - at);
      const size_t v = k ? valueSize(page + at + k, view.pageSize - at - k) : 0;
      if (!k || !v) {
        error = "B+ tree entry runs off its page";
        return false;
      }
      visit(page + at, k + v);
      at += k + v;
      ++seen;
    }
    const uint16_t next = GetU16(page + 6);
    page = next == 0xFFFF ? nullptr : Page(view, next);
    if (next != 0xFFFF && !page) {
      error = "B+ tree leaf chain points outside the tree";
      return false;
    }
  }
  if (seen != view.entries) {
    error = "B+ tree holds " + std::to_string(seen) + " entries, header says " + std::to_string(view.entries);
    return false;
  }
  return true;
}

const uint8_t* FindInBTree(const BTreeView& view, const KeySizeFn& keySize, const KeySizeFn& valueSize,
                           const KeyCompareFn& compare) {
  uint16_t pageNo = view.rootPage;
  for (uint16_t level = view.levels; level > 1; --level) {
    const uint8_t* p = Page(view, pageNo);
    if (!p) return nullptr;
    uint16_t child = GetU16(p + 4);
    size_t at = kIndexHeaderSize;
    for (uint16_t i = 0, n = GetU16(p + 2); i < n; ++i) {
      const size_t k = keySize(p + at, view.pageSize - at);
      if (!k || at + k + 2 > view.pageSize) return nullptr;
      if (compare(p + at) > 0) break;
      child = GetU16(p + at + k);
      at += k + 2;
    }
    pageNo = child;
  }
  const uint8_t* leaf = Page(view, pageNo);
  if (!leaf) return nullptr;
  size_t at = kLeafHeaderSize;
  for (uint16_t i = 0, n = GetU16(leaf + 2); i < n; ++i) {
    const size_t k = keySize(leaf + at, view.pageSize - at);
    const size_t v = k ? valueSize(leaf + at + k, view.pageSize - at - k) : 0;
    if (!k || !v) return nullptr;
    const int c = compare(leaf + at);
    if (c == 0) return leaf + at;
    if (c > 0) return nullptr;
    at += k + v;
  }
  return nullptr;
}

}  // namespace hlp
