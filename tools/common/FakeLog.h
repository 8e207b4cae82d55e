// The message log shared by the fake applications (fakeapp, fakeskype).
//
// One line per event, written with one WriteFile call and no buffering, so that a test reading the
// file while the fake runs never sees half a line. Lines end with "\n" only. A window message is
// logged as
//
//   <label> <message name> <wParam> <lParam>
//
// with wParam as "0x" and upper-case hex without padding and lParam as "0x" and at least eight
// upper-case hex digits (a sign-extended 32-bit value as its eight low digits). Messages whose
// lParam points at text carry that text in place of lParam, in double quotes, with '"', '\' and
// bytes below 0x20 escaped as \", \\ and \xNN; other bytes are written as they are (ANSI texts stay
// byte for byte).
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <deque>
#include <string>
#include <string_view>

namespace telvaro::tools {

// Messages the fakes report. The tab-control query is named by value so that no common-controls
// header is needed.
inline constexpr UINT kTcmGetCurSel = 0x130B;

struct MessageName {
  UINT message;
  const char* name;
};

inline constexpr MessageName kLoggedMessages[] = {
    {WM_KEYDOWN, "WM_KEYDOWN"},
    {WM_KEYUP, "WM_KEYUP"},
    {WM_CHAR, "WM_CHAR"},
    {WM_SYSKEYDOWN, "WM_SYSKEYDOWN"},
    {WM_SYSKEYUP, "WM_SYSKEYUP"},
    {WM_SYSCHAR, "WM_SYSCHAR"},
    {WM_LBUTTONDOWN, "WM_LBUTTONDOWN"},
    {WM_LBUTTONUP, "WM_LBUTTONUP"},
    {BM_CLICK, "BM_CLICK"},
    {WM_SETTEXT, "WM_SETTEXT"},
    {WM_GETTEXTLENGTH, "WM_GETTEXTLENGTH"},
    {WM_GETTEXT, "WM_GETTEXT"},
    {EM_SETSEL, "EM_SETSEL"},
    {WM_SETFOCUS, "WM_SETFOCUS"},
    {WM_CLOSE, "WM_CLOSE"},
    {kTcmGetCurSel, "TCM_GETCURSEL"},
    {WM_COPYDATA, "WM_COPYDATA"},
};

// nullptr for a message the fakes do not report.
inline const char* LoggedMessageName(UINT message) {
  for (const MessageName& entry : kLoggedMessages) {
    if (entry.message == message) {
      return entry.name;
    }
  }
  return nullptr;
}

inline std::string Hex(std::uint64_t value, int minDigits) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "0x%0*llX", minDigits,
                static_cast<unsigned long long>(value));
  return buffer;
}

inline std::string QuoteText(std::string_view text) {
  std::string quoted = "\"";
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      quoted += '\\';
      quoted += c;
    } else if (byte < 0x20) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\x%02X", byte);
      quoted += escape;
    } else {
      quoted += c;
    }
  }
  return quoted + "\"";
}

// The text of a COPYDATASTRUCT: bounded by cbData, cut at the first NUL.
inline std::string CopyDataText(const COPYDATASTRUCT* data) {
  if (data == nullptr || data->lpData == nullptr) {
    return {};
  }
  const auto* bytes = static_cast<const char*>(data->lpData);
  std::string_view all(bytes, data->cbData);
  return std::string(all.substr(0, all.find('\0')));
}

// A 32-bit lParam reads the same whether the sender built it signed or unsigned (key-up flags set
// the top bit): a sign-extended value is shown by its low 32 bits.
inline std::uint64_t LParamBits(LPARAM lParam) {
  const auto value = static_cast<std::uint64_t>(lParam);
  const std::uint64_t high = value >> 32;
  return high == 0xFFFFFFFFu ? (value & 0xFFFFFFFFu) : value;
}

