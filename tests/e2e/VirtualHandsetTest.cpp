// The virtual handset (CM_HID.dll) loaded by handsethost.exe, a small program that uses it the
// way telvaro.exe does, and driven from outside as the tests of the product will drive it.
#include <gmock/gmock.h>

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

#include "E2e.h"

namespace telvaro::e2e {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

constexpr char kStartDetectionCall[] =
    "StartDeviceDetection(5120,5121,5122,5123,5124,5125,5126,5127)";
constexpr Millis kQuietPeriod{300};  // long enough for a wrongly posted report to show up

class VirtualHandset : public E2eTest {
 protected:
  void SetUp() override {
    E2eTest::SetUp();
    host_ = &LaunchHandsetHost();
    ASSERT_TRUE(host_->Valid());
  }

  HandsetReply Send(std::string_view command) { return Handset(command, host_->Id()); }
  std::optional<bool> State(std::string_view query) { return HandsetState(query, host_->Id()); }

  // Calls one export of CM_HID.dll inside handsethost ("StartBuzzer", "StopKeyScan" ...).
  LRESULT CallInHost(std::string_view exportCall) {
    HWND window = FindTopWindow(kHandsetHostClass, nullptr, host_->Id());
    std::string text(exportCall);
    COPYDATASTRUCT data{0, static_cast<DWORD>(text.size() + 1), text.data()};
    DWORD_PTR result = 0;
    EXPECT_NE(SendMessageTimeoutA(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data),
                                  SMTO_ABORTIFHUNG, 5000, &result),
              0)
        << exportCall;
    return static_cast<LRESULT>(result);
  }

  LRESULT SendRaw(const void* bytes, DWORD size) {
    COPYDATASTRUCT data{0, size, const_cast<void*>(bytes)};
    DWORD_PTR result = 0;
    SendMessageTimeoutA(WaitForHandset(host_->Id()), WM_COPYDATA, 0,
                        reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG, 5000, &result);
    return static_cast<LRESULT>(result);
  }

  void PlugIn() {
    ASSERT_EQ(Send("plug").result, 1);
    ASSERT_TRUE(WaitForLine(HostLogPath(), "arrival"));
    ASSERT_TRUE(WaitUntil([&] { return State("scanning") == true; }));
  }

  std::vector<std::string> HostMessages() const { return ReadLines(HostLogPath()); }

  Process* host_ = nullptr;
};

TEST_F(VirtualHandset, ReportsKeysOnlyWhileKeyScanningRuns) {
  EXPECT_EQ(State("plugged"), false);
  EXPECT_EQ(Send("press 6").result, 0) << "no handset plugged in yet";

  PlugIn();
  EXPECT_EQ(Send("press 6").result, 1);
  ASSERT_TRUE(WaitForLine(HostLogPath(), "keyup 6"));

  EXPECT_EQ(CallInHost("StopKeyScan"), 1);
  EXPECT_EQ(State("scanning"), false);
  EXPECT_EQ(Send("down 7").result, 0);
  EXPECT_EQ(CallInHost("StartKeyScan"), 1);
  EXPECT_EQ(Send("down 7").result, 1);
  EXPECT_EQ(Send("up 7").result, 1);
  ASSERT_TRUE(WaitForLine(HostLogPath(), "keyup 7"));

  EXPECT_EQ(Send("unplug").result, 1);
  ASSERT_TRUE(WaitForLine(HostLogPath(), "removal"));
  EXPECT_EQ(State("plugged"), false);
  EXPECT_EQ(State("scanning"), false);
  EXPECT_EQ(Send("press 6").result, 0);
  EXPECT_EQ(Send("unplug").result, 0) << "a second removal of the same handset";

  EXPECT_FALSE(WaitForLineCount(HostLogPath(), 7, kQuietPeriod));
  EXPECT_THAT(HostMessages(),
              ElementsAre("arrival", "keydown 6", "keyup 6", "keydown 7", "keyup 7", "removal"));
  // The host answers arrival with StartKeyScan and removal with StopKeyScan, CloseDevice.
  EXPECT_THAT(HandsetCalls(),
              ElementsAre("CloseDevice", kStartDetectionCall, "StartKeyScan", "StopKeyScan",
                          "StartKeyScan", "StopKeyScan", "CloseDevice"));
}

TEST_F(VirtualHandset, BuzzerSoundsFromStartToStopWhileAHandsetIsPlugged) {
  struct Step {
    bool inHost;  // an export call inside the host, else a handset command
    std::string_view action;
    bool buzzing;
  };
  const std::vector<Step> steps = {
      {true, "StartBuzzer", false},  // nothing plugged in: nothing to sound
      {false, "plug", false},       {true, "StartBuzzer", true}, {true, "StartBuzzer", true},
      {true, "StopBuzzer", false},  {true, "StopBuzzer", false}, {true, "StartBuzzer", true},
      {true, "CloseDevice", false}, {true, "StartBuzzer", true}, {false, "unplug", false},
  };
  for (const Step& step : steps) {
    if (step.inHost) {
      CallInHost(step.action);
    } else {
      EXPECT_EQ(Send(step.action).result, 1) << step.action;
    }
    EXPECT_EQ(State("buzzer"), step.buzzing) << "after " << step.action;
  }
}

