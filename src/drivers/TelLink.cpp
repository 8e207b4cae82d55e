// The tel: link: hands a number to whatever calling app the user chose for such links. That app
// has its own ways to answer and hang up; TELVARO only dials.
#include "drivers/CallingApp.h"

namespace telvaro {

namespace {

// Only what a telephone number can hold reaches a tel: link: nothing that could end the number
// and start parameters (";"), a path, or a second argument.
bool BelongsInTelLink(char c) { return (c >= '0' && c <= '9') || c == '+' || c == '*' || c == '#'; }

std::u16string Widen(const std::string& ascii) { return {ascii.begin(), ascii.end()}; }

class TelLink final : public CallingApp {
 public:
  explicit TelLink(CallingAppHost& host) : host_(host) {}

  // The tel: row runs whenever some app takes tel: links.
  bool Present() override {
    std::u16string command;
    WindowsApi& api = host_.Api();
    if (api.AssocQueryStringW(win::ASSOCF_IS_PROTOCOL, win::ASSOCSTR_COMMAND, u"tel", nullptr,
                              &command) == win::S_OK) {
      return true;
    }
    // Windows before 8 does not know the protocol flag and refuses the question with it.
    return api.AssocQueryStringW(win::ASSOCF_NONE, win::ASSOCSTR_COMMAND, u"tel", nullptr,
                                 &command) == win::S_OK;
  }

  // The shell opens tel:<number> with the app the user chose; an empty number opens nothing.
  // "#" would start the link's fragment and cut the number there: it goes escaped.
  bool Dial(const std::string& keyed) override {
    std::string number;
    for (char c : keyed) {
      if (c == '#') {
        number += "%23";
      } else if (BelongsInTelLink(c)) {
        number += c;
      }
    }
    if (number.empty()) return false;
    if (!Present()) {
      host_.ShowTargetNotRunning();
      return false;
    }
    const std::u16string link = u"tel:" + Widen(number);
    if (!host_.Api().ShellExecuteExW(u"open", link.c_str(), win::SW_SHOWNORMAL)) {
      host_.ShowTargetNotRunning();
      return false;
    }
    return true;
  }

  bool Answer() override { return false; }
  bool HangUp() override { return false; }
  bool SendTone(char /*key*/) override { return false; }
  CallState State() const override { return CallState::Idle; }

 private:
  CallingAppHost& host_;
};

}  // namespace

std::unique_ptr<CallingApp> MakeTelLink(CallingAppHost& host, std::int32_t /*appCode*/) {
  return std::make_unique<TelLink>(host);
}

}  // namespace telvaro
