// Today's softphones against the real exe: MicroSIP (the fake one) driven by command lines and
// telling its call events through `telvaro.exe --call`, and a tel: link opened through the shell
// with a handler registered for the user in this prefix.
#include <algorithm>
#include <string>
#include <vector>

#include "../../tools/fakeapp/FakeAppCommands.h"
#include "FakeAppKeys.h"

namespace telvaro::e2e {
namespace {

using namespace fake;

constexpr int kMicroSipRow = 21;
constexpr int kTelLinkRow = 22;
constexpr char kMicroSipRunning[] = "MicroSIP is running.";
constexpr Millis kHookTimeout{20000};  // a hook starts a Wine process and waits for it

std::string Command(const std::string& text) {
  return "main WM_COPYDATA dwData=0x1 " + Quoted(text);
}

// The fake's lines that say what TELVARO sent: its command lines, in order.
std::vector<std::string> Commands(const std::string& log) {
  std::vector<std::string> commands;
  for (const std::string& line : ReadLines(log)) {
    if (line.rfind("main WM_COPYDATA", 0) == 0) commands.push_back(line);
  }
  return commands;
}

void Press(int code) { ASSERT_EQ(Handset("press " + std::to_string(code)).result, 1) << code; }

void Dial(const std::string& keys) {
  for (char key : keys) ASSERT_NO_FATAL_FAILURE(Press(Keypad(key).code));
}

bool Buzzing(bool on, Millis timeout = kKeyTimeout) {
  return WaitUntil([&] { return HandsetState("buzzer") == std::optional<bool>(on); }, timeout);
}

class MicroSipE2e : public FakeAppTest {
 protected:
  // The fake MicroSIP with the microsip.ini lines the README gives (hooks), telvaro with the
  // MicroSIP row stored, and the handset plugged in.
  void Start(bool hooks = true) {
    std::vector<std::string> args;
    if (hooks) {
      ini_ = TempPath("microsip.ini");
      const std::string exe = "\"" + BinPath(kTelvaroExe) + "\"";
      const std::string text = "[Settings]\r\ncmdCallRing=" + exe + " --call ring\r\n" +
                               "cmdCallStart=" + exe + " --call up\r\n" + "cmdCallEnd=" + exe +
                               " --call end\r\n" + "cmdCallBusy=" + exe + " --call end\r\n";
      HANDLE file = CreateFileA(ini_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
      ASSERT_NE(file, INVALID_HANDLE_VALUE);
      DWORD written = 0;
      WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
      CloseHandle(file);
      args = {"--ini", ini_};
    }
    ASSERT_NO_FATAL_FAILURE(StartFake("|", args));
    ASSERT_TRUE(WriteRegString(Hive::LocalMachine, kSettingsKey, "CurrentAppIndex",
                               std::to_string(kMicroSipRow)));
    ASSERT_TRUE(LaunchTelvaro().Valid());
    ASSERT_NO_FATAL_FAILURE(PlugHandset());
    ASSERT_TRUE(WaitForStatus(kMicroSipRunning)) << StatusLine();
  }

  void FarEnd(unsigned what) {
    const UINT message = RegisterWindowMessageA(fakeapp::kFarEndMessageName);
    ASSERT_TRUE(PostMessageA(FakeWindow("MicroSIP - fakeuser"), message, what, 0));
  }

  // The hook's line, and that it returned at once (MicroSIP waits for it).
  void ExpectHook(const std::string& name) {
    ASSERT_TRUE(WaitForLineContaining(fakeLog_, "hook " + name + " ", kHookTimeout))
        << name << " never ran";
    for (const std::string& line : ReadLines(fakeLog_)) {
      if (line.rfind("hook " + name + " ", 0) != 0) continue;
      EXPECT_EQ(line.rfind("hook " + name + " exit 0 after ", 0), 0u) << line;
    }
  }

  std::string ini_;
};

TEST_F(MicroSipE2e, DialsTheNumberAndSendsTonesOnceTheCallIsUp) {
  ASSERT_NO_FATAL_FAILURE(Start());
  ASSERT_NO_FATAL_FAILURE(Dial("5550100"));
  Sleep(static_cast<DWORD>(kQuiet.count()));
  EXPECT_TRUE(Commands(fakeLog_).empty()) << "the digits wait in TELVARO's own buffer";
  ASSERT_NO_FATAL_FAILURE(Press(kCallKey));
  ASSERT_NO_FATAL_FAILURE(ExpectHook("cmdCallStart"));
  ASSERT_NO_FATAL_FAILURE(Dial("5*#"));
  ASSERT_TRUE(WaitForLine(fakeLog_, Command("/dtmf:#")));
  ASSERT_NO_FATAL_FAILURE(Press(kHangUpKey));
  ASSERT_NO_FATAL_FAILURE(ExpectHook("cmdCallEnd"));
  ASSERT_NO_FATAL_FAILURE(Press(kCallKey));
  ASSERT_TRUE(WaitForLine(fakeLog_, Command("/answer"))) << "nothing dialled: the key answers";
  EXPECT_EQ(
      Commands(fakeLog_),
      (std::vector<std::string>{Command("5550100"), Command("/dtmf:5"), Command("/dtmf:*"),
                                Command("/dtmf:#"), Command("/hangupall"), Command("/answer")}));
  EXPECT_EQ(StatusLine(), kMicroSipRunning);
}

// A call rings: the hook's `--call ring` starts the buzzer, the call key answers, MicroSIP's
// `--call up` silences it; the hang-up key ends the call.
TEST_F(MicroSipE2e, RingsUntilAnsweredAndHangsUp) {
  ASSERT_NO_FATAL_FAILURE(Start());
  ASSERT_NO_FATAL_FAILURE(Dial("12"));  // a number begun before the call comes in
  ASSERT_NO_FATAL_FAILURE(FarEnd(fakeapp::kCallRings));
  ASSERT_NO_FATAL_FAILURE(ExpectHook("cmdCallRing"));
  EXPECT_TRUE(Buzzing(true)) << "--call ring";
  ASSERT_NO_FATAL_FAILURE(Press(kCallKey));
  ASSERT_TRUE(WaitForLine(fakeLog_, Command("/answer"))) << "a ringing call is answered";
  ASSERT_NO_FATAL_FAILURE(ExpectHook("cmdCallStart"));
  EXPECT_TRUE(Buzzing(false)) << "--call up";
  ASSERT_NO_FATAL_FAILURE(Dial("7"));
  ASSERT_TRUE(WaitForLine(fakeLog_, Command("/dtmf:7")));
  ASSERT_NO_FATAL_FAILURE(Press(kHangUpKey));
  ASSERT_NO_FATAL_FAILURE(ExpectHook("cmdCallEnd"));
  EXPECT_EQ(Commands(fakeLog_), (std::vector<std::string>{Command("/answer"), Command("/dtmf:7"),
                                                          Command("/hangupall")}));
}

// The far end gives up before the call is answered: `--call end` silences the buzzer.
TEST_F(MicroSipE2e, AMissedCallStopsRinging) {
  ASSERT_NO_FATAL_FAILURE(Start());
  ASSERT_NO_FATAL_FAILURE(FarEnd(fakeapp::kCallRings));
  ASSERT_NO_FATAL_FAILURE(ExpectHook("cmdCallRing"));
  ASSERT_TRUE(Buzzing(true));
  ASSERT_NO_FATAL_FAILURE(FarEnd(fakeapp::kCallHungUp));
  ASSERT_NO_FATAL_FAILURE(ExpectHook("cmdCallEnd"));
  EXPECT_TRUE(Buzzing(false));
  EXPECT_TRUE(Commands(fakeLog_).empty());
}

// Bad arguments are refused with the usage text and exit code 2, and nothing reaches the running
// copy: its buzzer never starts.
TEST_F(MicroSipE2e, ABadCallSwitchIsRefusedAndReachesNothing) {
  ASSERT_NO_FATAL_FAILURE(Start(false));
  const std::vector<std::vector<std::string>> bad = {
      {"--call", "loud"}, {"--call"}, {"--ring"}, {"--call", "RING", "+1555"}};
  for (const std::vector<std::string>& args : bad) {
    const RunResult run = e2e::Run(BinPath(kTelvaroExe), args);
    EXPECT_EQ(run.exitCode, std::optional<DWORD>(2)) << args[0];
    EXPECT_NE(run.output.find("usage: telvaro.exe"), std::string::npos) << run.output;
  }
  Sleep(static_cast<DWORD>(kQuiet.count()));
  const std::vector<std::string> calls = HandsetCalls();
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "StartBuzzer"), 0);
  EXPECT_EQ(FindTopWindow(kMainWindowClass, kMainWindowTitle) != nullptr, true);
  // A good one with the caller appended, as MicroSIP runs it (blanks and all), is taken and
  // returns at once.
  const RunResult ring =
      e2e::Run(BinPath(kTelvaroExe), {"--call", "ring", "Alice", "Smith", "+15550100"});
  EXPECT_EQ(ring.exitCode, std::optional<DWORD>(0)) << ring.output;
  EXPECT_TRUE(Buzzing(true));
  EXPECT_EQ(e2e::Run(BinPath(kTelvaroExe), {"--call", "end"}).exitCode, std::optional<DWORD>(0));
  EXPECT_TRUE(Buzzing(false));
}

// A WM_COPYDATA that is not a command line (another dwData) is ignored, as MicroSIP ignores it:
// the fake answers FALSE and acts on nothing.
TEST_F(MicroSipE2e, TheFakeIgnoresAForeignCopyData) {
  ASSERT_NO_FATAL_FAILURE(Start());
  const std::wstring text = L"/answer";
  COPYDATASTRUCT data{2, static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)),
                      const_cast<wchar_t*>(text.c_str())};
  DWORD_PTR reply = 1;
  ASSERT_NE(SendMessageTimeoutW(FakeWindow("MicroSIP - fakeuser"), WM_COPYDATA, 0,
                                reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG, 5000, &reply),
            0);
  EXPECT_EQ(reply, static_cast<DWORD_PTR>(FALSE));
  EXPECT_TRUE(WaitForLine(fakeLog_, "main WM_COPYDATA dwData=0x2 ignored"));
  ASSERT_NO_FATAL_FAILURE(FarEnd(fakeapp::kCallRings));
  ASSERT_NO_FATAL_FAILURE(ExpectHook("cmdCallRing"));
  EXPECT_FALSE(WaitForLineContaining(fakeLog_, "hook cmdCallStart", kQuiet))
      << "the foreign /answer answered nothing";
}

