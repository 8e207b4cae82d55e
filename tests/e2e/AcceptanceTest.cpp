// Acceptance of every window-driven application, for real: each row is picked in combo_App while
// its fake is absent and again once it runs, the status line and the tray follow, and all sixteen
// handset keys are pressed against the fake, which must log exactly the messages its application
// is driven with. Then the call and hang-up keys in the situations that change their course
// (incoming-call, login and call dialogs), with a Skype call ringing so that the buzzer can be
// seen to stop, or not.
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "FakeAppKeys.h"
#include "FakeSkypeControl.h"

namespace telvaro::e2e {
namespace {

using namespace fake;

// One row of the supported application table and what its fake must log for each handset key.
struct AppRow {
  int row;
  const char* app;          // fakeapp's name for it
  const char* displayName;  // the combo_App item
  const char* title;        // the title sought: the status line's text while it is absent
  const char* shownTitle;   // the fake's main window title: the status line's text while it runs
  KeypadPlan keypad;
  Lines call;
  Lines hangUp;
  Lines up;
  Lines down;
};

void PrintTo(const AppRow& row, std::ostream* out) { *out << row.displayName; }

Lines XProCall() { return Click("main", 215, 210); }
Lines XProHangUp() { return Click("main", 65, 207); }
Lines MainUp() { return Click("main", 141, 201); }
Lines VoipUp() { return ButtonClick("btn:Contacts") + FocusKey("contacts-list", kVkUp, true); }
Lines VoipDown() { return ButtonClick("btn:Contacts") + FocusKey("contacts-list", kVkDown, false); }
Lines YahooButton(const char* label) { return Click(label, 36, 12, 0); }

AppRow Voip(int row, const char* app, const char* name, const char* shownTitle) {
  // clang-format off
  return {row, app, name, name, shownTitle, VoipKeys, ButtonClick("btn:OffHook"),
          ButtonClick("btn:OnHook"), VoipUp(), VoipDown()};
  // clang-format on
}

// Rows 1 to 20; Skype (row 0) is driven through its desktop API and tested on its own.
// clang-format off
const std::vector<AppRow>& Rows() {
  static const std::vector<AppRow> rows = {
      {1, "d", "X-Lite", "X-Lite", "X-Lite", KeysThenClickForHash, Click("main", 272, 243),
       Click("main", 437, 243), MainUp(), {}},
      {2, "j", "X-PRO", "X-PRO", "X-PRO", KeysThenShiftedHash, XProCall(), XProHangUp(), MainUp(),
       {}},
      {3, "m", "X-PRO Vonage", "X-PRO Vonage", "X-PRO Vonage", KeysThenShiftedHash, XProCall(),
       XProHangUp(), MainUp(), {}},
      {4, "n", "X-PRO Engin", "X-PRO engin Login", "X-PRO engin Login", KeysThenShiftedHash,
       XProCall(), XProHangUp(), MainUp(), {}},
      {5, "o", "X-Lite with X-Look", "X-Lite with X-Look", "X-Lite with X-Look",
       KeysThenShiftedHash, XProCall(), XProHangUp(), MainUp(), {}},
      {6, "f", "SJphone 1.3", "SJphone", "SJphone", SjphoneButtons, ButtonClick("btn:&Dial"),
       ButtonClick("btn:&Hangup") + ButtonClick("btn:confirm"), {}, {}},
      {7, "g", "Net2Phone Dialer", "Net2Phone Dialer", "Net2Phone Dialer", Net2PhoneEdit,
       ButtonClick("callbutton"), ButtonClick("hangupbutton"), {}, {}},
      {8, "p", "Net2Phone CommCenter", "Net2Phone CommCenter", "Net2Phone CommCenter",
       Net2PhoneEdit, ButtonClick("callbutton"), ButtonClick("hangupbutton"), {}, {}},
      // In front and without a call dialog: the call key opens one with Alt+A, then A (7.0) or V
      // (7.5), then Enter; without a conversation the hang-up key only silences the buzzer.
      {9, "i", "MSN Messenger 7.0", "MSN Messenger", "MSN Messenger", NoKeypad,
       TapAlt("main", kVkA) + Tap("main", kVkA) + Tap("main", kVkReturn), {}, {}, {}},
      {10, "v", "MSN Messenger 7.5", "MSN Messenger", "MSN Messenger", NoKeypad,
       TapAlt("main", kVkA) + Tap("main", kVkV) + Tap("main", kVkReturn), {}, {}, {}},
      {11, "k", "Firefly 2.x", "Firefly 2", "Firefly 2", FireflyKeys, Tap("main", kVkReturn),
       Tap("main", kVkEscape), Click("multibutton", 45, 11), {}},
      {12, "l", "eyeBeam", "eyeBeam", "eyeBeam", EyeBeamKeys, Click("main", 275, 242),
       Click("main", 440, 242), Click("main", 335, 367), {}},
      // The number edit is empty, so Up stops after asking its length.
      {13, "q", "ICQPhone", "ICQPhone", "ICQPhone", IcqPhoneButtons, ButtonClick("btn:&Call"),
       ButtonClick("btn:&Hang_Up"), TextLength("edit", ""), {}},
      {14, "r", "Yahoo Call Center", "Call Center", "Call Center", YahooPoints,
       YahooButton("callbutton"), YahooButton("hangupbutton"), {}, {}},
      {15, "s", "AIM Phone", "AIM Phone", "AIM Phone", AimPoints, Click("main", 332, 85),
       Click("main", 332, 85), {}, {}},
      Voip(16, "u", "VoipBuster", "VoipBuster - fakeuser"),
      Voip(17, "x", "VoipStunt", "VoipStunt - fakeuser"),
      Voip(18, "y", "VoipCheap", "VoipCheap - fakeuser"),
      {19, "z", "MediaRing PCPhone", "MediaRing PCPhone", "MediaRing PCPhone", MediaRingPoints,
       Click("main", 39, 176), Click("main", 39, 176), Click("main", 92, 176), {}},
      {20, "{", "PCPhone", "PCPhone", "PCPhone", PCPhoneKeys, Tap("main", kVkReturn),
       Tap("main", kVkEscape), {}, {}},
  };
  return rows;
}
// clang-format on

using AcceptanceBase = FakeAppTest;

// ---- Every row, every key -----------------------------------------------------------------------

class Acceptance : public AcceptanceBase, public ::testing::WithParamInterface<AppRow> {};

TEST_P(Acceptance, SelectionStatusAndAllSixteenKeys) {
  const AppRow& app = GetParam();
  ASSERT_TRUE(LaunchTelvaro().Valid());  // no settings: Skype is selected
  ASSERT_NO_FATAL_FAILURE(PlugHandset());

  // Absent: the status says so, the tray is red, and the hang-up key leaves the buzzer alone.
  ChooseRow(app.row);
  EXPECT_EQ(ComboItem(app.row), app.displayName);
  EXPECT_TRUE(WaitForStatus(std::string(app.title) + " is not running.")) << StatusLine();
  EXPECT_TRUE(WaitForTray(TrayImage::NotRunning)) << Describe(ShownTrayImage());
  ASSERT_EQ(Handset("press " + std::to_string(kHangUpKey)).result, 1);

  // Started minimized, it is found by the next presence poll, which only reports it. The tick is
  // posted, so it is handled after the hang-up key.
  ASSERT_NO_FATAL_FAILURE(StartFake(app.app, {"--minimized"}));
  HWND fakeMain = FakeWindow(app.shownTitle);
  ASSERT_NE(fakeMain, nullptr);
  ASSERT_TRUE(IsIconic(fakeMain));
  PostMessageA(TelvaroWindow(), WM_TIMER, view::kTimer1Id, 0);
  EXPECT_TRUE(WaitForStatus(std::string(app.shownTitle) + " is running.")) << StatusLine();
  EXPECT_TRUE(WaitForTray(TrayImage::Running)) << Describe(ShownTrayImage());
  EXPECT_TRUE(IsIconic(fakeMain)) << "the presence poll restores nothing";
  const std::vector<std::string> calls = HandsetCalls();
  ASSERT_FALSE(calls.empty());
  EXPECT_EQ(calls.back(), "StartKeyScan")
      << "the hang-up key of an absent application calls nothing of the handset library";

  // Selecting the running application restores it and brings it to the front, and sends it
  // nothing.
  ChooseRow(0);
  ChooseRow(app.row);
  EXPECT_EQ(StatusLine(), std::string(app.shownTitle) + " is running.");
  EXPECT_TRUE(WaitUntil([&] { return !IsIconic(fakeMain) && GetForegroundWindow() == fakeMain; },
                        Millis{3000}))
      << "the selection restores and activates the running application";
  EXPECT_EQ(FakeLines(fakeLog_), std::vector<std::string>{"ready"});

  KeyCheck keys(fakeLog_, HandsetLogPath());
  std::string typed;  // what a number edit that the keys type into holds
  for (const KeypadKey& key : KeypadKeys()) {
    keys.Press(key.code, app.keypad(key, typed), false,
               std::string(app.displayName) + ", key " + key.key);
    typed += key.key;
  }
  keys.Press(kCallKey, app.call, false, std::string(app.displayName) + ", call key");
  // With no dialog open every application's hang-up key silences the buzzer.
  keys.Press(kHangUpKey, app.hangUp, true, std::string(app.displayName) + ", hang-up key");
  keys.Press(kUpKey, app.up, false, std::string(app.displayName) + ", Up key");
  keys.Press(kDownKey, app.down, false, std::string(app.displayName) + ", Down key");
  keys.Finish();
  EXPECT_EQ(StatusLine(), std::string(app.shownTitle) + " is running.");
}

INSTANTIATE_TEST_SUITE_P(, Acceptance, ::testing::ValuesIn(Rows()),
                         [](const ::testing::TestParamInfo<AppRow>& info) {
                           return "Row" + std::to_string(info.param.row);
                         });

// ---- The call and hang-up keys where a dialog changes their course ------------------------------

constexpr int kRingingCall = 61;
constexpr char kMsnAudioDialogZh[] = "\xBF\xAA\xCA\xBC\xD2\xF4\xC6\xB5\xB6\xD4\xBB\xB0";

class AcceptanceCallKeys : public AcceptanceBase {
 protected:
  // Starts the fake, a fake Skype and telvaro with Skype selected; Skype reports an incoming call,
  // so the buzzer rings; then the row is picked, which leaves the buzzer ringing.
  void StartRinging(int row, const std::string& app, const std::vector<std::string>& extraArgs) {
    skypeLog_ = TempPath("fakeskype.log");
    ASSERT_TRUE(Launch(kFakeSkypeExe, {"--log", skypeLog_}).Valid());
    ASSERT_TRUE(WaitForLine(skypeLog_, "ready"));
    ASSERT_NO_FATAL_FAILURE(StartFake(app, extraArgs));
    ASSERT_TRUE(LaunchTelvaro().Valid());
    ASSERT_NO_FATAL_FAILURE(PlugHandset());
    ASSERT_TRUE(WaitForLine(skypeLog_, "received PROTOCOL 3"));
    ASSERT_TRUE(tools::SendFakeSkypeControl(
        tools::FindFakeSkypeApiWindow(),
        "send CALL " + std::to_string(kRingingCall) + " STATUS RINGING"));
    ASSERT_TRUE(WaitUntil([] { return HandsetState("buzzer") == true; }));
    ChooseRow(row);
    keys_.emplace(fakeLog_, HandsetLogPath());
  }

