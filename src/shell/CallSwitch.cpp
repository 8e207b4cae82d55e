#include "shell/CallSwitch.h"

#include "shell/frmMailInterface.h"

namespace telvaro {

CommandLineSwitches ParseCommandLine(const std::vector<std::string>& args) {
  CommandLineSwitches switches;
  if (args.empty()) return switches;
  switches.action = CommandLineSwitches::Action::Usage;
  // The softphone appends the caller as one more argument; it is not needed here.
  if (args.front() != "--call" || args.size() < 2 || args.size() > 3) return switches;
  const std::string& event = args[1];
  if (event == "ring") {
    switches.event = CallEvent::Ring;
  } else if (event == "up") {
    switches.event = CallEvent::Up;
  } else if (event == "end") {
    switches.event = CallEvent::End;
  } else {
    return switches;
  }
  switches.action = CommandLineSwitches::Action::HandOverCall;
  return switches;
}

int HandOverCallEvent(WindowsApi& api, CallEvent event) {
  const Hwnd running = api.FindWindowA(kMainWindowClass, kMainWindowCaption);
  if (running == 0) return kExitNoRunningCopy;
  const UInt message = api.RegisterWindowMessageA(kCallEventMessage);
  if (message == 0) return kExitNoRunningCopy;
  // Posted, not sent: the running copy may be busy with a key, and the softphone waits for us.
  // lParam says who hands it over, for an elevated copy to weigh.
  if (!api.PostMessageA(running, message, static_cast<WParam>(event),
                        static_cast<LParam>(api.GetCurrentProcessId()))) {
    return kExitNoRunningCopy;
  }
  return kExitHandedOver;
}

}  // namespace telvaro
