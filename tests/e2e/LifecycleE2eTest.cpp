// telvaro.exe's life on a real desktop: the session's end as Windows delivers it, a second start,
// resume from sleep, and the virtual handset when two processes load it.
#include <gmock/gmock.h>

#include <string>
#include <vector>

#include "../../src/shell/win32/ViewIds.h"
#include "E2e.h"

namespace telvaro::e2e {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

constexpr char kStartDetectionCall[] =
    "StartDeviceDetection(5120,5121,5122,5123,5124,5125,5126,5127)";
constexpr UINT kSessionTimeoutMs = 5000;  // what the system waits for an answer before it asks

class Lifecycle : public E2eTest {
 protected:
  void TearDown() override {
    E2eTest::TearDown();
    ResetSettings();
  }

  HWND Main(DWORD processId = 0) {
    return FindTopWindow(kMainWindowClass, kMainWindowTitle, processId);
  }

  void ChooseRow(int row) {
    HWND combo = GetDlgItem(Main(), view::kAppComboId);
    SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(row), 0);
    SendMessageA(Main(), WM_COMMAND, MAKEWPARAM(view::kAppComboId, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(combo));
  }

  void PlugIn(DWORD processId) {
    ASSERT_NE(WaitForHandset(processId), nullptr);
    ASSERT_EQ(Handset("plug", processId).result, 1);
    ASSERT_TRUE(WaitForLine(HandsetLogPath(), "StartKeyScan"));
  }

