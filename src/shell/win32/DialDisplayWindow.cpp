// The portable headers come before <windows.h>: their message constants share the names of its
// macros.
#include "shell/win32/DialDisplayWindow.h"
#include "shell/WindowLayout.h"

#include <shellapi.h>

#include <algorithm>
#include <string>

#include "shell/win32/Dpi.h"

namespace telvaro {

namespace {

// No activation on show or click, above other windows, no taskbar button, clicks pass through.
constexpr DWORD kExStyle =
    WS_EX_NOACTIVATE | WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_LAYERED | WS_EX_TRANSPARENT;
constexpr DWORD kStyle = WS_POPUP;
constexpr UINT_PTR kHoldTimer = 1;
constexpr UINT_PTR kFadeTimer = 2;
constexpr UINT kHoldMs = 4000;
constexpr UINT kFadeStepMs = 40;
constexpr int kFadeStep = 32;
// Sizes in 96-DPI units.
constexpr int kFontHeight = 16;
constexpr int kPadding = 10;
constexpr int kMinWidth = 200;
constexpr int kMaxWidth = 420;
constexpr int kGap = 8;  // from the taskbar and the screen's edge
constexpr int kTextId = 1;

bool HighContrast() {
  HIGHCONTRASTA contrast = {};
  contrast.cbSize = sizeof contrast;
  return SystemParametersInfoA(SPI_GETHIGHCONTRAST, sizeof contrast, &contrast, 0) &&
         (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

// The apps' light or dark choice of Windows 10 and later; light where the value is missing.
bool DarkTheme() {
  DWORD light = 1;
  DWORD size = sizeof light;
  const LSTATUS status = RegGetValueA(
      HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize",
      "AppsUseLightTheme", RRF_RT_REG_DWORD, nullptr, &light, &size);
  return status == ERROR_SUCCESS && light == 0;
}

// The work area of the taskbar's monitor and the edge the taskbar sits on; without a taskbar, the
// primary monitor's bottom edge.
RECT WorkArea(UINT& edge) {
  APPBARDATA bar = {};
  bar.cbSize = sizeof bar;
  edge = ABE_BOTTOM;
  HMONITOR monitor = nullptr;
  if (SHAppBarMessage(ABM_GETTASKBARPOS, &bar)) {
    edge = bar.uEdge;
    monitor = MonitorFromRect(&bar.rc, MONITOR_DEFAULTTOPRIMARY);
  } else {
    const POINT origin = {0, 0};
    monitor = MonitorFromPoint(origin, MONITOR_DEFAULTTOPRIMARY);
  }
  MONITORINFO info = {};
  info.cbSize = sizeof info;
  if (monitor && GetMonitorInfoA(monitor, &info)) return info.rcWork;
  RECT area = {};
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
  return area;
}

}  // namespace

DialDisplayWindow::~DialDisplayWindow() {
  if (window_) DestroyWindow(window_);
  if (font_) DeleteObject(font_);
  if (background_) DeleteObject(background_);
}

bool DialDisplayWindow::Create() {
  WNDCLASSEXA wc = {};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = &DialDisplayWindow::WindowProc;
  wc.hInstance = instance_;
  wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  wc.lpszClassName = kDialDisplayClass;
  RegisterClassExA(&wc);
  // A fixed name: the finders of several softphones match any top-level window whose title holds
  // the softphone's name, and the shown text often does ("VoipBuster is not running."). The
  // static control carries the text for screen readers.
  window_ = CreateWindowExA(kExStyle, kDialDisplayClass, kDialDisplayName, kStyle, 0, 0, 0, 0,
                            nullptr, nullptr, instance_, this);
  if (!window_) return false;
  text_ = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 0, 0, 0,
                          0, window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kTextId)),
                          instance_, nullptr);
  ApplyLook();
  return true;
}

void DialDisplayWindow::ApplyLook() {
  if (background_) DeleteObject(background_);
  COLORREF back = RGB(250, 250, 250);
  textColour_ = RGB(20, 20, 20);
  borderColour_ = RGB(160, 160, 160);
  if (HighContrast()) {
    back = GetSysColor(COLOR_WINDOW);
    textColour_ = GetSysColor(COLOR_WINDOWTEXT);
    borderColour_ = textColour_;
  } else if (DarkTheme()) {
    back = RGB(32, 32, 32);
    textColour_ = RGB(242, 242, 242);
    borderColour_ = RGB(90, 90, 90);
  }
  background_ = CreateSolidBrush(back);
  if (window_) InvalidateRect(window_, nullptr, TRUE);
  if (text_) InvalidateRect(text_, nullptr, TRUE);
}