  void Press(int code, const Lines& expected, bool stopsBuzzer, const std::string& what) {
    keys_->Press(code, expected, stopsBuzzer, what);
  }

  bool Ringing() const { return HandsetState("buzzer") == true; }
  bool Silent() const {
    return WaitUntil([] { return HandsetState("buzzer") == false; }, Millis{3000});
  }

  std::string skypeLog_;
  std::optional<KeyCheck> keys_;
};

TEST_F(AcceptanceCallKeys, SjphoneWithoutIncomingCallDialsAndHangsUp) {
  ASSERT_NO_FATAL_FAILURE(StartRinging(6, "f", {"--extra", "contacts,calllogs"}));
  Press(kCallKey, ButtonClick("btn:&Dial"), false, "call key");
  Press(kHangUpKey,
        ButtonClick("btn:&Hangup") + ButtonClick("btn:confirm") + Close("contacts") +
            Close("calllogs"),
        true, "hang-up key");
  EXPECT_TRUE(Silent());
  keys_->Finish();
  // The closes are not waited for (a softphone slow to close must not hold up the handset), and
  // a top-level window takes a while to go here: wait for it.
  EXPECT_TRUE(WaitForWindowGone(nullptr, "Contacts"));
  EXPECT_TRUE(WaitForWindowGone(nullptr, "Call Logs"));
}

TEST_F(AcceptanceCallKeys, SjphoneWithIncomingCallAcceptsOrIgnoresIt) {
  ASSERT_NO_FATAL_FAILURE(StartRinging(6, "f", {"--extra", "incoming"}));
  HWND incoming = FakeWindow("SJphone - Incoming Call");
  ASSERT_NE(incoming, nullptr);
  SetForegroundWindow(incoming);
  ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == incoming; }));
  Press(kCallKey, ButtonClick("incoming:&Accept"), false, "call key");
  EXPECT_EQ(GetForegroundWindow(), incoming) << "the main window is not brought forward";
  Press(kHangUpKey, ButtonClick("incoming:&Ignore"), false, "hang-up key");
  keys_->Finish();
  EXPECT_TRUE(Ringing()) << "ignoring the incoming call leaves the buzzer to Skype";
}

