#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "SimDesktop.h"
#include "drivers/AppTable.h"
#include "drivers/Finders.h"

namespace telvaro {
namespace {

using sim::SimDesktop;

TEST(CountOccurrences, CountsEveryStartPositionUpToTheFirstNul) {
  struct Case {
    std::string s;
    std::string sub;
    int expected;
  };
  const std::vector<Case> cases = {
      {"", "a", 0},
      {"abc", "", 0},
      {"", "", 0},
      {"VoipBuster", "VoipBuster", 1},
      {"Voip", "VoipBuster", 0},
      {"aaa", "aa", 2},
      {"VoipBuster - VoipBuster", "VoipBuster", 2},
      {"voipbuster", "VoipBuster", 0},
      {std::string("ab\0ab", 5), "ab", 1},
      {"abc", std::string("\0x", 2), 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CountOccurrences(c.s, c.sub), c.expected) << '"' << c.s << "\" / \"" << c.sub << '"';
  }
}

TEST(TailFrom, CopiesFromAOneBasedPosition) {
  struct Case {
    std::string s;
    int from;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"abc", 2, "bc"},
      {"abc", 1, "abc"},
      {"abc", 0, "abc"},
      {"abc", -7, "abc"},
      {"abc", 3, "c"},
      {"abc", 4, ""},
      {"abc", 99, ""},
      {"", 1, ""},
      {std::string("ab\0cd", 5), 2, "b"},
      {"CONTACTS FOCUSED helpdesk", 18, "helpdesk"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TailFrom(c.s, c.from), c.expected) << '"' << c.s << "\" from " << c.from;
  }
}

// One desktop, one finder run over the top-level windows or the children of `parent`.
struct FinderCase {
  const char* name;
  std::int32_t appCode;
  bool (Finders::*finder)(Hwnd);
  bool topLevel;
  // Builds the windows (under `parent` for child finders) and returns them in creation order.
  std::function<std::vector<Hwnd>(SimDesktop&, Hwnd parent)> build;
  std::function<void(const FoundWindows&, const std::vector<Hwnd>&)> check;
  int runs = 1;
};

const std::string kLongTitle = "VoipBuster" + std::string(290, 'x');

const std::vector<FinderCase>& FinderCases() {
  static const std::vector<FinderCase> cases = {
      {"Skype main window by class", app::Skype, &Finders::FindSkypeMainWindow, true,
       [](SimDesktop& d, Hwnd) {
         return std::vector<Hwnd>{d.AddWindow("tSkMainForm", "Skype - a"),
                                  d.AddWindow("tSkMainForm.UnicodeClass", "Skype - b")};
       },
       [](const FoundWindows& f, const std::vector<Hwnd>& w) {
         EXPECT_EQ(f.SkypeMainWindow, w[1]);
         EXPECT_EQ(f.SkypeTitle, "Skype - b");
       }},
      {"last Voip title match wins, a document window included", app::VoipBuster,
       &Finders::FindVoipBusterWindow, true,
       [](SimDesktop& d, Hwnd) {
         return std::vector<Hwnd>{d.AddWindow("Main", "VoipBuster - me"),
                                  d.AddWindow("Notepad", "about VoipBuster.txt - Notepad"),
                                  d.AddWindow("Main", "VoipStunt")};
       },
       [](const FoundWindows& f, const std::vector<Hwnd>& w) {
         EXPECT_EQ(f.VoipBuster.Window, w[1]);
         EXPECT_EQ(f.VoipBuster.Title, "about VoipBuster.txt - Notepad");
         EXPECT_EQ(f.VoipStunt.Window, 0u);
       }},
      {"a Voip title without a class does not match", app::VoipCheap, &Finders::FindVoipCheapWindow,
       true, [](SimDesktop& d, Hwnd) { return std::vector<Hwnd>{d.AddWindow("", "VoipCheap")}; },
       [](const FoundWindows& f, const std::vector<Hwnd>&) { EXPECT_EQ(f.VoipCheap.Window, 0u); }},
      {"a 300-character title is kept as its first 253", app::VoipStunt,
       &Finders::FindVoipStuntWindow, true,
       [](SimDesktop& d, Hwnd) {
         return std::vector<Hwnd>{d.AddWindow("Main", "VoipStunt" + kLongTitle)};
       },
       [](const FoundWindows& f, const std::vector<Hwnd>& w) {
         EXPECT_EQ(f.VoipStunt.Window, w[0]);
         EXPECT_EQ(f.VoipStunt.Title, ("VoipStunt" + kLongTitle).substr(0, 253));
       }},
      {"MSN conversation title, no handle", app::Msn70, &Finders::FindMsnConversationWindow, true,
       [](SimDesktop& d, Hwnd) {
         return std::vector<Hwnd>{d.AddWindow("IMWindowClass", "Ann - Conversation")};
       },
       [](const FoundWindows& f, const std::vector<Hwnd>&) {
         EXPECT_EQ(f.MsnConversationTitle, "Ann - Conversation");
       }},
      {"Skype page control while Skype is the target", app::Skype, &Finders::FindSkypeControls,
       false,
       [](SimDesktop& d, Hwnd p) {
         return std::vector<Hwnd>{d.AddWindow("TTntPageControl.UnicodeClass", "", p)};
       },
       [](const FoundWindows& f, const std::vector<Hwnd>& w) {
         EXPECT_EQ(f.SkypePageControl, w[0]);
       }},
      {"Skype page control ignored for another target", app::XLite, &Finders::FindSkypeControls,
       false,
       [](SimDesktop& d, Hwnd p) {
         return std::vector<Hwnd>{d.AddWindow("TTntPageControl.UnicodeClass", "", p)};
       },
       [](const FoundWindows& f, const std::vector<Hwnd>&) { EXPECT_EQ(f.SkypePageControl, 0u); }},
      {"ICQPhone edit by size; a failing client rectangle is no match", app::IcqPhone,
       &Finders::FindIcqPhoneEdit, false,
       [](SimDesktop& d, Hwnd p) {
         std::vector<Hwnd> w{d.AddEdit(p, "", 158, 14), d.AddEdit(p, "", 158, 14),
                             d.AddEdit(p, "", 158, 15)};
         d.Window(w[1]).clientRectFails = true;
         return w;
       },
       [](const FoundWindows& f, const std::vector<Hwnd>& w) { EXPECT_EQ(f.IcqPhoneEdit, w[0]); }},
      {"an aware program's edit is read in its own pixels", app::IcqPhone,
       &Finders::FindIcqPhoneEdit, false,
       [](SimDesktop& d, Hwnd p) {
         d.SetDpiAwareness(p, SimDesktop::kDpiSystemAware);
         return std::vector<Hwnd>{d.AddEdit(p, "", 158, 14)};
       },
       [](const FoundWindows& f, const std::vector<Hwnd>& w) { EXPECT_EQ(f.IcqPhoneEdit, w[0]); }},
      {"Yahoo keypad and the alternating buttons", app::YahooCallCenter,
       &Finders::FindYahooToolbars, false,
       [](SimDesktop& d, Hwnd p) {
         return std::vector<Hwnd>{d.AddWindow("ygxa_toolbar", "", p, 84, 34),
                                  d.AddWindow("ygxa_toolbar", "", p, 140, 160),
                                  d.AddWindow("other", "", p, 84, 34),
                                  d.AddWindow("ygxa_toolbar", "", p, 84, 34)};
       },
       [](const FoundWindows& f, const std::vector<Hwnd>& w) {
         EXPECT_EQ(f.YahooCallButton, w[0]);
         EXPECT_EQ(f.YahooKeypad, w[1]);
         EXPECT_EQ(f.YahooHangUpButton, w[3]);
         EXPECT_EQ(f.YahooButtonTurn, 0);
       }},
      {"Voip contact list and edit", app::VoipBuster, &Finders::FindVoipBusterControls, false,
       [](SimDesktop& d, Hwnd p) {
         return std::vector<Hwnd>{d.AddWindow("ContactListCtrl", "", p), d.AddEdit(p)};
       },
       [](const FoundWindows& f, const std::vector<Hwnd>& w) {
         EXPECT_EQ(f.VoipBuster.ContactList, w[0]);
         EXPECT_EQ(f.VoipBuster.Edit, w[1]);
         EXPECT_EQ(f.VoipCheap.Edit, 0u);
       }},
      {"AIM keypad panel by size", app::AimPhone, &Finders::FindAimKeypad, false,
       [](SimDesktop& d, Hwnd p) {
         return std::vector<Hwnd>{d.AddWindow("TPanel", "", p, 114, 96),
                                  d.AddWindow("TPanel", "", p, 114, 97)};
       },
       [](const FoundWindows& f, const std::vector<Hwnd>& w) { EXPECT_EQ(f.AimKeypad, w[0]); }},
      {"Firefly button by window text, not class", app::Firefly, &Finders::FindFireflyMultiButton,
       false,
       [](SimDesktop& d, Hwnd p) {
         return std::vector<Hwnd>{d.AddWindow("QWidget", "system.multibutton2", p),
                                  d.AddWindow("system.multibutton2", "other", p)};
       },
       [](const FoundWindows& f, const std::vector<Hwnd>& w) {
         EXPECT_EQ(f.FireflyMultiButton, w[0]);
       }},
      {"Net2Phone edit wider than 96 and exactly 15 high", app::Net2PhoneDialer,
       &Finders::FindNet2PhoneControls, false,
       [](SimDesktop& d, Hwnd p) {
         return std::vector<Hwnd>{d.AddEdit(p, "", 97, 15), d.AddEdit(p, "", 96, 15),
                                  d.AddEdit(p, "", 200, 16)};
       },
       [](const FoundWindows& f, const std::vector<Hwnd>& w) { EXPECT_EQ(f.Net2PhoneEdit, w[0]); }},
      {"three Net2Phone buttons in one enumeration", app::Net2PhoneDialer,
       &Finders::FindNet2PhoneControls, false,
       [](SimDesktop& d, Hwnd p) {
         return std::vector<Hwnd>{d.AddButton(p, "a", 59, 24), d.AddButton(p, "b", 59, 24),
                                  d.AddButton(p, "c", 59, 24)};
       },
       [](const FoundWindows& f, const std::vector<Hwnd>& w) {
         EXPECT_EQ(f.Net2PhoneHangUpButton, w[2]);
         EXPECT_EQ(f.Net2PhoneCallButton, w[1]);
         EXPECT_EQ(f.Net2PhoneButtonTurn, 1);
       }},
      {"three Net2Phone buttons shift the next pairing", app::Net2PhoneDialer,
       &Finders::FindNet2PhoneControls, false,
       [](SimDesktop& d, Hwnd p) {
         return std::vector<Hwnd>{d.AddButton(p, "a", 59, 24), d.AddButton(p, "b", 59, 24),
                                  d.AddButton(p, "c", 60, 24), d.AddButton(p, "d", 59, 24)};
       },
       [](const FoundWindows& f, const std::vector<Hwnd>& w) {
         // The second run starts on the call field (a), then hang-up (b), then call (d).
         EXPECT_EQ(f.Net2PhoneCallButton, w[3]);
         EXPECT_EQ(f.Net2PhoneHangUpButton, w[1]);
         EXPECT_EQ(f.Net2PhoneButtonTurn, 0);
       },
       2},
  };
  return cases;
}

// The softphones are not DPI aware: at every scale the finders see the sizes the softphone itself
// works with; at 150 % as on a system without awareness contexts (before Windows 10 1607).
TEST(Finders, MatchAndFillTheFoundWindows) {
  for (const auto& [c, scale] : sim::AtEveryScale(FinderCases())) {
    SCOPED_TRACE(::testing::Message() << c.name << " at " << scale);
    SimDesktop desktop;
    desktop.SetDisplayScale(scale);
    desktop.hasDpiContexts = scale != 150;
    FoundWindows found;
    std::int32_t appCode = c.appCode;
    Finders finders(desktop, found, appCode);
    const Hwnd parent = c.topLevel ? 0 : desktop.AddWindow("Parent", "parent");
    const std::vector<Hwnd> windows = c.build(desktop, parent);
    int visits = 0;
    auto proc = [&](Hwnd h) {
      ++visits;
      return (finders.*c.finder)(h);
    };
    for (int run = 0; run < c.runs; ++run) {
      if (c.topLevel) {
        EXPECT_TRUE(desktop.EnumWindows(proc));
      } else {
        EXPECT_TRUE(desktop.EnumChildWindows(parent, proc));
      }
    }
    EXPECT_EQ(visits, c.runs * static_cast<int>(windows.size()));
    c.check(found, windows);
    EXPECT_TRUE(desktop.Effects().empty());
    EXPECT_EQ(desktop.ThreadDpiContext(), SimDesktop::kDpiPerMonitorV2);
  }
}

// The two ways of reading a window use fixed counts: 254 for title and class (255-byte buffers),
// 1024 for a class read alone.
TEST(Finders, ReadWindowsWithTheirFixedCounts) {
  SimDesktop desktop;
  FoundWindows found;
  const std::int32_t appCode = app::Skype;
  Finders finders(desktop, found, appCode);
  const Hwnd w = desktop.AddWindow("Edit", "x");
  desktop.Window(w).label = "W";
  finders.FindSkypeMainWindow(w);
  finders.FindAimKeypad(w);
  EXPECT_EQ(desktop.Trace(),
            (std::vector<std::string>{"GetWindowTextA(W, 254)", "GetClassNameA(W, 254)",
                                      "GetClassNameA(W, 1024)"}));
}

TEST(Finders, AStaleWindowMatchesNothingAndKeepsOldFields) {
  SimDesktop desktop;
  FoundWindows found;
  found.IcqPhoneEdit = 0x77;
  found.SkypeTitle = "old";
  const std::int32_t appCode = app::Skype;
  Finders finders(desktop, found, appCode);
  const Hwnd gone = desktop.AddEdit(0, "", 158, 14);
  desktop.DestroyWindow(gone);
  for (auto finder : {&Finders::FindSkypeMainWindow, &Finders::FindIcqPhoneEdit,
                      &Finders::FindNet2PhoneControls, &Finders::FindFireflyMultiButton}) {
    EXPECT_TRUE((finders.*finder)(gone));
    EXPECT_TRUE((finders.*finder)(0));
  }
  EXPECT_EQ(found.IcqPhoneEdit, 0x77u);
  EXPECT_EQ(found.SkypeTitle, "old");
  EXPECT_EQ(found.SkypeMainWindow, 0u);
}

}  // namespace
}  // namespace telvaro
