// handsethost: a minimal program around CM_HID.dll, used to test the virtual handset on its own.
// Like telvaro.exe it owns a hidden window, calls CloseDevice and StartDeviceDetection with the
// message numbers 5120..5127, starts key scanning on arrival, stops it and closes the device on
// removal, and at exit calls StopKeyScan, StopBuzzer, CloseDevice.
//   handsethost LOGFILE
// Every handset message it receives becomes a line of LOGFILE: "arrival", "removal",
// "keydown N", "keyup N", "auxK W L". Tests call the exports inside this process by sending its
// window (class "TelvaroHandsetHost") a WM_COPYDATA text naming the export: "StartKeyScan",
// "StopKeyScan", "CloseDevice", "StartBuzzer", "StopBuzzer", "StartDeviceDetection",
// "HandleUsbDeviceChange W L"; the answer is the export's result (0 for the void ones), -1 for
// anything else.
#include <cstdlib>
#include <string>
#include <string_view>

#include "CmHidExports.h"
#include "LineLog.h"

namespace {

constexpr char kHostClass[] = "TelvaroHandsetHost";
constexpr UINT kFirstHandsetMessage = 5120;
constexpr UINT kArrival = kFirstHandsetMessage;
constexpr UINT kRemoval = kFirstHandsetMessage + 1;
constexpr UINT kKeyDown = kFirstHandsetMessage + 2;
constexpr UINT kKeyUp = kFirstHandsetMessage + 3;
constexpr UINT kLastHandsetMessage = kFirstHandsetMessage + 7;
constexpr LRESULT kRejected = -1;

// Where the received handset messages go; set once from the command line.
std::string& LogPath() {
  static std::string path;
  return path;
}

int StartDetection(HWND window) {
  return StartDeviceDetection(window, kFirstHandsetMessage, kFirstHandsetMessage + 1,
                              kFirstHandsetMessage + 2, kFirstHandsetMessage + 3,
                              kFirstHandsetMessage + 4, kFirstHandsetMessage + 5,
                              kFirstHandsetMessage + 6, kFirstHandsetMessage + 7);
}

struct HostCommand {
  std::string_view name;
  LRESULT (*run)();
};

constexpr HostCommand kHostCommands[] = {
    {"StartKeyScan", [] { return LRESULT{StartKeyScan()}; }},
    {"StopKeyScan", [] { return LRESULT{StopKeyScan()}; }},
    {"CloseDevice", [] { return LRESULT{CloseDevice()}; }},
    {"StartBuzzer",
     [] {
       StartBuzzer();
       return LRESULT{0};
     }},
    {"StopBuzzer",
     [] {
       StopBuzzer();
       return LRESULT{0};
     }},
};

// "HandleUsbDeviceChange W L" with W and L in decimal or 0x-hex.
LRESULT DeviceChange(std::string_view arguments) {
  std::string text(arguments);
  char* end = nullptr;
  unsigned long wParam = std::strtoul(text.c_str(), &end, 0);
  char* stop = nullptr;
  unsigned long lParam = std::strtoul(end, &stop, 0);
  if (stop == end || *stop != '\0') return kRejected;
  HandleUsbDeviceChange(static_cast<UINT>(wParam), static_cast<UINT>(lParam));
  return 0;
}

LRESULT RunCommand(HWND window, std::string_view command) {
  for (const HostCommand& known : kHostCommands) {
    if (command == known.name) return known.run();
  }
  if (command == "StartDeviceDetection") return StartDetection(window);
  constexpr std::string_view kDeviceChange = "HandleUsbDeviceChange ";
  if (command.starts_with(kDeviceChange)) return DeviceChange(command.substr(kDeviceChange.size()));
  return kRejected;
}

void OnHandsetMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case kArrival:
      telvaro::tools::AppendLine(LogPath(), "arrival");
      StartKeyScan();
      return;
    case kRemoval:
      telvaro::tools::AppendLine(LogPath(), "removal");
      StopKeyScan();
      CloseDevice();
      return;
    case kKeyDown:
    case kKeyUp:
      telvaro::tools::AppendLine(
          LogPath(), (msg == kKeyDown ? "keydown " : "keyup ") + std::to_string(wParam));
      return;
    default:
      telvaro::tools::AppendLine(LogPath(), "aux" + std::to_string(msg - kKeyUp) + " " +
                                                std::to_string(wParam) + " " +
                                                std::to_string(lParam));
  }
}

LRESULT CALLBACK HostProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg >= kFirstHandsetMessage && msg <= kLastHandsetMessage) {
    OnHandsetMessage(msg, wParam, lParam);
    return 0;
  }
  switch (msg) {
    case WM_COPYDATA: {
      const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
      if (data == nullptr || data->lpData == nullptr) return kRejected;
      std::string_view text(static_cast<const char*>(data->lpData), data->cbData);
      return RunCommand(window, text.substr(0, text.find('\0')));
    }
    case WM_DESTROY:
      StopKeyScan();
      StopBuzzer();
      CloseDevice();
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(window, msg, wParam, lParam);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 1;
  LogPath() = argv[1];
  WNDCLASSEXA windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = HostProc;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = kHostClass;
  if (RegisterClassExA(&windowClass) == 0) return 1;
  HWND window = CreateWindowExA(0, kHostClass, "handsethost", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                                nullptr, nullptr, windowClass.hInstance, nullptr);
  if (window == nullptr) return 1;
  CloseDevice();
  StartDetection(window);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return 0;
}
