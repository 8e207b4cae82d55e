#include <gtest/gtest.h>

#include "CallKeyDesk.h"

namespace telvaro::sim {
namespace {

using namespace trace;

void AddVoipButtons(KeyDesk& d) {
  d.Button(d.main, "Contacts", "Contacts");
  d.Button(d.main, "OffHook", "OffHook");
}

void MicroSipState(KeyDesk& d, bool ringing, const std::string& dialled) {
  if (ringing) d.p.form.CallingAppOf(app::MicroSip)->CallEventReported(CallState::Ringing, "");
  d.p.form.DialBufferOf(app::MicroSip)->Set(dialled);
}

std::function<void(KeyDesk&)> ExpectMicroSipDial(const std::string& dialled) {
  return
      [dialled](KeyDesk& d) { EXPECT_EQ(d.p.form.DialBufferOf(app::MicroSip)->Text(), dialled); };
}

void TelLinkState(KeyDesk& d, bool handler, const std::string& dialled) {
  if (handler) d.p.desktop.protocolHandlers["tel"] = "C:\\Apps\\phone.exe \"%1\"";
  d.p.form.DialBufferOf(app::TelLink)->Set(dialled);
}

std::function<void(KeyDesk&)> ExpectTelLink(const std::string& dialled, const Lines& opened) {
  return [dialled, opened](KeyDesk& d) {
    EXPECT_EQ(d.p.form.DialBufferOf(app::TelLink)->Text(), dialled);
    EXPECT_EQ(d.p.desktop.linksOpened, opened);
  };
}

TEST(CallKey, EveryApplicationWhileRunning) {
  const std::vector<KeyCase> cases = {
      {.name = "X-Lite",
       .appRow = row::XLite,
       .expected = FoundInFront("Funky Window", "X-Lite") + SentClick("Main", 272, 243)},
      {.name = "X-PRO",
       .appRow = row::XPro,
       .expected = FoundInFront(kXsc, "X-PRO") + SentClick("Main", 215, 210)},
      {.name = "X-PRO Vonage",
       .appRow = row::XProVonage,
       .expected = FoundInFront(kXsc, "X-PRO Vonage") + SentClick("Main", 215, 210)},
      {.name = "X-PRO Engin",
       .appRow = row::XProEngin,
       .expected = FoundInFront(kXsc, "X-PRO engin Login") + SentClick("Main", 215, 210)},
      {.name = "X-Lite with X-Look",
       .appRow = row::XLook,
       .expected = FoundInFront(kXsc, "X-Lite with X-Look") + SentClick("Main", 215, 210)},
      {.name = "SJphone: the main window's dial button",
       .appRow = row::SJphone,
       .setup = [](KeyDesk& d) { d.Button(d.main, "&Dial", "Dial"); },
       .expected = Lines{FindTitle("SJphone", "Main"), FindTitle("SJphone - Incoming Call", "0"),
                         Foreground("Main")} +
                   ClickButton("Main", "&Dial", "Dial")},
      {.name = "SJphone: an incoming call is accepted in its window, left where it is",
       .appRow = row::SJphone,
       .setup =
           [](KeyDesk& d) {
             d.Button(d.main, "&Dial", "Dial");
             d.Button(d.TopLevel("SJphone - Incoming Call", "Incoming"), "&Accept", "Accept");
           },
       .expected =
           Lines{FindTitle("SJphone", "Main"), FindTitle("SJphone - Incoming Call", "Incoming")} +
           ClickButton("Incoming", "&Accept", "Accept")},
      {.name = "SJphone: an incoming-call window without its accept button",
       .appRow = row::SJphone,
       .setup =
           [](KeyDesk& d) {
             d.Button(d.main, "&Dial", "Dial");
             d.TopLevel("SJphone - Incoming Call", "Incoming");
           },
       .expected =
           Lines{FindTitle("SJphone", "Main"), FindTitle("SJphone - Incoming Call", "Incoming"),
                 FindButton("Incoming", "&Accept", "0"), Foreground("Main")} +
           ClickButton("Main", "&Dial", "Dial")},
      {.name = "SJphone: no dial button",
       .appRow = row::SJphone,
       .expected = {FindTitle("SJphone", "Main"), FindTitle("SJphone - Incoming Call", "0"),
                    Foreground("Main"), FindButton("Main", "&Dial", "0")}},
      {.name = "Net2Phone Dialer: the call button found earlier, main window left alone",
       .appRow = row::Net2PhoneDialer,
       .setup =
           [](KeyDesk& d) {
             d.p.form.Found.Net2PhoneCallButton = d.Add("Button", "", d.main, "Call", 59, 24);
           },
       .expected = {FindTitle("Net2Phone Dialer", "Main"), SentBmClick("Call")}},
      {.name = "Net2Phone CommCenter: the call button never found",
       .appRow = row::Net2PhoneCommCenter,
       .expected = {FindTitle("Net2Phone CommCenter", "Main"), SentBmClick("0")}},
      {.name = "MSN 7.0: Enter in the English call dialog",
       .appRow = row::Msn70,
       .setup = [](KeyDesk& d) { d.TopLevel(kAudioDialog, "Dialog"); },
       .expected = Lines{FindTitle(kAudioDialog, "Dialog"), Foreground("Dialog")} + Tap(0x0D)},
      {.name = "MSN 7.0: Enter in the Chinese call dialog, main window gone",
       .appRow = row::Msn70,
       .mainRuns = false,
       .setup = [](KeyDesk& d) { d.TopLevel(kAudioDialogZh, "Dialog"); },
       .expected = Lines{FindTitle(kAudioDialog, "0"), FindTitle(kAudioDialogZh, "Dialog"),
                         Foreground("Dialog")} +
                   Tap(0x0D)},
      {.name = "MSN 7.0: behind other windows, only brought forward",
       .appRow = row::Msn70,
       .expected = Lines{FindTitle(kAudioDialog, "0"), FindTitle(kAudioDialogZh, "0"),
                         FindTitle("MSN Messenger", "Main")} +
                   RestoreAndActivate("Main")},
      {.name = "MSN 7.0: in front, Alt+A, A, Enter",
       .appRow = row::Msn70,
       .setup = [](KeyDesk& d) { d.p.desktop.SetForeground(d.main); },
       .expected = Lines{FindTitle(kAudioDialog, "0"), FindTitle(kAudioDialogZh, "0"),
                         FindTitle("MSN Messenger", "Main"), Foreground("Main")} +
                   TapWith(0x12, 0x41) + Tap(0x41) + Tap(0x0D)},
      {.name = "MSN 7.5: in front, Alt+A, V, Enter",
       .appRow = row::Msn75,
       .setup = [](KeyDesk& d) { d.p.desktop.SetForeground(d.main); },
       .expected = Lines{FindTitle(kVoiceDialog, "0"), FindTitle(kVoiceDialogZh, "0"),
                         FindTitle("MSN Messenger", "Main"), Foreground("Main")} +
                   TapWith(0x12, 0x41) + Tap(0x56) + Tap(0x0D)},
      {.name = "MSN 7.5: Enter in the Chinese call dialog; 7.0's dialog is not its own",
       .appRow = row::Msn75,
       .setup =
           [](KeyDesk& d) {
             d.TopLevel(kAudioDialog, "Other");
             d.TopLevel(kVoiceDialogZh, "Dialog");
           },
       .expected = Lines{FindTitle(kVoiceDialog, "0"), FindTitle(kVoiceDialogZh, "Dialog"),
                         Foreground("Dialog")} +
                   Tap(0x0D)},
      {.name = "Firefly",
       .appRow = row::Firefly,
       .expected = FoundInFront("QWidget", "Firefly 2") + Tap(0x0D)},
      {.name = "eyeBeam",
       .appRow = row::EyeBeam,
       .expected = FoundInFront("Funky Window", "eyeBeam") + PostedClick("Main", 275, 242)},
      {.name = "ICQPhone",
       .appRow = row::IcqPhone,
       .setup = [](KeyDesk& d) { d.Button(d.main, "&Call", "Call"); },
       .expected = Lines{FindTitle("ICQPhone", "Main"), Foreground("Main")} +
                   ClickButton("Main", "&Call", "Call")},
      {.name = "ICQPhone minimized is restored first",
       .appRow = row::IcqPhone,
       .setup =
           [](KeyDesk& d) {
             d.Button(d.main, "&Call", "Call");
             d.p.desktop.Window(d.main).iconic = true;
           },
       .expected = Lines{FindTitle("ICQPhone", "Main")} + RestoreAndActivate("Main") +
                   ClickButton("Main", "&Call", "Call")},
      {.name = "ICQPhone without its call button",
       .appRow = row::IcqPhone,
       .expected = {FindTitle("ICQPhone", "Main"), Foreground("Main"),
                    FindButton("Main", "&Call", "0")}},
      {.name = "Yahoo Call Center: button-up with wParam 0",
       .appRow = row::Yahoo,
       .setup = AddYahooToolbars,
       .expected = Lines{FindTitle("Call Center", "Main")} + RestoreAndActivate("Main") +
                   PostedClickWith("CallButton", 36, 12, 1, 0)},
      {.name = "Yahoo Call Center: no toolbar buttons, nothing posted to no window",
       .appRow = row::Yahoo,
       .expected = Lines{FindTitle("Call Center", "Main")} + RestoreAndActivate("Main")},
      {.name = "AIM Phone",
       .appRow = row::Aim,
       .expected = Lines{FindTitle("AIM Phone", "Main")} + RestoreAndActivate("Main") +
                   PostedClick("Main", 332, 85)},
      {.name = "MediaRing PCPhone",
       .appRow = row::MediaRing,
       .expected = Lines{FindTitle("MediaRing PCPhone", "Main")} + RestoreAndActivate("Main") +
                   PostedClick("Main", 39, 176)},
      {.name = "PCPhone",
       .appRow = row::PCPhone,
       .expected = Lines{FindTitle("PCPhone", "Main"), Foreground("Main")} + Tap(0x0D)},
      {.name = "VoipBuster: found by its finder; no Contacts click",
       .appRow = row::VoipBuster,
       .setup = AddVoipButtons,
       .expected = RestoreAndActivate("Main") + ClickButton("Main", "OffHook", "OffHook")},
      {.name = "VoipStunt",
       .appRow = row::VoipStunt,
       .setup = AddVoipButtons,
       .expected = RestoreAndActivate("Main") + ClickButton("Main", "OffHook", "OffHook")},
      {.name = "VoipCheap without its OffHook button",
       .appRow = row::VoipCheap,
       .expected = RestoreAndActivate("Main") + Lines{FindButton("Main", "OffHook", "0")}},
      {.name = "MicroSIP ringing: answered, the number kept for later",
       .appRow = row::MicroSip,
       .setup = [](KeyDesk& d) { MicroSipState(d, true, "123"); },
       .expected = {FindClass("MicroSIP", "Main"), ToMicroSip("Main", "/answer")},
       .check = ExpectMicroSipDial("123")},
      {.name = "MicroSIP: the number dialled is called and emptied",
       .appRow = row::MicroSip,
       .setup = [](KeyDesk& d) { MicroSipState(d, false, "+49*1#"); },
       .expected = {FindClass("MicroSIP", "Main"), ToMicroSip("Main", "+49*1#")},
       .check = ExpectMicroSipDial("")},
      {.name = "MicroSIP: nothing dialled answers",
       .appRow = row::MicroSip,
       .expected = {FindClass("MicroSIP", "Main"), ToMicroSip("Main", "/answer")}},
      {.name = "MicroSIP hung: the number stays for the next press",
       .appRow = row::MicroSip,
       .setup =
           [](KeyDesk& d) {
             MicroSipState(d, false, "123");
             d.p.desktop.Hang(d.main);
           },
       .expected = {FindClass("MicroSIP", "Main"), ToMicroSip("Main", "123")},
       .status = "MicroSIP did not take the command.",
       .check = ExpectMicroSipDial("123")},
      {.name = "MicroSIP slower than the wait still dials: the number is not dialled twice",
       .appRow = row::MicroSip,
       .setup =
           [](KeyDesk& d) {
             MicroSipState(d, false, "123");
             d.p.desktop.SetBusy(d.main, kAnswerTimeoutMs + 1000);
           },
       .expected = {FindClass("MicroSIP", "Main"), ToMicroSip("Main", "123")},
       .check = ExpectMicroSipDial("")},
      {.name = "MicroSIP as administrator takes nothing from us",
       .appRow = row::MicroSip,
       .setup =
           [](KeyDesk& d) {
             d.p.desktop.SetIntegrityLevel(d.p.desktop.ProcessOf(d.main), SimDesktop::kHighLevel);
           },
       .expected = {FindClass("MicroSIP", "Main")},
       .status = "MicroSIP runs as administrator."},
      {.name = "MicroSIP gone",
       .appRow = row::MicroSip,
       .mainRuns = false,
       .setup = [](KeyDesk& d) { MicroSipState(d, false, "123"); },
       .expected = {FindClass("MicroSIP", "0")},
       .status = "MicroSIP is not running.",
       .check = ExpectMicroSipDial("123")},
      {.name = "tel: link: the number opened as a link and emptied",
       .appRow = row::TelLink,
       .mainRuns = false,
       .setup = [](KeyDesk& d) { TelLinkState(d, true, "*31#0123"); },
       .expected = {OpenLink("tel:*31%230123")},
       .check = ExpectTelLink("", {"tel:*31%230123"})},
      {.name = "tel: link: nothing but the number's own characters reaches the link",
       .appRow = row::TelLink,
       .mainRuns = false,
       .setup = [](KeyDesk& d) { TelLinkState(d, true, "12;phone-context=x /3&\"4"); },
       .expected = {OpenLink("tel:1234")},
       .check = ExpectTelLink("", {"tel:1234"})},
      {.name = "tel: link: an empty number opens nothing",
       .appRow = row::TelLink,
       .mainRuns = false,
       .setup = [](KeyDesk& d) { TelLinkState(d, true, ""); },
       .check = ExpectTelLink("", {})},
      {.name = "tel: link: no app takes the links",
       .appRow = row::TelLink,
       .mainRuns = false,
       .setup = [](KeyDesk& d) { TelLinkState(d, false, "123"); },
       .status = "Calling app (tel: link) is not running.",
       .check = ExpectTelLink("123", {})},
      {.name = "VoipStunt: a window field already set is used as it is",
       .appRow = row::VoipStunt,
       .setup =
           [](KeyDesk& d) {
             const Hwnd old = d.Add("AppWindow", "VoipStunt - old", 0, "Old");
             d.p.form.Found.VoipStunt.Window = old;
           },
       .expected = RestoreAndActivate("Old") + Lines{FindButton("Old", "OffHook", "0")}},
      {.name = "X-Lite hung now: no click waits for it to wake",
       .appRow = row::XLite,
       .setup = HangMain,
       .expected = {Find("Funky Window", "X-Lite", "Main")},
       .status = "X-Lite is not responding.",
       .check = NothingOnceAwake},
      {.name = "VoipBuster hung now",
       .appRow = row::VoipBuster,
       .setup =
           [](KeyDesk& d) {
             AddVoipButtons(d);
             HangMain(d);
           },
       .status = "VoipBuster is not responding.",
       .check = NothingOnceAwake},
      {.name = "X-Lite busy for 1.5 s, short of hung: the click goes once it answers",
       .appRow = row::XLite,
       .setup = [](KeyDesk& d) { d.p.desktop.SetBusy(d.main, 1500); },
       .expected = FoundInFront("Funky Window", "X-Lite") + SentClick("Main", 272, 243)},
  };
  RunKeyCases(HandsetKey::Call, cases);
}

// A missing main window is reported and nothing is sent: the buzzer keeps sounding, no flag
// changes. A key that has nothing to do for the application does not even report.
TEST(Keys, EveryApplicationNotRunning) {
  struct Case {
    int appRow;
    const char* title;
    Lines lookup;       // the look-up that fails
    Lines callDialogs;  // what the call key looks for first
    bool up;            // whether the Up and Down keys act for the application
    bool down;
  };
  const Lines msn = {FindTitle("MSN Messenger", "0")};
  const Case cases[] = {
      {row::XLite, "X-Lite", {Find("Funky Window", "X-Lite", "0")}, {}, true, false},
      {row::XPro, "X-PRO", {Find(kXsc, "X-PRO", "0")}, {}, true, false},
      {row::XProVonage, "X-PRO Vonage", {Find(kXsc, "X-PRO Vonage", "0")}, {}, true, false},
      {row::XProEngin,
       "X-PRO engin Login",
       {Find(kXsc, "X-PRO engin Login", "0")},
       {},
       true,
       false},
      {row::XLook, "X-Lite with X-Look", {Find(kXsc, "X-Lite with X-Look", "0")}, {}, true, false},
      {row::SJphone, "SJphone", {FindTitle("SJphone", "0")}, {}, false, false},
      {row::Net2PhoneDialer,
       "Net2Phone Dialer",
       {FindTitle("Net2Phone Dialer", "0")},
       {},
       false,
       false},
      {row::Net2PhoneCommCenter,
       "Net2Phone CommCenter",
       {FindTitle("Net2Phone CommCenter", "0")},
       {},
       false,
       false},
      {row::Msn70,
       "MSN Messenger",
       msn,
       {FindTitle(kAudioDialog, "0"), FindTitle(kAudioDialogZh, "0")},
       true,
       true},
      {row::Msn75,
       "MSN Messenger",
       msn,
       {FindTitle(kVoiceDialog, "0"), FindTitle(kVoiceDialogZh, "0")},
       true,
       true},
      {row::Firefly, "Firefly 2", {Find("QWidget", "Firefly 2", "0")}, {}, true, false},
      {row::EyeBeam, "eyeBeam", {Find("Funky Window", "eyeBeam", "0")}, {}, true, false},
      {row::IcqPhone, "ICQPhone", {FindTitle("ICQPhone", "0")}, {}, true, false},
      {row::Yahoo, "Call Center", {FindTitle("Call Center", "0")}, {}, false, false},
      {row::Aim, "AIM Phone", {FindTitle("AIM Phone", "0")}, {}, false, false},
      {row::VoipBuster, "VoipBuster", {}, {}, true, true},
      {row::VoipStunt, "VoipStunt", {}, {}, true, true},
      {row::VoipCheap, "VoipCheap", {}, {}, true, true},
      {row::MediaRing, "MediaRing PCPhone", {FindTitle("MediaRing PCPhone", "0")}, {}, true, false},
      {row::PCPhone, "PCPhone", {FindTitle("PCPhone", "0")}, {}, false, false},
  };
  const auto unchanged = [](KeyDesk& d) {
    EXPECT_FALSE(d.p.form.FContactMode);
    EXPECT_EQ(d.p.form.FClearEditPending + d.p.form.Found.VoipStuntClearEditPending +
                  d.p.form.Found.VoipCheapClearEditPending,
              0);
  };
  for (HandsetKey key : {HandsetKey::Call, HandsetKey::HangUp, HandsetKey::Up, HandsetKey::Down}) {
    std::vector<KeyCase> keyCases;
    for (const Case& c : cases) {
      const bool acts = key == HandsetKey::Up ? c.up : key == HandsetKey::Down ? c.down : true;
      const Lines first = key == HandsetKey::Call ? c.callDialogs : Lines{};
      keyCases.push_back({.name = c.title,
                          .appRow = c.appRow,
                          .mainRuns = false,
                          .expected = acts ? first + c.lookup : Lines{},
                          .status = acts ? std::string(c.title) + " is not running." : "",
                          .check = unchanged});
    }
    RunKeyCases(key, keyCases);
  }
}

// MSN Messenger takes three presses from idle: forward, Alt+A A Enter, then Enter in the dialog.
TEST(CallKey, MsnMessengerPlacesACallInThreePresses) {
  KeyDesk d(row::Msn70);
  d.Main();
  d.Press(HandsetKey::Call);
  EXPECT_EQ(d.p.desktop.Foreground(), d.main);
  EXPECT_TRUE(d.p.desktop.Received(d.main).empty());
  d.Press(HandsetKey::Call);
  EXPECT_EQ(d.p.desktop.Received(d.main),
            (Lines{"key 0x12 down", "key 0x41 down", "key 0x41 up", "key 0x12 up", "key 0x41 down",
                   "key 0x41 up", "key 0xD down", "key 0xD up"}));
  const Hwnd dialog = d.TopLevel(kAudioDialog, "Dialog");
  d.Press(HandsetKey::Call);
  EXPECT_EQ(d.p.desktop.Received(dialog), (Lines{"key 0xD down", "key 0xD up"}));
}

// --- Skype -----------------------------------------------------------------------------------

TEST(CallKeySkype, AnswersTheRingingCall) {
  SkypeDesk s;
  s.skype.Send("CALL 17 STATUS RINGING");
  ASSERT_EQ(s.p.form.RingingCallId, 17);
  s.Clear();
  s.p.form.HandleCallKey();
  EXPECT_EQ(s.skype.commands, (std::vector<std::string>{"SET CALL 17 STATUS INPROGRESS", "HOOK OFF",
                                                        "PING", "FOCUS"}));
  EXPECT_EQ(s.p.form.ActiveCallId, 17);
  EXPECT_EQ(s.p.form.RingingCallId, 0);
  EXPECT_EQ(s.p.desktop.Foreground(), s.skype.mainWindow);
  // The key leaves the buzzer to Skype's report that the call is in progress.
  EXPECT_TRUE(s.p.handset.calls.empty());
  s.skype.Send("CALL 17 STATUS INPROGRESS");
  EXPECT_EQ(s.p.handset.Count("StopBuzzer"), 1);
}

TEST(CallKeySkype, CallInProgressOnlyBringsSkypeForward) {
  SkypeDesk s;
  s.p.form.ActiveCallId = 42;
  s.p.form.FDialCopy = "123";
  for (int press = 0; press < 2; ++press) {
    s.Clear();
    s.p.form.HandleCallKey();
    EXPECT_EQ(s.Effects(),
              (Lines{Foreground("Skype"), ToSkype("PING"), FromSkype("PONG"), ToSkype("FOCUS")}));
  }
  EXPECT_EQ(s.p.form.ActiveCallId, 42);
}

TEST(CallKeySkype, DialsRedialsAndOnlyWhenInFront) {
  SkypeDesk s;
  for (char digit : {'1', '2', '3'}) s.p.form.AppendDialDigit(digit);
  ASSERT_TRUE(s.skype.commands.empty()) << "Skype is not in front: digits only collect";
  struct Press {
    const char* what;
    std::vector<std::string> commands;
    std::string bufferAfter;
  };
  const Press presses[] = {
      {"first press: Skype behind, only brought forward", {"PING", "FOCUS"}, "123"},
      {"second press: the number is called", {"CALL 123", "PING", "FOCUS"}, ""},
      {"third press: redial", {"CALL 123", "PING", "FOCUS"}, ""},
  };
  for (const Press& press : presses) {
    SCOPED_TRACE(press.what);
    s.Clear();
    s.p.form.HandleCallKey();
    EXPECT_EQ(s.skype.commands, press.commands);
    EXPECT_EQ(s.p.form.FDialBuffer, press.bufferAfter);
    EXPECT_EQ(s.p.form.FDialCopy, "123");
  }
}

TEST(CallKeySkype, InFrontPlacesWhatIsDialledOrNothing) {
  struct Case {
    const char* name;
    std::string buffer;
    std::string copy;
    std::vector<std::string> commands;
  };
  const Case cases[] = {
      {"nothing ever dialled", "", "", {"PING", "FOCUS"}},
      {"a contact taken from Skype's list",
       "helpdesk",
       "helpdesk",
       {"CALL helpdesk", "PING", "FOCUS"}},
      {"the buffer alone", "555", "", {"CALL 555", "PING", "FOCUS"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SkypeDesk s;
    s.skype.BringToFront();
    s.p.form.FDialBuffer = c.buffer;
    s.p.form.FDialCopy = c.copy;
    s.p.form.HandleCallKey();
    EXPECT_EQ(s.skype.commands, c.commands);
    EXPECT_EQ(s.p.form.FDialBuffer, "");
    EXPECT_EQ(s.p.form.FDialCopy, c.buffer);
  }
}

}  // namespace
}  // namespace telvaro::sim
