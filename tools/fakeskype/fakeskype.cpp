// fakeskype: plays Skype's side of the desktop API for the end-to-end tests and the demo.
//
//   fakeskype.exe --log <file> [--title <main title>] [--tab N] [--status N] [--no-pong]
//                 [--no-attach] [--nested]
//
// Windows: the main window (class "tSkMainForm.UnicodeClass", title "Skype - fakeuser") with a
// page control child (class "TTntPageControl.UnicodeClass", 200 x 300) that answers TCM_GETCURSEL
// with the selected tab; and a hidden top-level API window of class "FakeSkypeAPI" that takes part
// in the attach handshake and exchanges the API texts.
//
// Handshake: the discover broadcast names the client's window in wParam; fakeskype answers it
// (unless
// --no-attach) with the attach message to that window, wParam = the API window, lParam = the attach
// status (--status, default 0). That window is the attached client from then on.
//
// Texts: every WM_COPYDATA at the API window is logged as "received <text>"; "PING" is answered
// with "PONG" unless --no-pong. A WM_COPYDATA whose dwData is 0x54454C56 ('TELV') is a control
// command from a test instead (see FakeSkypeControl.h and README.md).
//
// Replies and attach answers are deferred by default: the API window posts itself a note and sends
// them once the client's own SendMessage has returned, so neither side ever waits on the other.
// With --nested they are sent from inside the handling of the message that caused them, as a peer
// may do, which makes the client handle a notification while its own command is still in flight.
// Control commands always act at once: when the control message returns, the client has handled
// what it asked for.
//
// Log lines: "ready", "discover <client hwnd>", "attach <status>", "received <text>",
// "sent <text>", "control <command>", "control-error <command>", "error <what>", and the window
// message lines of FakeLog.h for the labels "main" and "pagecontrol". Bytes below 0x20 in a text
// are written as \xNN.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <deque>
#include <iterator>
#include <string>
#include <string_view>

#include "../common/FakeLog.h"
#include "../common/FakeSkypeControl.h"

namespace telvaro::fakeskype {
namespace {

constexpr char kMainClass[] = "tSkMainForm.UnicodeClass";
constexpr char kPageClass[] = "TTntPageControl.UnicodeClass";
constexpr int kMainWidth = 320;
constexpr int kMainHeight = 600;
constexpr int kPageWidth = 200;
constexpr int kPageHeight = 300;
constexpr int kTabWidth = 80;  // a click in the tab row selects the tab under it
constexpr int kTabHeight = 24;
constexpr UINT kDeferredAttach = WM_APP + 1;
constexpr UINT kDeferredSend = WM_APP + 2;
constexpr UINT kSendTimeoutMs = 5000;
constexpr const char* kTabNames[] = {"Contacts", "Dial", "History"};

struct Options {
  std::string logPath;
  std::string title = "Skype - fakeuser";
  int tab = 0;
  int status = 0;
  bool pong = true;
  bool attach = true;
  bool nested = false;
};

std::string Printable(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (static_cast<unsigned char>(c) < 0x20) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\x%02X", static_cast<unsigned char>(c));
      out += escape;
    } else {
      out += c;
    }
  }
  return out;
}

std::string HandleText(HWND hwnd) { return tools::Hex(reinterpret_cast<std::uintptr_t>(hwnd), 1); }

class FakeSkype {
 public:
  explicit FakeSkype(Options options) : options_(std::move(options)), tab_(options_.tab) {}

  bool Start() {
    if (!log_.Open(options_.logPath)) {
      std::fprintf(stderr, "fakeskype: cannot open log file %s\n", options_.logPath.c_str());
      return false;
    }
    discoverMsg_ = RegisterWindowMessageA("SkypeControlAPIDiscover");
    attachMsg_ = RegisterWindowMessageA("SkypeControlAPIAttach");
    if (discoverMsg_ == 0 || attachMsg_ == 0 || !CreateWindows()) {
      std::fprintf(stderr, "fakeskype: cannot set up its windows\n");
      return false;
    }
    log_.SetWatcher(main_);
    ready_ = true;
    log_.Line("ready");
    return true;
  }

