// The Trivox Demos page driven through its real window: the demo buttons start their
// programs (a probe of ours stands in for each), the splash box and the Trivox About box.
#include <gtest/gtest.h>
#include <windows.h>

#include <prsht.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "E2eSupport.h"
#include "image_probe.h"
#include "shared/names/Names.h"

using namespace e2e;

namespace {

const char kTrivoxKey[] = "Software\\Orvane\\Trivox";
const char kDemosDir[] = "C:\\Program Files\\Resonix Trivox\\" ZEPHRA_DEMOS_DIR "\\";
const char kSaved[] = ".e2e-saved";

enum : int { kSplash = 1078, kAbout = 1155, kPlayer = 1025, kBees = 1026, kRace = 1027, kHelicopter = 1028 };

struct DemoButton {
  int id;
  const char* program;
};
const DemoButton kButtons[] = {{kPlayer, ZEPHRA_DEMO_PLAYER},
                               {kHelicopter, ZEPHRA_DEMO_HELICOPTER},
                               {kBees, ZEPHRA_DEMO_BEES},
                               {kRace, ZEPHRA_DEMO_RACE}};

std::string Beside(const char* file) {
  char self[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, self, sizeof self);
  std::string path = self;
  return path.substr(0, path.find_last_of('\\') + 1) + file;
}

std::string Installed(const char* program) { return std::string(kDemosDir) + program + ".exe"; }

std::string WithoutTrailingSlash(std::string path) {
  if (path.size() > 3 && path.back() == '\\') path.pop_back();
  return path;
}

class Demos : public ::testing::Test {
 protected:
  void SetUp() override {
    EndAll();
    char temp[MAX_PATH] = {};
    GetTempPathA(sizeof temp, temp);
    probeOut_ = std::string(temp) + "zephra-demo-probe.txt";
    ASSERT_TRUE(SetEnvironmentVariableA("ZEPHRA_DEMO_PROBE", probeOut_.c_str()));
    // The probe takes the place of every demo; the real programs are put back afterwards.
    for (const auto& b : kButtons) {
      const std::string exe = Installed(b.program);
      if (GetFileAttributesA(exe.c_str()) != INVALID_FILE_ATTRIBUTES) {
        ASSERT_TRUE(MoveFileExA(exe.c_str(), (exe + kSaved).c_str(), MOVEFILE_REPLACE_EXISTING));
      }
      ASSERT_TRUE(CopyFileA(Beside("e2e_demo_probe.exe").c_str(), exe.c_str(), FALSE)) << exe;
    }
    ASSERT_TRUE(SetDword(HKEY_CURRENT_USER, kPrefsKey, "TaskBarIconEnable", 0));
  }
  void TearDown() override {
    EndAll();
    for (const auto& b : kButtons) {
      const std::string exe = Installed(b.program);
      DeleteFileA(exe.c_str());
      MoveFileExA((exe + kSaved).c_str(), exe.c_str(), MOVEFILE_REPLACE_EXISTING);
    }
    DeleteFileA(probeOut_.c_str());
  }

  // A copy with the tray icon off opens its sheet at once; the Demos page is the second.
  HWND OpenDemos() {
    process_ = std::make_unique<Process>(Process::Start());
    sheet_ = WaitForSheet();
    if (!sheet_) return nullptr;
    SendMessageA(sheet_, PSM_SETCURSEL, 1, 0);
    HWND page = reinterpret_cast<HWND>(SendMessageA(sheet_, PSM_GETCURRENTPAGEHWND, 0, 0));
    return page && GetDlgItem(page, kSplash) ? page : nullptr;
  }
  void CloseDemos() {
    CloseSheet(sheet_, IDCANCEL);
    EXPECT_TRUE(process_->WaitExit(10000));
  }

  // The probe's command line and current directory, once it has written them.
  bool ReadProbe(std::string* commandLine, std::string* directory) const {
    if (!WaitUntil([&] { return GetFileAttributesA(probeOut_.c_str()) != INVALID_FILE_ATTRIBUTES; })) return false;
    std::ifstream in(probeOut_);
    return std::getline(in, *commandLine) && std::getline(in, *directory);
  }

  static bool Checked(HWND page) { return SendMessageA(GetDlgItem(page, kSplash), BM_GETCHECK, 0, 0) == BST_CHECKED; }
  static void Click(HWND page, int id) { SendMessageA(GetDlgItem(page, id), BM_CLICK, 0, 0); }
  static std::string Splash(const char* name) {
    std::string data;
    DWORD type = 0;
    if (!ReadValue(HKEY_LOCAL_MACHINE, kTrivoxKey, name, &data, &type)) return "absent";
    return (type == REG_DWORD ? "dword " : "other ") + std::to_string(data.size() == 4 ? data[0] : -1);
  }

