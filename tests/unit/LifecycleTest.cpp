// How the program ends and wakes: session end, "E&xit" and WM_CLOSE, a loop ended from outside,
// closing while a handler processes pending messages, a second start, resume from sleep.
#include <gtest/gtest.h>

#include <algorithm>

#include "TestProgram.h"

namespace telvaro {
namespace {

using sim::SimSkype;
using sim::TestProgram;
using Lines = std::vector<std::string>;
constexpr Hkey kHklm = win::HKEY_LOCAL_MACHINE;
constexpr const char* kSettings = "SOFTWARE\\Dialbridge";
const Lines kHandsetShutdown = {"StopKeyScan", "StopBuzzer", "CloseDevice"};

int IndexOf(const Lines& trace, const std::string& prefix) {
  auto it = std::find_if(trace.begin(), trace.end(),
                         [&](const std::string& line) { return line.rfind(prefix, 0) == 0; });
  return it == trace.end() ? -1 : static_cast<int>(it - trace.begin());
}

int Count(const Lines& trace, const std::string& prefix) {
  return static_cast<int>(std::count_if(
      trace.begin(), trace.end(), [&](const std::string& l) { return l.rfind(prefix, 0) == 0; }));
}

// Nobody can answer the registry's error: no key may be found or created any more.
void BreakTheRegistry(sim::SimDesktop& desktop) {
  desktop.ClearRegistry();
  desktop.DenyFullAccess(kHklm);
  desktop.DenyFullAccess(win::HKEY_CURRENT_USER);
  desktop.DenyCreate(kHklm);
}

// --- Session end --------------------------------------------------------------------------------

TEST(SessionEnd, TheQueryIsAnsweredAtOnceWithoutADialog) {
  TestProgram p;
  p.Select(5);
  EXPECT_EQ(p.Post(win::WM_QUERYENDSESSION, 0, 0), 1);
  EXPECT_EQ(p.Post(win::WM_QUERYENDSESSION, 0, 0x00000001), 1) << "ENDSESSION_CLOSEAPP";
  EXPECT_TRUE(p.view.messageBoxes.empty());
  EXPECT_TRUE(p.handset.calls.empty()) << "only the session's real end releases anything";
  EXPECT_FALSE(p.desktop.HasRegValue(kHklm, kSettings, "CurrentAppIndex"));
  EXPECT_FALSE(p.view.destroyed);
}

TEST(SessionEnd, SavesTheChangesThenReleasesTheHandsetThenDetachesSkype) {
  TestProgram p;
  SimSkype skype(p.desktop);
  p.form.FSkype->Attach(3);  // Skype is the target: only the check box changed
  p.view.autoRun = false;
  ASSERT_TRUE(p.form.FSkype->Attached());
  bool attachedAtCloseDevice = false;
  p.handset.observer = [&](const std::string& call) {
    p.desktop.Note("handset." + call);
    if (call == "CloseDevice") attachedAtCloseDevice = p.form.FSkype->Attached();
  };
  p.desktop.ClearTrace();

  EXPECT_EQ(p.Post(win::WM_ENDSESSION, 1, 0), 0);

  EXPECT_EQ(p.desktop.RegString(kHklm, kSettings, "CurrentAppIndex"), "0");
  EXPECT_EQ(p.desktop.RegString(kHklm, kSettings, "AutoRun"), "0");
  EXPECT_EQ(p.handset.calls, kHandsetShutdown) << "once, in this order";
  const Lines trace = p.desktop.Trace();
  ASSERT_GE(IndexOf(trace, "RegSetValueExA(\"CurrentAppIndex\""), 0);
  EXPECT_LT(IndexOf(trace, "RegSetValueExA(\"CurrentAppIndex\""),
            IndexOf(trace, "handset.StopKeyScan"))
      << "the settings are safe before anything is released";
  EXPECT_TRUE(attachedAtCloseDevice) << "the handset comes before Skype";
  EXPECT_FALSE(p.form.FSkype->Attached());
  EXPECT_TRUE(p.view.messageBoxes.empty());
  EXPECT_TRUE(p.view.destroyed) << "nothing is left to answer keys should the process live on";
  EXPECT_TRUE(p.form.ShuttingDown());
}

TEST(SessionEnd, AnErrorWhileSavingIsSwallowedAndTheHandsetStillReleased) {
  TestProgram p;
  p.Select(1);
  BreakTheRegistry(p.desktop);
  EXPECT_NO_THROW(p.Post(win::WM_ENDSESSION, 1, 0));
  EXPECT_TRUE(p.view.messageBoxes.empty()) << "nobody could answer it";
  EXPECT_EQ(p.handset.calls, kHandsetShutdown);
  EXPECT_TRUE(p.view.destroyed);
}

TEST(SessionEnd, ACancelledEndChangesNothing) {
  TestProgram p;
  p.Select(5);
  p.Post(win::WM_QUERYENDSESSION, 0, 0);
  p.Post(win::WM_ENDSESSION, 0, 0);
  EXPECT_TRUE(p.handset.calls.empty());
  EXPECT_FALSE(p.desktop.HasRegValue(kHklm, kSettings, "CurrentAppIndex"));
  EXPECT_FALSE(p.view.destroyed);
  EXPECT_FALSE(p.form.ShuttingDown());
}

// --- "E&xit", WM_CLOSE and the end of the loop --------------------------------------------------

TEST(Close, SavesAndTearsDownOnceWhateverEndsTheProgram) {
  struct Case {
    const char* name;
    std::function<void(TestProgram&)> end;
  } cases[] = {
      {"E&xit", [](TestProgram& p) { p.form.Close(); }},
      {"WM_CLOSE from another program", [](TestProgram& p) { p.Post(win::WM_CLOSE); }},
      {"a WM_QUIT from outside ends the loop", [](TestProgram& p) { p.form.LoopEnded(); }},
      {"session end, then the loop ends",
       [](TestProgram& p) {
         p.Post(win::WM_ENDSESSION, 1, 0);
         p.form.LoopEnded();
       }},
      {"E&xit, then the loop ends, then a late WM_CLOSE",
       [](TestProgram& p) {
         p.form.Close();
         p.form.LoopEnded();
         p.form.Close();
       }},
  };
  for (const Case& c : cases) {
    TestProgram p;
    SimSkype skype(p.desktop);
    p.form.FSkype->Attach(3);
    p.Select(3);
    c.end(p);
    EXPECT_EQ(p.desktop.RegString(kHklm, kSettings, "CurrentAppIndex"), "3") << c.name;
    EXPECT_EQ(p.handset.calls, kHandsetShutdown) << c.name;
    EXPECT_TRUE(p.view.destroyed) << c.name;
    EXPECT_FALSE(p.form.FSkype->Attached()) << c.name;
    EXPECT_EQ(p.form.AppConfig, nullptr) << c.name;
    EXPECT_TRUE(p.view.messageBoxes.empty()) << c.name;
  }
}

TEST(Close, AnErrorWhileSavingIsShownAndTheProgramKeepsRunning) {
  TestProgram p;
  p.Select(1);
  BreakTheRegistry(p.desktop);
  p.form.Close();
  EXPECT_EQ(p.view.messageBoxes, Lines{"Failed to create key \\SOFTWARE\\Dialbridge"});
  EXPECT_FALSE(p.view.destroyed);
  EXPECT_TRUE(p.handset.calls.empty());
  EXPECT_FALSE(p.form.ShuttingDown());
}

TEST(Close, ALoopEndedFromOutsideSavesWithoutADialog) {
  TestProgram p;
  p.Select(1);
  BreakTheRegistry(p.desktop);
  EXPECT_NO_THROW(p.form.LoopEnded());
  EXPECT_TRUE(p.view.messageBoxes.empty());
  EXPECT_EQ(p.handset.calls, kHandsetShutdown);
}

// --- Closing while a handler processes pending messages ------------------------------------------

// Each handler that processes pending messages, with its target running. The trigger arrives in
// that pump: WM_CLOSE posted by another program, or the system's WM_ENDSESSION.
TEST(NestedClose, TheHandlerStopsAndNoWindowIsActivatedAfterShutdown) {
  struct Handler {
    const char* name;
    int row;
    bool poll;
    const char* title;
  } handlers[] = {
      {"selection by title", 1, false, "X-Lite"},
      {"selection of Net2Phone", 8, false, "Net2Phone CommCenter"},
      {"selection of a Voip application", 16, false, "VoipBuster - bob"},
      {"the Voip poll", 16, true, "VoipBuster - bob"},
  };
  for (const Handler& h : handlers) {
    for (UInt trigger : {win::WM_CLOSE, win::WM_ENDSESSION}) {
      const std::string name =
          std::string(h.name) + (trigger == win::WM_CLOSE ? ", WM_CLOSE" : ", WM_ENDSESSION");
      TestProgram p;
      const std::string& className = p.form.Apps[static_cast<std::size_t>(h.row)].WindowClass;
      Hwnd target = p.desktop.AddWindow(className.empty() ? "Main" : className, h.title);
      p.desktop.Window(target).iconic = true;
      if (h.poll) {
        p.Select(h.row);
        p.desktop.SetForeground(0);
        p.desktop.ClearTrace();
        p.view.status.clear();
        p.view.pumpCount = 0;
      }
      const Hwnd main = p.view.MainWindowHandle();
      p.view.pendingWork.push_back([&] {
        if (trigger == win::WM_CLOSE) p.desktop.PostMessageA(main, win::WM_CLOSE, 0, 0);
        if (trigger == win::WM_ENDSESSION) p.Post(win::WM_ENDSESSION, 1, 0);
        // A key queued behind it is not handled after shutdown either.
        p.desktop.PostMessageA(main, WM_HANDSET_KEYDOWN, 6, 0);
      });
      if (h.poll) {
        p.form.Timer1Timer();
      } else {
        p.Select(h.row);
      }
      EXPECT_EQ(p.view.pumpCount, 1) << name;
      EXPECT_EQ(p.handset.calls, kHandsetShutdown) << name;
      EXPECT_TRUE(p.view.destroyed) << name;
      EXPECT_EQ(p.desktop.RegString(kHklm, kSettings, "CurrentAppIndex"), std::to_string(h.row))
          << name << ": the new choice is saved";
      const Lines trace = p.desktop.Trace();
      EXPECT_EQ(Count(trace, "ShowWindow"), 0) << name;
      EXPECT_EQ(Count(trace, "SetForegroundWindow"), 0) << name;
      EXPECT_EQ(Count(trace, "SendMessageA(\"" + std::string(h.title)), 0) << name;
      EXPECT_NE(p.desktop.Foreground(), target) << name;
      EXPECT_EQ(p.view.status.find("is running."), std::string::npos) << name;
    }
  }
}

// --- A second start -----------------------------------------------------------------------------

TEST(SingleInstance, TheSecondCopyAsksTheRunningOneToShowItself) {
  struct Case {
    const char* name;
    bool mutexExists;
    bool mutexDenied;
    bool realWindow;
    bool runs;
  } cases[] = {
      {"first copy", false, false, false, false},
      {"first copy beside a window of the same caption", false, false, true, false},
      {"second copy", true, false, true, true},
      {"second copy of an elevated first (access denied)", false, true, true, true},
      {"second copy, the first has no window yet", true, false, false, true},
  };
  for (const Case& c : cases) {
    sim::SimDesktop desktop;
    if (c.mutexExists) desktop.AddMutex("DIALBRIDGE");
    if (c.mutexDenied) desktop.DenyMutex("DIALBRIDGE");
    // Neither is the running copy: the guard wants both the class and the caption.
    desktop.AddWindow("Notepad", "TELVARO 1.3.0");
    desktop.AddWindow("TMainForm", "TELVARO");
    Hwnd running = c.realWindow ? desktop.AddWindow("TMainForm", "TELVARO 1.3.0") : 0;
    if (running) desktop.Window(running).processId = 0x4D2;
    const UInt show = desktop.RegisterWindowMessageA("TELVARO.ShowMainWindow");
    desktop.ClearTrace();
    EXPECT_EQ(AnotherInstanceRuns(desktop), c.runs) << c.name;
    if (c.runs && c.realWindow) {
      const std::string number = sim::SimDesktop::MessageName(show);
      EXPECT_EQ(
          desktop.Effects(),
          (Lines{"CreateMutexA(TRUE, \"DIALBRIDGE\")",
                 "FindWindowA(\"TMainForm\", \"TELVARO 1.3.0\") = \"TELVARO 1.3.0\"/TMainForm",
                 // The running copy's process id, learned by a query the trace keeps out.
                 "AllowSetForegroundWindow(0x4D2)",
                 "RegisterWindowMessageA(\"TELVARO.ShowMainWindow\") = " + number,
                 "PostMessageA(\"TELVARO 1.3.0\"/TMainForm, " + number + ", 0x0, 0x00000000)",
                 "SetForegroundWindow(\"TELVARO 1.3.0\"/TMainForm)"}))
          << c.name;
      EXPECT_EQ(desktop.Received(running).size(), 0u) << "posted, not yet handled";
      desktop.DeliverPosted();
      EXPECT_EQ(desktop.Received(running).size(), 1u) << c.name;
    } else {
      EXPECT_EQ(Count(desktop.Trace(), "PostMessageA"), 0) << c.name;
      EXPECT_EQ(Count(desktop.Trace(), "SetForegroundWindow"), 0) << c.name;
      EXPECT_EQ(Count(desktop.Trace(), "AllowSetForegroundWindow"), 0) << c.name;
    }
  }
}

TEST(SingleInstance, TheRunningCopyShowsItsWindowWhenASecondIsStarted) {
  TestProgram first;
  ASSERT_FALSE(AnotherInstanceRuns(first.desktop));
  first.desktop.Window(first.view.MainWindowHandle()).processId = 0x10;
  // The second copy runs on the same desktop.
  EXPECT_TRUE(AnotherInstanceRuns(first.desktop));
  EXPECT_EQ(first.desktop.foregroundAllowedFor, 0x10u);
  EXPECT_EQ(first.view.shownCount, 0);
  first.desktop.DeliverPosted();
  EXPECT_EQ(first.view.shownCount, 1) << "what \"&Open TELVARO\" does";
  EXPECT_TRUE(first.handset.calls.empty()) << "nothing else happens";
}

// --- Resume from sleep --------------------------------------------------------------------------

// The library's detection runs once, at start-up; the HID devices are looked for again on resume
// (HidHandsetTest).
TEST(Resume, TakesTheAutomaticResumeAndLeavesTheLibrarysDetectionAlone) {
  struct Case {
    WParam event;
    bool taken;
    Lines calls;
  } cases[] = {
      {0x12, true, {}},
      {0x07, false, {}},  // resume after user input: the automatic one came first
      {0x04, false, {}},  // suspend
      {0x0A, false, {}},  // power status change
  };
  for (const Case& c : cases) {
    TestProgram p;
    TMessage m{win::WM_POWERBROADCAST, c.event, 0, 0};
    EXPECT_EQ(p.form.Dispatch(m), c.taken) << c.event;
    EXPECT_EQ(m.Result, c.taken ? 1 : 0) << c.event;
    EXPECT_EQ(p.handset.calls, c.calls) << c.event;
  }
}

// --- The combo box's guard ----------------------------------------------------------------------

TEST(Selection, PickingTheShownItemRunsNothing) {
  TestProgram p;
  p.desktop.AddWindow("Funky Window", "X-Lite");
  p.Select(0);  // shown since start-up
  EXPECT_TRUE(p.desktop.Trace().empty()) << "Skype was shown at start-up";
  p.Select(1);
  EXPECT_GT(p.desktop.Trace().size(), 0u);
  p.desktop.ClearTrace();
  p.view.pumpCount = 0;
  p.Select(1);
  EXPECT_TRUE(p.desktop.Trace().empty());
  EXPECT_EQ(p.view.pumpCount, 0);
  p.Select(0);
  EXPECT_EQ(Count(p.desktop.Trace(), "SendNotifyMessageA(HWND_BROADCAST"), 1)
      << "another item runs the handler again";
}

}  // namespace
}  // namespace telvaro
