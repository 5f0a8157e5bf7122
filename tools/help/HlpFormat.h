// The WinHelp 3.1 file's building blocks that the writer and the reader share: magic
// numbers, fixed record sizes, the context hash and the little-endian and "compressed"
// integer encodings.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace hlp {

using Bytes = std::vector<uint8_t>;

constexpr uint32_t kFileMagic = 0x00035F3F;
constexpr size_t kFileHeaderSize = 16;      // magic, directory start, first free block, file size
constexpr size_t kInternalHeaderSize = 9;   // reserved space, used space, flags
constexpr uint16_t kBTreeMagic = 0x293B;
constexpr size_t kBTreeHeaderSize = 38;
constexpr size_t kLeafHeaderSize = 8;       // unused, entries, previous page, next page
constexpr size_t kIndexHeaderSize = 6;      // unused, entries, first child
constexpr uint16_t kSystemMagic = 0x036C;
constexpr uint16_t kVersionMinor31 = 21;    // WinHelp 3.1
constexpr size_t kSystemHeaderSize = 12;
constexpr uint16_t kSysTitle = 1;
constexpr uint16_t kSysCopyright = 2;
constexpr uint16_t kSysContents = 3;
constexpr uint16_t kSysWindow = 6;
// A window definition: flags, type[10], name[9], caption[51], position, size, state, colours.
constexpr size_t kSysWindowSize = 90;
constexpr size_t kWindowNameAt = 12;
constexpr size_t kWindowCaptionAt = 21;
constexpr uint16_t kWindowHasName = 0x0002;
constexpr uint16_t kWindowHasCaption = 0x0004;

// |TOPIC of an uncompressed 3.1 file: 4 KB blocks, each with a 12-byte header.
constexpr size_t kTopicBlockSize = 0x1000;
constexpr size_t kTopicBlockHeader = 12;
constexpr size_t kTopicBlockData = kTopicBlockSize - kTopicBlockHeader;
constexpr size_t kLinkHeaderSize = 21;
constexpr uint8_t kRecTopicHeader = 0x02;
constexpr uint8_t kRecDisplay = 0x20;
constexpr size_t kTopicHeaderSize = 28;
constexpr uint32_t kNone = 0xFFFFFFFF;

// Commands of a paragraph's format stream.
constexpr uint8_t kCmdFont = 0x80;
constexpr uint8_t kCmdLineBreak = 0x81;
constexpr uint8_t kCmdParEnd = 0x82;
constexpr uint8_t kCmdTab = 0x83;
constexpr uint8_t kCmdHotEnd = 0x89;
constexpr uint8_t kCmdJump = 0xE3;
constexpr uint8_t kCmdEnd = 0xFF;

// Paragraph format bits.
constexpr uint16_t kParSpaceAbove = 0x0002;
constexpr uint16_t kParSpaceBelow = 0x0004;
constexpr uint16_t kParLeftIndent = 0x0010;
constexpr uint16_t kParFirstIndent = 0x0040;
constexpr uint16_t kParTabs = 0x0200;

constexpr size_t kFaceNameSize = 20;
constexpr size_t kFontDescriptorSize = 11;

// The viewer's own limits: a topic title fits its 128-byte buffers, the file's title the
// 51-byte window caption.
constexpr size_t kMaxTopicTitle = 127;
constexpr size_t kMaxFileTitle = 50;
constexpr size_t kMaxContextId = 255;
constexpr size_t kMaxKeyword = 255;

// The hash of a topic id, as the viewer looks up |CONTEXT: letters (either case), digits,
// '.' and '_' count; the id's characters are limited to those.
int32_t ContextHash(const std::string& id);
bool IsContextIdChar(char c);

// TOPICPOS of a byte in the topic stream (the blocks' data laid end to end).
uint32_t TopicPos(size_t streamOffset);
bool StreamOffsetOf(uint32_t topicPos, size_t& streamOffset);

void PutU8(Bytes& b, uint8_t v);
void PutU16(Bytes& b, uint16_t v);
void PutU32(Bytes& b, uint32_t v);
void PutString(Bytes& b, const std::string& s);  // with its zero
void SetU32(Bytes& b, size_t at, uint32_t v);
uint16_t GetU16(const uint8_t* p);
uint32_t GetU32(const uint8_t* p);

// Compressed integers: the low bit of the first byte says whether the short or long form follows.
void PutCompressedUShort(Bytes& b, uint16_t v);   // 0..32767
void PutCompressedShort(Bytes& b, int16_t v);     // -16384..16383
void PutCompressedLong(Bytes& b, int32_t v);      // -0x40000000..0x3FFFFFFF

}  // namespace hlp
