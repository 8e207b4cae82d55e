// What a non-visual component needs of the application's main window: its handle and a hook that
// sees every message before the window's own handling.
#pragma once

#include <functional>

#include "platform/WindowsApi.h"

namespace telvaro {

struct TMessage {
  UInt Msg = 0;
  WParam wParam = 0;
  LParam lParam = 0;
  LResult Result = 0;
};

// Returns true when the message was handled; no further handling happens then.
using MainWindowHookProc = std::function<bool(TMessage&)>;

class MainWindowHost {
 public:
  virtual ~MainWindowHost() = default;
  virtual Hwnd MainWindowHandle() = 0;
  virtual void HookMainWindow(MainWindowHookProc hook) = 0;
  virtual void UnhookMainWindow() = 0;
};

}  // namespace telvaro
