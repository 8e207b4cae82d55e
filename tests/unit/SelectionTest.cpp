#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "TestProgram.h"

namespace telvaro {
namespace {

using sim::SimSkype;
using sim::TestProgram;

int Count(const std::vector<std::string>& trace, const std::string& prefix) {
  return static_cast<int>(std::count_if(
      trace.begin(), trace.end(), [&](const std::string& l) { return l.rfind(prefix, 0) == 0; }));
}

TEST(Selection, AnApplicationThatDoesNotRunTouchesNoWindow) {
  TestProgram p;
  p.Select(1);
  EXPECT_EQ(p.view.status, "X-Lite is not running.");
  EXPECT_EQ(p.view.image, 0);
  EXPECT_EQ(Count(p.desktop.Trace(), "ShowWindow"), 0);
  EXPECT_EQ(Count(p.desktop.Trace(), "SetForegroundWindow"), 0);
  EXPECT_EQ(p.view.pumpCount, 0);
}

TEST(Selection, ARunningApplicationIsFoundByTitleAloneAndBroughtForward) {
  TestProgram p;
  Hwnd other = p.desktop.AddWindow("SomethingElse", "X-Lite");
  p.desktop.Window(other).iconic = true;
  p.Select(1);
  EXPECT_EQ(p.view.status, "X-Lite is running.");
  EXPECT_EQ(p.view.image, 1);
  EXPECT_EQ(p.view.pumpCount, 1) << "pending messages are handled before the status shows";
  const auto effects = p.desktop.Effects();
  ASSERT_GE(effects.size(), 2u);
  EXPECT_EQ(effects[effects.size() - 2], "ShowWindow(\"X-Lite\"/SomethingElse, SW_RESTORE)");
  EXPECT_EQ(effects.back(), "SetForegroundWindow(\"X-Lite\"/SomethingElse)");
  p.form.Timer1Timer();
  EXPECT_EQ(p.view.status, "X-Lite is running.") << "the poll looks up by title alone too";
}

TEST(Selection, KeysWaitingInTheQueueSeeTheNewTarget) {
  TestProgram p;
  p.desktop.AddWindow("Funky Window", "X-Lite");
  std::int32_t codeSeen = 0;
  p.view.pendingWork.push_back([&] { codeSeen = p.form.CurrentAppCode; });
  p.Select(1);
  EXPECT_EQ(codeSeen, 'd');
}

TEST(Selection, SkypeLearnsItsTitleAndAttachesWithoutTouchingTheStatus) {
  TestProgram p;
  p.Select(1);
  SimSkype skype(p.desktop, "Skype - alice");
  skype.answerPing = false;
  p.Select(0);
  EXPECT_EQ(p.form.FTargetTitle, "Skype - alice");
  EXPECT_EQ(p.form.Apps[0].WindowTitle, "Skype - alice");
  EXPECT_TRUE(p.form.FSkype->Attached());
  EXPECT_EQ(skype.commands,
            (std::vector<std::string>{"NAME " + p.form.FSkype->IdentName, "PROTOCOL 3"}));
  EXPECT_EQ(p.view.status, "X-Lite is not running.") << "kept until the poll or a PONG";
  EXPECT_NE(p.desktop.Foreground(), skype.mainWindow);
}

TEST(Selection, AnotherApplicationDetachesSkype) {
  TestProgram p;
  SimSkype skype(p.desktop);
  p.Select(1);
  p.Select(0);
  ASSERT_TRUE(p.form.FSkype->Attached());
  p.Select(2);
  EXPECT_FALSE(p.form.FSkype->Attached());
  skype.commands.clear();
  p.form.FSkype->Ping();
  EXPECT_TRUE(skype.commands.empty());
}

TEST(Selection, Net2PhoneFindsItsControlsWhenRunning) {
  TestProgram p;
  Hwnd main = p.desktop.AddWindow("Net2Phone", "Net2Phone CommCenter");
  Hwnd edit = p.desktop.AddEdit(main, "", 120, 15);
  Hwnd hangUp = p.desktop.AddButton(main, "Hang Up", 59, 24);
  Hwnd call = p.desktop.AddButton(main, "Call", 59, 24);
  p.Select(8);
  EXPECT_EQ(p.form.Found.Net2PhoneEdit, edit);
  EXPECT_EQ(p.form.Found.Net2PhoneHangUpButton, hangUp);
  EXPECT_EQ(p.form.Found.Net2PhoneCallButton, call);
}

TEST(Poll, Net2PhoneDialerStartedAfterSelectionIsFoundByTheNextTick) {
  TestProgram p;
  p.Select(7);
  EXPECT_EQ(p.view.status, "Net2Phone Dialer is not running.");
  Hwnd main = p.desktop.AddWindow("Net2Phone", "Net2Phone Dialer");
  p.desktop.AddEdit(main, "", 120, 15);
  Hwnd hangUp = p.desktop.AddButton(main, "Hang Up", 59, 24);
  p.desktop.AddButton(main, "Call", 59, 24);
  p.form.Timer1Timer();
  EXPECT_EQ(p.view.status, "Net2Phone Dialer is running.");
  EXPECT_EQ(p.form.Found.Net2PhoneHangUpButton, hangUp);
  p.desktop.ClearTrace();
  p.form.Timer1Timer();
  EXPECT_EQ(Count(p.desktop.Trace(), "EnumChildWindows"), 0) << "found once, not every tick";
  p.desktop.DestroyWindow(main);
  p.form.Timer1Timer();
  EXPECT_EQ(p.view.status, "Net2Phone Dialer is not running.");
  EXPECT_EQ(p.form.Found.Net2PhoneHangUpButton, 0u);
}

TEST(Poll, NeverActivatesAnything) {
  // PhonerLite and Linphone are not found by a window of the table.
  for (int row = 1; row < 23; ++row) {
    TestProgram p;
    p.desktop.protocolHandlers["tel"] = "phone.exe %1";
    const TPhoneAppUnit& unit = p.form.Apps[static_cast<std::size_t>(row)];
    p.desktop.AddWindow(unit.WindowClass.empty() ? "Main" : unit.WindowClass,
                        unit.WindowTitle + (row >= 16 && row <= 18 ? " - bob" : ""));
    p.Select(row);
    p.desktop.ClearTrace();
    p.form.Timer1Timer();
    EXPECT_EQ(p.view.image, 1) << row;
    EXPECT_EQ(Count(p.desktop.Trace(), "ShowWindow"), 0) << row;
    EXPECT_EQ(Count(p.desktop.Trace(), "SetForegroundWindow"), 0) << row;
  }
}

// MicroSIP is found by its class whatever account its title shows; the tel: link runs while some
// app takes tel: links, asked with the protocol flag and, where that is refused, without it.
TEST(Poll, MicroSipByItsClassAndTheTelLinkByItsHandler) {
  struct Case {
    const char* name;
    int row;
    std::function<void(sim::SimDesktop&)> desktop;
    const char* status;
    bool broughtForward;
  };
  const Case cases[] = {
      {"MicroSIP with an account", 21,
       [](sim::SimDesktop& d) { d.AddWindow("MicroSIP", "MicroSIP - alice@sip.example"); },
       "MicroSIP is running.", true},
      {"a window titled MicroSIP of another class", 21,
       [](sim::SimDesktop& d) { d.AddWindow("Notepad", "MicroSIP"); }, "MicroSIP is not running.",
       false},
      {"a tel: handler", 22, [](sim::SimDesktop& d) { d.protocolHandlers["tel"] = "phone.exe %1"; },
       "Calling app (tel: link) is running.", false},
      {"a tel: handler on a system without the protocol flag", 22,
       [](sim::SimDesktop& d) {
         d.protocolHandlers["tel"] = "phone.exe %1";
         d.refusesProtocolFlag = true;
       },
       "Calling app (tel: link) is running.", false},
      {"only a callto: handler", 22,
       [](sim::SimDesktop& d) { d.protocolHandlers["callto"] = "phone.exe %1"; },
       "Calling app (tel: link) is not running.", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TestProgram p;
    c.desktop(p.desktop);
    p.Select(c.row);
    EXPECT_EQ(p.view.status, c.status) << "selection";
    EXPECT_EQ(Count(p.desktop.Trace(), "SetForegroundWindow"), c.broughtForward ? 1 : 0);
    p.view.status.clear();
    p.form.Timer1Timer();
    EXPECT_EQ(p.view.status, c.status) << "poll";
  }
}

TEST(Poll, VoipTitleIsLearnedAndAStaleWindowIsClearedByTheNextTick) {
  TestProgram p;
  Hwnd first = p.desktop.AddWindow("VoipMain", "VoipBuster - bob");
  p.desktop.AddWindow("VoipMain", "Notes about VoipBuster.txt");
  p.Select(16);
  EXPECT_EQ(p.form.FTargetTitle, "Notes about VoipBuster.txt") << "the last match wins";
  EXPECT_EQ(p.form.Apps[16].WindowTitle, "Notes about VoipBuster.txt");
  p.Select(1);
  p.desktop.DestroyWindow(first);
  p.desktop.DestroyWindow(p.form.Found.VoipBuster.Window);
  p.form.Found.VoipBuster.ContactList = 0x99;
  p.Select(16);
  EXPECT_EQ(p.form.FTargetTitle, "Notes about VoipBuster.txt") << "the learned title is kept";
  EXPECT_EQ(p.view.status, "Notes about VoipBuster.txt is running.")
      << "the old window field still counts at selection";
  p.form.Timer1Timer();
  EXPECT_EQ(p.form.Found.VoipBuster.Window, 0u);
  EXPECT_EQ(p.form.Found.VoipBuster.ContactList, 0u);
  EXPECT_EQ(p.view.status, "Notes about VoipBuster.txt is not running.");
}

TEST(Poll, SkypeIsRunningWhileItAnswersPing) {
  TestProgram p;
  p.Select(1);
  SimSkype skype(p.desktop, "Skype - alice");
  p.Select(0);
  p.form.Timer1Timer();  // answered at once by the simulated Skype
  EXPECT_TRUE(p.form.FSkypeSeen);
  EXPECT_EQ(p.view.status, "Skype - alice is running.");
  EXPECT_EQ(p.view.image, 1);

  skype.answerPing = false;
  p.form.Timer1Timer();  // this tick's ping goes unanswered
  EXPECT_FALSE(p.form.FSkypeSeen);
  EXPECT_EQ(p.view.status, "Skype - alice is running.") << "not judged before the next tick";
  skype.commands.clear();
  p.form.Timer1Timer();
  EXPECT_EQ(p.view.status, "Skype - alice is not running.");
  EXPECT_EQ(p.view.image, 0);
  EXPECT_EQ(skype.commands,
            (std::vector<std::string>{"NAME " + p.form.FSkype->IdentName, "PROTOCOL 3", "PING"}))
      << "attached anew, then pinged";
}

// A silent tick looks for Skype's main window again; only a window of its class is worth
// reading the whole desktop for. The attach is requested either way.
TEST(Poll, ASilentTickEnumeratesOnlyWhileAWindowOfSkypesClassExists) {
  struct Case {
    const char* what;
    bool windowOpen;
    int enumerations;
    const char* learnedTitle;
  };
  const Case cases[] = {
      {"Skype's window, retitled", true, 1, "Skype - bob"},
      {"Skype's window closed", false, 0, "Skype - alice"},
  };
  auto count = [](const std::vector<std::string>& trace, const std::string& prefix) {
    return std::count_if(trace.begin(), trace.end(),
                         [&](const std::string& line) { return line.rfind(prefix, 0) == 0; });
  };
  for (const Case& c : cases) {
    TestProgram p;
    p.Select(1);
    SimSkype skype(p.desktop, "Skype - alice");
    p.Select(0);
    skype.answerPing = false;
    p.form.Timer1Timer();  // unanswered from here on
    p.desktop.Window(skype.mainWindow).text = "Skype - bob";
    if (!c.windowOpen) p.desktop.DestroyWindow(skype.mainWindow);
    p.desktop.ClearTrace();
    p.form.Timer1Timer();
    EXPECT_EQ(count(p.desktop.Trace(), "EnumWindows"), c.enumerations) << c.what;
    EXPECT_EQ(p.form.Apps[0].WindowTitle, c.learnedTitle) << c.what;
    EXPECT_EQ(p.view.status, std::string(c.learnedTitle) + " is not running.") << c.what;
    EXPECT_EQ(count(p.desktop.Trace(), "SendNotifyMessageA(HWND_BROADCAST"), 1) << c.what;
  }
}

TEST(Poll, SkypeNeverFoundShowsTheTextWithoutATitle) {
  TestProgram p;
  p.form.Timer1Timer();
  p.form.Timer1Timer();
  EXPECT_EQ(p.view.status, " is not running.");
  EXPECT_EQ(p.form.Apps[0].WindowTitle, "");
}

TEST(Selection, SwitchingAwayWhileSkypeRingsKeepsTheBuzzer) {
  TestProgram p;
  SimSkype skype(p.desktop);
  p.Select(1);
  p.Select(0);
  skype.Send("CALL 61 STATUS RINGING");
  ASSERT_TRUE(p.handset.buzzing);
  p.Select(2);
  skype.Send("CALL 61 STATUS INPROGRESS");
  EXPECT_TRUE(p.handset.buzzing) << "a detached client hears nothing";
  EXPECT_EQ(p.form.RingingCallId, 61);
}

}  // namespace
}  // namespace telvaro
