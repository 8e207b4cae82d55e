// telvaro.exe with Skype as the target, for real: the fake Skype in its own process answers the
// discovery broadcast, the texts travel by WM_COPYDATA, and the virtual handset's keys and buzzer
// follow the calls.
#include <gmock/gmock.h>

#include <algorithm>
#include <string>
#include <vector>

#include "E2e.h"
#include "FakeAppKeys.h"
#include "FakeSkypeControl.h"

namespace telvaro::e2e {
namespace {

using namespace fake;

constexpr Millis kPollTick{7000};  // one presence poll (5000 ms) with room to spare

class SkypeE2e : public E2eTest {
 protected:
  void SetUp() override {
    E2eTest::SetUp();
    skypeLog_ = TempPath("fakeskype.log");
    ASSERT_TRUE(Launch(kFakeSkypeExe, {"--log", skypeLog_}).Valid());
    ASSERT_TRUE(WaitForLine(skypeLog_, "ready"));
    // No stored settings: Skype is the target, and start-up attaches to it.
    ASSERT_TRUE(LaunchTelvaro().Valid());
    ASSERT_NE(WaitForHandset(), nullptr);
    ASSERT_EQ(Handset("plug").result, 1);
    ASSERT_TRUE(WaitForLine(HandsetLogPath(), "StartKeyScan"));
    ASSERT_TRUE(WaitForLine(skypeLog_, "received PROTOCOL 3"));
  }

  bool Control(const std::string& command) {
    const bool done = tools::SendFakeSkypeControl(command);
    if (!done) ADD_FAILURE() << "the fake Skype did not carry out: " << command;
    return done;
  }

  // The texts Skype received, in order.
  std::vector<std::string> Received() const {
    std::vector<std::string> texts;
    for (const std::string& line : ReadLines(skypeLog_)) {
      if (line.rfind("received ", 0) == 0) texts.push_back(line.substr(9));
    }
    return texts;
  }

  // The texts received after the first `count` ones.
  std::vector<std::string> ReceivedAfter(std::size_t count) const {
    std::vector<std::string> all = Received();
    return std::vector<std::string>(
        all.begin() + static_cast<std::ptrdiff_t>(std::min(count, all.size())), all.end());
  }

  bool WaitForReceived(const std::string& text, Millis timeout = kDefaultTimeout) {
    return WaitForLine(skypeLog_, "received " + text, timeout);
  }

