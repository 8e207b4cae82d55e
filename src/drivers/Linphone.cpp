// Linphone desktop, driven through the command line it forwards to its running copy.
#include "drivers/CallingApp.h"

namespace telvaro {

namespace {

class Linphone final : public CallingApp {
 public:
  bool Present() override { return false; }
  bool Dial(const std::string& /*number*/) override { return false; }
  bool Answer() override { return false; }
  bool HangUp() override { return false; }
  bool SendTone(char /*key*/) override { return false; }
  CallState State() const override { return CallState::Idle; }
};

}  // namespace

std::unique_ptr<CallingApp> MakeLinphone(CallingAppHost& /*host*/, std::int32_t /*appCode*/) {
  return std::make_unique<Linphone>();
}

}  // namespace telvaro
