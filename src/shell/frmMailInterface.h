// TMainForm: the program's one window and the owner of its run-time state. The Win32 view forwards
// messages, timer ticks and user actions here; every decision is made in this portable class.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "drivers/AppTable.h"
#include "drivers/CallingApp.h"
#include "drivers/DialBuffer.h"
#include "drivers/Finders.h"
#include "drivers/FoundWindows.h"
#include "drivers/Techniques.h"
#include "handset/HandsetLibrary.h"
#include "handset/HandsetSource.h"
#include "handset/LibrarySource.h"
#include "platform/MainWindowHost.h"
#include "platform/WindowsApi.h"
#include "settings/MRegistry.h"
#include "settings/clsDialbridgeConfig.h"
#include "shell/DialDisplay.h"
#include "shell/MainWindowView.h"
#include "skype/SkypeControl.h"

namespace telvaro {

inline constexpr const char* kMainWindowClass = "TMainForm";
inline constexpr const char* kMainWindowCaption = "TELVARO 1.3.0";
inline constexpr const char* kApplicationTitle = "TELVARO";
inline constexpr const char* kInstanceMutexName = "DIALBRIDGE";
// Registered message by which a second copy asks the running one to show its window.
inline constexpr const char* kShowMainWindowMessage = "TELVARO.ShowMainWindow";
// Registered message by which the setup program ends a running copy, as "E&xit" does; the answer
// is 1 when the copy ends. An elevated copy never gets a lower program's WM_CLOSE (UIPI), but lets
// this one through its message filter; lParam names the sender's process.
inline constexpr const char* kExitMessage = "TELVARO.Exit";

// The application object: it owns the Skype client, which outlives the main window.
struct TApplication {
  std::unique_ptr<TSkypeControl> Skype;
};

class TMainForm final : public CallingAppHost {
 public:
  // With the handset library as the only handset source.
  TMainForm(WindowsApi& api, HandsetLibrary& handset, MainWindowView& view, TApplication& app);
  // With any handset sources (none, the library, HID telephony devices, or several).
  TMainForm(WindowsApi& api, HandsetSources handsets, MainWindowView& view, TApplication& app);
  ~TMainForm();

  // Life cycle, called by the view.
  void FormCreate();
  // Throws RegistryError when the settings cannot be saved; the window then stays open.
  // mayAskUser false: while the session ends or after the loop, when no dialog can be answered.
  void FormClose(bool mayAskUser = true);
  void FormDestroy();
  // "E&xit" and a WM_CLOSE from another program: the close handling, then the window goes. An
  // error of the close handling is shown and the program keeps running.
  void Close();
  // The session really ends: Windows ends the process as soon as this returns, and nobody is
  // there to answer a message box.
  void EndSession();
  // The message loop ended without the window's destruction (a WM_QUIT from outside, a failing
  // GetMessage): the same teardown, so that nothing is lost and the handset is released.
  void LoopEnded();
  // True from the start of the shutdown on: a handler that processed pending messages stops.
  bool ShuttingDown() const { return shutDown_; }
  UInt ShowMainWindowMessage() const { return showMainWindowMessage_; }
  // The road by which `telvaro.exe --call` hands MicroSIP's call events over.
  UInt CallEventMessage() const { return callEventMessage_; }
  UInt ExitMessage() const { return exitMessage_; }

  // The message map; true when one of its handlers took the message.
  bool Dispatch(TMessage& message);

  // Selection and presence poll. combo_AppSelChange is what the combo box reports when an item
  // is picked; it runs combo_AppChange only when the shown text changes.
  void combo_AppSelChange();
  void combo_AppChange();
  void Timer1Timer();

  // Status line and icons.
  void ShowTargetRunning();
  void ShowTargetNotRunning() override;
  // " is not in front.", " runs as administrator.", " is not responding." after the title.
  void ShowTargetProblem(const char* suffix) override;
  void ShowTargetNotResponding();

  // Skype client events.
  void SkypePong();
  void SkypeCopyData(const std::string& rawdata);
  void SkypeCallInfo(std::int32_t callId, TSkypeCallProperty callProperty, const std::string& data);

  // Handset.
  void StartHandsetDetection();
  // Whether the selected application drives USB phones' hook switch and ringer itself (MicroSIP
  // with its headset support on), so that the HID devices give it neither; said once in the
  // status line each time it starts to hold (handset/HidHookOwner.cpp).
  bool HookSwitchLeftToApp();
  void WMDeviceChange(TMessage& message);
  void WMHandsetKeyDown(TMessage& message);
  void WMHandsetKeyUp(TMessage& message);
  // Both key messages come here: each key is handled to its end before the next one begins.
  void HandsetKeyMessage(TMessage& message);
  void HandleOneKeyMessage(TMessage& message);
  void AppendDialDigit(char key);
  void Timer2Timer();
  // The fast tick while an app whose call state is asked is selected (phonerlite).
  void CallPollTimer();
  void BringSkypeForward();

  // One handler per handset key.
  void HandleKeypadKey(char key);
  void HandleCallKey();
  void HandleHangUpKey();
  void HandleUpKey();
  void HandleDownKey();
  // Keys only standard USB phones have.
  void HandleRedialKey();
  void HandleBackspaceKey();
  void HandleFlashKey();
  void HandleMuteKey();

  // A softphone's call events, handed over by `telvaro.exe --call` (wParam: a CallEvent), for
  // the selected calling app.
  void CallEventArrived(WParam event, const std::string& caller = {});
  // The caller `telvaro.exe --call ring` sends ahead of the ring (WM_COPYDATA, kCallerCopyData).
  bool TakeCaller(TMessage& message);
  // The caller of the selected calling app's call, UTF-8, at most 64 characters; may be empty.
  std::string CallerOfCall();

