// Small pieces the call, hang-up, Up and Down keys share. The handlers are TMainForm members; they
// hand these helpers the tools they need, so the helpers stay free of the form's private state.
#pragma once

#include <span>

#include "drivers/CallKeyTables.h"
#include "drivers/Finders.h"
#include "drivers/FoundWindows.h"
#include "drivers/Techniques.h"
#include "platform/WindowsApi.h"

namespace telvaro {

class TMainForm;

struct KeyTools {
  TMainForm& form;
  WindowsApi& api;
  Techniques& techniques;
  Finders& finders;
  FoundWindows& found;
};

// Runs the row of `steps` for `appCode`. False when there is no row or the main window is missing
// (then reported as not running).
bool RunMainWindowStep(KeyTools& tools, std::span<const keydata::MainWindowStep> steps,
                       std::int32_t appCode);

// The first of `titles` that names an open top-level window, or 0.
Hwnd FindFirstWindow(WindowsApi& api, std::span<const char* const> titles);

// Posts a button-down and a button-up at `point`; the two wParams differ for some targets. A
// control never found (0) gets nothing.
void PostClick(WindowsApi& api, Hwnd h, ClickPoint point, WParam downWParam, WParam upWParam);

// The Voip application's main window from its field, running its finder when the field is 0; 0
// (reported as not running) when there is none.
Hwnd LocateVoipWindow(KeyTools& tools, const VoipApp& voip);

}  // namespace telvaro
