// Enumeration callbacks that locate windows not found by a plain title look-up. Each returns true
// for every window so that the enumeration visits them all; the last match wins.
#pragma once

#include <cstdint>
#include <string>

#include "drivers/FoundWindows.h"
#include "platform/WindowsApi.h"

namespace telvaro {

// The class of Skype's main window, which its finder matches exactly.
inline constexpr const char* kSkypeMainWindowClass = "tSkMainForm.UnicodeClass";

class Finders {
 public:
  Finders(WindowsApi& api, FoundWindows& found, const std::int32_t& currentAppCode)
      : api_(api), found_(found), currentAppCode_(currentAppCode) {}

  bool FindSkypeMainWindow(Hwnd h);
  bool FindVoipBusterWindow(Hwnd h);
  bool FindVoipStuntWindow(Hwnd h);
  bool FindVoipCheapWindow(Hwnd h);
  bool FindMsnConversationWindow(Hwnd h);
  bool FindSkypeControls(Hwnd h);
  bool FindIcqPhoneEdit(Hwnd h);
  bool FindYahooToolbars(Hwnd h);
  bool FindVoipBusterControls(Hwnd h);
  bool FindVoipStuntControls(Hwnd h);
  bool FindVoipCheapControls(Hwnd h);
  bool FindAimKeypad(Hwnd h);
  bool FindFireflyMultiButton(Hwnd h);
  bool FindNet2PhoneControls(Hwnd h);

  // The same callbacks, ready for EnumWindows / EnumChildWindows.
  EnumWindowsProc Proc(bool (Finders::*finder)(Hwnd)) {
    return [this, finder](Hwnd h) { return (this->*finder)(h); };
  }

 private:
  struct TitleAndClass {
    std::string title;
    std::string className;
  };
  TitleAndClass ReadTitleAndClass(Hwnd h);
  std::string ReadClassOnly(Hwnd h);
  bool ReadOwnClientRect(Hwnd h, Rect* r);
  bool ClientSizeIs(Hwnd h, int width, int height);
  bool FindVoipWindow(Hwnd h, const char* name, VoipWindows& fields);
  bool FindVoipControls(Hwnd h, VoipWindows& fields);

  WindowsApi& api_;
  FoundWindows& found_;
  const std::int32_t& currentAppCode_;
};

// 1-based string helpers of the main window (they use nothing of it).
int CountOccurrences(const std::string& s, const std::string& sub);
std::string TailFrom(const std::string& s, int from);

}  // namespace telvaro