  int Run() { return origin_.RunMessageLoop(); }

  LRESULT Main(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    const bool outside = origin_.Enter(hwnd, message);
    LogMessage("main", outside, message, wParam, lParam);
    LRESULT result = 0;
    switch (message) {
      case WM_SYSCOMMAND:
        result =
            (wParam & 0xFFF0) == SC_KEYMENU ? 0 : DefWindowProcA(hwnd, message, wParam, lParam);
        break;
      case WM_DESTROY:
        PostQuitMessage(0);
        break;
      case WM_PAINT:
        PaintMain(hwnd);
        break;
      default:
        result = DefWindowProcA(hwnd, message, wParam, lParam);
    }
    origin_.Leave();
    return result;
  }

  LRESULT Page(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    const bool outside = origin_.Enter(hwnd, message);
    LogMessage("pagecontrol", outside, message, wParam, lParam);
    LRESULT result = 0;
    if (message == tools::kTcmGetCurSel) {
      result = tab_;
    } else if (message == WM_LBUTTONUP) {
      SelectTabAt(static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)));
    } else if (message == WM_PAINT) {
      PaintTabs(hwnd);
    } else {
      result = DefWindowProcA(hwnd, message, wParam, lParam);
    }
    origin_.Leave();
    return result;
  }

  LRESULT Api(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == discoverMsg_) {
      OnDiscover(reinterpret_cast<HWND>(wParam));
      return 0;
    }
    switch (message) {
      case WM_COPYDATA:
        return OnCopyData(reinterpret_cast<HWND>(wParam),
                          reinterpret_cast<const COPYDATASTRUCT*>(lParam));
      case kDeferredAttach:
        SendAttach(static_cast<int>(wParam));
        return 0;
      case kDeferredSend:
        SendQueued();
        return 0;
      default:
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
  }

 private:
  bool CreateWindows() {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    RegisterWindowClass(kMainClass, Route<&FakeSkype::Main>, instance);
    RegisterWindowClass(kPageClass, Route<&FakeSkype::Page>, instance);
    RegisterWindowClass(tools::kFakeSkypeApiClass, Route<&FakeSkype::Api>, instance);
    const DWORD style = WS_OVERLAPPEDWINDOW;
    RECT frame{0, 0, kMainWidth, kMainHeight};
    AdjustWindowRectEx(&frame, style, FALSE, 0);
    main_ = CreateWindowExA(0, kMainClass, options_.title.c_str(), style, 60, 60,
                            frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr,
                            instance, this);
    page_ = CreateWindowExA(0, kPageClass, "", WS_CHILD | WS_VISIBLE, 8, 8, kPageWidth, kPageHeight,
                            main_, nullptr, instance, this);
    // Top-level, so that the discover broadcast reaches it; never shown.
    api_ = CreateWindowExA(0, tools::kFakeSkypeApiClass, tools::kFakeSkypeApiClass, WS_POPUP, 0, 0,
                           1, 1, nullptr, nullptr, instance, this);
    if (main_ == nullptr || page_ == nullptr || api_ == nullptr) {
      return false;
    }
    ShowWindow(main_, SW_SHOW);
    UpdateWindow(main_);
    return true;
  }

  // Each window carries the FakeSkype it belongs to, handed over at creation.
  template <LRESULT (FakeSkype::*Handler)(HWND, UINT, WPARAM, LPARAM)>
  static LRESULT CALLBACK Route(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
      const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
      SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* skype = reinterpret_cast<FakeSkype*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (skype == nullptr) {
      return DefWindowProcA(hwnd, message, wParam, lParam);
    }
    try {
      return (skype->*Handler)(hwnd, message, wParam, lParam);
    } catch (...) {
      return 0;
    }
  }

  static void RegisterWindowClass(const char* name, WNDPROC proc, HINSTANCE instance) {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = proc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = name;
    RegisterClassExA(&wc);
  }

  void LogMessage(const char* label, bool outside, UINT message, WPARAM wParam, LPARAM lParam) {
    const char* name = tools::LoggedMessageName(message);
    if (!ready_ || !outside || name == nullptr) {
      return;
    }
    if (message == WM_SETTEXT) {
      const auto* text = reinterpret_cast<const char*>(lParam);
      log_.MessageWithText(label, name, wParam, text != nullptr ? text : "");
    } else if (message == WM_GETTEXT || message == WM_COPYDATA) {
      log_.MessageWithText(label, name, wParam, "");
    } else {
      log_.Message(label, name, wParam, lParam);
    }
  }

  void OnDiscover(HWND client) {
    log_.Line("discover " + HandleText(client));
    if (!options_.attach || client == nullptr) {
      return;
    }
    client_ = client;
    if (options_.nested) {
      SendAttach(options_.status);
    } else {
      PostMessageA(api_, kDeferredAttach, static_cast<WPARAM>(options_.status), 0);
    }
  }

  void SendAttach(int status) {
    if (client_ == nullptr) {
      log_.Line("error no client to attach");
      return;
    }
    log_.Line("attach " + std::to_string(status));
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(client_, attachMsg_, reinterpret_cast<WPARAM>(api_),
                        static_cast<LPARAM>(status), SMTO_NORMAL, kSendTimeoutMs, &ignored);
  }

  LRESULT OnCopyData(HWND sender, const COPYDATASTRUCT* data) {
    const std::string text = tools::CopyDataText(data);
    if (data != nullptr && data->dwData == tools::kFakeSkypeControlTag) {
      return Control(text) ? TRUE : FALSE;
    }
    log_.Line("received " + Printable(text));
    if (text == "PING" && options_.pong) {
      Reply("PONG", sender);
    }
    return TRUE;
  }

  void Reply(const std::string& text, HWND sender) {
    if (client_ == nullptr) {
      client_ = sender;
    }
    if (options_.nested) {
      SendToClient(text);
      return;
    }
    pending_.push_back(text);
    PostMessageA(api_, kDeferredSend, 0, 0);
  }

  void SendQueued() {
    if (pending_.empty()) {
      return;
    }
    const std::string text = pending_.front();
    pending_.pop_front();
    SendToClient(text);
  }

  // Skype's texts carry their NUL, and cbData counts it.
  bool SendToClient(const std::string& text) {
    if (client_ == nullptr) {
      log_.Line("error no client for " + Printable(text));
      return false;
    }
    log_.Line("sent " + Printable(text));
    std::string buffer = text;
    COPYDATASTRUCT data{0, static_cast<DWORD>(buffer.size() + 1), buffer.data()};
    DWORD_PTR result = 0;
    const LRESULT ok =
        SendMessageTimeoutA(client_, WM_COPYDATA, reinterpret_cast<WPARAM>(api_),
                            reinterpret_cast<LPARAM>(&data), SMTO_NORMAL, kSendTimeoutMs, &result);
    if (ok == 0) {
      log_.Line("error send failed for " + Printable(text));
    }
    return ok != 0;
  }

  bool Control(const std::string& command) {
    log_.Line("control " + Printable(command));
    const std::size_t blank = command.find(' ');
    const std::string verb = command.substr(0, blank);
    const std::string argument = blank == std::string::npos ? "" : command.substr(blank + 1);
    bool ok = true;
    if (verb == "send" && !argument.empty()) {
      ok = SendToClient(argument);
    } else if (verb == "front" && argument.empty()) {
      ShowWindow(main_, SW_RESTORE);
      ok = SetForegroundWindow(main_) != FALSE;
    } else if (verb == "pong" && (argument == "on" || argument == "off")) {
      options_.pong = argument == "on";
    } else if (verb == "attach" && (argument == "on" || argument == "off")) {
      options_.attach = argument == "on";
    } else if (verb == "status" && IsNumber(argument)) {
      SendAttach(std::atoi(argument.c_str()));
    } else if (verb == "tab" && IsNumber(argument)) {
      tab_ = std::atoi(argument.c_str());
      InvalidateRect(page_, nullptr, TRUE);
    } else if (verb == "title" && !argument.empty()) {
      SetWindowTextA(main_, argument.c_str());
    } else if (verb == "quit" && argument.empty()) {
      PostQuitMessage(0);
    } else {
      log_.Line("control-error " + Printable(command));
      ok = false;
    }
    return ok;
  }

  static bool IsNumber(const std::string& text) {
    if (text.empty() || text.size() > 9) {
      return false;
    }
    for (char c : text) {
      if (c < '0' || c > '9') {
        return false;
      }
    }
    return true;
  }

  void SelectTabAt(int x, int y) {
    if (x >= 0 && y >= 0 && y < kTabHeight &&
        x / kTabWidth < static_cast<int>(std::size(kTabNames))) {
      tab_ = x / kTabWidth;
      InvalidateRect(page_, nullptr, TRUE);
    }
  }

  void PaintTabs(HWND hwnd) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    SetBkMode(dc, TRANSPARENT);
    for (int i = 0; i < static_cast<int>(std::size(kTabNames)); ++i) {
      RECT tab{i * kTabWidth, 0, (i + 1) * kTabWidth, kTabHeight};
      if (i == tab_) {
        FillRect(dc, &tab, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
      }
      FrameRect(dc, &tab, static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH)));
      DrawTextA(dc, kTabNames[i], -1, &tab, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    }
    RECT body{0, kTabHeight, kPageWidth, kPageHeight};
    FrameRect(dc, &body, static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH)));
    EndPaint(hwnd, &ps);
  }

  void PaintMain(HWND hwnd) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    SetBkMode(dc, TRANSPARENT);
    log_.PaintRecent(hwnd, dc, 8, kPageHeight + 16);
    EndPaint(hwnd, &ps);
  }

  Options options_;
  tools::FakeLog log_;
  tools::OriginTracker origin_;
  std::deque<std::string> pending_;
  HWND main_ = nullptr;
  HWND page_ = nullptr;
  HWND api_ = nullptr;
  HWND client_ = nullptr;
  UINT discoverMsg_ = 0;
  UINT attachMsg_ = 0;
  int tab_ = 0;
  bool ready_ = false;
};

