// The dial display's text and the tray tip: per state and row, and the caller from each source,
// hostile ones included.
#include <gtest/gtest.h>

#include "TestProgram.h"
#include "handset/KeyCodes.h"
#include "shell/CallSwitch.h"
#include "shell/DialDisplay.h"
#include "shell/TrayIcon.h"

namespace telvaro {
namespace {

using sim::TestProgram;

constexpr const char* kSettings = "SOFTWARE\\Dialbridge";

TEST(DialDisplayText, SaysTheNumberTheCallAndTheStatus) {
  using C = CallShown;
  struct Case {
    DialDisplayState state;
    const char* number;
    const char* call;
    const char* tip;
  };
  const std::string longNumber = "0123456789" + std::string(40, '5') + "9876";
  const Case cases[] = {
      {{"Skype", "", C::None, "", "Skype is running."}, "", "", "TELVARO\nSkype is running."},
      {{"MicroSIP", "5550100", C::None, "", "MicroSIP is running."},
       "MicroSIP: 5550100",
       "",
       "MicroSIP: 5550100"},
      {{"Skype", "", C::Ringing, "Alice", "s"}, "", "Ringing: Alice", "Ringing: Alice"},
      {{"Skype", "12", C::InCall, "Alice", "s"}, "Skype: 12", "In call: Alice", "In call: Alice"},
      {{"X-Lite", longNumber, C::None, "", "s"},
       "X-Lite: ...5555555555555555555555555555555559876",
       "",
       "X-Lite: ...5555555555555555555555555555555559876"},
      {{"Skype", "he\x01lp\ndesk", C::None, "", "s"}, "Skype: helpdesk", "", "Skype: helpdesk"},
  };
  for (const Case& c : cases) {
    const DialDisplayText text = DialDisplayTextFor(c.state);
    EXPECT_EQ(text.number, c.number) << c.state.number;
    EXPECT_EQ(text.call, c.call) << c.call;
    EXPECT_EQ(text.status, c.state.status);
    EXPECT_EQ(text.tip, c.tip) << c.tip;
  }
  const DialDisplayText full =
      DialDisplayTextFor({"Skype", "12", C::Ringing, "Bob", "Skype is running."});
  EXPECT_EQ(full.Joined(), "Skype: 12\r\nRinging: Bob\r\nSkype is running.");
}

TEST(CleanCaller, KeepsPrintableTextShortAndUninterpreted) {
  struct Case {
    std::string raw;
    std::string shown;
  };
  const Case cases[] = {
      {"Alice", "Alice"},
      {"  Bob Smith  ", "Bob Smith"},
      {std::string("Ev\0e", 4), "Eve"},
      {"<b>Mallory</b> &amp; <script>x()</script>", "<b>Mallory</b> &amp; <script>x()</script>"},
      {"\x1b[31mRed\r\n\t\x7f", "[31mRed"},
      {"&File", "&File"},
      {std::string(4096, 'A'), std::string(kCallerMaxChars, 'A')},
      {std::string(63, 'a') + " b", std::string(63, 'a')},
      {"\x01\x02  ", ""},
      {"J\xC3\xBCrgen", "J\xC3\xBCrgen"},
  };
  for (const Case& c : cases) EXPECT_EQ(CleanCaller(c.raw), c.shown) << c.raw.substr(0, 40);
}

// A ringing Skype call asks who calls; the answers name the caller and change nothing else.
TEST(SkypeCaller, AskedOnRingingAndShownAsReceived) {
  struct Case {
    const char* name;
    std::vector<std::string> received;
    std::string call;
  };
  const std::string huge(4096, 'M');
  const Case cases[] = {
      {"display name",
       {"CALL 61 STATUS RINGING", "CALL 61 PARTNER_DISPNAME Alice Smith",
        "CALL 61 PARTNER_HANDLE alice.s"},
       "Ringing: Alice Smith"},
      {"handle only: no display name set",
       {"CALL 61 STATUS RINGING", "CALL 61 PARTNER_DISPNAME ", "CALL 61 PARTNER_HANDLE echo123"},
       "Ringing: echo123"},
      {"no answer", {"CALL 61 STATUS RINGING"}, "Ringing"},
      {"answers without a value",
       {"CALL 61 STATUS RINGING", "CALL 61 PARTNER_DISPNAME"},
       "Ringing"},
      {"an answer about another call",
       {"CALL 61 STATUS RINGING", "CALL 99 PARTNER_DISPNAME Mallory"},
       "Ringing"},
      {"4 KiB",
       {"CALL 61 STATUS RINGING", "CALL 61 PARTNER_DISPNAME " + huge},
       "Ringing: " + huge.substr(0, kCallerMaxChars)},
      {"answered",
       {"CALL 61 STATUS RINGING", "CALL 61 PARTNER_DISPNAME Alice", "CALL 61 STATUS INPROGRESS"},
       "In call: Alice"},
      {"ended",
       {"CALL 61 STATUS RINGING", "CALL 61 PARTNER_HANDLE alice", "CALL 61 STATUS INPROGRESS",
        "CALL 61 STATUS FINISHED"},
       "Ended: alice"},
      {"our own call is not asked about",
       {"CALL 62 STATUS ROUTING", "CALL 62 STATUS RINGING", "CALL 62 STATUS INPROGRESS"},
       "In call"},
  };
  for (const Case& c : cases) {
    TestProgram p;
    sim::SimSkype skype(p.desktop);
    p.form.FSkype->Attach(3);
    TestProgram reference;  // the same notifications without the answers
    skype.commands.clear();
    for (const std::string& text : c.received) {
      skype.Send(text);
      if (text.find("PARTNER_") != std::string::npos) continue;
      const auto id = static_cast<std::int32_t>(std::stoi(text.substr(5)));
      const std::string rest = text.substr(text.find(' ', 5) + 1);
      const std::string word = rest.substr(0, rest.find(' '));
      reference.form.SkypeCallInfo(
          id, static_cast<TSkypeCallProperty>(LookupWord(CallPropertyWords, word)),
          rest.substr(rest.find(' ') + 1));
    }
    EXPECT_EQ(p.view.dialDisplay.call, c.call) << c.name;
    const bool asked = c.received.front().find("RINGING") != std::string::npos;
    const std::vector<std::string> questions = {"GET CALL 61 PARTNER_DISPNAME",
                                                "GET CALL 61 PARTNER_HANDLE"};
    EXPECT_EQ(skype.commands, asked ? questions : std::vector<std::string>{}) << c.name;
    EXPECT_EQ(p.form.RingingCallId, reference.form.RingingCallId) << c.name;
    EXPECT_EQ(p.form.ActiveCallId, reference.form.ActiveCallId) << c.name;
    EXPECT_EQ(p.form.FCallPending, reference.form.FCallPending) << c.name;
    EXPECT_EQ(p.handset.calls, reference.handset.calls) << c.name;
  }
}

constexpr int kXLiteRow = 1;
constexpr int kMicroSipRow = 21;

// The handset's codes run down the keypad's columns.
int CodeOf(char key) { return static_cast<int>(std::string("147*2580369#").find(key)) + 1; }

// Each row's number as keyed, after every key; the call and hang-up keys end a typed echo.
TEST(DialDisplayKeys, ShowWhatIsKeyedForEachRow) {
  struct Case {
    const char* name;
    int row;
    std::vector<int> codes;
    const char* keyed;
    const char* number;
  };
  const Case cases[] = {
      {"Skype's dial buffer", 0, {CodeOf('1'), CodeOf('2'), CodeOf('#')}, "12#", "Skype: 12#"},
      {"MicroSIP's number",
       kMicroSipRow,
       {CodeOf('5'), CodeOf('5'), CodeOf('*')},
       "55*",
       "MicroSIP: 55*"},
      {"X-Lite is typed into: echoed", kXLiteRow, {CodeOf('7'), CodeOf('0')}, "70", "X-Lite: 70"},
      {"X-Lite after the call key", kXLiteRow, {CodeOf('7'), kCallKeyCode}, "", ""},
      {"X-Lite after hang-up, then a key",
       kXLiteRow,
       {CodeOf('7'), kHangUpKeyCode, CodeOf('3')},
       "3",
       "X-Lite: 3"},
  };
  for (const Case& c : cases) {
    TestProgram p;
    p.Target(c.row);
    for (int code : c.codes) {
      p.KeyDown(code);
      p.KeyUp(code);
    }
    EXPECT_EQ(p.view.dialDisplay.number, c.number) << c.name;
    EXPECT_EQ(p.form.KeyedNumber(), c.keyed) << c.name;
  }
}

TEST(DialDisplayKeys, TurnedOffOnlyTheTooltipFollows) {
  TestProgram p;
  p.Target(kXLiteRow);
  const int before = p.view.dialDisplayPopUps;
  p.KeyDown(CodeOf('4'));
  const int after = p.view.dialDisplayPopUps;
  EXPECT_GT(after, before) << "on by default";
  p.form.SetDialDisplayOn(false);
  EXPECT_EQ(p.desktop.RegString(win::HKEY_LOCAL_MACHINE, kSettings, "DialDisplay"), "0");
  p.KeyDown(CodeOf('2'));
  EXPECT_EQ(p.view.dialDisplayPopUps, after);
  EXPECT_EQ(p.view.dialDisplay.tip, "X-Lite: 42");
  p.form.SetDialDisplayOn(true);
  EXPECT_EQ(p.desktop.RegString(win::HKEY_LOCAL_MACHINE, kSettings, "DialDisplay"), "");
  EXPECT_FALSE(p.desktop.HasRegValue(win::HKEY_LOCAL_MACHINE, kSettings, "CurrentAppIndex"))
      << "the three values are saved at close only";
}

// MicroSIP's events, as `telvaro.exe --call` hands them over; a key after the end starts anew.
TEST(DialDisplayCalls, MicroSipEventsShowTheCall) {
  TestProgram p;
  p.Select(kMicroSipRow);
  const std::pair<CallEvent, const char*> steps[] = {
      {CallEvent::Ring, "Ringing"}, {CallEvent::Up, "In call"}, {CallEvent::End, "Ended"}};
  for (auto [event, shown] : steps) {
    p.Post(p.form.CallEventMessage(), static_cast<WParam>(event));
    EXPECT_EQ(p.view.dialDisplay.call, shown);
    EXPECT_EQ(p.view.dialDisplay.tip, shown);
  }
  p.KeyDown(CodeOf('9'));
  EXPECT_EQ(p.view.dialDisplay.call, "");
  EXPECT_EQ(p.view.dialDisplay.tip, "MicroSIP: 9");
}

}  // namespace
}  // namespace telvaro
