// A desktop for the call, hang-up, Up and Down keys: one target application whose windows are
// labelled as the expected traces name them, and builders for the trace lines those keys leave.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "KeyTrace.h"
#include "SimSkype.h"
#include "TestProgram.h"

namespace telvaro::sim {

// Rows of the application table.
namespace row {
inline constexpr int Skype = 0, XLite = 1, XPro = 2, XProVonage = 3, XProEngin = 4, XLook = 5,
                     SJphone = 6, Net2PhoneDialer = 7, Net2PhoneCommCenter = 8, Msn70 = 9,
                     Msn75 = 10, Firefly = 11, EyeBeam = 12, IcqPhone = 13, Yahoo = 14, Aim = 15,
                     VoipBuster = 16, VoipStunt = 17, VoipCheap = 18, MediaRing = 19, PCPhone = 20,
                     MicroSip = 21, TelLink = 22;
}

enum class HandsetKey { Call, HangUp, Up, Down };

inline const char* Name(HandsetKey key) {
  switch (key) {
    case HandsetKey::Call:
      return "call";
    case HandsetKey::HangUp:
      return "hang-up";
    case HandsetKey::Up:
      return "Up";
    case HandsetKey::Down:
      return "Down";
  }
  return "?";
}

class KeyDesk {
 public:
  explicit KeyDesk(int appRow) { p.Target(appRow); }

  // The target's main window, as the table describes it, labelled "Main". A class is needed even
  // where the table has none: the Voip finders skip windows without one.
  Hwnd Main(const std::string& title = "") {
    const TPhoneAppUnit& unit = p.form.Apps.at(static_cast<std::size_t>(p.form.FAppIndex));
    const std::string cls = unit.WindowClass.empty() ? "AppWindow" : unit.WindowClass;
    main = Add(cls, title.empty() ? unit.WindowTitle : title, 0, "Main");
    return main;
  }
  Hwnd Add(const std::string& cls, const std::string& text, Hwnd parent, const std::string& label,
           int width = 0, int height = 0) {
    const Hwnd h = p.desktop.AddWindow(cls, text, parent, width, height);
    p.desktop.Window(h).label = label;
    return h;
  }
  Hwnd Button(Hwnd parent, const std::string& caption, const std::string& label) {
    return Add("Button", caption, parent, label, 75, 23);
  }
  Hwnd TopLevel(const std::string& title, const std::string& label) {
    return Add("#32770", title, 0, label);
  }

  // Presses the key and returns what it did (the trace without read-only queries).
  trace::Lines Press(HandsetKey key) {
    p.desktop.ClearTrace();
    p.handset.calls.clear();
    switch (key) {
      case HandsetKey::Call:
        p.form.HandleCallKey();
        break;
      case HandsetKey::HangUp:
        p.form.HandleHangUpKey();
        break;
      case HandsetKey::Up:
        p.form.HandleUpKey();
        break;
      case HandsetKey::Down:
        p.form.HandleDownKey();
        break;
    }
    return p.desktop.Effects();
  }

  TestProgram p;
  Hwnd main = 0;
};

// A Skype that is attached and answers pings, selected as the target.
struct SkypeDesk {
  SkypeDesk() : p(false), skype(p.desktop) {
    p.form.FormCreate();
    p.desktop.DeliverPosted();
    Clear();
  }
  void Clear() {
    p.desktop.ClearTrace();
    p.handset.calls.clear();
    skype.commands.clear();
  }
  // The effects with Skype's traffic shown as "Skype <- TEXT" and "Skype -> TEXT".
  trace::Lines Effects() const {
    trace::Lines out;
    for (const std::string& line : p.desktop.Effects()) {
      const auto open = line.find('"');
      const bool copyData = line.find("WM_COPYDATA") != std::string::npos;
      if (!copyData || open == std::string::npos) {
        out.push_back(line);
        continue;
      }
      const std::string text = line.substr(open + 1, line.rfind('"') - open - 1);
      out.push_back((line.rfind("SendMessageA(SkypeAPI,", 0) == 0 ? "Skype <- " : "Skype -> ") +
                    text);
    }
    return out;
  }

