// What the call, hang-up, Up and Down keys look for in the applications they drive, and where they
// click. Everything here is the outside applications' own: titles and captions are their ANSI bytes
// (the Chinese ones are code page 936 bytes, as the Chinese-language builds show them), points are
// client coordinates of the window that receives the click.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "drivers/AppTable.h"
#include "drivers/KeypadTables.h"  // ClickPoint
#include "drivers/Techniques.h"
#include "platform/WindowsApi.h"

namespace telvaro::keydata {

// How a main window is brought forward before it is acted on.
enum class Activation {
  SetForeground,       // SetForegroundWindow only, no restore
  Activate,            // ActivateWindow: restore only when iconic
  RestoreAndActivate,  // always restore
};

enum class StepAction { Click, Tap, Caption };

// The applications whose key does one thing to the main window: look it up, bring it forward,
// then click a point, tap a key or click a button by its caption.
struct MainWindowStep {
  std::int32_t appCode;
  Lookup lookup;
  Activation activation;
  StepAction action;
  ClickPoint point;
  Delivery delivery;
  std::uint8_t vk;
  const char* caption;
};

constexpr MainWindowStep Click(std::int32_t appCode, Lookup lookup, Activation activation,
                               ClickPoint point, Delivery delivery) {
  return {appCode, lookup, activation, StepAction::Click, point, delivery, 0, nullptr};
}
constexpr MainWindowStep Tap(std::int32_t appCode, Lookup lookup, Activation activation,
                             std::uint8_t vk) {
  return {appCode, lookup, activation, StepAction::Tap, {}, Delivery::Send, vk, nullptr};
}
constexpr MainWindowStep Caption(std::int32_t appCode, Lookup lookup, Activation activation,
                                 const char* caption) {
  return {appCode, lookup, activation, StepAction::Caption, {}, Delivery::Send, 0, caption};
}

inline constexpr Lookup kByTitle = Lookup::ByTitle;
inline constexpr Lookup kByClassAndTitle = Lookup::ByClassAndTitle;
inline constexpr Activation kForeground = Activation::SetForeground;
inline constexpr Activation kActivate = Activation::Activate;
inline constexpr Activation kRestore = Activation::RestoreAndActivate;
inline constexpr Delivery kSent = Delivery::Send;
inline constexpr Delivery kPosted = Delivery::Post;

// --- Texts ---------------------------------------------------------------------------------------

// SJphone
inline constexpr const char* kSjIncomingCallTitle = "SJphone - Incoming Call";
inline constexpr const char* kSjAccept = "&Accept";
inline constexpr const char* kSjIgnore = "&Ignore";
inline constexpr const char* kSjDial = "&Dial";
inline constexpr const char* kSjHangup = "&Hangup";
inline constexpr const char* kSjConfirm = "\xC8\xB7\xB6\xA8";  // "confirm"
inline constexpr const char* kContactsTitle = "Contacts";
inline constexpr const char* kCallLogsTitle = "Call Logs";

// Net2Phone
inline constexpr const char* kAccountLoginTitle = "Account Login";
inline constexpr const char* kLoginCancel = "&Cancel";
inline constexpr const char* kNet2PhoneOk = "&OK";

// ICQPhone
inline constexpr const char* kIcqCall = "&Call";
inline constexpr const char* kIcqHangUp = "&Hang Up";
inline constexpr int kIcqTextMax = 1024;  // WM_GETTEXT count; the buffer holds one more

// VoipBuster, VoipStunt, VoipCheap
inline constexpr const char* kVoipOffHook = "OffHook";
inline constexpr const char* kVoipOnHook = "OnHook";
inline constexpr const char* kVoipContacts = "Contacts";

// MSN Messenger call dialogs, in English and in Chinese.
inline constexpr const char* kMsnAudioDialog = "Start an Audio Conversation";
inline constexpr const char* kMsnAudioDialogZh = "\xBF\xAA\xCA\xBC\xD2\xF4\xC6\xB5\xB6\xD4\xBB\xB0";
inline constexpr const char* kMsnVoiceDialog = "Start a Voice Conversation";
inline constexpr const char* kMsnVoiceDialogZh = "\xBF\xAA\xCA\xBC\xD3\xEF\xD2\xF4\xB6\xD4\xBB\xB0";
inline constexpr const char* kMsnCancel = "Cancel";
inline constexpr const char* kMsnCancelZh = "\xC8\xA1\xCF\xFB";

// Skype
inline constexpr const char* kSkypeAnswer = "INPROGRESS";
inline constexpr const char* kSkypeFinish = "FINISHED";
inline constexpr const char* kSkypeUp = "UP";
inline constexpr const char* kSkypeDown = "DOWN";

// --- Keys ---------------------------------------------------------------------------------------

inline constexpr std::uint8_t kKeyA = 0x41;
inline constexpr std::uint8_t kKeyD = 0x44;
inline constexpr std::uint8_t kKeyQ = 0x51;
inline constexpr std::uint8_t kKeyV = 0x56;
inline constexpr char kBackspaceChar = 0x08;

// --- Points -------------------------------------------------------------------------------------

inline constexpr ClickPoint kYahooButtonPoint{36, 12};  // call and hang-up toolbar buttons
inline constexpr ClickPoint kSkypeTabPoint{56, 11};     // the first tab of Skype's page control
inline constexpr ClickPoint kFireflyUpPoint{45, 11};    // on its multibutton

// --- MSN Messenger 7.0 and 7.5 -------------------------------------------------------------------

struct DialogButton {
  const char* title;
  const char* caption;
};

struct MsnKeys {
  std::array<const char*, 2> callDialogs;             // searched in this order by the call key
  std::uint8_t callLetter;                            // typed after Alt+A to start a call
  std::array<const char*, 2> browseDialogs;           // searched in this order by Up and Down
  std::span<const DialogButton> hangUpDialogs;        // cancelled by the hang-up key
  std::span<const std::uint8_t> conversationAltKeys;  // Alt+key typed to end a conversation
};

inline constexpr DialogButton kMsn70HangUpDialogs[] = {
    {kMsnAudioDialogZh, kMsnCancelZh},
    {kMsnAudioDialog, kMsnCancel},
};
inline constexpr std::uint8_t kMsn70ConversationKeys[] = {kKeyD, kKeyQ};
inline constexpr std::uint8_t kMsn75ConversationKeys[] = {kKeyQ};

inline constexpr MsnKeys kMsn70{
    .callDialogs = {kMsnAudioDialog, kMsnAudioDialogZh},
    .callLetter = kKeyA,
    .browseDialogs = {kMsnAudioDialogZh, kMsnAudioDialog},
    .hangUpDialogs = kMsn70HangUpDialogs,
    .conversationAltKeys = kMsn70ConversationKeys,
};
inline constexpr MsnKeys kMsn75{
    .callDialogs = {kMsnVoiceDialog, kMsnVoiceDialogZh},
    .callLetter = kKeyV,
    .browseDialogs = {kMsnVoiceDialog, kMsnVoiceDialogZh},
    .hangUpDialogs = {},  // 7.5 leaves its call dialog alone
    .conversationAltKeys = kMsn75ConversationKeys,
};

constexpr const MsnKeys& MsnKeysFor(std::int32_t appCode) {
  return appCode == app::Msn70 ? kMsn70 : kMsn75;
}

// --- The one-step branches of each key -----------------------------------------------------------

inline constexpr MainWindowStep kCallKeySteps[] = {
    Click(app::XLite, kByClassAndTitle, kForeground, {272, 243}, kSent),
    Click(app::XLiteXLook, kByClassAndTitle, kForeground, {215, 210}, kSent),
    Click(app::XPro, kByClassAndTitle, kForeground, {215, 210}, kSent),
    Click(app::XProVonage, kByClassAndTitle, kForeground, {215, 210}, kSent),
    Click(app::XProEngin, kByClassAndTitle, kForeground, {215, 210}, kSent),
    Tap(app::Firefly, kByClassAndTitle, kForeground, win::VK_RETURN),
    Click(app::EyeBeam, kByClassAndTitle, kForeground, {275, 242}, kPosted),
    Caption(app::IcqPhone, kByTitle, kActivate, kIcqCall),
    Click(app::AimPhone, kByTitle, kRestore, {332, 85}, kPosted),
    Click(app::MediaRing, kByTitle, kRestore, {39, 176}, kPosted),
    Tap(app::PCPhone, kByTitle, kActivate, win::VK_RETURN),
};

// Each of these silences the buzzer once the main window was found.
inline constexpr MainWindowStep kHangUpKeySteps[] = {
    Click(app::XLite, kByClassAndTitle, kForeground, {437, 243}, kSent),
    Click(app::XLiteXLook, kByClassAndTitle, kForeground, {65, 207}, kSent),
    Click(app::XPro, kByClassAndTitle, kForeground, {65, 207}, kSent),
    Click(app::XProVonage, kByClassAndTitle, kForeground, {65, 207}, kSent),
    Click(app::XProEngin, kByClassAndTitle, kForeground, {65, 207}, kSent),
    Tap(app::Firefly, kByClassAndTitle, kForeground, win::VK_ESCAPE),
    Click(app::EyeBeam, kByClassAndTitle, kForeground, {440, 242}, kPosted),
    Caption(app::IcqPhone, kByTitle, kActivate, kIcqHangUp),
    Click(app::AimPhone, kByTitle, kRestore, {332, 85}, kPosted),
    Click(app::MediaRing, kByTitle, kRestore, {39, 176}, kPosted),
    Tap(app::PCPhone, kByTitle, kActivate, win::VK_ESCAPE),
};

inline constexpr MainWindowStep kUpKeySteps[] = {
    Click(app::XLite, kByClassAndTitle, kForeground, {141, 201}, kSent),
    Click(app::XLiteXLook, kByClassAndTitle, kForeground, {141, 201}, kSent),
    Click(app::XPro, kByClassAndTitle, kForeground, {141, 201}, kSent),
    Click(app::XProVonage, kByClassAndTitle, kForeground, {141, 201}, kSent),
    Click(app::XProEngin, kByClassAndTitle, kForeground, {141, 201}, kSent),
    Click(app::EyeBeam, kByClassAndTitle, kForeground, {335, 367}, kSent),
    Click(app::MediaRing, kByTitle, kRestore, {92, 176}, kPosted),
};

}  // namespace telvaro::keydata
