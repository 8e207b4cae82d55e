// PhonerLite against the real exe: the fake PhonerLite (fakeapp --phonerlite, started as
// PhonerLite.exe so that its process has PhonerLite's name) serves the command interface on
// 127.0.0.1:50600, keeps the call and logs every command.
#include <string>
#include <vector>

#include "../../tools/fakeapp/FakePhonerLite.h"
#include "FakeAppKeys.h"

namespace telvaro::e2e {
namespace {

using namespace fake;

constexpr int kPhonerLiteRow = 23;
constexpr char kRunning[] = "PhonerLite is running.";
constexpr char kCliOff[] = "PhonerLite runs, but its CLI access is off: turn it on in its options.";
constexpr char kNotRunning[] = "PhonerLite is not running.";
constexpr UINT kRing = WM_APP + 10;
constexpr UINT kFarHangsUp = WM_APP + 11;
constexpr Millis kStatusTimeout{10000};

void Press(int code) { ASSERT_EQ(Handset("press " + std::to_string(code)).result, 1) << code; }

bool Buzzing(bool on) {
  return WaitUntil([&] { return HandsetState("buzzer") == std::optional<bool>(on); }, kKeyTimeout);
}

// The fake's commands, without the state questions it does not log anyway.
std::vector<std::string> Commands(const std::string& log) {
  std::vector<std::string> commands;
  for (const std::string& line : ReadLines(log)) {
    if (line.rfind("command ", 0) == 0) commands.push_back(line.substr(8));
  }
  return commands;
}

class PhonerLiteE2e : public FakeAppTest {
 protected:
  void Start(const std::vector<std::string>& fault = {}, const char* status = kRunning) {
    const std::string exe = TempPath("PhonerLite.exe");
    ASSERT_TRUE(CopyFileA(BinPath(kFakeAppExe).c_str(), exe.c_str(), FALSE));
    fakeLog_ = TempPath("phonerlite.log");
    std::vector<std::string> args = {fakeapp::kPhonerLiteSwitch, "--log", fakeLog_};
    args.insert(args.end(), fault.begin(), fault.end());
    fake_ = &LaunchExe(exe, args);
    ASSERT_TRUE(WaitForLine(fakeLog_, "ready")) << "the fake PhonerLite never got ready";
    ASSERT_TRUE(WriteRegString(Hive::LocalMachine, kSettingsKey, "CurrentAppIndex",
                               std::to_string(kPhonerLiteRow)));
    ASSERT_TRUE(LaunchTelvaro().Valid());
    ASSERT_NO_FATAL_FAILURE(PlugHandset());
    if (status != nullptr) {
      ASSERT_TRUE(WaitForStatus(status, kStatusTimeout)) << StatusLine();
    }
  }

