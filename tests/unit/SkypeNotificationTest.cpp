// Skype's texts arriving at an attached client, checked as the events they raise.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "FakeView.h"
#include "SimDesktop.h"
#include "SimSkype.h"
#include "skype/SkypeControl.h"

namespace telvaro {
namespace {

// Brackets keep leading and trailing blanks visible in failure output.
std::string B(const std::string& s) { return "[" + s + "]"; }
template <typename E>
std::string N(E e) {
  return std::to_string(static_cast<int>(e));
}

// Binds every event of a client to a line in `log`, raw texts to `raw`.
void RecordAll(TSkypeControl& c, std::vector<std::string>& log, std::vector<std::string>& raw) {
  auto notify = [&log](const char* name) {
    return [&log, name](TSkypeControl&) { log.push_back(name); };
  };
  c.OnAttachSuccess = notify("OnAttachSuccess");
  c.OnAttachPending = notify("OnAttachPending");
  c.OnAttachRefused = notify("OnAttachRefused");
  c.OnAPINotAvailable = notify("OnAPINotAvailable");
  c.OnAPIAvailable = notify("OnAPIAvailable");
  c.OnPong = notify("OnPong");
  c.OnCallHistoryChanged = notify("OnCallHistoryChanged");
  c.OnIMHistoryChanged = notify("OnIMHistoryChanged");
  c.OnError = [&](std::int32_t code, const std::string& d) {
    log.push_back("OnError(" + std::to_string(code) + ", " + B(d) + ")");
  };
  c.OnUserStatus = [&](TSkypeUserStatus s) { log.push_back("OnUserStatus(" + N(s) + ")"); };
  c.OnUserInfo = [&](const std::string& u, TSkypeUserProperty p, const std::string& d) {
    log.push_back("OnUserInfo(" + B(u) + ", " + N(p) + ", " + B(d) + ")");
  };
  c.OnName = [&](const std::string& n) { log.push_back("OnName(" + B(n) + ")"); };
  c.OnProtocol = [&](std::int32_t p) { log.push_back("OnProtocol(" + std::to_string(p) + ")"); };
  c.OnCallInfo = [&](std::int32_t id, TSkypeCallProperty p, const std::string& d) {
    log.push_back("OnCallInfo(" + std::to_string(id) + ", " + N(p) + ", " + B(d) + ")");
  };
  c.OnMessageInfo = [&](std::int32_t id, TSkypeMessageProperty p, const std::string& d) {
    log.push_back("OnMessageInfo(" + std::to_string(id) + ", " + N(p) + ", " + B(d) + ")");
  };
  c.OnConnStatus = [&](TSkypeConnStatus s) { log.push_back("OnConnStatus(" + N(s) + ")"); };
  c.OnCurrentUserHandle = [&](const std::string& h) {
    log.push_back("OnCurrentUserHandle(" + B(h) + ")");
  };
  c.OnSearchResult = [&](TSkypeSearchType t, std::vector<std::string> list) {
    std::string items;
    for (const std::string& item : list) items += B(item);
    log.push_back("OnSearchResult(" + N(t) + ", {" + items + "})");
  };
  c.OnAudioInInfo = [&](const std::string& d) { log.push_back("OnAudioInInfo(" + B(d) + ")"); };
  c.OnAudioOutInfo = [&](const std::string& d) { log.push_back("OnAudioOutInfo(" + B(d) + ")"); };
  c.OnMuteInfo = [&](bool m) { log.push_back(m ? "OnMuteInfo(true)" : "OnMuteInfo(false)"); };
  c.OnPrivilegeInfo = [&](TSkypePrivilege p, bool g) {
    log.push_back("OnPrivilegeInfo(" + N(p) + (g ? ", true)" : ", false)"));
  };
  c.OnVersionInfo = [&](const std::string& v) { log.push_back("OnVersionInfo(" + B(v) + ")"); };
  c.OnChatInfo = [&](const std::string& n, TSkypeChatProperty p, const std::string& d) {
    log.push_back("OnChatInfo(" + B(n) + ", " + N(p) + ", " + B(d) + ")");
  };
  c.OnChatMsgInfo = [&](std::int32_t id, TSkypeChatMsgProperty p, const std::string& d) {
    log.push_back("OnChatMsgInfo(" + std::to_string(id) + ", " + N(p) + ", " + B(d) + ")");
  };
  c.OnNotSupportedError = [&](const std::string& m) { log.push_back("report: " + m); };
  c.OnCopyData = [&](const std::string& r) { raw.push_back(r); };
}

// A client attached to a simulated Skype with protocol 3, every event recorded.
struct AttachedClient {
  explicit AttachedClient(bool record = true) {
    client.Attach(3);
    if (record) RecordAll(client, log, raw);
  }
  void UseProtocol(int protocol) {
    if (protocol == 3) return;
    skype.Send("PROTOCOL " + std::to_string(protocol));
    log.clear();
    raw.clear();
  }
  sim::SimDesktop desktop;
  sim::FakeView view{desktop};
  sim::SimSkype skype{desktop};
  TSkypeControl client{desktop, view};
  std::vector<std::string> log;
  std::vector<std::string> raw;
};

struct NotificationCase {
  int protocol;
  std::string text;
  std::vector<std::string> events;
};

const std::string kReveived = "\" should not have been reveived (Protocol ";
const std::string kReceived = "\" should not have been received (Protocol ";

const std::vector<NotificationCase> kNotificationCases = {
    // ERROR: only a positive code is an error.
    {3, "ERROR 9 Invalid  command ", {"OnError(9, [Invalid  command ])"}},
    {3, "ERROR 0 Nothing", {}},
    {3, "ERROR -3 Nothing", {}},
    {3, "ERROR x7 Nothing", {}},
    {3, "ERROR", {}},
    // USERSTATUS
    {3, "USERSTATUS ONLINE", {"OnUserStatus(1)"}},
    {3, "USERSTATUS online", {"OnUserStatus(0)"}},
    {3, "USERSTATUS", {}},
    {1,
     "USERSTATUS SKYPEME",
     {"report: Received Userstatus \"SKYPEME" + kReveived + "1)", "OnUserStatus(8)"}},
    {2, "USERSTATUS SKYPEME", {"OnUserStatus(8)"}},
    // USER: name, property word, the rest untouched.
    {3, "USER echo123 FULLNAME  Echo  Test ", {"OnUserInfo([echo123], 1, [Echo  Test ])"}},
    {3, "USER bob MOOD_TEXT hi", {"OnUserInfo([bob], 0, [hi])"}},
    {3, "USER bob", {"OnUserInfo([bob], 0, [])"}},
    {3, "USER", {}},
    // NAME takes the whole remainder.
    {3, "NAME  OK  now ", {"OnName([OK  now ])"}},
    {3, "NAME", {"OnName([])"}},
    // PROTOCOL
    {1, "PROTOCOL 3", {"OnProtocol(3)"}},
    {3, "PROTOCOL two", {"OnProtocol(1)"}},
    {3, "PROTOCOL", {"OnProtocol(1)"}},
    {3, "PROTOCOL +2", {"OnProtocol(2)"}},
    // PONG ignores what follows.
    {3, "PONG", {"OnPong"}},
    {3, "PONG extra words", {"OnPong"}},
    {3, "   PONG", {"OnPong"}},
    // CALL
    {3, "CALL 12 STATUS RINGING", {"OnCallInfo(12, 5, [RINGING])"}},
    {3, "CALL 12 PARTNER_DISPNAME   Jane  Q Doe  ", {"OnCallInfo(12, 2, [Jane  Q Doe  ])"}},
    {1,
     "CALL 12 SEEN TRUE",
     {"report: Received call property \"SEEN" + kReveived + "1)", "OnCallInfo(12, 10, [TRUE])"}},
    {3,
     "CALL 12 DTMF 5",
     {"report: Received call property \"DTMF" + kReveived + "3)", "OnCallInfo(12, 11, [5])"}},
    {3, "CALL 8345 VIDEO_STATUS VIDEO_BOTH_ENABLED", {"OnCallInfo(8345, 0, [VIDEO_BOTH_ENABLED])"}},
    {3, "CALL 0 STATUS MISSED", {"OnCallInfo(0, 5, [MISSED])"}},
    {3, "CALL 12", {"OnCallInfo(12, 0, [])"}},
    {3, "CALL abc STATUS RINGING", {}},
    {3, "CALL -2 STATUS RINGING", {}},
    {3, "CALL 12x STATUS RINGING", {}},
    {3, "CALL 99999999999 STATUS RINGING", {}},
    {3, "CALL", {}},
    // MESSAGE: protocol 3 supports no message property.
    {1, "MESSAGE 5 BODY hello  there", {"OnMessageInfo(5, 8, [hello  there])"}},
    {1,
     "MESSAGE 5 SEEN",
     {"report: Received message property \"SEEN" + kReveived + "1)", "OnMessageInfo(5, 6, [])"}},
    {3,
     "MESSAGE 5 BODY hi",
     {"report: Received message property \"BODY" + kReveived + "3)", "OnMessageInfo(5, 8, [hi])"}},
    {3, "MESSAGE x BODY hi", {}},
    // CONNSTATUS
    {3, "CONNSTATUS ONLINE", {"OnConnStatus(3)"}},
    {3, "CONNSTATUS LOGGEDOUT", {"OnConnStatus(4)"}},
    {3, "CONNSTATUS", {}},
    // CURRENTUSERHANDLE
    {3, "CURRENTUSERHANDLE skype_api_for_java", {"OnCurrentUserHandle([skype_api_for_java])"}},
    {3, "CURRENTUSERHANDLE", {}},
    // Search results: commas and blanks in any mix, no empty items.
    {3, "USERS echo123", {"OnSearchResult(0, {[echo123]})"}},
    {3, "FRIENDS a, b,c ,, d ,", {"OnSearchResult(1, {[a][b][c][d]})"}},
    {3, "CALLS 7, 7", {"OnSearchResult(2, {[7][7]})"}},
    {3, "MISSEDCALLS", {"OnSearchResult(4, {})"}},
    {1, "MESSAGES 1, 2", {"OnSearchResult(5, {[1][2]})"}},
    {3,
     "MESSAGES 1",
     {"report: Search result of type \"MESSAGES" + kReceived + "3)", "OnSearchResult(5, {[1]})"}},
    {3, "MISSEDMESSAGES 3", {"OnSearchResult(6, {[3]})"}},
    {3, "CHATS #a/$b;1", {"OnSearchResult(7, {[#a/$b;1]})"}},
    {2,
     "CHATS #a/$b;1",
     {"report: Search result of type \"CHATS" + kReceived + "2)",
      "OnSearchResult(7, {[#a/$b;1]})"}},
    {3, "CHATMESSAGES 4", {"OnSearchResult(8, {[4]})"}},
    {3, "ACTIVECALLS 1", {}},
    {3, "MISSEDCHATMESSAGES 1", {}},
    // History changes.
    {3, "CALLHISTORYCHANGED", {"OnCallHistoryChanged"}},
    {3, "IMHISTORYCHANGED", {"OnIMHistoryChanged"}},
    // Audio devices: the first word only, even when empty.
    {3, "AUDIO_IN", {"OnAudioInInfo([])"}},
    {3, "AUDIO_OUT SB Live", {"OnAudioOutInfo([SB])"}},
    // MUTE
    {3, "MUTE ON", {"OnMuteInfo(true)"}},
    {3, "MUTE OFF", {"OnMuteInfo(false)"}},
    {3, "MUTE on", {"OnMuteInfo(false)"}},
    {3, "MUTE", {}},
    // PRIVILEGE
    {3, "PRIVILEGE SKYPEOUT TRUE", {"OnPrivilegeInfo(0, true)"}},
    {3, "PRIVILEGE SKYPEOUT FALSE", {"OnPrivilegeInfo(0, false)"}},
    {3, "PRIVILEGE SKYPEIN TRUE", {"OnPrivilegeInfo(0, true)"}},
    {3, "PRIVILEGE SKYPEOUT", {}},
    {3, "PRIVILEGE", {}},
    // SKYPEVERSION
    {3, "SKYPEVERSION 1.4.0.84", {"OnVersionInfo([1.4.0.84])"}},
    {3, "SKYPEVERSION", {}},
    // CHAT: protocols 1 and 2 support no chat property.
    {3, "CHAT #bob/$alice;1 TOPIC hi  all", {"OnChatInfo([#bob/$alice;1], 6, [hi  all])"}},
    {2,
     "CHAT #bob/$alice;1 TOPIC hi",
     {"report: Received chat property \"TOPIC" + kReveived + "2)",
      "OnChatInfo([#bob/$alice;1], 6, [hi])"}},
    {3, "CHAT", {}},
    // CHATMESSAGE
    {3, "CHATMESSAGE 17 BODY hi there", {"OnChatMsgInfo(17, 7, [hi there])"}},
    {3,
     "CHATMESSAGE 17 SEEN",
     {"report: Received chatmessage property \"SEEN" + kReveived + "3)",
      "OnChatMsgInfo(17, 9, [])"}},
    {1,
     "CHATMESSAGE 17 BODY x",
     {"report: Received chatmessage property \"BODY" + kReveived + "1)",
      "OnChatMsgInfo(17, 7, [x])"}},
    {3, "CHATMESSAGE -1 BODY x", {}},
    // Protocol numbers outside 1..3 use the nearest row.
    {-4,
     "USERSTATUS SKYPEME",
     {"report: Received Userstatus \"SKYPEME" + kReveived + "-4)", "OnUserStatus(8)"}},
    {9, "USERSTATUS SKYPEME", {"OnUserStatus(8)"}},
    {9, "CHAT c TOPIC t", {"OnChatInfo([c], 6, [t])"}},
    // No notification word: dropped without a report.
    {3, "#0 CALL 19502 STATUS UNPLACED", {}},
    {3, "SET CALL 32493 DTMF 0", {}},
    {3, "PROFILE FULLNAME x", {}},
    {3, "pong", {}},
    {3, "   ", {}},
    {3, "", {}},
};

TEST(SkypeNotification, EveryFirstWordReachesItsEvent) {
  for (const NotificationCase& c : kNotificationCases) {
    SCOPED_TRACE(c.text + " under protocol " + std::to_string(c.protocol));
    AttachedClient a;
    a.UseProtocol(c.protocol);
    EXPECT_EQ(a.skype.Send(c.text), 1);
    EXPECT_EQ(a.raw, std::vector<std::string>{c.text});
    EXPECT_EQ(a.log, c.events);
  }
}

TEST(SkypeNotification, ProtocolReplyGovernsLaterChecks) {
  AttachedClient a;
  a.skype.Send("PROTOCOL 1");
  EXPECT_EQ(a.client.Protocol(), 1);
  a.skype.Send("USERSTATUS SKYPEME");
  a.skype.Send("PROTOCOL 2");
  a.skype.Send("USERSTATUS SKYPEME");
  EXPECT_EQ(a.log, (std::vector<std::string>{
                       "OnProtocol(1)", "report: Received Userstatus \"SKYPEME" + kReveived + "1)",
                       "OnUserStatus(8)", "OnProtocol(2)", "OnUserStatus(8)"}));
}

TEST(SkypeNotification, UnassignedEventsAreSilent) {
  for (const NotificationCase& c : kNotificationCases) {
    AttachedClient a(false);
    a.UseProtocol(c.protocol);
    EXPECT_EQ(a.skype.Send(c.text), 1) << c.text;
  }
}

// --- Recorded traffic from a real Skype ---------------------------------------------------------

std::vector<std::string> ReceivedLines(const std::string& file) {
  std::ifstream in(std::filesystem::path(TELVARO_TESTDATA_DIR) / "skype-traces" / file);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::size_t first = line.find(',');
    const std::size_t second = line.find(',', first + 1);
    if (first == std::string::npos || second == std::string::npos) continue;
    if (line.compare(0, first, "received") == 0) lines.push_back(line.substr(second + 1));
  }
  return lines;
}

struct TraceCase {
  std::string file;
  std::size_t received;
  std::vector<std::string> events;
};

TEST(SkypeNotification, RecordedTracesParse) {
  const std::vector<TraceCase> cases = {
      {"call-conference.csv", 2, {"OnCallInfo(19502, 3, [11676])"}},
      {"call-outgoing.csv",
       16,
       {"OnSearchResult(0, {[echo123]})", "OnCallInfo(8345, 5, [ROUTING])",
        "OnCallInfo(8345, 5, [ROUTING])", "OnCallInfo(8345, 5, [RINGING])",
        "OnCallInfo(8345, 5, [RINGING])", "OnCallInfo(8345, 5, [INPROGRESS])",
        "OnCallInfo(8345, 0, [AVAILABLE])", "OnCallInfo(8345, 0, [VIDEO_BOTH_ENABLED])",
        "OnCallInfo(8345, 9, [1])", "OnCallInfo(8345, 9, [2])", "OnCallInfo(8345, 5, [FINISHED])",
        "OnCallInfo(8345, 9, [2])", "OnCallInfo(8345, 1, [echo123])",
        "OnCallInfo(8345, 4, [OUTGOING_P2P])"}},
      {"call-dtmf.csv",
       20,
       {"OnCallInfo(32493, 5, [ROUTING])", "OnCallInfo(32493, 5, [ROUTING])",
        "OnCallInfo(32493, 5, [RINGING])", "OnCallInfo(32493, 5, [INPROGRESS])",
        "OnCallInfo(32493, 9, [0])", "OnCallInfo(32493, 5, [FINISHED])"}},
      {"profile.csv",
       9,
       {"OnCurrentUserHandle([skype_api_for_java])", "OnUserStatus(1)", "OnPrivilegeInfo(0, true)",
        "OnPrivilegeInfo(0, true)", "OnPrivilegeInfo(0, true)"}},
  };
  for (const TraceCase& c : cases) {
    SCOPED_TRACE(c.file);
    const std::vector<std::string> lines = ReceivedLines(c.file);
    ASSERT_EQ(lines.size(), c.received);
    AttachedClient a;
    for (const std::string& line : lines) a.skype.Send(line);
    EXPECT_EQ(a.raw, lines);
    EXPECT_EQ(a.log, c.events);
  }
}

}  // namespace
}  // namespace telvaro
