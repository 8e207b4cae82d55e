// Where the selection handler and the presence poll handle the messages waiting in the queue, and
// what the poll forgets when the target's window is missing.
#include <gtest/gtest.h>

#include "TestProgram.h"

namespace telvaro {
namespace {

using sim::TestProgram;

// What a message handled in the pump would see of the program.
struct AtPump {
  std::string title;
  std::string rowTitle;
  std::string status;
  bool targetInFront = false;
  bool targetIconic = false;
  Hwnd hangUpButton = 0;
};

TEST(PendingMessages, AreHandledAfterTheNewTitleAndBeforeTheStatusAndTheActivation) {
  struct Case {
    const char* name;
    int row;
    bool poll;
    const char* title;
  } cases[] = {
      {"selection by title", 1, false, "X-Lite"},
      {"selection of Net2Phone CommCenter", 8, false, "Net2Phone CommCenter"},
      {"selection of VoipBuster", 16, false, "VoipBuster - bob"},
      {"selection of VoipStunt", 17, false, "VoipStunt - bob"},
      {"poll of VoipCheap", 18, true, "VoipCheap - carol"},
      {"poll of VoipBuster", 16, true, "VoipBuster - carol"},
  };
  for (const Case& c : cases) {
    TestProgram p;
    const std::string& className = p.form.Apps[static_cast<std::size_t>(c.row)].WindowClass;
    Hwnd target = p.desktop.AddWindow(className.empty() ? "Main" : className, c.title);
    p.desktop.Window(target).iconic = true;
    Hwnd hangUp = 0;
    if (c.row == 8) {
      p.desktop.AddEdit(target, "", 120, 15);
      hangUp = p.desktop.AddButton(target, "Hang Up", 59, 24);
      p.desktop.AddButton(target, "Call", 59, 24);
    }
    if (c.poll) {
      // Selected while the window had another title; the tick learns the new one.
      const std::string title = c.title;
      p.desktop.Window(target).text = title.substr(0, title.find(' '));
      p.Select(c.row);
      p.desktop.Window(target).text = c.title;
      p.desktop.Window(target).iconic = true;
      p.desktop.SetForeground(0);
      p.view.pumpCount = 0;
    }
    p.view.status = "before";
    AtPump seen;
    p.view.pendingWork.push_back([&] {
      seen = {p.form.FTargetTitle,
              p.form.Apps[static_cast<std::size_t>(c.row)].WindowTitle,
              p.view.status,
              p.desktop.Foreground() == target,
              p.desktop.Window(target).iconic,
              p.form.Found.Net2PhoneHangUpButton};
    });
    if (c.poll) {
      p.form.Timer1Timer();
    } else {
      p.Select(c.row);
    }
    EXPECT_EQ(p.view.pumpCount, 1) << c.name;
    EXPECT_EQ(seen.title, c.title) << c.name << ": the new title is in place";
    EXPECT_EQ(seen.rowTitle, c.title) << c.name;
    EXPECT_EQ(seen.status, "before") << c.name << ": the status comes after the pump";
    EXPECT_FALSE(seen.targetInFront) << c.name;
    EXPECT_TRUE(seen.targetIconic) << c.name << ": not restored yet";
    EXPECT_EQ(seen.hangUpButton, hangUp) << c.name << ": the controls are found before";
    EXPECT_EQ(p.view.status, std::string(c.title) + " is running.") << c.name;
    EXPECT_EQ(p.desktop.Foreground() == target, !c.poll) << c.name << ": activated after";
  }
}

TEST(PendingMessages, OnlyTheVoipPollProcessesThemAmongThePolls) {
  for (int row = 0; row < kAppCount; ++row) {
    TestProgram p;
    const TPhoneAppUnit& unit = p.form.Apps[static_cast<std::size_t>(row)];
    const bool voip = row >= 16 && row <= 18;
    p.desktop.AddWindow(unit.WindowClass.empty() ? "Main" : unit.WindowClass,
                        unit.WindowTitle + (voip ? " - bob" : ""));
    p.Target(row);
    p.form.Timer1Timer();
    EXPECT_EQ(p.view.pumpCount, voip ? 1 : 0) << unit.DisplayName;
  }
}

TEST(Poll, AMissingTargetMakesNet2PhoneButtonsBeLookedForAgainWhateverTheTarget) {
  for (int row = 0; row < kAppCount; ++row) {
    TestProgram p;
    p.Target(row);
    p.form.Found.Net2PhoneHangUpButton = 0x99;
    p.form.Timer1Timer();
    const TPhoneAppUnit& unit = p.form.Apps[static_cast<std::size_t>(row)];
    // Skype and the Voip applications have polls of their own that leave it alone.
    const bool ownPoll = row == 0 || (row >= 16 && row <= 18);
    EXPECT_EQ(p.view.status, unit.WindowTitle + " is not running.") << unit.DisplayName;
    EXPECT_EQ(p.form.Found.Net2PhoneHangUpButton, ownPoll ? 0x99u : 0u) << unit.DisplayName;
  }
}

}  // namespace
}  // namespace telvaro
