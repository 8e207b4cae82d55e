// The windows found so far in other applications. Finders only ever write a field when they match;
// key handlers and the presence poll reset the few fields that need it.
#pragma once

#include <cstdint>
#include <string>

#include "platform/WindowsApi.h"

namespace telvaro {

// The four fields each Voip application has (main window found by a title substring).
struct VoipWindows {
  Hwnd Window = 0;
  std::string Title;
  Hwnd Edit = 0;
  Hwnd ContactList = 0;
};

struct FoundWindows {
  Hwnd SkypeMainWindow = 0;
  std::string SkypeTitle;
  Hwnd SkypePageControl = 0;
  std::string MsnConversationTitle;
  Hwnd IcqPhoneEdit = 0;
  Hwnd YahooKeypad = 0;
  Hwnd YahooCallButton = 0;
  Hwnd YahooHangUpButton = 0;
  int YahooButtonTurn = 0;
  Hwnd AimKeypad = 0;
  Hwnd FireflyMultiButton = 0;
  Hwnd Net2PhoneEdit = 0;
  Hwnd Net2PhoneHangUpButton = 0;
  Hwnd Net2PhoneCallButton = 0;
  int Net2PhoneButtonTurn = 0;
  VoipWindows VoipBuster;  // VoipBusterWindow, VoipBusterTitle, VoipBusterEdit, ...
  VoipWindows VoipStunt;
  VoipWindows VoipCheap;
  std::uint8_t VoipStuntClearEditPending = 0;
  std::uint8_t VoipCheapClearEditPending = 0;
};

}  // namespace telvaro
