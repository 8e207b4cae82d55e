// The composition root: the only place that creates the real OS objects.
// The portable headers come before <windows.h>: their message constants share the names of its
// macros.
#include "shell/frmMailInterface.h"

#include "handset/HidHandsetSource.h"
#include "handset/win32/CmHidLibrary.h"
#include "handset/win32/RawInputHid.h"
#include "platform/win32/RealWindowsApi.h"
#include "shell/CallSwitch.h"
#include "shell/win32/Win32MainWindow.h"

#include <commctrl.h>
#include <objbase.h>
#include <windows.h>

#include <shellapi.h>

#include <string>
#include <vector>

namespace {

// The arguments after the program's name, as UTF-8.
std::vector<std::string> Arguments() {
  std::vector<std::string> args;
  int count = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
  if (argv == nullptr) return args;
  for (int i = 1; i < count; ++i) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, nullptr, 0, nullptr, nullptr);
    std::string arg(static_cast<std::size_t>(size > 0 ? size : 1), '\0');
    WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, arg.data(), size, nullptr, nullptr);
    arg.resize(arg.find('\0'));
    args.push_back(std::move(arg));
  }
  LocalFree(argv);
  return args;
}

// A GUI program has no console of its own: the text goes to the standard error it was handed
// (redirected by a script or a test), else to the console of the program that started it.
void WriteToStandardError(const char* text) {
  HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
  bool ownHandle = false;
  if ((error == nullptr || error == INVALID_HANDLE_VALUE) && AttachConsole(ATTACH_PARENT_PROCESS)) {
    error = CreateFileA("CONOUT$", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                        OPEN_EXISTING, 0, nullptr);
    ownHandle = true;
  }
  if (error == nullptr || error == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(error, text, static_cast<DWORD>(std::char_traits<char>::length(text)), &written,
            nullptr);
  if (ownHandle) CloseHandle(error);
}

// The shell's extensions that ShellExecuteExW may load (a tel: handler among them) need COM on
// the calling thread, in a single-threaded apartment, as a window's thread has.
class ComApartment {
 public:
  ComApartment()
      : initialised_(
            SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))) {
  }
  ~ComApartment() {
    if (initialised_) CoUninitialize();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

 private:
  bool initialised_;
};

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  using namespace telvaro;
  const ComApartment com;
  RealWindowsApi api;
  // A command-line switch is handed to the running copy: nothing of our own starts.
  const CommandLineSwitches switches = ParseCommandLine(Arguments());
  if (switches.action == CommandLineSwitches::Action::Usage) {
    WriteToStandardError(kCallUsage);
    return kExitUsage;
  }
  if (switches.action == CommandLineSwitches::Action::HandOverCall) {
    const int code = HandOverCallEvent(api, switches.event, switches.caller);
    if (code == kExitNoRunningCopy) WriteToStandardError(kNoRunningCopy);
    return code;
  }
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