TEST_F(AcceptanceCallKeys, Net2PhoneDialerCancelsTheLoginThenHangsUp) {
  ASSERT_NO_FATAL_FAILURE(StartRinging(7, "g", {"--extra", "login,contacts"}));
  Press(kCallKey, ButtonClick("callbutton"), false, "call key with Account Login open");
  Press(kHangUpKey, ButtonClick("login:&Cancel"), false, "hang-up key with Account Login open");
  EXPECT_TRUE(Ringing());
  SendMessageA(FakeWindow("Account Login"), WM_CLOSE, 0, 0);
  ASSERT_TRUE(WaitForWindowGone(nullptr, "Account Login"));
  keys_->Resync();
  Press(kHangUpKey, Close("contacts") + ButtonClick("hangupbutton"), true,
        "hang-up key once the login is gone");
  EXPECT_TRUE(Silent());
  keys_->Finish();
}

TEST_F(AcceptanceCallKeys, Net2PhoneCommCenterPressesOkFirst) {
  ASSERT_NO_FATAL_FAILURE(StartRinging(8, "p", {"--extra", "ok"}));
  Press(kHangUpKey, ButtonClick("btn:&OK"), false, "hang-up key with an OK button");
  keys_->Finish();
  EXPECT_TRUE(Ringing());
}

