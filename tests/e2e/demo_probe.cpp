// Stands in for a demonstration program: writes the command line it was started with and
// its current directory, one a line, to the file named by ZEPHRA_DEMO_PROBE, then exits.
#include <windows.h>

#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  char out[MAX_PATH] = {}, dir[MAX_PATH] = {};
  if (!GetEnvironmentVariableA("ZEPHRA_DEMO_PROBE", out, sizeof out)) return 1;
  GetCurrentDirectoryA(sizeof dir, dir);
  const std::string text = std::string(GetCommandLineA()) + "\n" + dir + "\n";
  // Written aside and moved in, so a reader never sees half of it.
  const std::string part = std::string(out) + ".part";
  HANDLE f = CreateFileA(part.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return 1;
  DWORD written = 0;
  WriteFile(f, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(f);
  return MoveFileExA(part.c_str(), out, MOVEFILE_REPLACE_EXISTING) ? 0 : 1;
}
