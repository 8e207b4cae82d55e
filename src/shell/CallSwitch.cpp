#include "shell/CallSwitch.h"

#include "shell/frmMailInterface.h"

namespace telvaro {

namespace {

// The length of the UTF-8 sequence a lead byte starts; 0 for a byte that cannot start one.
std::size_t SequenceLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 0;
}

bool IsContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

bool IsControl(unsigned char c) { return c < 0x20 || c == 0x7F; }

}  // namespace

std::string CleanUtf8Caller(const std::string& text) {
  std::string kept;
  std::size_t chars = 0;
  for (std::size_t i = 0; i < text.size() && chars < kCallerMaxChars;) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = SequenceLength(lead);
    for (std::size_t k = 1; k < length; ++k) {
      if (i + k >= text.size() || !IsContinuation(static_cast<unsigned char>(text[i + k]))) {
        length = 0;
      }
    }
    if (length == 0) {  // not UTF-8: dropped
      ++i;
      continue;
    }
    if (length > 1 || !IsControl(lead)) {
      kept.append(text, i, length);
      ++chars;
    }
    i += length;
  }
  return kept;
}

CommandLineSwitches ParseCommandLine(const std::vector<std::string>& args) {
  CommandLineSwitches switches;
  if (args.empty()) return switches;
  switches.action = CommandLineSwitches::Action::Usage;
  if (args.front() != "--call" || args.size() < 2) return switches;
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
  if (switches.event != CallEvent::Ring) return switches;
  // An unquoted caller with blanks arrives as several arguments: its words joined again.
  std::string caller;
  for (std::size_t i = 2; i < args.size(); ++i) {
    if (i > 2) caller += ' ';
    caller += args[i];
    if (caller.size() > kCallerMaxBytes) break;
  }
  switches.caller = CleanUtf8Caller(caller);
  return switches;
}

int HandOverCallEvent(WindowsApi& api, CallEvent event, const std::string& caller) {
  const Hwnd running = api.FindWindowA(kMainWindowClass, kMainWindowCaption);
  if (running == 0) return kExitNoRunningCopy;
  const UInt message = api.RegisterWindowMessageA(kCallEventMessage);
  if (message == 0) return kExitNoRunningCopy;
  if (!caller.empty()) {
    // Sent before the event is posted, so the running copy has it when the ring arrives. A
    // caller that does not get through leaves the ring without one. We have no window to name
    // in wParam: it names our process, as the event's lParam does, for an elevated copy to weigh.
    CopyDataStruct data;
    data.dwData = kCallerCopyData;
    data.cbData = static_cast<std::uint32_t>(caller.size() + 1);
    data.lpData = caller.c_str();
    std::uintptr_t reply = 0;
    api.SendMessageTimeoutA(running, win::WM_COPYDATA, api.GetCurrentProcessId(),
                            reinterpret_cast<LParam>(&data), win::SMTO_ABORTIFHUNG,
                            kAnswerTimeoutMs, &reply);
  }
  // Posted, not sent: the running copy may be busy with a key, and the softphone waits for us.
  // lParam says who hands it over, for an elevated copy to weigh.
  if (!api.PostMessageA(running, message, static_cast<WParam>(event),
                        static_cast<LParam>(api.GetCurrentProcessId()))) {
    return kExitNoRunningCopy;
  }
  return kExitHandedOver;
}

}  // namespace telvaro
