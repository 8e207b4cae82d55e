// The real main window: controls, tray icon, menu and timers. It forwards every message to the
// Skype client's hook and to TMainForm, and draws; it decides nothing itself.
#pragma once

#include <string>

// The portable headers come before <windows.h>: their message constants share the names of its
// macros.
#include "shell/MainWindowView.h"

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

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);
  bool OwnHandling(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);
  void CreateControls();
  void OnCommand(int id, int notification);
  void OnTrayMessage(LPARAM lParam);
  void ShowTrayMenu();
  void RestoreFromTray();
  void MinimizeToTray();
  void AddTrayIcon();
  void RemoveTrayIcon();
  void UpdateTrayIcon();
  void Close();
  void Forget();
  void AllowShowRequests();
  void DrawLogo(const DRAWITEMSTRUCT& item);

  HINSTANCE instance_;
  HWND window_ = nullptr;
  HWND autoRun_ = nullptr;
  HWND combo_ = nullptr;
  HWND label_ = nullptr;
  HWND status_ = nullptr;
  HWND logo_ = nullptr;
  HFONT font_ = nullptr;
  HICON images_[2] = {nullptr, nullptr};
  int image_ = 0;
  bool trayIconShown_ = false;
  bool timerRunning_[2] = {false, false};
  UINT taskbarCreatedMsg_ = 0;
  TMainForm* form_ = nullptr;
  MainWindowHookProc hook_;
};

}  // namespace telvaro
