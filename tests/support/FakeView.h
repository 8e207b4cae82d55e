// The main window as tests see it: a simulated window of class "TMainForm" whose messages go
// through the installed hook first and then through the form's message map, like the real view.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "SimDesktop.h"
#include "shell/MainWindowView.h"

namespace telvaro::sim {

class FakeView : public MainWindowView {
 public:
  explicit FakeView(SimDesktop& desktop);

  // Where messages go after the hook: the form's message map.
  std::function<bool(TMessage&)> dispatch;
  // What the real window does on WM_CLOSE (the form's Close) and on its destruction (FormDestroy).
  std::function<void()> close;
  std::function<void()> destroy;
  // What ProcessPendingMessages does besides delivering posted messages (tests queue work here).
  std::vector<std::function<void()>> pendingWork;

  Hwnd MainWindowHandle() override { return window_; }
  void HookMainWindow(MainWindowHookProc hook) override { hook_ = std::move(hook); }
  void UnhookMainWindow() override { hook_ = nullptr; }
  bool Hooked() const { return static_cast<bool>(hook_); }

  void AddAppItem(const std::string& displayName) override { items.push_back(displayName); }
  int SelectedAppIndex() override { return selected; }
  void SelectAppItem(int index) override { selected = index; }
  bool AutoRunChecked() override { return autoRun; }
  void SetAutoRunChecked(bool checked) override { autoRun = checked; }
  void SetStatusText(const std::string& text) override { status = text; }
  void SetStateImage(int imageIndex) override { image = imageIndex; }
  void SetContactLabel(const std::string& text) override { contactLabel = text; }
  void StartTimer(FormTimer timer) override;
  void StopTimer(FormTimer timer) override;
  bool TimerRunning(FormTimer timer) override { return running_[Index(timer)]; }
  void ProcessPendingMessages() override;
  void ShowErrorMessage(const std::string& text) override;
  void DestroyMainWindow() override;
  void ShowMainWindow() override;
  void ShowDialDisplay(const DialDisplayText& text, bool popUp) override {
    dialDisplay = text;
    dialDisplayPopUps += popUp ? 1 : 0;
  }
  void HideDialDisplay() override { dialDisplay = {}; }

  std::vector<std::string> items;
  int selected = -1;
  bool autoRun = false;
  std::string status;
  int image = 0;
  std::string contactLabel;
  int pumpCount = 0;
  std::vector<std::string> timerLog;  // "start Timer2", "stop Timer2"
  std::vector<std::string> messageBoxes;
  bool destroyed = false;
  int shownCount = 0;           // times the window was shown from the notification area
  DialDisplayText dialDisplay;  // what the dial display and the tray tip were last given
  int dialDisplayPopUps = 0;

 private:
  static int Index(FormTimer t) { return static_cast<int>(t); }
  LResult OnMessage(UInt msg, WParam wParam, LParam lParam);

  SimDesktop& desktop_;
  Hwnd window_ = 0;
  MainWindowHookProc hook_;
  bool running_[3] = {false, false, false};
};

}  // namespace telvaro::sim
