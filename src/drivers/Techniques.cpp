#include "drivers/Techniques.h"

namespace telvaro {

namespace {

// WM_SETTEXT needs a pointer that stays valid for the whole send.
constexpr char kEmptyText[] = "";

// The hash key on the softphones' dial pads: shift plus this key code (not '3', 0x33).
constexpr WParam kShiftedHashKey = 3;
constexpr WParam kHashChar = '#';

// PostMessageA with no window queues the message to our own thread instead of dropping it, so a
// control that was never found would feed stray keystrokes and clicks into our message loop.
void PostToWindow(WindowsApi& api, Hwnd h, UInt msg, WParam wParam, LParam lParam) {
  if (h != 0) api.PostMessageA(h, msg, wParam, lParam);
}

}  // namespace

Hwnd Techniques::LocateTarget(Lookup lookup) {
  // Copies, so the look-up sees NUL-terminated texts even if a field changes meanwhile.
  const std::string title = target_.title;
  const std::string className = target_.className;
  const char* classArg = lookup == Lookup::ByClassAndTitle ? className.c_str() : nullptr;
  const Hwnd main = api_.FindWindowA(classArg, title.c_str());
  if (main == 0 && showTargetNotRunning_) showTargetNotRunning_();
  if (main == 0 || !Reachable(main)) return 0;
  return main;
}

// Windows lets a program take the foreground only in a few cases (the caller is the foreground
// process or started by it, it received the last input event, there is no foreground window...).
// A tray program reacting to a handset is in none of them, so on a real desktop the first attempt
// can be refused: the target's taskbar button flashes and the user's window stays in front. The
// documented way in is the Alt key: the system enables SetForegroundWindow again when Alt is
// pressed (it also makes us the program that caused the last input). Alt is held only across the
// second attempt, so the window that loses the foreground sees a press and the one that gains it
// a release, and neither sees the lone Alt tap that would open its menu. Where the first attempt
// succeeds (no lock, or we may), nothing else happens.
bool Techniques::BringToFront(Hwnd h) {
  keysFor_ = h;
  if (api_.SetForegroundWindow(h)) return true;
  // A window that is gone cannot come forward, Alt or not.
  if (h == 0 || api_.GetWindowThreadProcessId(h, nullptr) == 0) return false;
  api_.keybd_event(win::VK_MENU, 0, 0, 0);
  const bool inFront = api_.SetForegroundWindow(h);
  api_.keybd_event(win::VK_MENU, 0, win::KEYEVENTF_KEYUP, 0);
  return inFront;
}

bool Techniques::Reachable(Hwnd h) {
  std::uint32_t process = 0;
  api_.GetWindowThreadProcessId(h, &process);
  if (!RunsAboveUs(process)) return true;
  ShowTargetProblem(kTargetRunsAsAdministrator);
  return false;
}

void Techniques::ActivateWindow(Hwnd h) {
  if (api_.IsIconic(h)) api_.ShowWindow(h, win::SW_RESTORE);
  BringToFront(h);
}

void Techniques::RestoreAndActivate(Hwnd h) {
  api_.ShowWindow(h, win::SW_RESTORE);
  BringToFront(h);
}

// Synthesized keys go to whatever window is in front, which need not be the one just brought
// forward: the system may have refused, or the user clicked elsewhere. They are typed only into
// that window or another window of the same program (its dialogs), and only when that program
// does not run with higher rights than ours, which would drop them silently.
bool Techniques::KeysReachTarget() {
  const Hwnd front = api_.GetForegroundWindow();
  std::uint32_t frontProcess = 0;
  if (front != 0) api_.GetWindowThreadProcessId(front, &frontProcess);
  bool inFront = front != 0 && front == keysFor_;
  if (!inFront && frontProcess != 0 && keysFor_ != 0) {
    std::uint32_t targetProcess = 0;
    api_.GetWindowThreadProcessId(keysFor_, &targetProcess);
    inFront = targetProcess == frontProcess;
  }
  if (!inFront) {
    ShowTargetProblem(kTargetNotInFront);
    return false;
  }
  if (RunsAboveUs(frontProcess)) {
    ShowTargetProblem(kTargetRunsAsAdministrator);
    return false;
  }
  return true;
}

// A level that cannot be read (0) proves nothing either way.
bool Techniques::RunsAboveUs(std::uint32_t processId) {
  if (processId == 0) return false;
  if (ourLevel_ == 0) ourLevel_ = api_.GetProcessIntegrityLevel(api_.GetCurrentProcessId());
  const std::uint32_t theirs = api_.GetProcessIntegrityLevel(processId);
  return ourLevel_ != 0 && theirs != 0 && theirs > ourLevel_;
}

void Techniques::ShowTargetProblem(const char* suffix) {
  if (showTargetProblem_) showTargetProblem_(suffix);
}

void Techniques::SendKeyTriple(Hwnd h, std::uint8_t vk, char ch) {
  api_.SendMessageA(h, win::WM_KEYDOWN, vk, kKeyDownLParam);
  api_.SendMessageA(h, win::WM_CHAR, static_cast<unsigned char>(ch), kKeyDownLParam);
  api_.SendMessageA(h, win::WM_KEYUP, vk, kKeyUpLParam);
}

void Techniques::PostKeyTriple(Hwnd h, std::uint8_t vk, char ch) {
  PostToWindow(api_, h, win::WM_KEYDOWN, vk, kKeyDownLParam);
  PostToWindow(api_, h, win::WM_CHAR, static_cast<unsigned char>(ch), kKeyDownLParam);
  PostToWindow(api_, h, win::WM_KEYUP, vk, kKeyUpLParam);
}

void Techniques::SendKeyPair(Hwnd h, std::uint8_t vk) {
  api_.SendMessageA(h, win::WM_KEYDOWN, vk, kKeyDownLParam);
  api_.SendMessageA(h, win::WM_KEYUP, vk, kKeyUpLParam);
}

void Techniques::SendShiftedHash(Hwnd h) {
  api_.SendMessageA(h, win::WM_KEYDOWN, win::VK_SHIFT, kKeyDownLParam);
  api_.SendMessageA(h, win::WM_KEYDOWN, kShiftedHashKey, kKeyDownLParam);
  api_.SendMessageA(h, win::WM_CHAR, kHashChar, kKeyDownLParam);
  api_.SendMessageA(h, win::WM_KEYUP, kShiftedHashKey, kKeyUpLParam);
  api_.SendMessageA(h, win::WM_KEYUP, win::VK_SHIFT, kKeyUpLParam);
}

void Techniques::TapKey(std::uint8_t vk) {
  if (!KeysReachTarget()) return;
  api_.keybd_event(vk, 0, kKeyPressFlags, 0);
  api_.keybd_event(vk, 0, win::KEYEVENTF_KEYUP, 0);
}

void Techniques::TapKeyWithModifier(std::uint8_t modifier, std::uint8_t vk) {
  if (!KeysReachTarget()) return;
  api_.keybd_event(modifier, 0, kKeyPressFlags, 0);
  api_.keybd_event(vk, 0, kKeyPressFlags, 0);
  api_.keybd_event(vk, 0, win::KEYEVENTF_KEYUP, 0);
  api_.keybd_event(modifier, 0, win::KEYEVENTF_KEYUP, 0);
}

bool Techniques::ClickButtonByCaption(Hwnd parent, const char* caption, Delivery delivery) {
  // With no parent the search would run over every top-level window and could click a button
  // of an unrelated program that happens to carry the same caption.
  if (parent == 0) return false;
  const Hwnd button = api_.FindWindowExA(parent, 0, "Button", caption);
  if (button == 0) return false;
  Deliver(delivery, button, win::BM_CLICK, 0, 0);
  return true;
}

void Techniques::ClickAt(Hwnd h, int x, int y, Delivery delivery) {
  const LParam point = MakeLParam(x, y);
  Deliver(delivery, h, win::WM_LBUTTONDOWN, kMkLButton, point);
  Deliver(delivery, h, win::WM_LBUTTONUP, kMkLButton, point);
}

void Techniques::ClearEdit(Hwnd edit) {
  api_.SendMessageA(edit, win::WM_SETTEXT, 0, reinterpret_cast<LParam>(kEmptyText));
}

void Techniques::AppendToEdit(Hwnd edit) {
  const LResult length = api_.SendMessageA(edit, win::WM_GETTEXTLENGTH, 0, 0);
  api_.SendMessageA(edit, win::EM_SETSEL, static_cast<WParam>(length), length);
}

void Techniques::ClickKeypadChild(const EnumWindowsProc& finder, const Hwnd& field, int x, int y) {
  const Hwnd main = LocateTarget(Lookup::ByTitle);
  if (main == 0) return;
  RestoreAndActivate(main);
  api_.EnumChildWindows(main, finder);
  // The enumeration can take long enough for another window to come forward.
  BringToFront(main);
  ClickAt(field, x, y, Delivery::Post);
}

bool Techniques::PrepareVoipWindow(const VoipApp& app, Delivery contactsClick, bool withClearStep) {
  if (app.fields.Window == 0) api_.EnumWindows(app.topLevelFinder);
  const Hwnd main = app.fields.Window;
  if (main == 0) {
    if (showTargetNotRunning_) showTargetNotRunning_();
    return false;
  }
  if (!Reachable(main)) return false;
  // The dial field only takes keys while the contacts page is showing.
  ClickButtonByCaption(main, "Contacts", contactsClick);
  RestoreAndActivate(main);
  if (withClearStep) {
    if (app.clearEditPending == 1) ClearEdit(app.fields.Edit);
    app.clearEditPending = 0;
  }
  return true;
}

void Techniques::CloseWindowByTitle(const char* title) {
  const Hwnd w = api_.FindWindowA(nullptr, title);
  if (w != 0) api_.SendMessageA(w, win::WM_CLOSE, 0, 0);
}

void Techniques::PostFocusAndKey(Hwnd h, std::uint8_t vk, bool withKeyUp) {
  PostToWindow(api_, h, win::WM_SETFOCUS, 0, 0);
  PostToWindow(api_, h, win::WM_KEYDOWN, vk, 0);
  if (withKeyUp) PostToWindow(api_, h, win::WM_KEYUP, vk, 0);
}

void Techniques::Deliver(Delivery delivery, Hwnd h, UInt msg, WParam wParam, LParam lParam) {
  if (delivery == Delivery::Send) {
    api_.SendMessageA(h, msg, wParam, lParam);
  } else {
    PostToWindow(api_, h, msg, wParam, lParam);
  }
}

}  // namespace telvaro
