#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "KeyTrace.h"
#include "SimDesktop.h"
#include "drivers/AppTable.h"
#include "drivers/Finders.h"
#include "drivers/Techniques.h"

namespace telvaro {
namespace {

using namespace sim::trace;
using sim::SimDesktop;

// The builders are checked once against the raw values; every other test uses them.
TEST(KeyTraceBuilders, MatchTheRawValues) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {KeyDown(0x65), "WM_KEYDOWN, 0x65, 0x001C0001"},
      {Char('5'), "WM_CHAR, 0x35, 0x001C0001"},
      {KeyUp(0x65), "WM_KEYUP, 0x65, 0x401C0001"},
      {ButtonDown(39, 208), "WM_LBUTTONDOWN, 0x1, 0x00D00027"},
      {ButtonUp(392, 343), "WM_LBUTTONUP, 0x1, 0x01570188"},
      {BmClick(), "BM_CLICK, 0x0, 0x00000000"},
      {Press(0x61), "keybd_event(0x61, 0, 0x100, 0)"},
      {Release(0x61), "keybd_event(0x61, 0, 0x2, 0)"},
      {Find(nullptr, "X-Lite", "0"), "FindWindowA(NULL, \"X-Lite\") = 0"},
  };
  for (const auto& [built, raw] : cases) EXPECT_EQ(built, raw);
  EXPECT_EQ(MakeLParam(39, 208), 0x00D00027);
  EXPECT_EQ(kKeyDownLParam, 0x001C0001);
  EXPECT_EQ(kKeyUpLParam, 0x401C0001);
  EXPECT_EQ(kKeyPressFlags, 0x100u);
}

// The trace without reads, but with the enumerations, whose place in the order matters.
Lines Observed(const SimDesktop& d) {
  Lines out;
  for (const std::string& line : d.Trace()) {
    const bool read = line.rfind("Get", 0) == 0 || line.rfind("IsIconic", 0) == 0;
    if (!read) out.push_back(line);
  }
  return out;
}

struct Rig {
  SimDesktop desktop;
  FoundWindows found;
  std::int32_t appCode = app::XLite;
  std::string title = "X-Lite";
  std::string className = "Funky Window";
  int notRunning = 0;
  Finders finders{desktop, found, appCode};
  Techniques t{desktop, TargetFields{title, className}, [this] { ++notRunning; }};
  Hwnd main = 0;
  Hwnd edit = 0;
  Hwnd child = 0;

  Hwnd Add(const std::string& cls, const std::string& text, Hwnd parent, const char* label,
           int w = 0, int h = 0) {
    const Hwnd handle = desktop.AddWindow(cls, text, parent, w, h);
    desktop.Window(handle).label = label;
    return handle;
  }
  VoipApp Voip() {
    return VoipApp{found.VoipBuster, finders.Proc(&Finders::FindVoipBusterWindow),
                   finders.Proc(&Finders::FindVoipBusterControls), flag};
  }
  std::uint8_t flag = 0;
};

// Desktops the cases start from.
void XLiteWindow(Rig& r) { r.main = r.Add("Funky Window", "X-Lite", 0, "Main"); }
void IconicXLite(Rig& r) {
  XLiteWindow(r);
  r.desktop.Window(r.main).iconic = true;
}
void WithEdit(Rig& r) {
  XLiteWindow(r);
  r.edit = r.desktop.AddEdit(r.main, "12345");
  r.desktop.Window(r.edit).label = "Edit";
}
void WithButton(Rig& r) {
  XLiteWindow(r);
  r.child = r.Add("Button", "&5", r.main, "Five");
}
void AimPhone(Rig& r) {
  r.title = "AIM Phone";
  r.main = r.Add("TNet2Phone", "AIM Phone", 0, "Main");
  r.Add("TPanel", "", r.main, "Other", 114, 95);
  r.child = r.Add("TPanel", "", r.main, "Pad", 114, 96);
}
void VoipBuster(Rig& r) {
  r.main = r.Add("Main", "VoipBuster - me", 0, "Main");
  r.child = r.Add("Button", "Contacts", r.main, "Contacts");
  r.edit = r.Add("Edit", "123", r.main, "Edit");
  r.found.VoipBuster.Edit = r.edit;
}
void Nothing(Rig&) {}

