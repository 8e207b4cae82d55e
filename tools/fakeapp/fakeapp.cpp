// fakeapp: stands in for any one of the twenty window-driven softphones, so that the end-to-end
// tests and the demo can watch what the program under test does to it.
//
//   fakeapp.exe <app code or table index> --log <file> [--extra <name>[,<name>...]]...
//               [--title <main title>] [--minimized] [--no-main] [--slow-first-length <ms>]
//   fakeapp.exe --dump
//   fakeapp.exe | --log <file> [--ini <microsip.ini>]        the fake MicroSIP (see below)
//   fakeapp.exe --tel-link <file> <link>                    a tel: link handler: logs the link
//   fakeapp.exe --phonerlite --log <file> [<fault>]          PhonerLite (FakePhonerLite.h)
//
// The windows come from the table in Layouts.h. Log format (see also README.md), one line each:
//
//   ready                                   once every window exists (always the first line)
//   stall <ms>                              --slow-first-length: the UI thread is busy before it
//                                           answers the first WM_GETTEXTLENGTH from outside
//   <label> <message> <wParam> <lParam>     e.g. "main WM_KEYDOWN 0x65 0x001C0001"
//   <label> WM_SETTEXT <wParam> "<text>"    the text set, quoted (FakeLog.h says how)
//   <label> WM_GETTEXT <wParam> "<text>"    the text handed back
//   <label> WM_COPYDATA <wParam> "<text>"   the data up to cbData or its first NUL
//
// wParam is "0x" plus upper-case hex, lParam "0x" plus at least eight upper-case hex digits.
// Only messages that come from outside the fake are logged: sent from another thread or process,
// posted, or keyboard input. What a window or a control generates for itself while handling
// another message (a Button's own button-down and button-up for BM_CLICK, the text queries of
// painting, the focus changes of activation) is not, so every line is something the program
// under test did. Key input is not translated: each WM_CHAR in the log was sent or posted.
//
// The fake MicroSIP (app code '|') takes command lines as MicroSIP does: WM_COPYDATA with dwData 1
// and UTF-16 text, logged as
//
//   main WM_COPYDATA dwData=0x1 "<text>"    "/answer", "/hangupall", "/dtmf:5" or a number
//   main WM_COPYDATA dwData=0x2 ignored     any other dwData, which MicroSIP ignores
//
// and keeps a call's state from them and from the far end (FakeAppCommands.h). On each call
// event it runs the command microsip.ini names (cmdCallRing, cmdCallStart, cmdCallEnd) with the
// caller appended, waiting for it up to 10 s, and logs "hook <name> exit <code> after <ms> ms"
// ("hook <name> none" when the ini names none, "hook <name> timeout" when it did not end).
#include <windows.h>

#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "../common/FakeLog.h"
#include "FakeAppCommands.h"
#include "FakePhonerLite.h"
#include "Layouts.h"

namespace telvaro::fakeapp {
namespace {

constexpr char kWindowProp[] = "FakeAppWindow";
constexpr int kGap = 4;

struct Options {
  const AppRow* app = nullptr;
  std::string logPath;
  std::set<std::string> extras;
  std::string title;
  bool minimized = false;
  bool noMain = false;
  bool dump = false;
  DWORD slowFirstLengthMs = 0;  // a dialer that is slow, short of hung, to answer once
  std::string iniPath;          // the fake MicroSIP's microsip.ini
};

// ---- The fake MicroSIP ----------------------------------------------------------------------

constexpr UINT kRunHookMessage = WM_APP + 1;  // wParam: index into kHookNames
constexpr const wchar_t* kHookNames[] = {L"cmdCallRing", L"cmdCallStart", L"cmdCallEnd"};
enum Hook : WPARAM { kHookRing, kHookStart, kHookEnd };
constexpr DWORD kHookWaitMs = 10000;  // what MicroSIP waits for its command

std::string Utf8(std::wstring_view text) {
  if (text.empty()) return {};
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                      nullptr, nullptr);
  return out;
}

std::wstring Wide(const std::string& text) {
  if (text.empty()) return {};
  const int size =
      MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size);
  return out;
}

// The UTF-16 text of a command line: bounded by cbData, cut at the first NUL.
std::wstring CopyDataWide(const COPYDATASTRUCT* data) {
  if (data == nullptr || data->lpData == nullptr) return {};
  std::wstring_view all(static_cast<const wchar_t*>(data->lpData), data->cbData / sizeof(wchar_t));
  return std::wstring(all.substr(0, all.find(L'\0')));
}

