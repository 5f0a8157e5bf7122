#include <gtest/gtest.h>

#include <string>

#include "tools/help/HlpReader.h"
#include "tools/help/HlpWriter.h"

namespace hlp {
namespace {

const char* const kSource = R"(# a small book
.file Test Help
.contents home

.topic home
.title Contents
.map 100
.keys contents; Start
Start here. See {cfg|the Config page}
and {midi|the MIDI page}.

- First point.
- Second point, with {cfg|a link}.

.topic cfg
.title The Config Page
.map 3002
.keys Output; headphones; Start
.head Output
Headphones or speakers.

.topic midi
.title The MIDI Page
.map 3004
.map 0x20065
Back to the {home|contents}.
)";

Bytes Compile(const std::string& source) {
  Bytes out;
  const std::vector<Diagnostic> diags = CompileHelp(source, out);
  EXPECT_EQ(FormatDiagnostics("t.hps", diags), "");
  return out;
}

const ReadTopic* ByMap(const HelpImage& image, uint32_t number) {
  for (const auto& e : image.ctxomap)
    if (e.first == number) return TopicAt(image, e.second);
  return nullptr;
}

const ReadTopic* ById(const Bytes& file, const HelpImage& image, const std::string& id) {
  uint32_t offset = 0;
  std::string error;
  return FindContext(file, ContextHash(id), offset, error) ? TopicAt(image, offset) : nullptr;
}

TEST(HelpCompiler, EveryTopicContextAndLinkReadsBack) {
  const Bytes file = Compile(kSource);
  HelpImage image;
  std::string error;
  ASSERT_TRUE(ReadHelpFile(file, image, error)) << error;

  EXPECT_EQ(image.versionMinor, 21);
  EXPECT_EQ(image.title, "Test Help");
  EXPECT_EQ(image.mainCaption, "Test Help");
  EXPECT_EQ(image.files, (std::vector<std::string>{"|CONTEXT", "|CTXOMAP", "|FONT", "|KWBTREE", "|KWDATA", "|SYSTEM",
                                                   "|TOPIC", "|TTLBTREE"}));
  ASSERT_EQ(image.topics.size(), 3u);
  EXPECT_EQ(image.topics[0].paragraphs,
            (std::vector<std::string>{"Contents", "Start here. See the Config page and the MIDI page.",
                                      "\x95\tFirst point.", "\x95\tSecond point, with a link."}));
  EXPECT_EQ(image.topics[1].paragraphs, (std::vector<std::string>{"The Config Page", "Output", "Headphones or speakers."}));
  EXPECT_EQ(image.topics[2].paragraphs, (std::vector<std::string>{"The MIDI Page", "Back to the contents."}));

  // Context numbers, ids (through the index pages) and the contents.
  EXPECT_EQ(ByMap(image, 100), &image.topics[0]);
  EXPECT_EQ(ByMap(image, 3002), &image.topics[1]);
  EXPECT_EQ(ByMap(image, 3004), &image.topics[2]);
  EXPECT_EQ(ByMap(image, 0x20065), &image.topics[2]);
  EXPECT_EQ(image.ctxomap.size(), 4u);
  EXPECT_EQ(ById(file, image, "home"), &image.topics[0]);
  EXPECT_EQ(ById(file, image, "CFG"), &image.topics[1]);  // the viewer's hash ignores case
  EXPECT_EQ(ById(file, image, "midi"), &image.topics[2]);
  EXPECT_EQ(ById(file, image, "nothere"), nullptr);
  EXPECT_EQ(TopicAt(image, image.contents), &image.topics[0]);

  // Links carry their target's hash and their text.
  ASSERT_EQ(image.topics[0].links.size(), 3u);
  EXPECT_EQ(image.topics[0].links[0].hash, ContextHash("cfg"));
  EXPECT_EQ(image.topics[0].links[0].text, "the Config page");
  EXPECT_EQ(image.topics[0].links[1].hash, ContextHash("midi"));
  EXPECT_EQ(image.topics[2].links[0].hash, ContextHash("home"));

  // The index lists keywords as the viewer does, whatever their case; one may lead to several topics.
  ASSERT_EQ(image.keywords.size(), 4u);
  EXPECT_EQ(image.keywords[0].first, "contents");
  EXPECT_EQ(image.keywords[1].first, "headphones");
  EXPECT_EQ(image.keywords[2].first, "Output");
  EXPECT_EQ(image.keywords[3].first, "Start");
  EXPECT_EQ(image.keywords[2].second, std::vector<uint32_t>{image.topics[1].offset});
  EXPECT_EQ(image.keywords[3].second, (std::vector<uint32_t>{image.topics[0].offset, image.topics[1].offset}));

  ASSERT_EQ(image.titles.size(), 3u);
  EXPECT_EQ(image.titles[1], std::make_pair(image.topics[1].offset, std::string("The Config Page")));
  ASSERT_EQ(image.fonts.size(), 3u);
  EXPECT_EQ(image.fonts[0].face, "Arial");
  EXPECT_TRUE(image.fonts[1].bold);
}

// Enough topics for several topic blocks and index pages in every tree.
TEST(HelpCompiler, LargeBookSpansBlocksAndIndexPages) {
  std::string source = ".file Large\n";
  const int n = 600;
  for (int i = 0; i < n; ++i) {
    const std::string id = "t" + std::to_string(i);
    source += ".topic " + id + "\n.title Topic number " + std::to_string(i) + std::string(90, 'x') + "\n";
    source += ".map " + std::to_string(5000 + i) + "\n";
    source += "Text of " + id + " links to {t" + std::to_string((i + 1) % n) + "|the next one}.\n";
  }
  const Bytes file = Compile(source);
  HelpImage image;
  std::string error;
  ASSERT_TRUE(ReadHelpFile(file, image, error)) << error;
  ASSERT_EQ(image.topics.size(), static_cast<size_t>(n));
  EXPECT_GT(image.topics.back().offset, 0x8000u * 20);  // well past the first blocks
  EXPECT_EQ(image.titles.size(), static_cast<size_t>(n));
  for (int i = 0; i < n; i += 37) {
    const std::string id = "t" + std::to_string(i);
    EXPECT_EQ(ById(file, image, id), &image.topics[static_cast<size_t>(i)]) << id;
    EXPECT_EQ(ByMap(image, 5000u + static_cast<uint32_t>(i)), &image.topics[static_cast<size_t>(i)]) << id;
    EXPECT_EQ(image.topics[static_cast<size_t>(i)].paragraphs[1], "Text of " + id + " links to the next one.");
  }
}

TEST(HelpCompiler, HashAndTopicPositions) {
  EXPECT_EQ(ContextHash("a"), 17);
  EXPECT_EQ(ContextHash("ab"), 17 * 43 + 18);
  EXPECT_EQ(ContextHash("AB"), ContextHash("ab"));
  EXPECT_EQ(ContextHash("10._"), ((1 * 43 + 10) * 43 + 12) * 43 + 13);
  EXPECT_EQ(TopicPos(0), 12u);
  EXPECT_EQ(TopicPos(kTopicBlockData), 0x4000u + 12);
  size_t back = 0;
  ASSERT_TRUE(StreamOffsetOf(TopicPos(kTopicBlockData * 3 + 5), back));
  EXPECT_EQ(back, kTopicBlockData * 3 + 5);
}

std::string Errors(const std::string& source) {
  Bytes out;
  const std::string text = FormatDiagnostics("bad.hps", CompileHelp(source, out));
  EXPECT_TRUE(text.empty() || out.empty()) << "a refused source must not produce a file";
  return text;
}

TEST(HelpCompiler, RefusesBadSourcesWithFileLineAndReason) {
  const std::string head = ".file T\n.topic a\n.title A\n";
  EXPECT_EQ(Errors(head + "See {nope|there}.\n"), "bad.hps:4: link to unknown topic 'nope'\n");
  EXPECT_EQ(Errors(head + ".map 3002\n.topic b\n.title B\n.map 3002\n"),
            "bad.hps:7: context number 3002 is already used at line 4\n");
  EXPECT_EQ(Errors(".file T\n.topic a\n.title " + std::string(128, 'x') + "\n"),
            "bad.hps:3: topic title is 128 characters; at most 127 fit\n");
  EXPECT_EQ(Errors(".file " + std::string(51, 'x') + "\n.topic a\n.title A\n"),
            "bad.hps:1: help file title is 51 characters; the viewer's caption holds 50\n");
  EXPECT_EQ(Errors(head + ".topic a\n.title B\n"), "bad.hps:4: topic id 'a' is already used at line 2\n");
  EXPECT_EQ(Errors(head + ".topic A\n.title B\n"), "bad.hps:4: topic id 'A' has the same hash as 'a' (line 2)\n");
  EXPECT_EQ(Errors(".file T\nHello\n.topic a\n.title A\n"), "bad.hps:2: text before the first .topic\n");
  EXPECT_EQ(Errors(head + ".colour red\n"), "bad.hps:4: unknown directive '.colour'\n");
  EXPECT_EQ(Errors(head + "See {a|here.\n"), "bad.hps:4: link is not closed with '}'\n");
  EXPECT_EQ(Errors(head + "See {a}.\n"), "bad.hps:4: a link is written {topic|text}\n");
  EXPECT_EQ(Errors(head + ".map lots\n"), "bad.hps:4: context number 'lots' is not a number from 0 to 4294967295\n");
  EXPECT_EQ(Errors(head + ".keys one;; two\n"), "bad.hps:4: keywords are 1 to 255 characters, separated by ';'\n");
  EXPECT_EQ(Errors(".file T\n.topic a\nText\n"), "bad.hps:2: topic 'a' has no .title\n");
  EXPECT_EQ(Errors(".file T\n.contents zz\n.topic a\n.title A\n"), "bad.hps:2: contents topic 'zz' does not exist\n");
  EXPECT_EQ(Errors(".topic a-b\n.title A\n"),
            "bad.hps:1: topic id 'a-b' must be 1 to 255 letters, digits, '.' or '_'\nbad.hps:1: no .file title\n");
  EXPECT_EQ(Errors(""), "bad.hps:1: no .file title\nbad.hps:1: no topics\n");
}

// Damaged files end in a refusal, never a crash or a read outside the buffer (ASan watches).
TEST(HelpReader, RefusesDamagedFiles) {
  const Bytes good = Compile(kSource);
  HelpImage image;
  std::string error;
  for (size_t cut = 0; cut < good.size(); cut += 97) {
    Bytes part(good.begin(), good.begin() + static_cast<long>(cut));
    EXPECT_FALSE(ReadHelpFile(part, image, error)) << cut;
  }
  int refused = 0;
  for (size_t i = 0; i < good.size(); ++i) {
    Bytes bad = good;
    bad[i] ^= 0xA5;
    refused += ReadHelpFile(bad, image, error) ? 0 : 1;
  }
  EXPECT_GT(refused, 0);
}

}  // namespace
}  // namespace hlp

