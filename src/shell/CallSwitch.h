// telvaro.exe --call ring|up|end [caller...]: a softphone's call event (MicroSIP runs such a
// command on its call events, with the caller appended) handed to the running copy, which sounds
// or silences the handset's buzzer and keeps the caller for the call. The switch never starts a
// copy of its own and returns at once: the softphone waits for the command to end.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/WindowsApi.h"
#include "shell/DialDisplay.h"

namespace telvaro {

enum class CallEvent : WParam { Ring = 1, Up = 2, End = 3 };

// Registered message posted to the running copy's main window; wParam is the CallEvent.
inline constexpr const char* kCallEventMessage = "TELVARO.CallEvent";
// The caller goes first, as a WM_COPYDATA with this dwData ("TLCR") and the caller's UTF-8 text.
inline constexpr std::uintptr_t kCallerCopyData = 0x544C4352;
// What the running copy reads of such a message at most.
inline constexpr std::size_t kCallerMaxBytes = 1024;

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
  std::string caller;  // the words after "ring", UTF-8, as kept (CleanUtf8Caller)
};

// The arguments after the program's name. No argument starts the program; "--call" with one of
// the three events hands the event over, whatever follows it (the caller, which may hold blanks
// and so arrive as several arguments); a missing or unknown event word is a mistake the usage
// text answers.
CommandLineSwitches ParseCommandLine(const std::vector<std::string>& args);

// A caller as kept: UTF-8 cut at kCallerMaxChars characters, never inside one, control
// characters (and bytes that are not UTF-8) dropped.
std::string CleanUtf8Caller(const std::string& text);

// Hands the caller (for a ring, when there is one) and then the event to the running copy's main
// window: kExitHandedOver, or kExitNoRunningCopy when there is none (or it could not be reached).
// Takes no single-instance mutex: holding it even for a moment would make a copy the user starts
// meanwhile believe another one runs, and end.
int HandOverCallEvent(WindowsApi& api, CallEvent event, const std::string& caller = {});

}  // namespace telvaro