TEST_F(AcceptanceCallKeys, MsnMessenger70WithTheEnglishCallDialog) {
  ASSERT_NO_FATAL_FAILURE(StartRinging(9, "i", {"--extra", "dialog-en"}));
  Press(Keypad('5').code, {}, false, "key 5 (no keypad for MSN Messenger)");
  Press(kCallKey, Tap("dialog-en", kVkReturn), false, "call key");
  Press(kUpKey, Tap("dialog-en", kVkUp), false, "Up key");
  Press(kDownKey, Tap("dialog-en", kVkDown), false, "Down key");
  Press(kHangUpKey, ButtonClick("dialog-en:Cancel"), false, "hang-up key");
  keys_->Finish();
  EXPECT_TRUE(Ringing()) << "cancelling the call dialog leaves the buzzer alone";
}

// The call key looks for the English dialog first; the hang-up, Up and Down keys of 7.0 for the
// Chinese one first.
TEST_F(AcceptanceCallKeys, MsnMessenger70SearchesItsTwoCallDialogsInOrder) {
  ASSERT_NO_FATAL_FAILURE(StartRinging(9, "i", {"--extra", "dialog-en,dialog-zh"}));
  Press(kCallKey, Tap("dialog-en", kVkReturn), false, "call key");
  Press(kUpKey, Tap("dialog-zh", kVkUp), false, "Up key");
  Press(kHangUpKey, ButtonClick("dialog-zh:cancel"), false, "hang-up key");
  keys_->Finish();
  EXPECT_TRUE(Ringing());
}

TEST_F(AcceptanceCallKeys, MsnMessenger70ChineseDialogWithoutTheMainWindow) {
  ASSERT_NO_FATAL_FAILURE(StartRinging(9, "i", {"--no-main", "--extra", "dialog-zh"}));
  EXPECT_TRUE(WaitForStatus("MSN Messenger is not running."));
  // Under Wine a window of another application that is brought to the front by
  // SetForegroundWindow takes the keyboard focus only once its own thread gets round to it, and
  // keys typed before that are lost. Put the dialog in front first, as the user would have.
  HWND dialog = FakeWindow(kMsnAudioDialogZh);
  ASSERT_NE(dialog, nullptr);
  SetForegroundWindow(dialog);
  ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == dialog; }));
  Press(kCallKey, Tap("dialog-zh", kVkReturn), false, "call key");
  Press(kHangUpKey, {}, false, "hang-up key (MSN Messenger itself is missing)");
  Press(kUpKey, {}, false, "Up key (MSN Messenger itself is missing)");
  keys_->Finish();
  EXPECT_EQ(StatusLine(), "MSN Messenger is not running.");
  EXPECT_TRUE(Ringing());
}

