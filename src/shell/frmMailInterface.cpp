#include "shell/frmMailInterface.h"

#include <exception>
#include <utility>

#include "platform/SenderIntegrity.h"
#include "shell/CallSwitch.h"

namespace telvaro {

TMainForm::TMainForm(WindowsApi& api, HandsetLibrary& handset, MainWindowView& view,
                     TApplication& app)
    : TMainForm(api, HandsetSources{}, view, app) {
  ownLibrary_ = std::make_unique<LibrarySource>(handset);
  handset_.Add(*ownLibrary_);
}

TMainForm::TMainForm(WindowsApi& api, HandsetSources handsets, MainWindowView& view,
                     TApplication& app)
    : api_(api),
      handset_(std::move(handsets)),
      view_(view),
      app_(app),
      finders_(api, Found, CurrentAppCode),
      techniques_(
          api, TargetFields{FTargetTitle, FTargetClass}, [this] { ShowTargetNotRunning(); },
          [this](const char* suffix) { ShowTargetProblem(suffix); }),
      showMainWindowMessage_(api.RegisterWindowMessageA(kShowMainWindowMessage)),
      callEventMessage_(api.RegisterWindowMessageA(kCallEventMessage)),
      exitMessage_(api.RegisterWindowMessageA(kExitMessage)) {
  for (HandsetSource* source : handset_.All()) {
    source->SetHookSwitchLeftToApp([this] { return HookSwitchLeftToApp(); });
  }
  CreateCallingApps();
}

TMainForm::~TMainForm() = default;

// --- Start-up, close and shutdown ---------------------------------------------------------------

void TMainForm::FormCreate() {
  // The order of these steps is fixed: the selection handler must see the settings and the Skype
  // client, and handset detection comes last so that no key arrives before a target is set.
  // Any error ends start-up silently at its step; the window still runs.
  try {
    ResetRunTimeState();
    FRegistry = std::make_unique<TMyRegistry>(api_);
    AppConfig = std::make_unique<TDialbridge>(api_);
    CreateSkypeClient();
    AppConfig->LoadConfig();
    FStartAutoRun = AppConfig->AutoRun;
    SyncRunEntry(*FRegistry, api_.GetModuleFileNameW(), FStartAutoRun,
                 MachineRunEntryAllowed(api_));
    view_.SetAutoRunChecked(FStartAutoRun);
    for (const TPhoneAppUnit& row : Apps) view_.AddAppItem(row.DisplayName);
    // A stored index outside the table would select no row: fall back to the first (Skype).
    if (AppConfig->CurrentAppIndex < 0 || AppConfig->CurrentAppIndex >= kAppCount) {
      AppConfig->CurrentAppIndex = 0;
    }
    FAppIndex = AppConfig->CurrentAppIndex;
    FStartAppIndex = FAppIndex;
    SelectStoredApp(AppConfig->CurrentAppIndex);
    SetTargetFromRow(FAppIndex);
    StartHandsetDetection();
    // Said once; the presence poll's next status replaces it.
    if (!handset_.notice.empty()) SetStatusLine(handset_.notice);
  } catch (const std::exception&) {
    // Start-up errors are swallowed on purpose: the tray icon must still come up.
  }
}

void TMainForm::ResetRunTimeState() {
  RingingCallId = 0;
  ActiveCallId = 0;
  FDialBuffer.clear();
  Found.SkypeMainWindow = 0;
  FContactMode = false;
  FCallPending = false;
  Found.Net2PhoneButtonTurn = 0;
  Found.YahooButtonTurn = 0;
  FClearEditPending = 0;
}

void TMainForm::CreateSkypeClient() {
  app_.Skype = std::make_unique<TSkypeControl>(api_, view_);
  FSkype = app_.Skype.get();
  FSkype->OnCallInfo = [this](std::int32_t id, TSkypeCallProperty property,
                              const std::string& data) { SkypeCallInfo(id, property, data); };
  FSkype->OnCopyData = [this](const std::string& rawdata) {
    SkypeCopyData(rawdata);
    RefreshDialDisplay();  // a contact focused in Skype becomes the number
  };
  FSkype->OnPong = [this](TSkypeControl&) { SkypePong(); };
}

// Selecting the stored item changes the combo box's text from empty to its name, so the selection
// handler runs once, exactly as when the user picks an application.
void TMainForm::SelectStoredApp(int index) {
  view_.SelectAppItem(index);
  combo_AppSelChange();
}

void TMainForm::SetTargetFromRow(int index) {
  const TPhoneAppUnit& row = Apps.at(static_cast<std::size_t>(index));
  CurrentAppCode = row.AppCode;
  FTargetClass = row.WindowClass;
  FTargetTitle = row.WindowTitle;
}

void TMainForm::FormClose(bool mayAskUser) {
  if (!AppConfig || !FRegistry) return;
  const int selected = view_.SelectedAppIndex();
  const bool autoRun = view_.AutoRunChecked();
  if (selected == FStartAppIndex && autoRun == FStartAutoRun) return;
  if (SyncRunEntry(*FRegistry, api_.GetModuleFileNameW(), autoRun, MachineRunEntryAllowed(api_)) ==
          RunEntrySync::MachineEntryNeedsAdministrator &&
      mayAskUser) {
    // Said when the user turns it off, not at every start: the choice is saved all the same.
    api_.MessageBoxA(view_.MainWindowHandle(), kRunEntryNeedsAdministrator, kApplicationTitle,
                     win::MB_OK | win::MB_ICONINFORMATION);
  }
  AppConfig->AutoRun = autoRun;
  AppConfig->CurrentAppIndex = selected;
  AppConfig->SaveConfig();
}

// Runs once, however the program ends; after a session end only the settings objects are left.
void TMainForm::FormDestroy() {
  const bool first = !shutDown_;
  shutDown_ = true;
  if (first && FSkype) FSkype->Detach();
  AppConfig.reset();
  FRegistry.reset();
  if (first) ShutDownHandset();
}

// Each source stops its scan, its buzzer, then closes its device.
void TMainForm::ShutDownHandset() {
  for (HandsetSource* source : handset_.All()) source->Shutdown();
}

void TMainForm::Close() {
  if (shutDown_) return;
  try {
    FormClose();
  } catch (const std::exception& e) {
    // The settings could not be saved: say why and keep running.
    view_.ShowErrorMessage(e.what());
    return;
  }
  view_.DestroyMainWindow();
}

void TMainForm::EndSession() {
  if (shutDown_) return;
  try {
    FormClose(false);  // nobody is there to read a message box now
  } catch (const std::exception&) {
    // Swallowed: a message box now would only hold up the session's end.
  }
  shutDown_ = true;
  // The buzzer must not outlive us, so the handset comes before Skype.
  ShutDownHandset();
  if (FSkype) FSkype->Detach();
  // Should the process outlive this message, nothing is left to answer keys or ticks.
  view_.DestroyMainWindow();
}

void TMainForm::LoopEnded() {
  if (!shutDown_) {
    try {
      FormClose(false);
    } catch (const std::exception&) {
      // Swallowed: the loop is gone, a message box could not be answered.
    }
    view_.DestroyMainWindow();
  }
  FormDestroy();  // in case the window was gone without its destruction reaching us
}

// --- Message map --------------------------------------------------------------------------------

bool TMainForm::Dispatch(TMessage& message) {
  const auto& sources = handset_.All();
  for (std::size_t i = 0; i < sources.size(); ++i) {
    const HandsetMessages m = HandsetSources::MessagesFor(i);
    if (message.Msg == m.arrival) {
      handset_.Arrived(i, message.wParam, message.lParam);
      return true;
    }
    if (message.Msg == m.removal) {
      handset_.Removed(i, message.wParam, message.lParam);
      return true;
    }
  }
  switch (message.Msg) {
    case win::WM_DEVICECHANGE:
      WMDeviceChange(message);
      return true;
    case WM_HANDSET_KEYDOWN:
    case WM_HANDSET_KEYUP:
      HandsetKeyMessage(message);
      return true;
    case win::WM_QUERYENDSESSION:
      // Nothing to ask the user: the session may end at once.
      message.Result = 1;
      return true;
    case win::WM_ENDSESSION:
      if (message.wParam != 0) EndSession();
      return true;
    case win::WM_POWERBROADCAST:
      // Devices may have been re-enumerated during sleep.
      if (message.wParam != win::PBT_APMRESUMEAUTOMATIC) return false;
      if (!shutDown_) handset_.Resume();
      message.Result = 1;
      return true;
    default:
      break;
  }
  if (message.Msg == showMainWindowMessage_ && showMainWindowMessage_ != 0) {
    // A second copy was started: it wants what "&Open TELVARO" does.
    if (!shutDown_) view_.ShowMainWindow();
    return true;
  }
  if (message.Msg == callEventMessage_ && callEventMessage_ != 0) {
    // lParam names the handing-over process (`--call`).
    if (!shutDown_ && SenderMayAct(api_, static_cast<std::uint32_t>(message.lParam))) {
      CallEventArrived(message.wParam, std::exchange(FPendingCaller, {}));
    }
    return true;
  }
  if (message.Msg == exitMessage_ && exitMessage_ != 0) {
    if (shutDown_ || !SenderMayAct(api_, static_cast<std::uint32_t>(message.lParam))) return true;
    message.Result = 1;
    Close();
    return true;
  }
  if (message.Msg == win::WM_COPYDATA && TakeCaller(message)) return true;
  // The four auxiliary handset messages are taken and ignored.
  if (message.Msg >= WM_HANDSET_AUX1 && message.Msg <= WM_HANDSET_AUX4) return true;
  for (HandsetSource* source : sources) {
    if (source->OtherMessage(message)) return true;
  }
  return false;
}

// --- Status -------------------------------------------------------------------------------------

void TMainForm::SetStatusLine(const std::string& text) {
  view_.SetStatusText(text);
  statusLine_ = text;
  RefreshDialDisplay();
}

void TMainForm::ShowStatus(const char* suffix, int imageIndex) {
  view_.SetStatusText(FTargetTitle + suffix);
  statusLine_ = FTargetTitle + suffix;
  view_.SetStateImage(imageIndex);
  RefreshDialDisplay();
}

void TMainForm::ShowTargetRunning() { ShowStatus(" is running.", 1); }

void TMainForm::ShowTargetNotRunning() { ShowStatus(" is not running.", 0); }

// The target runs, so the tray image stays as it is.
void TMainForm::ShowTargetProblem(const char* suffix) { SetStatusLine(FTargetTitle + suffix); }

void TMainForm::ShowTargetNotResponding() { ShowTargetProblem(kTargetNotResponding); }

void TMainForm::SkypePong() {
  FSkypeSeen = true;
  ShowTargetRunning();
}

// --- Handset ------------------------------------------------------------------------------------

void TMainForm::StartHandsetDetection() {
  const auto& sources = handset_.All();
  for (std::size_t i = 0; i < sources.size(); ++i) {
    sources[i]->StartDetection(view_.MainWindowHandle(), HandsetSources::MessagesFor(i));
  }
}

void TMainForm::WMDeviceChange(TMessage& message) {
  for (HandsetSource* source : handset_.All()) source->DeviceChange(message.wParam, message.lParam);
  // Grants every query (a device the system wants back, for example): whatever we hold of it
  // has been let go above.
  message.Result = 1;
}

// --- The Voip applications
// ------------------------------------------------------------------------

bool TMainForm::IsVoip(std::int32_t appCode) const {
  return appCode == app::VoipBuster || appCode == app::VoipStunt || appCode == app::VoipCheap;
}

VoipApp TMainForm::VoipFor(std::int32_t appCode) {
  switch (appCode) {
    case app::VoipStunt:
      return VoipApp{Found.VoipStunt, finders_.Proc(&Finders::FindVoipStuntWindow),
                     finders_.Proc(&Finders::FindVoipStuntControls),
                     Found.VoipStuntClearEditPending};
    case app::VoipCheap:
      return VoipApp{Found.VoipCheap, finders_.Proc(&Finders::FindVoipCheapWindow),
                     finders_.Proc(&Finders::FindVoipCheapControls),
                     Found.VoipCheapClearEditPending};
    default:
      return VoipApp{Found.VoipBuster, finders_.Proc(&Finders::FindVoipBusterWindow),
                     finders_.Proc(&Finders::FindVoipBusterControls), FClearEditPending};
  }
}

// --- Single instance ----------------------------------------------------------------------------

bool AnotherInstanceRuns(WindowsApi& api) {
  const Handle mutex = api.CreateMutexA(true, kInstanceMutexName);
  const std::uint32_t error = api.GetLastError();
  // A copy running with other rights (elevated) holds the mutex where we may not open it.
  const bool denied = mutex == 0 && error == static_cast<std::uint32_t>(win::ERROR_ACCESS_DENIED);
  if (error != win::ERROR_ALREADY_EXISTS && !denied) return false;
  Hwnd running = api.FindWindowA(kMainWindowClass, kMainWindowCaption);
  if (running == 0) return true;
  // Its window is hidden in the notification area, where bringing it forward shows nothing: the
  // running copy shows itself, with the foreground right that we, just started by the user, hold.
  std::uint32_t processId = 0;
  api.GetWindowThreadProcessId(running, &processId);
  if (processId != 0) api.AllowSetForegroundWindow(processId);
  if (UInt show = api.RegisterWindowMessageA(kShowMainWindowMessage); show != 0) {
    api.PostMessageA(running, show, 0, 0);
  }
  api.SetForegroundWindow(running);
  return true;
}

}  // namespace telvaro
