// telvaro.exe for real: its hidden main window, the single-instance guard, the handset's arrival
// and removal, the settings written at exit and read back at the next start.
#include <gmock/gmock.h>

#include <string>
#include <vector>

#include "../../src/shell/win32/ViewIds.h"
#include "E2e.h"

namespace telvaro::e2e {
namespace {

using ::testing::ElementsAre;

class MainWindow : public E2eTest {
 protected:
  // E2eTest::SetUp starts from no stored settings; leave none behind either.
  void TearDown() override {
    E2eTest::TearDown();
    ResetSettings();
  }

  HWND Main() { return FindTopWindow(kMainWindowClass, kMainWindowTitle); }
  HWND Control(int id) { return GetDlgItem(Main(), id); }

  // Picks a row of combo_App as the user would: the selection, then the change notification.
  void ChooseRow(int row) {
    HWND combo = Control(view::kAppComboId);
    SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(row), 0);
    SendMessageA(Main(), WM_COMMAND, MAKEWPARAM(view::kAppComboId, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(combo));
  }

  void ClickMenu(int id) { PostMessageA(Main(), WM_COMMAND, MAKEWPARAM(id, 0), 0); }

  bool Checked() {
    return SendMessageA(Control(view::kAutoRunCheckBoxId), BM_GETCHECK, 0, 0) == BST_CHECKED;
  }
};

TEST_F(MainWindow, StartsHiddenWithItsControls) {
  ASSERT_TRUE(LaunchTelvaro().Valid());
  HWND main = Main();
  ASSERT_NE(main, nullptr);
  EXPECT_FALSE(IsWindowVisible(main)) << "only the tray icon shows at start";
  RECT client{};
  GetClientRect(main, &client);
  EXPECT_EQ(client.right, 210);
  EXPECT_EQ(client.bottom, 117);
  HWND combo = Control(view::kAppComboId);
  ASSERT_NE(combo, nullptr);
  EXPECT_EQ(SendMessageA(combo, CB_GETCOUNT, 0, 0), 25)
      << "the older 23 rows, PhonerLite, Linphone";
  EXPECT_EQ(SendMessageA(combo, CB_GETCURSEL, 0, 0), 0) << "no stored settings: Skype";
  wchar_t text[64] = {};  // the common controls window is a Unicode one across processes
  SendMessageW(combo, CB_GETLBTEXT, 20, reinterpret_cast<LPARAM>(text));
  EXPECT_STREQ(text, L"PCPhone");
  SendMessageW(combo, CB_GETLBTEXT, 21, reinterpret_cast<LPARAM>(text));
  EXPECT_STREQ(text, L"MicroSIP");
  SendMessageW(combo, CB_GETLBTEXT, 22, reinterpret_cast<LPARAM>(text));
  EXPECT_STREQ(text, L"Calling app (tel: link)");
  EXPECT_EQ(WindowText(Control(view::kAutoRunCheckBoxId)), "Automatically run");
  EXPECT_TRUE(Checked()) << "AutoRun defaults to on";
}

TEST_F(MainWindow, ASecondCopyEndsAtOnceAndLeavesTheFirstRunning) {
  Process& first = LaunchTelvaro();
  ASSERT_TRUE(first.Valid());
  const std::size_t callsBefore = HandsetCalls().size();
  ASSERT_TRUE(DeleteRegValue(Hive::LocalMachine, kRunKey, kRunValue));
  Process& second = Launch(kTelvaroExe);
  EXPECT_EQ(second.WaitForExit(), std::optional<DWORD>(0));
  EXPECT_TRUE(first.Running());
  EXPECT_EQ(HandsetCalls().size(), callsBefore) << "the second copy never calls the handset";
  EXPECT_FALSE(ReadRegString(Hive::LocalMachine, kRunKey, kRunValue))
      << "the second copy writes nothing to the registry";
}

TEST_F(MainWindow, PlugAndUnplugStartAndStopKeyScanning) {
  ASSERT_TRUE(LaunchTelvaro().Valid());
  ASSERT_NE(WaitForHandset(), nullptr);
  ASSERT_EQ(Handset("plug").result, 1);
  ASSERT_TRUE(WaitForLine(HandsetLogPath(), "StartKeyScan"));
  EXPECT_EQ(HandsetState("scanning"), std::optional<bool>(true));
  ASSERT_EQ(Handset("unplug").result, 1);
  ASSERT_TRUE(WaitForLineCount(HandsetLogPath(), 5));
  EXPECT_THAT(
      HandsetCalls(),
      ElementsAre("CloseDevice", "StartDeviceDetection(5120,5121,5122,5123,5124,5125,5126,5127)",
                  "StartKeyScan", "StopKeyScan", "CloseDevice"));
}

TEST_F(MainWindow, ExitSavesTheChoicesAndARestartReadsThemBack) {
  ASSERT_TRUE(WriteRegString(Hive::LocalMachine, kSettingsKey, "AutoRun", "0"));
  ASSERT_TRUE(WriteRegString(Hive::LocalMachine, kSettingsKey, "SkypeLanguage", "7"));
  Process& first = LaunchTelvaro();
  ASSERT_TRUE(first.Valid());
  EXPECT_FALSE(Checked());
  ChooseRow(5);
  SendMessageA(Control(view::kAutoRunCheckBoxId), BM_CLICK, 0, 0);
  ASSERT_TRUE(Checked());
  ClickMenu(view::kMenuExitId);
  ASSERT_EQ(first.WaitForExit(), std::optional<DWORD>(0));

  EXPECT_EQ(ReadRegString(Hive::LocalMachine, kSettingsKey, "CurrentAppIndex"), "5");
  EXPECT_EQ(ReadRegString(Hive::LocalMachine, kSettingsKey, "SkypeLanguage"), "7");
  EXPECT_EQ(ReadRegString(Hive::LocalMachine, kSettingsKey, "AutoRun"), "");
  // The build folder can be written by its user, so the entry is the user's, never the machine's.
  EXPECT_FALSE(ReadRegString(Hive::LocalMachine, kRunKey, kRunValue));
  const std::optional<std::string> run = ReadRegString(Hive::CurrentUser, kRunKey, kRunValue);
  ASSERT_TRUE(run);
  EXPECT_EQ(CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, run->c_str(), -1,
                           BinPath(kTelvaroExe).c_str(), -1),
            CSTR_EQUAL)
      << *run << " is the exe's full path";
  EXPECT_EQ(run->find('"'), std::string::npos);
  const std::vector<std::string> calls = HandsetCalls();
  ASSERT_GE(calls.size(), 3u);
  EXPECT_THAT(std::vector<std::string>(calls.end() - 3, calls.end()),
              ElementsAre("StopKeyScan", "StopBuzzer", "CloseDevice"));