// A path that starts with a single '/' is a Unix path handed over by a shell under Wine, whose Z:
// drive is the Unix root. Elsewhere such a path would name the current drive's root, which no
// caller of the fakes means.
inline std::string NormalizeLogPath(const std::string& path) {
  if (path.size() > 1 && path[0] == '/' && path[1] != '/') {
    return "Z:" + path;
  }
  return path;
}

class FakeLog {
 public:
  FakeLog() = default;
  FakeLog(const FakeLog&) = delete;
  FakeLog& operator=(const FakeLog&) = delete;
  ~FakeLog() {
    if (file_ != INVALID_HANDLE_VALUE) {
      CloseHandle(file_);
    }
  }

  // Truncates the file. Readers may open it at any time, also for deletion.
  bool Open(const std::string& path) {
    file_ = CreateFileA(NormalizeLogPath(path).c_str(), GENERIC_WRITE,
                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                        CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    return file_ != INVALID_HANDLE_VALUE;
  }

  void Line(std::string text) {
    Remember(text);
    if (file_ == INVALID_HANDLE_VALUE) {
      return;
    }
    text += '\n';
    DWORD written = 0;
    WriteFile(file_, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  }

  // The window that shows the latest lines (see PaintRecent); repainted at every line.
  void SetWatcher(HWND window) { watcher_ = window; }

  // Draws a heading naming the window (screenshots of a desktop without a window manager show no
  // title bars) and the latest lines below it, so that a screenshot tells what the fake received.
  void PaintRecent(HWND window, HDC dc, int x, int y) const {
    char title[256] = {};
    GetWindowTextA(window, title, sizeof title);
    const std::string heading = std::string(title) + " (fake) received:";
    TextOutA(dc, x, y, heading.c_str(), static_cast<int>(heading.size()));
    y += kLineHeight + kLineHeight / 2;
    for (const std::string& line : recent_) {
      TextOutA(dc, x, y, line.c_str(), static_cast<int>(line.size()));
      y += kLineHeight;
    }
  }

  void Message(const std::string& label, const char* name, WPARAM wParam, LPARAM lParam) {
    Line(label + " " + name + " " + Hex(wParam, 1) + " " + Hex(LParamBits(lParam), 8));
  }

  void MessageWithText(const std::string& label, const char* name, WPARAM wParam,
                       std::string_view text) {
    Line(label + " " + name + " " + Hex(wParam, 1) + " " + QuoteText(text));
  }

 private:
  static constexpr std::size_t kRecentLines = 14;
  static constexpr int kLineHeight = 16;

  void Remember(const std::string& line) {
    recent_.push_back(line);
    if (recent_.size() > kRecentLines) {
      recent_.pop_front();
    }
    if (watcher_ != nullptr) {
      InvalidateRect(watcher_, nullptr, TRUE);
    }
  }

  HANDLE file_ = INVALID_HANDLE_VALUE;
  HWND watcher_ = nullptr;
  std::deque<std::string> recent_;
};

// Tells the messages that reach a window from outside the fake (sent by another thread or process,
// posted, or input) from those that a window or a control generates for itself while handling
// another message. Every window procedure of a fake calls Enter and Leave around its work, and the
// message loop names the message it dispatches.
class OriginTracker {
 public:
  bool Enter(HWND hwnd, UINT message) {
    const bool dispatched =
        dispatching_ != nullptr && dispatching_->hwnd == hwnd && dispatching_->message == message;
    const bool outside = depth_ == 0 && (InSendMessage() || dispatched);
    ++depth_;
    return outside;
  }

  void Leave() { --depth_; }

  // Key input is not translated: every WM_CHAR a fake logs was sent or posted to it.
  int RunMessageLoop() {
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
      dispatching_ = &msg;
      DispatchMessageA(&msg);
      dispatching_ = nullptr;
    }
    return 0;
  }

 private:
  const MSG* dispatching_ = nullptr;
  int depth_ = 0;
};

}  // namespace telvaro::tools
