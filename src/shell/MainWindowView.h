// The main window's own controls, timers and icons, as the form logic sees them. The Win32 view
// implements it; tests use a fake that records what was shown.
#pragma once

#include <string>

#include "platform/MainWindowHost.h"
#include "shell/DialDisplay.h"

namespace telvaro {

// CallPoll: a fast tick while the selected app's call state is asked rather than told (phonerlite).
enum class FormTimer { Timer1, Timer2, CallPoll };

class MainWindowView : public MainWindowHost {
 public:
  // combo_App
  virtual void AddAppItem(const std::string& displayName) = 0;
  virtual int SelectedAppIndex() = 0;         // -1 when nothing is selected
  virtual void SelectAppItem(int index) = 0;  // raises no change event
  // chk_AutoRun
  virtual bool AutoRunChecked() = 0;
  virtual void SetAutoRunChecked(bool checked) = 0;
  // spSkinStatusBar1, tray icon and application icon, spSkinLabel1
  virtual void SetStatusText(const std::string& text) = 0;
  virtual void SetStateImage(int imageIndex) = 0;
  virtual void SetContactLabel(const std::string& text) = 0;
  // Timer1 / Timer2: starting a running timer does not restart it.
  virtual void StartTimer(FormTimer timer) = 0;
  virtual void StopTimer(FormTimer timer) = 0;
  virtual bool TimerRunning(FormTimer timer) = 0;
  // Handles every message already waiting in the thread's queue, then returns.
  virtual void ProcessPendingMessages() = 0;
  // The window's own life. A message box the user must answer; the window's destruction, which
  // runs FormDestroy on its way; "&Open TELVARO" (shown and in front, no tray icon meanwhile).
  virtual void ShowErrorMessage(const std::string& text) = 0;
  virtual void DestroyMainWindow() = 0;
  virtual void ShowMainWindow() = 0;
  // The dial display and the tray tooltip. With popUp (the display is on and its text changed) the
  // display shows or stays a while longer, never taking the foreground; otherwise only the tooltip
  // follows the text. HideDialDisplay: it was turned off.
  virtual void ShowDialDisplay(const DialDisplayText& text, bool popUp) {
    (void)text;
    (void)popUp;
  }
  virtual void HideDialDisplay() {}
};

}  // namespace telvaro