class FakeMicroSip {
 public:
  // The hooks run after the message that caused them has been answered, as MicroSIP runs them
  // from its own call-state handling.
  FakeMicroSip(tools::FakeLog& log, const std::string& iniPath) : log_(log), ini_(Wide(iniPath)) {}

  void SetWindow(HWND main) { main_ = main; }

  LRESULT Command(const COPYDATASTRUCT* data) {
    if (data == nullptr || data->dwData != 1) return FALSE;
    const std::wstring text = CopyDataWide(data);
    if (text == L"/answer") {
      if (ringing_) Connect();
    } else if (text == L"/hangupall") {
      if (ringing_ || up_) End();
    } else if (text.rfind(L"/dtmf:", 0) == 0) {
      // A tone during the call: nothing changes.
    } else if (!text.empty() && text[0] != L'/' && !up_) {
      Connect();  // the far end answers at once
    }
    return TRUE;
  }

  void FarEnd(WPARAM what) {
    if (what == kCallRings && !ringing_ && !up_) {
      ringing_ = true;
      Queue(kHookRing);
    } else if (what == kCallHungUp && (ringing_ || up_)) {
      End();
    }
  }

  void RunHook(WPARAM hook) {
    if (hook >= std::size(kHookNames)) return;
    const std::string name = Utf8(kHookNames[hook]);
    wchar_t command[2048] = {};
    if (!ini_.empty()) {
      GetPrivateProfileStringW(L"Settings", kHookNames[hook], L"", command,
                               static_cast<DWORD>(std::size(command)), ini_.c_str());
    }
    if (command[0] == L'\0') {
      log_.Line("hook " + name + " none");
      return;
    }
    // As MicroSIP does: the first word is the program, the others and the caller its arguments
    // (quotes are taken off, so an argument with a blank becomes two).
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(command, &count);
    if (argv == nullptr || count == 0) {
      log_.Line("hook " + name + " unreadable");
      return;
    }
    std::wstring program = argv[0];
    std::wstring params;
    for (int i = 1; i < count; ++i) params += std::wstring(argv[i]) + L" ";
    LocalFree(argv);
    params += Wide(kFakeCaller);
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    info.lpFile = program.c_str();
    info.lpParameters = params.c_str();
    info.nShow = SW_HIDE;
    const ULONGLONG start = GetTickCount64();
    if (!ShellExecuteExW(&info) || info.hProcess == nullptr) {
      log_.Line("hook " + name + " cannot start");
      return;
    }
    const DWORD waited = WaitForSingleObject(info.hProcess, kHookWaitMs);
    DWORD code = 0;
    GetExitCodeProcess(info.hProcess, &code);
    CloseHandle(info.hProcess);
    if (waited != WAIT_OBJECT_0) {
      log_.Line("hook " + name + " timeout");
      return;
    }
    log_.Line("hook " + name + " exit " + std::to_string(code) + " after " +
              std::to_string(GetTickCount64() - start) + " ms");
  }

 private:
  void Connect() {
    ringing_ = false;
    up_ = true;
    Queue(kHookStart);
  }
  void End() {
    ringing_ = false;
    up_ = false;
    Queue(kHookEnd);
  }
  void Queue(Hook hook) { PostMessageW(main_, kRunHookMessage, hook, 0); }

  tools::FakeLog& log_;
  std::wstring ini_;
  HWND main_ = nullptr;
  bool ringing_ = false;
  bool up_ = false;
};

// ---- A tel: link handler --------------------------------------------------------------------

