// The real main window: controls, tray icon, menu and timers. It forwards every message to the
// Skype client's hook and to TMainForm, and draws; it decides nothing itself.
#pragma once

#include <string>

// The portable headers come before <windows.h>: their message constants share the names of its
// macros.
#include "shell/MainWindowView.h"
#include "shell/TrayIcon.h"
#include "shell/win32/DialDisplayWindow.h"

#include <windows.h>

namespace telvaro {

class TMainForm;

class Win32MainWindow final : public MainWindowView {
 public:
  explicit Win32MainWindow(HINSTANCE instance);
  ~Win32MainWindow() override;
  Win32MainWindow(const Win32MainWindow&) = delete;
  Win32MainWindow& operator=(const Win32MainWindow&) = delete;

  // Creates the window (hidden, with its tray icon) and runs the form's start-up.
  bool Create(TMainForm& form);

  // MainWindowHost
  Hwnd MainWindowHandle() override { return reinterpret_cast<Hwnd>(window_); }
  void HookMainWindow(MainWindowHookProc hook) override { hook_ = std::move(hook); }
  // The window the message loop hands to IsDialogMessage (Tab, Shift+Tab, Space, Enter).
  HWND DialogWindow() const { return window_; }
  void UnhookMainWindow() override { hook_ = nullptr; }

  // MainWindowView
  void AddAppItem(const std::string& displayName) override;
  int SelectedAppIndex() override;
  void SelectAppItem(int index) override;
  bool AutoRunChecked() override;
  void SetAutoRunChecked(bool checked) override;
  void SetStatusText(const std::string& text) override;
  void SetStateImage(int imageIndex) override;
  void SetContactLabel(const std::string& text) override;
  void StartTimer(FormTimer timer) override;
  void StopTimer(FormTimer timer) override;
  bool TimerRunning(FormTimer timer) override;
  void ProcessPendingMessages() override;
  void ShowErrorMessage(const std::string& text) override;
  void DestroyMainWindow() override;
  void ShowMainWindow() override { RestoreFromTray(); }
  void ShowDialDisplay(const DialDisplayText& text, bool popUp) override;
  void HideDialDisplay() override { dialDisplay_.Hide(); }

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);
  bool OwnHandling(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);
  void CreateControls();
  void OnCommand(int id, int notification);
  void OnTrayMessage(WPARAM wParam, LPARAM lParam);
  void ShowTrayMenu(POINT at);
  void RestoreFromTray();
  void MinimizeToTray();
  void Close();
  void Forget();
  void DrawLogo(const DRAWITEMSTRUCT& item);

  // Sizes, font and images for the window's DPI; again whenever the DPI changes.
  void ApplyDpi(int dpi);
  void LayOut();
  // The outer size of the window at `dpi`, its frame included.
  SIZE FrameSizeForDpi(int dpi) const;
  void CreateImages();
  void DestroyImages();
  void OnDpiChanged(int dpi, const RECT& suggested);
  void RememberFocus();
  void RestoreFocus();

  // The Shell_NotifyIcon calls and the retry timer, for TrayIcon.
  class Shell final : public TrayIconShell {
   public:
    explicit Shell(Win32MainWindow& owner) : owner_(owner) {}
    bool Add(const TrayIconContent& content) override;
    bool SetVersion4() override;
    bool Modify(const TrayIconContent& content) override;
    void Delete() override;
    void SetFocus() override;
    void StartRetryTimer() override;
    void StopRetryTimer() override;

   private:
    bool Send(DWORD action, const TrayIconContent* content);
    Win32MainWindow& owner_;
  };

  HINSTANCE instance_;
  HWND window_ = nullptr;
  HWND autoRun_ = nullptr;
  HWND combo_ = nullptr;
  HWND label_ = nullptr;
  HWND status_ = nullptr;
  HWND logo_ = nullptr;
  HFONT font_ = nullptr;
  int dpi_ = 96;
  // The state images at the small (caption, tray) and big (Alt+Tab) icon sizes of the DPI.
  HICON smallImages_[2] = {nullptr, nullptr};
  HICON bigImages_[2] = {nullptr, nullptr};
  int image_ = 0;
  std::string statusText_;
  HWND lastFocus_ = nullptr;
  Shell trayShell_{*this};
  TrayIcon tray_{trayShell_};
  DialDisplayWindow dialDisplay_{instance_};
  bool timerRunning_[3] = {false, false, false};
  UINT taskbarCreatedMsg_ = 0;
  TMainForm* form_ = nullptr;
  MainWindowHookProc hook_;
};

}  // namespace telvaro
