#include "shell/frmMailInterface.h"

#include <exception>

namespace telvaro {

TMainForm::TMainForm(WindowsApi& api, HandsetLibrary& handset, MainWindowView& view,
                     TApplication& app)
    : api_(api),
      handset_(handset),
      view_(view),
      app_(app),
      finders_(api, Found, CurrentAppCode),
      techniques_(api, TargetFields{FTargetTitle, FTargetClass},
                  [this] { ShowTargetNotRunning(); }) {}

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
    SyncRunEntry(*FRegistry, api_.GetModuleFileNameW(), FStartAutoRun);
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
  FSkype->OnCopyData = [this](const std::string& rawdata) { SkypeCopyData(rawdata); };
  FSkype->OnPong = [this](TSkypeControl&) { SkypePong(); };
}

// Selecting an item changes the combo box's text only when another item was shown; only then does
// the selection handler run, exactly as when the user picks an application.
void TMainForm::SelectStoredApp(int index) {
  const bool textChanges = view_.SelectedAppIndex() != index;
  view_.SelectAppItem(index);
  if (textChanges) combo_AppChange();
}

void TMainForm::SetTargetFromRow(int index) {
  const TPhoneAppUnit& row = Apps.at(static_cast<std::size_t>(index));
  CurrentAppCode = row.AppCode;
  FTargetClass = row.WindowClass;
  FTargetTitle = row.WindowTitle;
}

void TMainForm::FormClose() {
  if (!AppConfig || !FRegistry) return;
  const int selected = view_.SelectedAppIndex();
  const bool autoRun = view_.AutoRunChecked();
  if (selected == FStartAppIndex && autoRun == FStartAutoRun) return;
  if (SyncRunEntry(*FRegistry, api_.GetModuleFileNameW(), autoRun) ==
      RunEntrySync::MachineEntryNeedsAdministrator) {
    // Said when the user turns it off, not at every start: the choice is saved all the same.
    api_.MessageBoxA(view_.MainWindowHandle(), kRunEntryNeedsAdministrator, kApplicationTitle,
                     win::MB_OK | win::MB_ICONINFORMATION);
  }
  AppConfig->AutoRun = autoRun;
  AppConfig->CurrentAppIndex = selected;
  AppConfig->SaveConfig();
}

void TMainForm::FormDestroy() {
  if (FSkype) FSkype->Detach();
  AppConfig.reset();
  FRegistry.reset();
  handset_.StopKeyScan();
  handset_.StopBuzzer();
  handset_.CloseDevice();
}

// --- Message map --------------------------------------------------------------------------------

bool TMainForm::Dispatch(TMessage& message) {
  switch (message.Msg) {
    case win::WM_DEVICECHANGE:
      WMDeviceChange(message);
      return true;
    case WM_HANDSET_ARRIVAL:
      WMHandsetArrival(message);
      return true;
    case WM_HANDSET_REMOVAL:
      WMHandsetRemoval(message);
      return true;
    case WM_HANDSET_KEYDOWN:
      WMHandsetKeyDown(message);
      return true;
    case WM_HANDSET_KEYUP:
      WMHandsetKeyUp(message);
      return true;
    default:
      // The four auxiliary handset messages are taken and ignored.
      return message.Msg >= WM_HANDSET_AUX1 && message.Msg <= WM_HANDSET_AUX4;
  }
}

// --- Status -------------------------------------------------------------------------------------

void TMainForm::ShowStatus(const char* suffix, int imageIndex) {
  view_.SetStatusText(FTargetTitle + suffix);
  view_.SetStateImage(imageIndex);
}

void TMainForm::ShowTargetRunning() { ShowStatus(" is running.", 1); }

void TMainForm::ShowTargetNotRunning() { ShowStatus(" is not running.", 0); }

void TMainForm::SkypePong() {
  FSkypeSeen = true;
  ShowTargetRunning();
}

// --- Handset ------------------------------------------------------------------------------------

void TMainForm::StartHandsetDetection() {
  handset_.CloseDevice();
  handset_.StartDeviceDetection(view_.MainWindowHandle(), WM_HANDSET_ARRIVAL, WM_HANDSET_REMOVAL,
                                WM_HANDSET_KEYDOWN, WM_HANDSET_KEYUP, WM_HANDSET_AUX1,
                                WM_HANDSET_AUX1 + 1, WM_HANDSET_AUX1 + 2, WM_HANDSET_AUX4);
}

void TMainForm::WMDeviceChange(TMessage& message) {
  handset_.HandleUsbDeviceChange(static_cast<std::uint32_t>(message.wParam),
                                 static_cast<std::uint32_t>(message.lParam));
}

void TMainForm::WMHandsetArrival(TMessage&) { handset_.StartKeyScan(); }

void TMainForm::WMHandsetRemoval(TMessage&) {
  handset_.StopKeyScan();
  handset_.CloseDevice();
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
  api.CreateMutexA(true, kInstanceMutexName);
  if (api.GetLastError() != win::ERROR_ALREADY_EXISTS) return false;
  if (Hwnd running = api.FindWindowA(kMainWindowClass, kMainWindowCaption); running != 0) {
    api.SetForegroundWindow(running);
  }
  return true;
}

}  // namespace telvaro