  std::string skypeLog_;
};

TEST_F(SkypeE2e, AttachesWithNameAndProtocolThenPingsEveryTick) {
  std::vector<std::string> texts = Received();
  ASSERT_GE(texts.size(), 2u);
  EXPECT_EQ(texts[0], "NAME TELVARO");
  EXPECT_EQ(texts[1], "PROTOCOL 3");
  EXPECT_TRUE(WaitForReceived("PING", kPollTick));
  EXPECT_TRUE(WaitForLine(skypeLog_, "sent PONG"));
}

TEST_F(SkypeE2e, DigitsDuringACallGoAsDtmfThenAsKeyEvents) {
  ASSERT_TRUE(Control("send CALL 42 STATUS ROUTING"));
  ASSERT_TRUE(Control("front"));
  const std::size_t before = Received().size();
  ASSERT_EQ(Handset("press 6").result, 1);  // key 5
  ASSERT_TRUE(WaitForReceived("BTN_RELEASED 5"));
  std::vector<std::string> texts = ReceivedAfter(before);
  texts.erase(std::remove(texts.begin(), texts.end(), "PING"), texts.end());
  EXPECT_THAT(texts, ::testing::ElementsAre("SET CALL 42 DTMF 5", "BTN_RELEASED 5"));
}

TEST_F(SkypeE2e, HoldingAFirstZeroGivesPlusOnce) {
  ASSERT_TRUE(Control("front"));
  ASSERT_EQ(Handset("hold 8 1600").result, 1);
  ASSERT_TRUE(WaitForReceived("BTN_RELEASED +", Millis{5000}));
  Sleep(800);  // the release comes after the timer: it must send nothing more
  std::vector<std::string> texts = Received();
  EXPECT_EQ(std::count(texts.begin(), texts.end(), "BTN_RELEASED +"), 1);
  EXPECT_EQ(std::count(texts.begin(), texts.end(), "BTN_RELEASED 0"), 0);
}

TEST_F(SkypeE2e, ShortPressOfZeroSendsZeroAtRelease) {
  ASSERT_TRUE(Control("front"));
  ASSERT_EQ(Handset("hold 8 200").result, 1);
  EXPECT_TRUE(WaitForReceived("BTN_RELEASED 0", Millis{5000}));
}

TEST_F(SkypeE2e, TheBuzzerRingsWhileAnIncomingCallRings) {
  EXPECT_EQ(HandsetState("buzzer"), std::optional<bool>(false));
  ASSERT_TRUE(Control("send CALL 61 STATUS RINGING"));
  EXPECT_TRUE(WaitUntil([] { return HandsetState("buzzer") == true; }));
  ASSERT_TRUE(Control("send CALL 61 STATUS INPROGRESS"));
  EXPECT_TRUE(WaitUntil([] { return HandsetState("buzzer") == false; }));
}

TEST_F(SkypeE2e, MalformedTextsChangeNothing) {
  for (const char* text : {"CALL abc STATUS RINGING", "CALL -5 STATUS RINGING", "   ",
                           "call 61 status ringing", "CALL 61 STATUS Ringing", "#0 CALL 61"}) {
    ASSERT_TRUE(Control(std::string("send ") + text)) << text;
  }
  EXPECT_EQ(HandsetState("buzzer"), std::optional<bool>(false));
  ASSERT_TRUE(Control("send PING"));
  EXPECT_TRUE(WaitUntil([] { return HandsetState("plugged") == true; }))
      << "the program still answers";
}

}  // namespace
}  // namespace telvaro::e2e

