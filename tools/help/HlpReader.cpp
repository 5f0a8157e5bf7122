#include "tools/help/HlpReader.h"

#include <algorithm>
#include <cstring>

#include "tools/help/BTree.h"

namespace hlp {

namespace {

struct Span {
  const uint8_t* data = nullptr;
  size_t size = 0;
};

size_t StringSize(const uint8_t* p, size_t left) {
  const void* nul = std::memchr(p, 0, left);
  return nul ? static_cast<size_t>(static_cast<const uint8_t*>(nul) - p) + 1 : 0;
}

KeySizeFn Fixed(size_t n) {
  return [n](const uint8_t*, size_t left) { return left >= n ? n : 0; };
}

bool DirectoryTree(const Bytes& file, BTreeView& view, std::string& error) {
  if (file.size() < kFileHeaderSize || GetU32(file.data()) != kFileMagic) {
    error = "not a help file (magic)";
    return false;
  }
  const uint32_t start = GetU32(file.data() + 4);
  if (GetU32(file.data() + 12) != file.size() || start > file.size() - kInternalHeaderSize) {
    error = "file size or directory start out of range";
    return false;
  }
  const uint32_t used = GetU32(file.data() + start + 4);
  if (used > file.size() - start - kInternalHeaderSize) {
    error = "directory runs past the end of the file";
    return false;
  }
  return OpenBTree(file.data() + start + kInternalHeaderSize, used, view, error);
}

bool InternalFile(const Bytes& file, const char* name, Span& span, std::string& error) {
  BTreeView dir;
  if (!DirectoryTree(file, dir, error)) return false;
  const uint8_t* entry = FindInBTree(dir, StringSize, Fixed(4), [name](const uint8_t* p) {
    return std::strcmp(reinterpret_cast<const char*>(p), name);
  });
  if (!entry) {
    error = std::string("no internal file ") + name;
    return false;
  }
  const uint32_t at = GetU32(entry + std::strlen(name) + 1);
  if (at > file.size() - kInternalHeaderSize) {
    error = std::string(name) + " starts past the end of the file";
    return false;
  }
  const uint32_t reserved = GetU32(file.data() + at);
  const uint32_t used = GetU32(file.data() + at + 4);
  if (reserved > file.size() - at || used + kInternalHeaderSize > reserved) {
    error = std::string(name) + " does not fit the file";
    return false;
  }
  span = {file.data() + at + kInternalHeaderSize, used};
  return true;
}

bool ReadSystem(const Bytes& file, HelpImage& image, std::string& error) {
  Span s;
  if (!InternalFile(file, "|SYSTEM", s, error)) return false;
  if (s.size < kSystemHeaderSize || GetU16(s.data) != kSystemMagic || GetU16(s.data + 4) != 1) {
    error = "|SYSTEM header is not a WinHelp 3.x header";
    return false;
  }
  image.versionMinor = GetU16(s.data + 2);
  if (image.versionMinor <= 16 || GetU16(s.data + 10) != 0) {
    error = "only uncompressed WinHelp 3.1 files are read";
    return false;
  }
  for (size_t at = kSystemHeaderSize; at + 4 <= s.size;) {
    const uint16_t type = GetU16(s.data + at);
    const uint16_t size = GetU16(s.data + at + 2);
    if (at + 4 + size > s.size) {
      error = "|SYSTEM record runs past its file";
      return false;
    }
    const uint8_t* d = s.data + at + 4;
    if (type == kSysTitle) {
      const size_t n = StringSize(d, size);
      if (n == 0) {
        error = "|SYSTEM title is not terminated";
        return false;
      }
      image.title.assign(reinterpret_cast<const char*>(d), n - 1);
    }
    if (type == kSysContents && size == 4) image.contents = GetU32(d);
    if (type == kSysWindow && size == kSysWindowSize && (GetU16(d) & kWindowHasName) && (GetU16(d) & kWindowHasCaption) &&
        std::strncmp(reinterpret_cast<const char*>(d + kWindowNameAt), "main", 9) == 0) {
      const char* caption = reinterpret_cast<const char*>(d + kWindowCaptionAt);
      image.mainCaption.assign(caption, strnlen(caption, kMaxFileTitle + 1));
    }
    at += 4 + size;
  }
  return true;
}

// Compressed integers, bounds-checked.
struct Cursor {
  const uint8_t* p;
  const uint8_t* end;
  bool ok = true;

