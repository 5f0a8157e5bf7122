#include "tools/help/HlpWriter.h"

#include <algorithm>
#include <map>

#include "tools/help/BTree.h"
#include "tools/help/HlpReader.h"

namespace hlp {

namespace {

struct FontDef {
  uint8_t attributes;  // bit 0 bold
  uint8_t halfPoints;
  uint8_t r, g, b;
};

// Body, title, sub-heading; the paragraph styles pick them by index.
const FontDef kFonts[] = {{0, 20, 0, 0, 0}, {1, 28, 0, 0, 128}, {1, 22, 0, 0, 0}};
const char* const kFaceName = "Arial";
constexpr uint8_t kFamilySwiss = 3;

struct Record {
  uint8_t type;
  Bytes ld1, ld2;
  size_t topic;
  size_t start = 0;  // in the topic stream
  uint32_t textLength = 0;
};

// What a paragraph's style asks of its format: font, spacing, indents and tab stop.
void PutParagraphFormat(Bytes& f, ParaStyle style, uint16_t& font) {
  uint16_t bits = kParSpaceBelow;
  int16_t above = 0, below = 8;
  font = 0;
  if (style == ParaStyle::Title) {
    font = 1;
    below = 12;
  } else if (style == ParaStyle::Head) {
    font = 2;
    bits |= kParSpaceAbove;
    above = 12;
    below = 4;
  } else if (style == ParaStyle::Bullet) {
    bits |= kParLeftIndent | kParFirstIndent | kParTabs;
    below = 4;
  }
  PutU8(f, 0);
  PutU8(f, 0x80);
  PutU16(f, 0);  // paragraph id
  PutU16(f, bits);
  if (bits & kParSpaceAbove) PutCompressedShort(f, above);
  PutCompressedShort(f, below);
  if (bits & kParLeftIndent) PutCompressedShort(f, 36);
  if (bits & kParFirstIndent) PutCompressedShort(f, -18);
  if (bits & kParTabs) {
    PutCompressedShort(f, 1);
    PutCompressedUShort(f, 36);
  }
}

Record DisplayRecord(const Paragraph& p, size_t topic) {
  Bytes format, text;
  uint16_t font = 0;
  PutParagraphFormat(format, p.style, font);
  // The text is a list of strings, each followed by one command.
  auto command = [&](const std::string& s, const Bytes& cmd) {
    PutString(text, s);
    format.insert(format.end(), cmd.begin(), cmd.end());
  };
  command("", {kCmdFont, static_cast<uint8_t>(font), static_cast<uint8_t>(font >> 8)});
  if (p.style == ParaStyle::Bullet) command("\x95", {kCmdTab});
  std::string pending;
  for (const Run& run : p.runs) {
    if (run.link.empty()) {
      pending += run.text;
      continue;
    }
    Bytes jump{kCmdJump};
    PutU32(jump, static_cast<uint32_t>(ContextHash(run.link)));
    command(pending, jump);
    command(run.text, {kCmdHotEnd});
    pending.clear();
  }
  command(pending, {kCmdParEnd});
  command("", {kCmdEnd});
  Record r{kRecDisplay, {}, text, topic};
  PutCompressedLong(r.ld1, static_cast<int32_t>(text.size()));
  PutCompressedUShort(r.ld1, static_cast<uint16_t>(text.size()));
  r.ld1.insert(r.ld1.end(), format.begin(), format.end());
  r.textLength = static_cast<uint32_t>(text.size());
  return r;
}

size_t RecordSize(const Record& r) { return kLinkHeaderSize + r.ld1.size() + r.ld2.size(); }

struct TopicStream {
  std::vector<Record> records;
  std::vector<size_t> headers;         // record index of each topic's header
  std::vector<uint32_t> topicOffsets;  // TOPICOFFSET of each topic
  Bytes data;
};

void LayOut(const Book& book, TopicStream& ts) {
  for (size_t t = 0; t < book.topics.size(); ++t) {
    ts.headers.push_back(ts.records.size());
    Record h{kRecTopicHeader, Bytes(kTopicHeaderSize, 0), {}, t};
    PutString(h.ld2, book.topics[t].title);
    ts.records.push_back(h);
    for (const Paragraph& p : book.topics[t].paragraphs) ts.records.push_back(DisplayRecord(p, t));
  }
  size_t at = 0;
  size_t block = SIZE_MAX;
  uint32_t count = 0;  // characters since the first record that starts in this block
  for (Record& r : ts.records) {
    r.start = at;
    if (at / kTopicBlockData != block) {
      block = at / kTopicBlockData;
      count = 0;
    }
    if (r.type == kRecTopicHeader) ts.topicOffsets.push_back(static_cast<uint32_t>(block * 0x8000 + count));
    count += r.textLength;
    at += RecordSize(r);
  }
}

void FillTopicHeader(const Book& book, TopicStream& ts, size_t t) {
  Record& h = ts.records[ts.headers[t]];
  const size_t first = ts.headers[t];
  const size_t end = t + 1 < book.topics.size() ? ts.headers[t + 1] : ts.records.size();
  uint32_t size = 0;
  for (size_t i = first; i < end; ++i) size += static_cast<uint32_t>(RecordSize(ts.records[i]));
  SetU32(h.ld1, 0, size);
  SetU32(h.ld1, 4, t > 0 ? ts.topicOffsets[t - 1] : kNone);
  SetU32(h.ld1, 8, t + 1 < book.topics.size() ? ts.topicOffsets[t + 1] : kNone);
  SetU32(h.ld1, 12, static_cast<uint32_t>(t));
  SetU32(h.ld1, 16, kNone);  // no non-scrolling region
  SetU32(h.ld1, 20, first + 1 < end ? TopicPos(ts.records[first + 1].start) : kNone);
  SetU32(h.ld1, 24, t + 1 < book.topics.size() ? TopicPos(ts.records[end].start) : kNone);
}

void Serialise(TopicStream& ts) {
  for (size_t i = 0; i < ts.records.size(); ++i) {
    const Record& r = ts.records[i];
    PutU32(ts.data, static_cast<uint32_t>(RecordSize(r)));
    PutU32(ts.data, static_cast<uint32_t>(r.ld2.size()));
    PutU32(ts.data, i > 0 ? TopicPos(ts.records[i - 1].start) : kNone);
    PutU32(ts.data, i + 1 < ts.records.size() ? TopicPos(ts.records[i + 1].start) : kNone);
    PutU32(ts.data, static_cast<uint32_t>(kLinkHeaderSize + r.ld1.size()));
    PutU8(ts.data, r.type);
    ts.data.insert(ts.data.end(), r.ld1.begin(), r.ld1.end());
    ts.data.insert(ts.data.end(), r.ld2.begin(), r.ld2.end());
  }
}

// The stream cut into blocks, each headed by the links around its start; the last block is
// padded so that a reader may copy whole blocks.
Bytes TopicFile(const TopicStream& ts) {
  const size_t blocks = ts.data.empty() ? 1 : (ts.data.size() + kTopicBlockData - 1) / kTopicBlockData;
  Bytes out;
  for (size_t b = 0; b < blocks; ++b) {
    const size_t from = b * kTopicBlockData;
    uint32_t lastLink = kNone, firstLink = kNone, lastHeader = kNone;
    for (const Record& r : ts.records) {
      if (r.start < from) {
        lastLink = TopicPos(r.start);
        if (r.type == kRecTopicHeader) lastHeader = TopicPos(r.start);
      } else if (firstLink == kNone && r.start < from + kTopicBlockData) {
        firstLink = TopicPos(r.start);
      }
    }
    PutU32(out, lastLink);
    PutU32(out, firstLink);
    PutU32(out, lastHeader);
    const size_t to = std::min(ts.data.size(), from + kTopicBlockData);
    if (from < to) out.insert(out.end(), ts.data.begin() + static_cast<long>(from), ts.data.begin() + static_cast<long>(to));
    out.resize((b + 1) * kTopicBlockSize, 0);
  }
  return out;
}

Bytes SystemFile(const Book& book, uint32_t contentsOffset) {
  Bytes s;
  PutU16(s, kSystemMagic);
  PutU16(s, kVersionMinor31);
  PutU16(s, 1);   // major
  PutU32(s, 0);   // date of making: left at zero so that builds repeat byte for byte
  PutU16(s, 0);   // flags: uncompressed, 4 KB topic blocks
  PutU16(s, kSysTitle);
  PutU16(s, static_cast<uint16_t>(book.title.size() + 1));
  PutString(s, book.title);
  PutU16(s, kSysContents);
  PutU16(s, 4);
  PutU32(s, contentsOffset);
  // The main window, so that the viewer's caption is the file's title however it was started.
  Bytes window(kSysWindowSize, 0);
  window[0] = static_cast<uint8_t>(kWindowHasName | kWindowHasCaption);
  std::copy_n("main", 4, window.begin() + kWindowNameAt);
  std::copy(book.title.begin(), book.title.end(), window.begin() + kWindowCaptionAt);
  PutU16(s, kSysWindow);
  PutU16(s, static_cast<uint16_t>(window.size()));
  s.insert(s.end(), window.begin(), window.end());
  return s;
}

Bytes FontFile() {
  Bytes f;
  const size_t count = sizeof kFonts / sizeof kFonts[0];
  PutU16(f, 1);
  PutU16(f, static_cast<uint16_t>(count));
  PutU16(f, 8);
  PutU16(f, static_cast<uint16_t>(8 + kFaceNameSize));
  Bytes face(kFaceNameSize, 0);
  std::copy(kFaceName, kFaceName + std::char_traits<char>::length(kFaceName), face.begin());
  f.insert(f.end(), face.begin(), face.end());
  for (const FontDef& d : kFonts) {
    const uint8_t entry[kFontDescriptorSize] = {d.attributes, d.halfPoints, kFamilySwiss, 0, 0,
                                                d.r, d.g, d.b, 255, 255, 255};
    f.insert(f.end(), entry, entry + sizeof entry);
  }
  return f;
}

bool IndexFiles(const Book& book, const TopicStream& ts, std::map<std::string, Bytes>& files, std::string& error) {
  std::vector<std::pair<int32_t, uint32_t>> hashes;
  std::vector<std::pair<uint32_t, uint32_t>> maps;
  std::vector<BTreeEntry> titles;
  for (size_t t = 0; t < book.topics.size(); ++t) {
    hashes.push_back({ContextHash(book.topics[t].id), ts.topicOffsets[t]});
    for (uint32_t m : book.topics[t].maps) maps.push_back({m, ts.topicOffsets[t]});
    BTreeEntry e;
    PutU32(e.key, ts.topicOffsets[t]);
    PutString(e.value, book.topics[t].title);
    titles.push_back(e);
  }
  std::sort(hashes.begin(), hashes.end());  // signed, as the viewer compares them
  std::sort(maps.begin(), maps.end());
  std::vector<BTreeEntry> context;
  for (const auto& h : hashes) {
    BTreeEntry e;
    PutU32(e.key, static_cast<uint32_t>(h.first));
    PutU32(e.value, h.second);
    context.push_back(e);
  }
  Bytes& ctxomap = files["|CTXOMAP"];
  PutU16(ctxomap, static_cast<uint16_t>(maps.size()));
  for (const auto& m : maps) {
    PutU32(ctxomap, m.first);
    PutU32(ctxomap, m.second);
  }
  if (maps.size() > 0xFFFF || !BuildBTree(context, {2048, 0x0002, "L4"}, files["|CONTEXT"]) ||
      !BuildBTree(titles, {2048, 0x0002, "Lz"}, files["|TTLBTREE"])) {
    error = "the context or title index does not fit its pages";
    return false;
  }
  return true;
}

bool CaseLess(const std::string& a, const std::string& b) {
  auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; };
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                      [&](char x, char y) { return lower(static_cast<unsigned char>(x)) < lower(static_cast<unsigned char>(y)); });
}

