// The window layouts fakeapp opens, one block of rows per application. This table is the whole of
// what tells the fake applications apart; fakeapp.cpp only builds and logs what it lists.
//
// A row is one window. Rows with no parent are top-level windows; the others are direct children
// of the top-level window of the same application whose label is named as parent. A row whose
// extra is empty is always opened; the others only when their extra name is given with --extra
// (the rows of a window that an extra opens all carry that extra's name).
//
// Sizes are client sizes. Children are created without borders, so their window size is their
// client size. Labels are the first word of every log line; a row without a label gets one from
// its caption (see DerivedLabel in fakeapp.cpp). Classes the real applications register under
// their own names are given those names; where the real class does not matter, a "Fake..." class
// keeps the window distinct. "Button" and "Edit" are the system controls.
#pragma once

#include <string>
#include <string_view>

namespace telvaro::fakeapp {

struct AppRow {
  char code;  // the application's app code
  int index;  // its row in the supported application table
  const char* name;
};

struct WindowRow {
  char app;
  const char* extra;   // "" = always
  const char* parent;  // nullptr = top-level
  const char* label;   // nullptr = derived from the caption
  const char* className;
  const char* text;  // title or caption
  int width;
  int height;
};

inline constexpr AppRow kApps[] = {
    {'d', 1, "X-Lite"},
    {'j', 2, "X-PRO"},
    {'m', 3, "X-PRO Vonage"},
    {'n', 4, "X-PRO Engin"},
    {'o', 5, "X-Lite with X-Look"},
    {'f', 6, "SJphone 1.3"},
    {'g', 7, "Net2Phone Dialer"},
    {'p', 8, "Net2Phone CommCenter"},
    {'i', 9, "MSN Messenger 7.0"},
    {'v', 10, "MSN Messenger 7.5"},
    {'k', 11, "Firefly 2.x"},
    {'l', 12, "eyeBeam"},
    {'q', 13, "ICQPhone"},
    {'r', 14, "Yahoo Call Center"},
    {'s', 15, "AIM Phone"},
    {'u', 16, "VoipBuster"},
    {'x', 17, "VoipStunt"},
    {'y', 18, "VoipCheap"},
    {'z', 19, "MediaRing PCPhone"},
    {'{', 20, "PCPhone"},
    {'|', 21, "MicroSIP"},
};

// Big enough for every click point the drivers use on a main window (up to 440, 367).
inline constexpr int kMainWidth = 500;
inline constexpr int kMainHeight = 400;
inline constexpr int kDialogWidth = 320;
inline constexpr int kDialogHeight = 160;

#define FAKE_MAIN(app, cls, title) \
  { app, "", nullptr, "main", cls, title, kMainWidth, kMainHeight }
#define FAKE_BUTTON(app, caption) \
  { app, "", "main", nullptr, "Button", caption, 60, 24 }
#define FAKE_DIALOG(app, extra, label, cls, title) \
  { app, extra, nullptr, label, cls, title, kDialogWidth, kDialogHeight }

// The twelve dial-pad captions of SJphone and ICQPhone, then their call and hang-up buttons.
#define FAKE_SJPHONE_BUTTONS(app)                                                                 \
  FAKE_BUTTON(app, "&1"), FAKE_BUTTON(app, "&2"), FAKE_BUTTON(app, "&3"), FAKE_BUTTON(app, "&4"), \
      FAKE_BUTTON(app, "&5"), FAKE_BUTTON(app, "&6"), FAKE_BUTTON(app, "&7"),                     \
      FAKE_BUTTON(app, "&8"), FAKE_BUTTON(app, "&9"), FAKE_BUTTON(app, "&0"),                     \
      FAKE_BUTTON(app, "&*"), FAKE_BUTTON(app, "&#"), FAKE_BUTTON(app, "&Dial"),                  \
      FAKE_BUTTON(app, "&Hangup")

#define FAKE_ICQ_BUTTONS(app)                                                          \
  FAKE_BUTTON(app, "1"), FAKE_BUTTON(app, "2 abc"), FAKE_BUTTON(app, "3 def"),         \
      FAKE_BUTTON(app, "4 ghi"), FAKE_BUTTON(app, "5 jkl"), FAKE_BUTTON(app, "6 mno"), \
      FAKE_BUTTON(app, "7 prs"), FAKE_BUTTON(app, "8 tuv"), FAKE_BUTTON(app, "9 wxy"), \
      FAKE_BUTTON(app, "0"), FAKE_BUTTON(app, "*"), FAKE_BUTTON(app, "#"),             \
      FAKE_BUTTON(app, "&Call"), FAKE_BUTTON(app, "&Hang Up")

// Net2Phone: the number edit is wider than 96 and exactly 15 high; the two 59 x 24 buttons are
// told apart only by enumeration order (hang-up first, call second), so "&OK" must not be 59 x 24.
#define FAKE_NET2PHONE(app, title)                                                        \
  FAKE_MAIN(app, "FakeNet2Phone", title), {app, "", "main", "edit", "Edit", "", 120, 15}, \
      {app, "", "main", "hangupbutton", "Button", "Hang Up", 59, 24},                     \
      {app, "", "main", "callbutton", "Button", "Call", 59, 24},                          \
      {app, "ok", "main", nullptr, "Button", "&OK", 60, 20},                              \
      FAKE_DIALOG(app, "login", "login", "FakeNet2PhoneLogin", "Account Login"),          \
      {app, "login", "login", nullptr, "Button", "&Cancel", 60, 24},                      \
      FAKE_DIALOG(app, "contacts", "contacts", "FakeNet2PhoneContacts", "Contacts")

// MSN Messenger: the call dialog in English or Chinese (code page 936 bytes), and a conversation.
#define FAKE_MSN(app, englishTitle, chineseTitle)                                                \
  FAKE_MAIN(app, "MSNMSBLClass", "MSN Messenger"),                                               \
      FAKE_DIALOG(app, "dialog-en", "dialog-en", "FakeMsnCallDialog", englishTitle),             \
      {app, "dialog-en", "dialog-en", nullptr, "Button", "Cancel", 60, 24},                      \
      FAKE_DIALOG(app, "dialog-zh", "dialog-zh", "FakeMsnCallDialog", chineseTitle),             \
      {app, "dialog-zh", "dialog-zh", "dialog-zh:cancel", "Button", "\xC8\xA1\xCF\xFB", 60, 24}, \
      FAKE_DIALOG(app, "conversation", "conversation", "IMWindowClass", "Conversation - bob")

#define FAKE_VOIP(app, cls, title)                                                       \
  FAKE_MAIN(app, cls, title), FAKE_BUTTON(app, "Contacts"), FAKE_BUTTON(app, "OffHook"), \
      FAKE_BUTTON(app, "OnHook"), {app, "", "main", "edit", "Edit", "", 160, 20}, {      \
    app, "", "main", "contacts-list", "ContactListCtrl", "", 200, 200                    \
  }

inline constexpr WindowRow kWindows[] = {
    FAKE_MAIN('d', "Funky Window", "X-Lite"),
    FAKE_MAIN('j', "XscSIPClientWndProcClass", "X-PRO"),
    FAKE_MAIN('m', "XscSIPClientWndProcClass", "X-PRO Vonage"),
    FAKE_MAIN('n', "XscSIPClientWndProcClass", "X-PRO engin Login"),
    FAKE_MAIN('o', "XscSIPClientWndProcClass", "X-Lite with X-Look"),

    FAKE_MAIN('f', "FakeSJphone", "SJphone"),
    FAKE_SJPHONE_BUTTONS('f'),
    {'f', "", "main", "btn:confirm", "Button", "\xC8\xB7\xB6\xA8", 60, 24},
    FAKE_DIALOG('f', "incoming", "incoming", "FakeSJphoneIncoming", "SJphone - Incoming Call"),
    {'f', "incoming", "incoming", nullptr, "Button", "&Accept", 60, 24},
    {'f', "incoming", "incoming", nullptr, "Button", "&Ignore", 60, 24},
    FAKE_DIALOG('f', "contacts", "contacts", "FakeSJphoneContacts", "Contacts"),
    FAKE_DIALOG('f', "calllogs", "calllogs", "FakeSJphoneCallLogs", "Call Logs"),

    FAKE_NET2PHONE('g', "Net2Phone Dialer"),
    FAKE_NET2PHONE('p', "Net2Phone CommCenter"),

    FAKE_MSN('i', "Start an Audio Conversation",
             "\xBF\xAA\xCA\xBC\xD2\xF4\xC6\xB5\xB6\xD4\xBB\xB0"),
    FAKE_MSN('v', "Start a Voice Conversation", "\xBF\xAA\xCA\xBC\xD3\xEF\xD2\xF4\xB6\xD4\xBB\xB0"),

    FAKE_MAIN('k', "QWidget", "Firefly 2"),
    {'k', "", "main", "multibutton", "QWidget", "system.multibutton2", 100, 30},

    FAKE_MAIN('l', "Funky Window", "eyeBeam"),

    FAKE_MAIN('q', "FakeICQPhone", "ICQPhone"),
    FAKE_ICQ_BUTTONS('q'),
    {'q', "", "main", "edit", "Edit", "", 158, 14},

    FAKE_MAIN('r', "YAlertClass", "Call Center"),
    {'r', "", "main", "dialpad", "ygxa_toolbar", "", 140, 160},
    {'r', "", "main", "callbutton", "ygxa_toolbar", "", 84, 34},
    {'r', "", "main", "hangupbutton", "ygxa_toolbar", "", 84, 34},

    FAKE_MAIN('s', "TNet2Phone", "AIM Phone"),
    {'s', "", "main", "dialpad", "TPanel", "", 114, 96},

    FAKE_VOIP('u', "FakeVoipBuster", "VoipBuster - fakeuser"),
    FAKE_VOIP('x', "FakeVoipStunt", "VoipStunt - fakeuser"),
    FAKE_VOIP('y', "FakeVoipCheap", "VoipCheap - fakeuser"),

    FAKE_MAIN('z', "FakeMediaRing", "MediaRing PCPhone"),
    FAKE_MAIN('{', "FakePCPhone", "PCPhone"),

    // Driven by command lines (WM_COPYDATA), not by its controls: the main window is all.
    FAKE_MAIN('|', "MicroSIP", "MicroSIP - fakeuser"),
};

#undef FAKE_MAIN
#undef FAKE_BUTTON
#undef FAKE_DIALOG
#undef FAKE_SJPHONE_BUTTONS
#undef FAKE_ICQ_BUTTONS
#undef FAKE_NET2PHONE
#undef FAKE_MSN
#undef FAKE_VOIP

inline const AppRow* FindApp(std::string_view codeOrIndex) {
  for (const AppRow& app : kApps) {
    if (codeOrIndex == std::string_view(&app.code, 1) || codeOrIndex == std::to_string(app.index)) {
      return &app;
    }
  }
  return nullptr;
}

}  // namespace telvaro::fakeapp
