// An elevated copy lets other programs' messages through its message filter; what acts on it is
// taken only from programs at medium integrity or above.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "CallKeyDesk.h"
#include "shell/CallSwitch.h"

namespace telvaro {
namespace {

using sim::SimDesktop;

constexpr std::uint32_t kLow = 0x1000;
constexpr std::uint32_t kMedium = SimDesktop::kMediumLevel;
constexpr std::uint32_t kHigh = SimDesktop::kHighLevel;
constexpr std::uint32_t kSender = 42;     // the sending program's process
constexpr std::uint32_t kUnreadable = 0;  // a level that cannot be read (a process gone)

// Each road: the sender's program set up at `level`, the message sent; true when it acted on us.
struct Road {
  const char* name;
  std::function<bool(std::uint32_t ours, std::uint32_t sender)> acts;
};

void SetLevels(SimDesktop& desktop, std::uint32_t ours, std::uint32_t sender) {
  desktop.SetIntegrityLevel(SimDesktop::kOurProcess, ours);
  desktop.SetIntegrityLevel(kSender, sender);
}

bool SkypeAttaches(std::uint32_t ours, std::uint32_t sender) {
  sim::TestProgram p(false);
  sim::SimSkype skype(p.desktop);
  p.desktop.SetProcess(skype.apiWindow, kSender);
  SetLevels(p.desktop, ours, sender);
  p.form.FormCreate();
  p.desktop.DeliverPosted();
  return !skype.commands.empty();  // the handshake went out
}

bool SkypeRings(std::uint32_t ours, std::uint32_t sender) {
  sim::SkypeDesk d;
  d.p.desktop.SetProcess(d.skype.apiWindow, kSender);
  SetLevels(d.p.desktop, ours, sender);
  d.skype.Send("CALL 61 STATUS RINGING");
  return d.p.handset.Count("StartBuzzer") == 1;
}

bool CallEventRings(std::uint32_t ours, std::uint32_t sender) {
  sim::TestProgram p;
  p.Target(sim::row::MicroSip);
  SetLevels(p.desktop, ours, sender);
  p.Post(p.form.CallEventMessage(), static_cast<WParam>(CallEvent::Ring), kSender);
  return p.form.RowApp()->State() == CallState::Ringing;
}

// The ring itself comes from a trusted program: only the caller's sender is weighed.
bool CallerIsKept(std::uint32_t ours, std::uint32_t sender) {
  sim::TestProgram p;
  p.Target(sim::row::MicroSip);
  SetLevels(p.desktop, ours, sender);
  CopyDataStruct data{kCallerCopyData, 6, "Alice"};
  TMessage copy{win::WM_COPYDATA, kSender, reinterpret_cast<LParam>(&data), 0};
  p.form.Dispatch(copy);
  p.Post(p.form.CallEventMessage(), static_cast<WParam>(CallEvent::Ring), SimDesktop::kOurProcess);
  return p.form.CallerOfCall() == "Alice";
}

bool ExitRequestEnds(std::uint32_t ours, std::uint32_t sender) {
  sim::TestProgram p;
  SetLevels(p.desktop, ours, sender);
  const LResult answer = p.Post(p.form.ExitMessage(), 0, kSender);
  EXPECT_EQ(answer, p.view.destroyed ? 1 : 0);
  return p.view.destroyed;
}

TEST(SenderIntegrity, AnElevatedCopyIsActedOnOnlyFromMediumOrAbove) {
  const Road roads[] = {{"Skype's attach", SkypeAttaches},
                        {"Skype's WM_COPYDATA", SkypeRings},
                        {"the call event", CallEventRings},
                        {"the caller of a ring", CallerIsKept},
                        {"the setup program's exit request", ExitRequestEnds}};
  struct Case {
    std::uint32_t ours, sender;
    bool acts;
  };
  const Case cases[] = {{kHigh, kLow, false},
                        {kHigh, kUnreadable, false},
                        {kHigh, kMedium, true},
                        // At medium the system's own filter keeps lower programs out.
                        {kMedium, kLow, true}};

  for (const Road& road : roads) {
    for (const Case& c : cases) {
      SCOPED_TRACE(::testing::Message()
                   << road.name << ": ours " << std::hex << c.ours << ", sender " << c.sender);
      EXPECT_EQ(road.acts(c.ours, c.sender), c.acts);
    }
  }
}

}  // namespace
}  // namespace telvaro
