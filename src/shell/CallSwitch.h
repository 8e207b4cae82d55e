// telvaro.exe --call ring|up|end [caller]: a softphone's call event (MicroSIP runs such a command
// on its call events, with the caller appended) handed to the running copy, which sounds or
// silences the handset's buzzer. The switch never starts a copy of its own and returns at once:
// the softphone waits for the command to end.
#pragma once

#include <string>
#include <vector>

#include "platform/WindowsApi.h"

namespace telvaro {

enum class CallEvent : WParam { Ring = 1, Up = 2, End = 3 };

// Registered message posted to the running copy's main window; wParam is the CallEvent.
inline constexpr const char* kCallEventMessage = "TELVARO.CallEvent";

inline constexpr const char* kCallUsage =
    "usage: telvaro.exe [--call ring|up|end [caller]]\n"
    "  --call  hands a softphone's call event to the running TELVARO and returns at once\n";
inline constexpr const char* kNoRunningCopy = "telvaro: TELVARO is not running\n";

inline constexpr int kExitHandedOver = 0;
inline constexpr int kExitNoRunningCopy = 1;
inline constexpr int kExitUsage = 2;

struct CommandLineSwitches {
  enum class Action { Start, HandOverCall, Usage };
  Action action = Action::Start;
  CallEvent event = CallEvent::Ring;
};

// The arguments after the program's name. No argument starts the program; "--call" with one of
// the three events and at most the caller after it hands the event over; anything else is a
// mistake the usage text answers.
CommandLineSwitches ParseCommandLine(const std::vector<std::string>& args);

// Posts the event to the running copy's main window: kExitHandedOver, or kExitNoRunningCopy when
// there is none (or it could not be reached). Takes no single-instance mutex: holding it even for
// a moment would make a copy the user starts meanwhile believe another one runs, and end.
int HandOverCallEvent(WindowsApi& api, CallEvent event);

}  // namespace telvaro