class CallSwitchE2e : public E2eTest {};

// With no copy running the switch starts none: it ends at once with a non-zero code, shows no
// window and never loads the handset library.
TEST_F(CallSwitchE2e, WithNoRunningCopyItFailsAndStartsNothing) {
  const RunResult run =
      e2e::Run(BinPath(kTelvaroExe), {"--call", "ring"}, {{kHandsetLogVariable, HandsetLogPath()}});
  ASSERT_TRUE(run.exitCode.has_value()) << "it did not end by itself";
  EXPECT_NE(*run.exitCode, 0u);
  EXPECT_NE(*run.exitCode, 2u) << "a good switch is not a usage error";
  EXPECT_EQ(FindTopWindow(kMainWindowClass, kMainWindowTitle), nullptr);
  EXPECT_TRUE(HandsetCalls().empty());
  EXPECT_FALSE(ReadRegString(Hive::LocalMachine, kSettingsKey, "CurrentAppIndex"));
  // The next ordinary start is not mistaken for a second copy.
  EXPECT_TRUE(LaunchTelvaro().Valid());
}

// ---- tel: links ---------------------------------------------------------------------------------

// The user's own tel: handler. Wine 8 does not merge the user's classes into HKEY_CLASSES_ROOT
// as Windows does, so under Wine the same handler goes to the machine's classes too (of this
// build's registry view, which is the one telvaro.exe of this build reads).
constexpr char kTelKey[] = "Software\\Classes\\tel";

