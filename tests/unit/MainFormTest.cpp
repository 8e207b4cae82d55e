#include <gtest/gtest.h>

#include <algorithm>

#include "TestProgram.h"
#include "shell/CallSwitch.h"

namespace telvaro {
namespace {

using sim::TestProgram;
constexpr Hkey kHklm = win::HKEY_LOCAL_MACHINE;
constexpr Hkey kHkcu = win::HKEY_CURRENT_USER;
constexpr const char* kSettings = "SOFTWARE\\Dialbridge";
constexpr const char* kRun = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
// The Run value of the simulated exe path: quoted, as the path has a blank.
constexpr const char* kExeRun = "\"C:\\Program Files\\TELVARO\\telvaro.exe\"";

// Index of the first trace line that starts with `prefix`, or -1.
int IndexOf(const std::vector<std::string>& trace, const std::string& prefix) {
  auto it = std::find_if(trace.begin(), trace.end(),
                         [&](const std::string& line) { return line.rfind(prefix, 0) == 0; });
  return it == trace.end() ? -1 : static_cast<int>(it - trace.begin());
}

int CountPrefix(const std::vector<std::string>& trace, const std::string& prefix) {
  return static_cast<int>(std::count_if(
      trace.begin(), trace.end(), [&](const std::string& l) { return l.rfind(prefix, 0) == 0; }));
}

TEST(FormCreate, RunsItsStepsInTheFixedOrder) {
  TestProgram p(false);
  p.form.FormCreate();
  const auto& trace = p.desktop.Trace();
  const int readSettings = IndexOf(trace, "RegQueryValueExA(\"CurrentAppIndex\")");
  const int writeRun = IndexOf(trace, "RegSetValueExW(\"Dialbridge\"");
  const int findSkype = IndexOf(trace, "EnumWindows");
  const int discover = IndexOf(trace, "SendNotifyMessageA(HWND_BROADCAST");
  const int close = IndexOf(trace, "handset.CloseDevice");
  const int detect = IndexOf(trace, "handset.StartDeviceDetection");
  ASSERT_GE(readSettings, 0);
  EXPECT_LT(readSettings, writeRun);
  EXPECT_LT(writeRun, findSkype) << "the Run entry is reconciled before the selection";
  EXPECT_LT(findSkype, discover);
  EXPECT_LT(discover, close) << "the selection runs before handset detection";
  EXPECT_EQ(close + 1, detect);
  EXPECT_EQ(p.handset.calls.back(),
            "StartDeviceDetection(5120,5121,5122,5123,5124,5125,5126,5127)");
  EXPECT_EQ(p.handset.detectionWindow, p.view.MainWindowHandle());
  EXPECT_EQ(CountPrefix(trace, "SendNotifyMessageA(HWND_BROADCAST"), 1)
      << "the selection handler runs exactly once";
}

TEST(FormCreate, FirstStartTicksAutoRunWritesTheRunEntryAndSelectsSkype) {
  TestProgram p(false);
  p.form.FormCreate();
  EXPECT_TRUE(p.view.autoRun);
  EXPECT_EQ(p.desktop.RegString(kHklm, kRun, "Dialbridge"), kExeRun);
  ASSERT_EQ(p.view.items.size(), 25u);
  EXPECT_EQ(p.view.items.front(), "Skype");
  EXPECT_EQ(p.view.items[20], "PCPhone");
  EXPECT_EQ(p.view.items[22], "Calling app (tel: link)");
  EXPECT_EQ(p.view.items[23], "PhonerLite");
  EXPECT_EQ(p.view.items.back(), "Linphone");
  EXPECT_EQ(p.view.selected, 0);
  EXPECT_EQ(p.form.CurrentAppCode, 'w');
  EXPECT_EQ(p.form.FTargetClass, "tSkMainForm.UnicodeClass");
  EXPECT_EQ(p.form.FTargetTitle, "") << "Skype's title is learned; never found yet";
  ASSERT_NE(p.form.FSkype, nullptr);
  EXPECT_TRUE(p.view.Hooked());
}

TEST(FormCreate, StoredSelectionSetsTheTargetFromItsRow) {
  struct Case {
    const char* stored;
    int row;
    std::int32_t code;
    const char* title;
    const char* className;
  } cases[] = {
      {"4", 4, 'n', "X-PRO engin Login", "XscSIPClientWndProcClass"},
      {"20", 20, '{', "PCPhone", ""},
      {"14", 14, 'r', "Call Center", "YAlertClass"},
      {"21", 21, '|', "MicroSIP", "MicroSIP"},
      {"22", 22, '}', "Calling app (tel: link)", ""},
      {"23", 23, '~', "PhonerLite", ""},
      {"24", 24, 0x7F, "Linphone", ""},
      {"25", 0, 'w', "", "tSkMainForm.UnicodeClass"},
      {"-1", 0, 'w', "", "tSkMainForm.UnicodeClass"},
      {"$7FFFFFFF", 0, 'w', "", "tSkMainForm.UnicodeClass"},
  };
  for (const Case& c : cases) {
    TestProgram p(false);
    p.desktop.SetRegString(kHklm, kSettings, "CurrentAppIndex", c.stored);
    p.form.FormCreate();
    EXPECT_EQ(p.view.selected, c.row) << c.stored;
    EXPECT_EQ(p.form.FAppIndex, c.row) << c.stored;
    EXPECT_EQ(p.form.CurrentAppCode, c.code) << c.stored;
    EXPECT_EQ(p.form.FTargetTitle, c.title) << c.stored;
    EXPECT_EQ(p.form.FTargetClass, c.className) << c.stored;
    EXPECT_EQ(p.handset.Count("CloseDevice"), 1) << c.stored << ": start-up went to the end";
  }
}

TEST(FormCreate, AnUnreadableSettingEndsStartUpSilently) {
  TestProgram p(false);
  p.desktop.SetRegRaw(kHklm, kSettings, "CurrentAppIndex", win::REG_DWORD, {3, 0, 0, 0});
  EXPECT_NO_THROW(p.form.FormCreate());
  EXPECT_TRUE(p.handset.calls.empty()) << "handset detection is not started";
  EXPECT_TRUE(p.view.items.empty());
  EXPECT_NE(p.form.FSkype, nullptr) << "the steps before the failing one ran";
}

TEST(FormClose, WritesNothingWhenNothingChanged) {
  TestProgram p;
  p.form.FormClose();
  EXPECT_EQ(CountPrefix(p.desktop.Trace(), "RegSetValueEx"), 0);
  EXPECT_EQ(CountPrefix(p.desktop.Trace(), "RegDeleteValueA"), 0);
  EXPECT_EQ(p.desktop.RegValueCount(kHklm, kSettings), 0u);
}

TEST(FormClose, WritesAllThreeSettingsWhenOnlyTheSelectionChanged) {
  TestProgram p(false);
  p.desktop.SetRegString(kHklm, kSettings, "SkypeLanguage", "2");
  p.form.FormCreate();
  p.desktop.SetRegString(kHklm, kRun, "Dialbridge", "D:\\moved\\telvaro.exe");
  p.Select(9);
  p.form.FormClose();
  EXPECT_EQ(p.desktop.RegString(kHklm, kSettings, "CurrentAppIndex"), "9");
  EXPECT_EQ(p.desktop.RegString(kHklm, kSettings, "SkypeLanguage"), "2");
  EXPECT_TRUE(p.desktop.HasRegValue(kHklm, kSettings, "AutoRun"));
  EXPECT_EQ(p.desktop.RegString(kHklm, kSettings, "AutoRun"), "");
  EXPECT_EQ(p.desktop.RegString(kHklm, kRun, "Dialbridge"), kExeRun)
      << "the Run entry is re-applied from the check box";
}

TEST(FormClose, UntickingAutoRunRemovesOurRunEntry) {
  TestProgram p;
  p.view.autoRun = false;
  p.form.FormClose();
  EXPECT_FALSE(p.desktop.HasRegValue(kHklm, kRun, "Dialbridge"));
  EXPECT_EQ(p.desktop.RegString(kHklm, kSettings, "AutoRun"), "0");
  EXPECT_EQ(p.desktop.RegString(kHklm, kSettings, "CurrentAppIndex"), "0");
}

TEST(FormClose, KeepsTheUsersChoiceWhereTheMachineKeyIsReadOnly) {
  TestProgram p(false);
  p.desktop.DenyFullAccess(kHklm);
  p.form.FormCreate();
  p.Select(3);
  p.form.FormClose();
  EXPECT_EQ(p.desktop.RegString(kHkcu, kSettings, "CurrentAppIndex"), "3");
  EXPECT_EQ(p.desktop.RegString(kHkcu, kRun, "Dialbridge"), kExeRun);
  TestProgram restarted(false);
  restarted.desktop.CopyRegistryFrom(p.desktop);
  restarted.form.FormCreate();
  EXPECT_EQ(restarted.view.selected, 3);
}

TEST(FormClose, RaisesWhenTheSettingsKeyCanNeitherBeFoundNorCreated) {
  TestProgram p(false);
  p.form.FormCreate();
  p.desktop.ClearRegistry();  // nothing may be created any more
  p.desktop.DenyFullAccess(kHklm);
  p.desktop.DenyFullAccess(kHkcu);
  p.desktop.DenyCreate(kHklm);
  p.Select(1);
  try {
    p.form.FormClose();
    ADD_FAILURE() << "no error";
  } catch (const RegistryError& e) {
    EXPECT_STREQ(e.what(), "Failed to create key \\SOFTWARE\\Dialbridge");
  }
}

TEST(MessageMap, RoutesTheHandsetMessages) {
  struct Case {
    UInt msg;
    WParam wParam;
    LParam lParam;
    std::vector<std::string> calls;
    LResult result = 0;
  } cases[] = {
      {WM_HANDSET_ARRIVAL, 0, 0, {"StartKeyScan"}},
      {WM_HANDSET_REMOVAL, 0, 0, {"StopKeyScan", "CloseDevice"}},
      // A device change is granted (a query to take a device away, for one).
      {win::WM_DEVICECHANGE, 0x8000, 0x1234, {"HandleUsbDeviceChange(32768,4660)"}, 1},
      {5124, 1, 0, {}},
      {5125, 1, 0, {}},
      {5126, 1, 0, {}},
      {5127, 1, 0, {}},
  };
  for (const Case& c : cases) {
    TestProgram p;
    TMessage m{c.msg, c.wParam, c.lParam, 0};
    EXPECT_TRUE(p.form.Dispatch(m)) << c.msg;
    EXPECT_EQ(m.Result, c.result) << c.msg;
    EXPECT_EQ(p.handset.calls, c.calls) << c.msg;
  }
  TestProgram p;
  TMessage other{5128, 0, 0, 0};
  EXPECT_FALSE(p.form.Dispatch(other));
}

TEST(FormDestroy, DetachesSkypeAndShutsTheHandsetDownInOrder) {
  TestProgram p;
  sim::SimSkype skype(p.desktop);
  p.form.FSkype->Attach(3);
  ASSERT_TRUE(p.form.FSkype->Attached());
  p.form.FormDestroy();
  EXPECT_FALSE(p.form.FSkype->Attached());
  EXPECT_EQ(p.handset.calls,
            (std::vector<std::string>{"StopKeyScan", "StopBuzzer", "CloseDevice"}));
  EXPECT_EQ(p.form.AppConfig, nullptr);
  EXPECT_EQ(p.form.FRegistry, nullptr);
}

TEST(SingleInstance, OnlyASecondCopyBringsTheFirstForward) {
  {
    sim::SimDesktop desktop;
    EXPECT_FALSE(AnotherInstanceRuns(desktop));
    EXPECT_TRUE(desktop.HasMutex("DIALBRIDGE"));
    EXPECT_EQ(desktop.Effects(), (std::vector<std::string>{"CreateMutexA(TRUE, \"DIALBRIDGE\")"}));
  }
  {
    sim::SimDesktop desktop;
    desktop.AddMutex("DIALBRIDGE");
    desktop.AddWindow("TMainForm", "Other caption");
    Hwnd running = desktop.AddWindow("TMainForm", "TELVARO 1.3.0");
    EXPECT_TRUE(AnotherInstanceRuns(desktop));
    desktop.WaitServingSentMessages(0);  // the running copy comes forward at its next pump
    EXPECT_EQ(desktop.Foreground(), running);
    EXPECT_EQ(desktop.RegValueCount(kHklm, kSettings), 0u);
  }
  {
    sim::SimDesktop desktop;
    desktop.AddMutex("DIALBRIDGE");
    EXPECT_TRUE(AnotherInstanceRuns(desktop)) << "ends silently even without a window";
    EXPECT_EQ(CountPrefix(desktop.Trace(), "SetForegroundWindow"), 0);
  }
}

TEST(CallSwitch, OnlyTheThreeEventsAreHandedOverWithTheCallerOfARing) {
  using Action = CommandLineSwitches::Action;
  struct Case {
    std::vector<std::string> args;
    Action action;
    CallEvent event;
    std::string caller = "";
  };
  const std::string sixtyFive(65, 'x');
  const Case cases[] = {
      {{}, Action::Start, CallEvent::Ring},
      {{"--call", "ring"}, Action::HandOverCall, CallEvent::Ring},
      {{"--call", "up", "+15551234"}, Action::HandOverCall, CallEvent::Up},
      {{"--call", "end", "alice"}, Action::HandOverCall, CallEvent::End},
      {{"--call"}, Action::Usage, CallEvent::Ring},
      {{"--call", "RING"}, Action::Usage, CallEvent::Ring},
      {{"--call", "busy"}, Action::Usage, CallEvent::Ring},
      {{"--call", "end", "alice", "bob"}, Action::HandOverCall, CallEvent::End},
      {{"--call", "ring", "Alice", "Smith", "<sip:alice@example.org>"},
       Action::HandOverCall,
       CallEvent::Ring,
       "Alice Smith <sip:alice@example.org>"},
      {{"--call", "ring", "bob\r\n\x1b[2J\x7f!"}, Action::HandOverCall, CallEvent::Ring, "bob[2J!"},
      {{"--call", "ring", sixtyFive}, Action::HandOverCall, CallEvent::Ring, sixtyFive.substr(1)},
      {{"--call", "ring", std::string(63, 'x') + "\xC3\xA9\xC3\xA9"},
       Action::HandOverCall,
       CallEvent::Ring,
       std::string(63, 'x') + "\xC3\xA9"},
      {{"--call", "ring", "\xC3(\xFF"}, Action::HandOverCall, CallEvent::Ring, "("},
      {{"ring"}, Action::Usage, CallEvent::Ring},
      {{"/answer"}, Action::Usage, CallEvent::Ring},
      {{"--call=ring"}, Action::Usage, CallEvent::Ring},
  };
  for (const Case& c : cases) {
    const CommandLineSwitches switches = ParseCommandLine(c.args);
    std::string shown;
    for (const std::string& arg : c.args) shown += arg + " ";
    EXPECT_EQ(switches.action, c.action) << shown;
    if (c.action == Action::HandOverCall) {
      EXPECT_EQ(switches.event, c.event) << shown;
      EXPECT_EQ(switches.caller, c.caller) << shown;
    }
  }
}

TEST(CallSwitch, PostsTheEventToTheRunningCopyWithoutTheMutex) {
  {
    sim::SimDesktop desktop;
    desktop.AddWindow("TMainForm", "Other caption");
    const Hwnd running = desktop.AddWindow("TMainForm", "TELVARO 1.3.0");
    desktop.Window(running).label = "Running";
    const std::string message =
        sim::SimDesktop::MessageName(desktop.RegisterWindowMessageA(kCallEventMessage));
    desktop.ClearTrace();
    EXPECT_EQ(HandOverCallEvent(desktop, CallEvent::End), kExitHandedOver);
    EXPECT_EQ(desktop.Effects(), (std::vector<std::string>{
                                     "FindWindowA(\"TMainForm\", \"TELVARO 1.3.0\") = Running",
                                     "RegisterWindowMessageA(\"TELVARO.CallEvent\") = " + message,
                                     "PostMessageA(Running, " + message + ", 0x3, 0x00000001)"}));
    EXPECT_FALSE(desktop.HasMutex("DIALBRIDGE"));
  }
  {
    sim::SimDesktop desktop;
    EXPECT_EQ(HandOverCallEvent(desktop, CallEvent::Ring), kExitNoRunningCopy);
    EXPECT_EQ(CountPrefix(desktop.Trace(), "PostMessageA"), 0);
    EXPECT_FALSE(desktop.HasMutex("DIALBRIDGE")) << "a copy started meanwhile must not end";
  }
}

// The caller goes ahead of the ring and is kept as the call's, cleaned again on arrival.
TEST(CallSwitch, TheCallerSentAheadOfARingIsTheCallsCaller) {
  TestProgram p;
  p.Target(21);
  const std::string sent = "Alice\x07 Smith" + std::string(2000, 'y');
  CopyDataStruct data{kCallerCopyData, static_cast<std::uint32_t>(sent.size() + 1), sent.c_str()};
  TMessage copy{win::WM_COPYDATA, 0, reinterpret_cast<LParam>(&data), 0};
  EXPECT_TRUE(p.form.Dispatch(copy));
  p.Post(p.form.CallEventMessage(), static_cast<WParam>(CallEvent::Ring));
  EXPECT_EQ(p.form.CallerOfCall(), ("Alice Smith" + std::string(2000, 'y')).substr(0, 64));
  EXPECT_EQ(p.view.dialDisplay.call, "Ringing: " + p.form.CallerOfCall());
  CopyDataStruct other{7, 1, ""};
  TMessage notOurs{win::WM_COPYDATA, 0, reinterpret_cast<LParam>(&other), 0};
  EXPECT_FALSE(p.form.Dispatch(notOurs)) << "other copy data is not a caller";
}

TEST(Status, UsesTheWindowTitleColumn) {
  TestProgram p;
  p.Select(14);
  EXPECT_EQ(p.view.status, "Call Center is not running.");
  EXPECT_EQ(p.view.image, 0);
  p.desktop.AddWindow("YAlertClass", "Call Center");
  p.form.Timer1Timer();
  EXPECT_EQ(p.view.status, "Call Center is running.");
  EXPECT_EQ(p.view.image, 1);
}

}  // namespace
}  // namespace telvaro