  void FarEnd(UINT what) {
    const HWND control = WaitForWindow(fakeapp::kPhonerLiteControlClass, nullptr);
    ASSERT_TRUE(PostMessageA(control, what, 0, 0));
  }
};

TEST_F(PhonerLiteE2e, DialsTheNumberWithSetNumberThenHookOffAndHangsUpWithHookOn) {
  ASSERT_NO_FATAL_FAILURE(Start());
  for (char key : std::string("5550100")) ASSERT_NO_FATAL_FAILURE(Press(Keypad(key).code));
  ASSERT_NO_FATAL_FAILURE(Press(kCallKey));
  ASSERT_TRUE(WaitForLine(fakeLog_, "call calling", kKeyTimeout));
  EXPECT_FALSE(Buzzing(true)) << "our own call does not ring the handset";
  ASSERT_NO_FATAL_FAILURE(Press(kHangUpKey));
  ASSERT_TRUE(WaitForLine(fakeLog_, "call none", kKeyTimeout));
  EXPECT_EQ(Commands(fakeLog_),
            (std::vector<std::string>{"SetNumber 5550100", "HookOff", "HookOn"}));
  EXPECT_EQ(StatusLine(), kRunning);
}

// The buzzer follows PhonerLite's call state: it rings while the call comes in and stops when the
// call key took it.
TEST_F(PhonerLiteE2e, RingsWhileACallComesInAndTheCallKeyAnswersIt) {
  ASSERT_NO_FATAL_FAILURE(Start());
  ASSERT_NO_FATAL_FAILURE(FarEnd(kRing));
  ASSERT_TRUE(Buzzing(true));
  ASSERT_NO_FATAL_FAILURE(Press(kCallKey));
  ASSERT_TRUE(WaitForLine(fakeLog_, "call active", kKeyTimeout));
  EXPECT_TRUE(Buzzing(false));
  ASSERT_NO_FATAL_FAILURE(Press(kHangUpKey));
  ASSERT_TRUE(WaitForLine(fakeLog_, "call none", kKeyTimeout));
  EXPECT_EQ(Commands(fakeLog_), (std::vector<std::string>{"HookOff", "HookOn"}));
}

// The hang-up key turns a ringing call away; a caller who gives up silences the buzzer too.
TEST_F(PhonerLiteE2e, TheHangUpKeyRefusesARingingCallAndAMissedCallStopsRinging) {
  ASSERT_NO_FATAL_FAILURE(Start());
  ASSERT_NO_FATAL_FAILURE(FarEnd(kRing));
  ASSERT_TRUE(Buzzing(true));
  ASSERT_NO_FATAL_FAILURE(Press(kHangUpKey));
  ASSERT_TRUE(WaitForLine(fakeLog_, "call none", kKeyTimeout));
  EXPECT_TRUE(Buzzing(false));
  ASSERT_NO_FATAL_FAILURE(FarEnd(kRing));
  ASSERT_TRUE(Buzzing(true));
  ASSERT_NO_FATAL_FAILURE(FarEnd(kFarHangsUp));
  EXPECT_TRUE(Buzzing(false));
  EXPECT_EQ(Commands(fakeLog_), (std::vector<std::string>{"HookOn"}));
}

// PhonerLite runs with its interface off: the status line says how to turn it on, and says
// "not running" once the program is gone.
TEST_F(PhonerLiteE2e, ARefusedConnectionSaysHowToTurnCliAccessOn) {
  ASSERT_NO_FATAL_FAILURE(Start({"--refuse"}, kCliOff));
  fake_->Kill();
  EXPECT_TRUE(WaitForStatus(kNotRunning, kStatusTimeout)) << StatusLine();
}

// A peer that never answers, or closes in the middle of every reply, leaves TELVARO responsive
// and the handset silent, and the connection is made anew. A stalled peer still gets the
// commands; a command that went into a connection the peer closed is lost, never sent twice.
struct Fault {
  const char* flag;
  const char* line;  // what the fake must log
};

class PhonerLiteFaultE2e : public PhonerLiteE2e, public testing::WithParamInterface<Fault> {};

TEST_P(PhonerLiteFaultE2e, BlocksNothingAndRingsNothing) {
  ASSERT_NO_FATAL_FAILURE(Start({GetParam().flag}, nullptr));
  ASSERT_NO_FATAL_FAILURE(Press(kHangUpKey));
  EXPECT_TRUE(WaitForLine(fakeLog_, GetParam().line, kKeyTimeout));
  DWORD_PTR answer = 0;
  EXPECT_NE(SendMessageTimeoutA(FindTopWindow(kMainWindowClass, nullptr), WM_NULL, 0, 0,
                                SMTO_ABORTIFHUNG, 2000, &answer),
            0)
      << "the window answers";
  EXPECT_FALSE(Buzzing(true));
}

INSTANTIATE_TEST_SUITE_P(PhonerLiteE2e, PhonerLiteFaultE2e,
                         testing::Values(Fault{"--stall", "command HookOn"},
                                         Fault{"--close-mid-reply", "reconnected"}));

}  // namespace
}  // namespace telvaro::e2e
