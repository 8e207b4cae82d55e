// The composition root: the only place that creates the real OS objects.
// The portable headers come before <windows.h>: their message constants share the names of its
// macros.
#include "shell/frmMailInterface.h"

#include "handset/win32/CmHidLibrary.h"
#include "platform/win32/RealWindowsApi.h"
#include "shell/win32/Win32MainWindow.h"

#include <commctrl.h>
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  using namespace telvaro;
  RealWindowsApi api;
  // A second copy only brings the first one forward: no settings, no handset.
  if (AnotherInstanceRuns(api)) return 0;

  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES | ICC_BAR_CLASSES};
  InitCommonControlsEx(&controls);

  CmHidLibrary handset;
  // Destroyed in reverse order: the form, then the Skype client, then the window it hooks.
  Win32MainWindow view(instance);
  TApplication application;
  TMainForm form(api, handset, view, application);
  if (!view.Create(form)) return 1;

  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    // Tab, Shift+Tab, Space and Enter move between and work the window's controls.
    if (view.DialogWindow() && IsDialogMessageA(view.DialogWindow(), &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return 0;
}
