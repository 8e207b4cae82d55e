// The portable headers come before <windows.h>: their message constants share the names of its
// macros.
#include "shell/win32/Win32MainWindow.h"
#include "shell/WindowLayout.h"
#include "shell/frmMailInterface.h"
#include "skype/SkypeControl.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <cstring>
#include <exception>

#include "shell/win32/Dpi.h"
#include "shell/win32/Images.h"
#include "shell/win32/ViewIds.h"

#ifndef WM_GETDPISCALEDSIZE
#define WM_GETDPISCALEDSIZE 0x02E4  // Windows 10 1703 and later
#endif

namespace telvaro {

namespace {

constexpr const char* kLogoLink = "https://telvaro.example/";
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME;
constexpr const char* kLogoAccessibleName = "TELVARO web page";
// Retries of a tray icon that could not be added: Explorer is usually up within seconds.
constexpr UINT kTrayRetryTimerId = 3;
constexpr UINT kTrayRetryIntervalMs = 2000;
constexpr int kApplicationIconId = 1;
constexpr UINT kNotifyIconVersion4 = 4;

// Created at size 0: LayOut places every control for the window's DPI.
HWND Child(HWND parent, const char* cls, const char* text, DWORD style, int id) {
  return CreateWindowExA(0, cls, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, parent,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                         GetModuleHandleA(nullptr), nullptr);
}

void Place(HWND control, const LayoutRect& r) {
  MoveWindow(control, r.x, r.y, r.width, r.height, TRUE);
}

// The logo is an owner-drawn button, so it takes the focus and Space clicks it; Enter clicks it
// too (the dialog manager would otherwise treat Enter as the default button's).
LRESULT CALLBACK LogoProc(HWND logo, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
  switch (msg) {
    case WM_GETDLGCODE: {
      const auto* key = reinterpret_cast<const MSG*>(lParam);
      if (key && key->message == WM_KEYDOWN && key->wParam == VK_RETURN) return DLGC_WANTALLKEYS;
      break;
    }
    case WM_KEYDOWN:
      if (wParam == VK_RETURN) {
        SendMessageA(GetParent(logo), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(logo), BN_CLICKED),
                     reinterpret_cast<LPARAM>(logo));
        return 0;
      }
      break;
    case WM_NCDESTROY:
      RemoveWindowSubclass(logo, &LogoProc, 0);
      break;
    default:
      break;
  }
  return DefSubclassProc(logo, msg, wParam, lParam);
}

}  // namespace

Win32MainWindow::Win32MainWindow(HINSTANCE instance) : instance_(instance) {}

// The window is normally gone by now (WinMain tears down before the objects go); should it not be,
// its destruction must not reach the form, which may already be gone.
Win32MainWindow::~Win32MainWindow() {
  tray_.Hide();
  form_ = nullptr;
  hook_ = nullptr;
  if (window_) DestroyWindow(window_);
  DestroyImages();
  if (font_) DeleteObject(font_);
}

bool Win32MainWindow::Create(TMainForm& form) {
  form_ = &form;
  WNDCLASSEXA wc = {};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = &Win32MainWindow::WindowProc;
  wc.hInstance = instance_;
  wc.hIcon = LoadIconA(instance_, MAKEINTRESOURCEA(kApplicationIconId));
  wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kMainWindowClass;
  RegisterClassExA(&wc);

  // Created at the system's DPI, centred; ApplyDpi sizes it for the DPI of its monitor.
  const int systemDpi = SystemDpi();
  RECT frame = {0, 0, ScaleForDpi(layout::kClientWidth, systemDpi),
                ScaleForDpi(layout::kClientHeight, systemDpi)};
  AdjustWindowRectForDpi(frame, kStyle, kExStyle, systemDpi);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  const int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
  const int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
  window_ = CreateWindowExA(kExStyle, kMainWindowClass, kMainWindowCaption, kStyle, x, y, width,
                            height, nullptr, nullptr, instance_, this);
  if (!window_) return false;
  taskbarCreatedMsg_ = RegisterWindowMessageA("TaskbarCreated");
  // An elevated copy would not hear Explorer's restart otherwise.
  AllowMessageThroughFilter(window_, taskbarCreatedMsg_);
  // A second copy started by the user may run with fewer rights than this one.
  AllowMessageThroughFilter(window_, form_->ShowMainWindowMessage());
  // Nor Skype: its answers come as WM_COPYDATA (the client takes them only from the API window it
  // attached to) and its attach status as a registered message.
  for (const UINT skype :
       {static_cast<UINT>(WM_COPYDATA), RegisterWindowMessageA(kSkypeAttachMessageName),
        RegisterWindowMessageA(kSkypeDiscoverMessageName)}) {
    AllowMessageThroughFilter(window_, skype);
  }
  AllowMessageThroughFilter(window_, form_->CallEventMessage());
  // The setup program's request to end: its WM_CLOSE would not pass.
  AllowMessageThroughFilter(window_, form_->ExitMessage());
  CreateControls();
  ApplyDpi(DpiForWindow(window_));
  // The window starts in the notification area: only the tray icon shows.
  tray_.Show();
  SetTimer(window_, view::kTimer1Id, view::kTimer1IntervalMs, nullptr);
  timerRunning_[0] = true;
  form_->FormCreate();
  return true;
}