namespace telvaro::e2e {
namespace {

class SkypeKeys : public SkypeE2e {
 protected:
  // The texts received from now on, without the presence poll's pings.
  std::vector<std::string> Since(std::size_t count) const {
    std::vector<std::string> texts = ReceivedAfter(count);
    texts.erase(std::remove(texts.begin(), texts.end(), "PING"), texts.end());
    return texts;
  }
  bool Press(int code) { return Handset("press " + std::to_string(code)).result == 1; }
};

TEST_F(SkypeKeys, TheCallKeyAnswersARingingCallAndTheHangUpKeyEndsIt) {
  ASSERT_TRUE(Control("send CALL 61 STATUS RINGING"));
  ASSERT_TRUE(WaitUntil([] { return HandsetState("buzzer") == true; }));
  std::size_t before = Received().size();
  ASSERT_TRUE(Press(13));
  ASSERT_TRUE(WaitForReceived("FOCUS"));
  EXPECT_THAT(Since(before),
              ::testing::ElementsAre("SET CALL 61 STATUS INPROGRESS", "HOOK OFF", "FOCUS"));
  EXPECT_EQ(HandsetState("buzzer"), std::optional<bool>(true)) << "Skype's report stops it";
  ASSERT_TRUE(Control("send CALL 61 STATUS INPROGRESS"));
  EXPECT_TRUE(WaitUntil([] { return HandsetState("buzzer") == false; }));

  before = Received().size();
  ASSERT_TRUE(Press(14));
  ASSERT_TRUE(WaitForReceived("HOOK ON"));
  EXPECT_THAT(Since(before), ::testing::ElementsAre("SET CALL 61 STATUS FINISHED", "HOOK ON"));
}

TEST_F(SkypeKeys, DialsTheNumberTypedAndRedialsIt) {
  ASSERT_TRUE(Control("front"));
  for (int code : {1, 5, 9}) ASSERT_TRUE(Press(code));  // 1 2 3
  ASSERT_TRUE(WaitForReceived("BTN_RELEASED 3"));
  std::size_t before = Received().size();
  ASSERT_TRUE(Press(13));
  ASSERT_TRUE(WaitForReceived("FOCUS"));
  EXPECT_THAT(Since(before), ::testing::ElementsAre("CALL 123", "FOCUS"));
  before = Received().size();
  ASSERT_TRUE(Control("front"));
  ASSERT_TRUE(Press(13));
  ASSERT_TRUE(WaitUntil([&] { return Since(before).size() >= 2; }));
  EXPECT_THAT(Since(before), ::testing::ElementsAre("CALL 123", "FOCUS")) << "redial";
}

TEST_F(SkypeKeys, UpAndDownTakeTheFocusedContactWhichTheCallKeyDials) {
  ASSERT_TRUE(WaitForLine(skypeLog_, "sent PONG", kPollTick)) << "Up and Down wait for a PONG";
  ASSERT_TRUE(Control("front"));
  ASSERT_TRUE(Control("tab 1"));
  std::size_t before = Received().size();
  ASSERT_TRUE(Press(16));
  ASSERT_TRUE(WaitForReceived("BTN_RELEASED DOWN"));
  EXPECT_TRUE(WaitForLine(skypeLog_, "pagecontrol WM_LBUTTONUP 0x0 0x000B0038"))
      << "a tab other than the first is clicked back first";
  ASSERT_TRUE(Control("tab 0"));
  ASSERT_TRUE(Press(15));
  ASSERT_TRUE(WaitForReceived("BTN_RELEASED UP"));
  ASSERT_TRUE(Control("send CONTACTS FOCUSED helpdesk"));
  ASSERT_TRUE(Control("front"));
  before = Received().size();
  ASSERT_TRUE(Press(13));
  ASSERT_TRUE(WaitForReceived("CALL helpdesk"));
  ASSERT_TRUE(WaitUntil([&] { return Since(before).size() >= 2; }));
  EXPECT_THAT(Since(before), ::testing::ElementsAre("CALL helpdesk", "FOCUS"));
}

TEST_F(SkypeKeys, PresenceFollowsPongsAndADroppedSkypeIsAttachedAgain) {
  ASSERT_TRUE(WaitForStatus("Skype - fakeuser is running.", kPollTick))
      << "the first PONG; status: " << StatusLine();
  const std::size_t before = Received().size();
  ASSERT_TRUE(Control("pong off"));
  // The tick that finds no answer shows "not running" and attaches anew in the same step.
  EXPECT_TRUE(WaitForStatus("Skype - fakeuser is not running.", Millis{12000}))
      << "status: " << StatusLine();
  EXPECT_TRUE(WaitUntil([&] {
    const std::vector<std::string> texts = Since(before);
    return std::find(texts.begin(), texts.end(), "PROTOCOL 3") != texts.end();
  })) << "the silent Skype was attached anew";
  ASSERT_TRUE(Control("pong on"));
  EXPECT_TRUE(WaitForStatus("Skype - fakeuser is running.", Millis{12000}));
}

// The Skype row of the acceptance: chosen through combo_App, shown by the status line and the tray
// icon while Skype answers, and shown as not running once it is gone.
TEST_F(SkypeKeys, TheSkypeRowShowsPresenceInTheStatusLineAndTheTray) {
  ChooseRow(1);
  ASSERT_TRUE(WaitForStatus("X-Lite is not running."));
  EXPECT_TRUE(WaitForTray(TrayImage::NotRunning)) << Describe(ShownTrayImage());
  const std::size_t before = Received().size();
  ChooseRow(0);
  EXPECT_EQ(ComboItem(0), "Skype");
  ASSERT_TRUE(WaitUntil([&] { return Since(before).size() >= 2; }));
  EXPECT_THAT(Since(before), ::testing::ElementsAre("NAME TELVARO", "PROTOCOL 3"));
  ASSERT_TRUE(WaitForStatus("Skype - fakeuser is running.", kPollTick)) << StatusLine();
  EXPECT_TRUE(WaitForTray(TrayImage::Running)) << Describe(ShownTrayImage());
  ASSERT_TRUE(Control("quit"));
  EXPECT_TRUE(WaitForStatus("Skype - fakeuser is not running.", Millis{12000})) << StatusLine();
  EXPECT_TRUE(WaitForTray(TrayImage::NotRunning)) << Describe(ShownTrayImage());
  EXPECT_EQ(Handset("press 13").result, 1) << "the keys still reach the program";
}

}  // namespace
}  // namespace telvaro::e2e
