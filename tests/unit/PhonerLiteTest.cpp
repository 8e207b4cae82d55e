#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "FakeCliPeer.h"
#include "SimDesktop.h"
#include "TestProgram.h"
#include "drivers/phonerlite/PhonerLitePhone.h"

namespace telvaro {
namespace {

using phonerlite::CallFlags;
using phonerlite::CliLink;
using phonerlite::PhonerLitePhone;
using test::FakeCliClient;
using test::FakeCliPeer;
using Status = TcpClient::Status;
using Strings = std::vector<std::string>;

constexpr std::uint32_t kStep = 100;

// PhonerLite behind the fake socket, on the simulated desktop's clock.
struct Rig {
  Rig() {
    desktop.tcpClients = [peer = peer] { return std::make_unique<FakeCliClient>(peer); };
  }
  void Run(std::uint32_t ms) {
    for (std::uint32_t t = 0; t < ms; t += kStep) {
      desktop.WaitServingSentMessages(kStep);
      phone.Tick();
    }
  }
  std::shared_ptr<FakeCliPeer> peer = std::make_shared<FakeCliPeer>();
  sim::SimDesktop desktop;
  PhonerLitePhone phone{desktop};
};

TEST(PhonerLiteLink, ReadsTheCallStateThroughBadRepliesAndRecoversFromBrokenConnections) {
  struct Case {
    const char* name;
    std::function<void(FakeCliPeer&)> fault;
    bool stateKnown;
    bool reconnects;
  } cases[] = {
      {"a clean reply", [](FakeCliPeer&) {}, true, false},
      {"in pieces of 5 bytes", [](FakeCliPeer& p) { p.chunk = 5; }, true, false},
      {"a line far longer than any answer",
       [](FakeCliPeer& p) { p.junk = std::string(300000, 'x') + "\r\n"; }, true, false},
      {"control bytes and NULs", [](FakeCliPeer& p) { p.junk.assign("\0\r\x01\xff\r\n\n", 7); },
       true, false},
      {"a prompt before the answer", [](FakeCliPeer& p) { p.junk = "PhonerLite> "; }, true, false},
      {"the peer closes mid-reply", [](FakeCliPeer& p) { p.closeAfterBytes = 20; }, false, true},
      {"the peer never answers", [](FakeCliPeer& p) { p.answers = false; }, false, true},
      {"the connect stalls", [](FakeCliPeer& p) { p.onConnect = Status::Connecting; }, false, true},
  };
  for (const Case& c : cases) {
    FakeCliPeer peer;
    peer.cli.Ring("555");
    c.fault(peer);
    auto shared = std::shared_ptr<FakeCliPeer>(&peer, [](FakeCliPeer*) {});
    CliLink link([shared] { return std::make_unique<FakeCliClient>(shared); }, 50600);
    for (std::uint32_t t = 0; t <= 10000; t += kStep) link.Tick(t);
    EXPECT_EQ(link.Call().has_value(), c.stateKnown) << c.name;
    if (c.stateKnown) {
      EXPECT_EQ(link.Call(), (CallFlags{true, false})) << c.name;
    }
    EXPECT_EQ(peer.connects > 1, c.reconnects) << c.name;
  }
}

TEST(PhonerLitePhone, SendsTheDocumentedCommandsForEachKey) {
  struct Case {
    const char* name;
    std::function<void(PhonerLitePhone&)> keys;
    Strings commands;
  } cases[] = {
      {"dial", [](PhonerLitePhone& p) { p.Dial("0123"); }, {"SetNumber 0123", "HookOff"}},
      // "&" would start a command of its own in a one-line script.
      {"dial keeps only a number",
       [](PhonerLitePhone& p) { p.Dial("+49 1&CloseApp"); },
       {"SetNumber +491", "HookOff"}},
      {"hang up", [](PhonerLitePhone& p) { p.HangUp(); }, {"HookOn"}},
      {"flash twice", [](PhonerLitePhone& p) { p.Flash(), p.Flash(); }, {"HoldOn", "HoldOff"}},
      {"mute twice", [](PhonerLitePhone& p) { p.Mute(), p.Mute(); }, {"MicroOff", "MicroOn"}},
  };
  for (const Case& c : cases) {
    Rig r;
    r.Run(500);
    c.keys(r.phone);
    r.Run(500);
    EXPECT_EQ(r.peer->Commands(), c.commands) << c.name;
  }
}

TEST(PhonerLitePhone, RingsOnlyWhileAnIncomingCallWaitsForTheUser) {
  Rig r;
  r.Run(1000);
  r.phone.Dial("0123");
  r.Run(1000);
  EXPECT_FALSE(r.phone.Ringing()) << "our own outgoing call";
  r.peer->cli.FarHangsUp();
  r.Run(1000);

  r.peer->cli.Ring("555");
  r.Run(1000);
  EXPECT_TRUE(r.phone.Ringing());
  r.phone.Answer();
  EXPECT_FALSE(r.phone.Ringing()) << "stops at the key, before PhonerLite says so";
  r.phone.Flash();              // held: not active, and still not a new call
  r.peer->closeAfterBytes = 0;  // the connection drops and is made anew
  r.Run(500);
  r.peer->closeAfterBytes = SIZE_MAX;
  r.Run(2000);
  EXPECT_GT(r.peer->connects, 1);
  EXPECT_FALSE(r.phone.Ringing()) << "the held call after a reconnection";
  r.phone.HangUp();
  r.Run(1000);

  r.peer->cli.Ring("556");
  r.Run(1000);
  EXPECT_TRUE(r.phone.Ringing());
  r.phone.HangUp();  // refused
  EXPECT_FALSE(r.phone.Ringing());
  r.Run(1000);
  EXPECT_FALSE(r.phone.Ringing());

  r.peer->cli.Ring("557");
  r.Run(1000);
  r.peer->cli.FarHangsUp();  // the caller gives up
  r.Run(1000);
  EXPECT_FALSE(r.phone.Ringing());
}

TEST(PhonerLitePhone, TellsARefusedInterfaceOfARunningProgramFromAnAbsentProgram) {
  struct Case {
    const char* name;
    Status onConnect;
    bool processRuns;
    PhonerLitePhone::Presence presence;
  } cases[] = {
      {"answers", Status::Open, false, PhonerLitePhone::Presence::Running},
      {"refused, running", Status::Refused, true, PhonerLitePhone::Presence::CliOff},
      {"refused, absent", Status::Refused, false, PhonerLitePhone::Presence::NotRunning},
      {"stalled, running", Status::Connecting, true, PhonerLitePhone::Presence::Stalled},
  };
  for (const Case& c : cases) {
    Rig r;
    r.peer->onConnect = c.onConnect;
    if (c.processRuns) r.desktop.processes.insert("PhonerLite.exe");
    r.Run(CliLink::kConnectTimeoutMs + kStep);
    EXPECT_EQ(r.phone.GetPresence(), c.presence) << c.name;
  }
}

// The row in the program: the fast poll runs while it is chosen, rings the handset for an
// incoming call, the keys take and end it, and a refused interface of a running PhonerLite is
// told apart from an absent program.
struct PhonerLiteRow {
  explicit PhonerLiteRow(Status onConnect = Status::Open) {
    peer->onConnect = onConnect;
    p.desktop.tcpClients = [peer = peer] { return std::make_unique<FakeCliClient>(peer); };
    p.desktop.processes.insert("PhonerLite.exe");
    p.Select(kRow);
    Poll();
    p.form.Timer1Timer();
  }
  void Poll() {
    for (int i = 0; i < 10; ++i) {
      p.desktop.WaitServingSentMessages(200);
      p.form.CallPollTimer();
    }
  }
  void Press(int code) {
    p.KeyDown(code);
    p.KeyUp(code);
    Poll();
  }
  static constexpr int kRow = 23, kCall = 13, kHangUp = 14;
  std::shared_ptr<FakeCliPeer> peer = std::make_shared<FakeCliPeer>();
  sim::TestProgram p;
};

TEST(PhonerLiteRow, RingsWhileChosenAndTheKeysTakeOrRefuseTheCall) {
  PhonerLiteRow r;
  EXPECT_EQ(r.p.view.status, "PhonerLite is running.");
  ASSERT_TRUE(r.p.view.TimerRunning(FormTimer::CallPoll));
  r.peer->cli.Ring("555");
  r.Poll();
  EXPECT_TRUE(r.p.handset.buzzing);
  r.Press(PhonerLiteRow::kCall);
  EXPECT_FALSE(r.p.handset.buzzing);
  r.p.form.HandleMuteKey();
  r.Press(PhonerLiteRow::kHangUp);
  r.peer->cli.Ring("556");
  r.Poll();
  EXPECT_TRUE(r.p.handset.buzzing);
  r.Press(PhonerLiteRow::kHangUp);
  EXPECT_FALSE(r.p.handset.buzzing);
  EXPECT_EQ(r.peer->Commands(), (Strings{"HookOff", "MicroOff", "HookOn", "HookOn"}));
  r.peer->cli.Ring("557");
  r.Poll();
  r.p.Select(0);  // another row: the connection and the ringing end with the choice
  EXPECT_FALSE(r.p.view.TimerRunning(FormTimer::CallPoll));
  EXPECT_FALSE(r.p.handset.buzzing);
}

TEST(PhonerLiteRow, SaysHowToTurnOnTheInterfaceOfARunningPhonerLite) {
  PhonerLiteRow r(Status::Refused);
  EXPECT_EQ(r.p.view.status,
            "PhonerLite runs, but its CLI access is off: turn it on in its options.");
  r.p.desktop.processes.clear();
  r.p.form.Timer1Timer();
  EXPECT_EQ(r.p.view.status, "PhonerLite is not running.");
}

}  // namespace
}  // namespace telvaro