// The viewer's index: each keyword, in the order the viewer lists them, with the topics it
// leads to in |KWDATA. A book without keywords has no index.
bool KeywordFiles(const Book& book, const TopicStream& ts, std::map<std::string, Bytes>& files) {
  std::map<std::string, std::vector<uint32_t>> byWord;
  for (size_t t = 0; t < book.topics.size(); ++t)
    for (const std::string& k : book.topics[t].keywords) byWord[k].push_back(ts.topicOffsets[t]);
  if (byWord.empty()) return true;
  std::vector<std::pair<std::string, std::vector<uint32_t>>> words(byWord.begin(), byWord.end());
  std::stable_sort(words.begin(), words.end(), [](const auto& a, const auto& b) { return CaseLess(a.first, b.first); });
  Bytes& data = files["|KWDATA"];
  std::vector<BTreeEntry> entries;
  for (const auto& w : words) {
    BTreeEntry e;
    PutString(e.key, w.first);
    PutU16(e.value, static_cast<uint16_t>(w.second.size()));
    PutU32(e.value, static_cast<uint32_t>(data.size()));
    for (uint32_t offset : w.second) PutU32(data, offset);
    entries.push_back(e);
  }
  return BuildBTree(entries, {2048, 0x0002, "z24"}, files["|KWBTREE"]);
}