// 7.5 leaves its call dialog to the call, Up and Down keys; its hang-up key goes to the
// conversation.
TEST_F(AcceptanceCallKeys, MsnMessenger75EndsTheConversation) {
  ASSERT_NO_FATAL_FAILURE(StartRinging(10, "v", {"--extra", "dialog-en,conversation"}));
  Press(kCallKey, Tap("dialog-en", kVkReturn), false, "call key");
  Press(kDownKey, Tap("dialog-en", kVkDown), false, "Down key");
  Press(kHangUpKey, TapAlt("conversation", kVkQ), false, "hang-up key");
  keys_->Finish();
  EXPECT_TRUE(Ringing());
}

TEST_F(AcceptanceCallKeys, MsnMessenger70EndsTheConversationWithAltDAltQ) {
  ASSERT_NO_FATAL_FAILURE(StartRinging(9, "i", {"--extra", "conversation"}));
  Press(kHangUpKey, TapAlt("conversation", kVkD) + TapAlt("conversation", kVkQ), false,
        "hang-up key");
  keys_->Finish();
  EXPECT_TRUE(Ringing());
}

TEST_F(AcceptanceCallKeys, YahooCallCenterClicksItsToolbarButtons) {
  ASSERT_NO_FATAL_FAILURE(StartRinging(14, "r", {}));
  Press(kCallKey, Click("callbutton", 36, 12, 0), false, "call key");
  Press(kHangUpKey, Click("hangupbutton", 36, 12, 0), true, "hang-up key");
  EXPECT_TRUE(Silent());
  keys_->Finish();
}

TEST_F(AcceptanceCallKeys, IcqPhoneUpRemovesTheLastDigit) {
  ASSERT_NO_FATAL_FAILURE(StartRinging(13, "q", {}));
  HWND edit = FindWindowExA(FakeWindow("ICQPhone"), nullptr, "Edit", nullptr);
  ASSERT_NE(edit, nullptr);
  SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("123"));
  SendMessageA(edit, EM_SETSEL, 3, 3);
  keys_->Resync();
  Press(kUpKey,
        TextLength("edit", "123") + Keys("edit", kVkBack, 0x08) + GetText("edit", 1024, "12") +
            SetText("edit", "12") + TextLength("edit", "12") + SetSel("edit", 2),
        false, "Up key on 123");
  Press(kHangUpKey, ButtonClick("btn:&Hang_Up"), true, "hang-up key");
  EXPECT_TRUE(Silent());
  keys_->Finish();
  char text[16] = {};
  SendMessageA(edit, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
  EXPECT_STREQ(text, "12");
  const auto selection = static_cast<DWORD>(SendMessageA(edit, EM_GETSEL, 0, 0));
  EXPECT_EQ(LOWORD(selection), 2);
  EXPECT_EQ(HIWORD(selection), 2) << "the caret stays after the 2";
}

// Browsing the contact list makes the next digit start a new number; the star key (Backspace)
// neither clears the number nor cancels that.
TEST_F(AcceptanceCallKeys, VoipBusterClearsItsNumberAfterBrowsing) {
  ASSERT_NO_FATAL_FAILURE(StartRinging(16, "u", {}));
  HWND edit = FindWindowExA(FakeWindow("VoipBuster - fakeuser"), nullptr, "Edit", nullptr);
  ASSERT_NE(edit, nullptr);
  SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("999"));
  keys_->Resync();
  Press(kUpKey, VoipUp(), false, "Up key");
  Press(Keypad('*').code, ButtonClick("btn:Contacts") + Tap("main", kVkBack), false, "star key");
  Press(Keypad('5').code,
        ButtonClick("btn:Contacts") + SetText("edit", "") + Keys("main", 0x65, '5'), false,
        "key 5 after browsing");
  Press(Keypad('6').code, ButtonClick("btn:Contacts") + Keys("main", 0x66, '6'), false,
        "key 6: the number is not cleared again");
  Press(kCallKey, ButtonClick("btn:OffHook"), false, "call key");
  Press(kHangUpKey, ButtonClick("btn:OnHook"), true, "hang-up key");
  EXPECT_TRUE(Silent());
  keys_->Finish();
  EXPECT_EQ(GetWindowTextLengthA(edit), 0) << "the number browsed away from is gone";
}

}  // namespace
}  // namespace telvaro::e2e
