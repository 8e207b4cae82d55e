// The settings and the Run entry for real: both builds share them through the registry's 32-bit
// view, settings an earlier x64 build left in the 64-bit view are taken over, and the Run value
// names the exe exactly even where its path holds letters the ANSI code page has not.
#include <cstring>
#include <string>
#include <vector>

#include "../../src/shell/win32/ViewIds.h"
#include "E2e.h"

namespace telvaro::e2e {
namespace {

class SettingsE2e : public E2eTest {
 protected:
  void TearDown() override {
    E2eTest::TearDown();
    ResetSettings();
  }

  static HWND Main(DWORD processId) {
    return FindTopWindow(kMainWindowClass, kMainWindowTitle, processId);
  }

  static int ShownRow(DWORD processId) {
    return static_cast<int>(
        SendMessageA(GetDlgItem(Main(processId), view::kAppComboId), CB_GETCURSEL, 0, 0));
  }

  // Picks a row of combo_App as the user would, then "E&xit", and waits until the program ends.
  static void ChooseRowAndExit(Process& program, int row) {
    HWND main = Main(program.Id());
    ASSERT_NE(main, nullptr);
    HWND combo = GetDlgItem(main, view::kAppComboId);
    SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(row), 0);
    SendMessageA(main, WM_COMMAND, MAKEWPARAM(view::kAppComboId, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(combo));
    Exit(program);
  }

  static void Exit(Process& program) {
    PostMessageA(Main(program.Id()), WM_COMMAND, MAKEWPARAM(view::kMenuExitId, 0), 0);
    ASSERT_EQ(program.WaitForExit(), std::optional<DWORD>(0));
  }
};

bool FileExists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

TEST_F(SettingsE2e, TheX86BuildStoresARowAndTheX64BuildStartedNextReadsIt) {
  if (!MachineRunsX86()) {
    GTEST_SKIP() << "NOT RUN: TELVARO_WINE_X86=0, this machine cannot run 32-bit programs, so "
                    "the x86 build cannot be started here";
  }
  const std::string x86 = kThisBuildIs64 ? OtherBinDir() : BinDir();
  const std::string x64 = kThisBuildIs64 ? BinDir() : OtherBinDir();
  const std::string other = kThisBuildIs64 ? x86 : x64;
  if (other.empty() || !FileExists(other + "\\" + kTelvaroExe)) {
    GTEST_SKIP() << "NOT RUN: the " << (kThisBuildIs64 ? "x86" : "x64") << " build is absent ("
                 << (other.empty() ? std::string(kOtherBinVariable) + " is not set"
                                   : "no telvaro.exe in " + other)
                 << "); build it with cmake --build --preset "
                 << (kThisBuildIs64 ? "mingw-x86" : "mingw-x64");
  }

  Process& first = LaunchTelvaroFrom(x86);
  ASSERT_TRUE(first.Valid());
  ASSERT_NO_FATAL_FAILURE(ChooseRowAndExit(first, 7));
  EXPECT_EQ(ReadRegString(Hive::LocalMachine, kSettingsKey, "CurrentAppIndex"), "7");
  // The build folders are the user's own: the user's entry.
  const std::optional<std::string> x86Run = ReadRegString(Hive::CurrentUser, kRunKey, kRunValue);
  ASSERT_TRUE(x86Run);

  Process& second = LaunchTelvaroFrom(x64);
  ASSERT_TRUE(second.Valid());
  EXPECT_TRUE(WaitUntil([&] { return ShownRow(second.Id()) == 7; })) << ShownRow(second.Id());
  // One entry for both, now naming the build that ran last; none in the 64-bit view.
  const std::optional<std::string> x64Run = ReadRegString(Hive::CurrentUser, kRunKey, kRunValue);
  ASSERT_TRUE(x64Run);
  EXPECT_NE(*x64Run, *x86Run);
  const std::string x64Exe = x64 + "\\" + kTelvaroExe;
  EXPECT_EQ(
      CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, x64Run->c_str(), -1, x64Exe.c_str(), -1),
      CSTR_EQUAL)
      << *x64Run;
  EXPECT_FALSE(ReadRegString(Hive::LocalMachine64, kRunKey, kRunValue));
  EXPECT_FALSE(ReadRegString(Hive::LocalMachine64, kSettingsKey, "CurrentAppIndex"));
}

TEST_F(SettingsE2e, TakesOverTheRowAnEarlierX64BuildLeftInThe64BitView) {
  ASSERT_TRUE(WriteRegString(Hive::LocalMachine64, kSettingsKey, "CurrentAppIndex", "4"));
  ASSERT_TRUE(WriteRegString(Hive::LocalMachine64, kSettingsKey, "AutoRun", "0"));
  ASSERT_FALSE(ReadRegString(Hive::LocalMachine, kSettingsKey, "CurrentAppIndex"))
      << "the two views are apart";
  Process& program = LaunchTelvaro();
  ASSERT_TRUE(program.Valid());
  EXPECT_TRUE(WaitUntil([&] { return ShownRow(program.Id()) == 4; })) << ShownRow(program.Id());
  EXPECT_EQ(ReadRegString(Hive::LocalMachine, kSettingsKey, "CurrentAppIndex"), "4");
  EXPECT_EQ(ReadRegString(Hive::LocalMachine, kSettingsKey, "AutoRun"), "0");
  EXPECT_FALSE(ReadRegString(Hive::LocalMachine, kRunKey, kRunValue)) << "AutoRun was off";
  EXPECT_FALSE(ReadRegString(Hive::CurrentUser, kRunKey, kRunValue)) << "AutoRun was off";
  ASSERT_NO_FATAL_FAILURE(Exit(program));
}

// The folder holds Cyrillic letters, which the Western code page Wine runs with cannot spell, and a
// blank, so the value is quoted.
TEST_F(SettingsE2e, ARunValueNamesTheRealFileWhenItsFolderIsInCyrillic) {
  std::wstring temp(MAX_PATH, L'\0');
  temp.resize(GetTempPathW(static_cast<DWORD>(temp.size()), temp.data()));
  const std::wstring folder = temp +
                              L"telvaro-e2e\\\u041F\u0440\u043E\u0433\u0440\u0430\u043C"
                              L"\u043C\u0430 \u0422\u0435\u043B\u0432\u0430\u0440\u043E";
  CreateDirectoryW((temp + L"telvaro-e2e").c_str(), nullptr);
  CreateDirectoryW(folder.c_str(), nullptr);
  const std::wstring exe = folder + L"\\telvaro.exe";
  for (const char* file : {kTelvaroExe, kHandsetDll}) {
    const std::string from = BinPath(file);
    ASSERT_TRUE(CopyFileW(std::wstring(from.begin(), from.end()).c_str(),
                          (folder + L"\\" + std::wstring(file, file + std::strlen(file))).c_str(),
                          FALSE))
        << "copying " << file;
  }

  // Started by its UTF-16 path: no ANSI spelling of it names the file.
  SetEnvironmentVariableA(kHandsetLogVariable, HandsetLogPath().c_str());
  std::wstring commandLine = L"\"" + exe + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  ASSERT_TRUE(CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                             folder.c_str(), &startup, &info));
  CloseHandle(info.hThread);
  HWND main = WaitForWindow(kMainWindowClass, kMainWindowTitle, kDefaultTimeout, info.dwProcessId);
  EXPECT_NE(main, nullptr);
  EXPECT_TRUE(WaitForLineContaining(HandsetLogPath(), "StartDeviceDetection("));
  EXPECT_EQ(SendMessageA(GetDlgItem(main, view::kAutoRunCheckBoxId), BM_GETCHECK, 0, 0),
            BST_CHECKED);
  PostMessageA(main, WM_COMMAND, MAKEWPARAM(view::kMenuExitId, 0), 0);
  EXPECT_EQ(WaitForSingleObject(info.hProcess, 10000), WAIT_OBJECT_0);
  CloseHandle(info.hProcess);