void PutInternalFile(Bytes& out, const Bytes& data) {
  PutU32(out, static_cast<uint32_t>(data.size() + kInternalHeaderSize));  // reserved space
  PutU32(out, static_cast<uint32_t>(data.size()));                        // used space
  PutU8(out, 4);                                                          // an ordinary file
  out.insert(out.end(), data.begin(), data.end());
}

}  // namespace

bool WriteHelpFile(const Book& book, Bytes& out, std::string& error) {
  if (book.topics.empty()) {
    error = "no topics";
    return false;
  }
  TopicStream ts;
  LayOut(book, ts);
  for (size_t t = 0; t < book.topics.size(); ++t) FillTopicHeader(book, ts, t);
  Serialise(ts);
  uint32_t contents = ts.topicOffsets[0];
  for (size_t t = 0; t < book.topics.size(); ++t)
    if (book.topics[t].id == book.contents) contents = ts.topicOffsets[t];

  std::map<std::string, Bytes> files;  // in the directory's order
  files["|SYSTEM"] = SystemFile(book, contents);
  files["|TOPIC"] = TopicFile(ts);
  files["|FONT"] = FontFile();
  if (!IndexFiles(book, ts, files, error)) return false;
  if (!KeywordFiles(book, ts, files)) {
    error = "the keyword index does not fit its pages";
    return false;
  }

  out.assign(kFileHeaderSize, 0);
  std::vector<BTreeEntry> directory;
  for (const auto& f : files) {
    BTreeEntry e;
    PutString(e.key, f.first);
    PutU32(e.value, static_cast<uint32_t>(out.size()));
    directory.push_back(e);
    PutInternalFile(out, f.second);
  }
  Bytes tree;
  if (!BuildBTree(directory, {1024, 0x0402, "z4"}, tree)) {
    error = "the directory does not fit its pages";
    return false;
  }
  const uint32_t directoryStart = static_cast<uint32_t>(out.size());
  PutInternalFile(out, tree);
  SetU32(out, 0, kFileMagic);
  SetU32(out, 4, directoryStart);
  SetU32(out, 8, kNone);  // no free blocks
  SetU32(out, 12, static_cast<uint32_t>(out.size()));
  return true;
}

