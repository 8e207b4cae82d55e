#include "drivers/phonerlite/PhonerLitePhone.h"

namespace telvaro::phonerlite {

PhonerLitePhone::PhonerLitePhone(WindowsApi& api)
    : api_(api), link_([&api] { return api.CreateTcpClient(); }, kCliPort) {}

void PhonerLitePhone::Select() { link_.Tick(api_.GetTickCount()); }

void PhonerLitePhone::Deselect() {
  link_.Stop();
  call_ = {};
  handled_ = ringing_ = held_ = false;
}

void PhonerLitePhone::Tick() {
  link_.Tick(api_.GetTickCount());
  Follow();
}

// Without an answer (no connection, or a stalled one) nothing is known, and nothing rings. The
// present call stays ours across a reconnection, so that a held call is not taken for a new one.
void PhonerLitePhone::Follow() {
  if (link_.Connections() != connection_) {
    connection_ = link_.Connections();
    muted_ = false;  // what we closed, PhonerLite may have opened meanwhile
  }
  const std::optional<CallFlags> call = link_.Call();
  if (!call) {
    ringing_ = false;
    return;
  }
  call_ = *call;
  if (!call_.hasCall) handled_ = held_ = false;
  if (call_.active) handled_ = true;
  ringing_ = call_.hasCall && !handled_;
}

bool PhonerLitePhone::Dial(std::string_view number) {
  if (!Send(SetNumberCommand(number)) || !Send(kHookOff)) return false;
  handled_ = true;
  return true;
}

bool PhonerLitePhone::Answer() {
  if (!Send(kHookOff)) return false;
  handled_ = true;
  ringing_ = false;
  return true;
}

// Ends the call or turns a ringing one away; the ringer stops either way.
bool PhonerLitePhone::HangUp() {
  handled_ = call_.hasCall;
  ringing_ = false;
  held_ = false;
  return Send(kHookOn);
}

bool PhonerLitePhone::Flash() {
  if (!Send(held_ ? kHoldOff : kHoldOn)) return false;
  held_ = !held_;
  return true;
}

bool PhonerLitePhone::Mute() {
  if (!Send(muted_ ? kMicroOn : kMicroOff)) return false;
  muted_ = !muted_;
  return true;
}

PhonerLitePhone::Presence PhonerLitePhone::GetPresence() {
  switch (link_.GetState()) {
    case CliLink::State::Open:
      return Presence::Running;
    case CliLink::State::Connecting:
      return Presence::Unknown;
    case CliLink::State::Refused:
    case CliLink::State::Down:
      break;
  }
  if (!api_.ProcessRunning(kProcessImage)) return Presence::NotRunning;
  return link_.GetState() == CliLink::State::Refused ? Presence::CliOff : Presence::Stalled;
}

bool PhonerLitePhone::Send(std::string_view command) {
  return link_.Command(command, api_.GetTickCount());
}

}  // namespace telvaro::phonerlite
