// PhonerLite as a calling app: the keys become its documented commands and the ringer follows the
// call state it answers, both over its command interface (PhonerLitePhone).
#include "drivers/CallingApp.h"
#include "drivers/Techniques.h"
#include "drivers/phonerlite/PhonerLitePhone.h"

namespace telvaro {

namespace {

using phonerlite::PhonerLitePhone;

constexpr const char* kCliAccessOff =
    " runs, but its CLI access is off: turn it on in its options.";

class PhonerLite final : public CallingApp {
 public:
  PhonerLite(CallingAppHost& host, std::int32_t appCode)
      : host_(host), appCode_(appCode), phone_(host.Api()) {}

  // While the connection is being made, the program's process says whether it runs.
  bool Present() override {
    unreachable_ = nullptr;
    switch (phone_.GetPresence()) {
      case PhonerLitePhone::Presence::Running:
        return true;
      case PhonerLitePhone::Presence::Unknown:
        return host_.Api().ProcessRunning(phonerlite::kProcessImage);
      case PhonerLitePhone::Presence::CliOff:
        unreachable_ = kCliAccessOff;
        return false;
      case PhonerLitePhone::Presence::Stalled:
        unreachable_ = kTargetNotResponding;
        return false;
      case PhonerLitePhone::Presence::NotRunning:
        return false;
    }
    return false;
  }
  const char* Unreachable() const override { return unreachable_; }

  bool Chosen(bool chosen) override {
    if (chosen) {
      phone_.Select();
    } else {
      phone_.Deselect();
      reported_ = CallState::Idle;
    }
    return chosen;
  }
  void Tick() override {
    phone_.Tick();
    if (State() == reported_) return;
    reported_ = State();
    host_.CallStateChanged(appCode_);
  }

  bool Dial(const std::string& number) override { return Taken(phone_.Dial(number)); }
  bool Answer() override { return Taken(phone_.Answer()); }
  bool HangUp() override { return Taken(phone_.HangUp()); }
  // No command of the interface sends tones.
  bool SendTone(char /*key*/) override { return false; }
  bool Flash() override { return Taken(phone_.Flash()); }
  bool Mute() override { return Taken(phone_.Mute()); }

  CallState State() const override {
    if (phone_.Ringing()) return CallState::Ringing;
    return phone_.CallUp() ? CallState::Up : CallState::Idle;
  }

 private:
  // A command that could not even be queued: no connection can be made.
  bool Taken(bool taken) {
    if (!taken) host_.ShowTargetNotRunning();
    return taken;
  }

  CallingAppHost& host_;
  std::int32_t appCode_;
  PhonerLitePhone phone_;
  CallState reported_ = CallState::Idle;
  const char* unreachable_ = nullptr;
};

}  // namespace

std::unique_ptr<CallingApp> MakePhonerLite(CallingAppHost& host, std::int32_t appCode) {
  return std::make_unique<PhonerLite>(host, appCode);
}

}  // namespace telvaro
