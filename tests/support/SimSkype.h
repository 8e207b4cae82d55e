// A Skype on the simulated desktop: a main window of Skype's class with a page control, and an API
// window that answers the discovery broadcast and records the commands it receives.
#pragma once

#include <string>
#include <vector>

#include "SimDesktop.h"

namespace telvaro::sim {

class SimSkype {
 public:
  explicit SimSkype(SimDesktop& desktop, const std::string& title = "Skype - fakeuser");

  // Sends a notification to the attached client, as Skype does (WM_COPYDATA, NUL counted).
  LResult Send(const std::string& text);
  void BringToFront() { desktop_.SetForeground(mainWindow); }

  Hwnd mainWindow = 0;
  Hwnd pageControl = 0;
  Hwnd apiWindow = 0;
  Hwnd client = 0;  // the window that sent the discovery broadcast
  LParam attachStatus = 0;
  bool answerPing = true;
  int selectedTab = 0;
  std::vector<std::string> commands;  // every text received, in order

 private:
  SimDesktop& desktop_;
  UInt discoverMsg_ = 0;
  UInt attachMsg_ = 0;
};

}  // namespace telvaro::sim