// Appends `link "<text>"` to the file and ends: what the shell hands a calling app for a tel: link.
int LogLink(const std::string& path, const std::string& link) {
  HANDLE file = CreateFileA(tools::NormalizeLogPath(path).c_str(), FILE_APPEND_DATA,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 3;
  const std::string line = "link " + tools::QuoteText(link) + "\n";
  DWORD written = 0;
  WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  CloseHandle(file);
  return 0;
}

class FakeApp;

struct LiveWindow {
  FakeApp* app = nullptr;
  const WindowRow* row = nullptr;
  std::string label;
  WNDPROC original = nullptr;  // set for subclassed system controls
  HWND hwnd = nullptr;
};

LiveWindow* Lookup(HWND hwnd) { return static_cast<LiveWindow*>(GetPropA(hwnd, kWindowProp)); }

bool IsSystemControl(const WindowRow& row) {
  return std::string_view(row.className) == "Button" || std::string_view(row.className) == "Edit";
}

bool IsTopLevel(const WindowRow& row) { return row.parent == nullptr; }

std::string DerivedLabel(const WindowRow& row) {
  if (row.label != nullptr) {
    return row.label;
  }
  std::string prefix =
      std::string_view(row.parent) == "main" ? "btn:" : std::string(row.parent) + ":";
  std::string caption = row.text;
  std::replace(caption.begin(), caption.end(), ' ', '_');
  return prefix + caption;
}

bool RowWanted(const WindowRow& row, const Options& options) {
  if (row.app != options.app->code) {
    return false;
  }
  if (*row.extra != '\0' && options.extras.count(row.extra) == 0) {
    return false;
  }
  const bool inMain = (IsTopLevel(row) && std::string_view(row.label) == "main") ||
                      (!IsTopLevel(row) && std::string_view(row.parent) == "main");
  return !(options.noMain && inMain);
}

LRESULT CALLBACK FakeWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

class FakeApp {
 public:
  explicit FakeApp(const Options& options) : options_(options), microSip_(log_, options.iniPath) {}

  bool Start() {
    if (!log_.Open(options_.logPath)) {
      std::fprintf(stderr, "fakeapp: cannot open log file %s\n", options_.logPath.c_str());
      return false;
    }
    RegisterClasses();
    hangMessage_ = RegisterWindowMessageA(kHangMessageName);
    farEndMessage_ = RegisterWindowMessageA(kFarEndMessageName);
    for (const WindowRow& row : kWindows) {
      if (RowWanted(row, options_)) {
        Create(row);
      }
    }
    microSip_.SetWindow(mainWindow_);
    ShowTopLevels();
    ready_ = true;
    log_.Line("ready");
    return true;
  }

  int Run() { return origin_.RunMessageLoop(); }

  LRESULT Handle(LiveWindow& window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == hangMessage_ && hangMessage_ != 0) {
      Hang(static_cast<DWORD>(wParam));
      return 0;
    }
    if (IsMicroSip() && message == farEndMessage_ && farEndMessage_ != 0) {
      microSip_.FarEnd(wParam);
      return 0;
    }
    if (IsMicroSip() && message == kRunHookMessage) {
      microSip_.RunHook(wParam);
      return 0;
    }
    const bool fromOutside = origin_.Enter(window.hwnd, message);
    const LRESULT result = HandleLogged(window, message, wParam, lParam, fromOutside);
    origin_.Leave();
    return result;
  }

  void Forget(HWND hwnd) {
    RemovePropA(hwnd, kWindowProp);
    if (hwnd == mainWindow_) {
      mainWindow_ = nullptr;
      log_.SetWatcher(nullptr);
    }
  }

 private:
  LRESULT HandleLogged(LiveWindow& window, UINT message, WPARAM wParam, LPARAM lParam,
                       bool fromOutside) {
    fromOutside = fromOutside && ready_;
    if (fromOutside) {
      LogBefore(window, message, wParam, lParam);
    }
    if (fromOutside && message == WM_GETTEXTLENGTH && options_.slowFirstLengthMs != 0 &&
        !stalled_) {
      stalled_ = true;
      log_.Line("stall " + std::to_string(options_.slowFirstLengthMs));
      Sleep(options_.slowFirstLengthMs);
    }
    const LRESULT result = Behave(window, message, wParam, lParam);
    if (fromOutside && message == WM_GETTEXT) {
      const auto* text = reinterpret_cast<const char*>(lParam);
      const auto length = static_cast<std::size_t>(std::max<LRESULT>(result, 0));
      log_.MessageWithText(window.label, "WM_GETTEXT", wParam,
                           text != nullptr ? std::string_view(text, length) : std::string_view());
    }
    if (fromOutside && window.original != nullptr && IsClickEnd(message)) {
      KeepFocusOnTopLevel(window.hwnd);
    }
    return result;
  }

  void LogBefore(const LiveWindow& window, UINT message, WPARAM wParam, LPARAM lParam) {
    const char* name = tools::LoggedMessageName(message);
    if (name == nullptr || message == WM_GETTEXT) {
      return;
    }
    if (message == WM_SETTEXT) {
      const auto* text = reinterpret_cast<const char*>(lParam);
      log_.MessageWithText(window.label, name, wParam, text != nullptr ? text : "");
    } else if (message == WM_COPYDATA && IsMicroSip()) {
      const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
      const std::string dwData = tools::Hex(data != nullptr ? data->dwData : 0, 1);
      log_.Line(window.label + " WM_COPYDATA dwData=" + dwData + " " +
                (data != nullptr && data->dwData == 1 ? tools::QuoteText(Utf8(CopyDataWide(data)))
                                                      : std::string("ignored")));
    } else if (message == WM_COPYDATA) {
      log_.MessageWithText(window.label, name, wParam,
                           tools::CopyDataText(reinterpret_cast<const COPYDATASTRUCT*>(lParam)));
    } else {
      log_.Message(window.label, name, wParam, lParam);
    }
  }

  LRESULT Behave(LiveWindow& window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (window.original != nullptr) {
      return CallWindowProcA(window.original, window.hwnd, message, wParam, lParam);
    }
    switch (message) {
      case WM_SYSCOMMAND:
        // Alt-accelerators typed at a window without a menu bar would otherwise open the system
        // menu's modal loop and swallow every later key.
        if ((wParam & 0xFFF0) == SC_KEYMENU) {
          return 0;
        }
        break;
      case WM_COPYDATA:
        if (IsMicroSip()) {
          return microSip_.Command(reinterpret_cast<const COPYDATASTRUCT*>(lParam));
        }
        return TRUE;
      case WM_CLOSE:
        if (window.hwnd == mainWindow_) {
          PostQuitMessage(0);
        }
        break;
      case WM_DESTROY:
        if (IsTopLevel(*window.row) && --openTopLevels_ == 0) {
          PostQuitMessage(0);
        }
        break;
      case WM_PAINT:
        Paint(window);
        return 0;
      default:
        break;
    }
    return DefWindowProcA(window.hwnd, message, wParam, lParam);
  }

  // The UI thread stops handling messages, as a stuck softphone's does: whatever is sent or
  // posted meanwhile waits in the queue.
  void Hang(DWORD milliseconds) {
    log_.Line("hang " + std::to_string(milliseconds));
    Sleep(milliseconds);
    log_.Line("awake");
  }

  bool IsMicroSip() const { return options_.app->code == '|'; }

  static bool IsClickEnd(UINT message) { return message == BM_CLICK || message == WM_LBUTTONUP; }

  // A clicked Button takes the keyboard focus; give it back so that keys typed afterwards reach
  // the top-level window, as they do before any click.
  static void KeepFocusOnTopLevel(HWND control) {
    if (GetFocus() == control) {
      SetFocus(GetAncestor(control, GA_ROOT));
    }
  }

  void RegisterClasses() {
    std::set<std::string> done;
    for (const WindowRow& row : kWindows) {
      if (row.app != options_.app->code || IsSystemControl(row) ||
          !done.insert(row.className).second) {
        continue;
      }
      WNDCLASSEXA wc{};
      wc.cbSize = sizeof wc;
      wc.lpfnWndProc = FakeWndProc;
      wc.hInstance = GetModuleHandleA(nullptr);
      wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
      wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
      wc.lpszClassName = row.className;
      RegisterClassExA(&wc);
    }
  }

  void Create(const WindowRow& row) {
    auto window = std::make_unique<LiveWindow>();
    window->app = this;
    window->row = &row;
    window->label = DerivedLabel(row);
    LiveWindow* live = window.get();
    windows_.push_back(std::move(window));
    live->hwnd = IsTopLevel(row) ? CreateTopLevel(row, live) : CreateChild(row, live);
    if (live->hwnd == nullptr) {
      std::fprintf(stderr, "fakeapp: cannot create %s\n", live->label.c_str());
      return;
    }
    if (IsSystemControl(row)) {
      SetPropA(live->hwnd, kWindowProp, live);
      live->original = reinterpret_cast<WNDPROC>(
          SetWindowLongPtrA(live->hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FakeWndProc)));
    }
  }

  HWND CreateTopLevel(const WindowRow& row, LiveWindow* live) {
    const bool isMain = std::string_view(row.label) == "main";
    const DWORD style = isMain ? WS_OVERLAPPEDWINDOW : (WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU);
    RECT frame{0, 0, row.width, row.height};
    AdjustWindowRectEx(&frame, style, FALSE, 0);
    const int x = isMain ? 40 : 580;
    const int y = isMain ? 40 : 40 + 200 * (topLevelCount_ - (mainWindow_ != nullptr ? 1 : 0));
    const char* title = isMain && !options_.title.empty() ? options_.title.c_str() : row.text;
    HWND hwnd = CreateWindowExA(0, row.className, title, style, x, y, frame.right - frame.left,
                                frame.bottom - frame.top, nullptr, nullptr,
                                GetModuleHandleA(nullptr), live);
    if (hwnd != nullptr) {
      ++topLevelCount_;
      ++openTopLevels_;
      topLevels_.push_back(hwnd);
      if (isMain) {
        mainWindow_ = hwnd;
        log_.SetWatcher(hwnd);
      }
    }
    return hwnd;
  }

  HWND CreateChild(const WindowRow& row, LiveWindow* live) {
    HWND parent = TopLevelByLabel(row.parent);
    if (parent == nullptr) {
      return nullptr;
    }
    const POINT at = Place(parent, row.width, row.height);
    DWORD style = WS_CHILD | WS_VISIBLE;
    if (std::string_view(row.className) == "Button") {
      style |= BS_PUSHBUTTON;
    } else if (std::string_view(row.className) == "Edit") {
      style |= ES_LEFT | ES_AUTOHSCROLL;
    }
    return CreateWindowExA(0, row.className, row.text, style, at.x, at.y, row.width, row.height,
                           parent, nullptr, GetModuleHandleA(nullptr), live);
  }

  HWND TopLevelByLabel(const char* label) const {
    for (const auto& window : windows_) {
      if (IsTopLevel(*window->row) && window->label == label) {
        return window->hwnd;
      }
    }
    return nullptr;
  }

  // Children flow left to right and wrap, so none overlaps another.
  POINT Place(HWND parent, int width, int height) {
    RECT client{};
    GetClientRect(parent, &client);
    Cursor& cursor = cursors_[parent];
    if (cursor.x > kGap && cursor.x + width > client.right - kGap) {
      cursor.x = kGap;
      cursor.y += cursor.rowHeight + kGap;
      cursor.rowHeight = 0;
    }
    const POINT at{cursor.x, cursor.y};
    cursor.x += width + kGap;
    cursor.rowHeight = std::max(cursor.rowHeight, height);
    cursor.bottom = std::max(cursor.bottom, cursor.y + height);
    return at;
  }

  void ShowTopLevels() {
    for (HWND hwnd : topLevels_) {
      if (hwnd != mainWindow_) {
        ShowWindow(hwnd, SW_SHOWNOACTIVATE);
      }
    }
    if (mainWindow_ != nullptr) {
      ShowWindow(mainWindow_, options_.minimized ? SW_SHOWMINIMIZED : SW_SHOW);
      UpdateWindow(mainWindow_);
      if (!options_.minimized) {
        SetForegroundWindow(mainWindow_);
      }
    }
  }

  void Paint(const LiveWindow& window) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window.hwnd, &ps);
    RECT client{};
    GetClientRect(window.hwnd, &client);
    SetBkMode(dc, TRANSPARENT);
    if (!IsTopLevel(*window.row)) {
      FrameRect(dc, &client, static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH)));
      DrawTextA(dc, window.label.c_str(), -1, &client, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    } else if (window.hwnd == mainWindow_) {
      log_.PaintRecent(window.hwnd, dc, kGap, cursors_[window.hwnd].bottom + 2 * kGap);
    }
    EndPaint(window.hwnd, &ps);
  }

  struct Cursor {
    int x = kGap;
    int y = kGap;
    int rowHeight = 0;
    int bottom = 0;
  };

  const Options& options_;
  tools::FakeLog log_;
  std::vector<std::unique_ptr<LiveWindow>> windows_;
  std::vector<HWND> topLevels_;
  std::map<HWND, Cursor> cursors_;
  HWND mainWindow_ = nullptr;
  tools::OriginTracker origin_;
  int topLevelCount_ = 0;
  int openTopLevels_ = 0;
  bool ready_ = false;
  bool stalled_ = false;
  UINT hangMessage_ = 0;
  UINT farEndMessage_ = 0;
  FakeMicroSip microSip_;
};

