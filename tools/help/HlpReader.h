// Reads an uncompressed WinHelp 3.1 file back, written from the format's description and
// not from our writer: the directory, |SYSTEM, |TOPIC, |CONTEXT, |CTXOMAP, |FONT and
// |TTLBTREE. The compiler checks its own output with it; the tests compare with the source.
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "tools/help/HlpFormat.h"

namespace hlp {

struct ReadLink {
  int32_t hash;
  std::string text;
};

struct ReadTopic {
  uint32_t offset = 0;  // TOPICOFFSET, what the indexes point at
  uint32_t number = 0;
  std::string title;
  std::vector<std::string> paragraphs;  // as displayed, the title's paragraph first
  std::vector<ReadLink> links;
};

struct ReadFont {
  std::string face;
  uint8_t halfPoints;
  bool bold;
};

struct HelpImage {
  uint16_t versionMinor = 0;
  std::string title;
  std::string mainCaption;  // of the window definition "main", if any
  uint32_t contents = kNone;
  std::vector<std::string> files;  // directory order
  std::vector<ReadTopic> topics;
  std::vector<std::pair<int32_t, uint32_t>> context;  // hash, topic offset
  std::vector<std::pair<uint32_t, uint32_t>> ctxomap;  // context number, topic offset
  std::vector<std::pair<uint32_t, std::string>> titles;
  std::vector<std::pair<std::string, std::vector<uint32_t>>> keywords;  // index order, topic offsets
  std::vector<ReadFont> fonts;
};

bool ReadHelpFile(const Bytes& file, HelpImage& image, std::string& error);

// |CONTEXT searched through its index pages, as the viewer follows a link.
bool FindContext(const Bytes& file, int32_t hash, uint32_t& offset, std::string& error);

// The topic that starts at the offset exactly, or nullptr.
const ReadTopic* TopicAt(const HelpImage& image, uint32_t offset);

}  // namespace hlp
