// The Skype client's transport: construction, attachment, the WM_COPYDATA exchange in both
// directions, word cutting and the command texts.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "FakeView.h"
#include "SimDesktop.h"
#include "SimSkype.h"
#include "skype/SkypeControl.h"

namespace telvaro {
namespace {

using Lines = std::vector<std::string>;

std::string Hex(std::uint64_t v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "0x%llX", static_cast<unsigned long long>(v));
  return buf;
}

// --- CutWord ------------------------------------------------------------------------------------

TEST(CutWord, CutsFirstWordAndFollowingDelimiters) {
  struct Case {
    std::string text;
    std::string delimiters;
    std::string word;
    std::string rest;
  };
  const std::vector<Case> cases = {
      {"   PONG", " ", "PONG", ""},
      {"CALL 61 STATUS RINGING", " ", "CALL", "61 STATUS RINGING"},
      {"PARTNER_DISPNAME   Jane  Doe  ", " ", "PARTNER_DISPNAME", "Jane  Doe  "},
      {"word", " ", "word", ""},
      {"   ", " ", "", ""},
      {"", " ", "", ""},
      {"a,b c", " ", "a,b", "c"},
      {"a,b c", " ,", "a", "b c"},
      {" ,, x ,y", " ,", "x", "y"},
      {" , ,", " ,", "", ""},
  };
  for (const Case& c : cases) {
    std::string text = c.text;
    EXPECT_EQ(CutWord(text, c.delimiters), c.word) << "[" << c.text << "]";
    EXPECT_EQ(text, c.rest) << "[" << c.text << "]";
  }
}

// --- Construction -------------------------------------------------------------------------------

TEST(SkypeControlLife, HooksOnlyWhenBothMessagesRegister) {
  struct Case {
    std::vector<std::string> failing;
    bool hooked;
  };
  const std::vector<Case> cases = {
      {{}, true},
      {{"SkypeControlAPIAttach"}, false},
      {{"SkypeControlAPIDiscover"}, false},
      {{"SkypeControlAPIAttach", "SkypeControlAPIDiscover"}, false},
  };
  for (const Case& c : cases) {
    sim::SimDesktop desktop;
    sim::FakeView view(desktop);
    for (const std::string& name : c.failing) desktop.FailRegistration(name);
    {
      TSkypeControl client(desktop, view);
      EXPECT_EQ(client.Hooked(), c.hooked);
      EXPECT_EQ(view.Hooked(), c.hooked);
      EXPECT_FALSE(client.IdentName.empty());
      EXPECT_FALSE(client.AutoReAttach);
      EXPECT_FALSE(client.Attached());
      EXPECT_EQ(client.ApiWindow(), 0u);
      EXPECT_EQ(client.Protocol(), -1);
    }
    EXPECT_FALSE(view.Hooked());
  }
}

TEST(SkypeControlLife, InertClientSendsNothing) {
  sim::SimDesktop desktop;
  sim::FakeView view(desktop);
  desktop.FailRegistration("SkypeControlAPIDiscover");
  TSkypeControl client(desktop, view);
  desktop.ClearTrace();
  client.Attach(3);
  EXPECT_TRUE(client.Ping());
  EXPECT_EQ(client.Protocol(), 3);
  EXPECT_TRUE(desktop.Trace().empty());
}

// --- Attachment ---------------------------------------------------------------------------------

// A client whose main window is the FakeView, and two windows that can play Skype's API window.
// Everything they see goes into one log, in order.
struct AttachFixture {
  AttachFixture() {
    for (auto [window, name] : {std::pair{&oldApi, "old"}, std::pair{&newApi, "new"}}) {
      *window = desktop.AddWindow("SkypeAPIWindow", name);
      desktop.SetBehaviour(*window, [this, name](Hwnd, UInt msg, WParam, LParam l, bool& handled) {
        handled = msg == win::WM_COPYDATA;
        if (msg == win::WM_COPYDATA) {
          const auto* cds = reinterpret_cast<const CopyDataStruct*>(l);
          log.push_back(std::string(name) + ": " + static_cast<const char*>(cds->lpData));
        }
        return LResult{handled ? 1 : 0};
      });
    }
    const Hwnd listener = desktop.AddWindow("Listener", "");
    desktop.SetBehaviour(listener, [this](Hwnd, UInt msg, WParam, LParam, bool&) {
      if (msg == client.DiscoverMessage()) log.push_back("discover");
      return LResult{0};
    });
    const std::pair<TNotifyEvent*, const char*> events[] = {
        {&client.OnAttachSuccess, "OnAttachSuccess"},
        {&client.OnAttachPending, "OnAttachPending"},
        {&client.OnAttachRefused, "OnAttachRefused"},
        {&client.OnAPINotAvailable, "OnAPINotAvailable"},
        {&client.OnAPIAvailable, "OnAPIAvailable"}};
    for (auto [event, name] : events) {
      *event = [this, name](TSkypeControl& sender) {
        EXPECT_EQ(&sender, &client);
        log.push_back(name);
      };
    }
  }
  // What Skype sends to the window named in the discovery broadcast.
  bool AttachStatus(Hwnd from, LParam status) {
    TMessage message{client.AttachMessage(), from, status, 0};
    return client.MainWindowHook(message);
  }