  // The calling apps that keep their number here (drivers/CallingApps.cpp): the app object and
  // the dial buffer of a row, nullptr on the older rows; RowApp/RowDialBuffer for the selected.
  CallingApp* CallingAppOf(std::int32_t appCode);
  DialBuffer* DialBufferOf(std::int32_t appCode);
  CallingApp* RowApp() { return CallingAppOf(CurrentAppCode); }
  DialBuffer* RowDialBuffer() { return DialBufferOf(CurrentAppCode); }

  // CallingAppHost
  WindowsApi& Api() override { return api_; }
  Techniques& Injection() override { return techniques_; }
  const TPhoneAppUnit& Row(std::int32_t appCode) const override;
  void CallStateChanged(std::int32_t appCode) override;

  // The dial display and the tray tooltip (shell/DialDisplay). KeyedNumber: what is keyed for the
  // selected row. ShowCall: the one way in for a call's state and caller, whichever application
  // reports them. RefreshDialDisplay: after every key and status change; shown only on a change.
  std::string KeyedNumber();
  void ShowCall(CallShown state, const std::string& caller);
  void ShowCallingAppCall(const CallingApp& app);
  void RefreshDialDisplay();
  bool DialDisplayOn() const { return !AppConfig || AppConfig->DialDisplay; }
  void SetDialDisplayOn(bool on);

  // Run-time state (the fields and globals the key handlers share).
  AppTable Apps = InitialAppTable();
  std::string FTargetClass;
  std::string FTargetTitle;
  std::int32_t FAppIndex = 0;
  std::int32_t FStartAppIndex = 0;
  bool FStartAutoRun = false;
  std::string FDialBuffer;
  std::string FDialCopy;
  bool FSkypeSeen = false;
  bool FContactMode = false;
  std::uint8_t FClearEditPending = 0;
  bool FCallPending = false;
  std::string FCallDirection;
  char FHeldKey = 0;
  std::int32_t CurrentAppCode = 0;
  std::int32_t RingingCallId = 0;
  std::int32_t ActiveCallId = 0;
  std::int32_t LastCallId = 0;
  FoundWindows Found;  // with SkypeMainWindow
  std::unique_ptr<TMyRegistry> FRegistry;
  std::unique_ptr<TDialbridge> AppConfig;
  TSkypeControl* FSkype = nullptr;  // owned by the application object

 private:
  void ResetRunTimeState();
  void ShutDownHandset();
  void CreateSkypeClient();
  void SelectStoredApp(int index);
  void SetTargetFromRow(int index);
  void ShowStatus(const char* suffix, int imageIndex);
  void SendToSkype(char c);
  void RunKeyWork(const std::function<void()>& work);
  void HeldZeroKeyTimer();
  VoipApp VoipFor(std::int32_t appCode);
  bool IsVoip(std::int32_t appCode) const;
  void LearnTitle(const std::string& title);
  void LearnSkypeTitle();
  void PollSkype();
  void PollVoip();
  void NewCallInfo(std::int32_t callId, std::string_view word, const std::string& data);
  void SetStatusLine(const std::string& text);
  void AfterKeyDown(WParam code);
  void ShowSkypeCall(CallShown state, std::int32_t callId);
  void TakeSkypeCaller(std::int32_t callId, TSkypeCallProperty property, const std::string& data);

  // Keypad keys (drivers/KeypadKey.cpp)
  void SkypeStarKey();

  // The calling apps' keys (drivers/CallingApps.cpp): one road for all of them.
  struct CallingRow {
    std::int32_t appCode = 0;
    std::unique_ptr<CallingApp> app;
    DialBuffer buffer;
  };
  void CreateCallingApps();
  void CallingAppKeypadKey(CallingApp& app, DialBuffer& buffer, char key);
  void CallingAppCallKey(CallingApp& app, DialBuffer& buffer);
  void CallingAppHangUpKey(CallingApp& app, DialBuffer& buffer);
  void SelectCallingApp(CallingApp& app);
  void PollCallingApp(CallingApp& app);
  void ShowCallingAppAbsent(CallingApp& app);
  void FollowChosenApp();

  WindowsApi& api_;
  std::unique_ptr<LibrarySource> ownLibrary_;
  HandsetSources handset_;
  MainWindowView& view_;
  TApplication& app_;
  Finders finders_;
  Techniques techniques_;
  UInt showMainWindowMessage_ = 0;
  UInt callEventMessage_ = 0;
  UInt exitMessage_ = 0;
  std::vector<CallingRow> callingRows_;
  CallingApp* polledApp_ = nullptr;  // the chosen app that asks its call state on CallPoll
  std::string FPendingCaller;        // sent ahead of a ring event
  int shownAppItem_ = -1;            // the combo box item whose text is shown
  bool shutDown_ = false;
  // Key messages that came while a key was being handled, in the order they came.
  bool handlingKey_ = false;
  std::deque<TMessage> pendingKeys_;
  bool hookLeftToAppSaid_ = false;
  // The dial display's state and what it was last given.
  TypedEcho typedEcho_;
  SkypeCaller skypeCaller_;
  CallShown callShown_ = CallShown::None;
  std::string callerShown_;
  std::string statusLine_;
  DialDisplayText displayShown_;
};

// The single-instance guard: true when another copy runs (it was asked to show its window).
bool AnotherInstanceRuns(WindowsApi& api);

}  // namespace telvaro
