#include "controlpanel/pages/BankDownload.h"

#include <direct.h>
#include <io.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "controlpanel/driver/DriverControl.h"
#include "controlpanel/pages/BankRules.h"
#include "controlpanel/pages/IniFile.h"
#include "controlpanel/res/resource.h"
#include "controlpanel/trace/DebugTrace.h"
#include "shared/settings/Store.h"
#include "framework/Util.h"

namespace {

const char kFilter[] = "ARL & DLS Files (*.arl; *.dls; Orvanegm)|*.arl; *.dls; Orvanegm|All Files (*.*)|*.*||";
constexpr size_t kCopyBlock = 4096;

struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<FILE, FileCloser>;

// The INI rewrite on the real file system.
class DiskFiles : public ini::Files {
 public:
  // Only read: a read-only file is replaced by the moves like any other.
  Read ReadAll(const std::string& path, std::string* content) override {
    File f(std::fopen(path.c_str(), "rb"));
    if (!f) return errno == ENOENT ? Read::Missing : Read::Failed;
    char block[kCopyBlock];
    size_t n;
    while (content->size() <= ini::kMaxIniBytes && (n = std::fread(block, 1, sizeof block, f.get())) > 0)
      content->append(block, n);
    return std::ferror(f.get()) ? Read::Failed : Read::Ok;
  }
  bool CreateEmpty(const std::string& path) override { return File(std::fopen(path.c_str(), "wb")) != nullptr; }
  bool TempName(const char* prefix, std::string* name) override {
    char dir[260], file[260];
    const DWORD n = GetTempPathA(sizeof dir, dir);
    if (n == 0 || n >= sizeof dir || !GetTempFileNameA(dir, prefix, 0, file)) return false;
    *name = file;
    return true;
  }
  bool WriteAll(const std::string& path, const std::string& content) override {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool written = std::fwrite(content.data(), 1, content.size(), f) == content.size();
    return std::fclose(f) == 0 && written;
  }
  bool Move(const std::string& from, const std::string& to) override {
    return MoveFileA(from.c_str(), to.c_str()) != FALSE;
  }
  // The backup of a read-only file is read-only too.
  bool Remove(const std::string& path) override {
    if (DeleteFileA(path.c_str())) return true;
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    return DeleteFileA(path.c_str()) != FALSE;
  }
};

class WaitCursor {
 public:
  WaitCursor() : m_hOld(SetCursor(LoadCursorA(nullptr, MAKEINTRESOURCEA(32514)))) {}
  ~WaitCursor() { SetCursor(m_hOld ? m_hOld : LoadCursorA(nullptr, MAKEINTRESOURCEA(32512))); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;

 private:
  HCURSOR m_hOld;
};

const char kRenameSection[] = "Rename";
const char kDeleteKey[] = "NUL";

// The short form of the Windows directory and "\\WININIT.INI"; "" when there is none.
std::string WininitPath() {
  char dir[260];
  const UINT n = GetWindowsDirectoryA(dir, sizeof dir);
  if (n == 0 || n >= sizeof dir) return "";
  GetShortPathNameA(dir, dir, sizeof dir);
  return std::string(dir) + "\\WININIT.INI";
}

std::string StringOr(const catalogue::Value& value, const std::string& fallback) {
  char text[256];
  return settings::ReadString(value, text) ? std::string(text) : fallback;
}

// The stored working directory, or one made in the program files directory and stored.
std::string WorkingDirectory() {
  char text[256];
  if (settings::ReadString(catalogue::ZephraWorkingDir, text)) return text;
  const std::string programFiles = StringOr(catalogue::ProgramFilesDir, catalogue::ProgramFilesDir.byDefault.text);
  const bank::WorkingDirs dirs = bank::WorkingDirFor(programFiles);
  // An existing directory is fine, and a failure shows later as a failed copy.
  _chdir(programFiles.c_str());
  _mkdir("Orvane");
  _chdir(dirs.parent.c_str());
  _mkdir("KV2240");
  settings::WriteString(catalogue::ZephraWorkingDir, dirs.dir.c_str());
  return dirs.dir;
}

// Two names of one file (a short name, say): same volume, same file index.
bool SameFileOnDisk(const std::string& a, const std::string& b) {
  BY_HANDLE_FILE_INFORMATION info[2];
  const std::string* names[2] = {&a, &b};
  for (int i = 0; i < 2; ++i) {
    HANDLE h = CreateFileA(names[i]->c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    const BOOL got = GetFileInformationByHandle(h, &info[i]);
    CloseHandle(h);
    if (!got) return false;
  }
  return info[0].dwVolumeSerialNumber == info[1].dwVolumeSerialNumber &&
         info[0].nFileIndexHigh == info[1].nFileIndexHigh && info[0].nFileIndexLow == info[1].nFileIndexLow;
}

}  // namespace

int CopyBankFile(const char* source, const char* destination) {
  if (SameFileOnDisk(source, destination)) return 1;  // opening it for writing would empty it
  File in(std::fopen(source, "rb"));
  if (!in) return 0;
  File out(std::fopen(destination, "wb"));
  if (!out) return 0;
  std::fseek(in.get(), 0, SEEK_END);
  long remaining = std::ftell(in.get());
  std::fseek(in.get(), 0, SEEK_SET);
  char block[kCopyBlock];
  // A read or write that stops short ends the copy; the card then refuses the shorter file.
  while (remaining > 0) {
    const size_t want = remaining < long(kCopyBlock) ? size_t(remaining) : kCopyBlock;
    const size_t got = std::fread(block, 1, want, in.get());
    if (got == 0 || std::fwrite(block, 1, got, out.get()) != got) break;
    remaining -= long(got);
  }
  return 1;
}

int DeleteBankFile(const char* path) {
  if (std::remove(path) == 0) return 1;
  if (errno != EACCES) return 1;
  _chmod(path, _S_IREAD | _S_IWRITE);
  if (std::remove(path) == 0) return 1;
  ScheduleDeleteOnRestart(path);
  return 0;
}

int ScheduleDeleteOnRestart(const char* path) {
  const std::string ini = WininitPath();
  if (!ini.empty() && AddIniLine(kRenameSection, kDeleteKey, path, ini.c_str())) return 1;
  DebugTrace(("bank download: could not schedule the deletion of " + std::string(path) + " in " +
              (ini.empty() ? std::string("WININIT.INI (no Windows directory)") : ini))
                 .c_str());
  return 0;
}

int KeepOnRestart(const char* path) {
  const std::string ini = WininitPath();
  DiskFiles files;
  return !ini.empty() && ini::RemoveIniLine(files, kRenameSection, kDeleteKey, path, ini);
}

int AddIniLine(const char* section, const char* key, const char* value, const char* iniPath) {
  DiskFiles files;
  return ini::AddIniLine(files, section, key, value, iniPath);
}

void DownloadInstrumentBank(HANDLE wavetable) {
  char systemDir[260] = {};
  GetSystemDirectoryA(systemDir, sizeof systemDir);
  const std::string defaultBank = bank::DefaultBankPath(systemDir);

  const std::string title = fw::LoadStr(IDS_OPEN_DLS);
  fw::CFileDialog dialog(TRUE, nullptr, defaultBank.c_str(), OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, kFilter);
  dialog.m_ofn.lpstrTitle = title.c_str();
  if (dialog.DoModal() != IDOK) return;
  WaitCursor wait;

  const std::string selected = dialog.GetPathName();
  const bank::PathParts parts = bank::SplitPath(selected);
  const std::string current = StringOr(catalogue::DLSBankPath, defaultBank);
  const std::string workingDir = WorkingDirectory();
  const UINT driveType = GetDriveTypeA((parts.drive + "\\").c_str());
  bank::Target target = bank::ChooseTarget(selected, driveType, workingDir, current);
  // The chosen file is the copy's place under another name: nothing to copy, nothing to
  // delete should the card refuse it.
  if (target.copy && SameFileOnDisk(selected, target.path)) target.copy = false;
  if (target.copy) CopyBankFile(selected.c_str(), target.path.c_str());

  if (DownloadBank(wavetable, target.path.c_str())) {
    if (bank::DeleteOldBank(target, current, workingDir)) DeleteBankFile(current.c_str());
    const bool renamed = target.replace && std::rename(target.path.c_str(), current.c_str()) == 0;
    const std::string inUse = bank::BankInUse(target, current, renamed);
    // A bank scheduled for deletion by an earlier download and now chosen again stays.
    KeepOnRestart(inUse.c_str());
    settings::WriteString(catalogue::DLSBankPath, inUse.c_str());
    return;
  }
  fw::AfxMessageBox(bank::FailureText(fw::LoadStr(IDS_DOWNLOAD_FAILED), selected).c_str(), MB_OK);
  if (target.copy) DeleteBankFile(target.path.c_str());
}
