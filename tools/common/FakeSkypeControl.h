// How a test reaches fakeskype: its API window and its control commands.
//
// A control command is a WM_COPYDATA to the API window whose dwData is kFakeSkypeControlTag and
// whose data is the command text (NUL-terminated). The SendMessage returns after fakeskype has
// carried the command out, and its result is TRUE when the command was understood and did what it
// says.
//
//   send <text>    send <text> to the attached client as a notification of Skype's
//   front          restore the main window and make it the foreground window
//   pong on|off    answer "PING" with "PONG", or stay silent
//   attach on|off  answer the discover broadcast, or ignore it
//   status N       send the attach message with status N to the client now
//   tab N          select tab N of the page control (what TCM_GETCURSEL answers)
//   title <text>   set the main window's title
//   quit           end fakeskype
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <string>

namespace telvaro::tools {

inline constexpr ULONG_PTR kFakeSkypeControlTag = 0x54454C56;  // 'TELV'
inline constexpr char kFakeSkypeApiClass[] = "FakeSkypeAPI";

inline HWND FindFakeSkypeApiWindow() { return FindWindowA(kFakeSkypeApiClass, nullptr); }

// Polls for the API window, which exists once fakeskype has logged "ready".
inline HWND WaitForFakeSkypeApiWindow(DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    if (HWND api = FindFakeSkypeApiWindow()) {
      return api;
    }
    if (GetTickCount() - start >= timeoutMs) {
      return nullptr;
    }
    Sleep(20);
  }
}

// sender goes in wParam; fakeskype does not read it, so a test without a window passes nullptr.
inline bool SendFakeSkypeControl(HWND api, const std::string& command, HWND sender = nullptr,
                                 UINT timeoutMs = 10000) {
  if (api == nullptr) {
    return false;
  }
  std::string buffer = command;
  COPYDATASTRUCT data{kFakeSkypeControlTag, static_cast<DWORD>(buffer.size() + 1), buffer.data()};
  DWORD_PTR result = 0;
  const LRESULT delivered =
      SendMessageTimeoutA(api, WM_COPYDATA, reinterpret_cast<WPARAM>(sender),
                          reinterpret_cast<LPARAM>(&data), SMTO_NORMAL, timeoutMs, &result);
  return delivered != 0 && result != 0;
}

inline bool SendFakeSkypeControl(const std::string& command) {
  return SendFakeSkypeControl(FindFakeSkypeApiWindow(), command);
}

}  // namespace telvaro::tools