  Process& second = Launch(kTelvaroExe);
  ASSERT_NE(WaitForWindow(kMainWindowClass, kMainWindowTitle, kDefaultTimeout, second.Id()),
            nullptr);
  EXPECT_TRUE(
      WaitUntil([&] { return SendMessageA(Control(view::kAppComboId), CB_GETCURSEL, 0, 0) == 5; }));
  EXPECT_TRUE(Checked());
}

TEST_F(MainWindow, ExitWithoutChangesWritesNothing) {
  ASSERT_TRUE(WriteRegString(Hive::LocalMachine, kSettingsKey, "CurrentAppIndex", "2"));
  Process& program = LaunchTelvaro();
  ASSERT_TRUE(program.Valid());
  ASSERT_TRUE(DeleteRegValue(Hive::LocalMachine, kRunKey, kRunValue));
  ASSERT_TRUE(DeleteRegValue(Hive::LocalMachine, kSettingsKey, "CurrentAppIndex"));
  ClickMenu(view::kMenuExitId);
  ASSERT_EQ(program.WaitForExit(), std::optional<DWORD>(0));
  EXPECT_FALSE(ReadRegString(Hive::LocalMachine, kSettingsKey, "CurrentAppIndex"));
  EXPECT_FALSE(ReadRegString(Hive::LocalMachine, kRunKey, kRunValue));
}

TEST_F(MainWindow, AStoredSettingOfTheWrongTypeDoesNotStopTheProgram) {
  ASSERT_TRUE(WriteRegDword(Hive::LocalMachine, kSettingsKey, "CurrentAppIndex", 3));
  Process& program = Launch(kTelvaroExe);
  ASSERT_NE(WaitForWindow(kMainWindowClass, kMainWindowTitle), nullptr);
  EXPECT_TRUE(program.Running());
  ClickMenu(view::kMenuExitId);
  EXPECT_EQ(program.WaitForExit(), std::optional<DWORD>(0));
}

}  // namespace
}  // namespace telvaro::e2e
