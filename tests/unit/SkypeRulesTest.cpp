// Rules of the Skype link that a plausible slip would break silently: a call being placed counts
// as pending from its first report, only Skype's API window is heard, and a re-attach after Skype
// comes back always asks for protocol 3.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CallKeyDesk.h"
#include "FakeView.h"
#include "SimDesktop.h"
#include "SimSkype.h"
#include "skype/SkypeControl.h"

namespace telvaro {
namespace {

using Lines = std::vector<std::string>;

// An outgoing call reported only as being routed (Skype may never report it ringing) is pending:
// the star key then dials a tone instead of working Skype's dial page.
TEST(SkypeCallInfo, RoutingOfANewCallAloneMakesItPending) {
  sim::SkypeDesk d;
  TMainForm& form = d.p.form;
  ASSERT_FALSE(form.FCallPending);
  d.skype.Send("CALL 70 STATUS ROUTING");
  EXPECT_TRUE(form.FCallPending);
  EXPECT_EQ(form.ActiveCallId, 70);
  EXPECT_EQ(form.RingingCallId, 0);
  EXPECT_EQ(form.FCallDirection, "CALL_OUT");
  EXPECT_EQ(d.p.handset.Count("StartBuzzer"), 0);
  form.FDialBuffer.clear();
  d.p.KeyDown(4);  // star
  EXPECT_EQ(form.FDialBuffer, "*");
}

struct HookRig {
  HookRig() {
    view.dispatch = [this](TMessage& m) {
      if (m.Msg == win::WM_COPYDATA) log.push_back("normal handling");
      return true;
    };
    client.OnCopyData = [this](const std::string& raw) { log.push_back("OnCopyData " + raw); };
    client.Attach(3);
  }
  sim::SimDesktop desktop;
  sim::FakeView view{desktop};
  sim::SimSkype skype{desktop};
  TSkypeControl client{desktop, view};
  Lines log;
};

// Only the attached API window's WM_COPYDATA is taken; any other sender's goes on, unhandled, to
// the window's normal handling.
TEST(SkypeHook, CopyDataFromAnyOtherWindowIsLeftToNormalHandling) {
  struct Case {
    const char* name;
    Hwnd (*sender)(HookRig&);
    bool taken;
  };
  const Case cases[] = {
      {"Skype's API window", [](HookRig& r) { return r.skype.apiWindow; }, true},
      {"Skype's main window", [](HookRig& r) { return r.skype.mainWindow; }, false},
      {"another program", [](HookRig& r) { return r.desktop.AddWindow("Other", "x"); }, false},
      {"our own window", [](HookRig& r) { return r.view.MainWindowHandle(); }, false},
      {"no window", [](HookRig&) { return Hwnd{0}; }, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HookRig r;
    ASSERT_TRUE(r.client.Attached());
    const Hwnd sender = c.sender(r);
    std::string text = "PONG";
    CopyDataStruct cds{0, 5, text.c_str()};
    TMessage message{win::WM_COPYDATA, sender, reinterpret_cast<LParam>(&cds), 0};
    EXPECT_EQ(r.client.MainWindowHook(message), c.taken);
    EXPECT_EQ(message.Result, c.taken ? 1 : 0);
    r.log.clear();
    const LResult result = r.desktop.SendMessageA(r.view.MainWindowHandle(), win::WM_COPYDATA,
                                                  sender, reinterpret_cast<LParam>(&cds));
    EXPECT_EQ(result, c.taken ? 1 : 0);
    EXPECT_EQ(r.log, c.taken ? Lines{"OnCopyData PONG"} : Lines{"normal handling"});
  }
}

// Skype announcing its API again re-attaches with protocol 3, whatever protocol was in use.
TEST(SkypeHook, AutoReAttachAsksForProtocolThree) {
  struct Case {
    const char* name;
    void (*before)(HookRig&);
  };
  const Case cases[] = {
      {"attached with protocol 5", [](HookRig& r) { r.client.Attach(5); }},
      {"Skype answered protocol 2", [](HookRig& r) { r.skype.Send("PROTOCOL 2"); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HookRig r;
    c.before(r);
    ASSERT_NE(r.client.Protocol(), 3);
    r.client.AutoReAttach = true;
    r.skype.commands.clear();
    TMessage available{r.client.AttachMessage(), r.skype.apiWindow, 0x8001, 0};
    EXPECT_TRUE(r.client.MainWindowHook(available));
    EXPECT_EQ(r.client.Protocol(), 3);
    // The simulated Skype answers the broadcast at once, and the handshake names protocol 3.
    EXPECT_EQ(r.skype.commands, (Lines{"NAME " + r.client.IdentName, "PROTOCOL 3"}));
  }
}

}  // namespace
}  // namespace telvaro
