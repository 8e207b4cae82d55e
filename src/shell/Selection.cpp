// Choosing the target application, and the presence poll that keeps its status current.
#include "shell/frmMailInterface.h"

namespace telvaro {

namespace {
bool IsNet2Phone(std::int32_t appCode) {
  return appCode == app::Net2PhoneDialer || appCode == app::Net2PhoneCommCenter;
}
}  // namespace

// Skype's and the Voip applications' titles are learned from the window actually found; the row
// keeps the learned title so that a later selection starts from it.
void TMainForm::LearnTitle(const std::string& title) {
  Apps.at(static_cast<std::size_t>(FAppIndex)).WindowTitle = title;
  FTargetTitle = title;
}

void TMainForm::LearnSkypeTitle() {
  api_.EnumWindows(finders_.Proc(&Finders::FindSkypeMainWindow));
  LearnTitle(Found.SkypeTitle);
}

// The combo box's change event comes only with a changed text: picking the item already shown
// runs nothing.
void TMainForm::combo_AppSelChange() {
  const int picked = view_.SelectedAppIndex();
  if (picked == shownAppItem_) return;
  shownAppItem_ = picked;
  combo_AppChange();
}

void TMainForm::combo_AppChange() {
  FAppIndex = view_.SelectedAppIndex();
  if (FAppIndex < 0 || FAppIndex >= kAppCount) return;
  SetTargetFromRow(FAppIndex);
  FollowChosenApp();
  if (CurrentAppCode == app::Skype) {
    // The status waits for the next poll or for Skype's answer to its ping.
    LearnSkypeTitle();
    FSkype->Attach(3);
    return;
  }
  FSkype->Detach();
  if (CallingApp* calling = RowApp()) return SelectCallingApp(*calling);
  Hwnd main = 0;
  if (IsVoip(CurrentAppCode)) {
    VoipApp voip = VoipFor(CurrentAppCode);
    // The field is not cleared first: a window found earlier stays until the poll refreshes it.
    api_.EnumWindows(voip.topLevelFinder);
    main = voip.fields.Window;
    if (main == 0) return ShowTargetNotRunning();
    LearnTitle(voip.fields.Title);
  } else {
    main = api_.FindWindowA(nullptr, FTargetTitle.c_str());
    if (main == 0) return ShowTargetNotRunning();
    if (IsNet2Phone(CurrentAppCode)) {
      api_.EnumChildWindows(main, finders_.Proc(&Finders::FindNet2PhoneControls));
    }
  }
  view_.ProcessPendingMessages();
  // A message handled there may have ended the program: then no window is brought forward.
  if (shutDown_) return;
  ShowTargetRunning();
  techniques_.RestoreAndActivate(main);
}

void TMainForm::Timer1Timer() {
  if (CurrentAppCode == app::Skype) return PollSkype();
  if (IsVoip(CurrentAppCode)) return PollVoip();
  if (CallingApp* calling = RowApp()) return PollCallingApp(*calling);
  const Hwnd main = api_.FindWindowA(nullptr, FTargetTitle.c_str());
  if (main == 0) {
    ShowTargetNotRunning();
    Found.Net2PhoneHangUpButton = 0;
    return;
  }
  ShowTargetRunning();
  // Net2Phone Dialer may have been started after it was selected: find its buttons once it runs.
  if (CurrentAppCode == app::Net2PhoneDialer && Found.Net2PhoneHangUpButton == 0) {
    api_.EnumChildWindows(main, finders_.Proc(&Finders::FindNet2PhoneControls));
  }
}

// Skype counts as running while it answers the ping of every tick.
void TMainForm::PollSkype() {
  if (!FSkypeSeen) {
    // Every silent tick looks again, for as long as Skype stays away, and reading the title and
    // class of every window on the desktop costs a few round trips to the system per window.
    // Without a window of the class the finder matches, the enumeration could match nothing.
    if (api_.FindWindowExA(0, 0, kSkypeMainWindowClass, nullptr) == 0) {
      LearnTitle(Found.SkypeTitle);
    } else {
      LearnSkypeTitle();
    }
    ShowTargetNotRunning();
    FSkype->Attach(3);
  }
  FSkypeSeen = false;
  FSkype->Ping();
}

void TMainForm::PollVoip() {
  VoipApp voip = VoipFor(CurrentAppCode);
  voip.fields.Window = 0;
  api_.EnumWindows(voip.topLevelFinder);
  if (voip.fields.Window == 0) {
    ShowTargetNotRunning();
    voip.fields.ContactList = 0;
    return;
  }
  LearnTitle(voip.fields.Title);
  view_.ProcessPendingMessages();
  if (shutDown_) return;
  ShowTargetRunning();
}

}  // namespace telvaro