std::vector<HKEY> HandlerRoots() {
  if (UnderWine()) return {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE};
  return {HKEY_CURRENT_USER};
}

bool SetDefault(HKEY root, const std::string& key, const char* name, const std::string& value) {
  HKEY opened = nullptr;
  if (RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &opened, nullptr) !=
      ERROR_SUCCESS) {
    return false;
  }
  const LONG status =
      RegSetValueExA(opened, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                     static_cast<DWORD>(value.size() + 1));
  RegCloseKey(opened);
  return status == ERROR_SUCCESS;
}

class TelLinkE2e : public FakeAppTest {
 protected:
  void TearDown() override {
    RemoveHandler();
    FakeAppTest::TearDown();
  }

  static void RemoveHandler() {
    for (HKEY root : HandlerRoots()) RegDeleteTreeA(root, kTelKey);
  }

  void RegisterHandler() {
    const std::string command =
        "\"" + BinPath(kFakeAppExe) + "\" --tel-link \"" + linkLog_ + "\" \"%1\"";
    for (HKEY root : HandlerRoots()) {
      ASSERT_TRUE(SetDefault(root, kTelKey, nullptr, "URL:tel"));
      ASSERT_TRUE(SetDefault(root, kTelKey, "URL Protocol", ""));
      ASSERT_TRUE(
          SetDefault(root, std::string(kTelKey) + "\\shell\\open\\command", nullptr, command));
    }
  }

  std::string linkLog_ = TempPath("links.log");
};

TEST_F(TelLinkE2e, TheNumberWithPlusStarAndHashReachesTheHandler) {
  RemoveHandler();
  ASSERT_TRUE(WriteRegString(Hive::LocalMachine, kSettingsKey, "CurrentAppIndex",
                             std::to_string(kTelLinkRow)));
  ASSERT_TRUE(LaunchTelvaro().Valid());
  ASSERT_NO_FATAL_FAILURE(PlugHandset());
  EXPECT_TRUE(WaitForStatus("Calling app (tel: link) is not running.")) << StatusLine();
  ASSERT_NO_FATAL_FAILURE(RegisterHandler());
  // The next presence poll finds the handler.
  ASSERT_TRUE(WaitForStatus("Calling app (tel: link) is running.", Millis{8000})) << StatusLine();

  ASSERT_EQ(Handset("hold 8 1600").result, 1);  // a long 0: "+"
  Sleep(2200);
  ASSERT_NO_FATAL_FAILURE(Dial("49*30#"));
  ASSERT_NO_FATAL_FAILURE(Press(kCallKey));
  ASSERT_TRUE(WaitForLineContaining(linkLog_, "link ", kHookTimeout)) << "no app took the link";
  // "#" escaped, so that it does not start the link's fragment.
  EXPECT_EQ(ReadLines(linkLog_), (std::vector<std::string>{"link \"tel:+49*30%23\""}));
  // The number went with the link: another press opens nothing.
  ASSERT_NO_FATAL_FAILURE(Press(kCallKey));
  Sleep(2000);
  EXPECT_EQ(ReadLines(linkLog_).size(), 1u);
}

}  // namespace
}  // namespace telvaro::e2e