void Win32MainWindow::CreateControls() {
  // Creation order is the Tab order: check box, logo, combo box.
  autoRun_ = Child(window_, "BUTTON", "Automatically run", BS_AUTOCHECKBOX | WS_TABSTOP,
                   view::kAutoRunCheckBoxId);
  logo_ = Child(window_, "BUTTON", kLogoAccessibleName, BS_OWNERDRAW | WS_TABSTOP, view::kLogoId);
  SetWindowSubclass(logo_, &LogoProc, 0, 0);
  combo_ = Child(window_, WC_COMBOBOXA, "", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP,
                 view::kAppComboId);
  SendMessageA(combo_, CB_SETMINVISIBLE, layout::kComboVisibleRows, 0);
  label_ = Child(window_, "STATIC", "", SS_SUNKEN | SS_LEFT | SS_NOPREFIX, view::kContactLabelId);
  // Placed by LayOut like the others, not by itself at the parent's bottom with its own height.
  status_ = Child(window_, STATUSCLASSNAMEA, "", CCS_NORESIZE | CCS_NOPARENTALIGN | CCS_NODIVIDER,
                  view::kStatusBarId);
  int fill[1] = {-1};
  SendMessageA(status_, SB_SETPARTS, 1, reinterpret_cast<LPARAM>(fill));
}

// --- DPI ----------------------------------------------------------------------------------------

void Win32MainWindow::ApplyDpi(int dpi) {
  dpi_ = SaneDpi(dpi);
  HFONT old = font_;
  font_ = CreateFontA(-ScaleForDpi(layout::kFontHeight, dpi_), 0, 0, 0, FW_NORMAL, FALSE, FALSE,
                      FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                      CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_SWISS, "Arial");
  for (HWND control : {autoRun_, logo_, combo_, label_, status_}) {
    SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  }
  if (old) DeleteObject(old);
  // The window and the tray still show the old icons until they have the new ones.
  HICON oldSmall[2] = {smallImages_[0], smallImages_[1]};
  HICON oldBig[2] = {bigImages_[0], bigImages_[1]};
  CreateImages();
  SendMessageA(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigImages_[image_]));
  SendMessageA(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallImages_[image_]));
  tray_.ImagesChanged();
  for (HICON icon : {oldSmall[0], oldSmall[1], oldBig[0], oldBig[1]}) {
    if (icon) DestroyIcon(icon);
  }
  LayOut();
}

SIZE Win32MainWindow::FrameSizeForDpi(int dpi) const {
  RECT frame = {0, 0, ScaleForDpi(layout::kClientWidth, dpi),
                ScaleForDpi(layout::kClientHeight, dpi)};
  AdjustWindowRectForDpi(frame, kStyle, kExStyle, dpi);
  return {frame.right - frame.left, frame.bottom - frame.top};
}

