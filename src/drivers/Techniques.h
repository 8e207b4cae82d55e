// The named, fixed sequences of Windows calls by which the key handlers drive other applications.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "drivers/FoundWindows.h"
#include "platform/WindowsApi.h"

namespace telvaro {

inline constexpr LParam kKeyDownLParam = 0x001C0001;
inline constexpr LParam kKeyUpLParam = 0x401C0001;
inline constexpr std::uint32_t kKeyPressFlags = 0x100;
inline constexpr WParam kMkLButton = 1;

enum class Delivery { Send, Post };
enum class Lookup { ByTitle, ByClassAndTitle };

// What PrepareVoipWindow needs to know of one Voip application.
struct VoipApp {
  VoipWindows& fields;
  EnumWindowsProc topLevelFinder;
  EnumWindowsProc controlsFinder;
  std::uint8_t& clearEditPending;
};

// The selected application's title and class, read at every call (nothing is cached).
struct TargetFields {
  const std::string& title;
  const std::string& className;
};

// What the status line says, after the target's title, when a key cannot reach the target. The
// target runs, so the tray image stays as it is.
inline constexpr const char* kTargetNotInFront = " is not in front.";
inline constexpr const char* kTargetRunsAsAdministrator = " runs as administrator.";
inline constexpr const char* kTargetNotResponding = " is not responding.";

class Techniques {
 public:
  // showTargetProblem gets one of the texts above.
  Techniques(WindowsApi& api, TargetFields target, std::function<void()> showTargetNotRunning,
             std::function<void(const char*)> showTargetProblem = {})
      : api_(api),
        target_(target),
        showTargetNotRunning_(std::move(showTargetNotRunning)),
        showTargetProblem_(std::move(showTargetProblem)) {}

  // Every activation of another program's window goes through here: SetForegroundWindow, and
  // where the system refuses it, once more within its rules (see Techniques.cpp); then a bounded
  // wait until the activation has taken effect. The window is remembered as the one the
  // synthesized keys that follow are meant for. True when it came to the front.
  bool BringToFront(Hwnd h);
  // False (after saying so on the status line) when h's program runs with higher rights than
  // ours, which makes the system drop our messages and input to it without an error, and under
  // LiveTargetsOnly when h is hung now.
  bool Reachable(Hwnd h);
  // Whether a look-up since the last ForgetRefusals found the target running with higher rights:
  // found, though nothing could be done to it.
  bool RefusedAsAdministrator() const { return refusedAsAdministrator_; }
  void ForgetRefusals() { refusedAsAdministrator_ = false; }

  // A call, answer or hang-up queued to a hung window goes out whenever it wakes, maybe minutes
  // later: a call nobody asked for. While one of these lives (`on`), a target that is hung now is
  // not reachable either (" is not responding."); digits may still wait in its queue, in order.
  class LiveTargetsOnly {
   public:
    LiveTargetsOnly(Techniques& t, bool on) : t_(t) { t_.liveTargetsOnly_ = on; }
    ~LiveTargetsOnly() { t_.liveTargetsOnly_ = false; }
    LiveTargetsOnly(const LiveTargetsOnly&) = delete;
    LiveTargetsOnly& operator=(const LiveTargetsOnly&) = delete;

   private:
    Techniques& t_;
  };

  // A send whose answer or effect the next step depends on. False (after saying " is not
  // responding.") when it was not delivered; *result is then 0.
  bool Ask(Hwnd h, UInt msg, WParam wParam, LParam lParam, LResult* result = nullptr);

  // 0 (after ShowTargetNotRunning) when the main window is missing.
  Hwnd LocateTarget(Lookup lookup);
  void ActivateWindow(Hwnd h);
  void RestoreAndActivate(Hwnd h);
  void SendKeyTriple(Hwnd h, std::uint8_t vk, char ch);
  void PostKeyTriple(Hwnd h, std::uint8_t vk, char ch);
  void SendKeyPair(Hwnd h, std::uint8_t vk);
  void SendShiftedHash(Hwnd h);
  void TapKey(std::uint8_t vk);
  void TapKeyWithModifier(std::uint8_t modifier, std::uint8_t vk);
  // True when the button was found (and clicked).
  bool ClickButtonByCaption(Hwnd parent, const char* caption, Delivery delivery = Delivery::Send);
  void ClickAt(Hwnd h, int x, int y, Delivery delivery);
  // Both false when the edit did not answer: then nothing that depends on it may follow.
  bool ClearEdit(Hwnd edit);
  bool AppendToEdit(Hwnd edit);
  // The field is read after the finder ran.
  void ClickKeypadChild(const EnumWindowsProc& finder, const Hwnd& field, int x, int y);
  // False (after ShowTargetNotRunning) when the main window is missing, and when a pending clear
  // of the number edit did not go through (the flag then stays set).
  bool PrepareVoipWindow(const VoipApp& app, Delivery contactsClick, bool withClearStep);
  void CloseWindowByTitle(const char* title);
  void PostFocusAndKey(Hwnd h, std::uint8_t vk, bool withKeyUp);

 private:
  void Deliver(Delivery delivery, Hwnd h, UInt msg, WParam wParam, LParam lParam);
  bool KeysReachTarget();
  bool AwaitForeground(Hwnd h);
  bool InTargetsProgram(Hwnd front, std::uint32_t frontProcess);
  bool RunsAboveUs(Hwnd window, std::uint32_t processId);
  void ShowTargetProblem(const char* suffix);

  WindowsApi& api_;
  TargetFields target_;
  std::function<void()> showTargetNotRunning_;
  std::function<void(const char*)> showTargetProblem_;
  Hwnd keysFor_ = 0;            // the window brought forward last
  std::uint32_t ourLevel_ = 0;  // our integrity level, read once
  Hwnd levelWindow_ = 0;        // the window whose program's level was read last
  std::uint32_t levelProcess_ = 0;
  std::uint32_t levelOfWindow_ = 0;
  bool refusedAsAdministrator_ = false;
  bool liveTargetsOnly_ = false;
};

}  // namespace telvaro
