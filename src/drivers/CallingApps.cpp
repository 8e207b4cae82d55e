// The one road of the handset's keys for every calling app that keeps its number in TELVARO: the
// keypad collects the number (or sends tones during a call), the call key dials or answers, the
// hang-up key ends or refuses. What differs per app is behind CallingApp.
#include <algorithm>

#include "platform/SenderIntegrity.h"
#include "shell/CallSwitch.h"
#include "shell/frmMailInterface.h"

namespace telvaro {

std::unique_ptr<CallingApp> CreateCallingApp(std::int32_t appCode, CallingAppHost& host) {
  switch (appCode) {
    case app::MicroSip:
      return MakeMicroSip(host, appCode);
    case app::TelLink:
      return MakeTelLink(host, appCode);
    case app::PhonerLite:
      return MakePhonerLite(host, appCode);
    case app::Linphone:
      return MakeLinphone(host, appCode);
    default:
      return nullptr;  // an older row, with its per-key branches
  }
}

void TMainForm::CreateCallingApps() {
  for (const TPhoneAppUnit& row : Apps) {
    std::unique_ptr<CallingApp> created = CreateCallingApp(row.AppCode, *this);
    if (created) callingRows_.push_back(CallingRow{row.AppCode, std::move(created), DialBuffer{}});
  }
}

CallingApp* TMainForm::CallingAppOf(std::int32_t appCode) {
  for (CallingRow& row : callingRows_) {
    if (row.appCode == appCode) return row.app.get();
  }
  return nullptr;
}

DialBuffer* TMainForm::DialBufferOf(std::int32_t appCode) {
  for (CallingRow& row : callingRows_) {
    if (row.appCode == appCode) return &row.buffer;
  }
  return nullptr;
}

const TPhoneAppUnit& TMainForm::Row(std::int32_t appCode) const {
  for (const TPhoneAppUnit& row : Apps) {
    if (row.AppCode == appCode) return row;
  }
  return Apps.front();
}

// Only the selected app's ringing sounds the handset; an app that takes USB phones itself rings
// them on its own.
void TMainForm::CallStateChanged(std::int32_t appCode) {
  CallingApp* app = CallingAppOf(appCode);
  if (app == nullptr || appCode != CurrentAppCode) return;
  ShowCallingAppCall(*app);
  if (app->DrivesUsbPhonesItself()) return;
  if (app->State() == CallState::Ringing) {
    handset_.StartBuzzer();
  } else {
    handset_.StopBuzzer();
  }
}

void TMainForm::CallEventArrived(WParam event, const std::string& caller) {
  CallingApp* app = RowApp();
  if (app == nullptr) return;
  CallState state = CallState::Idle;
  switch (static_cast<CallEvent>(event)) {
    case CallEvent::Ring:
      state = CallState::Ringing;
      break;
    case CallEvent::Up:
      state = CallState::Up;
      break;
    case CallEvent::End:
      break;
    default:
      return;  // not an event we know
  }
  if (app->CallEventReported(state, caller)) CallStateChanged(CurrentAppCode);
}

bool TMainForm::TakeCaller(TMessage& message) {
  const auto* data = reinterpret_cast<const CopyDataStruct*>(message.lParam);
  if (data == nullptr || data->dwData != kCallerCopyData) return false;
  // wParam names the handing-over process; a sandboxed one may not name our caller.
  if (data->lpData != nullptr && SenderMayAct(api_, static_cast<std::uint32_t>(message.wParam))) {
    const auto* bytes = static_cast<const char*>(data->lpData);
    const std::string text(bytes, std::min<std::size_t>(data->cbData, kCallerMaxBytes));
    FPendingCaller = CleanUtf8Caller(text.substr(0, text.find('\0')));
  }
  message.Result = 1;
  return true;
}

std::string TMainForm::CallerOfCall() {
  CallingApp* app = RowApp();
  return app == nullptr ? std::string{} : app->Caller();
}

// A 0 may still become "+" by a long press (Timer2Timer); the key is in the buffer already.
void TMainForm::CallingAppKeypadKey(CallingApp& app, DialBuffer& buffer, char key) {
  if (app.State() == CallState::Up) {
    app.SendTone(key);
    return;
  }
  if (!buffer.Add(key)) return;
  FHeldKey = '0';
  view_.StartTimer(FormTimer::Timer2);
}

// Answers a ringing call, else dials what was keyed in, else answers whatever the app offers.
// The number stays when the app did not take it, so the next press tries it again.
void TMainForm::CallingAppCallKey(CallingApp& app, DialBuffer& buffer) {
  if (app.State() == CallState::Ringing || buffer.Empty()) {
    app.Answer();
    return;
  }
  if (app.Dial(buffer.Text())) buffer.Dialled();
}

// The number goes whether or not the app took the command; the buzzer too, unless nothing was
// going on and the app had nothing to end.
void TMainForm::CallingAppHangUpKey(CallingApp& app, DialBuffer& buffer) {
  buffer.Clear();
  const CallState before = app.State();
  const bool taken = before == CallState::Ringing ? app.Refuse() : app.HangUp();
  if (app.DrivesUsbPhonesItself()) return;
  if (taken || before != CallState::Idle) handset_.StopBuzzer();
}

void TMainForm::SelectCallingApp(CallingApp& app) {
  if (!app.Present()) return ShowCallingAppAbsent(app);
  ShowTargetRunning();
  app.BringForward();
}

void TMainForm::PollCallingApp(CallingApp& app) {
  if (app.Present()) return ShowTargetRunning();
  ShowCallingAppAbsent(app);
  Found.Net2PhoneHangUpButton = 0;
}

void TMainForm::ShowCallingAppAbsent(CallingApp& app) {
  if (const char* why = app.Unreachable()) return ShowTargetProblem(why);
  ShowTargetNotRunning();
}

// The app chosen now gets the fast call poll if it asks for it; the one chosen before lets go,
// and the handset stops ringing for it.
void TMainForm::FollowChosenApp() {
  CallingApp* chosen = RowApp();
  if (polledApp_ != nullptr && polledApp_ != chosen) {
    if (polledApp_->State() == CallState::Ringing) handset_.StopBuzzer();
    polledApp_->Chosen(false);
    polledApp_ = nullptr;
  }
  if (chosen != nullptr && chosen != polledApp_ && chosen->Chosen(true)) polledApp_ = chosen;
  if (polledApp_ != nullptr) {
    view_.StartTimer(FormTimer::CallPoll);
  } else {
    view_.StopTimer(FormTimer::CallPoll);
  }
}

void TMainForm::CallPollTimer() {
  if (polledApp_ != nullptr) polledApp_->Tick();
}

}  // namespace telvaro