void Win32MainWindow::LayOut() {
  const SIZE frame = FrameSizeForDpi(dpi_);
  SetWindowPos(window_, nullptr, 0, 0, frame.cx, frame.cy,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  Place(autoRun_, ScaleForDpi(layout::kAutoRun, dpi_));
  Place(logo_, ScaleForDpi(layout::kLogo, dpi_));
  // A drop-down list's height includes its list: the rows visible when it drops down.
  LayoutRect combo = ScaleForDpi(layout::kAppCombo, dpi_);
  const auto itemHeight = static_cast<int>(SendMessageA(combo_, CB_GETITEMHEIGHT, 0, 0));
  combo.height += layout::kComboVisibleRows * std::max(itemHeight, 1) + 2;
  Place(combo_, combo);
  Place(label_, ScaleForDpi(layout::kContactLabel, dpi_));
  Place(status_, ScaleForDpi(layout::kStatusBar, dpi_));
  RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void Win32MainWindow::CreateImages() {
  const int small = SystemMetricForDpi(SM_CXSMICON, dpi_);
  const int big = SystemMetricForDpi(SM_CXICON, dpi_);
  for (int i = 0; i < 2; ++i) {
    smallImages_[i] = CreateStateIcon(i, small);
    bigImages_[i] = CreateStateIcon(i, big);
  }
}

void Win32MainWindow::DestroyImages() {
  for (HICON* icons : {smallImages_, bigImages_}) {
    for (int i = 0; i < 2; ++i) {
      if (icons[i]) DestroyIcon(icons[i]);
      icons[i] = nullptr;
    }
  }
}

void Win32MainWindow::OnDpiChanged(int dpi, const RECT& suggested) {
  SetWindowPos(window_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
               suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
  ApplyDpi(dpi);
}

// --- Focus --------------------------------------------------------------------------------------

void Win32MainWindow::RememberFocus() {
  HWND focus = GetFocus();
  if (focus && IsChild(window_, focus)) lastFocus_ = focus;
}

void Win32MainWindow::RestoreFocus() {
  HWND target = lastFocus_ && IsWindow(lastFocus_) ? lastFocus_ : combo_;
  // The combo box's list or edit part counts as the combo box.
  if (target != autoRun_ && target != logo_) target = combo_;
  SetFocus(target);
}

// --- Messages -----------------------------------------------------------------------------------

LRESULT CALLBACK Win32MainWindow::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<Win32MainWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (!self || !self->window_) return DefWindowProcA(hwnd, msg, wParam, lParam);
  // Nothing may escape into the system's dispatcher: a failure ends this message only.
  try {
    return self->HandleMessage(msg, wParam, lParam);
  } catch (...) {
    return 0;
  }
}

LRESULT Win32MainWindow::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_NCDESTROY) {
    // The last message: afterwards nothing may reach the form or use our handles.
    HWND window = window_;
    Forget();
    return DefWindowProcA(window, msg, wParam, lParam);
  }
  TMessage message{msg, static_cast<WParam>(wParam), static_cast<LParam>(lParam), 0};
  if (hook_ && hook_(message)) return message.Result;
  if (form_ && form_->Dispatch(message)) return message.Result;
  LRESULT result = 0;
  if (OwnHandling(msg, wParam, lParam, result)) return result;
  return DefWindowProcA(window_, msg, wParam, lParam);
}

bool Win32MainWindow::OwnHandling(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (msg == taskbarCreatedMsg_ && taskbarCreatedMsg_ != 0) {
    // Explorer (re)started: our icon went with the old taskbar, or never made it to it.
    tray_.OnTaskbarCreated();
    return true;
  }
  switch (msg) {
    case WM_TIMER:
      if (wParam == view::kTimer1Id) form_->Timer1Timer();
      if (wParam == view::kTimer2Id) {
        form_->Timer2Timer();
        form_->RefreshDialDisplay();  // a held 0 may have become "+"
      }
      if (wParam == view::kCallPollTimerId) form_->CallPollTimer();
      if (wParam == kTrayRetryTimerId) tray_.OnRetryTimer();
      return true;
    case WM_GETDPISCALEDSIZE:
      // The size for the new DPI, asked before the move: Windows' own guess scales the frame
      // too and can land the window on the boundary again, flipping it between two monitors.
      if (lParam == 0) return false;
      *reinterpret_cast<SIZE*>(lParam) = FrameSizeForDpi(SaneDpi(static_cast<int>(wParam)));
      result = TRUE;
      return true;
    case WM_DPICHANGED:
      if (lParam == 0) return false;
      OnDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
      return true;
    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_INACTIVE) {
        RememberFocus();
      } else {
        RestoreFocus();
      }
      return true;
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam));
      return true;
    case view::kTrayCallbackMessage:
      OnTrayMessage(wParam, lParam);
      return true;
    case WM_DRAWITEM: {
      const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      if (item->CtlID != static_cast<UINT>(view::kLogoId)) return false;
      DrawLogo(*item);
      result = TRUE;
      return true;
    }
    case WM_SETCURSOR:
      if (reinterpret_cast<HWND>(wParam) != logo_) return false;
      SetCursor(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_HAND)));
      result = TRUE;
      return true;
    case WM_SYSCOMMAND:
      // The caption's close box goes to the notification area like minimizing does; only "E&xit"
      // and a WM_CLOSE from another program end TELVARO.
      if ((wParam & 0xFFF0) != SC_MINIMIZE && (wParam & 0xFFF0) != SC_CLOSE) return false;
      MinimizeToTray();
      return true;
    case WM_CLOSE:
      Close();
      return true;
    case WM_DESTROY:
      KillTimer(window_, view::kTimer1Id);
      KillTimer(window_, view::kTimer2Id);
      KillTimer(window_, view::kCallPollTimerId);
      tray_.Hide();
      dialDisplay_.Hide();
      if (form_) form_->FormDestroy();
      PostQuitMessage(0);
      return true;
    default:
      return false;
  }
}

