#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "KeyTrace.h"
#include "SimSkype.h"
#include "TestProgram.h"
#include "shell/CallSwitch.h"

namespace telvaro {
namespace {

using namespace sim::trace;
using sim::TestProgram;

struct Point {
  int x;
  int y;
};

// The twelve keys with what each application expects of them.
struct Key {
  char key;
  int vk;  // 0 for hash
  const char* sjphone;
  const char* icqPhone;
  Point mediaRing;
  Point yahoo;
  Point aim;
};

const Key kKeys[] = {
    {'1', 0x61, "&1", "1", {39, 208}, {17, 15}, {15, 8}},
    {'2', 0x62, "&2", "2 abc", {90, 208}, {65, 15}, {57, 9}},
    {'3', 0x63, "&3", "3 def", {146, 208}, {114, 15}, {94, 9}},
    {'4', 0x64, "&4", "4 ghi", {40, 230}, {17, 57}, {15, 34}},
    {'5', 0x65, "&5", "5 jkl", {90, 232}, {65, 57}, {57, 34}},
    {'6', 0x66, "&6", "6 mno", {143, 232}, {114, 57}, {93, 32}},
    {'7', 0x67, "&7", "7 prs", {38, 254}, {17, 100}, {16, 57}},
    {'8', 0x68, "&8", "8 tuv", {91, 254}, {65, 100}, {55, 57}},
    {'9', 0x69, "&9", "9 wxy", {145, 254}, {112, 100}, {92, 57}},
    {'0', 0x60, "&0", "0", {97, 277}, {65, 141}, {54, 81}},
    {'*', 0x6A, "&*", "*", {47, 277}, {17, 141}, {14, 80}},
    {'#', 0, "&#", "#", {146, 277}, {114, 141}, {93, 82}},
};

bool IsDigit(const Key& k) { return k.key >= '0' && k.key <= '9'; }

Hwnd Open(TestProgram& p, const std::string& cls, const std::string& text, Hwnd parent,
          const std::string& label, int w = 0, int h = 0) {
  const Hwnd handle = p.desktop.AddWindow(cls, text, parent, w, h);
  p.desktop.Window(handle).label = label;
  return handle;
}

// --- Expected traces, per family -----------------------------------------------------------------

// The main window is labelled "Main" wherever it is found.
std::string FindMain(const char* cls, const std::string& title) { return Find(cls, title, "Main"); }

// X-Lite and the X-PRO family: key 2 is looked up by title alone.
std::function<Lines(const Key&)> KeystrokesToMain(const char* cls, const char* title, bool xLite) {
  return [=](const Key& k) {
    const Lines found{FindMain(k.key == '2' ? nullptr : cls, title), Foreground("Main")};
    if (k.key != '#') return found + SentTriple("Main", k.vk, k.key);
    return found + (xLite ? SentClick("Main", 392, 343) : SentShiftedHash("Main"));
  };
}

Lines Firefly(const Key& k) {
  const char* cls = k.key == '2' ? nullptr : "QWidget";
  const Lines found{FindMain(cls, "Firefly 2"), Foreground("Main")};
  if (IsDigit(k)) return found + Lines{Sent("Main", KeyDown(k.vk)), Sent("Main", KeyUp(k.vk))};
  return found + TapShifted(k.key == '*' ? 0x6B : 0x33);
}

Lines EyeBeam(const Key& k) {
  const char* cls = k.key == '2' ? nullptr : "Funky Window";
  const Lines found{FindMain(cls, "eyeBeam"), Restore("Main"), Foreground("Main")};
  if (k.key == '#') return found + TapShifted(0x33);
  return found + PostedTriple("Main", k.vk, k.key);
}

std::function<Lines(const Key&)> ByCaption(const char* title, const char* Key::*caption) {
  return [=](const Key& k) {
    return Lines{FindMain(nullptr, title), Foreground("Main"),
                 FindButton("Main", k.*caption, std::string("B") + k.*caption),
                 Sent(std::string("B") + k.*caption, BmClick())};
  };
}

std::function<Lines(const Key&)> Net2Phone(const char* title) {
  return [=](const Key& k) {
    const Lines found{FindMain(nullptr, title), Restore("Main"), Foreground("Main"),
                      Sent("Edit", Message("WM_GETTEXTLENGTH", 0, 0)),
                      Sent("Edit", Message("EM_SETSEL", 3, 3))};
    return found + (k.key == '#' ? SentShiftedHash("Edit") : SentTriple("Edit", k.vk, k.key));
  };
}

Lines MediaRing(const Key& k) {
  return Lines{FindMain(nullptr, "MediaRing PCPhone"), Restore("Main"), Foreground("Main")} +
         PostedClick("Main", k.mediaRing.x, k.mediaRing.y);
}

std::function<Lines(const Key&)> KeypadChild(const char* title, Point Key::*point) {
  return [=](const Key& k) {
    return Lines{FindMain(nullptr, title), Restore("Main"), Foreground("Main"),
                 Foreground("Main")} +
           PostedClick("Pad", (k.*point).x, (k.*point).y);
  };
}

Lines PCPhone(const Key& k) {
  if (k.key == '#') return {};
  return Lines{FindMain(nullptr, "PCPhone"), Foreground("Main")} + Tap(k.key == '*' ? 0x08 : k.vk);
}

// With the clear-edit flag at 1 before every key.
Lines Voip(const Key& k) {
  const bool postedContacts = k.key == '1' || k.key == '0';
  Lines lines{FindButton("Main", "Contacts", "Contacts"),
              postedContacts ? Posted("Contacts", BmClick()) : Sent("Contacts", BmClick()),
              Restore("Main"), Foreground("Main")};
  if (k.key == '*') return lines + Tap(0x08);
  lines.push_back(Sent("Edit", "WM_SETTEXT, 0x0, \"\""));
  if (k.key == '#') return lines + TapShifted(0x33);
  return lines + PostedTriple("Main", k.vk, k.key);
}

Lines NothingAtAll(const Key&) { return {}; }

// --- The applications' windows -------------------------------------------------------------------

std::function<void(TestProgram&)> MainOnly(const char* cls, const char* title) {
  return [=](TestProgram& p) { Open(p, cls, title, 0, "Main"); };
}

std::function<void(TestProgram&)> CaptionPad(const char* title, const char* Key::*caption) {
  return [=](TestProgram& p) {
    const Hwnd main = Open(p, "Dialog", title, 0, "Main");
    for (const Key& k : kKeys) Open(p, "Button", k.*caption, main, std::string("B") + k.*caption);
  };
}

std::function<void(TestProgram&)> Net2PhoneWindows(const char* title) {
  return [=](TestProgram& p) {
    const Hwnd main = Open(p, "Dialog", title, 0, "Main");
    p.desktop.AddButton(main, "Hang up", 59, 24);
    p.desktop.AddButton(main, "Call", 59, 24);
    const Hwnd edit = p.desktop.AddEdit(main, "555", 120, 15);
    p.desktop.Window(edit).label = "Edit";
  };
}

std::function<void(TestProgram&)> PadChild(const char* title, const char* padClass, int w, int h) {
  return [=](TestProgram& p) {
    const Hwnd main = Open(p, "Dialog", title, 0, "Main");
    Open(p, padClass, "", main, "Button", 84, 34);
    Open(p, padClass, "", main, "Pad", w, h);
  };
}

std::function<void(TestProgram&)> OpenVoip(const char* title, std::uint8_t TMainForm::*flag,
                                           std::uint8_t FoundWindows::*foundFlag) {
  return [=](TestProgram& p) {
    const Hwnd main = Open(p, "TMainWnd", std::string(title) + " - someone", 0, "Main");
    Open(p, "Button", "Contacts", main, "Contacts");
    const Hwnd edit = Open(p, "Edit", "", main, "Edit");
    FoundWindows& found = p.form.Found;
    VoipWindows& fields = title[4] == 'B'   ? found.VoipBuster
                          : title[4] == 'S' ? found.VoipStunt
                                            : found.VoipCheap;
    fields.Edit = edit;
    if (flag) p.form.*flag = 1;
    if (foundFlag) found.*foundFlag = 1;
  };
}

void NoWindows(TestProgram&) {}

struct AppCase {
  int row;
  std::function<void(TestProgram&)> open;
  std::function<Lines(const Key&)> expected;
  bool voip = false;
};

const std::vector<AppCase>& AppCases() {
  static const std::vector<AppCase> cases = {
      {1, MainOnly("Funky Window", "X-Lite"), KeystrokesToMain("Funky Window", "X-Lite", true)},
      {2, MainOnly("XscSIPClientWndProcClass", "X-PRO"),
       KeystrokesToMain("XscSIPClientWndProcClass", "X-PRO", false)},
      {3, MainOnly("XscSIPClientWndProcClass", "X-PRO Vonage"),
       KeystrokesToMain("XscSIPClientWndProcClass", "X-PRO Vonage", false)},
      {4, MainOnly("XscSIPClientWndProcClass", "X-PRO engin Login"),
       KeystrokesToMain("XscSIPClientWndProcClass", "X-PRO engin Login", false)},
      {5, MainOnly("XscSIPClientWndProcClass", "X-Lite with X-Look"),
       KeystrokesToMain("XscSIPClientWndProcClass", "X-Lite with X-Look", false)},
      {6, CaptionPad("SJphone", &Key::sjphone), ByCaption("SJphone", &Key::sjphone)},
      {7, Net2PhoneWindows("Net2Phone Dialer"), Net2Phone("Net2Phone Dialer")},
      {8, Net2PhoneWindows("Net2Phone CommCenter"), Net2Phone("Net2Phone CommCenter")},
      {9, MainOnly("MSNMSBLClass", "MSN Messenger"), NothingAtAll},
      {10, MainOnly("MSNMSBLClass", "MSN Messenger"), NothingAtAll},
      {11, MainOnly("QWidget", "Firefly 2"), Firefly},
      {12, MainOnly("Funky Window", "eyeBeam"), EyeBeam},
      {13, CaptionPad("ICQPhone", &Key::icqPhone), ByCaption("ICQPhone", &Key::icqPhone)},
      {14, PadChild("Call Center", "ygxa_toolbar", 140, 160),
       KeypadChild("Call Center", &Key::yahoo)},
      {15, PadChild("AIM Phone", "TPanel", 114, 96), KeypadChild("AIM Phone", &Key::aim)},
      {16, OpenVoip("VoipBuster", &TMainForm::FClearEditPending, nullptr), Voip, true},
      {17, OpenVoip("VoipStunt", nullptr, &FoundWindows::VoipStuntClearEditPending), Voip, true},
      {18, OpenVoip("VoipCheap", nullptr, &FoundWindows::VoipCheapClearEditPending), Voip, true},
      {19, MainOnly("Dialog", "MediaRing PCPhone"), MediaRing},
      {20, MainOnly("Dialog", "PCPhone"), PCPhone},
      // Without a call the keys only collect in the row's own buffer (see below).
      {21, MainOnly("MicroSIP", "MicroSIP - alice"), NothingAtAll},
      {22, NoWindows, NothingAtAll},
  };
  return cases;
}

std::uint8_t ClearEditFlag(TestProgram& p) {
  switch (p.form.CurrentAppCode) {
    case app::VoipStunt:
      return p.form.Found.VoipStuntClearEditPending;
    case app::VoipCheap:
      return p.form.Found.VoipCheapClearEditPending;
    default:
      return p.form.FClearEditPending;
  }
}

// Presses one key on a fresh program with `row` targeted and returns the effects.
Lines Press(TestProgram& p, const AppCase& app, const std::function<void(TestProgram&)>& open,
            char key) {
  p.Target(app.row);
  open(p);
  p.desktop.ClearTrace();
  p.view.status = "unchanged";
  p.view.image = 7;
  p.form.HandleKeypadKey(key);
  return p.desktop.Effects();
}

// At every display scale: the child keypads are found by their unscaled sizes, and a click's
// coordinates go as the softphone's own client pixels, which messages carry unconverted.
TEST(KeypadKey, EveryApplicationAndKeyWhileRunning) {
  for (const AppCase& app : AppCases()) {
    for (const auto& [k, scale] : sim::AtEveryScale(kKeys)) {
      SCOPED_TRACE(::testing::Message()
                   << "row " << app.row << " key " << k.key << " at " << scale);
      TestProgram p;
      p.desktop.SetDisplayScale(scale);
      EXPECT_EQ(Press(p, app, app.open, k.key), app.expected(k));
      EXPECT_EQ(p.view.status, "unchanged");
      if (app.voip) {
        EXPECT_EQ(ClearEditFlag(p), k.key == '*' ? 1 : 0);
      }
    }
  }
}

// Not running: one failed look-up (none for the Voip rows, whose window is sought by enumeration),
// the status line, and nothing sent. PCPhone's hash and MSN Messenger look nothing up at all.
TEST(KeypadKey, EveryApplicationAndKeyWhileNotRunning) {
  for (const AppCase& app : AppCases()) {
    for (const Key& k : kKeys) {
      SCOPED_TRACE(::testing::Message() << "row " << app.row << " key " << k.key);
      TestProgram p;
      const Lines running = app.expected(k);
      const Lines effects = Press(p, app, NoWindows, k.key);
      if (running.empty()) {
        EXPECT_EQ(effects, Lines{});
        EXPECT_EQ(p.view.status, "unchanged");
        continue;
      }
      Lines expected;
      if (!app.voip) {
        std::string lookup = running.front();
        lookup.replace(lookup.rfind("= Main"), 6, "= 0");
        expected.push_back(lookup);
      }
      EXPECT_EQ(effects, expected);
      EXPECT_EQ(p.view.status, p.form.Apps[app.row].WindowTitle + " is not running.");
      EXPECT_EQ(p.view.image, 0);
      EXPECT_EQ(p.desktop.PostedCount(), 0u);
    }
  }
}

// Key 2 of the keystroke rows finds a main window of any class; the other keys need the class.
TEST(KeypadKey, KeyTwoFindsTheTitleWhateverTheClass) {
  for (int row : {1, 2, 3, 4, 5, 11, 12}) {
    for (char key : {'1', '2', '3', '*', '#'}) {
      SCOPED_TRACE(::testing::Message() << "row " << row << " key " << key);
      TestProgram p;
      const AppCase app{row, nullptr, nullptr};
      const Lines effects =
          Press(p, app, MainOnly("Other", p.form.Apps[row].WindowTitle.c_str()), key);
      ASSERT_FALSE(effects.empty());
      EXPECT_EQ(effects.size() > 1, key == '2');
      EXPECT_EQ(p.view.status == "unchanged", key == '2');
    }
  }
}

// A key that is none of the twelve reaches no application.
TEST(KeypadKey, OtherCharactersDoNothing) {
  for (const AppCase& app : AppCases()) {
    TestProgram p;
    EXPECT_EQ(Press(p, app, app.open, '+'), Lines{});
    EXPECT_EQ(p.view.status, "unchanged");
  }
}

// --- Skype ------------------------------------------------------------------------------------

struct SkypeRig {
  TestProgram p;
  sim::SimSkype skype{p.desktop};
  SkypeRig() {
    p.Target(0);
    p.form.FSkype->Attach(5);
    p.desktop.DeliverPosted();
    skype.commands.clear();
    p.desktop.ClearTrace();
  }
};

TEST(KeypadKey, SkypeDigitsAndHashGoToTheDialBuffer) {
  for (const Key& k : kKeys) {
    if (k.key == '*') continue;
    SCOPED_TRACE(k.key);
    SkypeRig rig;
    rig.p.form.HandleKeypadKey(k.key);
    EXPECT_EQ(rig.p.form.FDialBuffer, std::string(1, k.key));
    EXPECT_EQ(rig.p.form.FDialCopy, std::string(1, k.key));
  }
}

TEST(KeypadKey, SkypeStar) {
  struct Case {
    const char* name;
    bool callPending;
    bool windowKnown;
    bool inFront;
    std::string buffer;
    std::vector<std::string> commands;
    std::string bufferAfter;
  };
  const std::vector<Case> cases = {
      {"call pending: a dialled star", true, true, false, "12", {}, "12*"},
      {"window unknown: only the search", false, false, true, "12", {}, "12"},
      {"in front with digits: NO", false, true, true, "12", {"BTN_RELEASED NO"}, ""},
      {"in front, nothing dialled: SKYPE", false, true, true, "", {"BTN_RELEASED SKYPE"}, ""},
      {"not in front: nothing", false, true, false, "12", {}, "12"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SkypeRig rig;
    TMainForm& form = rig.p.form;
    form.FCallPending = c.callPending;
    form.FDialBuffer = c.buffer;
    form.FDialCopy = "copy";
    form.Found.SkypeMainWindow = c.windowKnown ? rig.skype.mainWindow : 0;
    if (c.inFront) rig.skype.BringToFront();
    form.HandleKeypadKey('*');
    EXPECT_EQ(rig.skype.commands, c.commands);
    EXPECT_EQ(form.FDialBuffer, c.bufferAfter);
    if (!c.callPending) {
      EXPECT_EQ(form.FDialCopy, "copy");
    }
    EXPECT_EQ(form.Found.SkypeMainWindow, rig.skype.mainWindow);
  }
}

TEST(KeypadKey, SkypeStarTwiceSaysNoThenSkype) {
  SkypeRig rig;
  rig.p.form.FDialBuffer = "123";
  rig.p.form.Found.SkypeMainWindow = rig.skype.mainWindow;
  rig.skype.BringToFront();
  rig.p.form.HandleKeypadKey('*');
  rig.p.form.HandleKeypadKey('*');
  EXPECT_EQ(rig.skype.commands,
            (std::vector<std::string>{"BTN_RELEASED NO", "BTN_RELEASED SKYPE"}));
}

// --- MicroSIP and the tel: link ------------------------------------------------------------------

constexpr int kMicroSipRow = 21;
constexpr int kTelLinkRow = 22;

// The keys collect in the row's own buffer, touching no window; during a MicroSIP call each one
// is a tone instead and the buffer is left alone.
TEST(KeypadKey, MicroSipAndTelLinkCollectTheNumberOrSendTones) {
  struct Case {
    const char* name;
    int row;
    bool callUp;
    bool microSipRuns;
    Lines expected;
    std::string buffer;
    std::string status = "unchanged";
  };
  Lines tones;
  for (const Key& k : kKeys) {
    tones.push_back(FindClass("MicroSIP", "MicroSIP"));
    tones.push_back(ToMicroSip("MicroSIP", std::string("/dtmf:") + k.key));
  }
  const Case cases[] = {
      {"MicroSIP, no call", kMicroSipRow, false, true, {}, "1234567890*#"},
      {"MicroSIP, call up: tones", kMicroSipRow, true, true, tones, ""},
      {"MicroSIP, call up, gone", kMicroSipRow, true, false, Lines(12, FindClass("MicroSIP", "0")),
       "", "MicroSIP is not running."},
      {"tel: link", kTelLinkRow, false, false, {}, "1234567890*#"},
      {"tel: link ignores MicroSIP's call", kTelLinkRow, true, true, {}, "1234567890*#"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TestProgram p;
    p.Target(c.row);
    if (c.microSipRuns) Open(p, "MicroSIP", "MicroSIP - alice", 0, "MicroSIP");
    if (c.callUp) p.form.CallingAppOf(app::MicroSip)->CallEventReported(CallState::Up, "");
    p.view.status = "unchanged";
    p.desktop.ClearTrace();
    for (const Key& k : kKeys) p.form.HandleKeypadKey(k.key);
    EXPECT_EQ(p.desktop.Effects(), c.expected);
    EXPECT_EQ(p.form.RowDialBuffer()->Text(), c.buffer);
    EXPECT_EQ(p.form.FDialBuffer, "") << "Skype's buffer is not theirs";
    EXPECT_EQ(p.view.status, c.status);
  }
}

// A 0 held for a second is "+" when it is the first key; the key-up of a shorter press stops the
// timing and leaves the 0.
TEST(KeypadKey, MicroSipAndTelLinkLongZeroGivesPlus) {
  struct Case {
    const char* name;
    const char* before;
    bool released;
    std::string buffer;
  };
  const Case cases[] = {
      {"first key held", "", false, "+"},
      {"first key released early", "", true, "0"},
      {"after other digits", "49", false, "490"},
  };
  for (int row : {kMicroSipRow, kTelLinkRow}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(::testing::Message() << "row " << row << ": " << c.name);
      TestProgram p;
      p.Target(row);
      for (const char* key = c.before; *key != '\0'; ++key) p.form.HandleKeypadKey(*key);
      p.KeyDown(8);
      EXPECT_TRUE(p.view.TimerRunning(FormTimer::Timer2));
      if (c.released) p.KeyUp(8);
      EXPECT_EQ(p.view.TimerRunning(FormTimer::Timer2), !c.released);
      if (!c.released) p.form.Timer2Timer();
      EXPECT_FALSE(p.view.TimerRunning(FormTimer::Timer2));
      p.KeyUp(8);
      EXPECT_EQ(p.form.RowDialBuffer()->Text(), c.buffer);
    }
  }
}

}  // namespace
}  // namespace telvaro

namespace telvaro {
namespace {

// Where TELVARO holds the number, Up and a phone's backspace take back a digit, Down (with
// nothing keyed) and Redial bring back the last number dialled; a ringing call with nothing
// dialled is refused by backspace.
TEST(NumberEditing, TheRowsThatHoldTheNumber) {
  enum class Press { Up, Down, Redial, Backspace, Call };
  struct Case {
    const char* name;
    int row;
    const char* dialledBefore;  // dialled by the call key first ("" = nothing)
    const char* keyed;
    std::vector<Press> presses;
    std::string buffer;
    std::vector<std::string> links;
    bool ringing = false;
    int hangUps = 0;
  };
  const Case cases[] = {
      {"Up takes back the last digit", kTelLinkRow, "", "123", {Press::Up}, "12", {}},
      {"Up with nothing keyed", kTelLinkRow, "", "", {Press::Up, Press::Up}, "", {}},
      {"Down brings back the last number",
       kTelLinkRow,
       "555",
       "",
       {Press::Down, Press::Call},
       "",
       {"tel:555", "tel:555"}},
      {"Down keeps what is keyed", kTelLinkRow, "555", "9", {Press::Down}, "9", {"tel:555"}},
      {"Redial dials the last number",
       kTelLinkRow,
       "555",
       "9",
       {Press::Redial},
       "",
       {"tel:555", "tel:555"}},
      {"Redial with nothing dialled yet", kTelLinkRow, "", "9", {Press::Redial}, "9", {}},
      {"backspace takes back the last digit", kTelLinkRow, "", "12", {Press::Backspace}, "1", {}},
      {"backspace refuses a ringing call",
       kMicroSipRow,
       "",
       "",
       {Press::Backspace},
       "",
       {},
       true,
       1},
      {"backspace takes a digit first", kMicroSipRow, "", "7", {Press::Backspace}, "", {}, true, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TestProgram p;
    p.desktop.protocolHandlers["tel"] = "phone.exe %1";
    if (c.row == kMicroSipRow) Open(p, "MicroSIP", "MicroSIP - alice", 0, "MicroSIP");
    p.Target(c.row);
    for (const char* k = c.dialledBefore; *k != '\0'; ++k) p.form.HandleKeypadKey(*k);
    if (*c.dialledBefore != '\0') p.form.HandleCallKey();
    for (const char* k = c.keyed; *k != '\0'; ++k) p.form.HandleKeypadKey(*k);
    if (c.ringing) p.form.CallEventArrived(static_cast<WParam>(CallEvent::Ring));
    for (Press press : c.presses) {
      switch (press) {
        case Press::Up:
          p.form.HandleUpKey();
          break;
        case Press::Down:
          p.form.HandleDownKey();
          break;
        case Press::Redial:
          p.form.HandleRedialKey();
          break;
        case Press::Backspace:
          p.form.HandleBackspaceKey();
          break;
        case Press::Call:
          p.form.HandleCallKey();
          break;
      }
    }
    EXPECT_EQ(p.form.RowDialBuffer()->Text(), c.buffer);
    EXPECT_EQ(p.desktop.linksOpened, c.links);
    int hangUps = 0;
    for (const std::string& line : p.desktop.Trace()) {
      hangUps += line.find("/hangupall") != std::string::npos ? 1 : 0;
    }
    EXPECT_EQ(hangUps, c.hangUps);
  }
}

}  // namespace
}  // namespace telvaro