namespace {

// What the reader found against the book; the first difference, or empty.
std::string Difference(const Book& book, const Bytes& file, const HelpImage& image) {
  if (image.title != book.title || image.mainCaption != book.title) return "the file's title reads back differently";
  if (image.topics.size() != book.topics.size()) return "the topic count reads back differently";
  for (size_t t = 0; t < book.topics.size(); ++t) {
    const Topic& src = book.topics[t];
    const ReadTopic& got = image.topics[t];
    if (got.title != src.title) return "topic '" + src.id + "': title reads back differently";
    if (got.paragraphs.size() != src.paragraphs.size()) return "topic '" + src.id + "': paragraphs read back differently";
    for (size_t p = 0; p < src.paragraphs.size(); ++p)
      if (got.paragraphs[p] != ParagraphText(src.paragraphs[p])) return "topic '" + src.id + "': text reads back differently";
    std::string error;
    uint32_t offset = 0;
    if (!FindContext(file, ContextHash(src.id), offset, error) || TopicAt(image, offset) != &got)
      return "topic '" + src.id + "': its id does not lead to it";
    for (uint32_t m : src.maps) {
      bool found = false;
      for (const auto& e : image.ctxomap) found = found || (e.first == m && TopicAt(image, e.second) == &got);
      if (!found) return "context number " + std::to_string(m) + " does not lead to '" + src.id + "'";
    }
    for (const std::string& k : src.keywords) {
      bool found = false;
      for (const auto& e : image.keywords)
        for (uint32_t offset : e.second) found = found || (e.first == k && TopicAt(image, offset) == &got);
      if (!found) return "keyword '" + k + "' does not lead to '" + src.id + "'";
    }
    for (const ReadLink& link : got.links)
      if (!FindContext(file, link.hash, offset, error) || !TopicAt(image, offset)) return "a link of '" + src.id + "' leads nowhere";
  }
  const ReadTopic* contents = TopicAt(image, image.contents);
  if (!contents || contents->title.empty()) return "the contents topic does not read back";
  return {};
}

}  // namespace

std::vector<Diagnostic> CompileHelp(const std::string& source, Bytes& out) {
  Book book;
  std::vector<Diagnostic> diags = ParseHelpSource(source, book);
  if (!diags.empty()) return diags;
  std::string error;
  HelpImage image;
  if (!WriteHelpFile(book, out, error) || !ReadHelpFile(out, image, error)) return {{1, "cannot write the file: " + error}};
  error = Difference(book, out, image);
  if (!error.empty()) return {{1, "the written file does not read back: " + error}};
  return {};
}

}  // namespace hlp
