#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "shell/TrayIcon.h"

namespace telvaro {
namespace {

// The notification area as Explorer keeps it: an add fails while Explorer is not up or when the
// icon is there already, a modify fails for an icon it does not have, and a restart forgets every
// icon. Every call is recorded as a line.
class SimShell final : public TrayIconShell {
 public:
  bool up = true;
  bool has = false;
  int addsThatTimeOutButAdd = 0;  // Explorer busy: the add reports failure yet takes the icon
  bool version4 = true;
  std::vector<std::string> calls;
  bool timerRunning = false;

  void Restart() {
    up = true;
    has = false;
  }
  void Crash() {
    up = false;
    has = false;
  }

  bool Add(const TrayIconContent& c) override {
    calls.push_back("Add(" + Describe(c) + ")");
    if (!up || has) return false;
    has = true;
    if (addsThatTimeOutButAdd > 0) {
      --addsThatTimeOutButAdd;
      return false;
    }
    return true;
  }
  bool SetVersion4() override {
    calls.push_back("SetVersion4");
    return version4;
  }
  bool Modify(const TrayIconContent& c) override {
    calls.push_back("Modify(" + Describe(c) + ")");
    return up && has;
  }
  void Delete() override {
    calls.push_back("Delete");
    has = false;
  }
  void SetFocus() override { calls.push_back("SetFocus"); }
  void StartRetryTimer() override {
    calls.push_back("StartRetryTimer");
    timerRunning = true;
  }
  void StopRetryTimer() override {
    calls.push_back("StopRetryTimer");
    timerRunning = false;
  }

  std::vector<std::string> Take() { return std::exchange(calls, {}); }

