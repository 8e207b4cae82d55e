// How each key brings each application's window forward: SetForegroundWindow alone, restored only
// when minimised (IsIconic, then SW_RESTORE), or always restored. Every case runs with the window
// minimised and not, since a window that is not minimised hides the difference between the three.
// Only the lines of the three calls on the window are looked at, in order, so other calls (such as
// a check of the foreground window) may come between them.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "CallKeyDesk.h"

namespace telvaro {
namespace {

using sim::KeyDesk;
namespace row = sim::row;
using Lines = std::vector<std::string>;

enum class Bring { None, SetForeground, Activate, Restore };

struct Case {
  const char* name;
  std::vector<int> rows;
  std::vector<WParam> codes;
  Bring how;
  // Opens the windows and returns the one the key brings forward.
  std::function<Hwnd(KeyDesk&)> setup = [](KeyDesk& d) { return d.Main(); };
};

const std::vector<WParam> kKeypad = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
const std::vector<WParam> kKeypadButHash = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
constexpr WParam kCall = 13, kHangUp = 14, kUp = 15, kDown = 16;
const std::vector<int> kXLiteFamily = {row::XLite, row::XPro, row::XProVonage, row::XProEngin,
                                       row::XLook};
const std::vector<int> kVoip = {row::VoipBuster, row::VoipStunt, row::VoipCheap};

std::vector<int> Join(std::vector<int> a, const std::vector<int>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// Messenger's call dialog, which the arrows and the call key go to.
Hwnd MsnWithDialog(KeyDesk& d) {
  d.Main();
  const bool v75 = d.p.form.CurrentAppCode == app::Msn75;
  return d.TopLevel(v75 ? sim::kVoiceDialog : sim::kAudioDialog, "Dialog");
}

const std::vector<Case>& Cases() {
  static const std::vector<Case> cases = {
      {"keypad, X-Lite family and Firefly", Join(kXLiteFamily, {row::Firefly}), kKeypad,
       Bring::Activate},
      {"keypad, caption buttons", {row::SJphone, row::IcqPhone}, kKeypad, Bring::Activate},
      {"keypad, PCPhone", {row::PCPhone}, kKeypadButHash, Bring::Activate},
      {"keypad, restored first",
       Join({row::EyeBeam, row::Net2PhoneDialer, row::Net2PhoneCommCenter, row::MediaRing,
             row::Yahoo, row::Aim},
            kVoip),
       kKeypad, Bring::Restore},
      {"call, brought to the front only",
       Join(kXLiteFamily, {row::SJphone, row::Firefly, row::EyeBeam}),
       {kCall},
       Bring::SetForeground},
      {"call, Skype",
       {row::Skype},
       {kCall},
       Bring::SetForeground,
       [](KeyDesk& d) { return d.p.form.Found.SkypeMainWindow = d.Main(); }},
      {"call, Net2Phone's window stays where it is",
       {row::Net2PhoneDialer, row::Net2PhoneCommCenter},
       {kCall},
       Bring::None},
      {"call, restored only when minimised",
       {row::IcqPhone, row::PCPhone},
       {kCall},
       Bring::Activate},
      {"call, restored first",
       Join({row::Yahoo, row::Aim, row::MediaRing}, kVoip),
       {kCall},
       Bring::Restore},
      {"call, Messenger behind other windows", {row::Msn70, row::Msn75}, {kCall}, Bring::Restore},
      {"call, Messenger in front",
       {row::Msn70, row::Msn75},
       {kCall},
       Bring::SetForeground,
       [](KeyDesk& d) {
         d.p.desktop.SetForeground(d.Main());
         return d.main;
       }},
      {"call, Messenger's call dialog",
       {row::Msn70, row::Msn75},
       {kCall},
       Bring::SetForeground,
       MsnWithDialog},
      {"hang-up, brought to the front only",
       Join(kXLiteFamily, {row::SJphone, row::Net2PhoneDialer, row::Net2PhoneCommCenter, row::Msn70,
                           row::Msn75, row::Firefly, row::EyeBeam}),
       {kHangUp},
       Bring::SetForeground},
      {"hang-up, restored only when minimised",
       {row::IcqPhone, row::PCPhone},
       {kHangUp},
       Bring::Activate},
      {"hang-up, restored first",
       Join({row::Yahoo, row::Aim, row::MediaRing}, kVoip),
       {kHangUp},
       Bring::Restore},
      {"Up, brought to the front only",
       Join(kXLiteFamily, {row::Firefly, row::EyeBeam}),
       {kUp},
       Bring::SetForeground},
      {"Up, restored first", Join({row::IcqPhone, row::MediaRing}, kVoip), {kUp}, Bring::Restore},
      {"Down, restored first", kVoip, {kDown}, Bring::Restore},
      {"Up and Down, Messenger's call dialog",
       {row::Msn70, row::Msn75},
       {kUp, kDown},
       Bring::SetForeground,
       MsnWithDialog},
  };
  return cases;
}

bool IsSubsequence(const Lines& wanted, const Lines& lines) {
  auto at = lines.begin();
  for (const std::string& w : wanted) {
    at = std::find(at, lines.end(), w);
    if (at == lines.end()) return false;
    ++at;
  }
  return true;
}

bool Mentions(const Lines& lines, const std::string& prefix) {
  return std::any_of(lines.begin(), lines.end(),
                     [&](const std::string& l) { return l.rfind(prefix, 0) == 0; });
}

TEST(BringForward, EveryKeyAndApplicationUsesItsOwnWay) {
  for (const Case& c : Cases()) {
    for (const int appRow : c.rows) {
      for (const WParam code : c.codes) {
        for (const bool minimised : {false, true}) {
          SCOPED_TRACE(::testing::Message() << c.name << ": row " << appRow << ", code " << code
                                            << (minimised ? ", minimised" : ", not minimised"));
          KeyDesk d(appRow);
          const Hwnd watched = c.setup(d);
          d.p.desktop.Window(watched).iconic = minimised;
          d.p.desktop.ClearTrace();
          d.p.Post(WM_HANDSET_KEYDOWN, code);
          const Lines& trace = d.p.desktop.Trace();
          const std::string w = d.p.desktop.Label(watched);
          const std::string isIconic = "IsIconic(" + w + ")";
          const std::string restore = "ShowWindow(" + w + ", SW_RESTORE)";
          const std::string foreground = "SetForegroundWindow(" + w + ")";
          switch (c.how) {
            case Bring::None:
              EXPECT_FALSE(Mentions(trace, foreground));
              EXPECT_FALSE(Mentions(trace, isIconic));
              EXPECT_FALSE(Mentions(trace, "ShowWindow(" + w));
              break;
            case Bring::SetForeground:
              EXPECT_TRUE(IsSubsequence({foreground}, trace));
              EXPECT_FALSE(Mentions(trace, isIconic));
              EXPECT_FALSE(Mentions(trace, "ShowWindow(" + w));
              break;
            case Bring::Activate:
              EXPECT_TRUE(IsSubsequence(
                  minimised ? Lines{isIconic, restore, foreground} : Lines{isIconic, foreground},
                  trace));
              EXPECT_EQ(Mentions(trace, "ShowWindow(" + w), minimised);
              break;
            case Bring::Restore:
              EXPECT_TRUE(IsSubsequence({restore, foreground}, trace));
              EXPECT_FALSE(Mentions(trace, isIconic));
              break;
          }
          const bool restored = c.how == Bring::Activate || c.how == Bring::Restore;
          EXPECT_EQ(d.p.desktop.Window(watched).iconic, minimised && !restored);
        }
      }
    }
  }
}

}  // namespace
}  // namespace telvaro