LRESULT CALLBACK FakeWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
    SetPropA(hwnd, kWindowProp, create->lpCreateParams);
    static_cast<LiveWindow*>(create->lpCreateParams)->hwnd = hwnd;
  }
  LiveWindow* window = Lookup(hwnd);
  if (window == nullptr) {
    return DefWindowProcA(hwnd, message, wParam, lParam);
  }
  LRESULT result = 0;
  try {
    result = window->app->Handle(*window, message, wParam, lParam);
  } catch (...) {
    result = 0;
  }
  if (message == WM_NCDESTROY) {
    window->app->Forget(hwnd);
  }
  return result;
}

std::string Escaped(const char* text) {
  std::string out;
  for (const char* p = text; *p != '\0'; ++p) {
    const auto byte = static_cast<unsigned char>(*p);
    if (byte >= 0x20 && byte < 0x80) {
      out += *p;
    } else {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\x%02X", byte);
      out += escape;
    }
  }
  return out;
}

void Dump() {
  for (const AppRow& app : kApps) {
    std::printf("%c %d %s\n", app.code, app.index, app.name);
    for (const WindowRow& row : kWindows) {
      if (row.app != app.code) {
        continue;
      }
      std::printf("  %-18s %-8s %-12s %-26s %4d x %-4d \"%s\"\n", DerivedLabel(row).c_str(),
                  IsTopLevel(row) ? "top" : row.parent, *row.extra != '\0' ? row.extra : "-",
                  row.className, row.width, row.height, Escaped(row.text).c_str());
    }
  }
}

