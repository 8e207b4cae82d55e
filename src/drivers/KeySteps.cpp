#include "drivers/KeySteps.h"

#include <algorithm>

#include "shell/frmMailInterface.h"

namespace telvaro {

using keydata::Activation;
using keydata::MainWindowStep;
using keydata::StepAction;

namespace {

void BringForward(KeyTools& tools, Hwnd main, Activation activation) {
  switch (activation) {
    case Activation::SetForeground:
      tools.techniques.BringToFront(main);
      break;
    case Activation::Activate:
      tools.techniques.ActivateWindow(main);
      break;
    case Activation::RestoreAndActivate:
      tools.techniques.RestoreAndActivate(main);
      break;
  }
}

}  // namespace

bool RunMainWindowStep(KeyTools& tools, std::span<const MainWindowStep> steps,
                       std::int32_t appCode) {
  const auto row = std::find_if(steps.begin(), steps.end(), [appCode](const MainWindowStep& s) {
    return s.appCode == appCode;
  });
  if (row == steps.end()) return false;
  const Hwnd main = tools.techniques.LocateTarget(row->lookup);
  if (main == 0) return false;
  BringForward(tools, main, row->activation);
  switch (row->action) {
    case StepAction::Click:
      tools.techniques.ClickAt(main, row->point.x, row->point.y, row->delivery);
      break;
    case StepAction::Tap:
      tools.techniques.TapKey(row->vk);
      break;
    case StepAction::Caption:
      tools.techniques.ClickButtonByCaption(main, row->caption);
      break;
  }
  return true;
}

Hwnd FindFirstWindow(WindowsApi& api, std::span<const char* const> titles) {
  for (const char* title : titles) {
    if (const Hwnd h = api.FindWindowA(nullptr, title); h != 0) return h;
  }
  return 0;
}

void PostClick(WindowsApi& api, Hwnd h, ClickPoint point, WParam downWParam, WParam upWParam) {
  // Posted with no window, the clicks would land in our own thread's queue.
  if (h == 0) return;
  const LParam at = MakeLParam(point.x, point.y);
  api.PostMessageA(h, win::WM_LBUTTONDOWN, downWParam, at);
  api.PostMessageA(h, win::WM_LBUTTONUP, upWParam, at);
}

Hwnd LocateVoipWindow(KeyTools& tools, const VoipApp& voip) {
  if (voip.fields.Window == 0) tools.api.EnumWindows(voip.topLevelFinder);
  if (voip.fields.Window == 0) tools.form.ShowTargetNotRunning();
  if (voip.fields.Window == 0 || !tools.techniques.Reachable(voip.fields.Window)) return 0;
  return voip.fields.Window;
}

}  // namespace telvaro