  std::string probeOut_;
  std::unique_ptr<Process> process_;
  HWND sheet_ = nullptr;
  // Every value of the shared Trivox key, as the catalogue knows them.
  RegistryGuard trivox_{HKEY_LOCAL_MACHINE, kTrivoxKey, {"SplashAudio", "SplashScreen", "EnableDS3D", "Default_Board"}};
  RegistryGuard prefs_{HKEY_CURRENT_USER, kPrefsKey, {"TaskBarIconEnable", "PROPSHEET_PAGE"}};
};

TEST_F(Demos, EachButtonStartsItsProgramFromTheDemosFolder) {
  char shortDir[MAX_PATH] = {};
  ASSERT_NE(GetShortPathNameA(kDemosDir, shortDir, sizeof shortDir), 0u);
  HWND page = OpenDemos();
  ASSERT_NE(page, nullptr);
  for (const auto& b : kButtons) {
    DeleteFileA(probeOut_.c_str());
    Click(page, b.id);
    std::string commandLine, directory;
    ASSERT_TRUE(ReadProbe(&commandLine, &directory)) << b.program << " did not start";
    // The program path is the only argument; the panel's short program directory leads it.
    EXPECT_STRCASEEQ(commandLine.c_str(), (std::string(shortDir) + b.program + ".exe").c_str());
    EXPECT_STRCASEEQ(WithoutTrailingSlash(directory).c_str(), WithoutTrailingSlash(shortDir).c_str());
  }
  CloseDemos();
}

TEST_F(Demos, MissingProgramShowsNothingAndThePanelRunsOn) {
  const std::string exe = Installed(ZEPHRA_DEMO_HELICOPTER);
  ASSERT_TRUE(DeleteFileA(exe.c_str()));
  HWND page = OpenDemos();
  ASSERT_NE(page, nullptr);
  const std::vector<HWND> before = FindAllVisible(nullptr, nullptr);
  DWORD_PTR result = 0;
  // A box the click opened would hold the sent message: it returns only when nothing waits.
  ASSERT_NE(SendMessageTimeoutA(GetDlgItem(page, kHelicopter), BM_CLICK, 0, 0, SMTO_NORMAL, 10000, &result), 0);
  EXPECT_EQ(FindAllVisible(nullptr, nullptr), before);
  EXPECT_TRUE(process_->Running());
  EXPECT_TRUE(IsWindowVisible(sheet_));
  // The other buttons still work afterwards.
  Click(page, kRace);
  std::string commandLine, directory;
  EXPECT_TRUE(ReadProbe(&commandLine, &directory));
  CloseDemos();
}

TEST_F(Demos, ButtonsShowImagesTenPixelsNarrowerThanThemselves) {
  HWND page = OpenDemos();
  ASSERT_NE(page, nullptr);
  for (const auto& b : kButtons) {
    HWND button = GetDlgItem(page, b.id);
    RECT client{};
    ASSERT_TRUE(GetClientRect(button, &client));
    LONG width = 0, height = 0;
    ASSERT_TRUE(ButtonImageSize(button, &width, &height)) << b.program;
    EXPECT_EQ(width, client.right - 10) << b.program;
    EXPECT_EQ(height, 16) << b.program;
  }
  CloseDemos();
}

TEST_F(Demos, SplashBoxTakesAnyNonZeroAndStoresBothValues) {
  ASSERT_TRUE(SetDword(HKEY_LOCAL_MACHINE, kTrivoxKey, "SplashAudio", 5));
  DeleteValue(HKEY_LOCAL_MACHINE, kTrivoxKey, "SplashScreen");
  HWND page = OpenDemos();
  ASSERT_NE(page, nullptr);
  EXPECT_TRUE(Checked(page));
  Click(page, kSplash);
  EXPECT_FALSE(Checked(page));
  EXPECT_EQ(Splash("SplashAudio"), "dword 0");
  EXPECT_EQ(Splash("SplashScreen"), "dword 0");
  Click(page, kSplash);
  EXPECT_EQ(Splash("SplashAudio"), "dword 1");
  EXPECT_EQ(Splash("SplashScreen"), "dword 1");
  CloseDemos();

  // Zero is read back as a cleared box.
  ASSERT_TRUE(SetDword(HKEY_LOCAL_MACHINE, kTrivoxKey, "SplashAudio", 0));
  page = OpenDemos();
  ASSERT_NE(page, nullptr);
  EXPECT_FALSE(Checked(page));
  CloseDemos();
}

TEST_F(Demos, WithoutTheTrivoxKeyTheBoxStoresNothing) {
  ASSERT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, kTrivoxKey), ERROR_SUCCESS);
  HWND page = OpenDemos();
  ASSERT_NE(page, nullptr);
  EXPECT_FALSE(Checked(page));
  Click(page, kSplash);
  EXPECT_TRUE(Checked(page));
  HKEY key = nullptr;
  EXPECT_NE(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kTrivoxKey, 0, KEY_READ, &key), ERROR_SUCCESS) << "not created";
  if (key) RegCloseKey(key);
  CloseDemos();
}

TEST_F(Demos, AboutOpensTheTrivoxDialogAndOkClosesIt) {
  HWND page = OpenDemos();
  ASSERT_NE(page, nullptr);
  PostMessageA(GetDlgItem(page, kAbout), BM_CLICK, 0, 0);
  HWND about = nullptr;
  ASSERT_TRUE(WaitUntil([&] { return (about = FindVisible("#32770", "About Orvane 3D")) != nullptr; }));
  HWND ok = GetDlgItem(about, IDOK);
  ASSERT_NE(ok, nullptr);
  EXPECT_EQ(Text(ok), "OK");
  EXPECT_EQ(GetWindowLongA(about, GWL_STYLE) & WS_SYSMENU, 0);
  PostMessageA(ok, BM_CLICK, 0, 0);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(about) || !IsWindowVisible(about); }));
  CloseDemos();
}

}  // namespace