void Win32MainWindow::OnCommand(int id, int notification) {
  switch (id) {
    case view::kAppComboId:
      if (notification == CBN_SELCHANGE) form_->combo_AppSelChange();
      return;
    case view::kLogoId:
      if (notification == BN_CLICKED) {
        ShellExecuteA(window_, "open", kLogoLink, nullptr, nullptr, SW_SHOWNORMAL);
      }
      return;
    case view::kMenuRestoreId:
      RestoreFromTray();
      return;
    case view::kMenuExitId:
      Close();
      return;
    case view::kMenuDialDisplayId:
      form_->SetDialDisplayOn(!form_->DialDisplayOn());
      return;
    default:
      return;
  }
}

void Win32MainWindow::Close() {
  if (form_) form_->Close();
}

void Win32MainWindow::ShowErrorMessage(const std::string& text) {
  MessageBoxA(window_, text.c_str(), kApplicationTitle, MB_OK | MB_ICONERROR);
}

void Win32MainWindow::DestroyMainWindow() {
  if (window_) DestroyWindow(window_);
}

void Win32MainWindow::Forget() {
  SetWindowLongPtrA(window_, GWLP_USERDATA, 0);
  window_ = autoRun_ = combo_ = label_ = status_ = logo_ = nullptr;
  form_ = nullptr;
  hook_ = nullptr;
}

// A second copy asks us to show the window; it may run with lower rights than we do.
// --- Tray icon ----------------------------------------------------------------------------------

void Win32MainWindow::OnTrayMessage(WPARAM wParam, LPARAM lParam) {
  // Version 4: the event in the low word of lParam, the anchor (the click, or the icon when the
  // keyboard chose it) in wParam. Older shells: the event is lParam, the pointer is the anchor.
  const unsigned event = tray_.Version4() ? LOWORD(lParam) : static_cast<unsigned>(lParam);
  if (!tray_.WantsMenu(event)) return;
  POINT at;
  if (tray_.Version4()) {
    at = {static_cast<short>(LOWORD(wParam)), static_cast<short>(HIWORD(wParam))};
  } else {
    GetCursorPos(&at);
  }
  ShowTrayMenu(at);
}

void Win32MainWindow::ShowTrayMenu(POINT at) {
  HMENU menu = CreatePopupMenu();
  AppendMenuA(menu, MF_STRING, view::kMenuRestoreId, "&Open TELVARO");
  const bool displayOn = form_ && form_->DialDisplayOn();
  AppendMenuA(menu, MF_STRING | (displayOn ? MF_CHECKED : MF_UNCHECKED), view::kMenuDialDisplayId,
              "Show &dial display");
  AppendMenuA(menu, MF_STRING, view::kMenuExitId, "E&xit");
  // The menu closes properly only when our window is in front while it is open.
  SetForegroundWindow(window_);
  tray_.MenuOpened();
  const UINT command = static_cast<UINT>(TrackPopupMenu(
      menu, TPM_RIGHTBUTTON | TPM_RETURNCMD | TPM_NONOTIFY, at.x, at.y, 0, window_, nullptr));
  // The key state is that of the last input the menu took: Esc if that is what closed it.
  const bool escape = command == 0 && GetKeyState(VK_ESCAPE) < 0;
  PostMessageA(window_, WM_NULL, 0, 0);
  DestroyMenu(menu);
  tray_.MenuClosed(escape);
  // Posted, as the menu itself would: "E&xit" then closes the window after this handler is done.
  if (command != 0) PostMessageA(window_, WM_COMMAND, MAKEWPARAM(command, 0), 0);
}

void Win32MainWindow::RestoreFromTray() {
  ShowWindow(window_, SW_RESTORE);
  ShowWindow(window_, SW_SHOW);
  SetForegroundWindow(window_);
  lastFocus_ = combo_;
  SetFocus(combo_);
  tray_.Hide();
}

void Win32MainWindow::MinimizeToTray() {
  RememberFocus();
  ShowWindow(window_, SW_HIDE);
  tray_.Show();
}

