// MicroSIP, driven through the command line it forwards from a second copy of itself: a number
// dials, "/answer", "/hangupall" and "/dtmf:<key>" do the rest. Its call events come back by
// `telvaro.exe --call`, which MicroSIP runs on them.
#include "drivers/AppTable.h"
#include "drivers/CallingApp.h"
#include "drivers/Techniques.h"

namespace telvaro {

namespace {

// A second microsip.exe hands its command line over as WM_COPYDATA with dwData 1 and the text
// as UTF-16 with its NUL. MicroSIP acts on it before it answers; placing a call can take a moment.
constexpr std::uintptr_t kMicroSipCommandLine = 1;
constexpr const char* kMicroSipAnswer = "/answer";
constexpr const char* kMicroSipHangUpAll = "/hangupall";
constexpr const char* kMicroSipDtmf = "/dtmf:";

// Said after the target's title when a command did not reach MicroSIP (hung, or gone).
constexpr const char* kCommandNotTaken = " did not take the command.";

std::u16string Widen(const std::string& ascii) { return {ascii.begin(), ascii.end()}; }

class MicroSip final : public CallingApp {
 public:
  MicroSip(CallingAppHost& host, std::int32_t appCode) : host_(host), appCode_(appCode) {}

  bool Present() override { return Find() != 0; }

  void BringForward() override {
    if (const Hwnd microSip = Find(); microSip != 0) host_.Injection().RestoreAndActivate(microSip);
  }

  bool Dial(const std::string& number) override { return Send(number); }
  bool Answer() override { return Send(kMicroSipAnswer); }

  // "/hangupall" ends the call and turns down a ringing one alike.
  bool HangUp() override {
    ringing_ = false;
    if (!Send(kMicroSipHangUpAll)) return false;
    callUp_ = false;
    return true;
  }

  bool SendTone(char key) override { return Send(kMicroSipDtmf + std::string(1, key)); }

  CallState State() const override {
    if (ringing_) return CallState::Ringing;
    return callUp_ ? CallState::Up : CallState::Idle;
  }
  std::string Caller() const override { return caller_; }

  bool CallEventReported(CallState state, const std::string& caller) override {
    switch (state) {
      case CallState::Ringing:  // perhaps a second call while one is up
        ringing_ = true;
        caller_ = caller;
        break;
      case CallState::Up:
        ringing_ = false;
        callUp_ = true;
        break;
      case CallState::Idle:
        ringing_ = false;
        callUp_ = false;
        break;
    }
    return true;
  }

 private:
  // Found by its class: its title carries the account.
  Hwnd Find() { return host_.Api().FindWindowA(host_.Row(appCode_).WindowClass.c_str(), nullptr); }

  bool StillThere(Hwnd microSip) {
    return host_.Api().GetWindowThreadProcessId(microSip, nullptr) != 0;
  }

  // False (after saying why) when MicroSIP is not there, hung, or went away meanwhile. A send
  // that merely outlasted the wait was delivered: MicroSIP carries it out when it gets to it, so
  // it counts as taken (else the next call key would dial the number twice). MicroSIP ignores
  // commands until its SIP stack is ready; it does not tell, so neither can we.
  bool Send(const std::string& command) {
    const Hwnd microSip = Find();
    if (microSip == 0) {
      host_.ShowTargetNotRunning();
      return false;
    }
    // An elevated MicroSIP would drop the message without a word (UIPI): say why instead.
    if (!host_.Injection().Reachable(microSip)) return false;
    const std::u16string text = Widen(command);
    CopyDataStruct data;
    data.dwData = kMicroSipCommandLine;
    data.cbData = static_cast<std::uint32_t>((text.size() + 1) * sizeof(char16_t));
    data.lpData = text.c_str();
    std::uintptr_t reply = 0;
    // wParam 0, as from MicroSIP's own second copy.
    if (host_.Api().SendMessageTimeoutW(microSip, win::WM_COPYDATA, 0,
                                        reinterpret_cast<LParam>(&data), win::SMTO_ABORTIFHUNG,
                                        kAnswerTimeoutMs, &reply) != 0) {
      return true;
    }
    if (StillThere(microSip) && !host_.Api().IsHungAppWindow(microSip)) return true;
    host_.ShowTargetProblem(kCommandNotTaken);
    return false;
  }

  CallingAppHost& host_;
  std::int32_t appCode_;
  bool ringing_ = false;
  bool callUp_ = false;
  std::string caller_;
};

}  // namespace

std::unique_ptr<CallingApp> MakeMicroSip(CallingAppHost& host, std::int32_t appCode) {
  return std::make_unique<MicroSip>(host, appCode);
}

}  // namespace telvaro
