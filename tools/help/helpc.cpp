// The help compiler: turns one of our help sources into a WinHelp file.
//   zephra_helpc SOURCE OUTPUT
// Faults go to stderr as "file:line: reason"; nothing is written then.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>

#include "tools/help/HlpWriter.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: zephra_helpc SOURCE OUTPUT\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "%s: cannot be read\n", argv[1]);
    return 1;
  }
  std::stringstream text;
  text << in.rdbuf();
  hlp::Bytes out;
  const std::vector<hlp::Diagnostic> diags = hlp::CompileHelp(text.str(), out);
  if (!diags.empty()) {
    std::fputs(hlp::FormatDiagnostics(argv[1], diags).c_str(), stderr);
    return 1;
  }
  const std::string temp = std::string(argv[2]) + ".part";
  std::ofstream file(temp, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(out.data()), static_cast<std::streamsize>(out.size()));
  file.close();
  if (!file || std::rename(temp.c_str(), argv[2]) != 0) {
    std::fprintf(stderr, "%s: cannot be written\n", argv[2]);
    std::remove(temp.c_str());
    return 1;
  }
  return 0;
}
