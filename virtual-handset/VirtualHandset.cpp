// The virtual handset: our stand-in for the closed handset library. No hardware is behind it; a
// hidden control window takes short text commands by WM_COPYDATA (see HandsetCommand.h) and turns
// them into the reports a real handset would cause, posted to the window that started detection.
//
// Everything runs on the thread that called StartDeviceDetection: the program calls every export
// from its window thread, and the control window belongs to that thread, so its commands arrive
// through the same message loop. No locks are needed. The one exception is the "sending" mode: a
// device thread of the handset's own then sends each report (SendNotifyMessageA), as a vendor's
// library may; it takes the reports through its thread queue and touches no other state.
//
// Each process that loads the library has a control window of its own; tools tell them apart by
// the window's process. The window lives until the process ends, and the library with it: there
// is no DllMain, because window calls under the loader lock are forbidden.
#include <windows.h>

#include <array>
#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <map>
#include <string>

#include "CmHidExports.h"
#include "HandsetCommand.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace {

using telvaro::virtual_handset::Command;
using telvaro::virtual_handset::ParseCommand;
using telvaro::virtual_handset::PayloadText;
using telvaro::virtual_handset::Verb;

constexpr char kControlClass[] = "TelvaroVirtualHandset";
constexpr char kControlTitle[] = "TELVARO virtual handset";
constexpr char kLogVariable[] = "TELVARO_HANDSET_LOG";
constexpr LRESULT kRejected = -1;

// Positions of the message numbers in StartDeviceDetection's argument order.
enum Report : std::size_t { kArrival, kRemoval, kKeyDown, kKeyUp, kReportCount = 8 };

struct Handset {
  HWND target = nullptr;
  std::array<UINT, kReportCount> messages{};
  HWND control = nullptr;
  bool plugged = false;
  bool scanning = false;
  bool buzzer = false;
  bool sending = false;              // reports go through the device thread
  DWORD device = 0;                  // the device thread, once started
  std::map<UINT_PTR, int> heldKeys;  // hold timer id -> key code to release when it fires
  UINT_PTR nextTimerId = 1;
};

Handset& TheHandset() {
  static Handset handset;
  return handset;
}

HINSTANCE ThisModule() { return reinterpret_cast<HINSTANCE>(&__ImageBase); }

// One line per export call, appended and closed at once so that a test reading the file while the
// program runs sees every call in order, and a crash loses nothing.
void Log(const char* format, ...) {
  char path[1024];
  DWORD length = GetEnvironmentVariableA(kLogVariable, path, sizeof path);
  if (length == 0 || length >= sizeof path) return;
  char line[256];
  va_list args;
  va_start(args, format);
  int size = std::vsnprintf(line, sizeof line - 1, format, args);
  va_end(args);
  if (size < 0) return;
  size = size > static_cast<int>(sizeof line) - 2 ? static_cast<int>(sizeof line) - 2 : size;
  line[size++] = '\n';
  HANDLE file =
      CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, line, static_cast<DWORD>(size), &written, nullptr);
  CloseHandle(file);
}

// The device thread's one job: each report it is handed goes to the program as a sent message,
// without waiting for it to be handled. Windows hands such a message to the program's thread
// inside any wait of its that serves sent messages, and before its posted ones.
constexpr UINT kSendReport = WM_APP + 1;

// The window that started detection, read by the device thread.
std::atomic<HWND> sendTarget{nullptr};

DWORD WINAPI DeviceThreadMain(LPVOID) {
  MSG message{};
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    if (message.message != kSendReport) continue;
    SendNotifyMessageA(sendTarget.load(), static_cast<UINT>(message.wParam),
                       static_cast<WPARAM>(message.lParam), 0);
  }
  return 0;
}

// Started by the first "sending" and kept for the life of the process (the library is pinned).
bool StartDeviceThread() {
  Handset& handset = TheHandset();
  if (handset.device != 0) return true;
  DWORD id = 0;
  HANDLE thread = CreateThread(nullptr, 0, DeviceThreadMain, nullptr, 0, &id);
  if (thread == nullptr) return false;
  CloseHandle(thread);
  // The thread's queue exists once it first asks for a message; until then a post to it fails.
  for (int attempt = 0; attempt < 400; ++attempt) {
    if (PostThreadMessageA(id, WM_NULL, 0, 0) != FALSE) {
      handset.device = id;
      return true;
    }
    Sleep(5);
  }
  return false;
}

bool Post(Report report, WPARAM wParam) {
  const Handset& handset = TheHandset();
  if (handset.target == nullptr) return false;
  if (handset.sending && handset.device != 0) {
    return PostThreadMessageA(handset.device, kSendReport, handset.messages[report],
                              static_cast<LPARAM>(wParam)) != FALSE;
  }
  return PostMessageA(handset.target, handset.messages[report], wParam, 0) != FALSE;
}

// Keys reach the program only while it has key scanning running, as with the real device.
LRESULT ReportKey(Report report, int key) {
  if (!TheHandset().scanning) return 0;
  return Post(report, static_cast<WPARAM>(key)) ? 1 : 0;
}

void StopScanning() {
  Handset& handset = TheHandset();
  handset.scanning = false;
  for (const auto& held : handset.heldKeys) KillTimer(handset.control, held.first);
  handset.heldKeys.clear();
}

LRESULT Hold(int key, int holdMs) {
  if (ReportKey(kKeyDown, key) == 0) return 0;
  Handset& handset = TheHandset();
  UINT_PTR id = handset.nextTimerId++;
  if (SetTimer(handset.control, id, static_cast<UINT>(holdMs), nullptr) == 0) {
    ReportKey(kKeyUp, key);
    return 1;
  }
  handset.heldKeys[id] = key;
  return 1;
}

