// Talking to the virtual handset from another process: its control window takes a short text
// command by WM_COPYDATA and answers with a number (-1 for a command it does not accept).
// handsetctl, the end-to-end tests and the demo all go through these functions.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

namespace telvaro::tools {

inline constexpr char kHandsetWindowClass[] = "TelvaroVirtualHandset";
inline constexpr DWORD kHandsetReplyTimeoutMs = 5000;

enum class HandsetStatus {
  Ok,        // the command was carried out; result holds the answer
  Rejected,  // the handset did not accept the command (result -1)
  NotFound,  // no virtual handset is running
  NoReply,   // the handset's thread did not answer in time
};

struct HandsetReply {
  HandsetStatus status = HandsetStatus::NotFound;
  LRESULT result = 0;
};

// The control window of the virtual handset loaded by process `processId`, or by any process
// when it is 0; null when there is none.
inline HWND FindHandsetWindow(DWORD processId = 0) {
  HWND window = nullptr;
  while ((window = FindWindowExA(nullptr, window, kHandsetWindowClass, nullptr)) != nullptr) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (processId == 0 || owner == processId) return window;
  }
  return nullptr;
}

// Polls for the control window, which exists once the program has started detection.
inline HWND WaitForHandsetWindow(DWORD timeoutMs, DWORD processId = 0) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    if (HWND window = FindHandsetWindow(processId)) return window;
    if (std::chrono::steady_clock::now() >= deadline) return nullptr;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

inline HandsetReply SendHandsetCommandTo(HWND window, std::string_view command,
                                         DWORD timeoutMs = kHandsetReplyTimeoutMs) {
  if (window == nullptr) return {HandsetStatus::NotFound, 0};
  std::string text(command);
  COPYDATASTRUCT data{0, static_cast<DWORD>(text.size() + 1), text.data()};
  DWORD_PTR answer = 0;
  // A timeout keeps a hung or busy program from hanging the caller too.
  if (SendMessageTimeoutA(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG,
                          timeoutMs, &answer) == 0) {
    return {IsWindow(window) ? HandsetStatus::NoReply : HandsetStatus::NotFound, 0};
  }
  auto result = static_cast<LRESULT>(answer);
  return {result < 0 ? HandsetStatus::Rejected : HandsetStatus::Ok, result};
}

inline HandsetReply SendHandsetCommand(std::string_view command, DWORD processId = 0) {
  return SendHandsetCommandTo(FindHandsetWindow(processId), command);
}

// "buzzer", "scanning" or "plugged": the state, or nothing when the handset did not answer.
inline std::optional<bool> QueryHandset(std::string_view query, DWORD processId = 0) {
  HandsetReply reply = SendHandsetCommand(query, processId);
  if (reply.status != HandsetStatus::Ok) return std::nullopt;
  return reply.result != 0;
}

}  // namespace telvaro::tools
