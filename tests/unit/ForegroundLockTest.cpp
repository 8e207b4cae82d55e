// Synthesized keys on a desktop with the foreground lock of Windows 2000 and later: they reach the
// target when it could be brought forward, and no other window when it could not. Also the target
// that runs with higher rights than ours (UIPI), which takes neither our messages nor our input.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "CallKeyDesk.h"

namespace telvaro::sim {
namespace {

using namespace trace;

// What a window receives of keybd_event input.
Lines Typed(int vk) { return {"key " + Hex(vk) + " down", "key " + Hex(vk) + " up"}; }
Lines TypedWith(int modifier, int vk) {
  return {"key " + Hex(modifier) + " down", "key " + Hex(vk) + " down", "key " + Hex(vk) + " up",
          "key " + Hex(modifier) + " up"};
}
// The activation rule's Alt (with its scan code), held across the second SetForegroundWindow.
const std::string kAltDown = "keybd_event(0x12, 56, 0x0, 0)";
const std::string kAltUp = "keybd_event(0x12, 56, 0x2, 0)";

enum class Key { Keypad, Call, HangUp, Up, Down };

void PressOn(TMainForm& form, Key key, char keypadKey) {
  switch (key) {
    case Key::Keypad:
      return form.HandleKeypadKey(keypadKey);
    case Key::Call:
      return form.HandleCallKey();
    case Key::HangUp:
      return form.HandleHangUpKey();
    case Key::Up:
      return form.HandleUpKey();
    case Key::Down:
      return form.HandleDownKey();
  }
}

// One key of one application that types with keybd_event. `open` builds the application's
// windows and returns the one the keys are meant for.
struct TypingCase {
  const char* name;
  int row;
  Key key;
  char keypadKey;
  std::function<Hwnd(KeyDesk&)> open;
  Lines keys;                        // what that window receives
  bool targetStartsInFront = false;  // the branch types only into an application already in front
};

std::function<Hwnd(KeyDesk&)> MainWindow() {
  return [](KeyDesk& d) { return d.Main(); };
}

std::function<Hwnd(KeyDesk&)> VoipWindow(const std::string& name) {
  return [name](KeyDesk& d) {
    const Hwnd main = d.Main(name + " - someone");
    d.Button(main, "Contacts", "Contacts");
    d.Add("Edit", "", main, "Edit");
    return main;
  };
}

// MSN Messenger's main window and one more of its windows, the one the keys are meant for.
std::function<Hwnd(KeyDesk&)> MsnWith(const char* cls, const char* title) {
  return [=](KeyDesk& d) {
    const Hwnd main = d.Main();
    const Hwnd other = d.Add(cls, title, 0, "Other");
    d.p.desktop.SetProcess(other, d.p.desktop.ProcessOf(main));
    return other;
  };
}

std::function<Hwnd(KeyDesk&)> MsnInFront() {
  return [](KeyDesk& d) {
    const Hwnd main = d.Main();
    d.p.desktop.SetForeground(main);
    return main;
  };
}

// Every application and key whose keys are typed with keybd_event.
const std::vector<TypingCase>& TypingCases() {
  static const std::vector<TypingCase> cases = {
      {"Firefly star", row::Firefly, Key::Keypad, '*', MainWindow(), TypedWith(0x10, 0x6B)},
      {"Firefly hash", row::Firefly, Key::Keypad, '#', MainWindow(), TypedWith(0x10, 0x33)},
      {"Firefly call", row::Firefly, Key::Call, 0, MainWindow(), Typed(0x0D)},
      {"Firefly hang-up", row::Firefly, Key::HangUp, 0, MainWindow(), Typed(0x1B)},
      {"eyeBeam hash", row::EyeBeam, Key::Keypad, '#', MainWindow(), TypedWith(0x10, 0x33)},
      {"PCPhone digit", row::PCPhone, Key::Keypad, '5', MainWindow(), Typed(0x65)},
      {"PCPhone star", row::PCPhone, Key::Keypad, '*', MainWindow(), Typed(0x08)},
      {"PCPhone call", row::PCPhone, Key::Call, 0, MainWindow(), Typed(0x0D)},
      {"PCPhone hang-up", row::PCPhone, Key::HangUp, 0, MainWindow(), Typed(0x1B)},
      {"VoipBuster star", row::VoipBuster, Key::Keypad, '*', VoipWindow("VoipBuster"), Typed(0x08)},
      {"VoipBuster hash", row::VoipBuster, Key::Keypad, '#', VoipWindow("VoipBuster"),
       TypedWith(0x10, 0x33)},
      {"VoipStunt star", row::VoipStunt, Key::Keypad, '*', VoipWindow("VoipStunt"), Typed(0x08)},
      {"VoipStunt hash", row::VoipStunt, Key::Keypad, '#', VoipWindow("VoipStunt"),
       TypedWith(0x10, 0x33)},
      {"VoipCheap star", row::VoipCheap, Key::Keypad, '*', VoipWindow("VoipCheap"), Typed(0x08)},
      {"VoipCheap hash", row::VoipCheap, Key::Keypad, '#', VoipWindow("VoipCheap"),
       TypedWith(0x10, 0x33)},
      {"MSN 7.0 call, call dialog open", row::Msn70, Key::Call, 0, MsnWith("#32770", kAudioDialog),
       Typed(0x0D)},
      {"MSN 7.5 call, call dialog open", row::Msn75, Key::Call, 0, MsnWith("#32770", kVoiceDialog),
       Typed(0x0D)},
      {"MSN 7.0 call, Messenger in front", row::Msn70, Key::Call, 0, MsnInFront(),
       TypedWith(0x12, 0x41) + Typed(0x41) + Typed(0x0D), true},
      {"MSN 7.5 call, Messenger in front", row::Msn75, Key::Call, 0, MsnInFront(),
       TypedWith(0x12, 0x41) + Typed(0x56) + Typed(0x0D), true},
      {"MSN 7.0 hang-up, conversation", row::Msn70, Key::HangUp, 0,
       MsnWith("IMWindowClass", "bob - Conversation"),
       TypedWith(0x12, 0x44) + TypedWith(0x12, 0x51)},
      {"MSN 7.5 hang-up, conversation", row::Msn75, Key::HangUp, 0,
       MsnWith("IMWindowClass", "bob - Conversation"), TypedWith(0x12, 0x51)},
      {"MSN 7.0 Up, call dialog open", row::Msn70, Key::Up, 0, MsnWith("#32770", kAudioDialogZh),
       Typed(0x26)},
      {"MSN 7.5 Down, call dialog open", row::Msn75, Key::Down, 0, MsnWith("#32770", kVoiceDialog),
       Typed(0x28)},
  };
  return cases;
}

// How the desktop stands when the key is pressed: the user works in an editor of its own program.
enum class Desk {
  NoLock,             // as under Wine
  LockAllowsAlt,      // a real desktop: the Alt rule applies
  LockMenuOpen,       // a menu is open in the editor: no program may take the foreground
  LockEditorAsAdmin,  // the editor runs elevated: our input, Alt included, never reaches it
  LockUserHoldsAlt,   // the user holds Alt down: no Alt of ours may cut it short
  SlowToComeForward,  // no lock, but the target takes 2 s to come forward (busy repainting)
  NeverComesForward   // no lock, and the target never comes forward
};

const char* Name(Desk desk) {
  switch (desk) {
    case Desk::NoLock:
      return "no lock";
    case Desk::LockAllowsAlt:
      return "lock, Alt rule applies";
    case Desk::LockMenuOpen:
      return "lock, a menu is open";
    case Desk::LockEditorAsAdmin:
      return "lock, the editor runs elevated";
    case Desk::LockUserHoldsAlt:
      return "lock, the user holds Alt";
    case Desk::SlowToComeForward:
      return "2 s to come forward";
    case Desk::NeverComesForward:
      return "never comes forward";
  }
  return "?";
}

struct Outcome {
  Lines targetKeys;
  Lines editorKeys;
  Lines trace;
  std::string status;
  int image;
};

Outcome PressWith(const TypingCase& c, Desk desk) {
  KeyDesk d(c.row);
  const Hwnd target = c.open(d);
  SimDesktop& desktop = d.p.desktop;
  const Hwnd editor = d.Add("Notepad", "notes.txt - Notepad", 0, "Editor");
  if (!c.targetStartsInFront) desktop.SetForeground(editor);
  desktop.SetForegroundLock(desk != Desk::NoLock && desk < Desk::SlowToComeForward);
  desktop.SetActivationDelay(desk == Desk::SlowToComeForward  ? 2000
                             : desk > Desk::SlowToComeForward ? ~0u
                                                              : 0);
  desktop.SetMenuActive(desk == Desk::LockMenuOpen);
  desktop.HoldKey(0x12, desk == Desk::LockUserHoldsAlt);
  if (desk == Desk::LockEditorAsAdmin) {
    desktop.SetIntegrityLevel(desktop.ProcessOf(editor), SimDesktop::kHighLevel);
  }
  d.p.view.status = "unchanged";
  d.p.view.image = 7;
  desktop.ClearTrace();
  PressOn(d.p.form, c.key, c.keypadKey);
  desktop.DeliverPosted();
  return {desktop.KeysReceived(target), desktop.KeysReceived(editor), desktop.Trace(),
          d.p.view.status, d.p.view.image};
}

bool Contains(const Lines& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

TEST(ForegroundLock, WithoutTheLockKeysReachTheTargetAndNoAltIsPressed) {
  for (const TypingCase& c : TypingCases()) {
    SCOPED_TRACE(c.name);
    const Outcome o = PressWith(c, Desk::NoLock);
    EXPECT_EQ(o.targetKeys, c.keys);
    EXPECT_TRUE(o.editorKeys.empty());
    EXPECT_FALSE(Contains(o.trace, kAltDown)) << "a first SetForegroundWindow that succeeds is all";
    EXPECT_EQ(o.status, "unchanged");
    EXPECT_EQ(PressWith(c, Desk::SlowToComeForward).targetKeys, c.keys)
        << Name(Desk::SlowToComeForward);
  }
}

TEST(ForegroundLock, TheAltRuleBringsTheTargetForwardAndTheKeysReachIt) {
  for (const TypingCase& c : TypingCases()) {
    SCOPED_TRACE(c.name);
    const Outcome o = PressWith(c, Desk::LockAllowsAlt);
    EXPECT_EQ(o.status, "unchanged");
    if (c.targetStartsInFront) {
      EXPECT_EQ(o.targetKeys, c.keys);
      EXPECT_TRUE(o.editorKeys.empty());
      continue;
    }
    // The window losing the foreground sees Alt go down, never a key of the handler's; the
    // target sees Alt come up (a release without its press opens no menu), then the keys.
    EXPECT_EQ(o.editorKeys, Lines{"key 0x12 down"});
    EXPECT_EQ(o.targetKeys, Lines{"key 0x12 up"} + c.keys);
    const auto down = std::find(o.trace.begin(), o.trace.end(), kAltDown);
    ASSERT_NE(down, o.trace.end());
    ASSERT_NE(std::find(down, o.trace.end(), kAltUp), o.trace.end());
    EXPECT_EQ(down[1].rfind("SetForegroundWindow(", 0), 0u) << "Alt is held across the retry";
  }
}

TEST(ForegroundLock, WhenTheTargetCannotComeForwardNoKeyIsTyped) {
  for (const Desk desk : {Desk::LockMenuOpen, Desk::LockEditorAsAdmin, Desk::LockUserHoldsAlt,
                          Desk::NeverComesForward}) {
    for (const TypingCase& c : TypingCases()) {
      SCOPED_TRACE(std::string(Name(desk)) + ": " + c.name);
      const Outcome o = PressWith(c, desk);
      if (c.targetStartsInFront) {
        EXPECT_EQ(o.targetKeys, c.keys) << "in front already: nothing to refuse";
        continue;
      }
      EXPECT_TRUE(o.targetKeys.empty());
      const bool handlerKeys = std::any_of(o.trace.begin(), o.trace.end(), [](const auto& l) {
        return l.rfind("keybd_event(", 0) == 0 && l.find(", 0, 0x100, 0)") != std::string::npos;
      });
      EXPECT_FALSE(handlerKeys) << "no key press is synthesized at all";
      // Only the activation attempts' own Alt can have reached the editor, and never as a lone
      // tap that would open its menu bar: an unassigned key goes between press and release.
      // None where the system took no input of ours, or the user's own Alt was down.
      if (desk != Desk::LockMenuOpen) {
        EXPECT_TRUE(o.editorKeys.empty());
      } else {
        const Lines attempt = {"key 0x12 down", "key 0xE8 down", "key 0xE8 up", "key 0x12 up"};
        ASSERT_FALSE(o.editorKeys.empty());
        for (std::size_t i = 0; i < o.editorKeys.size(); ++i) {
          EXPECT_EQ(o.editorKeys[i], attempt[i % attempt.size()]);
        }
      }
      EXPECT_TRUE(desk != Desk::LockUserHoldsAlt || !Contains(o.trace, kAltDown));
      const AppTable table = InitialAppTable();
      EXPECT_EQ(o.status,
                table.at(static_cast<std::size_t>(c.row)).WindowTitle + " is not in front.");
      EXPECT_EQ(o.image, 7) << "the target runs";
    }
  }
}

// A dialog the target opens in front of the window brought forward belongs to the same program:
// the keys go there. A window of any other program does not get them.
TEST(ForegroundLock, KeysGoToAnyWindowOfTheTargetsProgramOnly) {
  for (const bool sameProgram : {true, false}) {
    SCOPED_TRACE(sameProgram ? "the target's own dialog" : "another program's window");
    SimDesktop desktop;
    const std::string title = "PCPhone";
    const std::string className;
    std::string problem;
    Techniques t{desktop, TargetFields{title, className}, [] {},
                 [&](const char* suffix) { problem = suffix; }};
    const Hwnd main = desktop.AddWindow("Dialog", title);
    const Hwnd popup = desktop.AddWindow("#32770", "Dial");
    if (sameProgram) desktop.SetProcess(popup, desktop.ProcessOf(main));
    t.ActivateWindow(main);
    desktop.SetForeground(popup);  // comes up between the activation and the key
    t.TapKey(0x65);
    EXPECT_TRUE(desktop.KeysReceived(main).empty());
    EXPECT_EQ(desktop.KeysReceived(popup), sameProgram ? Typed(0x65) : Lines{});
    EXPECT_EQ(problem, sameProgram ? "" : " is not in front.");
  }
}

// The call key brings Skype forward by the same rule as every other activation, so a press with
// the user's editor in front still shows Skype.
TEST(ForegroundLock, TheCallKeyBringsSkypeForward) {
  SkypeDesk s;
  SimDesktop& desktop = s.p.desktop;
  const Hwnd editor = desktop.AddWindow("Notepad", "notes.txt - Notepad");
  s.p.form.Found.SkypeMainWindow = s.skype.mainWindow;
  desktop.SetForeground(editor);
  desktop.SetForegroundLock(true);
  s.p.form.ActiveCallId = 42;
  s.p.form.HandleCallKey();
  EXPECT_EQ(desktop.Foreground(), s.skype.mainWindow);
  EXPECT_EQ(desktop.KeysReceived(editor), Lines{"key 0x12 down"});
}

// An elevated target drops our messages and input without an error: every kind of key says so
// instead, and sends nothing. The same key reaches the same application at our own level.
struct ElevatedCase {
  const char* name;
  int row;
  Key key;
  char keypadKey;
  std::function<Hwnd(KeyDesk&)> open;
};

TEST(TargetRunsAsAdministrator, SaysSoAndSendsNothing) {
  const std::vector<ElevatedCase> cases = {
      {"X-Lite digit (sent keystrokes)", row::XLite, Key::Keypad, '5', MainWindow()},
      {"eyeBeam digit (posted keystrokes)", row::EyeBeam, Key::Keypad, '5', MainWindow()},
      {"SJphone digit (button click)", row::SJphone, Key::Keypad, '5',
       [](KeyDesk& d) {
         const Hwnd main = d.Main();
         d.Button(main, "&5", "Five");
         return main;
       }},
      {"PCPhone digit (keybd_event)", row::PCPhone, Key::Keypad, '5', MainWindow()},
      {"VoipBuster digit (prepared window)", row::VoipBuster, Key::Keypad, '5',
       VoipWindow("VoipBuster")},
      {"VoipBuster call (main window field)", row::VoipBuster, Key::Call, 0,
       VoipWindow("VoipBuster")},
      {"MSN call dialog (found by title)", row::Msn70, Key::Call, 0,
       MsnWith("#32770", kAudioDialog)},
      {"PCPhone hang-up (keybd_event)", row::PCPhone, Key::HangUp, 0, MainWindow()},
      {"SJphone hang-up (button click)", row::SJphone, Key::HangUp, 0, MainWindow()},
      {"VoipBuster hang-up (main window field)", row::VoipBuster, Key::HangUp, 0,
       VoipWindow("VoipBuster")},
  };
  for (const bool elevated : {true, false}) {
    for (const ElevatedCase& c : cases) {
      SCOPED_TRACE(std::string(c.name) + (elevated ? ", elevated" : ", same level"));
      KeyDesk d(c.row);
      SimDesktop& desktop = d.p.desktop;
      const Hwnd target = c.open(d);
      if (elevated) {
        desktop.SetIntegrityLevel(desktop.ProcessOf(target), SimDesktop::kHighLevel);
      }
      d.p.view.status = "unchanged";
      d.p.view.image = 7;
      PressOn(d.p.form, c.key, c.keypadKey);
      desktop.DeliverPosted();
      const auto& sentOrTyped = desktop.Window(target).received;
      const bool anyChildGotSomething = [&] {
        for (const Hwnd h : {d.main, target}) {
          if (!desktop.Window(h).received.empty()) return true;
        }
        return false;
      }();
      if (elevated) {
        EXPECT_FALSE(anyChildGotSomething) << (sentOrTyped.empty() ? "" : sentOrTyped.front());
        EXPECT_EQ(d.p.view.status, d.p.form.FTargetTitle + " runs as administrator.");
        EXPECT_EQ(d.p.view.image, 7) << "the target runs";
        const Lines effects = desktop.Effects();
        EXPECT_FALSE(std::any_of(effects.begin(), effects.end(), [](const std::string& l) {
          return l.rfind("keybd_event(", 0) == 0 || l.rfind("PostMessageA(", 0) == 0;
        }));
      } else {
        EXPECT_NE(d.p.view.status, d.p.form.FTargetTitle + " runs as administrator.");
      }
      // Found, though out of reach: the hang-up key still silences the handset.
      EXPECT_EQ(d.p.handset.Count("StopBuzzer"), c.key == Key::HangUp ? 1 : 0);
    }
  }
}

}  // namespace
}  // namespace telvaro::sim
