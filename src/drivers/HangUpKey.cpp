// The hang-up key: ends or refuses a call, dismisses the dialogs that stand in the way, and
// silences the buzzer where no call-state report will.
#include "drivers/CallKeyTables.h"
#include "drivers/KeySteps.h"
#include "shell/frmMailInterface.h"

namespace telvaro {

using namespace keydata;

namespace {

// Skype reports the call's end, and that report stops the buzzer; a hang-up with no call known
// still puts Skype on hook. A call a busy Skype was not told to end is kept, so the next press
// ends it. A Skype that is gone took its calls with it and will report nothing: its call ids go,
// and the press silences the buzzer (true).
bool HangUpSkype(TMainForm& form, WindowsApi& api) {
  std::int32_t& callId = form.ActiveCallId != 0 ? form.ActiveCallId : form.RingingCallId;
  if (callId != 0 &&
      !form.FSkype->SetCallProperty(callId, TSkypeCallProperty::Status, kSkypeFinish)) {
    const Hwnd apiWindow = form.FSkype->ApiWindow();
    if (apiWindow == 0 || api.IsWindow(apiWindow)) {
      form.ShowTargetNotResponding();
      return false;
    }
    form.ActiveCallId = 0;
    form.RingingCallId = 0;
    form.ShowTargetNotRunning();
    return true;
  }
  form.FSkype->HookOn();
  callId = 0;
  return false;
}

// The branches below return true when the buzzer is to be silenced. A press that a dialog on the
// way takes (ignore, cancel, confirm) leaves the buzzer alone.
bool HangUpSJphone(KeyTools& t) {
  const Hwnd main = t.techniques.LocateTarget(Lookup::ByTitle);
  if (main == 0) return false;
  const Hwnd incoming = t.api.FindWindowA(nullptr, kSjIncomingCallTitle);
  if (incoming != 0 && t.techniques.ClickButtonByCaption(incoming, kSjIgnore)) return false;
  t.techniques.BringToFront(main);
  t.techniques.ClickButtonByCaption(main, kSjHangup);
  t.techniques.ClickButtonByCaption(main, kSjConfirm);
  t.techniques.CloseWindowByTitle(kContactsTitle);
  t.techniques.CloseWindowByTitle(kCallLogsTitle);
  return true;
}

// A login or confirmation in the way takes the press; only a press that reaches the hang-up
// button counts as hanging up.
bool HangUpNet2Phone(KeyTools& t) {
  const Hwnd main = t.techniques.LocateTarget(Lookup::ByTitle);
  if (main == 0) return false;
  const Hwnd login = t.api.FindWindowA(nullptr, kAccountLoginTitle);
  if (login != 0 && t.techniques.ClickButtonByCaption(login, kLoginCancel)) return false;
  t.techniques.BringToFront(main);
  if (t.techniques.ClickButtonByCaption(main, kNet2PhoneOk)) return false;
  t.techniques.CloseWindowByTitle(kContactsTitle);
  t.api.SendMessageA(t.found.Net2PhoneHangUpButton, win::BM_CLICK, 0, 0);
  return true;
}

// A call dialog is cancelled; else the conversation window is left by its accelerators. Only when
// there is neither is the press taken as silencing the phone.
bool HangUpMsn(KeyTools& t, const MsnKeys& msn) {
  t.api.EnumWindows(t.finders.Proc(&Finders::FindMsnConversationWindow));
  const Hwnd main = t.techniques.LocateTarget(Lookup::ByTitle);
  if (main == 0) return false;
  t.techniques.BringToFront(main);
  for (const DialogButton& dialog : msn.hangUpDialogs) {
    const Hwnd d = t.api.FindWindowA(nullptr, dialog.title);
    if (d == 0) continue;
    t.techniques.BringToFront(d);
    if (t.techniques.ClickButtonByCaption(d, dialog.caption)) return false;
  }
  // The title outlives its window, so it is looked up again.
  const std::string& title = t.found.MsnConversationTitle;
  if (title.empty()) return true;
  const Hwnd conversation = t.api.FindWindowA(nullptr, title.c_str());
  if (conversation == 0) return true;
  t.techniques.BringToFront(conversation);
  for (const std::uint8_t key : msn.conversationAltKeys) {
    t.techniques.TapKeyWithModifier(win::VK_MENU, key);
  }
  return false;
}

bool HangUpYahoo(KeyTools& t) {
  const Hwnd main = t.techniques.LocateTarget(Lookup::ByTitle);
  if (main == 0) return false;
  t.techniques.RestoreAndActivate(main);
  t.api.EnumChildWindows(main, t.finders.Proc(&Finders::FindYahooToolbars));
  PostClick(t.api, t.found.YahooHangUpButton, kYahooButtonPoint, kMkLButton, 0);
  return true;
}

bool HangUpVoip(KeyTools& t, const VoipApp& voip) {
  const Hwnd main = LocateVoipWindow(t, voip);
  if (main == 0) return false;
  t.techniques.RestoreAndActivate(main);
  t.techniques.ClickButtonByCaption(main, kVoipOnHook);
  return true;
}

}  // namespace

void TMainForm::HandleHangUpKey() {
  if (CallingApp* calling = RowApp()) return CallingAppHangUpKey(*calling, *RowDialBuffer());
  KeyTools tools{*this, api_, techniques_, finders_, Found};
  techniques_.ForgetRefusals();
  // The apps that take whole commands are told, never sent queued actions.
  const Techniques::LiveTargetsOnly liveOnly(techniques_, RowDialBuffer() == nullptr);
  bool silence = false;
  switch (CurrentAppCode) {
    case app::Skype:
      silence = HangUpSkype(*this, api_);
      break;
    case app::SJphone:
      silence = HangUpSJphone(tools);
      break;
    case app::Net2PhoneDialer:
    case app::Net2PhoneCommCenter:
      silence = HangUpNet2Phone(tools);
      break;
    case app::Msn70:
    case app::Msn75:
      silence = HangUpMsn(tools, MsnKeysFor(CurrentAppCode));
      break;
    case app::YahooCallCenter:
      silence = HangUpYahoo(tools);
      break;
    case app::VoipBuster:
    case app::VoipStunt:
    case app::VoipCheap:
      silence = HangUpVoip(tools, VoipFor(CurrentAppCode));
      break;
    default:  // one click, key or button on the main window
      silence = RunMainWindowStep(tools, kHangUpKeySteps, CurrentAppCode);
      break;
  }
  // A target found running as administrator counts as found: the actions were skipped, but the
  // user still silenced the handset.
  if (silence || techniques_.RefusedAsAdministrator()) handset_.StopBuzzer();
}

}  // namespace telvaro