  bool Need(size_t n) {
    if (static_cast<size_t>(end - p) < n) ok = false;
    return ok;
  }
  uint8_t U8() { return Need(1) ? *p++ : 0; }
  uint16_t U16() {
    if (!Need(2)) return 0;
    p += 2;
    return GetU16(p - 2);
  }
  uint32_t U32() {
    if (!Need(4)) return 0;
    p += 4;
    return GetU32(p - 4);
  }
  uint16_t CUShort() { return (Need(1) && (*p & 1)) ? U16() / 2 : U8() / 2; }
  int16_t CShort() {
    if (Need(1) && (*p & 1)) return static_cast<int16_t>((U16() - 0x8000) / 2);
    return static_cast<int16_t>((U8() - 0x80) / 2);
  }
  int32_t CLong() {
    if (Need(1) && (*p & 1)) return static_cast<int32_t>(U32() - 0x80000000u) / 2;
    return (U16() - 0x8000) / 2;
  }
};

// The fields a paragraph's format bits announce, skipped.
void SkipParagraphFormat(Cursor& c) {
  c.U32();  // unknown byte, biased byte, paragraph id
  const uint16_t bits = c.U16();
  if (bits & 0x0001) c.CLong();
  for (uint16_t bit = 0x0002; bit <= 0x0040; bit <<= 1)
    if (bits & bit) c.CShort();
  if (bits & 0x0100) {
    c.U8();
    c.U16();
  }
  if (bits & kParTabs) {
    for (int16_t i = 0, n = c.CShort(); i < n && c.ok; ++i)
      if (c.CUShort() & 0x4000) c.CUShort();
  }
}

bool ReadDisplay(const uint8_t* ld1, const uint8_t* ld1End, const uint8_t* text, const uint8_t* textEnd,
                 ReadTopic& topic, uint32_t& length, std::string& error) {
  Cursor c{ld1, ld1End};
  c.CLong();
  length = c.CUShort();
  SkipParagraphFormat(c);
  std::string para;
  bool open = false;
  while (c.ok) {
    const size_t n = StringSize(text, static_cast<size_t>(textEnd - text));
    if (n == 0) break;
    const std::string s(reinterpret_cast<const char*>(text), n - 1);
    text += n;
    para += s;
    if (open) topic.links.back().text += s;
    const uint8_t cmd = c.U8();
    if (cmd == kCmdEnd) return c.ok;
    if (cmd == kCmdFont) c.U16();
    else if (cmd == kCmdLineBreak) para += '\n';
    else if (cmd == kCmdTab) para += '\t';
    else if (cmd == kCmdHotEnd) open = false;
    else if (cmd == kCmdJump || cmd == 0xE2) {
      topic.links.push_back({static_cast<int32_t>(c.U32()), {}});
      open = true;
    } else if (cmd == kCmdParEnd) {
      topic.paragraphs.push_back(para);
      para.clear();
    } else {
      error = "unknown paragraph command " + std::to_string(cmd);
      return false;
    }
  }
  error = "paragraph's text or format ends early";
  return false;
}

}  // namespace

namespace {

// The topic blocks' data laid end to end, as TOPICPOS counts it.
bool TopicStreamOf(const Bytes& file, Bytes& stream, std::string& error) {
  Span t;
  if (!InternalFile(file, "|TOPIC", t, error)) return false;
  for (size_t at = 0; at < t.size; at += kTopicBlockSize) {
    if (at + kTopicBlockHeader > t.size) break;
    const size_t end = std::min(t.size, at + kTopicBlockSize);
    stream.insert(stream.end(), t.data + at + kTopicBlockHeader, t.data + end);
  }
  return true;
}

bool ReadTopics(const Bytes& file, HelpImage& image, std::string& error) {
  Bytes stream;
  if (!TopicStreamOf(file, stream, error)) return false;
  size_t at = 0;
  size_t block = SIZE_MAX;
  uint32_t count = 0;
  while (true) {
    if (at + kLinkHeaderSize > stream.size()) {
      error = "topic link outside |TOPIC";
      return false;
    }
    const uint8_t* link = stream.data() + at;
    const uint32_t size = GetU32(link), len2 = GetU32(link + 4), next = GetU32(link + 12);
    const uint32_t len1 = GetU32(link + 16);
    if (len1 < kLinkHeaderSize || len1 > size || size > stream.size() - at || len2 != size - len1) {
      error = "topic link sizes do not add up";
      return false;
    }
    if (at / kTopicBlockData != block) {
      block = at / kTopicBlockData;
      count = 0;
    }
    const uint8_t* ld1 = link + kLinkHeaderSize;
    const uint8_t* ld2 = link + len1;
    if (link[20] == kRecTopicHeader) {
      if (len1 - kLinkHeaderSize < kTopicHeaderSize || len2 == 0) {
        error = "topic header too short";
        return false;
      }
      ReadTopic topic;
      topic.offset = static_cast<uint32_t>(block * 0x8000 + count);
      topic.number = GetU32(ld1 + 12);
      topic.title.assign(reinterpret_cast<const char*>(ld2), strnlen(reinterpret_cast<const char*>(ld2), len2));
      image.topics.push_back(topic);
    } else if (link[20] == kRecDisplay) {
      uint32_t length = 0;
      if (image.topics.empty()) {
        error = "paragraph before the first topic header";
        return false;
      }
      if (!ReadDisplay(ld1, ld2, ld2, link + size, image.topics.back(), length, error)) return false;
      count += length;
    } else {
      error = "topic link of unknown type " + std::to_string(link[20]);
      return false;
    }
    if (next == kNone) return true;
    size_t nextAt = 0;
    if (!StreamOffsetOf(next, nextAt) || nextAt <= at) {
      error = "topic links do not run forward";
      return false;
    }
    at = nextAt;
  }
}

bool ReadIndexes(const Bytes& file, HelpImage& image, std::string& error) {
  Span s;
  BTreeView view;
  if (!InternalFile(file, "|CONTEXT", s, error) || !OpenBTree(s.data, s.size, view, error)) return false;
  if (!WalkBTree(view, Fixed(4), Fixed(4), [&image](const uint8_t* e, size_t) {
        image.context.push_back({static_cast<int32_t>(GetU32(e)), GetU32(e + 4)});
      }, error))
    return false;
  if (!InternalFile(file, "|TTLBTREE", s, error) || !OpenBTree(s.data, s.size, view, error)) return false;
  if (!WalkBTree(view, Fixed(4), StringSize, [&image](const uint8_t* e, size_t n) {
        image.titles.push_back({GetU32(e), std::string(reinterpret_cast<const char*>(e + 4), n - 5)});
      }, error))
    return false;
  if (!InternalFile(file, "|CTXOMAP", s, error)) return false;
  const uint16_t n = s.size >= 2 ? GetU16(s.data) : 0;
  if (s.size < 2 || 2 + static_cast<size_t>(n) * 8 > s.size) {
    error = "|CTXOMAP shorter than its count";
    return false;
  }
  for (uint16_t i = 0; i < n; ++i)
    image.ctxomap.push_back({GetU32(s.data + 2 + i * 8), GetU32(s.data + 6 + i * 8)});
  return true;
}

// The keyword index, when the file has one.
bool ReadKeywords(const Bytes& file, HelpImage& image, std::string& error) {
  Span tree, data;
  std::string absent;
  if (!InternalFile(file, "|KWBTREE", tree, absent)) return true;
  BTreeView view;
  if (!InternalFile(file, "|KWDATA", data, error) || !OpenBTree(tree.data, tree.size, view, error)) return false;
  bool inside = true;
  if (!WalkBTree(view, StringSize, Fixed(6), [&](const uint8_t* e, size_t n) {
        const size_t k = n - 6;
        const uint16_t count = GetU16(e + k);
        const uint32_t at = GetU32(e + k + 2);
        if (at > data.size || count > (data.size - at) / 4) {
          inside = false;
          return;
        }
        std::vector<uint32_t> offsets;
        for (uint16_t i = 0; i < count; ++i) offsets.push_back(GetU32(data.data + at + i * 4));
        image.keywords.push_back({std::string(reinterpret_cast<const char*>(e), k - 1), offsets});
      }, error))
    return false;
  if (!inside) error = "|KWBTREE points outside |KWDATA";
  return inside;
}

bool ReadFonts(const Bytes& file, HelpImage& image, std::string& error) {
  Span s;
  if (!InternalFile(file, "|FONT", s, error)) return false;
  if (s.size < 8) {
    error = "|FONT header too short";
    return false;
  }
  const uint16_t faces = GetU16(s.data), descs = GetU16(s.data + 2);
  const uint16_t faceAt = GetU16(s.data + 4), descAt = GetU16(s.data + 6);
  if (faces == 0 || faceAt >= 12 || descAt < faceAt || descAt + static_cast<size_t>(descs) * kFontDescriptorSize > s.size) {
    error = "|FONT is not an old-style font table";
    return false;
  }
  const size_t faceLen = (descAt - faceAt) / faces;
  for (uint16_t i = 0; i < descs; ++i) {
    const uint8_t* d = s.data + descAt + i * kFontDescriptorSize;
    const uint16_t face = GetU16(d + 3);
    if (face >= faces) {
      error = "font names a face that does not exist";
      return false;
    }
    const char* name = reinterpret_cast<const char*>(s.data + faceAt + face * faceLen);
    image.fonts.push_back({std::string(name, strnlen(name, faceLen)), d[1], (d[0] & 1) != 0});
  }
  return true;
}

}  // namespace

bool ReadHelpFile(const Bytes& file, HelpImage& image, std::string& error) {
  image = HelpImage();
  BTreeView dir;
  if (!DirectoryTree(file, dir, error)) return false;
  if (!WalkBTree(dir, StringSize, Fixed(4), [&image](const uint8_t* e, size_t) {
        image.files.push_back(reinterpret_cast<const char*>(e));
      }, error))
    return false;
  return ReadSystem(file, image, error) && ReadFonts(file, image, error) && ReadTopics(file, image, error) &&
         ReadIndexes(file, image, error) && ReadKeywords(file, image, error);
}

bool FindContext(const Bytes& file, int32_t hash, uint32_t& offset, std::string& error) {
  Span s;
  BTreeView view;
  if (!InternalFile(file, "|CONTEXT", s, error) || !OpenBTree(s.data, s.size, view, error)) return false;
  const uint8_t* e = FindInBTree(view, Fixed(4), Fixed(4), [hash](const uint8_t* p) {
    const int32_t key = static_cast<int32_t>(GetU32(p));
    return key < hash ? -1 : key > hash ? 1 : 0;
  });
  if (!e) {
    error = "hash " + std::to_string(hash) + " is not in |CONTEXT";
    return false;
  }
  offset = GetU32(e + 4);
  return true;
}

const ReadTopic* TopicAt(const HelpImage& image, uint32_t offset) {
  for (const ReadTopic& t : image.topics)
    if (t.offset == offset) return &t;
  return nullptr;
}

}  // namespace hlp