const char kUsage[] =
    "usage: fakeskype --log <file> [--title <main title>] [--tab N] [--status N] [--no-pong]\n"
    "                 [--no-attach] [--nested]\n";

bool ParseArgs(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--log" && hasValue) {
      options.logPath = argv[++i];
    } else if (arg == "--title" && hasValue) {
      options.title = argv[++i];
    } else if (arg == "--tab" && hasValue) {
      options.tab = std::atoi(argv[++i]);
    } else if (arg == "--status" && hasValue) {
      options.status = std::atoi(argv[++i]);
    } else if (arg == "--no-pong") {
      options.pong = false;
    } else if (arg == "--no-attach") {
      options.attach = false;
    } else if (arg == "--nested") {
      options.nested = true;
    } else {
      std::fprintf(stderr, "fakeskype: unexpected argument '%s'\n", arg.c_str());
      return false;
    }
  }
  return !options.logPath.empty();
}

}  // namespace
}  // namespace telvaro::fakeskype

int main(int argc, char** argv) {
  telvaro::fakeskype::Options options;
  if (!telvaro::fakeskype::ParseArgs(argc, argv, options)) {
    std::fputs(telvaro::fakeskype::kUsage, stderr);
    return 2;
  }
  telvaro::fakeskype::FakeSkype skype(options);
  if (!skype.Start()) {
    return 3;
  }
  return skype.Run();
}
