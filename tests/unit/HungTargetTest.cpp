// A target whose thread has stopped handling messages: a send to it returns 0 at once (what the
// real seam's timeout gives the portable code), and what was sent reaches it when it recovers.
// The keys issue the same calls as against a live target, keep nothing waiting on our side, and
// what follows the recovery works as before.
#include <gtest/gtest.h>

#include "CallKeyDesk.h"

namespace telvaro::sim {
namespace {

using namespace trace;

// A press against a hung target makes exactly the calls of a press against a live one, in the
// same order; the messages arrive, in that order, once the target recovers.
TEST(HungTarget, KeysIssueTheSameCallsAndArriveOnRecovery) {
  struct Case {
    const char* name;
    int row;
    char key;
  };
  const Case cases[] = {
      {"X-Lite: sent keystrokes", row::XLite, '5'},
      {"X-Lite: sent click for hash", row::XLite, '#'},
      {"X-PRO: shifted hash", row::XPro, '#'},
      {"eyeBeam: posted keystrokes", row::EyeBeam, '7'},
      {"MediaRing: posted click", row::MediaRing, '1'},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    KeyDesk live(c.row);
    live.Main();
    live.p.form.HandleKeypadKey(c.key);
    live.p.desktop.DeliverPosted();
    const std::vector<std::string> delivered = live.p.desktop.Received(live.main);
    ASSERT_FALSE(delivered.empty());

    KeyDesk hung(c.row);
    hung.Main();
    hung.p.desktop.Hang(hung.main);
    hung.p.desktop.ClearTrace();
    hung.p.form.HandleKeypadKey(c.key);
    hung.p.desktop.DeliverPosted();
    EXPECT_TRUE(hung.p.desktop.Received(hung.main).empty()) << "nothing handled while hung";
    live.p.desktop.ClearTrace();
    live.p.form.HandleKeypadKey(c.key);
    EXPECT_EQ(hung.p.desktop.Effects(), live.p.desktop.Effects());

    hung.p.desktop.Recover(hung.main);
    EXPECT_EQ(hung.p.desktop.Received(hung.main), delivered) << "delivered late, in order";
    // The next key finds a live target.
    hung.p.form.HandleKeypadKey(c.key);
    hung.p.desktop.DeliverPosted();
    EXPECT_EQ(hung.p.desktop.Received(hung.main), delivered + delivered);
  }
}

// A command to a hung Skype cannot wait in its queue (WM_COPYDATA carries a pointer): the client is
// told it did not go through, nothing waits, and the commands after Skype's recovery work.
TEST(HungTarget, SkypeCommandsFailWhileSkypeHangsAndWorkAfter) {
  SkypeDesk s;
  ASSERT_TRUE(s.skype.client != 0);
  s.p.desktop.Hang(s.skype.apiWindow);
  EXPECT_FALSE(s.p.form.FSkype->Ping());
  EXPECT_FALSE(s.p.form.FSkype->HookOff());
  s.p.desktop.Recover(s.skype.apiWindow);
  EXPECT_TRUE(s.skype.commands.empty());
  EXPECT_TRUE(s.p.form.FSkype->Ping());
  EXPECT_EQ(s.skype.commands, (std::vector<std::string>{"PING"}));
}

}  // namespace
}  // namespace telvaro::sim