TEST_F(VirtualHandset, HoldReleasesTheKeyAfterItsTime) {
  PlugIn();
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Send("hold 1 500").result, 1);
  ASSERT_TRUE(WaitForLine(HostLogPath(), "keydown 1"));
  EXPECT_FALSE(WaitForLine(HostLogPath(), "keyup 1", Millis(200)));
  ASSERT_TRUE(WaitForLine(HostLogPath(), "keyup 1"));
  EXPECT_GE(std::chrono::steady_clock::now() - start, Millis(450));

  // A key still held when scanning stops is never released to the program.
  EXPECT_EQ(Send("hold 2 300").result, 1);
  ASSERT_TRUE(WaitForLine(HostLogPath(), "keydown 2"));
  CallInHost("StopKeyScan");
  EXPECT_FALSE(WaitForLine(HostLogPath(), "keyup 2", Millis(700)));
}

TEST_F(VirtualHandset, RejectsMalformedCommandsWithoutActing) {
  for (std::string_view command : {"", "jump", "PLUG", "plug now", "press", "press 0", "press 17",
                                   "press 1 2", "down -3", "hold 1", "hold 1 70000", "buzzer on"}) {
    EXPECT_EQ(Send(command).status, HandsetStatus::Rejected) << '"' << command << '"';
  }
  EXPECT_EQ(SendRaw(nullptr, 0), -1);
  EXPECT_EQ(State("plugged"), false);
  EXPECT_TRUE(HostMessages().empty());

  // The text is bound by the size sent: no terminator needed, and bytes past it are ignored.
  const char unterminated[] = {'p', 'l', 'u', 'g', ' ', 'x'};
  EXPECT_EQ(SendRaw(unterminated, 4), 1);
  EXPECT_EQ(State("plugged"), true);
}

TEST_F(VirtualHandset, LogsDeviceChangesAndTheShutdownOrder) {
  EXPECT_EQ(CallInHost("HandleUsbDeviceChange 0x7 0"), 0);
  EXPECT_EQ(CallInHost("HandleUsbDeviceChange 32768 0x1234abcd"), 0);
  PostMessageA(FindTopWindow(kHandsetHostClass, nullptr, host_->Id()), WM_CLOSE, 0, 0);
  EXPECT_EQ(host_->WaitForExit(), 0u);
  EXPECT_THAT(HandsetCalls(),
              ElementsAre("CloseDevice", kStartDetectionCall, "HandleUsbDeviceChange(0x7,0x0)",
                          "HandleUsbDeviceChange(0x8000,0x1234abcd)", "StopKeyScan", "StopBuzzer",
                          "CloseDevice"));
}

TEST_F(VirtualHandset, HandsetctlDrivesTheHandsetFromTheCommandLine) {
  struct Case {
    std::vector<std::string> args;
    DWORD exitCode;
    std::string_view firstLine;
  };
  const std::vector<Case> cases = {
      {{"plugged"}, 0, "0"},      {{"plug"}, 0, "1"},       {{"plugged"}, 0, "1"},
      {{"scanning"}, 0, "1"},     {{"press", "9"}, 0, "1"}, {{"hold", "3", "50"}, 0, "1"},
      {{"press", "17"}, 1, "-1"}, {{"bogus"}, 1, "-1"},     {{}, 1, "usage:"},
  };
  for (const Case& c : cases) {
    // The plug command must have been answered before the scan query below.
    if (c.args == std::vector<std::string>{"scanning"}) {
      ASSERT_TRUE(WaitForLine(HostLogPath(), "arrival"));
      ASSERT_TRUE(WaitUntil([&] { return State("scanning") == true; }));
    }
    RunResult run = e2e::Run(BinPath(kHandsetCtlExe), c.args);
    std::string joined = ::testing::PrintToString(c.args);
    EXPECT_EQ(run.exitCode, c.exitCode) << joined << "\n" << run.output;
    EXPECT_EQ(run.output.substr(0, c.firstLine.size()), c.firstLine) << joined;
  }
  EXPECT_TRUE(WaitForLine(HostLogPath(), "keyup 3"));
  EXPECT_THAT(HostMessages(),
              ElementsAreArray({"arrival", "keydown 9", "keyup 9", "keydown 3", "keyup 3"}));
}

// Runs without a host: no control window anywhere.
TEST(VirtualHandsetAbsent, HandsetctlSaysSoWithExitCodeTwo) {
  KillStrayPrograms();
  RunResult run = e2e::Run(BinPath(kHandsetCtlExe), {"plugged"});
  EXPECT_EQ(run.exitCode, 2u) << run.output;
}

}  // namespace
}  // namespace telvaro::e2e
