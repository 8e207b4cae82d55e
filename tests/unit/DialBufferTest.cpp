#include <gtest/gtest.h>

#include "TestProgram.h"

namespace telvaro {
namespace {

using sim::SimSkype;
using sim::TestProgram;

// Skype selected and attached, its main window known; `front` puts it in the foreground.
struct SkypeProgram {
  explicit SkypeProgram(bool front = true) {
    p.Select(1);
    p.Select(0);
    if (front) skype.BringToFront();
    skype.commands.clear();
  }
  TestProgram p;
  SimSkype skype{p.desktop};
};

// Handset key codes of the keypad.
constexpr int kKey1 = 1, kKey5 = 6, kKey0 = 8, kKey2 = 5, kKey3 = 9;

TEST(AppendDialDigit, SendsKeysToSkypeOnlyWhileItIsInFront) {
  struct Case {
    const char* name;
    bool front;
    std::int32_t activeCall;
    int code;
    std::vector<std::string> commands;
  } cases[] = {
      {"in front, no call", true, 0, kKey1, {"BTN_RELEASED 1"}},
      {"in front, call 42", true, 42, kKey5, {"SET CALL 42 DTMF 5", "BTN_RELEASED 5"}},
      {"not in front", false, 42, kKey5, {}},
      {"0 waits for its release or the timer", true, 0, kKey0, {}},
  };
  for (const Case& c : cases) {
    SkypeProgram s(c.front);
    s.p.form.ActiveCallId = c.activeCall;
    s.p.KeyDown(c.code);
    EXPECT_EQ(s.skype.commands, c.commands) << c.name;
    EXPECT_EQ(s.p.form.FDialBuffer.size(), 1u) << c.name;
    EXPECT_EQ(s.p.form.FDialCopy, s.p.form.FDialBuffer) << c.name;
  }
}

TEST(AppendDialDigit, NotInFrontTheZeroKeyStartsNoTimer) {
  SkypeProgram s(false);
  s.p.KeyDown(kKey0);
  EXPECT_FALSE(s.p.view.TimerRunning(FormTimer::Timer2));
  EXPECT_EQ(s.p.form.FDialBuffer, "0");
}

TEST(AppendDialDigit, FindsSkypesWindowByItsClassWhenNotKnownYet) {
  TestProgram p;
  SimSkype skype(p.desktop);
  p.form.Found.SkypeMainWindow = 0;
  skype.BringToFront();
  p.form.FSkype->Attach(3);
  skype.commands.clear();
  p.KeyDown(kKey1);
  EXPECT_EQ(p.form.Found.SkypeMainWindow, skype.mainWindow);
  EXPECT_EQ(skype.commands, std::vector<std::string>{"BTN_RELEASED 1"});
}

struct ZeroCase {
  const char* name;
  std::vector<int> before;  // keys dialled first
  std::int32_t activeCall;
  const char* action;  // "release 0", "release 5", "timer"
  std::vector<std::string> commands;
  const char* buffer;
  const char* copy;
};

TEST(ZeroKey, ShortAndLongPresses) {
  const ZeroCase cases[] = {
      {"short press", {}, 0, "release 0", {"BTN_RELEASED 0"}, "0", "0"},
      {"long press of a first 0", {}, 0, "timer", {"BTN_RELEASED +"}, "+", "0"},
      {"long press during call 42",
       {},
       42,
       "timer",
       {"SET CALL 42 DTMF +", "BTN_RELEASED +"},
       "+",
       "0"},
      {"long press after digits", {kKey1}, 0, "timer", {"BTN_RELEASED 0"}, "10", "10"},
      {"another key released while 0 is held", {}, 0, "release 5", {}, "0", "0"},
  };
  for (const ZeroCase& c : cases) {
    SkypeProgram s;
    for (int key : c.before) s.p.KeyDown(key);
    s.skype.commands.clear();
    s.p.form.ActiveCallId = c.activeCall;
    s.p.KeyDown(kKey0);
    ASSERT_TRUE(s.p.view.TimerRunning(FormTimer::Timer2)) << c.name;
    const std::string action = c.action;
    if (action == "timer") s.p.form.Timer2Timer();
    if (action == "release 0") s.p.KeyUp(kKey0);
    if (action == "release 5") s.p.KeyUp(kKey5);
    EXPECT_FALSE(s.p.view.TimerRunning(FormTimer::Timer2)) << c.name;
    // A later release finds the timer stopped: the press is sent exactly once.
    s.p.KeyUp(kKey0);
    EXPECT_EQ(s.skype.commands, c.commands) << c.name;
    EXPECT_EQ(s.p.form.FDialBuffer, c.buffer) << c.name;
    EXPECT_EQ(s.p.form.FDialCopy, c.copy) << c.name;
  }
}

TEST(ZeroKey, KeyUpDoesNothingForOtherApplications) {
  TestProgram p;
  p.Select(1);
  p.view.StartTimer(FormTimer::Timer2);
  p.KeyUp(kKey0);
  EXPECT_TRUE(p.view.TimerRunning(FormTimer::Timer2));
}

TEST(ContactMode, TheFocusedContactBecomesTheNumberToDial) {
  struct Case {
    const char* name;
    bool contactMode;
    const char* text;
    const char* expected;  // buffers and label afterwards
  } cases[] = {
      {"contact focused", true, "CONTACTS FOCUSED helpdesk", "helpdesk"},
      {"exactly the 17 characters", true, "CONTACTS FOCUSED ", "123"},
      {"contact mode off", false, "CONTACTS FOCUSED helpdesk", "123"},
      {"another notification", true, "USERSTATUS ONLINE", "123"},
      {"name with a blank", true, "CONTACTS FOCUSED echo 123", "echo 123"},
  };
  for (const Case& c : cases) {
    SkypeProgram s;
    s.p.form.FDialBuffer = "123";
    s.p.form.FDialCopy = "123";
    s.p.view.contactLabel = "123";
    s.p.form.FContactMode = c.contactMode;
    s.skype.Send(c.text);
    EXPECT_EQ(s.p.form.FDialBuffer, c.expected) << c.name;
    EXPECT_EQ(s.p.form.FDialCopy, c.expected) << c.name;
    EXPECT_EQ(s.p.view.contactLabel, c.expected) << c.name;
  }
}

TEST(ContactMode, TheFirstDigitAfterwardsStartsANewNumber) {
  SkypeProgram s;
  s.p.form.FContactMode = true;
  s.skype.Send("CONTACTS FOCUSED helpdesk");
  s.p.desktop.ClearTrace();
  s.p.KeyDown(kKey2);
  EXPECT_EQ(s.p.form.FDialBuffer, "2");
  EXPECT_EQ(s.p.form.FDialCopy, "2");
  EXPECT_FALSE(s.p.form.FContactMode);
  EXPECT_EQ(s.p.desktop.lastReply, 1) << "the handset's sender is released at once";
  s.p.desktop.lastReply = 0;
  s.p.KeyDown(kKey3);
  EXPECT_EQ(s.p.form.FDialBuffer, "23");
  EXPECT_EQ(s.p.desktop.lastReply, 0) << "no reply outside contact mode";
}

TEST(KeyDown, CodesOutsideTheHandsetDoNothing) {
  for (WParam code : {WParam{0}, WParam{17}, WParam{255}, ~WParam{0}}) {
    SkypeProgram s;
    s.p.desktop.ClearTrace();
    s.p.Post(WM_HANDSET_KEYDOWN, code);
    EXPECT_EQ(s.p.form.FDialBuffer, "") << code;
    EXPECT_EQ(s.p.desktop.Effects().size(), 1u) << code << ": only the message itself";
  }
}

TEST(KeyDown, CodesRunDownTheKeypadColumns) {
  SkypeProgram s(false);
  for (int code = 1; code <= 12; ++code) s.p.KeyDown(code);
  // Star has a meaning of its own for Skype while no call is pending: it is not dialled.
  EXPECT_EQ(s.p.form.FDialBuffer, "1472580369#");
}

// The handset library may send its keys from a thread of its own: they come inside any wait of
// ours that serves sent messages. Each key is handled to its end first, key-ups in their place.
TEST(KeyDown, AKeySentWhileAKeyIsHandledWaitsItsTurn) {
  struct Case {
    int row;  // X-Lite is sent its keys, PCPhone typed them once in front, Skype told
    std::uint32_t activationDelayMs;
    int first, second;  // pressed; sent while the first is handled
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {1,
       0,
       kKey1,
       kKey2,
       {"WM_KEYDOWN 0x61 0x001C0001", "WM_CHAR 0x31 0x001C0001", "WM_KEYUP 0x61 0x401C0001",
        "WM_KEYDOWN 0x62 0x001C0001", "WM_CHAR 0x32 0x001C0001", "WM_KEYUP 0x62 0x401C0001"}},
      {20, 1900, kKey1, kKey2, {"key 0x61 down", "key 0x61 up", "key 0x62 down", "key 0x62 up"}},
      {0, 0, kKey5, kKey0, {"BTN_RELEASED 5", "BTN_RELEASED 0"}},  // a short 0
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.row);
    SkypeProgram s;
    s.p.Target(c.row);
    const TPhoneAppUnit& unit = s.p.form.Apps.at(static_cast<std::size_t>(c.row));
    const Hwnd target = c.row == 0 ? 0 : s.p.desktop.AddWindow(unit.WindowClass, unit.WindowTitle);
    s.p.desktop.SetActivationDelay(c.activationDelayMs);
    for (const UInt msg : {WM_HANDSET_KEYDOWN, WM_HANDSET_KEYUP}) {
      s.p.desktop.SendFromAnotherThread(s.p.view.MainWindowHandle(), msg, c.second);
    }
    s.p.KeyDown(c.first);
    s.p.KeyUp(c.first);
    EXPECT_EQ(s.p.desktop.SentToUsCount(), 0u) << "sent during a wait";
    EXPECT_EQ(c.row == 0   ? s.skype.commands
              : c.row == 1 ? s.p.desktop.Received(target)
                           : s.p.desktop.KeysReceived(target),
              c.expected);
    EXPECT_FALSE(s.p.view.TimerRunning(FormTimer::Timer2));
  }
}

TEST(BringSkypeForward, ActivatesThenPingsThenFocuses) {
  SkypeProgram s(false);
  s.p.desktop.ClearTrace();
  s.p.form.BringSkypeForward();
  EXPECT_EQ(s.p.desktop.Foreground(), s.skype.mainWindow);
  EXPECT_EQ(s.skype.commands, (std::vector<std::string>{"PING", "FOCUS"}));
  EXPECT_EQ(s.p.desktop.Effects().front(), "SetForegroundWindow(Skype)");
}

}  // namespace
}  // namespace telvaro