void DialDisplayWindow::Show(const DialDisplayText& text) {
  if (!window_ && !Create()) return;
  const std::string joined = text.Joined();
  SetWindowTextA(text_, joined.c_str());
  PlaceAndSize();
  SetAlpha(255);
  KillTimer(window_, kFadeTimer);
  SetTimer(window_, kHoldTimer, kHoldMs, nullptr);
  ShowWindow(window_, SW_SHOWNOACTIVATE);
  SetWindowPos(window_, HWND_TOPMOST, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
}

void DialDisplayWindow::Hide() {
  if (!window_) return;
  KillTimer(window_, kHoldTimer);
  KillTimer(window_, kFadeTimer);
  ShowWindow(window_, SW_HIDE);
}

// At the corner of the work area beside the notification area, at the DPI of that monitor.
void DialDisplayWindow::PlaceAndSize() {
  UINT edge = ABE_BOTTOM;
  const RECT area = WorkArea(edge);
  // Moved onto the monitor first: its DPI is the window's from then on.
  SetWindowPos(window_, nullptr, area.right - 1, area.bottom - 1, 1, 1,
               SWP_NOZORDER | SWP_NOACTIVATE);
  const int dpi = SaneDpi(DpiForWindow(window_));
  if (dpi != dpi_ || !font_) {
    dpi_ = dpi;
    if (font_) DeleteObject(font_);
    font_ = CreateFontA(-ScaleForDpi(kFontHeight, dpi_), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                        DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                        DEFAULT_PITCH | FF_SWISS, "Segoe UI");
    SendMessageA(text_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  }
  char buffer[1024] = {};
  GetWindowTextA(text_, buffer, sizeof buffer);
  const int padding = ScaleForDpi(kPadding, dpi_);
  RECT measure = {0, 0, ScaleForDpi(kMaxWidth, dpi_) - 2 * padding, 0};
  HDC dc = GetDC(text_);
  HGDIOBJ old = SelectObject(dc, font_);
  DrawTextA(dc, buffer, -1, &measure, DT_CALCRECT | DT_NOPREFIX | DT_WORDBREAK | DT_EDITCONTROL);
  SelectObject(dc, old);
  ReleaseDC(text_, dc);
  const int width = std::max<int>(ScaleForDpi(kMinWidth, dpi_), measure.right + 2 * padding);
  const int height = measure.bottom + 2 * padding;
  const int gap = ScaleForDpi(kGap, dpi_);
  int x = area.right - width - gap;
  int y = area.bottom - height - gap;
  if (edge == ABE_TOP) y = area.top + gap;
  if (edge == ABE_LEFT) x = area.left + gap;
  SetWindowPos(window_, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
  MoveWindow(text_, padding, padding, width - 2 * padding, height - 2 * padding, TRUE);
}

void DialDisplayWindow::SetAlpha(int alpha) {
  alpha_ = std::clamp(alpha, 0, 255);
  SetLayeredWindowAttributes(window_, 0, static_cast<BYTE>(alpha_), LWA_ALPHA);
}

void DialDisplayWindow::OnTimer(UINT_PTR id) {
  if (id == kHoldTimer) {
    KillTimer(window_, kHoldTimer);
    SetTimer(window_, kFadeTimer, kFadeStepMs, nullptr);
    return;
  }
  if (id != kFadeTimer) return;
  SetAlpha(alpha_ - kFadeStep);
  if (alpha_ == 0) Hide();
}

LRESULT CALLBACK DialDisplayWindow::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<DialDisplayWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (!self || !self->window_) return DefWindowProcA(hwnd, msg, wParam, lParam);
  return self->HandleMessage(msg, wParam, lParam);
}

LRESULT DialDisplayWindow::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_MOUSEACTIVATE:
      return MA_NOACTIVATE;
    case WM_NCHITTEST:
      return HTTRANSPARENT;
    case WM_TIMER:
      OnTimer(wParam);
      return 0;
    case WM_ERASEBKGND: {
      RECT r;
      GetClientRect(window_, &r);
      auto dc = reinterpret_cast<HDC>(wParam);
      FillRect(dc, &r, background_);
      HBRUSH border = CreateSolidBrush(borderColour_);
      FrameRect(dc, &r, border);
      DeleteObject(border);
      return 1;
    }
    case WM_CTLCOLORSTATIC: {
      auto dc = reinterpret_cast<HDC>(wParam);
      SetTextColor(dc, textColour_);
      SetBkMode(dc, TRANSPARENT);
      return reinterpret_cast<LRESULT>(background_);
    }
    case WM_SETTINGCHANGE:
    case WM_SYSCOLORCHANGE:
    case WM_THEMECHANGED:
      ApplyLook();
      return 0;
    case WM_DPICHANGED:
      if (IsWindowVisible(window_)) PlaceAndSize();
      return 0;
    case WM_NCDESTROY: {
      HWND window = window_;
      SetWindowLongPtrA(window, GWLP_USERDATA, 0);
      window_ = text_ = nullptr;
      return DefWindowProcA(window, msg, wParam, lParam);
    }
    default:
      return DefWindowProcA(window_, msg, wParam, lParam);
  }
}

}  // namespace telvaro
