// The portable headers come before <windows.h>: their message constants share the names of its
// macros.
#include "shell/win32/Win32MainWindow.h"
#include "shell/frmMailInterface.h"

#include <commctrl.h>
#include <shellapi.h>

#include <cstring>
#include <exception>

#include "shell/win32/Images.h"
#include "shell/win32/ViewIds.h"

namespace telvaro {

namespace {

constexpr const char* kLogoLink = "https://telvaro.example/";
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME;

HWND Child(HWND parent, const char* cls, const char* text, DWORD style, int x, int y, int w, int h,
           int id) {
  return CreateWindowExA(0, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                         GetModuleHandleA(nullptr), nullptr);
}

}  // namespace

Win32MainWindow::Win32MainWindow(HINSTANCE instance) : instance_(instance) {
  images_[0] = CreateStateIcon(0);
  images_[1] = CreateStateIcon(1);
}

// The window is normally gone by now (WinMain tears down before the objects go); should it not be,
// its destruction must not reach the form, which may already be gone.
Win32MainWindow::~Win32MainWindow() {
  RemoveTrayIcon();
  form_ = nullptr;
  hook_ = nullptr;
  if (window_) DestroyWindow(window_);
  for (HICON icon : images_) DestroyIcon(icon);
  if (font_) DeleteObject(font_);
}

bool Win32MainWindow::Create(TMainForm& form) {
  form_ = &form;
  WNDCLASSEXA wc = {};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = &Win32MainWindow::WindowProc;
  wc.hInstance = instance_;
  wc.hIcon = images_[0];
  wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kMainWindowClass;
  RegisterClassExA(&wc);

  RECT frame = {0, 0, view::kClientWidth, view::kClientHeight};
  AdjustWindowRectEx(&frame, kStyle, FALSE, kExStyle);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  const int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
  const int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
  window_ = CreateWindowExA(kExStyle, kMainWindowClass, kMainWindowCaption, kStyle, x, y, width,
                            height, nullptr, nullptr, instance_, this);
  if (!window_) return false;
  taskbarCreatedMsg_ = RegisterWindowMessageA("TaskbarCreated");
  AllowShowRequests();
  CreateControls();
  SendMessageA(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(images_[0]));
  SendMessageA(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(images_[0]));
  // The window starts in the notification area: only the tray icon shows.
  AddTrayIcon();
  SetTimer(window_, view::kTimer1Id, view::kTimer1IntervalMs, nullptr);
  timerRunning_[0] = true;
  form_->FormCreate();
  return true;
}

void Win32MainWindow::CreateControls() {
  font_ =
      CreateFontA(-12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET, 0, 0, 0, 0, "Arial");
  autoRun_ = Child(window_, "BUTTON", "Automatically run", BS_AUTOCHECKBOX | WS_TABSTOP, 8, 8, 121,
                   25, view::kAutoRunCheckBoxId);
  logo_ = Child(window_, "STATIC", "", SS_OWNERDRAW | SS_NOTIFY, 144, 8, 59, 14, view::kLogoId);
  // A drop-down list's height includes its list: 8 rows are visible when it drops down.
  combo_ = Child(window_, WC_COMBOBOXA, "", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, 8, 38, 193,
                 19 + 8 * 16, view::kAppComboId);
  SendMessageA(combo_, CB_SETMINVISIBLE, 8, 0);
  label_ = Child(window_, "STATIC", "", SS_SUNKEN | SS_LEFT, 8, 72, 193, 17, view::kContactLabelId);
  status_ = Child(window_, STATUSCLASSNAMEA, "", 0, 0, 0, 0, 0, view::kStatusBarId);
  RECT client;
  GetClientRect(window_, &client);
  MoveWindow(status_, 0, client.bottom - 21, client.right, 21, TRUE);
  int fill[1] = {-1};
  SendMessageA(status_, SB_SETPARTS, 1, reinterpret_cast<LPARAM>(fill));
  for (HWND control : {autoRun_, combo_, label_, status_}) {
    SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), TRUE);
  }
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
    // Explorer restarted: our icon went with the old taskbar.
    if (trayIconShown_) {
      trayIconShown_ = false;
      AddTrayIcon();
    }
    return true;
  }
  switch (msg) {
    case WM_TIMER:
      if (wParam == view::kTimer1Id) form_->Timer1Timer();
      if (wParam == view::kTimer2Id) form_->Timer2Timer();
      return true;
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam));
      return true;
    case view::kTrayCallbackMessage:
      OnTrayMessage(lParam);
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
      if ((wParam & 0xFFF0) != SC_MINIMIZE) return false;
      MinimizeToTray();
      return true;
    case WM_CLOSE:
      Close();
      return true;
    case WM_DESTROY:
      KillTimer(window_, view::kTimer1Id);
      KillTimer(window_, view::kTimer2Id);
      RemoveTrayIcon();
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
      if (notification == STN_CLICKED) {
        ShellExecuteA(window_, "open", kLogoLink, nullptr, nullptr, SW_SHOWNORMAL);
      }
      return;
    case view::kMenuRestoreId:
      RestoreFromTray();
      return;
    case view::kMenuExitId:
      Close();
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
void Win32MainWindow::AllowShowRequests() {
  using FilterFn = BOOL(WINAPI*)(HWND, UINT, DWORD, void*);
  HMODULE user32 = GetModuleHandleA("user32.dll");
  auto filter = user32 ? reinterpret_cast<FilterFn>(reinterpret_cast<void*>(
                             GetProcAddress(user32, "ChangeWindowMessageFilterEx")))
                       : nullptr;
  constexpr DWORD kAllow = 1;  // MSGFLT_ALLOW
  if (filter && form_->ShowMainWindowMessage() != 0) {
    filter(window_, form_->ShowMainWindowMessage(), kAllow, nullptr);
  }
}