namespace hlp {
namespace {

// Every source, however mangled, gives either reasons or a file that reads back whole.
TEST(HelpCompiler, MangledSourcesGiveReasonsOrAGoodFile) {
  const std::string good = kSource;
  const char replacements[] = {'{', '}', '|', '\n', '.', ' ', '\t', '\x01', 'x'};
  int refused = 0, written = 0;
  for (size_t i = 0; i < good.size(); ++i) {
    for (char c : replacements) {
      std::string source = good;
      source[i] = c;
      Bytes out;
      const std::vector<Diagnostic> diags = CompileHelp(source, out);
      if (!diags.empty()) {
        ++refused;
        // Refused for what the source says, never because the writer failed its own check.
        for (const Diagnostic& d : diags) {
          EXPECT_GE(d.line, 1) << i;
          EXPECT_EQ(d.reason.find("read back"), std::string::npos) << i << ": " << d.reason;
          EXPECT_EQ(d.reason.find("cannot write"), std::string::npos) << i << ": " << d.reason;
        }
        continue;
      }
      ++written;
      HelpImage image;
      std::string error;
      EXPECT_TRUE(ReadHelpFile(out, image, error)) << i << ": " << error;
    }
  }
  EXPECT_GT(refused, 0);
  EXPECT_GT(written, 0);
}

}  // namespace
}  // namespace hlp
