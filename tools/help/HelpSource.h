// Our help source format, a small readable text that the help compiler turns into a
// WinHelp file:
//
//   # a comment
//   .file Resonix Trivox Help        the help file's title (the viewer's caption)
//   .contents contents               the topic the contents opens (else the first topic)
//   .topic config                    starts a topic; its id is what links name
//   .title The Config Page           the topic's title, shown as its heading
//   .map 3002                        a context number the programs ask for (repeatable)
//   .keys Output; Headphones         words of the viewer's index that lead to the topic
//   .head Output                     a sub-heading
//   Text lines make paragraphs; a blank line ends one. A line starting "- " starts a
//   bulleted paragraph. {midi|the MIDI page} is a link to the topic "midi".
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace hlp {

struct Run {
  std::string text;
  std::string link;  // target topic id, empty for plain text
};

enum class ParaStyle { Title, Head, Body, Bullet };

struct Paragraph {
  ParaStyle style = ParaStyle::Body;
  std::vector<Run> runs;
  int line = 0;
};

struct Topic {
  std::string id;
  std::string title;
  std::vector<uint32_t> maps;
  std::vector<std::string> keywords;
  std::vector<Paragraph> paragraphs;  // the title first
  int line = 0;
};

struct Book {
  std::string title;
  std::string contents;  // topic id
  std::vector<Topic> topics;
};

struct Diagnostic {
  int line = 0;
  std::string reason;
};

// "file:line: reason" lines, one per diagnostic.
std::string FormatDiagnostics(const std::string& fileName, const std::vector<Diagnostic>& diags);

// Parses and checks a source. Every fault found is reported; the book is usable only when
// the list stays empty.
std::vector<Diagnostic> ParseHelpSource(const std::string& text, Book& book);

// A paragraph's text as the viewer shows it: bullets as "\x95\t", runs joined.
std::string ParagraphText(const Paragraph& p);

}  // namespace hlp
