#include "drivers/Techniques.h"

#include <algorithm>

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
// a release. Where even that is refused, an unassigned key goes between our press and release,
// so the user's window never sees a lone Alt tap, which would open its menu bar. While the user
// holds Alt, our own press would add nothing and our release would cut theirs short: then there
// is no second attempt. Where the first attempt succeeds (no lock, or we may), nothing else
// happens.
bool Techniques::BringToFront(Hwnd h) {
  keysFor_ = h;
  if (api_.SetForegroundWindow(h)) return AwaitForeground(h);
  // A window that is gone cannot come forward, Alt or not.
  if (h == 0 || api_.GetWindowThreadProcessId(h, nullptr) == 0) return false;
  if (api_.GetAsyncKeyState(win::VK_MENU) < 0) return false;
  const auto altScan =
      static_cast<std::uint8_t>(api_.MapVirtualKeyA(win::VK_MENU, win::MAPVK_VK_TO_VSC));
  api_.keybd_event(win::VK_MENU, altScan, 0, 0);
  // The release waits for the activation, so that it goes to the window that came forward.
  const bool inFront = api_.SetForegroundWindow(h) && AwaitForeground(h);
  if (!inFront) {
    api_.keybd_event(win::VK_UNASSIGNED, 0, 0, 0);
    api_.keybd_event(win::VK_UNASSIGNED, 0, win::KEYEVENTF_KEYUP, 0);
  }
  api_.keybd_event(win::VK_MENU, altScan, win::KEYEVENTF_KEYUP, 0);
  return inFront;
}

// SetForegroundWindow returns before another program's window is in front: the system completes
// the activation when that program next handles its messages. Deciding at once would find the
// old window still in front and drop the first key after every switch; so wait a little, serving
// the messages sent to us meanwhile, until the window is in front or another window of its
// program came forward instead (a dialog it opened). One of its windows that was in front
// already proves nothing until the wait is over: the keys would go there rather than to h.
bool Techniques::AwaitForeground(Hwnd h) {
  constexpr std::uint32_t kPollMs = 10;
  const std::uint32_t start = api_.GetTickCount();
  const Hwnd before = api_.GetForegroundWindow();
  for (Hwnd front = before;; front = api_.GetForegroundWindow()) {
    if (front == h) return true;
    std::uint32_t frontProcess = 0;
    if (front != 0) api_.GetWindowThreadProcessId(front, &frontProcess);
    const bool ofItsProgram = InTargetsProgram(front, frontProcess);
    const std::uint32_t waited = api_.GetTickCount() - start;
    if (ofItsProgram && (front != before || waited >= kActivationWaitMs)) return true;
    if (waited >= kActivationWaitMs) return false;
    api_.WaitServingSentMessages(std::min(kPollMs, kActivationWaitMs - waited));
  }
}

bool Techniques::Reachable(Hwnd h) {
  std::uint32_t process = 0;
  api_.GetWindowThreadProcessId(h, &process);
  if (RunsAboveUs(h, process)) {
    refusedAsAdministrator_ = true;
    ShowTargetProblem(kTargetRunsAsAdministrator);
    return false;
  }
  if (liveTargetsOnly_ && api_.IsHungAppWindow(h)) {
    ShowTargetProblem(kTargetNotResponding);
    return false;
  }
  return true;
}

bool Techniques::Ask(Hwnd h, UInt msg, WParam wParam, LParam lParam, LResult* result) {
  if (result != nullptr) *result = 0;
  // A control that was never found has nothing to answer; that is not a program hanging.
  if (h == 0) return false;
  if (api_.TrySendMessageA(h, msg, wParam, lParam, result)) return true;
  ShowTargetProblem(kTargetNotResponding);
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
  const bool inFront = front != 0 && (front == keysFor_ || InTargetsProgram(front, frontProcess));
  if (!inFront) {
    ShowTargetProblem(kTargetNotInFront);
    return false;
  }
  if (RunsAboveUs(front, frontProcess)) {
    ShowTargetProblem(kTargetRunsAsAdministrator);
    return false;
  }
  return true;
}

// Another window of the program the keys are meant for (its dialogs) counts as the target.
bool Techniques::InTargetsProgram(Hwnd front, std::uint32_t frontProcess) {
  if (front == 0 || frontProcess == 0 || keysFor_ == 0) return false;
  std::uint32_t targetProcess = 0;
  api_.GetWindowThreadProcessId(keysFor_, &targetProcess);
  return targetProcess == frontProcess;
}

// A level that cannot be read (0) proves nothing either way. Reading one takes several calls into
// the system (the process, its token, the label), so the answer for the window asked last is
// kept: a process keeps its level for life, and a window its process.
bool Techniques::RunsAboveUs(Hwnd window, std::uint32_t processId) {
  if (processId == 0) return false;
  if (ourLevel_ == 0) ourLevel_ = api_.GetProcessIntegrityLevel(api_.GetCurrentProcessId());
  if (window != levelWindow_ || processId != levelProcess_) {
    levelWindow_ = window;
    levelProcess_ = processId;
    levelOfWindow_ = api_.GetProcessIntegrityLevel(processId);
  }
  return ourLevel_ != 0 && levelOfWindow_ != 0 && levelOfWindow_ > ourLevel_;
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

bool Techniques::ClearEdit(Hwnd edit) {
  // Nothing to clear where the edit was never found; the digits then go to the main window.
  return edit == 0 || Ask(edit, win::WM_SETTEXT, 0, reinterpret_cast<LParam>(kEmptyText));
}

// A length that was never answered is not 0: moving the caret to the start would put the digits
// in front of the number.
bool Techniques::AppendToEdit(Hwnd edit) {
  LResult length = 0;
  if (!Ask(edit, win::WM_GETTEXTLENGTH, 0, 0, &length)) return false;
  api_.SendMessageA(edit, win::EM_SETSEL, static_cast<WParam>(length), length);
  return true;
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
    // An edit that was not cleared still holds the contact: a digit now would extend it.
    if (app.clearEditPending == 1 && !ClearEdit(app.fields.Edit)) return false;
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
