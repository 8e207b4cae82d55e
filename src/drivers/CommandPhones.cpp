// MicroSIP, driven through the command line it forwards from a second copy of itself, and the
// tel: link, which hands a number to whatever calling app the user chose for such links. Neither
// is typed into: both keep the number in a dial buffer of their own until the call key.
#include "shell/CallSwitch.h"
#include "shell/frmMailInterface.h"

namespace telvaro {

namespace {

// A second microsip.exe hands its command line over as WM_COPYDATA with dwData 1 and the text
// as UTF-16 with its NUL. MicroSIP acts on it before it answers; placing a call can take a moment.
constexpr std::uintptr_t kMicroSipCommandLine = 1;
constexpr UInt kMicroSipTimeoutMs = 1000;
constexpr const char* kMicroSipAnswer = "/answer";
constexpr const char* kMicroSipHangUpAll = "/hangupall";
constexpr const char* kMicroSipDtmf = "/dtmf:";

// Said after the target's title when a command did not reach MicroSIP (hung, or gone).
constexpr const char* kCommandNotTaken = " did not take the command.";

// Only what a telephone number can hold reaches a tel: link: nothing that could end the number
// and start parameters (";"), a path, or a second argument.
bool BelongsInTelLink(char c) { return (c >= '0' && c <= '9') || c == '+' || c == '*' || c == '#'; }

std::u16string Widen(const std::string& ascii) { return {ascii.begin(), ascii.end()}; }

}  // namespace

// The dial buffer of the selected row, for the rows that keep one of their own.
std::string* TMainForm::RowDialBuffer() {
  switch (CurrentAppCode) {
    case app::MicroSip:
      return &FMicroSipDial;
    case app::TelLink:
      return &FTelLinkDial;
    default:
      return nullptr;
  }
}

// A 0 held for a second turns into "+" when it is the first key, as with Skype.
void TMainForm::DialIntoRowBuffer(std::string& buffer, char key) {
  buffer += key;
  if (key != '0') return;
  FHeldKey = '0';
  view_.StartTimer(FormTimer::Timer2);
}

void TMainForm::MicroSipKeypadKey(char key) {
  if (!FMicroSipCallUp) return DialIntoRowBuffer(FMicroSipDial, key);
  SendMicroSipCommand(kMicroSipDtmf + std::string(1, key));
}

// Answers a ringing call, else dials what was keyed in, else answers whatever MicroSIP offers.
void TMainForm::MicroSipCallKey() {
  if (FMicroSipRinging || FMicroSipDial.empty()) {
    SendMicroSipCommand(kMicroSipAnswer);
    return;
  }
  // The number stays when it did not reach MicroSIP, so the next press tries it again.
  if (SendMicroSipCommand(FMicroSipDial)) FMicroSipDial.clear();
}

// The buzzer and the number go whether or not MicroSIP took the command.
void TMainForm::MicroSipHangUpKey() {
  if (SendMicroSipCommand(kMicroSipHangUpAll)) FMicroSipCallUp = false;
  FMicroSipRinging = false;
  FMicroSipDial.clear();
  handset_.StopBuzzer();
}

// False (after saying why) when MicroSIP is not there or did not take the text in time. MicroSIP
// ignores commands until its SIP stack is ready; it does not tell, so neither can we.
bool TMainForm::SendMicroSipCommand(const std::string& command) {
  const Hwnd microSip = api_.FindWindowA(FTargetClass.c_str(), nullptr);
  if (microSip == 0) {
    ShowTargetNotRunning();
    return false;
  }
  // An elevated MicroSIP would drop the message without a word (UIPI): say why instead.
  if (!techniques_.Reachable(microSip)) return false;
  const std::u16string text = Widen(command);
  CopyDataStruct data;
  data.dwData = kMicroSipCommandLine;
  data.cbData = static_cast<std::uint32_t>((text.size() + 1) * sizeof(char16_t));
  data.lpData = text.c_str();
  std::uintptr_t reply = 0;
  // wParam 0, as from MicroSIP's own second copy.
  if (api_.SendMessageTimeoutW(microSip, win::WM_COPYDATA, 0, reinterpret_cast<LParam>(&data),
                               win::SMTO_ABORTIFHUNG, kMicroSipTimeoutMs, &reply) == 0) {
    ShowStatus(kCommandNotTaken, 0);
    return false;
  }
  return true;
}

void TMainForm::MicroSipCallEvent(WParam event) {
  if (CurrentAppCode != app::MicroSip) return;
  switch (static_cast<CallEvent>(event)) {
    case CallEvent::Ring:
      FMicroSipRinging = true;
      handset_.StartBuzzer();
      return ShowCall(CallShown::Ringing, "");
    case CallEvent::Up:
      FMicroSipRinging = false;
      FMicroSipCallUp = true;
      handset_.StopBuzzer();
      return ShowCall(CallShown::InCall, "");
    case CallEvent::End:
      FMicroSipRinging = false;
      FMicroSipCallUp = false;
      handset_.StopBuzzer();
      return ShowCall(CallShown::Ended, "");
  }
}

// The shell opens tel:<number> with the app the user chose; an empty number opens nothing.
void TMainForm::TelLinkCallKey() {
  std::string number;
  for (char c : FTelLinkDial) {
    if (BelongsInTelLink(c)) number += c;
  }
  if (number.empty()) return;
  if (!TelHandlerRegistered()) return ShowTargetNotRunning();
  const std::u16string link = u"tel:" + Widen(number);
  // The number stays when no app took the link, so the next press tries it again.
  if (!api_.ShellExecuteExW(u"open", link.c_str(), win::SW_SHOWNORMAL)) {
    return ShowTargetNotRunning();
  }
  FTelLinkDial.clear();
}

bool TMainForm::TelHandlerRegistered() {
  std::u16string command;
  if (api_.AssocQueryStringW(win::ASSOCF_IS_PROTOCOL, win::ASSOCSTR_COMMAND, u"tel", nullptr,
                             &command) == win::S_OK) {
    return true;
  }
  // Windows before 8 does not know the protocol flag and refuses the question with it.
  return api_.AssocQueryStringW(win::ASSOCF_NONE, win::ASSOCSTR_COMMAND, u"tel", nullptr,
                                &command) == win::S_OK;
}

// MicroSIP is found by its class (its title carries the account); a running one is brought
// forward, as any other running application is when it is chosen.
void TMainForm::SelectMicroSip() {
  const Hwnd microSip = api_.FindWindowA(FTargetClass.c_str(), nullptr);
  if (microSip == 0) return ShowTargetNotRunning();
  ShowTargetRunning();
  techniques_.RestoreAndActivate(microSip);
}

// The tel: row runs whenever some app takes tel: links.
void TMainForm::ShowTelLinkPresence() {
  if (TelHandlerRegistered()) {
    ShowTargetRunning();
  } else {
    ShowTargetNotRunning();
  }
}

}  // namespace telvaro
