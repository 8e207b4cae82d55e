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
#include <vector>

namespace telvaro::tools {

inline constexpr char kHandsetWindowClass[] = "TelvaroVirtualHandset";
inline constexpr char kTelvaroWindowClass[] = "TMainForm";
inline constexpr char kTelvaroWindowTitle[] = "TELVARO 1.3.0";
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

// The process of the running TELVARO (the owner of its main window), or 0.
inline DWORD TelvaroProcessId() {
  HWND main = FindWindowA(kTelvaroWindowClass, kTelvaroWindowTitle);
  DWORD owner = 0;
  if (main != nullptr) GetWindowThreadProcessId(main, &owner);
  return owner;
}

// The process ids of every running virtual handset (each process that loaded it has its own
// control window), in window order.
inline std::vector<DWORD> HandsetProcesses() {
  std::vector<DWORD> owners;
  HWND window = nullptr;
  while ((window = FindWindowExA(nullptr, window, kHandsetWindowClass, nullptr)) != nullptr) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    owners.push_back(owner);
  }
  return owners;
}

inline HWND FindHandsetWindowOf(DWORD processId) {
  HWND window = nullptr;
  while ((window = FindWindowExA(nullptr, window, kHandsetWindowClass, nullptr)) != nullptr) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == processId) return window;
  }
  return nullptr;
}

// The process whose virtual handset a command without a process id drives: TELVARO's when it
// has one, otherwise the first one found; 0 when none runs.
inline DWORD DefaultHandsetProcess() {
  const std::vector<DWORD> owners = HandsetProcesses();
  if (owners.empty()) return 0;
  const DWORD telvaro = TelvaroProcessId();
  for (DWORD owner : owners) {
    if (telvaro != 0 && owner == telvaro) return owner;
  }
  return owners.front();
}

// The control window of the virtual handset loaded by process `processId`; with 0, the one of
// DefaultHandsetProcess(). Null when there is none.
inline HWND FindHandsetWindow(DWORD processId = 0) {
  if (processId == 0) processId = DefaultHandsetProcess();
  return processId == 0 ? nullptr : FindHandsetWindowOf(processId);
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
