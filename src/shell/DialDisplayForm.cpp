// The main window's side of the dial display: what is keyed for the selected row, the call shown
// with its caller, and the last status line, handed to the view whenever the text changes.
#include "handset/KeyCodes.h"
#include "shell/frmMailInterface.h"

namespace telvaro {

std::string TMainForm::KeyedNumber() {
  if (const DialBuffer* buffer = RowDialBuffer()) return buffer->Text();
  if (CurrentAppCode == app::Skype) return FDialBuffer;
  return typedEcho_.For(CurrentAppCode);
}

void TMainForm::ShowCall(CallShown state, const std::string& caller) {
  callShown_ = state;
  callerShown_ = CleanCaller(caller);
  RefreshDialDisplay();
}

// An app that went idle after a call shows the call ended until the next key.
void TMainForm::ShowCallingAppCall(const CallingApp& app) {
  switch (app.State()) {
    case CallState::Ringing:
      return ShowCall(CallShown::Ringing, app.Caller());
    case CallState::Up:
      return ShowCall(CallShown::InCall, app.Caller());
    case CallState::Idle:
      if (callShown_ == CallShown::Ringing || callShown_ == CallShown::InCall) {
        ShowCall(CallShown::Ended, "");
      }
      return;
  }
}

void TMainForm::RefreshDialDisplay() {
  if (shutDown_) return;
  const bool rowKnown = FAppIndex >= 0 && FAppIndex < static_cast<std::int32_t>(Apps.size());
  const DialDisplayState state{
      rowKnown ? Apps[static_cast<std::size_t>(FAppIndex)].DisplayName : std::string(),
      KeyedNumber(), callShown_, callerShown_, statusLine_};
  const DialDisplayText text = DialDisplayTextFor(state);
  if (text == displayShown_) return;
  const bool popUp = DialDisplayOn() && !text.Joined().empty();
  displayShown_ = text;
  view_.ShowDialDisplay(text, popUp);
}

void TMainForm::SetDialDisplayOn(bool on) {
  if (!AppConfig) return;
  AppConfig->DialDisplay = on;
  if (!on) view_.HideDialDisplay();
  try {
    AppConfig->SaveDialDisplay();
  } catch (const RegistryError&) {
    // Not writable: the choice holds until the program ends.
  }
}

// Keys typed straight into an application are echoed for the display; the call and hang-up keys
// end what was being dialled, and a key after a call's end starts the next number.
void TMainForm::AfterKeyDown(WParam code) {
  const char key = KeypadKeyForCode(static_cast<int>(code));
  if (key != '\0') {
    if (RowDialBuffer() == nullptr && CurrentAppCode != app::Skype) {
      typedEcho_.Key(CurrentAppCode, key);
    }
    if (callShown_ == CallShown::Ended) callShown_ = CallShown::None;
  } else if (code == kCallKeyCode || code == kHangUpKeyCode) {
    typedEcho_.Clear();
  }
  RefreshDialDisplay();
}

}  // namespace telvaro
