#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "TestProgram.h"
#include "shell/CallSwitch.h"

namespace telvaro {
namespace {

using sim::TestProgram;

struct Notification {
  std::int32_t id;
  TSkypeCallProperty property;
  const char* data;
};

struct Expected {
  std::int32_t ringing;
  std::int32_t active;
  std::int32_t last;
  bool pending;
  const char* direction;
  int starts;
  int stops;
};

struct Sequence {
  const char* name;
  std::vector<Notification> notifications;
  Expected expected;
};

constexpr auto kStatus = TSkypeCallProperty::Status;
constexpr auto kConfId = TSkypeCallProperty::ConfId;

TEST(SkypeCallInfo, FollowsCallsThroughBothTables) {
  const Sequence sequences[] = {
      {"61 rings", {{61, kStatus, "RINGING"}}, {61, 0, 61, true, "", 1, 0}},
      {"61 rings, is answered",
       {{61, kStatus, "RINGING"}, {61, kStatus, "INPROGRESS"}},
       {0, 61, 61, false, "", 1, 1}},
      {"61 rings, is answered, ends",
       {{61, kStatus, "RINGING"}, {61, kStatus, "INPROGRESS"}, {61, kStatus, "FINISHED"}},
       {0, 0, 61, false, "", 1, 2}},
      {"62 routed out then ringing",
       {{62, kStatus, "ROUTING"}, {62, kStatus, "RINGING"}},
       {0, 62, 62, true, "CALL_OUT", 0, 0}},
      {"63 announced incoming then ringing",
       {{63, kConfId, "0"}, {63, kStatus, "RINGING"}},
       {63, 0, 63, true, "CALL_IN", 1, 0}},
      {"CONF_ID other than 0", {{63, kConfId, "11676"}}, {0, 0, 63, false, "", 0, 0}},
      {"CONF_ID 0 for the same call",
       {{63, kStatus, "UNPLACED"}, {63, kConfId, "0"}},
       {0, 0, 63, false, "", 0, 0}},
      {"64 interrupts 61, then 61 missed",
       {{61, kStatus, "RINGING"}, {64, kStatus, "RINGING"}, {61, kStatus, "MISSED"}},
       {64, 0, 61, true, "", 2, 0}},
      {"ROUTING again for the same call only clears the ringing id",
       {{65, kStatus, "RINGING"}, {65, kStatus, "ROUTING"}},
       {0, 0, 65, true, "", 1, 0}},
      {"letter case matters",
       {{66, kStatus, "Ringing"}, {66, kStatus, "inprogress"}},
       {0, 0, 66, false, "", 0, 0}},
      {"another property of the same call changes nothing",
       {{67, kStatus, "RINGING"}, {67, TSkypeCallProperty::Duration, "1"}},
       {67, 0, 67, true, "", 1, 0}},
      {"each end status stops the buzzer",
       {{68, kStatus, "RINGING"},
        {68, kStatus, "REFUSED"},
        {69, kStatus, "RINGING"},
        {69, kStatus, "FAILED"},
        {70, kStatus, "RINGING"},
        {70, kStatus, "CANCELLED"}},
       {0, 0, 70, false, "", 3, 3}},
      {"routing a new call turns the direction outgoing again",
       {{71, kConfId, "0"}, {72, kStatus, "ROUTING"}, {72, kStatus, "RINGING"}},
       {0, 72, 72, true, "CALL_OUT", 0, 0}},
  };
  for (const Sequence& s : sequences) {
    TestProgram p;
    for (const Notification& n : s.notifications) p.form.SkypeCallInfo(n.id, n.property, n.data);
    const Expected& e = s.expected;
    EXPECT_EQ(p.form.RingingCallId, e.ringing) << s.name;
    EXPECT_EQ(p.form.ActiveCallId, e.active) << s.name;
    EXPECT_EQ(p.form.LastCallId, e.last) << s.name;
    EXPECT_EQ(p.form.FCallPending, e.pending) << s.name;
    EXPECT_EQ(p.form.FCallDirection, e.direction) << s.name;
    EXPECT_EQ(p.handset.Count("StartBuzzer"), e.starts) << s.name;
    EXPECT_EQ(p.handset.Count("StopBuzzer"), e.stops) << s.name;
  }
}

// The recorded outgoing call, replayed through the real client: Skype repeats statuses and sends
// words outside our tables; the buzzer never sounds for our own call.
TEST(SkypeCallInfo, RecordedOutgoingCallNeverRings) {
  TestProgram p;
  sim::SimSkype skype(p.desktop);
  p.form.FSkype->Attach(3);
  std::ifstream file(std::string(TELVARO_TESTDATA_DIR) + "/skype-traces/call-outgoing.csv");
  ASSERT_TRUE(file.good());
  std::string line;
  while (std::getline(file, line)) {
    const std::string prefix = "received,";
    if (line.rfind(prefix, 0) != 0) continue;
    const std::string text = line.substr(line.find(',', prefix.size()) + 1);
    skype.Send(text);
  }
  EXPECT_EQ(p.handset.Count("StartBuzzer"), 0);
  EXPECT_EQ(p.form.ActiveCallId, 0) << "FINISHED ended the call";
  EXPECT_EQ(p.form.FCallDirection, "CALL_OUT");
  EXPECT_FALSE(p.form.FCallPending);
}

// MicroSIP's call events, as `telvaro.exe --call` posts them to the main window. They count only
// while MicroSIP is the target.
TEST(MicroSipCallEvent, RingUpAndEndDriveTheBuzzer) {
  using E = CallEvent;
  struct Case {
    const char* name;
    int row;
    std::vector<E> events;
    bool ringing;
    bool callUp;
    std::vector<std::string> handset;
  };
  const Case cases[] = {
      {"ring", 21, {E::Ring}, true, false, {"StartBuzzer"}},
      {"ring, up", 21, {E::Ring, E::Up}, false, true, {"StartBuzzer", "StopBuzzer"}},
      {"ring, up, end",
       21,
       {E::Ring, E::Up, E::End},
       false,
       false,
       {"StartBuzzer", "StopBuzzer", "StopBuzzer"}},
      {"ring, end: missed", 21, {E::Ring, E::End}, false, false, {"StartBuzzer", "StopBuzzer"}},
      {"an outgoing call is up", 21, {E::Up}, false, true, {"StopBuzzer"}},
      {"an event of no known kind", 21, {static_cast<E>(7)}, false, false, {}},
      {"X-Lite selected", 1, {E::Ring, E::Up}, false, false, {}},
      {"the tel: link selected", 22, {E::Ring}, false, false, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TestProgram p;
    p.Target(c.row);
    ASSERT_NE(p.form.CallEventMessage(), 0u);
    for (E event : c.events) p.Post(p.form.CallEventMessage(), static_cast<WParam>(event));
    const CallState expected = c.ringing  ? CallState::Ringing
                               : c.callUp ? CallState::Up
                                          : CallState::Idle;
    EXPECT_EQ(p.form.CallingAppOf(app::MicroSip)->State(), expected);
    EXPECT_EQ(p.handset.calls, c.handset);
  }
}

}  // namespace
}  // namespace telvaro