  sim::SimDesktop desktop;
  sim::FakeView view{desktop};
  TSkypeControl client{desktop, view};
  Hwnd oldApi = 0;
  Hwnd newApi = 0;
  Lines log;
};

TEST(SkypeAttach, StatusTable) {
  enum class Api { None, Old, New };
  struct Case {
    const char* name;
    bool attachedBefore;
    LParam status;
    bool autoReAttach;
    bool handled;
    Lines log;
    Api apiAfter;
  };
  const std::vector<Case> cases = {
      {"success",
       false,
       0,
       false,
       true,
       {"new: NAME TELVARO", "new: PROTOCOL 3", "OnAttachSuccess"},
       Api::New},
      {"success again",
       true,
       0,
       false,
       true,
       {"new: NAME TELVARO", "new: PROTOCOL 3", "OnAttachSuccess"},
       Api::New},
      {"pending", false, 1, false, true, {"OnAttachPending"}, Api::None},
      {"refused", false, 2, false, true, {"OnAttachRefused"}, Api::None},
      {"refused after success", true, 2, false, true, {"OnAttachRefused"}, Api::Old},
      {"not available", false, 3, false, true, {"OnAPINotAvailable"}, Api::None},
      {"not available after success", true, 3, false, true, {"OnAPINotAvailable"}, Api::Old},
      {"available", true, 0x8001, false, true, {"OnAPIAvailable"}, Api::Old},
      {"available, re-attach",
       false,
       0x8001,
       true,
       true,
       {"discover", "OnAPIAvailable"},
       Api::None},
      {"status 4", true, 4, true, false, {}, Api::Old},
      {"status 0x8000", false, 0x8000, true, false, {}, Api::None},
      {"status -1", true, -1, true, false, {}, Api::Old},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    AttachFixture f;
    f.client.Attach(3);
    if (c.attachedBefore) f.AttachStatus(f.oldApi, 0);
    f.client.AutoReAttach = c.autoReAttach;
    f.log.clear();
    EXPECT_EQ(f.AttachStatus(f.newApi, c.status), c.handled);
    EXPECT_EQ(f.log, c.log);
    const Hwnd expected = c.apiAfter == Api::Old ? f.oldApi : c.apiAfter == Api::New ? f.newApi : 0;
    EXPECT_EQ(f.client.ApiWindow(), expected);
    EXPECT_EQ(f.client.Attached(), c.apiAfter != Api::None);
    EXPECT_EQ(f.client.Protocol(), 3);
  }
}

TEST(SkypeAttach, DiscoveryBroadcastWaitsForNoReceiverAndReachesAHungOneWhenItRecovers) {
  AttachFixture f;
  const Hwnd hung = f.desktop.AddWindow("HungListener", "");
  f.desktop.SetBehaviour(hung, [&f](Hwnd, UInt msg, WParam, LParam, bool&) {
    if (msg == f.client.DiscoverMessage()) f.log.push_back("hung: discover");
    return LResult{0};
  });
  f.desktop.Hang(hung);
  f.desktop.ClearTrace();
  f.client.Attach(3);
  const std::string expected = "SendNotifyMessageA(HWND_BROADCAST, " +
                               Hex(f.client.DiscoverMessage()) + ", " +
                               Hex(f.view.MainWindowHandle()) + ", 0x00000000)";
  EXPECT_EQ(f.desktop.Trace(), Lines{expected});
  EXPECT_EQ(f.log, Lines{"discover"});
  f.desktop.Recover(hung);
  EXPECT_EQ(f.log, (Lines{"discover", "hung: discover"}));
}

TEST(SkypeAttach, ReAttachKeepsOldWindowUntilSkypeAnswers) {
  AttachFixture f;
  f.client.Attach(3);
  f.AttachStatus(f.oldApi, 0);
  f.client.Attach(1);
  EXPECT_EQ(f.client.Protocol(), 1);
  EXPECT_TRUE(f.client.Attached());
  f.log.clear();
  f.client.Ping();
  EXPECT_EQ(f.log, Lines{"old: PING"});
}

TEST(SkypeAttach, HandshakeWithSimulatedSkype) {
  sim::SimDesktop desktop;
  sim::FakeView view(desktop);
  sim::SimSkype skype(desktop);
  TSkypeControl client(desktop, view);
  client.IdentName = "Handset";
  client.Attach(3);
  EXPECT_TRUE(client.Attached());
  EXPECT_EQ(client.ApiWindow(), skype.apiWindow);
  EXPECT_EQ(skype.commands, (Lines{"NAME Handset", "PROTOCOL 3"}));
  client.Detach();
  EXPECT_FALSE(client.Attached());
  EXPECT_EQ(client.ApiWindow(), 0u);
  EXPECT_TRUE(client.Ping());
  EXPECT_EQ(skype.commands.size(), 2u);
}

// --- Outgoing: SendCommand ----------------------------------------------------------------------

TEST(SkypeSendCommand, FramingAndResults) {
  struct Case {
    const char* name;
    std::string command;
    bool attached;
    bool skypeGone;
    bool result;
    bool sent;
  };
  const std::vector<Case> cases = {
      {"ping", "PING", true, false, true, true},
      {"empty", "", true, false, true, false},
      {"detached", "PING", false, false, true, false},
      {"longest", std::string(1023, 'x'), true, false, true, true},
      {"too long", std::string(1024, 'x'), true, false, false, false},
      {"too long, detached", std::string(5000, 'x'), false, false, true, false},
      {"skype gone", "PING", true, true, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sim::SimDesktop desktop;
    sim::FakeView view(desktop);
    TSkypeControl client(desktop, view);
    const Hwnd api = desktop.AddWindow("SkypeAPIWindow", "");
    std::vector<std::pair<WParam, std::string>> received;
    desktop.SetBehaviour(api, [&](Hwnd, UInt msg, WParam w, LParam l, bool&) {
      const auto* cds = reinterpret_cast<const CopyDataStruct*>(l);
      if (msg == win::WM_COPYDATA && cds->dwData == 0) {
        received.emplace_back(w, std::string(static_cast<const char*>(cds->lpData), cds->cbData));
      }
      return LResult{1};
    });
    if (c.attached) {
      desktop.SendMessageA(view.MainWindowHandle(), client.AttachMessage(), api, 0);
    }
    if (c.skypeGone) desktop.DestroyWindow(api);
    received.clear();
    EXPECT_EQ(client.SendCommand(c.command), c.result);
    EXPECT_EQ(client.Attached(), c.attached);
    if (c.sent) {
      ASSERT_EQ(received.size(), 1u);
      EXPECT_EQ(received[0].first, view.MainWindowHandle());
      EXPECT_EQ(received[0].second, c.command + std::string(1, '\0'));
    } else {
      EXPECT_TRUE(received.empty());
    }
  }
}

// --- Incoming: which WM_COPYDATA is accepted, and what text it carries --------------------------

struct IncomingFixture {
  IncomingFixture() {
    client.OnCopyData = [this](const std::string& raw) { log.push_back("raw [" + raw + "]"); };
    client.OnPong = [this](TSkypeControl&) { log.push_back("OnPong"); };
    client.OnCallInfo = [this](std::int32_t id, TSkypeCallProperty p, const std::string& d) {
      log.push_back("OnCallInfo " + std::to_string(id) + " " + std::to_string(static_cast<int>(p)) +
                    " [" + d + "]");
    };
  }
  LResult Deliver(WParam from, LParam lParam) {
    return desktop.SendMessageA(view.MainWindowHandle(), win::WM_COPYDATA, from, lParam);
  }
  sim::SimDesktop desktop;
  sim::FakeView view{desktop};
  sim::SimSkype skype{desktop};
  TSkypeControl client{desktop, view};
  Lines log;
};

TEST(SkypeIncoming, OnlySkypesApiWindowIsHeard) {
  struct Case {
    const char* name;
    bool attach;
    bool detach;
    bool fromSkype;  // else from window 0
    bool accepted;
  };
  const std::vector<Case> cases = {
      {"never attached, sender 0", false, false, false, false},
      {"detached, sender 0", true, true, false, false},
      {"detached, from the old window", true, true, true, false},
      {"attached, sender 0", true, false, false, false},
      {"attached, from Skype", true, false, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    IncomingFixture f;
    if (c.attach) f.client.Attach(3);
    if (c.detach) f.client.Detach();
    std::string text = "PONG";
    CopyDataStruct cds{0, 5, text.c_str()};
    const LResult result =
        f.Deliver(c.fromSkype ? f.skype.apiWindow : 0, reinterpret_cast<LParam>(&cds));
    EXPECT_EQ(result, c.accepted ? 1 : 0);
    EXPECT_EQ(f.log, c.accepted ? (Lines{"raw [PONG]", "OnPong"}) : Lines{});
  }
}

TEST(SkypeIncoming, TextStaysWithinTheSendersBytes) {
  struct Case {
    const char* name;
    std::string bytes;  // allocated to exactly this size
    std::uint32_t cbData;
    bool nullData;
    Lines log;
  };
  const std::string call = "CALL 61 STATUS RINGING";
  const std::vector<Case> cases = {
      {"call", call + '\0', 23, false, {"raw [" + call + "]", "OnCallInfo 61 5 [RINGING]"}},
      {"no NUL inside cbData", "PONG", 4, false, {"raw [PONG]", "OnPong"}},
      {"cbData shorter than text", "PONGXYZ", 4, false, {"raw [PONG]", "OnPong"}},
      {"bytes after a NUL",
       std::string("PONG\0CALL 1 STATUS RINGING", 26),
       26,
       false,
       {"raw [PONG]", "OnPong"}},
      {"cbData 0", "PONG", 0, false, {"raw []"}},
      {"null lpData", "", 64, true, {"raw []"}},
      {"spaces only", "   ", 3, false, {"raw [   ]"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    IncomingFixture f;
    f.client.Attach(3);
    auto bytes = std::make_unique<char[]>(std::max<std::size_t>(c.bytes.size(), 1));
    std::copy(c.bytes.begin(), c.bytes.end(), bytes.get());
    CopyDataStruct cds{7, c.cbData, c.nullData ? nullptr : bytes.get()};
    EXPECT_EQ(f.Deliver(f.skype.apiWindow, reinterpret_cast<LParam>(&cds)), 1);
    EXPECT_EQ(f.log, c.log);
  }
}

TEST(SkypeIncoming, NullStructureIsAnEmptyText) {
  IncomingFixture f;
  f.client.Attach(3);
  EXPECT_EQ(f.Deliver(f.skype.apiWindow, 0), 1);
  EXPECT_EQ(f.log, Lines{"raw []"});
}

// --- Commands -----------------------------------------------------------------------------------

TEST(SkypeCommands, CommandTexts) {
  struct Case {
    const char* name;
    std::function<bool(TSkypeControl&)> run;
    Lines sent;
  };
  using P = TSkypeCallProperty;
  auto none = [](auto action) {
    return [action](TSkypeControl& c) {
      action(c);
      return true;
    };
  };
  const std::vector<Case> cases = {
      {"finish",
       none([](auto& c) { c.SetCallProperty(12, P::Status, "FINISHED"); }),
       {"SET CALL 12 STATUS FINISHED"}},
      {"answer",
       none([](auto& c) { c.SetCallProperty(61, P::Status, "INPROGRESS"); }),
       {"SET CALL 61 STATUS INPROGRESS"}},
      {"dtmf", none([](auto& c) { c.SetCallProperty(7, P::Dtmf, "#"); }), {"SET CALL 7 DTMF #"}},
      {"seen, empty value",
       none([](auto& c) { c.SetCallProperty(7, P::Seen, ""); }),
       {"SET CALL 7 SEEN "}},
      {"negative id",
       none([](auto& c) { c.SetCallProperty(-5, P::Dtmf, "1"); }),
       {"SET CALL -5 DTMF 1"}},
      {"call", none([](auto& c) { c.PlaceCall("+4930 123"); }), {"CALL +4930 123"}},
      {"call nobody", none([](auto& c) { c.PlaceCall(""); }), {"CALL "}},
      {"up", none([](auto& c) { c.ReleaseButton("UP"); }), {"BTN_RELEASED UP"}},
      {"digit", none([](auto& c) { c.ReleaseButton("5"); }), {"BTN_RELEASED 5"}},
      {"focus", [](auto& c) { return c.FocusSkype(); }, {"FOCUS"}},
      {"ping", [](auto& c) { return c.Ping(); }, {"PING"}},
      {"hook on", [](auto& c) { return c.HookOn(); }, {"HOOK ON"}},
      {"hook off", [](auto& c) { return c.HookOff(); }, {"HOOK OFF"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (bool attached : {true, false}) {
      sim::SimDesktop desktop;
      sim::FakeView view(desktop);
      sim::SimSkype skype(desktop);
      skype.answerPing = false;
      TSkypeControl client(desktop, view);
      Lines reports;
      client.OnNotSupportedError = [&](const std::string& m) { reports.push_back(m); };
      client.Attach(3);
      if (!attached) client.Detach();
      skype.commands.clear();
      EXPECT_TRUE(c.run(client));
      EXPECT_EQ(skype.commands, attached ? c.sent : Lines{});
      EXPECT_TRUE(reports.empty());
    }
  }
}

TEST(SkypeCommands, SkypeGoneFailsTheCommand) {
  sim::SimDesktop desktop;
  sim::FakeView view(desktop);
  sim::SimSkype skype(desktop);
  TSkypeControl client(desktop, view);
  client.Attach(3);
  desktop.DestroyWindow(skype.apiWindow);
  EXPECT_FALSE(client.Ping());
  EXPECT_FALSE(client.FocusSkype());
  EXPECT_FALSE(client.HookOn());
  EXPECT_FALSE(client.HookOff());
  EXPECT_TRUE(client.Attached());
}

TEST(SkypeCommands, UnsettableCallPropertyIsReportedNotSent) {
  struct Case {
    int protocol;
    TSkypeCallProperty property;
    std::string report;
  };
  const std::vector<Case> cases = {
      {3, TSkypeCallProperty::PartnerHandle,
       "Setting call property \"PARTNER_HANDLE\" not supported (Protocol 3)"},
      {1, TSkypeCallProperty::Timestamp,
       "Setting call property \"TIMESTAMP\" not supported (Protocol 1)"},
      {-1, TSkypeCallProperty::PstnStatus,
       "Setting call property \"PSTN_STATUS\" not supported (Protocol -1)"},
  };
  for (const Case& c : cases) {
    sim::SimDesktop desktop;
    sim::FakeView view(desktop);
    sim::SimSkype skype(desktop);
    TSkypeControl client(desktop, view);
    Lines reports;
    client.OnNotSupportedError = [&](const std::string& m) { reports.push_back(m); };
    client.Attach(c.protocol);
    skype.commands.clear();
    client.SetCallProperty(12, c.property, "x");
    EXPECT_TRUE(skype.commands.empty());
    EXPECT_EQ(reports, Lines{c.report});
  }
}

}  // namespace
}  // namespace telvaro
