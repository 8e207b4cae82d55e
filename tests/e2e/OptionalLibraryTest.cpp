// The handset library is optional: telvaro.exe alone in a folder starts and runs, and a
// CM_HID.dll that is not a complete handset library is left unused with one line of status.
#include <string>

#include "E2e.h"

namespace telvaro::e2e {
namespace {

class OptionalLibrary : public E2eTest {
 protected:
  // telvaro.exe copied into a folder of its own, with `dll` beside it as CM_HID.dll if given.
  std::string LoneExe(const std::string& dll = {}) {
    const std::string folder = TempPath("alone");
    CreateDirectoryA(folder.c_str(), nullptr);
    const std::string exe = folder + "\\telvaro.exe";
    EXPECT_TRUE(CopyFileA(BinPath(kTelvaroExe).c_str(), exe.c_str(), FALSE));
    if (!dll.empty()) {
      EXPECT_TRUE(CopyFileA(dll.c_str(), (folder + "\\" + kHandsetDll).c_str(), FALSE));
    }
    return exe;
  }

  static std::string StatusLine(HWND mainWindow) {
    HWND status = FindWindowExA(mainWindow, nullptr, "msctls_statusbar32", nullptr);
    char text[256] = {};
    // WM_GETTEXT is carried across processes; a status bar answers with its first part.
    if (status) SendMessageA(status, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    return text;
  }
};

TEST_F(OptionalLibrary, StartsWithNoHandsetLibraryBesideIt) {
  Process telvaro = Process::Start(LoneExe());
  ASSERT_TRUE(telvaro.Valid());
  HWND window = WaitForWindow(kMainWindowClass, kMainWindowTitle, kDefaultTimeout, telvaro.Id());
  ASSERT_NE(window, nullptr) << "without CM_HID.dll the program must still come up";
  EXPECT_FALSE(WaitUntil([&] { return !telvaro.Running(); }, Millis{1500}));
  EXPECT_EQ(StatusLine(window).find(kHandsetDll), std::string::npos)
      << "no library is nothing to report: " << StatusLine(window);
}

TEST_F(OptionalLibrary, ADllWithoutTheExportsIsNotUsedAndSaysSo) {
  // Any DLL that is no handset library: the system's hid.dll exports none of the seven.
  char system[MAX_PATH] = {};
  GetSystemDirectoryA(system, MAX_PATH);
  Process telvaro = Process::Start(LoneExe(std::string(system) + "\\hid.dll"));
  ASSERT_TRUE(telvaro.Valid());
  HWND window = WaitForWindow(kMainWindowClass, kMainWindowTitle, kDefaultTimeout, telvaro.Id());
  ASSERT_NE(window, nullptr);
  const std::string notice = "CM_HID.dll lacks StartDeviceDetection: handset library not used.";
  EXPECT_TRUE(WaitUntil([&] { return StatusLine(window) == notice; }, Millis{3000}))
      << StatusLine(window);
  EXPECT_TRUE(telvaro.Running());
}

}  // namespace
}  // namespace telvaro::e2e
