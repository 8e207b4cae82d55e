// The calling apps that keep their number in TELVARO (MicroSIP, the tel: link, PhonerLite,
// Linphone and the profiles): each takes a whole command (dial this number, answer, hang up...)
// instead of being typed into. One interface for all of them, so that the key handlers have one
// road for every such app and a new app is one class (or one profile), never a new branch.
//
// The contract, for whoever implements an app:
// - TELVARO keeps the number being keyed in its own DialBuffer, one per row: the app sees only
//   whole numbers (Dial), tones while a call is up (SendTone), and the call commands.
// - Every command returns true when the app took it, false when it did not (not running, did not
//   answer, refused). False commands leave TELVARO's state as it was: the number stays in the
//   buffer, so the next call key tries again. An app that could not be reached says why through
//   the host (ShowTargetNotRunning, ShowTargetProblem) before it returns false.
// - A command the app has no way to carry out (Flash, Mute, Refuse on some apps) returns false
//   and does nothing: the defaults below.
// - State() is what TELVARO knows of the app's call. An app that learns of changes on its own
//   (events over a socket, a call event handed over by `telvaro.exe --call`) tells the host with
//   CallStateChanged, which sounds or silences the handset's buzzer and updates what is shown.
// - Present() is asked by the presence poll and on selection; it must not bring anything forward
//   and should be cheap (it runs every 5 s on the GUI thread, with bounded waits only).
// - All of it runs on the GUI thread; nothing blocks longer than the host's answer timeout.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/WindowsApi.h"

namespace telvaro {

class Techniques;
struct TPhoneAppUnit;

enum class CallState { Idle, Ringing, Up };

// What TELVARO offers the apps: the seam, the injection techniques, the selected row and the two
// ways of reporting.
class CallingAppHost {
 public:
  virtual WindowsApi& Api() = 0;
  virtual Techniques& Injection() = 0;
  // The row of the table the app stands for (display name, window title and class).
  virtual const TPhoneAppUnit& Row(std::int32_t appCode) const = 0;
  // The selected app is not there: status line " is not running." and the tray image.
  virtual void ShowTargetNotRunning() = 0;
  // The app runs but a command could not reach it: one of the texts of Techniques.h, or the
  // app's own (" did not take the command."), after the title.
  virtual void ShowTargetProblem(const char* suffix) = 0;
  // The app's State() or Caller() changed without a key (an event from the app).
  virtual void CallStateChanged(std::int32_t appCode) = 0;

 protected:
  ~CallingAppHost() = default;
};

class CallingApp {
 public:
  virtual ~CallingApp() = default;

  // Whether the app is there to take commands (presence poll, selection).
  virtual bool Present() = 0;
  // The user chose this app: bring its window forward where it has one.
  virtual void BringForward() {}

  // Places a call to a number of digits, '+', '*' and '#' as keyed (never empty).
  virtual bool Dial(const std::string& number) = 0;
  // Takes the ringing call (or, with nothing dialled, whatever call the app offers).
  virtual bool Answer() = 0;
  // Turns down the ringing call.
  virtual bool Refuse() { return HangUp(); }
  // Ends the call (or, where the app cannot tell TELVARO, whatever call it has).
  virtual bool HangUp() = 0;
  // One key of the keypad as a tone during a call: '0'-'9', '*', '#'.
  virtual bool SendTone(char key) = 0;
  virtual bool Flash() { return false; }
  // Toggles the microphone.
  virtual bool Mute() { return false; }

  virtual CallState State() const = 0;
  // Who calls or is called, as the app names them (may be empty).
  virtual std::string Caller() const { return {}; }
  // A call event handed over from outside (`telvaro.exe --call`, for apps that run a command on
  // their call events). The app decides what it means for State(); true when it follows such
  // events (the host then syncs the buzzer), false when they are not its own.
  virtual bool CallEventReported(CallState /*state*/, const std::string& /*caller*/) {
    return false;
  }
  // Apps whose call state must be asked (over a connection of their own) rather than told: the
  // app was chosen (true) or another one was (false); true when it wants Tick on a fast timer
  // while it stays chosen. Tick follows the state and reports changes with CallStateChanged.
  virtual bool Chosen(bool /*chosen*/) { return false; }
  virtual void Tick() {}
  // After Present() said false: why an app that runs cannot take commands (a text after the
  // title, as for ShowTargetProblem), or nullptr when it does not run.
  virtual const char* Unreachable() const { return nullptr; }
  // True for apps that take USB phones themselves: TELVARO then leaves the buzzer alone and
  // says so, instead of fighting the app over the same device.
  virtual bool DrivesUsbPhonesItself() const { return false; }
};

// The app object for a row, or nullptr for the older rows that keep their per-key branches.
std::unique_ptr<CallingApp> CreateCallingApp(std::int32_t appCode, CallingAppHost& host);

// Each app's own factory (one file each).
std::unique_ptr<CallingApp> MakeMicroSip(CallingAppHost& host, std::int32_t appCode);
std::unique_ptr<CallingApp> MakeTelLink(CallingAppHost& host, std::int32_t appCode);
std::unique_ptr<CallingApp> MakePhonerLite(CallingAppHost& host, std::int32_t appCode);
std::unique_ptr<CallingApp> MakeLinphone(CallingAppHost& host, std::int32_t appCode);

}  // namespace telvaro
