// A MicroSIP on the simulated desktop: its main window (class "MicroSIP", the account in the
// title) keeps the command lines it is handed, as MicroSIP does only those with dwData 1.
#pragma once

#include <string>
#include <vector>

#include "SimDesktop.h"

namespace telvaro::sim {

struct SimMicroSip {
  explicit SimMicroSip(SimDesktop& d, const std::string& label = "MicroSIP")
      : desktop(d), window(d.AddWindow("MicroSIP", "MicroSIP - alice")) {
    d.Window(window).label = label;
    d.SetBehaviour(window, [this](Hwnd, UInt msg, WParam, LParam lParam, bool& handled) -> LResult {
      handled = msg == win::WM_COPYDATA;
      if (!handled) return 0;
      if (reinterpret_cast<const CopyDataStruct*>(lParam)->dwData != 1) return 0;
      commands.push_back(SimDesktop::Utf8(SimDesktop::CopyDataWide(lParam)));
      return 1;
    });
  }

  SimDesktop& desktop;
  Hwnd window;
  std::vector<std::string> commands;
};

}  // namespace telvaro::sim