struct TechniqueCase {
  const char* name;
  std::function<void(Rig&)> desktop;
  std::function<void(Rig&)> act;
  std::function<Lines(Rig&)> expected;
  int notRunning = 0;
};

const std::vector<TechniqueCase>& TechniqueCases() {
  static const std::vector<TechniqueCase> cases = {
      {"LocateTarget by title", XLiteWindow, [](Rig& r) { r.t.LocateTarget(Lookup::ByTitle); },
       [](Rig&) { return Lines{Find(nullptr, "X-Lite", "Main")}; }},
      {"LocateTarget by class and title, class differs",
       [](Rig& r) { r.Add("Other", "X-Lite", 0, "Main"); },
       [](Rig& r) { EXPECT_EQ(r.t.LocateTarget(Lookup::ByClassAndTitle), 0u); },
       [](Rig&) { return Lines{Find("Funky Window", "X-Lite", "0")}; }, 1},
      {"ActivateWindow, not iconic", XLiteWindow, [](Rig& r) { r.t.ActivateWindow(r.main); },
       [](Rig&) { return Lines{Foreground("Main")}; }},
      {"ActivateWindow, iconic", IconicXLite, [](Rig& r) { r.t.ActivateWindow(r.main); },
       [](Rig&) {
         return Lines{Restore("Main"), Foreground("Main")};
       }},
      {"RestoreAndActivate", XLiteWindow, [](Rig& r) { r.t.RestoreAndActivate(r.main); },
       [](Rig&) {
         return Lines{Restore("Main"), Foreground("Main")};
       }},
      {"SendKeyTriple", XLiteWindow, [](Rig& r) { r.t.SendKeyTriple(r.main, 0x65, '5'); },
       [](Rig&) { return SentTriple("Main", 0x65, 0x35); }},
      {"PostKeyTriple", XLiteWindow, [](Rig& r) { r.t.PostKeyTriple(r.main, 0x6A, '*'); },
       [](Rig&) { return PostedTriple("Main", 0x6A, 0x2A); }},
      {"SendKeyPair", XLiteWindow, [](Rig& r) { r.t.SendKeyPair(r.main, 0x60); },
       [](Rig&) {
         return Lines{Sent("Main", KeyDown(0x60)), Sent("Main", KeyUp(0x60))};
       }},
      {"SendShiftedHash", XLiteWindow, [](Rig& r) { r.t.SendShiftedHash(r.main); },
       [](Rig&) { return SentShiftedHash("Main"); }},
      // Synthesized keys are typed only with the window they are meant for in front.
      {"TapKey", XLiteWindow,
       [](Rig& r) {
         r.t.ActivateWindow(r.main);
         r.t.TapKey(0x61);
       },
       [](Rig&) { return Lines{Foreground("Main")} + Tap(0x61); }},
      {"TapKeyWithModifier", XLiteWindow,
       [](Rig& r) {
         r.t.ActivateWindow(r.main);
         r.t.TapKeyWithModifier(0x10, 0x6B);
       },
       [](Rig&) { return Lines{Foreground("Main")} + TapShifted(0x6B); }},
      {"TapKey with nothing brought forward", Nothing, [](Rig& r) { r.t.TapKey(0x61); },
       [](Rig&) { return Lines{}; }},
      {"ClickButtonByCaption, sent", WithButton,
       [](Rig& r) { EXPECT_TRUE(r.t.ClickButtonByCaption(r.main, "&5")); },
       [](Rig&) {
         return Lines{FindButton("Main", "&5", "Five"), Sent("Five", BmClick())};
       }},
      {"ClickButtonByCaption, posted", WithButton,
       [](Rig& r) { r.t.ClickButtonByCaption(r.main, "&5", Delivery::Post); },
       [](Rig&) {
         return Lines{FindButton("Main", "&5", "Five"), Posted("Five", BmClick())};
       }},
      {"ClickButtonByCaption, no such caption", WithButton,
       [](Rig& r) { EXPECT_FALSE(r.t.ClickButtonByCaption(r.main, "5")); },
       [](Rig&) { return Lines{FindButton("Main", "5", "0")}; }},
      {"ClickAt, sent", XLiteWindow, [](Rig& r) { r.t.ClickAt(r.main, 39, 208, Delivery::Send); },
       [](Rig&) { return SentClick("Main", 39, 208); }},
      {"ClickAt, posted", XLiteWindow,
       [](Rig& r) { r.t.ClickAt(r.main, 392, 343, Delivery::Post); },
       [](Rig&) { return PostedClick("Main", 392, 343); }},
      {"ClearEdit", WithEdit, [](Rig& r) { r.t.ClearEdit(r.edit); },
       [](Rig&) { return Lines{Sent("Edit", "WM_SETTEXT, 0x0, \"\"")}; }},
      {"AppendToEdit puts the caret after 5 characters", WithEdit,
       [](Rig& r) { r.t.AppendToEdit(r.edit); },
       [](Rig&) {
         return Lines{Sent("Edit", Message("WM_GETTEXTLENGTH", 0, 0)),
                      Sent("Edit", Message("EM_SETSEL", 5, 5))};
       }},
      {"ClickKeypadChild", AimPhone,
       [](Rig& r) {
         r.t.ClickKeypadChild(r.finders.Proc(&Finders::FindAimKeypad), r.found.AimKeypad, 15, 8);
       },
       [](Rig&) {
         return Lines{Find(nullptr, "AIM Phone", "Main"), Restore("Main"), Foreground("Main"),
                      "EnumChildWindows(Main)", Foreground("Main")} +
                PostedClick("Pad", 15, 8);
       }},
      {"ClickKeypadChild, not running", Nothing,
       [](Rig& r) {
         r.title = "AIM Phone";
         r.t.ClickKeypadChild(r.finders.Proc(&Finders::FindAimKeypad), r.found.AimKeypad, 15, 8);
       },
       [](Rig&) { return Lines{Find(nullptr, "AIM Phone", "0")}; }, 1},
      {"PrepareVoipWindow, flag 1: finds, clicks, clears", VoipBuster,
       [](Rig& r) {
         r.flag = 1;
         EXPECT_TRUE(r.t.PrepareVoipWindow(r.Voip(), Delivery::Send, true));
         EXPECT_EQ(r.flag, 0);
         EXPECT_EQ(r.found.VoipBuster.Window, r.main);
       },
       [](Rig&) {
         return Lines{"EnumWindows",
                      FindButton("Main", "Contacts", "Contacts"),
                      Sent("Contacts", BmClick()),
                      Restore("Main"),
                      Foreground("Main"),
                      Sent("Edit", "WM_SETTEXT, 0x0, \"\"")};
       }},
      {"PrepareVoipWindow, flag 0: no clearing, click posted", VoipBuster,
       [](Rig& r) {
         r.found.VoipBuster.Window = r.main;
         r.t.PrepareVoipWindow(r.Voip(), Delivery::Post, true);
         EXPECT_EQ(r.flag, 0);
       },
       [](Rig&) {
         return Lines{FindButton("Main", "Contacts", "Contacts"), Posted("Contacts", BmClick()),
                      Restore("Main"), Foreground("Main")};
       }},
      {"PrepareVoipWindow without the clear step keeps the flag", VoipBuster,
       [](Rig& r) {
         r.flag = 1;
         r.found.VoipBuster.Window = r.main;
         r.t.PrepareVoipWindow(r.Voip(), Delivery::Send, false);
         EXPECT_EQ(r.flag, 1);
       },
       [](Rig&) {
         return Lines{FindButton("Main", "Contacts", "Contacts"), Sent("Contacts", BmClick()),
                      Restore("Main"), Foreground("Main")};
       }},
      {"PrepareVoipWindow, not running", [](Rig& r) { r.Add("Main", "VoipStunt", 0, "Stunt"); },
       [](Rig& r) {
         r.flag = 1;
         EXPECT_FALSE(r.t.PrepareVoipWindow(r.Voip(), Delivery::Send, true));
         EXPECT_EQ(r.flag, 1);
       },
       [](Rig&) { return Lines{"EnumWindows"}; }, 1},
      {"CloseWindowByTitle", XLiteWindow, [](Rig& r) { r.t.CloseWindowByTitle("X-Lite"); },
       [](Rig&) {
         return Lines{Find(nullptr, "X-Lite", "Main"), Sent("Main", Message("WM_CLOSE", 0, 0))};
       }},
      {"CloseWindowByTitle, no such window", Nothing,
       [](Rig& r) { r.t.CloseWindowByTitle("Error"); },
       [](Rig&) { return Lines{Find(nullptr, "Error", "0")}; }},
      {"PostFocusAndKey with key-up", XLiteWindow,
       [](Rig& r) { r.t.PostFocusAndKey(r.main, 0x28, true); },
       [](Rig&) {
         return Lines{Posted("Main", Message("WM_SETFOCUS", 0, 0)),
                      Posted("Main", Message("WM_KEYDOWN", 0x28, 0)),
                      Posted("Main", Message("WM_KEYUP", 0x28, 0))};
       }},
      {"PostFocusAndKey without key-up", XLiteWindow,
       [](Rig& r) { r.t.PostFocusAndKey(r.main, 0x26, false); },
       [](Rig&) {
         return Lines{Posted("Main", Message("WM_SETFOCUS", 0, 0)),
                      Posted("Main", Message("WM_KEYDOWN", 0x26, 0))};
       }},
  };
  return cases;
}