  // A folder its user can write: the user's entry, never the one that starts it for everyone.
  EXPECT_FALSE(ReadRegString(Hive::LocalMachine, kRunKey, kRunValue));
  HKEY run = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run",
                          0, KEY_QUERY_VALUE | KEY_WOW64_32KEY, &run),
            ERROR_SUCCESS);
  std::wstring value(4096, L'\0');
  DWORD type = 0;
  DWORD size = static_cast<DWORD>(value.size() * sizeof(wchar_t));
  const LONG status = RegQueryValueExW(run, L"Dialbridge", nullptr, &type,
                                       reinterpret_cast<BYTE*>(value.data()), &size);
  RegCloseKey(run);
  ASSERT_EQ(status, ERROR_SUCCESS);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  value.resize(size / sizeof(wchar_t));
  ASSERT_FALSE(value.empty());
  EXPECT_EQ(value.back(), L'\0') << "the NUL is stored with the text";
  value.resize(value.find(L'\0'));
  EXPECT_EQ(CompareStringOrdinal(value.c_str(), -1, (L"\"" + exe + L"\"").c_str(), -1, TRUE),
            CSTR_EQUAL)
      << "the value is the exe's path in quotes";
  ASSERT_GE(value.size(), 2u);
  EXPECT_NE(GetFileAttributesW(value.substr(1, value.size() - 2).c_str()), INVALID_FILE_ATTRIBUTES)
      << "the value names the real file";

  DeleteFileW(exe.c_str());
  DeleteFileW((folder + L"\\CM_HID.dll").c_str());
  RemoveDirectoryW(folder.c_str());
}

}  // namespace
}  // namespace telvaro::e2e
