// Who may act on us through a message. An elevated copy lets Skype's messages, WM_COPYDATA and
// the call event through its message filter from every integrity level (it must hear the
// ordinary, medium programs); those messages are then taken only from programs at medium or
// above, so a sandboxed (low) program can neither pass for Skype nor ring the handset. At medium
// or below, the system's own filter (UIPI) already keeps lower programs out.
#pragma once

#include <cstdint>

#include "platform/WindowsApi.h"

namespace telvaro {

inline constexpr std::uint32_t kMediumIntegrity = 0x2000;

// `senderProcess` 0 (unknown, or gone) may act only on a copy that is not elevated.
inline bool SenderMayAct(WindowsApi& api, std::uint32_t senderProcess) {
  if (api.GetProcessIntegrityLevel(api.GetCurrentProcessId()) <= kMediumIntegrity) return true;
  return senderProcess != 0 && api.GetProcessIntegrityLevel(senderProcess) >= kMediumIntegrity;
}

// For messages whose wParam names the sender's window (WM_COPYDATA, Skype's attach message).
inline bool SenderWindowMayAct(WindowsApi& api, Hwnd senderWindow) {
  std::uint32_t processId = 0;
  api.GetWindowThreadProcessId(senderWindow, &processId);
  return SenderMayAct(api, processId);
}

}  // namespace telvaro
