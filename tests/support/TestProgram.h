// A whole program on the simulated desktop, built in one line: `TestProgram p;`.
#pragma once

#include <string>

#include "FakeHandset.h"
#include "FakeView.h"
#include "SimDesktop.h"
#include "SimSkype.h"
#include "shell/frmMailInterface.h"

namespace telvaro::sim {

struct TestProgram {
  // With `create`, FormCreate has run (no stored settings, Skype selected) and the trace is empty.
  explicit TestProgram(bool create = true);
  ~TestProgram();

  // The handset library's messages, delivered to the main window.
  void KeyDown(int code) { Post(WM_HANDSET_KEYDOWN, static_cast<WParam>(code)); }
  void KeyUp(int code) { Post(WM_HANDSET_KEYUP, static_cast<WParam>(code)); }
  LResult Post(UInt msg, WParam wParam = 0, LParam lParam = 0) {
    return desktop.SendMessageA(view.MainWindowHandle(), msg, wParam, lParam);
  }
  // Picks row `index` in the combo box as the user would.
  void Select(int index);
  // Makes row `index` the target without running the selection handler: only the fields.
  void Target(int index);

  SimDesktop desktop;
  FakeHandset handset;
  FakeView view{desktop};
  TApplication app;
  TMainForm form{desktop, handset, view, app};
};

}  // namespace telvaro::sim
