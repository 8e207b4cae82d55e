// The composition root: the only place that creates the real OS objects.
// The portable headers come before <windows.h>: their message constants share the names of its
// macros.
#include "shell/frmMailInterface.h"

#include "handset/HidHandsetSource.h"
#include "handset/win32/CmHidLibrary.h"
#include "handset/win32/RawInputHid.h"
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

  // The handset sources: the handset library when one sits beside the exe, and standard HID
  // telephony devices always.
  HandsetSources handsets;
  std::unique_ptr<CmHidLibrary> library = CmHidLibrary::LoadBesideExe(handsets.notice);
  std::unique_ptr<LibrarySource> librarySource;
  if (library) {
    librarySource = std::make_unique<LibrarySource>(*library);
    handsets.Add(*librarySource);
  }
  RawInputHid hidDevices;
  HidHandsetSource hidSource(api, hidDevices);
  handsets.Add(hidSource);
  // Destroyed in reverse order: the form, then the Skype client, then the window it hooks.
  Win32MainWindow view(instance);
  TApplication application;
  TMainForm form(api, handsets, view, application);
  if (!view.Create(form)) return 1;

  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    // Tab, Shift+Tab, Space and Enter move between and work the window's controls.
    if (view.DialogWindow() && IsDialogMessageA(view.DialogWindow(), &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  // Whatever ended the loop (our window's destruction, a WM_QUIT from outside, GetMessage
  // failing), one teardown before the objects go: the window and FormDestroy first, once.
  form.LoopEnded();
  return 0;
}
