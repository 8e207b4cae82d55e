#include <gtest/gtest.h>

#include "CallKeyDesk.h"

namespace telvaro::sim {
namespace {

using namespace trace;

void AddSJphoneButtons(KeyDesk& d) {
  d.Button(d.main, "&Hangup", "Hangup");
  d.Button(d.main, kConfirmZh, "Confirm");
}

void AddIncomingCall(KeyDesk& d, bool withIgnore) {
  const Hwnd incoming = d.TopLevel("SJphone - Incoming Call", "Incoming");
  if (withIgnore) d.Button(incoming, "&Ignore", "Ignore");
}

void AddNet2PhoneHangUp(KeyDesk& d) {
  d.p.form.Found.Net2PhoneHangUpButton = d.Add("Button", "", d.main, "HangUp", 59, 24);
}

void AddConversation(KeyDesk& d) { d.Add("IMWindowClass", "bob - Conversation", 0, "Conv"); }

Lines Msn70Dialogs(const char* zhFound, const char* enFound) {
  return {FindTitle(kAudioDialogZh, zhFound), FindTitle(kAudioDialog, enFound)};
}

Lines Stop() { return {StopBuzzer()}; }

const Lines kMsnMain = {FindTitle("MSN Messenger", "Main"), Foreground("Main")};

void MicroSipRinging(KeyDesk& d) {
  CallingApp& microSip = *d.p.form.CallingAppOf(app::MicroSip);
  microSip.CallEventReported(CallState::Up, "");
  microSip.CallEventReported(CallState::Ringing, "");
  d.p.form.DialBufferOf(app::MicroSip)->Set("123");
}

std::function<void(KeyDesk&)> ExpectMicroSipIdle(bool callMayBeUp) {
  return [callMayBeUp](KeyDesk& d) {
    EXPECT_EQ(d.p.form.CallingAppOf(app::MicroSip)->State(),
              callMayBeUp ? CallState::Up : CallState::Idle);
    EXPECT_EQ(d.p.form.DialBufferOf(app::MicroSip)->Text(), "");
  };
}

TEST(HangUpKey, EveryApplicationWhileRunning) {
  const std::vector<KeyCase> cases = {
      {.name = "X-Lite",
       .appRow = row::XLite,
       .expected = FoundInFront("Funky Window", "X-Lite") + SentClick("Main", 437, 243) + Stop()},
      {.name = "X-PRO",
       .appRow = row::XPro,
       .expected = FoundInFront(kXsc, "X-PRO") + SentClick("Main", 65, 207) + Stop()},
      {.name = "X-PRO Vonage",
       .appRow = row::XProVonage,
       .expected = FoundInFront(kXsc, "X-PRO Vonage") + SentClick("Main", 65, 207) + Stop()},
      {.name = "X-PRO Engin",
       .appRow = row::XProEngin,
       .expected = FoundInFront(kXsc, "X-PRO engin Login") + SentClick("Main", 65, 207) + Stop()},
      {.name = "X-Lite with X-Look",
       .appRow = row::XLook,
       .expected = FoundInFront(kXsc, "X-Lite with X-Look") + SentClick("Main", 65, 207) + Stop()},
      {.name = "SJphone: an incoming call is ignored, the buzzer left alone",
       .appRow = row::SJphone,
       .setup =
           [](KeyDesk& d) {
             AddSJphoneButtons(d);
             AddIncomingCall(d, true);
           },
       .expected =
           Lines{FindTitle("SJphone", "Main"), FindTitle("SJphone - Incoming Call", "Incoming")} +
           ClickButton("Incoming", "&Ignore", "Ignore")},
      {.name = "SJphone: hang up, confirm, close Contacts and Call Logs",
       .appRow = row::SJphone,
       .setup =
           [](KeyDesk& d) {
             AddSJphoneButtons(d);
             d.TopLevel("Contacts", "Contacts");
             d.TopLevel("Call Logs", "CallLogs");
           },
       .expected = Lines{FindTitle("SJphone", "Main"), FindTitle("SJphone - Incoming Call", "0"),
                         Foreground("Main")} +
                   ClickButton("Main", "&Hangup", "Hangup") +
                   ClickButton("Main", kConfirmZh, "Confirm") +
                   Lines{FindTitle("Contacts", "Contacts"), Close("Contacts"),
                         FindTitle("Call Logs", "CallLogs"), Close("CallLogs")} +
                   Stop(),
       .check =
           [](KeyDesk& d) {
             EXPECT_EQ(d.p.desktop.FindWindowA(nullptr, "Contacts"), 0u);
             EXPECT_EQ(d.p.desktop.FindWindowA(nullptr, "Call Logs"), 0u);
           }},
      {.name = "SJphone: every step finds nothing, the buzzer still stops",
       .appRow = row::SJphone,
       .expected = Lines{FindTitle("SJphone", "Main"), FindTitle("SJphone - Incoming Call", "0"),
                         Foreground("Main"), FindButton("Main", "&Hangup", "0"),
                         FindButton("Main", kConfirmZh, "0"), FindTitle("Contacts", "0"),
                         FindTitle("Call Logs", "0")} +
                   Stop()},
      {.name = "SJphone: an incoming-call window without its ignore button",
       .appRow = row::SJphone,
       .setup =
           [](KeyDesk& d) {
             AddSJphoneButtons(d);
             AddIncomingCall(d, false);
           },
       .expected =
           Lines{FindTitle("SJphone", "Main"), FindTitle("SJphone - Incoming Call", "Incoming"),
                 FindButton("Incoming", "&Ignore", "0"), Foreground("Main")} +
           ClickButton("Main", "&Hangup", "Hangup") + ClickButton("Main", kConfirmZh, "Confirm") +
           Lines{FindTitle("Contacts", "0"), FindTitle("Call Logs", "0")} + Stop()},
      {.name = "Net2Phone Dialer: the login is cancelled, nothing else",
       .appRow = row::Net2PhoneDialer,
       .setup =
           [](KeyDesk& d) {
             AddNet2PhoneHangUp(d);
             d.Button(d.main, "&OK", "OK");
             d.Button(d.TopLevel("Account Login", "Login"), "&Cancel", "Cancel");
           },
       .expected =
           Lines{FindTitle("Net2Phone Dialer", "Main"), FindTitle("Account Login", "Login")} +
           ClickButton("Login", "&Cancel", "Cancel")},
      {.name = "Net2Phone Dialer: the main window's OK, nothing else",
       .appRow = row::Net2PhoneDialer,
       .setup =
           [](KeyDesk& d) {
             AddNet2PhoneHangUp(d);
             d.Button(d.main, "&OK", "OK");
           },
       .expected = Lines{FindTitle("Net2Phone Dialer", "Main"), FindTitle("Account Login", "0"),
                         Foreground("Main")} +
                   ClickButton("Main", "&OK", "OK")},
      {.name = "Net2Phone CommCenter: close Contacts, the hang-up button",
       .appRow = row::Net2PhoneCommCenter,
       .setup =
           [](KeyDesk& d) {
             AddNet2PhoneHangUp(d);
             d.TopLevel("Contacts", "Contacts");
           },
       .expected =
           Lines{FindTitle("Net2Phone CommCenter", "Main"), FindTitle("Account Login", "0"),
                 Foreground("Main"), FindButton("Main", "&OK", "0"),
                 FindTitle("Contacts", "Contacts"), Close("Contacts"), SentBmClick("HangUp")} +
           Stop()},
      {.name = "Net2Phone CommCenter: a login without its cancel button",
       .appRow = row::Net2PhoneCommCenter,
       .setup =
           [](KeyDesk& d) {
             AddNet2PhoneHangUp(d);
             d.TopLevel("Account Login", "Login");
           },
       .expected = Lines{FindTitle("Net2Phone CommCenter", "Main"),
                         FindTitle("Account Login", "Login"), FindButton("Login", "&Cancel", "0"),
                         Foreground("Main"), FindButton("Main", "&OK", "0"),
                         FindTitle("Contacts", "0"), SentBmClick("HangUp")} +
                   Stop()},
      {.name = "MSN 7.0: the Chinese call dialog is cancelled",
       .appRow = row::Msn70,
       .setup =
           [](KeyDesk& d) {
             AddConversation(d);
             d.Button(d.TopLevel(kAudioDialogZh, "Dialog"), kCancelZh, "Cancel");
           },
       .expected = kMsnMain + Lines{FindTitle(kAudioDialogZh, "Dialog"), Foreground("Dialog")} +
                   ClickButton("Dialog", kCancelZh, "Cancel")},
      {.name = "MSN 7.0: the English call dialog is cancelled",
       .appRow = row::Msn70,
       .setup =
           [](KeyDesk& d) { d.Button(d.TopLevel(kAudioDialog, "Dialog"), "Cancel", "Cancel"); },
       .expected = kMsnMain + Msn70Dialogs("0", "Dialog") + Lines{Foreground("Dialog")} +
                   ClickButton("Dialog", "Cancel", "Cancel")},
      {.name = "MSN 7.0: dialog without its button, then the conversation gets Alt+D, Alt+Q",
       .appRow = row::Msn70,
       .setup =
           [](KeyDesk& d) {
             AddConversation(d);
             d.TopLevel(kAudioDialogZh, "Dialog");
           },
       .expected = kMsnMain +
                   Lines{FindTitle(kAudioDialogZh, "Dialog"), Foreground("Dialog"),
                         FindButton("Dialog", kCancelZh, "0"), FindTitle(kAudioDialog, "0"),
                         FindTitle("bob - Conversation", "Conv"), Foreground("Conv")} +
                   TapWith(0x12, 0x44) + TapWith(0x12, 0x51)},
      {.name = "MSN 7.0: no dialog and no conversation ever found",
       .appRow = row::Msn70,
       .expected = kMsnMain + Msn70Dialogs("0", "0") + Stop()},
      {.name = "MSN 7.0: the conversation's title outlives its window",
       .appRow = row::Msn70,
       .setup = [](KeyDesk& d) { d.p.form.Found.MsnConversationTitle = "bob - Conversation"; },
       .expected = kMsnMain + Msn70Dialogs("0", "0") + Lines{FindTitle("bob - Conversation", "0")} +
                   Stop()},
      {.name = "MSN 7.5: Alt+Q in the conversation; call dialogs are not looked for",
       .appRow = row::Msn75,
       .setup =
           [](KeyDesk& d) {
             AddConversation(d);
             d.Button(d.TopLevel(kVoiceDialog, "Dialog"), "Cancel", "Cancel");
           },
       .expected = kMsnMain + Lines{FindTitle("bob - Conversation", "Conv"), Foreground("Conv")} +
                   TapWith(0x12, 0x51)},
      {.name = "MSN 7.5: no conversation", .appRow = row::Msn75, .expected = kMsnMain + Stop()},
      {.name = "Firefly",
       .appRow = row::Firefly,
       .expected = FoundInFront("QWidget", "Firefly 2") + Tap(0x1B) + Stop()},
      {.name = "eyeBeam",
       .appRow = row::EyeBeam,
       .expected =
           FoundInFront("Funky Window", "eyeBeam") + PostedClick("Main", 440, 242) + Stop()},
      {.name = "ICQPhone",
       .appRow = row::IcqPhone,
       .setup = [](KeyDesk& d) { d.Button(d.main, "&Hang Up", "HangUp"); },
       .expected = Lines{FindTitle("ICQPhone", "Main"), Foreground("Main")} +
                   ClickButton("Main", "&Hang Up", "HangUp") + Stop()},
      {.name = "ICQPhone without its hang-up button",
       .appRow = row::IcqPhone,
       .expected = Lines{FindTitle("ICQPhone", "Main"), Foreground("Main"),
                         FindButton("Main", "&Hang Up", "0")} +
                   Stop()},
      {.name = "Yahoo Call Center: the second toolbar button, button-up with wParam 0",
       .appRow = row::Yahoo,
       .setup = AddYahooToolbars,
       .expected = Lines{FindTitle("Call Center", "Main")} + RestoreAndActivate("Main") +
                   PostedClickWith("HangUpButton", 36, 12, 1, 0) + Stop()},
      {.name = "Yahoo Call Center: no toolbar buttons, the buzzer still stops",
       .appRow = row::Yahoo,
       .expected = Lines{FindTitle("Call Center", "Main")} + RestoreAndActivate("Main") + Stop()},
      {.name = "AIM Phone",
       .appRow = row::Aim,
       .expected = Lines{FindTitle("AIM Phone", "Main")} + RestoreAndActivate("Main") +
                   PostedClick("Main", 332, 85) + Stop()},
      {.name = "MediaRing PCPhone",
       .appRow = row::MediaRing,
       .expected = Lines{FindTitle("MediaRing PCPhone", "Main")} + RestoreAndActivate("Main") +
                   PostedClick("Main", 39, 176) + Stop()},
      {.name = "PCPhone",
       .appRow = row::PCPhone,
       .expected = Lines{FindTitle("PCPhone", "Main"), Foreground("Main")} + Tap(0x1B) + Stop()},
      {.name = "VoipBuster",
       .appRow = row::VoipBuster,
       .setup = [](KeyDesk& d) { d.Button(d.main, "OnHook", "OnHook"); },
       .expected = RestoreAndActivate("Main") + ClickButton("Main", "OnHook", "OnHook") + Stop()},
      {.name = "VoipStunt",
       .appRow = row::VoipStunt,
       .setup = [](KeyDesk& d) { d.Button(d.main, "OnHook", "OnHook"); },
       .expected = RestoreAndActivate("Main") + ClickButton("Main", "OnHook", "OnHook") + Stop()},
      {.name = "VoipCheap without its OnHook button",
       .appRow = row::VoipCheap,
       .expected = RestoreAndActivate("Main") + Lines{FindButton("Main", "OnHook", "0")} + Stop()},
      {.name = "MicroSIP: every call ends, the number and the ringing go",
       .appRow = row::MicroSip,
       .setup = MicroSipRinging,
       .expected = Lines{FindClass("MicroSIP", "Main"), ToMicroSip("Main", "/hangupall")} + Stop(),
       .check = ExpectMicroSipIdle(false)},
      {.name = "MicroSIP gone: still silenced and emptied",
       .appRow = row::MicroSip,
       .mainRuns = false,
       .setup = MicroSipRinging,
       .expected = Lines{FindClass("MicroSIP", "0")} + Stop(),
       .status = "MicroSIP is not running.",
       .check = ExpectMicroSipIdle(true)},
      {.name = "MicroSIP hung: the call may still be up",
       .appRow = row::MicroSip,
       .setup =
           [](KeyDesk& d) {
             MicroSipRinging(d);
             d.p.desktop.Hang(d.main);
           },
       .expected = Lines{FindClass("MicroSIP", "Main"), ToMicroSip("Main", "/hangupall")} + Stop(),
       .status = "MicroSIP did not take the command.",
       .check = ExpectMicroSipIdle(true)},
      {.name = "X-Lite hung now: no click waits for it to wake, the buzzer rings on",
       .appRow = row::XLite,
       .setup = HangMain,
       .expected = {Find("Funky Window", "X-Lite", "Main")},
       .status = "X-Lite is not responding.",
       .check = NothingOnceAwake},
      {.name = "MediaRing PCPhone hung now: no posted click either",
       .appRow = row::MediaRing,
       .setup = HangMain,
       .expected = {FindTitle("MediaRing PCPhone", "Main")},
       .status = "MediaRing PCPhone is not responding.",
       .check = NothingOnceAwake},
      {.name = "MicroSIP slower than the wait: the call counts as ended",
       .appRow = row::MicroSip,
       .setup =
           [](KeyDesk& d) {
             MicroSipRinging(d);
             d.p.desktop.SetBusy(d.main, kAnswerTimeoutMs + 1000);
           },
       .expected = Lines{FindClass("MicroSIP", "Main"), ToMicroSip("Main", "/hangupall")} + Stop(),
       .check = ExpectMicroSipIdle(false)},
      {.name = "tel: link: only the number goes",
       .appRow = row::TelLink,
       .mainRuns = false,
       .setup = [](KeyDesk& d) { d.p.form.DialBufferOf(app::TelLink)->Set("123"); },
       .check = [](KeyDesk& d) { EXPECT_EQ(d.p.form.DialBufferOf(app::TelLink)->Text(), ""); }},
  };
  RunKeyCases(HandsetKey::HangUp, cases);
}

// The Chinese dialog and a conversation window open while the main window is gone: nothing
// happens, since the main window is what the key looks for first.
TEST(HangUpKey, MsnDialogsWithoutMainWindowAreLeftAlone) {
  KeyDesk d(row::Msn70);
  AddConversation(d);
  const Hwnd dialog = d.TopLevel(kAudioDialogZh, "Dialog");
  d.Button(dialog, kCancelZh, "Cancel");
  EXPECT_EQ(d.Press(HandsetKey::HangUp), (Lines{FindTitle("MSN Messenger", "0")}));
  EXPECT_EQ(d.p.form.Found.MsnConversationTitle, "bob - Conversation");
  EXPECT_TRUE(d.p.handset.calls.empty());
}

// --- Skype -----------------------------------------------------------------------------------

// A Skype gone took its calls with it: ids and buzzer go. A hung one keeps them.
enum class Peer { Answers, Hung, Gone };

TEST(HangUpKeySkype, FinishesTheActiveElseTheRingingCall) {
  struct Case {
    const char* name;
    std::int32_t active;
    std::int32_t ringing;
    std::vector<std::string> commands;
    std::int32_t activeAfter;
    std::int32_t ringingAfter;
    Peer peer = Peer::Answers;
    const char* status = "";  // after the title
  };
  const Case cases[] = {
      {"call 42 in progress", 42, 0, {"SET CALL 42 STATUS FINISHED", "HOOK ON"}, 0, 0},
      {"call 17 ringing", 0, 17, {"SET CALL 17 STATUS FINISHED", "HOOK ON"}, 0, 0},
      {"both: only the active one", 42, 17, {"SET CALL 42 STATUS FINISHED", "HOOK ON"}, 0, 17},
      {"no call known", 0, 0, {"HOOK ON"}, 0, 0},
      {"Skype gone", 0, 17, {}, 0, 0, Peer::Gone, " is not running."},
      {"Skype hung", 42, 17, {}, 42, 17, Peer::Hung, " is not responding."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SkypeDesk s;
    s.p.form.ActiveCallId = c.active;
    s.p.form.RingingCallId = c.ringing;
    if (c.peer == Peer::Hung) s.p.desktop.Hang(s.skype.apiWindow);
    if (c.peer == Peer::Gone) s.p.desktop.DestroyWindow(s.skype.apiWindow);
    s.p.view.status = "unchanged";
    s.p.form.HandleHangUpKey();
    EXPECT_EQ(s.skype.commands, c.commands);
    EXPECT_EQ(s.p.form.ActiveCallId, c.activeAfter);
    EXPECT_EQ(s.p.form.RingingCallId, c.ringingAfter);
    EXPECT_EQ(s.p.view.status, *c.status ? s.p.form.FTargetTitle + c.status : "unchanged");
    EXPECT_EQ(s.p.handset.Count("StopBuzzer"), c.peer == Peer::Gone ? 1 : 0);
    if (c.peer != Peer::Answers) continue;
    // Neither the buzzer nor Skype's window is touched: only the commands travel.
    EXPECT_TRUE(s.p.handset.calls.empty());
    for (const std::string& line : s.Effects()) EXPECT_EQ(line.rfind("Skype <- ", 0), 0u) << line;
  }
}

// The buzzer stops when Skype reports the refused call as finished, not at the key press.
TEST(HangUpKeySkype, BuzzerStopsOnSkypesReport) {
  SkypeDesk s;
  s.skype.Send("CALL 17 STATUS RINGING");
  ASSERT_EQ(s.p.handset.Count("StartBuzzer"), 1);
  s.p.form.HandleHangUpKey();
  EXPECT_EQ(s.p.handset.Count("StopBuzzer"), 0);
  s.skype.Send("CALL 17 STATUS FINISHED");
  EXPECT_EQ(s.p.handset.Count("StopBuzzer"), 1);
}

}  // namespace
}  // namespace telvaro::sim