// --- Tray icon ----------------------------------------------------------------------------------

void Win32MainWindow::OnTrayMessage(LPARAM lParam) {
  if (lParam == WM_LBUTTONUP || lParam == WM_RBUTTONUP) ShowTrayMenu();
}

void Win32MainWindow::ShowTrayMenu() {
  HMENU menu = CreatePopupMenu();
  AppendMenuA(menu, MF_STRING, view::kMenuRestoreId, "&Open TELVARO");
  AppendMenuA(menu, MF_STRING, view::kMenuExitId, "E&xit");
  POINT at;
  GetCursorPos(&at);
  // The menu closes properly only when our window is in front while it is open.
  SetForegroundWindow(window_);
  TrackPopupMenu(menu, TPM_RIGHTBUTTON, at.x, at.y, 0, window_, nullptr);
  PostMessageA(window_, WM_NULL, 0, 0);
  DestroyMenu(menu);
}

void Win32MainWindow::RestoreFromTray() {
  ShowWindow(window_, SW_RESTORE);
  ShowWindow(window_, SW_SHOW);
  SetForegroundWindow(window_);
  RemoveTrayIcon();
}

void Win32MainWindow::MinimizeToTray() {
  ShowWindow(window_, SW_HIDE);
  AddTrayIcon();
}

void Win32MainWindow::AddTrayIcon() {
  if (trayIconShown_) return;
  NOTIFYICONDATAA data = {};
  data.cbSize = sizeof data;
  data.hWnd = window_;
  data.uID = view::kTrayIconId;
  data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  data.uCallbackMessage = view::kTrayCallbackMessage;
  data.hIcon = images_[image_];
  std::strncpy(data.szTip, kApplicationTitle, sizeof data.szTip - 1);
  trayIconShown_ = Shell_NotifyIconA(NIM_ADD, &data) != FALSE;
}

void Win32MainWindow::RemoveTrayIcon() {
  if (!trayIconShown_ || !window_) return;
  NOTIFYICONDATAA data = {};
  data.cbSize = sizeof data;
  data.hWnd = window_;
  data.uID = view::kTrayIconId;
  Shell_NotifyIconA(NIM_DELETE, &data);
  trayIconShown_ = false;
}

void Win32MainWindow::UpdateTrayIcon() {
  if (!trayIconShown_) return;
  NOTIFYICONDATAA data = {};
  data.cbSize = sizeof data;
  data.hWnd = window_;
  data.uID = view::kTrayIconId;
  data.uFlags = NIF_ICON;
  data.hIcon = images_[image_];
  Shell_NotifyIconA(NIM_MODIFY, &data);
}

void Win32MainWindow::DrawLogo(const DRAWITEMSTRUCT& item) { DrawLogoInto(item.hDC, item.rcItem); }

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
  SendMessageA(status_, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void Win32MainWindow::SetStateImage(int imageIndex) {
  image_ = imageIndex == 1 ? 1 : 0;
  SendMessageA(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(images_[image_]));
  SendMessageA(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(images_[image_]));
  UpdateTrayIcon();
}

void Win32MainWindow::SetContactLabel(const std::string& text) {
  SetWindowTextA(label_, text.c_str());
}

void Win32MainWindow::StartTimer(FormTimer timer) {
  const int i = timer == FormTimer::Timer1 ? 0 : 1;
  if (timerRunning_[i]) return;  // starting a running timer does not restart it
  SetTimer(window_, i == 0 ? view::kTimer1Id : view::kTimer2Id,
           i == 0 ? view::kTimer1IntervalMs : view::kTimer2IntervalMs, nullptr);
  timerRunning_[i] = true;
}

void Win32MainWindow::StopTimer(FormTimer timer) {
  const int i = timer == FormTimer::Timer1 ? 0 : 1;
  KillTimer(window_, i == 0 ? view::kTimer1Id : view::kTimer2Id);
  timerRunning_[i] = false;
}

bool Win32MainWindow::TimerRunning(FormTimer timer) {
  return timerRunning_[timer == FormTimer::Timer1 ? 0 : 1];
}

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
