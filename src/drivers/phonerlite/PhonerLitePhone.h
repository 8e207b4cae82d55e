// PhonerLite behind the handset: its call commands, its call state as the ringer sees it, and
// whether it runs, all through its command interface (PhonerLiteCli.h).
#pragma once

#include <cstdint>
#include <string_view>

#include "drivers/phonerlite/PhonerLiteCli.h"
#include "platform/WindowsApi.h"

namespace telvaro::phonerlite {

class PhonerLitePhone {
 public:
  enum class Presence {
    Unknown,     // still connecting: nothing to say yet
    Running,     // the interface answers
    CliOff,      // PhonerLite runs but refuses the connection: "CLI access" is off
    Stalled,     // PhonerLite runs, but the connection stalled or dropped
    NotRunning,  // neither the interface nor the program is there
  };

  explicit PhonerLitePhone(WindowsApi& api);

  // The row was chosen, or another one was: the connection is made or closed.
  void Select();
  void Deselect();
  // The poll: drives the connection and follows the call state.
  void Tick();

  // Each false when the command could not be handed over (no connection can be made).
  bool Dial(std::string_view number);
  bool Answer();
  bool HangUp();
  // Flash holds the call and takes it back; Mute closes the microphone and opens it again.
  bool Flash();
  bool Mute();

  // An incoming call rings: PhonerLite has a call that we neither placed nor took, nor saw up.
  bool Ringing() const { return ringing_; }
  bool CallUp() const { return call_.hasCall && handled_; }
  Presence GetPresence();
  CliLink::State LinkState() const { return link_.GetState(); }

 private:
  bool Send(std::string_view command);
  void Follow();

  WindowsApi& api_;
  CliLink link_;
  CallFlags call_;
  bool handled_ = false;  // the present call was placed, taken, refused or seen up by us
  bool ringing_ = false;
  bool held_ = false;
  bool muted_ = false;
  std::uint32_t connection_ = 0;
};

}  // namespace telvaro::phonerlite