bool KnownExtra(const AppRow& app, const std::string& extra) {
  return std::any_of(std::begin(kWindows), std::end(kWindows), [&](const WindowRow& row) {
    return row.app == app.code && extra == row.extra;
  });
}

void AddExtras(Options& options, const std::string& list) {
  std::size_t start = 0;
  while (start <= list.size()) {
    const std::size_t comma = std::min(list.find(',', start), list.size());
    if (comma > start) {
      options.extras.insert(list.substr(start, comma - start));
    }
    start = comma + 1;
  }
}

const char kUsage[] =
    "usage: fakeapp <app code or index 1-21> --log <file> [--extra <name>[,<name>...]]\n"
    "               [--title <main title>] [--minimized] [--no-main] [--ini <microsip.ini>]\n"
    "               [--slow-first-length <ms>]\n"
    "       fakeapp --dump\n"
    "       fakeapp --tel-link <file> <link>\n";

bool ParseArgs(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--dump") {
      options.dump = true;
    } else if (arg == "--log" && hasValue) {
      options.logPath = argv[++i];
    } else if (arg == "--extra" && hasValue) {
      AddExtras(options, argv[++i]);
    } else if (arg == "--ini" && hasValue) {
      options.iniPath = tools::NormalizeLogPath(argv[++i]);
    } else if (arg == "--title" && hasValue) {
      options.title = argv[++i];
    } else if (arg == "--minimized") {
      options.minimized = true;
    } else if (arg == "--no-main") {
      options.noMain = true;
    } else if (arg == "--slow-first-length" && hasValue) {
      options.slowFirstLengthMs = static_cast<DWORD>(std::strtoul(argv[++i], nullptr, 10));
    } else if (options.app == nullptr && FindApp(arg) != nullptr) {
      options.app = FindApp(arg);
    } else {
      std::fprintf(stderr, "fakeapp: unexpected argument '%s'\n", arg.c_str());
      return false;
    }
  }
  if (options.dump) {
    return true;
  }
  if (options.app == nullptr || options.logPath.empty()) {
    return false;
  }
  for (const std::string& extra : options.extras) {
    if (!KnownExtra(*options.app, extra)) {
      std::fprintf(stderr, "fakeapp: '%s' has no extra '%s'\n", options.app->name, extra.c_str());
      return false;
    }
  }
  return true;
}

}  // namespace
}  // namespace telvaro::fakeapp

int main(int argc, char** argv) {
  if (argc >= 2 && std::string_view(argv[1]) == telvaro::fakeapp::kPhonerLiteSwitch) {
    return telvaro::fakeapp::RunFakePhonerLite(argc, argv);
  }
  if (argc == 4 && std::string_view(argv[1]) == "--tel-link") {
    return telvaro::fakeapp::LogLink(argv[2], argv[3]);
  }
  telvaro::fakeapp::Options options;
  if (!telvaro::fakeapp::ParseArgs(argc, argv, options)) {
    std::fputs(telvaro::fakeapp::kUsage, stderr);
    return 2;
  }
  if (options.dump) {
    telvaro::fakeapp::Dump();
    return 0;
  }
  telvaro::fakeapp::FakeApp app(options);
  if (!app.Start()) {
    return 3;
  }
  return app.Run();
}
