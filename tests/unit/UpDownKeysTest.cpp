#include <gtest/gtest.h>

#include "CallKeyDesk.h"

namespace telvaro::sim {
namespace {

using namespace trace;

// The caret starts after the last character.
Hwnd AddIcqEdit(KeyDesk& d, const std::string& text) {
  const Hwnd edit = d.p.desktop.AddEdit(d.main, text, 158, 14);
  d.p.desktop.Window(edit).label = "Edit";
  return edit;
}

void AddVoipControls(KeyDesk& d) {
  d.Button(d.main, "Contacts", "Contacts");
  d.Add("ContactListCtrl", "", d.main, "List");
  d.Add("Edit", "", d.main, "Edit");
}

std::function<void(KeyDesk&)> ExpectContactMode(bool on) {
  return [on](KeyDesk& d) { EXPECT_EQ(d.p.form.FContactMode, on); };
}

// The flag that makes the next digit start a new number.
std::uint8_t ClearEditPending(KeyDesk& d) {
  switch (d.p.form.CurrentAppCode) {
    case 'x':
      return d.p.form.Found.VoipStuntClearEditPending;
    case 'y':
      return d.p.form.Found.VoipCheapClearEditPending;
    default:
      return d.p.form.FClearEditPending;
  }
}

void ExpectOnlyOwnFlagSet(KeyDesk& d) {
  const std::uint8_t set = d.p.form.FClearEditPending + d.p.form.Found.VoipStuntClearEditPending +
                           d.p.form.Found.VoipCheapClearEditPending;
  EXPECT_EQ(ClearEditPending(d), 1);
  EXPECT_EQ(set, 1);
}

Lines VoipBrowse(int vk, bool withKeyUp) {
  return Lines{FindButton("Main", "Contacts", "Contacts"), Posted("Contacts", BmClick())} +
         RestoreAndActivate("Main") + PostedFocusAndKey("List", vk, withKeyUp);
}

// The applications for which a key does nothing at all, running or not.
const int kUpless[] = {row::SJphone,
                       row::Net2PhoneDialer,
                       row::Net2PhoneCommCenter,
                       row::Yahoo,
                       row::Aim,
                       row::PCPhone,
                       row::MicroSip,
                       row::TelLink};
const int kDownless[] = {
    row::XLite,   row::XPro,      row::XProVonage,      row::XProEngin,
    row::XLook,   row::SJphone,   row::Net2PhoneDialer, row::Net2PhoneCommCenter,
    row::Firefly, row::EyeBeam,   row::IcqPhone,        row::Yahoo,
    row::Aim,     row::MediaRing, row::PCPhone,         row::MicroSip,
    row::TelLink};

TEST(UpKey, EveryApplicationWhileRunning) {
  std::vector<KeyCase> cases = {
      {.name = "X-Lite",
       .appRow = row::XLite,
       .expected = FoundInFront("Funky Window", "X-Lite") + SentClick("Main", 141, 201)},
      {.name = "X-PRO",
       .appRow = row::XPro,
       .expected = FoundInFront(kXsc, "X-PRO") + SentClick("Main", 141, 201)},
      {.name = "X-PRO Vonage",
       .appRow = row::XProVonage,
       .expected = FoundInFront(kXsc, "X-PRO Vonage") + SentClick("Main", 141, 201)},
      {.name = "X-PRO Engin",
       .appRow = row::XProEngin,
       .expected = FoundInFront(kXsc, "X-PRO engin Login") + SentClick("Main", 141, 201)},
      {.name = "X-Lite with X-Look",
       .appRow = row::XLook,
       .expected = FoundInFront(kXsc, "X-Lite with X-Look") + SentClick("Main", 141, 201)},
      {.name = "Firefly: on its multibutton, found by its text",
       .appRow = row::Firefly,
       .setup =
           [](KeyDesk& d) {
             d.Add("QWidget", "other", d.main, "Other");
             d.Add("QWidget", "system.multibutton2", d.main, "Multi");
           },
       .expected = FoundInFront("QWidget", "Firefly 2") + SentClick("Multi", 45, 11)},
      {.name = "Firefly without its multibutton: the click reaches no window",
       .appRow = row::Firefly,
       .expected = FoundInFront("QWidget", "Firefly 2") + SentClick("0", 45, 11)},
      {.name = "eyeBeam",
       .appRow = row::EyeBeam,
       .expected = FoundInFront("Funky Window", "eyeBeam") + SentClick("Main", 335, 367)},
      {.name = "ICQPhone: Backspace at the end, caret back at the end",
       .appRow = row::IcqPhone,
       .setup = [](KeyDesk& d) { AddIcqEdit(d, "123"); },
       .expected =
           Lines{FindTitle("ICQPhone", "Main")} + RestoreAndActivate("Main") +
           Lines{Sent("Edit", Message("WM_GETTEXTLENGTH", 0, 0))} + SentTriple("Edit", 0x08, 0x08) +
           Lines{Sent("Edit", "WM_GETTEXT, 0x400, buffer"), Sent("Edit", "WM_SETTEXT, 0x0, \"12\""),
                 Sent("Edit", Message("WM_GETTEXTLENGTH", 0, 0)),
                 Sent("Edit", Message("EM_SETSEL", 2, 2))},
       .check =
           [](KeyDesk& d) {
             const SimWindow& edit = d.p.desktop.Window(d.p.form.Found.IcqPhoneEdit);
             EXPECT_EQ(edit.text, "12");
             EXPECT_EQ(edit.selStart, 2);
             EXPECT_EQ(edit.selEnd, 2);
           }},
      {.name = "ICQPhone: Backspace before the caret, caret then at the end",
       .appRow = row::IcqPhone,
       .setup =
           [](KeyDesk& d) {
             SimWindow& edit = d.p.desktop.Window(AddIcqEdit(d, "123"));
             edit.selStart = edit.selEnd = 1;
           },
       .expected =
           Lines{FindTitle("ICQPhone", "Main")} + RestoreAndActivate("Main") +
           Lines{Sent("Edit", Message("WM_GETTEXTLENGTH", 0, 0))} + SentTriple("Edit", 0x08, 0x08) +
           Lines{Sent("Edit", "WM_GETTEXT, 0x400, buffer"), Sent("Edit", "WM_SETTEXT, 0x0, \"23\""),
                 Sent("Edit", Message("WM_GETTEXTLENGTH", 0, 0)),
                 Sent("Edit", Message("EM_SETSEL", 2, 2))}},
      {.name = "ICQPhone: an empty number field gets nothing after the length query",
       .appRow = row::IcqPhone,
       .setup =
           [](KeyDesk& d) {
             d.Add("Edit", "wide", d.main, "OtherEdit", 200, 14);
             AddIcqEdit(d, "");
           },
       .expected = Lines{FindTitle("ICQPhone", "Main")} + RestoreAndActivate("Main") +
                   Lines{Sent("Edit", Message("WM_GETTEXTLENGTH", 0, 0))}},
      {.name = "MediaRing PCPhone",
       .appRow = row::MediaRing,
       .expected = Lines{FindTitle("MediaRing PCPhone", "Main")} + RestoreAndActivate("Main") +
                   PostedClick("Main", 92, 176)},
      {.name = "MSN 7.0: the Chinese call dialog is looked for first",
       .appRow = row::Msn70,
       .setup =
           [](KeyDesk& d) {
             d.TopLevel(kAudioDialog, "English");
             d.TopLevel(kAudioDialogZh, "Dialog");
           },
       .expected = Lines{FindTitle("MSN Messenger", "Main"), FindTitle(kAudioDialogZh, "Dialog"),
                         Foreground("Dialog")} +
                   Tap(0x26),
       .check = ExpectContactMode(false)},
      {.name = "MSN 7.0: the English call dialog",
       .appRow = row::Msn70,
       .setup = [](KeyDesk& d) { d.TopLevel(kAudioDialog, "Dialog"); },
       .expected = Lines{FindTitle("MSN Messenger", "Main"), FindTitle(kAudioDialogZh, "0"),
                         FindTitle(kAudioDialog, "Dialog"), Foreground("Dialog")} +
                   Tap(0x26)},
      {.name = "MSN 7.0 without a call dialog: nothing, not even the status",
       .appRow = row::Msn70,
       .expected = Lines{FindTitle("MSN Messenger", "Main"), FindTitle(kAudioDialogZh, "0"),
                         FindTitle(kAudioDialog, "0")},
       .check = ExpectContactMode(false)},
      {.name = "MSN 7.5: the English call dialog is looked for first",
       .appRow = row::Msn75,
       .setup =
           [](KeyDesk& d) {
             d.TopLevel(kVoiceDialogZh, "Chinese");
             d.TopLevel(kVoiceDialog, "Dialog");
           },
       .expected = Lines{FindTitle("MSN Messenger", "Main"), FindTitle(kVoiceDialog, "Dialog"),
                         Foreground("Dialog")} +
                   Tap(0x26)},
      {.name = "MSN 7.5: the Chinese call dialog",
       .appRow = row::Msn75,
       .setup = [](KeyDesk& d) { d.TopLevel(kVoiceDialogZh, "Dialog"); },
       .expected = Lines{FindTitle("MSN Messenger", "Main"), FindTitle(kVoiceDialog, "0"),
                         FindTitle(kVoiceDialogZh, "Dialog"), Foreground("Dialog")} +
                   Tap(0x26)},
      {.name = "VoipBuster: Contacts posted, flag set, Up to the contact list",
       .appRow = row::VoipBuster,
       .setup = AddVoipControls,
       .expected = VoipBrowse(0x26, true),
       .check = ExpectOnlyOwnFlagSet},
      {.name = "VoipStunt",
       .appRow = row::VoipStunt,
       .setup = AddVoipControls,
       .expected = VoipBrowse(0x26, true),
       .check = ExpectOnlyOwnFlagSet},
      {.name = "VoipCheap",
       .appRow = row::VoipCheap,
       .setup = AddVoipControls,
       .expected = VoipBrowse(0x26, true),
       .check = ExpectOnlyOwnFlagSet},
      {.name = "VoipCheap without a Contacts button or contact list: nothing posted to no window",
       .appRow = row::VoipCheap,
       .expected = Lines{FindButton("Main", "Contacts", "0")} + RestoreAndActivate("Main"),
       .check = ExpectOnlyOwnFlagSet},
  };
  for (int appRow : kUpless) cases.push_back({.name = "no Up key", .appRow = appRow});
  RunKeyCases(HandsetKey::Up, cases);
}

TEST(DownKey, EveryApplicationWhileRunning) {
  std::vector<KeyCase> cases = {
      {.name = "MSN 7.0: contact mode, Down in the call dialog",
       .appRow = row::Msn70,
       .setup = [](KeyDesk& d) { d.TopLevel(kAudioDialogZh, "Dialog"); },
       .expected = Lines{FindTitle("MSN Messenger", "Main"), FindTitle(kAudioDialogZh, "Dialog"),
                         Foreground("Dialog")} +
                   Tap(0x28),
       .check = ExpectContactMode(true)},
      {.name = "MSN 7.0 without a call dialog: contact mode only",
       .appRow = row::Msn70,
       .expected = Lines{FindTitle("MSN Messenger", "Main"), FindTitle(kAudioDialogZh, "0"),
                         FindTitle(kAudioDialog, "0")},
       .check = ExpectContactMode(true)},
      {.name = "MSN 7.5",
       .appRow = row::Msn75,
       .setup = [](KeyDesk& d) { d.TopLevel(kVoiceDialog, "Dialog"); },
       .expected = Lines{FindTitle("MSN Messenger", "Main"), FindTitle(kVoiceDialog, "Dialog"),
                         Foreground("Dialog")} +
                   Tap(0x28),
       .check = ExpectContactMode(true)},
      {.name = "VoipBuster: as Up, with Down and no key-up",
       .appRow = row::VoipBuster,
       .setup = AddVoipControls,
       .expected = VoipBrowse(0x28, false),
       .check = ExpectOnlyOwnFlagSet},
      {.name = "VoipStunt",
       .appRow = row::VoipStunt,
       .setup = AddVoipControls,
       .expected = VoipBrowse(0x28, false),
       .check = ExpectOnlyOwnFlagSet},
      {.name = "VoipCheap",
       .appRow = row::VoipCheap,
       .setup = AddVoipControls,
       .expected = VoipBrowse(0x28, false),
       .check = ExpectOnlyOwnFlagSet},
  };
  for (int appRow : kDownless) cases.push_back({.name = "no Down key", .appRow = appRow});
  RunKeyCases(HandsetKey::Down, cases);
}

// After browsing, the next digit replaces the number rather than extending it.
TEST(UpDownKeys, VoipDigitAfterBrowsingStartsANewNumber) {
  KeyDesk d(row::VoipBuster);
  d.Main("VoipBuster - alice");
  AddVoipControls(d);
  const Hwnd edit = d.p.desktop.FindWindowExA(d.main, 0, "Edit", nullptr);
  d.p.desktop.Window(edit).text = "0044";
  d.Press(HandsetKey::Down);
  d.p.form.HandleKeypadKey('5');
  EXPECT_EQ(d.p.desktop.Received(edit).front(), "WM_SETTEXT 0x0 \"\"");
  EXPECT_EQ(d.p.form.FClearEditPending, 0);
}

// --- Skype -----------------------------------------------------------------------------------

TEST(UpDownKeysSkype, OnlyAfterAPongAndWhileInFront) {
  const std::string tabQuery = Sent("SkypePageControl", Message("TCM_GETCURSEL", 0, 0));
  const Lines tabClick = PostedClickWith("SkypePageControl", 56, 11, 0, 0);
  struct Case {
    const char* name;
    HandsetKey key;
    bool seen;
    bool inFront;
    int tab;
    Lines expected;
    bool contactMode;
    bool pagesAnswer = true;  // Skype's main window (the page control's) handles messages
  };
  const Case cases[] = {
      {"Up without a PONG changes nothing", HandsetKey::Up, false, true, 1, {}, false},
      {"Down without a PONG changes nothing", HandsetKey::Down, false, true, 1, {}, false},
      {"Up with Skype behind: contact mode only", HandsetKey::Up, true, false, 1, {}, true},
      {"Down with Skype behind: contact mode only", HandsetKey::Down, true, false, 1, {}, true},
      {"Up on the first tab", HandsetKey::Up, true, true, 0,
       Lines{tabQuery, ToSkype("BTN_RELEASED UP")}, true},
      {"Up on another tab: back to the first", HandsetKey::Up, true, true, 2,
       Lines{tabQuery} + tabClick + Lines{ToSkype("BTN_RELEASED UP")}, true},
      {"Down on the first tab", HandsetKey::Down, true, true, 0,
       Lines{tabQuery, ToSkype("BTN_RELEASED DOWN")}, true},
      {"Down on another tab", HandsetKey::Down, true, true, 1,
       Lines{tabQuery} + tabClick + Lines{ToSkype("BTN_RELEASED DOWN")}, true},
      // The button would act on whatever tab shows: nothing without the answer.
      {"Up, the tab not answered", HandsetKey::Up, true, true, 0, Lines{tabQuery}, true, false},
      {"Down, the tab not answered", HandsetKey::Down, true, true, 1, Lines{tabQuery}, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SkypeDesk s;
    s.p.form.FSkypeSeen = c.seen;
    s.skype.selectedTab = c.tab;
    if (c.inFront) s.skype.BringToFront();
    if (!c.pagesAnswer) s.p.desktop.Hang(s.skype.pageControl);
    if (c.key == HandsetKey::Up) {
      s.p.form.HandleUpKey();
    } else {
      s.p.form.HandleDownKey();
    }
    EXPECT_EQ(s.Effects(), c.expected);
    EXPECT_EQ(s.p.form.FContactMode, c.contactMode);
    if (!c.pagesAnswer) {
      EXPECT_EQ(s.p.view.status, s.p.form.FTargetTitle + " is not responding.");
    }
  }
}

// Skype's main window not known yet: the key finds it first.
TEST(UpDownKeysSkype, FindsSkypesMainWindowFirst) {
  SkypeDesk s;
  s.p.form.Found.SkypeMainWindow = 0;
  s.p.form.FSkypeSeen = true;
  s.skype.BringToFront();
  s.p.form.HandleUpKey();
  EXPECT_EQ(s.p.form.Found.SkypeMainWindow, s.skype.mainWindow);
  EXPECT_EQ(s.skype.commands, (std::vector<std::string>{"BTN_RELEASED UP"}));
}

// The contact Skype then reports becomes the number the call key dials.
TEST(UpDownKeysSkype, FocusedContactIsDialled) {
  SkypeDesk s;
  s.p.form.FSkypeSeen = true;
  s.skype.BringToFront();
  s.p.form.HandleDownKey();
  s.skype.Send("CONTACTS FOCUSED helpdesk");
  s.Clear();
  s.p.form.HandleCallKey();
  EXPECT_EQ(s.skype.commands, (std::vector<std::string>{"CALL helpdesk", "PING", "FOCUS"}));
}

}  // namespace
}  // namespace telvaro::sim