  TestProgram p;
  SimSkype skype;
};

// The MSN Messenger call dialogs' titles and cancel caption, in English and as code page 936 bytes.
inline constexpr const char* kAudioDialog = "Start an Audio Conversation";
inline constexpr const char* kAudioDialogZh = "\xBF\xAA\xCA\xBC\xD2\xF4\xC6\xB5\xB6\xD4\xBB\xB0";
inline constexpr const char* kVoiceDialog = "Start a Voice Conversation";
inline constexpr const char* kVoiceDialogZh = "\xBF\xAA\xCA\xBC\xD3\xEF\xD2\xF4\xB6\xD4\xBB\xB0";
inline constexpr const char* kCancelZh = "\xC8\xA1\xCF\xFB";
inline constexpr const char* kConfirmZh = "\xC8\xB7\xB6\xA8";

namespace trace {
inline std::string StopBuzzer() { return "handset.StopBuzzer"; }
}  // namespace trace

inline constexpr const char* kXsc = "XscSIPClientWndProcClass";

// Yahoo's dial pad and its call and hang-up buttons, told apart by size and order.
inline void AddYahooToolbars(KeyDesk& d) {
  d.Add("ygxa_toolbar", "", d.main, "Keypad", 140, 160);
  d.Add("ygxa_toolbar", "", d.main, "CallButton", 84, 34);
  d.Add("ygxa_toolbar", "", d.main, "HangUpButton", 84, 34);
}

// The main window hangs before the press; nothing the press left may reach it once it wakes.
inline void HangMain(KeyDesk& d) { d.p.desktop.Hang(d.main); }
inline void NothingOnceAwake(KeyDesk& d) {
  d.p.desktop.Recover(d.main);
  d.p.desktop.DeliverPosted();
  EXPECT_EQ(d.p.desktop.Received(d.main), trace::Lines{});
}

// One press of a key on a prepared desktop, and what it must do.
struct KeyCase {
  const char* name = "";
  int appRow = 0;
  bool mainRuns = true;                      // the main window exists
  std::function<void(KeyDesk&)> setup = {};  // further windows and fields
  trace::Lines expected = {};                // the effects, handset calls included, exactly
  std::string status = {};                   // the status afterwards; empty: left as it was
  std::function<void(KeyDesk&)> check = {};  // further state to check
};

// Every case runs at every display scale: the softphones are not DPI aware, we are.
inline void RunKeyCases(HandsetKey key, const std::vector<KeyCase>& cases) {
  for (const auto& [c, scale] : AtEveryScale(cases)) {
    SCOPED_TRACE(std::string(Name(key)) + " key: " + c.name + " at " + std::to_string(scale));
    KeyDesk d(c.appRow);
    d.p.desktop.SetDisplayScale(scale);
    if (c.mainRuns) d.Main();
    if (c.setup) c.setup(d);
    const std::string statusBefore = d.p.view.status;
    EXPECT_EQ(d.Press(key), c.expected);
    // The keys may only ever silence the buzzer, never start it.
    const auto stops = std::count(c.expected.begin(), c.expected.end(), trace::StopBuzzer());
    EXPECT_EQ(d.p.handset.Count("StopBuzzer"), stops);
    EXPECT_EQ(d.p.handset.calls.size(), static_cast<std::size_t>(stops));
    EXPECT_EQ(d.p.view.status, c.status.empty() ? statusBefore : c.status);
    if (c.check) c.check(d);
  }
}

namespace trace {

inline std::string ToSkype(const std::string& text) { return "Skype <- " + text; }
inline std::string FromSkype(const std::string& text) { return "Skype -> " + text; }

inline std::string FindTitle(const std::string& title, const std::string& found) {
  return Find(nullptr, title, found);
}
inline std::string SentBmClick(const std::string& button) { return Sent(button, BmClick()); }
inline Lines ClickButton(const std::string& parent, const std::string& caption,
                         const std::string& button) {
  return {FindButton(parent, caption, button), SentBmClick(button)};
}
inline std::string Close(const std::string& w) { return Sent(w, Message("WM_CLOSE", 0, 0)); }
inline Lines RestoreAndActivate(const std::string& w) { return {Restore(w), Foreground(w)}; }
inline Lines TapWith(int modifier, int vk) {
  return {Press(modifier), Press(vk), Release(vk), Release(modifier)};
}
// A posted click whose button-down and button-up carry their own wParams.
inline Lines PostedClickWith(const std::string& w, int x, int y, int downWParam, int upWParam) {
  const unsigned long long at = (static_cast<unsigned>(y) << 16) | static_cast<unsigned>(x);
  return {Posted(w, Message("WM_LBUTTONDOWN", downWParam, at)),
          Posted(w, Message("WM_LBUTTONUP", upWParam, at))};
}
// The main window found and brought forward without a restore.
inline Lines FoundInFront(const char* cls, const char* title) {
  return {Find(cls, title, "Main"), Foreground("Main")};
}

inline Lines PostedFocusAndKey(const std::string& w, int vk, bool withKeyUp) {
  Lines lines{Posted(w, Message("WM_SETFOCUS", 0, 0)), Posted(w, Message("WM_KEYDOWN", vk, 0))};
  if (withKeyUp) lines.push_back(Posted(w, Message("WM_KEYUP", vk, 0)));
  return lines;
}

}  // namespace trace

}  // namespace telvaro::sim
