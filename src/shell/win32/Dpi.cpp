// The portable headers come before <windows.h>: their message constants share the names of its
// macros.
#include "shell/WindowLayout.h"

#include "shell/win32/Dpi.h"

namespace telvaro {

namespace {

template <typename Function>
Function User32Function(const char* name) {
  HMODULE user32 = GetModuleHandleA("user32.dll");
  if (!user32) return nullptr;
    // The cast from a generic procedure address to its real type is how run-time linking works.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wcast-function-type"
  return reinterpret_cast<Function>(GetProcAddress(user32, name));
#pragma GCC diagnostic pop
}

using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
using GetSystemMetricsForDpiFn = int(WINAPI*)(int, UINT);
using AdjustWindowRectExForDpiFn = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
using ChangeWindowMessageFilterExFn = BOOL(WINAPI*)(HWND, UINT, DWORD, void*);
using ChangeWindowMessageFilterFn = BOOL(WINAPI*)(UINT, DWORD);

constexpr DWORD kMsgFltAllow = 1;  // MSGFLT_ALLOW and MSGFLT_ADD

}  // namespace

int SystemDpi() {
  HDC screen = GetDC(nullptr);
  const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : kBaseDpi;
  if (screen) ReleaseDC(nullptr, screen);
  return SaneDpi(dpi);
}

int DpiForWindow(HWND window) {
  static const auto getDpiForWindow = User32Function<GetDpiForWindowFn>("GetDpiForWindow");
  if (getDpiForWindow && window) {
    const UINT dpi = getDpiForWindow(window);
    if (dpi != 0) return SaneDpi(static_cast<int>(dpi));
  }
  return SystemDpi();
}

int SystemMetricForDpi(int index, int dpi) {
  static const auto forDpi = User32Function<GetSystemMetricsForDpiFn>("GetSystemMetricsForDpi");
  if (forDpi) return forDpi(index, static_cast<UINT>(dpi));
  // Without it the metrics are those of the system's DPI.
  return MulDiv(GetSystemMetrics(index), dpi, SystemDpi());
}

void AdjustWindowRectForDpi(RECT& rect, DWORD style, DWORD exStyle, int dpi) {
  static const auto forDpi = User32Function<AdjustWindowRectExForDpiFn>("AdjustWindowRectExForDpi");
  if (forDpi && forDpi(&rect, style, FALSE, exStyle, static_cast<UINT>(dpi))) return;
  AdjustWindowRectEx(&rect, style, FALSE, exStyle);
}

void AllowMessageThroughFilter(HWND window, UINT message) {
  static const auto filterEx =
      User32Function<ChangeWindowMessageFilterExFn>("ChangeWindowMessageFilterEx");
  if (filterEx) {
    filterEx(window, message, kMsgFltAllow, nullptr);
    return;
  }
  static const auto filter =
      User32Function<ChangeWindowMessageFilterFn>("ChangeWindowMessageFilter");
  if (filter) filter(message, kMsgFltAllow);
}

}  // namespace telvaro