  // Sent the way the system sends it: synchronously, with a bound.
  std::optional<DWORD_PTR> SendWithTimeout(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    if (SendMessageTimeoutA(window, msg, wParam, lParam, SMTO_NORMAL, kSessionTimeoutMs, &result) ==
        0) {
      return std::nullopt;
    }
    return result;
  }
};

TEST_F(Lifecycle, TheSessionsEndStoresAChangedRowAndReleasesTheHandsetInOrder) {
  Process& program = LaunchTelvaro();
  ASSERT_TRUE(program.Valid());
  PlugIn(program.Id());
  ChooseRow(5);
  HWND main = Main();
  ASSERT_NE(main, nullptr);

  EXPECT_EQ(SendWithTimeout(main, WM_QUERYENDSESSION, 0, 0), std::optional<DWORD_PTR>(TRUE))
      << "answered at once, without a dialog";
  EXPECT_FALSE(ReadRegString(Hive::LocalMachine, kSettingsKey, "CurrentAppIndex"))
      << "asking is not ending";
  EXPECT_TRUE(SendWithTimeout(main, WM_ENDSESSION, TRUE, 0)) << "the handler returned";
  // Windows ends the process once WM_ENDSESSION returns; everything must be done by then.
  const std::vector<std::string> calls = HandsetCalls();
  const std::optional<std::string> row =
      ReadRegString(Hive::LocalMachine, kSettingsKey, "CurrentAppIndex");
  const std::optional<DWORD> exitCode = program.WaitForExit(Millis{3000});
  program.Kill();

  EXPECT_EQ(row, "5");
  EXPECT_THAT(calls, ElementsAre("CloseDevice", kStartDetectionCall, "StartKeyScan", "StopKeyScan",
                                 "StopBuzzer", "CloseDevice"));
  EXPECT_EQ(exitCode, std::optional<DWORD>(0)) << "and, left alone, it ends by itself";
  EXPECT_EQ(HandsetCalls(), calls) << "nothing more after the session's end";
}

// The setup program's road: the registered request ends the copy as "Exit" does, and says so.
TEST_F(Lifecycle, TheSetupProgramsExitRequestEndsTheCopyLikeExit) {
  Process& program = LaunchTelvaro();
  ASSERT_TRUE(program.Valid());
  PlugIn(program.Id());
  ChooseRow(5);
  const UINT exitRequest = RegisterWindowMessageA("TELVARO.Exit");
  EXPECT_EQ(SendWithTimeout(Main(), exitRequest, 0, static_cast<LPARAM>(GetCurrentProcessId())),
            std::optional<DWORD_PTR>(1));
  EXPECT_EQ(program.WaitForExit(), std::optional<DWORD>(0));
  EXPECT_EQ(ReadRegString(Hive::LocalMachine, kSettingsKey, "CurrentAppIndex"), "5");
  EXPECT_THAT(HandsetCalls(), ElementsAre("CloseDevice", kStartDetectionCall, "StartKeyScan",
                                          "StopKeyScan", "StopBuzzer", "CloseDevice"));
}

TEST_F(Lifecycle, ACancelledSessionEndKeepsTheProgramRunning) {
  Process& program = LaunchTelvaro();
  ASSERT_TRUE(program.Valid());
  const std::size_t callsBefore = HandsetCalls().size();
  EXPECT_EQ(SendWithTimeout(Main(), WM_QUERYENDSESSION, 0, 0), std::optional<DWORD_PTR>(TRUE));
  EXPECT_TRUE(SendWithTimeout(Main(), WM_ENDSESSION, FALSE, 0));
  EXPECT_FALSE(program.WaitForExit(Millis{500}));
  EXPECT_EQ(HandsetCalls().size(), callsBefore);
}

TEST_F(Lifecycle, ASecondStartShowsTheFirstCopysWindow) {
  Process& first = LaunchTelvaro();
  ASSERT_TRUE(first.Valid());
  HWND main = Main(first.Id());
  ASSERT_NE(main, nullptr);
  ASSERT_FALSE(IsWindowVisible(main)) << "in the notification area";
  Process& second = Launch(kTelvaroExe);
  EXPECT_EQ(second.WaitForExit(), std::optional<DWORD>(0));
  EXPECT_TRUE(WaitUntil([&] { return IsWindowVisible(main) != FALSE; }))
      << "the running copy shows its window";
  EXPECT_TRUE(first.Running());
  EXPECT_EQ(Main(), main) << "still the one main window";
}

// The handset library's detection runs once, at start-up: on resume only the HID devices are
// looked for again, and the library's handset keeps being scanned.
TEST_F(Lifecycle, ResumeFromSleepLeavesTheHandsetLibrarysDetectionAlone) {
  Process& program = LaunchTelvaro();
  ASSERT_TRUE(program.Valid());
  PlugIn(program.Id());
  EXPECT_EQ(SendWithTimeout(Main(), WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0),
            std::optional<DWORD_PTR>(TRUE));
  EXPECT_FALSE(WaitForLineCount(HandsetLogPath(), 4, Millis{1500}));
  EXPECT_THAT(HandsetCalls(), ElementsAre("CloseDevice", kStartDetectionCall, "StartKeyScan"));
  EXPECT_EQ(HandsetState("scanning", program.Id()), std::optional<bool>(true));
}

TEST_F(Lifecycle, HandsetctlDrivesTelvarosHandsetWhenTwoProcessesLoadIt) {
  Process& telvaro = LaunchTelvaro();
  ASSERT_TRUE(telvaro.Valid());
  ASSERT_NE(WaitForHandset(telvaro.Id()), nullptr);
  Process& host = LaunchHandsetHost();
  ASSERT_TRUE(host.Valid());

  RunResult plug = e2e::Run(BinPath(kHandsetCtlExe), {"plug"});
  EXPECT_EQ(plug.exitCode, std::optional<DWORD>(0)) << plug.output;
  EXPECT_EQ(plug.output.substr(0, 1), "1") << plug.output;
  EXPECT_THAT(plug.output, HasSubstr("process " + std::to_string(telvaro.Id()) + " (TELVARO)"));
  EXPECT_EQ(HandsetState("plugged", telvaro.Id()), std::optional<bool>(true));
  EXPECT_EQ(HandsetState("plugged", host.Id()), std::optional<bool>(false));

  RunResult other = e2e::Run(BinPath(kHandsetCtlExe), {"--pid", std::to_string(host.Id()), "plug"});
  EXPECT_EQ(other.exitCode, std::optional<DWORD>(0)) << other.output;
  EXPECT_EQ(HandsetState("plugged", host.Id()), std::optional<bool>(true));

  RunResult nobody = e2e::Run(BinPath(kHandsetCtlExe), {"--pid", "1", "plugged"});
  EXPECT_EQ(nobody.exitCode, std::optional<DWORD>(2)) << nobody.output;
}

}  // namespace
}  // namespace telvaro::e2e
