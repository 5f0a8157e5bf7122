// Writes a checked book as an uncompressed WinHelp 3.1 file: the internal file system
// with its directory, |SYSTEM, |TOPIC, |CONTEXT, |CTXOMAP, |FONT and |TTLBTREE.
#pragma once
#include <string>

#include "tools/help/HelpSource.h"
#include "tools/help/HlpFormat.h"

namespace hlp {

// False with a reason when the book cannot be laid out (it should have been refused earlier).
bool WriteHelpFile(const Book& book, Bytes& out, std::string& error);

// Source text to file bytes: parses, writes, and reads the result back to be sure every
// topic, context number and link comes out as written. Diagnostics carry source lines.
std::vector<Diagnostic> CompileHelp(const std::string& source, Bytes& out);

}  // namespace hlp
