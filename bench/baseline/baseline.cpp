// bench_baseline: the yardstick telvaro.exe is measured against. A minimal Win32 window program
// with the main window's controls (check box, logo, drop-down list, label, status bar, tray icon)
// and none of its logic, except two bare pieces of work the benchmark driver asks for:
//
//   handset key-down (message 5122, any key code): the calls telvaro.exe makes for an X-Lite
//     digit: FindWindowA by class and title, restore if minimized and activate, then WM_KEYDOWN,
//     WM_CHAR and WM_KEYUP sent for key 5;
//   WM_TIMER with id 1: one EnumWindows over the top-level windows reading each window's text and
//     class, as a presence poll's enumeration does, without deciding anything;
//   with --discover on the command line, every 5 s the calls of a presence poll for a Skype that
//     does not answer: a look-up of Skype's main window by its class and the discovery broadcast.
//
// Its own window has the class "TelvaroBenchBaseline", so the driver finds it by class.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <cstring>
#include <initializer_list>

namespace {

constexpr char kClass[] = "TelvaroBenchBaseline";
constexpr char kTitle[] = "TELVARO baseline";
constexpr UINT kHandsetKeyDown = 5122;
constexpr UINT_PTR kPollTimerId = 1;
constexpr UINT_PTR kDiscoverTimerId = 2;
constexpr UINT kDiscoverIntervalMs = 5000;
constexpr char kSkypeMainClass[] = "tSkMainForm.UnicodeClass";
constexpr UINT kTrayCallback = WM_APP + 1;
constexpr int kClientWidth = 210;
constexpr int kClientHeight = 117;

constexpr char kXLiteClass[] = "Funky Window";
constexpr char kXLiteTitle[] = "X-Lite";
constexpr WPARAM kVkNumpad5 = 0x65;
constexpr LPARAM kKeyDownLParam = 0x001C0001;
constexpr LPARAM kKeyUpLParam = 0x401C0001;

// The buffers and counts a presence poll uses to read a window's title and class.
constexpr int kTextCount = 254;
constexpr int kTextBuffer = 255;

HWND Child(HWND parent, const char* cls, const char* text, DWORD style, int x, int y, int w,
           int h) {
  return CreateWindowExA(0, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent, nullptr,
                         GetModuleHandleA(nullptr), nullptr);
}

void XLiteKey() {
  HWND main = FindWindowA(kXLiteClass, kXLiteTitle);
  if (main == nullptr) return;
  if (IsIconic(main)) ShowWindow(main, SW_RESTORE);
  SetForegroundWindow(main);
  SendMessageA(main, WM_KEYDOWN, kVkNumpad5, kKeyDownLParam);
  SendMessageA(main, WM_CHAR, '5', kKeyDownLParam);
  SendMessageA(main, WM_KEYUP, kVkNumpad5, kKeyUpLParam);
}

// The work is kept observable so the compiler cannot drop the reads.
volatile unsigned gBytesRead = 0;
UINT gDiscoverMsg = 0;

BOOL CALLBACK ReadTitleAndClass(HWND window, LPARAM) {
  char title[kTextBuffer] = {};
  char className[kTextBuffer] = {};
  int read = GetWindowTextA(window, title, kTextCount);
  read += GetClassNameA(window, className, kTextCount);
  gBytesRead = gBytesRead + static_cast<unsigned>(read);
  return TRUE;
}

void CreateControls(HWND window) {
  HFONT font =
      CreateFontA(-12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET, 0, 0, 0, 0, "Arial");
  HWND check =
      Child(window, "BUTTON", "Automatically run", BS_AUTOCHECKBOX | WS_TABSTOP, 8, 8, 121, 25);
  Child(window, "STATIC", "", SS_NOTIFY, 144, 8, 59, 14);
  HWND combo = Child(window, WC_COMBOBOXA, "", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, 8, 38,
                     193, 19 + 8 * 16);
  // As many items as the product's list holds.
  for (int i = 0; i < 21; ++i) {
    SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("Application name"));
  }
  SendMessageA(combo, CB_SETCURSEL, 0, 0);
  HWND label = Child(window, "STATIC", "", SS_SUNKEN | SS_LEFT, 8, 72, 193, 17);
  HWND status = Child(window, STATUSCLASSNAMEA, "", 0, 0, 0, 0, 0);
  RECT client;
  GetClientRect(window, &client);
  MoveWindow(status, 0, client.bottom - 21, client.right, 21, TRUE);
  int fill[1] = {-1};
  SendMessageA(status, SB_SETPARTS, 1, reinterpret_cast<LPARAM>(fill));
  SendMessageA(status, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(" is not running."));
  for (HWND control : {check, combo, label, status}) {
    SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  }
}

void AddTrayIcon(HWND window) {
  NOTIFYICONDATAA data = {};
  data.cbSize = sizeof data;
  data.hWnd = window;
  data.uID = 1;
  data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  data.uCallbackMessage = kTrayCallback;
  data.hIcon = LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION));
  std::strncpy(data.szTip, kTitle, sizeof data.szTip - 1);
  Shell_NotifyIconA(NIM_ADD, &data);
}

void RemoveTrayIcon(HWND window) {
  NOTIFYICONDATAA data = {};
  data.cbSize = sizeof data;
  data.hWnd = window;
  data.uID = 1;
  Shell_NotifyIconA(NIM_DELETE, &data);
}

LRESULT CALLBACK WindowProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case kHandsetKeyDown:
      XLiteKey();
      return 0;
    case WM_TIMER:
      if (wParam == kPollTimerId) EnumWindows(ReadTitleAndClass, 0);
      if (wParam == kDiscoverTimerId) {
        gBytesRead =
            gBytesRead + (FindWindowExA(nullptr, nullptr, kSkypeMainClass, nullptr) ? 1 : 0);
        SendNotifyMessageA(HWND_BROADCAST, gDiscoverMsg, reinterpret_cast<WPARAM>(window), 0);
      }
      return 0;
    case WM_DESTROY:
      RemoveTrayIcon(window);
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(window, msg, wParam, lParam);
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES | ICC_BAR_CLASSES};
  InitCommonControlsEx(&controls);

  WNDCLASSEXA wc = {};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kClass;
  RegisterClassExA(&wc);

  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
  RECT frame = {0, 0, kClientWidth, kClientHeight};
  AdjustWindowRectEx(&frame, style, FALSE, WS_EX_DLGMODALFRAME);
  // Hidden, like the product's window, which starts in the notification area.
  HWND window = CreateWindowExA(WS_EX_DLGMODALFRAME, kClass, kTitle, style, CW_USEDEFAULT,
                                CW_USEDEFAULT, frame.right - frame.left, frame.bottom - frame.top,
                                nullptr, nullptr, instance, nullptr);
  if (window == nullptr) return 1;
  CreateControls(window);
  AddTrayIcon(window);
  if (commandLine != nullptr && std::strstr(commandLine, "--discover") != nullptr) {
    gDiscoverMsg = RegisterWindowMessageA("SkypeControlAPIDiscover");
    SetTimer(window, kDiscoverTimerId, kDiscoverIntervalMs, nullptr);
  }

  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return 0;
}
