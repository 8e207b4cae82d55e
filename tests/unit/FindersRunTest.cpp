// Which window searches each key runs: the enumerations per key and application (a key that has
// no business enumerating a window's children must not), and the look-ups by which the Skype
// keys find Skype's main window.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "CallKeyDesk.h"

namespace telvaro {
namespace {

using sim::KeyDesk;
namespace row = sim::row;
using Lines = std::vector<std::string>;

constexpr WParam kCall = 13, kHangUp = 14, kUp = 15, kDown = 16;

// The enumerations in the trace, in order.
Lines Enumerations(const Lines& trace) {
  Lines out;
  std::copy_if(trace.begin(), trace.end(), std::back_inserter(out), [](const std::string& l) {
    return l == "EnumWindows" || l.rfind("EnumChildWindows(", 0) == 0;
  });
  return out;
}

TEST(FindersRun, EachKeyEnumeratesOnlyWhatItNeeds) {
  const Lines none;
  const Lines children = {"EnumChildWindows(Main)"};
  const Lines topLevel = {"EnumWindows"};
  const Lines both = {"EnumWindows", "EnumChildWindows(Main)"};
  struct Case {
    int row;
    Lines keypad, call, hangUp, up, down;
  };
  // Only the target's main window runs, and no field is known yet.
  const Case cases[] = {
      {row::Skype, topLevel, none, none, none, none},
      {row::XLite, none, none, none, none, none},
      {row::XPro, none, none, none, none, none},
      {row::XProVonage, none, none, none, none, none},
      {row::XProEngin, none, none, none, none, none},
      {row::XLook, none, none, none, none, none},
      {row::SJphone, none, none, none, none, none},
      // The call and hang-up keys click the buttons the keypad keys found.
      {row::Net2PhoneDialer, children, none, none, none, none},
      {row::Net2PhoneCommCenter, children, none, none, none, none},
      {row::Msn70, none, none, topLevel, none, none},
      {row::Msn75, none, none, topLevel, none, none},
      {row::Firefly, none, none, none, children, none},
      {row::EyeBeam, none, none, none, none, none},
      {row::IcqPhone, none, none, none, children, none},
      {row::Yahoo, children, children, children, none, none},
      {row::Aim, children, none, none, none, none},
      {row::VoipBuster, topLevel, topLevel, topLevel, both, both},
      {row::VoipStunt, topLevel, topLevel, topLevel, both, both},
      {row::VoipCheap, topLevel, topLevel, topLevel, both, both},
      {row::MediaRing, none, none, none, none, none},
      {row::PCPhone, none, none, none, none, none},
  };
  for (const Case& c : cases) {
    const std::vector<std::pair<WParam, const Lines*>> presses = {
        {1, &c.keypad},       {4, &c.keypad}, {12, &c.keypad}, {kCall, &c.call},
        {kHangUp, &c.hangUp}, {kUp, &c.up},   {kDown, &c.down}};
    for (const auto& [code, expected] : presses) {
      SCOPED_TRACE(::testing::Message() << "row " << c.row << ", code " << code);
      // PCPhone's hash key does nothing at all.
      const bool nothing = c.row == row::PCPhone && code == 12;
      KeyDesk d(c.row);
      d.Main();
      d.p.desktop.ClearTrace();
      d.p.Post(WM_HANDSET_KEYDOWN, code);
      EXPECT_EQ(Enumerations(d.p.desktop.Trace()), nothing ? none : *expected);
    }
  }
}

constexpr const char* kSkypeClass = "tSkMainForm.UnicodeClass";

// AppendDialDigit searches all top-level windows with the finder (which learns Skype's title) and
// then takes the window FindWindowA gives for Skype's class. With two windows of that class the
// finder's pick (the last) and FindWindowA's (the first) differ, so both searches show.
TEST(FindersRun, ADialledDigitSearchesForSkypeBothWays) {
  sim::SkypeDesk d;
  TMainForm& form = d.p.form;
  const Hwnd second = d.p.desktop.AddWindow(kSkypeClass, "Skype - second");
  form.Found.SkypeMainWindow = 0;
  form.Found.SkypeTitle.clear();
  d.Clear();
  d.p.KeyDown(1);
  const Lines& trace = d.p.desktop.Trace();
  const auto enumerate = std::find(trace.begin(), trace.end(), "EnumWindows");
  const std::string find = std::string("FindWindowA(\"") + kSkypeClass + "\", NULL) = Skype";
  ASSERT_NE(enumerate, trace.end());
  EXPECT_NE(std::find(enumerate, trace.end(), find), trace.end());
  EXPECT_EQ(form.Found.SkypeMainWindow, d.skype.mainWindow);
  EXPECT_NE(form.Found.SkypeMainWindow, second);
  EXPECT_EQ(form.Found.SkypeTitle, "Skype - second");

  // Known once, it is not searched for again.
  d.Clear();
  d.p.KeyDown(5);
  EXPECT_EQ(Enumerations(d.p.desktop.Trace()), Lines{});
  EXPECT_EQ(std::count_if(d.p.desktop.Trace().begin(), d.p.desktop.Trace().end(),
                          [](const std::string& l) { return l.rfind("FindWindowA(", 0) == 0; }),
            0);
}

// The call key asks Windows afresh which window is Skype's (FindWindowA by the target class) and
// dials when that window is in front, whatever handle was remembered.
TEST(FindersRun, TheSkypeCallKeyLooksSkypeUpByItsClass) {
  for (const Hwnd remembered : {Hwnd{0}, Hwnd{0x7FF0}}) {
    SCOPED_TRACE(::testing::Message() << "remembered " << remembered);
    sim::SkypeDesk d;
    TMainForm& form = d.p.form;
    form.Found.SkypeMainWindow = remembered;
    form.FDialBuffer = "123";
    form.FDialCopy.clear();
    d.skype.BringToFront();
    d.Clear();
    d.p.KeyDown(kCall);
    const Lines& trace = d.p.desktop.Trace();
    const std::string find = "FindWindowA(\"" + form.FTargetClass + "\", NULL) = Skype";
    EXPECT_NE(std::find(trace.begin(), trace.end(), find), trace.end());
    EXPECT_EQ(d.skype.commands.empty() ? "" : d.skype.commands.front(), "CALL 123");
  }
}

}  // namespace
}  // namespace telvaro