bool Win32MainWindow::Shell::Send(DWORD action, const TrayIconContent* content) {
  NOTIFYICONDATAA data = {};
  data.cbSize = sizeof data;
  data.hWnd = owner_.window_;
  data.uID = view::kTrayIconId;
  if (content) {
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_SHOWTIP;
    data.uCallbackMessage = view::kTrayCallbackMessage;
    data.hIcon = owner_.smallImages_[content->image == 1 ? 1 : 0];
    std::strncpy(data.szTip, content->tip.c_str(), sizeof data.szTip - 1);
  }
  if (action == NIM_SETVERSION) data.uVersion = kNotifyIconVersion4;
  return Shell_NotifyIconA(action, &data) != FALSE;
}

bool Win32MainWindow::Shell::Add(const TrayIconContent& content) {
  return owner_.window_ && Send(NIM_ADD, &content);
}
bool Win32MainWindow::Shell::SetVersion4() { return Send(NIM_SETVERSION, nullptr); }
bool Win32MainWindow::Shell::Modify(const TrayIconContent& content) {
  return Send(NIM_MODIFY, &content);
}
void Win32MainWindow::Shell::Delete() {
  if (owner_.window_) Send(NIM_DELETE, nullptr);
}
void Win32MainWindow::Shell::SetFocus() { Send(NIM_SETFOCUS, nullptr); }
void Win32MainWindow::Shell::StartRetryTimer() {
  SetTimer(owner_.window_, kTrayRetryTimerId, kTrayRetryIntervalMs, nullptr);
}
void Win32MainWindow::Shell::StopRetryTimer() { KillTimer(owner_.window_, kTrayRetryTimerId); }

void Win32MainWindow::DrawLogo(const DRAWITEMSTRUCT& item) {
  const bool focused = (item.itemState & ODS_FOCUS) != 0 && (item.itemState & ODS_NOFOCUSRECT) == 0;
  DrawLogoInto(item.hDC, item.rcItem, font_, focused);
}

// --- MainWindowView -----------------------------------------------------------------------------

void Win32MainWindow::AddAppItem(const std::string& displayName) {
  SendMessageA(combo_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(displayName.c_str()));
}

int Win32MainWindow::SelectedAppIndex() {
  return static_cast<int>(SendMessageA(combo_, CB_GETCURSEL, 0, 0));
}

void Win32MainWindow::SelectAppItem(int index) {
  SendMessageA(combo_, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

bool Win32MainWindow::AutoRunChecked() {
  return SendMessageA(autoRun_, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void Win32MainWindow::SetAutoRunChecked(bool checked) {
  SendMessageA(autoRun_, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void Win32MainWindow::SetStatusText(const std::string& text) {
  // The presence poll repeats the same line every 5 s: only a change is drawn and sent.
  if (text == statusText_) return;
  statusText_ = text;
  SendMessageA(status_, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(text.c_str()));
  // The tooltip follows from the dial display's text, which the form hands over after this.
}

void Win32MainWindow::ShowDialDisplay(const DialDisplayText& text, bool popUp) {
  tray_.SetTip(text.tip);
  if (popUp) dialDisplay_.Show(text);
}

void Win32MainWindow::SetStateImage(int imageIndex) {
  const int image = imageIndex == 1 ? 1 : 0;
  if (image == image_) return;
  image_ = image;
  SendMessageA(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigImages_[image_]));
  SendMessageA(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallImages_[image_]));
  tray_.SetImage(image_);
}

void Win32MainWindow::SetContactLabel(const std::string& text) {
  SetWindowTextA(label_, text.c_str());
}

namespace {
struct TimerSpec {
  unsigned id;
  unsigned intervalMs;
};
constexpr TimerSpec kTimers[] = {{view::kTimer1Id, view::kTimer1IntervalMs},
                                 {view::kTimer2Id, view::kTimer2IntervalMs},
                                 {view::kCallPollTimerId, view::kCallPollIntervalMs}};
std::size_t TimerIndex(FormTimer timer) { return static_cast<std::size_t>(timer); }
}  // namespace

void Win32MainWindow::StartTimer(FormTimer timer) {
  const std::size_t i = TimerIndex(timer);
  if (timerRunning_[i]) return;  // starting a running timer does not restart it
  SetTimer(window_, kTimers[i].id, kTimers[i].intervalMs, nullptr);
  timerRunning_[i] = true;
}

void Win32MainWindow::StopTimer(FormTimer timer) {
  const std::size_t i = TimerIndex(timer);
  KillTimer(window_, kTimers[i].id);
  timerRunning_[i] = false;
}

bool Win32MainWindow::TimerRunning(FormTimer timer) { return timerRunning_[TimerIndex(timer)]; }

void Win32MainWindow::ProcessPendingMessages() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      // Leave the quit request for the main loop.
      PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

}  // namespace telvaro
