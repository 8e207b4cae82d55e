// PhonerLite: the row and its place in the table are here; the app itself is driven over its TCP
// interface by the class that replaces this placeholder.
#include "drivers/CallingApp.h"

namespace telvaro {

namespace {

class PhonerLitePlaceholder final : public CallingApp {
 public:
  bool Present() override { return false; }
  bool Dial(const std::string& /*number*/) override { return false; }
  bool Answer() override { return false; }
  bool HangUp() override { return false; }
  bool SendTone(char /*key*/) override { return false; }
  CallState State() const override { return CallState::Idle; }
};

}  // namespace

std::unique_ptr<CallingApp> MakePhonerLite(CallingAppHost& /*host*/, std::int32_t /*appCode*/) {
  return std::make_unique<PhonerLitePlaceholder>();
}

}  // namespace telvaro
