// The call key: answers a ringing call or places one in the selected application.
#include "drivers/CallKeyTables.h"
#include "drivers/KeySteps.h"
#include "shell/frmMailInterface.h"

namespace telvaro {

using namespace keydata;

namespace {

// Skype answers through its API. A press while Skype is behind other windows only brings it
// forward, so that a number is never dialled into a Skype the user cannot see.
void CallSkype(TMainForm& form, WindowsApi& api) {
  if (form.ActiveCallId != 0) {
    form.BringSkypeForward();
    return;
  }
  if (form.RingingCallId != 0) {
    // A busy Skype that never got the answer still rings: the next press must answer it again.
    if (!form.FSkype->SetCallProperty(form.RingingCallId, TSkypeCallProperty::Status,
                                      kSkypeAnswer)) {
      form.ShowTargetNotResponding();
      return;
    }
    form.FSkype->HookOff();
    // The buzzer stops when Skype reports the call in progress.
    form.ActiveCallId = form.RingingCallId;
    form.RingingCallId = 0;
    form.BringSkypeForward();
    return;
  }
  const Hwnd skypeMain = api.FindWindowA(form.FTargetClass.c_str(), nullptr);
  if (skypeMain != api.GetForegroundWindow()) {
    form.BringSkypeForward();
    return;
  }
  // The dial copy outlives the call, so a press with nothing new dialled redials it.
  // A call Skype never heard of keeps what was dialled for the next press.
  if (!form.FDialCopy.empty()) {
    if (!form.FSkype->PlaceCall(form.FDialCopy)) return form.ShowTargetNotResponding();
    form.FDialBuffer.clear();
  } else if (!form.FDialBuffer.empty()) {
    if (!form.FSkype->PlaceCall(form.FDialBuffer)) return form.ShowTargetNotResponding();
    form.FDialCopy = form.FDialBuffer;
    form.FDialBuffer.clear();
  }
  form.BringSkypeForward();
}

// An incoming call is accepted in its own window, which is left where it is.
void CallSJphone(KeyTools& t) {
  const Hwnd main = t.techniques.LocateTarget(Lookup::ByTitle);
  if (main == 0) return;
  const Hwnd incoming = t.api.FindWindowA(nullptr, kSjIncomingCallTitle);
  if (incoming != 0 && t.techniques.ClickButtonByCaption(incoming, kSjAccept)) return;
  t.techniques.BringToFront(main);
  t.techniques.ClickButtonByCaption(main, kSjDial);
}

// The call button was found by the keypad keys; the main window stays where it is.
void CallNet2Phone(KeyTools& t) {
  if (t.techniques.LocateTarget(Lookup::ByTitle) == 0) return;
  t.api.SendMessageA(t.found.Net2PhoneCallButton, win::BM_CLICK, 0, 0);
}

// An open call dialog takes Enter even when the main window is gone. Otherwise the first press
// brings Messenger forward and the next one opens the call dialog by its accelerators.
void CallMsn(KeyTools& t, const MsnKeys& msn) {
  if (const Hwnd dialog = FindFirstWindow(t.api, msn.callDialogs); dialog != 0) {
    t.techniques.BringToFront(dialog);
    t.techniques.TapKey(win::VK_RETURN);
    return;
  }
  const Hwnd main = t.techniques.LocateTarget(Lookup::ByTitle);
  if (main == 0) return;
  if (main != t.api.GetForegroundWindow()) {
    t.techniques.RestoreAndActivate(main);
    return;
  }
  t.techniques.BringToFront(main);
  t.techniques.TapKeyWithModifier(win::VK_MENU, kKeyA);
  t.techniques.TapKey(msn.callLetter);
  t.techniques.TapKey(win::VK_RETURN);
}

// The button-up says no button is held any more (wParam 0), unlike ClickAt's.
void CallYahoo(KeyTools& t) {
  const Hwnd main = t.techniques.LocateTarget(Lookup::ByTitle);
  if (main == 0) return;
  t.techniques.RestoreAndActivate(main);
  t.api.EnumChildWindows(main, t.finders.Proc(&Finders::FindYahooToolbars));
  PostClick(t.api, t.found.YahooCallButton, kYahooButtonPoint, kMkLButton, 0);
}

void CallVoip(KeyTools& t, const VoipApp& voip) {
  const Hwnd main = LocateVoipWindow(t, voip);
  if (main == 0) return;
  t.techniques.RestoreAndActivate(main);
  t.techniques.ClickButtonByCaption(main, kVoipOffHook);
}

}  // namespace

void TMainForm::HandleCallKey() {
  if (CallingApp* calling = RowApp()) return CallingAppCallKey(*calling, *RowDialBuffer());
  KeyTools tools{*this, api_, techniques_, finders_, Found};
  // The apps that take whole commands are told, never sent queued actions.
  const Techniques::LiveTargetsOnly liveOnly(techniques_, RowDialBuffer() == nullptr);
  switch (CurrentAppCode) {
    case app::Skype:
      CallSkype(*this, api_);
      break;
    case app::SJphone:
      CallSJphone(tools);
      break;
    case app::Net2PhoneDialer:
    case app::Net2PhoneCommCenter:
      CallNet2Phone(tools);
      break;
    case app::Msn70:
    case app::Msn75:
      CallMsn(tools, MsnKeysFor(CurrentAppCode));
      break;
    case app::YahooCallCenter:
      CallYahoo(tools);
      break;
    case app::VoipBuster:
    case app::VoipStunt:
    case app::VoipCheap:
      CallVoip(tools, VoipFor(CurrentAppCode));
      break;
    default:  // one click, key or button on the main window
      RunMainWindowStep(tools, kCallKeySteps, CurrentAppCode);
      break;
  }
}

}  // namespace telvaro
