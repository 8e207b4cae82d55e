// A target whose thread has stopped handling messages: a send to it returns 0 at once (what the
// real seam's timeout gives the portable code), and what was sent reaches it when it recovers.
// The keys issue the same calls as against a live target, keep nothing waiting on our side, and
// what follows the recovery works as before.
#include <gtest/gtest.h>

#include "CallKeyDesk.h"

namespace telvaro::sim {
namespace {

using namespace trace;

// A press against a hung target makes exactly the calls of a press against a live one, in the
// same order; the messages arrive, in that order, once the target recovers.
TEST(HungTarget, KeysIssueTheSameCallsAndArriveOnRecovery) {
  struct Case {
    const char* name;
    int row;
    char key;
  };
  const Case cases[] = {
      {"X-Lite: sent keystrokes", row::XLite, '5'},
      {"X-Lite: sent click for hash", row::XLite, '#'},
      {"X-PRO: shifted hash", row::XPro, '#'},
      {"eyeBeam: posted keystrokes", row::EyeBeam, '7'},
      {"MediaRing: posted click", row::MediaRing, '1'},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    KeyDesk live(c.row);
    live.Main();
    live.p.form.HandleKeypadKey(c.key);
    live.p.desktop.DeliverPosted();
    const std::vector<std::string> delivered = live.p.desktop.Received(live.main);
    ASSERT_FALSE(delivered.empty());

    KeyDesk hung(c.row);
    hung.Main();
    hung.p.desktop.Hang(hung.main);
    hung.p.desktop.ClearTrace();
    hung.p.form.HandleKeypadKey(c.key);
    hung.p.desktop.DeliverPosted();
    EXPECT_TRUE(hung.p.desktop.Received(hung.main).empty()) << "nothing handled while hung";
    live.p.desktop.ClearTrace();
    live.p.form.HandleKeypadKey(c.key);
    EXPECT_EQ(hung.p.desktop.Effects(), live.p.desktop.Effects());

    hung.p.desktop.Recover(hung.main);
    EXPECT_EQ(hung.p.desktop.Received(hung.main), delivered) << "delivered late, in order";
    // The next key finds a live target.
    hung.p.form.HandleKeypadKey(c.key);
    hung.p.desktop.DeliverPosted();
    EXPECT_EQ(hung.p.desktop.Received(hung.main), delivered + delivered);
  }
}

// A command to a hung Skype cannot wait in its queue (WM_COPYDATA carries a pointer): the client is
// told it did not go through, nothing waits, and the commands after Skype's recovery work.
TEST(HungTarget, SkypeCommandsFailWhileSkypeHangsAndWorkAfter) {
  SkypeDesk s;
  ASSERT_TRUE(s.skype.client != 0);
  s.p.desktop.Hang(s.skype.apiWindow);
  EXPECT_FALSE(s.p.form.FSkype->Ping());
  EXPECT_FALSE(s.p.form.FSkype->HookOff());
  s.p.desktop.Recover(s.skype.apiWindow);
  EXPECT_TRUE(s.skype.commands.empty());
  EXPECT_TRUE(s.p.form.FSkype->Ping());
  EXPECT_EQ(s.skype.commands, (std::vector<std::string>{"PING"}));
}

// --- Slow targets ---------------------------------------------------------------------------

// Busy for longer than a send waits for its answer, short of hung.
constexpr std::uint32_t kTooSlowMs = kAnswerTimeoutMs + 3000;
constexpr std::uint32_t kSlowMs = 1500;

// A program that is busy for a while when the key comes (or, for the ICQPhone case, gets busy
// halfway through it). A wait within the send's timeout is waited out and the key does what it
// does on a quick program; past it the key stops before every step that depends on the missing
// answer, says so, keeps its state, and the next press once the program is free works.
struct SlowCase {
  const char* name;
  int row;
  std::uint32_t busyMs;
  std::function<Hwnd(KeyDesk&)> open;  // the windows; returns the edit whose text is checked
  std::function<void(TMainForm&)> press;
  std::string textAfter;  // the edit's text once the program is free again
  bool notResponding;
  std::function<void(KeyDesk&)> check = {};
};

Hwnd OpenNet2Phone(KeyDesk& d) {
  const Hwnd main = d.Add("Dialog", "Net2Phone Dialer", 0, "Main");
  d.main = main;
  d.p.desktop.AddButton(main, "Hang up", 59, 24);
  d.p.desktop.AddButton(main, "Call", 59, 24);
  return d.p.desktop.AddEdit(main, "12345", 120, 15);
}

// After browsing the contacts the edit holds one; the next digit must replace it.
Hwnd OpenVoipWithContact(KeyDesk& d) {
  d.Main("VoipBuster - alice");
  d.Button(d.main, "Contacts", "Contacts");
  d.Add("ContactListCtrl", "", d.main, "List");
  const Hwnd edit = d.p.desktop.AddEdit(d.main);
  d.p.form.HandleDownKey();
  d.p.desktop.DeliverPosted();
  d.p.desktop.Window(edit).text = "alice";
  return edit;
}

// ICQPhone gets busy right after it took the Backspace.
Hwnd OpenIcqBusyAfterBackspace(KeyDesk& d) {
  d.Main();
  const Hwnd edit = d.p.desktop.AddEdit(d.main, "123", 158, 14);
  SimDesktop& desktop = d.p.desktop;
  desktop.SetBehaviour(edit, [&desktop](Hwnd self, UInt msg, WParam, LParam, bool& handled) {
    handled = false;
    if (msg == win::WM_KEYUP) desktop.SetBusy(self, kTooSlowMs);
    return LResult{0};
  });
  return edit;
}

void PressFive(TMainForm& form) { form.HandleKeypadKey('5'); }
void PressFiveTwice(TMainForm& form) {
  form.HandleKeypadKey('5');
  form.HandleKeypadKey('5');
}
void PressUp(TMainForm& form) { form.HandleUpKey(); }

TEST(SlowTarget, WaitedForWithinTheTimeoutNeverActedOnAMissingAnswer) {
  const auto pendingClearKept = [](KeyDesk& d) { EXPECT_EQ(d.p.form.FClearEditPending, 1); };
  const auto nothingPosted = [](KeyDesk& d) {
    for (const std::string& line : d.p.desktop.Effects()) {
      EXPECT_EQ(line.find("WM_CHAR"), std::string::npos) << line;
    }
  };
  const SlowCase cases[] = {
      {"Net2Phone: slow length query", row::Net2PhoneDialer, kSlowMs, OpenNet2Phone, PressFiveTwice,
       "1234555", false},
      {"Net2Phone: length never answered", row::Net2PhoneDialer, kTooSlowMs, OpenNet2Phone,
       PressFive, "12345", true},
      {"VoipBuster: slow clear", row::VoipBuster, kSlowMs, OpenVoipWithContact, PressFive, "",
       false},
      {"VoipBuster: clear never answered", row::VoipBuster, kTooSlowMs, OpenVoipWithContact,
       PressFive, "alice", true,
       [=](KeyDesk& d) {
         pendingClearKept(d);
         nothingPosted(d);
       }},
      {"ICQPhone Up: text never read back", row::IcqPhone, 0, OpenIcqBusyAfterBackspace, PressUp,
       "12", true},
  };
  for (const SlowCase& c : cases) {
    SCOPED_TRACE(c.name);
    KeyDesk d(c.row);
    const Hwnd edit = c.open(d);
    if (c.busyMs != 0) d.p.desktop.SetBusy(d.main, c.busyMs);
    d.p.view.status = "unchanged";
    d.p.view.image = 7;
    c.press(d.p.form);
    d.p.desktop.DeliverPosted();
    if (c.check) c.check(d);
    d.p.desktop.WaitServingSentMessages(kTooSlowMs);  // free again
    EXPECT_EQ(d.p.desktop.Window(edit).text, c.textAfter);
    EXPECT_EQ(d.p.view.status,
              c.notResponding ? d.p.form.FTargetTitle + " is not responding." : "unchanged");
    EXPECT_EQ(d.p.view.image, 7) << "the target runs";
  }
}

// Skype busy past the timeout never hears the answer or the hang-up: the call ids stay where
// they were, so the next press, once Skype is free, does it.
TEST(SlowTarget, SkypeCallIdsMoveOnlyWithTheCommandDelivered) {
  struct Case {
    const char* name;
    std::function<void(SkypeDesk&)> call;  // the call state before the press
    std::function<void(TMainForm&)> press;
    std::vector<std::string> commandsOnceFree;
    std::int32_t ringing, active;  // after the press that Skype did not hear
  };
  const Case cases[] = {
      {"answer",
       [](SkypeDesk& s) { s.skype.Send("CALL 17 STATUS RINGING"); },
       [](TMainForm& f) { f.HandleCallKey(); },
       {"SET CALL 17 STATUS INPROGRESS", "HOOK OFF"},
       17,
       0},
      {"hang up",
       [](SkypeDesk& s) { s.p.form.ActiveCallId = 42; },
       [](TMainForm& f) { f.HandleHangUpKey(); },
       {"SET CALL 42 STATUS FINISHED", "HOOK ON"},
       0,
       42},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SkypeDesk s;
    c.call(s);
    s.p.desktop.SetBusy(s.skype.apiWindow, kTooSlowMs);
    s.Clear();
    c.press(s.p.form);
    EXPECT_EQ(s.p.form.RingingCallId, c.ringing);
    EXPECT_EQ(s.p.form.ActiveCallId, c.active);
    EXPECT_TRUE(s.skype.commands.empty());
    EXPECT_EQ(s.p.view.status, s.p.form.FTargetTitle + " is not responding.");
    s.p.desktop.WaitServingSentMessages(kTooSlowMs);
    c.press(s.p.form);
    ASSERT_GE(s.skype.commands.size(), c.commandsOnceFree.size());
    EXPECT_EQ(std::vector<std::string>(s.skype.commands.begin(),
                                       s.skype.commands.begin() +
                                           static_cast<std::ptrdiff_t>(c.commandsOnceFree.size())),
              c.commandsOnceFree);
  }
}

}  // namespace
}  // namespace telvaro::sim