void ReleaseHeldKey(UINT_PTR id) {
  Handset& handset = TheHandset();
  KillTimer(handset.control, id);
  auto held = handset.heldKeys.find(id);
  if (held == handset.heldKeys.end()) return;
  int key = held->second;
  handset.heldKeys.erase(held);
  ReportKey(kKeyUp, key);
}

LRESULT Plug(bool plugIn) {
  Handset& handset = TheHandset();
  if (handset.plugged == plugIn) return 0;
  handset.plugged = plugIn;
  if (!plugIn) {
    StopScanning();
    handset.buzzer = false;
  }
  Post(plugIn ? kArrival : kRemoval, 0);
  return 1;
}

LRESULT Execute(const Command& command) {
  const Handset& handset = TheHandset();
  switch (command.verb) {
    case Verb::Plug:
      return Plug(true);
    case Verb::Unplug:
      return Plug(false);
    case Verb::Down:
      return ReportKey(kKeyDown, command.key);
    case Verb::Up:
      return ReportKey(kKeyUp, command.key);
    case Verb::Press:
      if (ReportKey(kKeyDown, command.key) == 0) return 0;
      return ReportKey(kKeyUp, command.key);
    case Verb::Hold:
      return Hold(command.key, command.holdMs);
    case Verb::Buzzer:
      return handset.buzzer ? 1 : 0;
    case Verb::Scanning:
      return handset.scanning ? 1 : 0;
    case Verb::Plugged:
      return handset.plugged ? 1 : 0;
    case Verb::Sending:
      if (!StartDeviceThread()) return 0;
      Log("sending");
      TheHandset().sending = true;
      return 1;
    case Verb::Posting:
      Log("posting");
      TheHandset().sending = false;
      return 1;
  }
  return kRejected;
}

LRESULT OnCopyData(const COPYDATASTRUCT* data) {
  if (data == nullptr) return kRejected;
  auto command = ParseCommand(PayloadText(data->lpData, data->cbData));
  return command ? Execute(*command) : kRejected;
}

LRESULT CALLBACK ControlProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  try {
    switch (msg) {
      case WM_COPYDATA:
        return OnCopyData(reinterpret_cast<const COPYDATASTRUCT*>(lParam));
      case WM_TIMER:
        ReleaseHeldKey(wParam);
        return 0;
      default:
        break;
    }
  } catch (...) {
    return kRejected;
  }
  return DefWindowProcA(window, msg, wParam, lParam);
}

bool EnsureControlWindow() {
  Handset& handset = TheHandset();
  if (handset.control != nullptr && IsWindow(handset.control)) return true;
  WNDCLASSEXA windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = ControlProc;
  windowClass.hInstance = ThisModule();
  windowClass.lpszClassName = kControlClass;
  if (RegisterClassExA(&windowClass) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
    return false;
  }
  // A hidden top-level window rather than a message-only one: FindWindowA from another process
  // must be able to find it by class.
  handset.control = CreateWindowExA(WS_EX_TOOLWINDOW, kControlClass, kControlTitle, WS_POPUP, 0, 0,
                                    0, 0, nullptr, nullptr, ThisModule(), nullptr);
  if (handset.control == nullptr) return false;
  // The window's procedure is our code: pinned, the library cannot be unloaded (FreeLibrary, from
  // any thread) while the window exists, and Windows removes both at process exit.
  HMODULE pinned = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                     reinterpret_cast<LPCSTR>(&ControlProc), &pinned);
  return true;
}

}  // namespace

extern "C" {

int __cdecl StartDeviceDetection(HWND window, UINT arrival, UINT removal, UINT keyDown, UINT keyUp,
                                 UINT aux1, UINT aux2, UINT aux3, UINT aux4) {
  Log("StartDeviceDetection(%u,%u,%u,%u,%u,%u,%u,%u)", arrival, removal, keyDown, keyUp, aux1, aux2,
      aux3, aux4);
  Handset& handset = TheHandset();
  handset.target = window;
  sendTarget.store(window);
  handset.messages = {arrival, removal, keyDown, keyUp, aux1, aux2, aux3, aux4};
  if (!EnsureControlWindow()) return 0;
  // A handset that is already plugged in is found again by a new detection.
  if (handset.plugged) Post(kArrival, 0);
  return 1;
}

void __cdecl HandleUsbDeviceChange(UINT wParam, UINT lParam) {
  // Nothing is on the bus: plugging is done through the control window.
  Log("HandleUsbDeviceChange(0x%x,0x%x)", wParam, lParam);
}

int __cdecl StartKeyScan(void) {
  Log("StartKeyScan");
  Handset& handset = TheHandset();
  if (!handset.plugged) return 0;
  handset.scanning = true;
  return 1;
}

int __cdecl StopKeyScan(void) {
  Log("StopKeyScan");
  StopScanning();
  return 1;
}

int __cdecl CloseDevice(void) {
  Log("CloseDevice");
  StopScanning();
  TheHandset().buzzer = false;
  return 1;
}

// The buzzer is part of the device: without a handset plugged in there is nothing to sound.
void __cdecl StartBuzzer(void) {
  Log("StartBuzzer");
  Handset& handset = TheHandset();
  handset.buzzer = handset.plugged;
}

void __cdecl StopBuzzer(void) {
  Log("StopBuzzer");
  TheHandset().buzzer = false;
}

}  // extern "C"