TEST(Techniques, IssueExactlyTheirCallsInOrder) {
  for (const TechniqueCase& c : TechniqueCases()) {
    SCOPED_TRACE(c.name);
    Rig rig;
    c.desktop(rig);
    c.act(rig);
    EXPECT_EQ(Observed(rig.desktop), c.expected(rig));
    EXPECT_EQ(rig.notRunning, c.notRunning);
  }
}

// Handles that were never filled or whose window has gone reach nothing; the next presence poll
// reports the application.
TEST(Techniques, ZeroAndStaleHandlesReachNoWindow) {
  Rig rig;
  WithEdit(rig);
  const Hwnd stale = rig.edit;
  rig.desktop.DestroyWindow(rig.main);
  for (const Hwnd h : {Hwnd{0}, stale}) {
    rig.t.ActivateWindow(h);
    rig.t.SendKeyTriple(h, 0x65, '5');
    rig.t.PostKeyTriple(h, 0x65, '5');
    rig.t.SendShiftedHash(h);
    rig.t.ClickAt(h, 1, 2, Delivery::Post);
    rig.t.ClearEdit(h);
    rig.t.AppendToEdit(h);
    EXPECT_FALSE(rig.t.ClickButtonByCaption(h, "&1"));
  }
  // A post to window 0 would sit in our own queue; one to a stale window fails.
  EXPECT_EQ(rig.desktop.PostedCount(), 0u);
  EXPECT_EQ(rig.notRunning, 0);
  const Lines trace = rig.desktop.Trace();
  EXPECT_TRUE(std::none_of(trace.begin(), trace.end(), [](const std::string& line) {
    return line.find("= ") != std::string::npos && line.find("= 0") == std::string::npos;
  }));
  // Posting to no window would land in our own queue, and a button search without a parent would
  // run over the whole desktop: neither happens for handle 0.
  EXPECT_TRUE(std::none_of(trace.begin(), trace.end(), [](const std::string& line) {
    return line.rfind("PostMessageA(0,", 0) == 0 || line.rfind("FindWindowExA(0,", 0) == 0;
  }));
}

}  // namespace
}  // namespace telvaro
