#include "tools/help/HelpSource.h"

#include <map>

#include "tools/help/HlpFormat.h"

namespace hlp {

namespace {

// A paragraph longer than this could not be counted in its block's 15-bit offsets.
constexpr size_t kMaxParagraph = 4000;

struct LinkUse {
  std::string target;
  int line;
};

class Parser {
 public:
  explicit Parser(Book& book) : m_book(book) {}

  void Line(const std::string& raw, int line);
  std::vector<Diagnostic> Finish();

 private:
  void Directive(const std::string& word, const std::string& rest);
  void Text(const std::string& text);
  void AddRuns(Paragraph& p, const std::string& text);
  void Close() { m_open = false; }
  void Fail(const std::string& reason) { m_diags.push_back({m_line, reason}); }
  void StartTopic(const std::string& id);
  void AddMap(const std::string& number);
  void AddKeywords(const std::string& list);
  bool NeedTopic(const std::string& what);

  Book& m_book;
  std::vector<Diagnostic> m_diags;
  std::vector<LinkUse> m_links;
  std::map<uint32_t, int> m_mapLines;
  std::map<int32_t, size_t> m_hashes;  // hash to topic index
  int m_line = 0;
  int m_contentsLine = 0;
  bool m_open = false;  // the last paragraph takes more lines
};

std::string Trim(const std::string& s) {
  const size_t a = s.find_first_not_of(" \t");
  if (a == std::string::npos) return {};
  const size_t b = s.find_last_not_of(" \t");
  return s.substr(a, b - a + 1);
}

bool ValidId(const std::string& id) {
  if (id.empty() || id.size() > kMaxContextId) return false;
  for (char c : id) {
    if (!IsContextIdChar(c)) return false;
  }
  return true;
}

void Parser::Line(const std::string& raw, int line) {
  m_line = line;
  std::string text = raw;
  if (!text.empty() && text.back() == '\r') text.pop_back();
  for (char& c : text) {
    if (c == '\t') c = ' ';
    if (static_cast<unsigned char>(c) < 0x20) {
      Fail("control character in the text");
      return;
    }
  }
  if (!text.empty() && text[0] == '#') return;
  const std::string t = Trim(text);
  if (t.empty()) {
    Close();
    return;
  }
  if (t[0] == '.') {
    const size_t space = t.find(' ');
    Directive(t.substr(0, space), space == std::string::npos ? std::string() : Trim(t.substr(space)));
    return;
  }
  Text(t);
}

bool Parser::NeedTopic(const std::string& what) {
  if (!m_book.topics.empty()) return true;
  Fail(what + " before the first .topic");
  return false;
}

void Parser::Directive(const std::string& word, const std::string& rest) {
  Close();
  if (word == ".file") {
    if (rest.size() > kMaxFileTitle)
      Fail("help file title is " + std::to_string(rest.size()) + " characters; the viewer's caption holds " +
           std::to_string(kMaxFileTitle));
    if (rest.empty()) Fail(".file needs a title");
    m_book.title = rest;
  } else if (word == ".contents") {
    m_book.contents = rest;
    m_contentsLine = m_line;
  } else if (word == ".topic") {
    StartTopic(rest);
  } else if (word == ".title") {
    if (!NeedTopic(".title")) return;
    Topic& t = m_book.topics.back();
    if (!t.title.empty() || !t.paragraphs.empty()) Fail(".title must come once, before the topic's text");
    if (rest.empty()) Fail(".title needs a text");
    if (rest.size() > kMaxTopicTitle)
      Fail("topic title is " + std::to_string(rest.size()) + " characters; at most " +
           std::to_string(kMaxTopicTitle) + " fit");
    t.title = rest;
    Paragraph p;
    p.style = ParaStyle::Title;
    p.line = m_line;
    p.runs.push_back({rest, {}});
    t.paragraphs.insert(t.paragraphs.begin(), p);
  } else if (word == ".map") {
    if (NeedTopic(".map")) AddMap(rest);
  } else if (word == ".keys") {
    if (NeedTopic(".keys")) AddKeywords(rest);
  } else if (word == ".head") {
    if (!NeedTopic(".head")) return;
    Paragraph p;
    p.style = ParaStyle::Head;
    p.line = m_line;
    AddRuns(p, rest);
    m_book.topics.back().paragraphs.push_back(p);
  } else {
    Fail("unknown directive '" + word + "'");
  }
}

void Parser::StartTopic(const std::string& id) {
  if (!ValidId(id)) {
    Fail("topic id '" + id + "' must be 1 to " + std::to_string(kMaxContextId) +
         " letters, digits, '.' or '_'");
  }
  const int32_t hash = ContextHash(id);
  const auto known = m_hashes.find(hash);
  if (known != m_hashes.end()) {
    const Topic& other = m_book.topics[known->second];
    Fail(other.id == id ? "topic id '" + id + "' is already used at line " + std::to_string(other.line)
                        : "topic id '" + id + "' has the same hash as '" + other.id + "' (line " +
                              std::to_string(other.line) + ")");
  } else {
    m_hashes[hash] = m_book.topics.size();
  }
  Topic t;
  t.id = id;
  t.line = m_line;
  m_book.topics.push_back(t);
}

void Parser::AddMap(const std::string& number) {
  size_t used = 0;
  unsigned long long value = 0;
  try {
    value = std::stoull(number, &used, 0);
  } catch (...) {
    used = 0;
  }
  if (used == 0 || used != number.size() || value > 0xFFFFFFFFull) {
    Fail("context number '" + number + "' is not a number from 0 to 4294967295");
    return;
  }
  const uint32_t n = static_cast<uint32_t>(value);
  const auto known = m_mapLines.find(n);
  if (known != m_mapLines.end()) {
    Fail("context number " + std::to_string(n) + " is already used at line " + std::to_string(known->second));
    return;
  }
  m_mapLines[n] = m_line;
  m_book.topics.back().maps.push_back(n);
}

void Parser::AddKeywords(const std::string& list) {
  std::vector<std::string>& keys = m_book.topics.back().keywords;
  size_t at = 0;
  while (at <= list.size()) {
    size_t end = list.find(';', at);
    if (end == std::string::npos) end = list.size();
    const std::string key = Trim(list.substr(at, end - at));
    if (key.empty() || key.size() > kMaxKeyword) {
      Fail("keywords are 1 to " + std::to_string(kMaxKeyword) + " characters, separated by ';'");
      return;
    }
    bool known = false;
    for (const std::string& k : keys) known = known || k == key;
    if (!known) keys.push_back(key);
    at = end + 1;
  }
}

void Parser::Text(const std::string& text) {
  if (!NeedTopic("text")) return;
  std::vector<Paragraph>& paras = m_book.topics.back().paragraphs;
  std::string rest = text;
  if (rest.size() >= 2 && rest[0] == '-' && rest[1] == ' ') {
    Close();
    rest = Trim(rest.substr(2));
    Paragraph p;
    p.style = ParaStyle::Bullet;
    p.line = m_line;
    paras.push_back(p);
  } else if (!m_open) {
    Paragraph p;
    p.line = m_line;
    paras.push_back(p);
  } else {
    rest = " " + rest;
  }
  m_open = true;
  AddRuns(paras.back(), rest);
  if (ParagraphText(paras.back()).size() > kMaxParagraph)
    Fail("paragraph is longer than " + std::to_string(kMaxParagraph) + " characters");
}

void Parser::AddRuns(Paragraph& p, const std::string& text) {
  auto plain = [&p](const std::string& s) {
    if (s.empty()) return;
    if (!p.runs.empty() && p.runs.back().link.empty()) {
      p.runs.back().text += s;
    } else {
      p.runs.push_back({s, {}});
    }
  };
  size_t at = 0;
  while (at < text.size()) {
    const size_t open = text.find_first_of("{}", at);
    if (open == std::string::npos) {
      plain(text.substr(at));
      return;
    }
    plain(text.substr(at, open - at));
    const size_t close = text.find('}', open);
    if (text[open] == '}' || close == std::string::npos) {
      Fail(text[open] == '}' ? "'}' without a link" : "link is not closed with '}'");
      return;
    }
    const std::string inner = text.substr(open + 1, close - open - 1);
    const size_t bar = inner.find('|');
    if (bar == std::string::npos || inner.find('{') != std::string::npos) {
      Fail("a link is written {topic|text}");
      return;
    }
    const std::string target = Trim(inner.substr(0, bar));
    const std::string shown = inner.substr(bar + 1);
    if (Trim(shown).empty()) Fail("link to '" + target + "' shows no text");
    p.runs.push_back({shown, target});
    m_links.push_back({target, m_line});
    at = close + 1;
  }
}

std::vector<Diagnostic> Parser::Finish() {
  m_line = 1;
  if (m_book.title.empty()) Fail("no .file title");
  if (m_book.topics.empty()) Fail("no topics");
  std::map<std::string, bool> ids;
  for (const Topic& t : m_book.topics) {
    ids[t.id] = true;
    m_line = t.line;
    if (t.title.empty()) Fail("topic '" + t.id + "' has no .title");
  }
  for (const LinkUse& link : m_links) {
    m_line = link.line;
    if (!ids.count(link.target)) Fail("link to unknown topic '" + link.target + "'");
  }
  if (m_book.contents.empty() && !m_book.topics.empty()) {
    m_book.contents = m_book.topics.front().id;
  } else if (!ids.count(m_book.contents) && !m_book.topics.empty()) {
    m_line = m_contentsLine;
    Fail("contents topic '" + m_book.contents + "' does not exist");
  }
  return m_diags;
}

}  // namespace

std::string FormatDiagnostics(const std::string& fileName, const std::vector<Diagnostic>& diags) {
  std::string out;
  for (const Diagnostic& d : diags) out += fileName + ":" + std::to_string(d.line) + ": " + d.reason + "\n";
  return out;
}

std::vector<Diagnostic> ParseHelpSource(const std::string& text, Book& book) {
  book = Book();
  Parser parser(book);
  int line = 0;
  size_t at = 0;
  while (at <= text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    parser.Line(text.substr(at, end - at), ++line);
    at = end + 1;
  }
  return parser.Finish();
}

std::string ParagraphText(const Paragraph& p) {
  std::string s = p.style == ParaStyle::Bullet ? "\x95\t" : "";
  for (const Run& r : p.runs) s += r.text;
  return s;
}

}  // namespace hlp