 private:
  static std::string Describe(const TrayIconContent& c) {
    std::string tip = c.tip;
    for (char& ch : tip) {
      if (ch == '\n') ch = '|';
    }
    return std::to_string(c.image) + "," + tip;
  }
};

using Calls = std::vector<std::string>;

TEST(TrayIcon, AFirstAddThatFailsIsRetriedUntilItSucceeds) {
  SimShell shell;
  shell.up = false;  // started at logon, before Explorer
  TrayIcon icon(shell);
  icon.Show();
  EXPECT_TRUE(icon.Wanted());
  EXPECT_FALSE(icon.Shown());
  EXPECT_EQ(shell.Take(), (Calls{"Add(0,TELVARO)", "Modify(0,TELVARO)", "StartRetryTimer"}));
  icon.OnRetryTimer();
  EXPECT_EQ(shell.Take(), (Calls{"Add(0,TELVARO)", "Modify(0,TELVARO)"}))
      << "the timer keeps running";
  icon.SetStatus("X-Lite is running.");
  icon.SetImage(1);
  EXPECT_TRUE(shell.Take().empty()) << "nothing to modify before the icon exists";
  shell.up = true;
  icon.OnRetryTimer();
  EXPECT_EQ(shell.Take(),
            (Calls{"Add(1,TELVARO|X-Lite is running.)", "SetVersion4", "StopRetryTimer"}));
  EXPECT_TRUE(icon.Shown());
  EXPECT_TRUE(shell.has);
  icon.OnRetryTimer();  // a tick already queued when the timer stopped
  EXPECT_TRUE(shell.Take().empty());
}

TEST(TrayIcon, AnAddThatTimedOutButAddedTheIconCountsAsShown) {
  SimShell shell;
  shell.addsThatTimeOutButAdd = 1;
  TrayIcon icon(shell);
  icon.Show();
  EXPECT_EQ(shell.Take(), (Calls{"Add(0,TELVARO)", "Modify(0,TELVARO)", "SetVersion4"}))
      << "no endless retry of a duplicate add";
  EXPECT_TRUE(icon.Shown());
  icon.SetImage(1);
  EXPECT_EQ(shell.Take(), (Calls{"Modify(1,TELVARO)"})) << "updates reach the icon";
}

TEST(TrayIcon, EveryTaskbarCreatedAddsTheWantedIconAgain) {
  SimShell shell;
  shell.up = false;
  TrayIcon icon(shell);
  icon.Show();
  shell.Take();
  // Explorer comes up before our retry timer ticks: the broadcast alone brings the icon.
  shell.Restart();
  icon.OnTaskbarCreated();
  EXPECT_EQ(shell.Take(), (Calls{"Add(0,TELVARO)", "SetVersion4", "StopRetryTimer"}));
  // Explorer restarts later: the icon went with the old taskbar.
  shell.Restart();
  icon.OnTaskbarCreated();
  EXPECT_EQ(shell.Take(), (Calls{"Add(0,TELVARO)", "SetVersion4"}));
  EXPECT_TRUE(shell.has);
  // The window is open, so no icon is wanted: a restart adds nothing.
  icon.Hide();
  shell.Take();
  shell.Restart();
  icon.OnTaskbarCreated();
  EXPECT_TRUE(shell.Take().empty());
  EXPECT_FALSE(icon.Shown());
}

TEST(TrayIcon, AFailedModifyAddsTheIconAnew) {
  SimShell shell;
  TrayIcon icon(shell);
  icon.Show();
  shell.Take();
  shell.Crash();  // Explorer went away without a word
  icon.SetImage(1);
  EXPECT_EQ(shell.Take(), (Calls{"Modify(1,TELVARO)", "Delete", "Add(1,TELVARO)",
                                 "Modify(1,TELVARO)", "StartRetryTimer"}));
  EXPECT_FALSE(icon.Shown());
  shell.Restart();
  icon.OnRetryTimer();
  EXPECT_EQ(shell.Take(), (Calls{"Add(1,TELVARO)", "SetVersion4", "StopRetryTimer"}));
  EXPECT_TRUE(icon.Shown());
  EXPECT_TRUE(shell.has);
}

TEST(TrayIcon, UpdatesAreSentOnlyWhenTheImageOrTheTextChanges) {
  SimShell shell;
  TrayIcon icon(shell);
  icon.Show();
  shell.Take();
  // The presence poll reports the same state every 5 s.
  for (int tick = 0; tick < 3; ++tick) {
    icon.SetStatus("Skype is not running.");
    icon.SetImage(0);
  }
  EXPECT_EQ(shell.Take(), (Calls{"Modify(0,TELVARO|Skype is not running.)"}));
  icon.SetImage(1);
  icon.SetImage(1);
  EXPECT_EQ(shell.Take(), (Calls{"Modify(1,TELVARO|Skype is not running.)"}));
  // Hidden while the window is shown; back with what it shows now, without a stale modify.
  icon.Hide();
  icon.SetStatus("Skype is running.");
  icon.Show();
  EXPECT_EQ(shell.Take(), (Calls{"Delete", "Add(1,TELVARO|Skype is running.)", "SetVersion4"}));
}

TEST(TrayIcon, PicturesDrawnForAnotherDpiAreSentAgain) {
  SimShell shell;
  TrayIcon icon(shell);
  icon.ImagesChanged();
  EXPECT_TRUE(shell.Take().empty()) << "no icon yet";
  icon.Show();
  shell.Take();
  icon.ImagesChanged();
  EXPECT_EQ(shell.Take(), (Calls{"Modify(0,TELVARO)"}));
}

TEST(TrayIcon, HidingStopsTheRetry) {
  SimShell shell;
  shell.up = false;
  TrayIcon icon(shell);
  icon.Show();
  icon.Hide();
  EXPECT_EQ(shell.Take(),
            (Calls{"Add(0,TELVARO)", "Modify(0,TELVARO)", "StartRetryTimer", "StopRetryTimer"}))
      << "no delete: the icon was never there";
  EXPECT_FALSE(shell.timerRunning);
  icon.OnRetryTimer();
  EXPECT_TRUE(shell.Take().empty());
}

TEST(TrayIcon, TheTipIsTheNameAndTheStatusLineWithinTheShellsRoom) {
  EXPECT_EQ(TrayTip(""), "TELVARO");
  EXPECT_EQ(TrayTip("X-Lite is running."), "TELVARO\nX-Lite is running.");
  const std::string tip = TrayTip(std::string(300, 'x'));
  EXPECT_EQ(tip.size(), kTrayTipSize - 1);
  EXPECT_EQ(tip.rfind("TELVARO\nxxx", 0), 0u);
}

struct MenuCase {
  bool version4;
  unsigned event;
  bool opens;
};

TEST(TrayIcon, WhichEventsOpenTheMenu) {
  const MenuCase cases[] = {
      {true, tray::kSelect, true},        {true, tray::kKeySelect, true},
      {true, tray::kContextMenu, true},   {true, tray::kLButtonUp, false},
      {true, tray::kRButtonUp, false},    {true, 0x0200 /* mouse move */, false},
      {false, tray::kLButtonUp, true},    {false, tray::kRButtonUp, true},
      {false, tray::kContextMenu, false}, {false, tray::kSelect, false},
  };
  for (const MenuCase& c : cases) {
    SimShell shell;
    shell.version4 = c.version4;
    TrayIcon icon(shell);
    icon.Show();
    EXPECT_EQ(icon.WantsMenu(c.event), c.opens)
        << "version 4: " << c.version4 << ", event 0x" << std::hex << c.event;
  }
}

TEST(TrayIcon, AnOpenMenuIsNotOpenedAgainAndEscapeGivesTheFocusBack) {
  SimShell shell;
  TrayIcon icon(shell);
  icon.Show();
  shell.Take();
  ASSERT_TRUE(icon.WantsMenu(tray::kKeySelect));
  icon.MenuOpened();
  EXPECT_FALSE(icon.WantsMenu(tray::kKeySelect)) << "Enter's second NIN_KEYSELECT";
  icon.MenuClosed(true);
  EXPECT_EQ(shell.Take(), (Calls{"SetFocus"}));
  EXPECT_TRUE(icon.WantsMenu(tray::kKeySelect));
  icon.MenuOpened();
  icon.MenuClosed(false);  // a click elsewhere keeps the focus where the user clicked
  EXPECT_TRUE(shell.Take().empty());
}

}  // namespace
}  // namespace telvaro
