// Client of the Skype desktop API: attaches through two registered broadcast messages, then
// exchanges NUL-terminated texts by WM_COPYDATA with Skype's API window.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/MainWindowHost.h"
#include "platform/WindowsApi.h"
#include "skype/SkypeControlConst.h"

namespace telvaro {

class TSkypeControl;

using TNotifyEvent = std::function<void(TSkypeControl& sender)>;
using TSkypeErrorNotify = std::function<void(std::int32_t code, const std::string& description)>;
using TSkypeUserStatusNotify = std::function<void(TSkypeUserStatus status)>;
using TSkypeUserNotify = std::function<void(const std::string& username,
                                            TSkypeUserProperty property, const std::string& data)>;
using TSkypeNameNotify = std::function<void(const std::string& name)>;
using TSkypeProtocolNotify = std::function<void(std::int32_t protocolNumber)>;
using TSkypeCallNotify =
    std::function<void(std::int32_t callId, TSkypeCallProperty property, const std::string& data)>;
using TSkypeMessageNotify = std::function<void(
    std::int32_t messageId, TSkypeMessageProperty property, const std::string& data)>;
using TSkypeConnStatusNotify = std::function<void(TSkypeConnStatus status)>;
using TSkypeCurrentUserHandleNotify = std::function<void(const std::string& userHandle)>;
using TSkypeSearchNotify =
    std::function<void(TSkypeSearchType searchType, std::vector<std::string> list)>;
using TSkypeAudioNotify = std::function<void(const std::string& device)>;
using TSkypeMuteNotify = std::function<void(bool muted)>;
using TSkypePrivilegeNotify = std::function<void(TSkypePrivilege priv, bool granted)>;
using TSkypeVersionNotify = std::function<void(const std::string& version)>;
using TSkypeChatNotify = std::function<void(const std::string& chatname,
                                            TSkypeChatProperty property, const std::string& data)>;
using TSkypeChatMsgNotify = std::function<void(
    std::int32_t chatMsgId, TSkypeChatMsgProperty property, const std::string& data)>;
using TNotSupportedErrorNotify = std::function<void(const std::string& errormsg)>;
using TSkypeCopyData = std::function<void(const std::string& rawdata)>;

// The two messages of the desktop API, registered by these names.
inline constexpr char kSkypeAttachMessageName[] = "SkypeControlAPIAttach";
inline constexpr char kSkypeDiscoverMessageName[] = "SkypeControlAPIDiscover";
inline constexpr std::size_t kMaxCommandLength = 1023;  // plus its NUL in a 1024-byte buffer
inline constexpr const char* kDefaultIdentName = "TELVARO";

class TSkypeControl {
 public:
  TSkypeControl(WindowsApi& api, MainWindowHost& host);
  ~TSkypeControl();
  TSkypeControl(const TSkypeControl&) = delete;
  TSkypeControl& operator=(const TSkypeControl&) = delete;

  // Published properties.
  std::string IdentName = kDefaultIdentName;
  bool AutoReAttach = false;

  // Published events, in their published order.
  TNotifyEvent OnAttachSuccess;
  TNotifyEvent OnAttachPending;
  TNotifyEvent OnAttachRefused;
  TNotifyEvent OnAPINotAvailable;
  TNotifyEvent OnAPIAvailable;
  TSkypeErrorNotify OnError;
  TSkypeUserStatusNotify OnUserStatus;
  TSkypeUserNotify OnUserInfo;
  TSkypeNameNotify OnName;
  TSkypeProtocolNotify OnProtocol;
  TNotifyEvent OnPong;
  TSkypeCallNotify OnCallInfo;
  TSkypeMessageNotify OnMessageInfo;
  TSkypeConnStatusNotify OnConnStatus;
  TSkypeCurrentUserHandleNotify OnCurrentUserHandle;
  TSkypeSearchNotify OnSearchResult;
  TNotifyEvent OnCallHistoryChanged;
  TNotifyEvent OnIMHistoryChanged;
  TSkypeAudioNotify OnAudioInInfo;
  TSkypeAudioNotify OnAudioOutInfo;
  TSkypeMuteNotify OnMuteInfo;
  TSkypePrivilegeNotify OnPrivilegeInfo;
  TSkypeVersionNotify OnVersionInfo;
  TSkypeChatNotify OnChatInfo;
  TSkypeChatMsgNotify OnChatMsgInfo;
  TNotSupportedErrorNotify OnNotSupportedError;
  TSkypeCopyData OnCopyData;

  // Transport and attachment.
  LResult Attach(std::int32_t protocol);
  void Detach();
  bool SendCommand(const std::string& command);
  bool MainWindowHook(TMessage& message);

  // Commands.
  // Both say whether the command reached Skype (SendCommand's result; False also when the
  // protocol does not allow the property), so that a caller moves its call state on only then.
  bool SetCallProperty(std::int32_t callId, TSkypeCallProperty property, const std::string& value);
  bool PlaceCall(const std::string& target);
  void ReleaseButton(const std::string& button);
  bool FocusSkype();
  bool Ping();
  bool HookOn();
  bool HookOff();

  // Read-only views for the owner and tests.
  bool Hooked() const { return FHooked; }
  bool Attached() const { return FAttached; }
  Hwnd ApiWindow() const { return FApiWindow; }
  std::int32_t Protocol() const { return FProtocol; }
  UInt AttachMessage() const { return FAttachMsg; }
  UInt DiscoverMessage() const { return FDiscoverMsg; }

 private:
  void ReceiveCopyData(const TMessage& message);
  bool HandleAttachStatus(Hwnd apiWindow, LParam status);
  void DispatchNotification(const std::string& firstWord, std::string remainder);
  void ReportNotSupported(const std::string& text);

  // Parsers of the remainder after the first word.
  void ParseError(std::string& rest);
  void ParseUserStatus(std::string& rest);
  void ParseUser(std::string& rest);
  void ParseProtocol(std::string& rest);
  void ParseCall(std::string& rest);
  void ParseMessage(std::string& rest);
  void ParseChatMessage(std::string& rest);
  void ParseChat(std::string& rest);
  void ParseConnStatus(std::string& rest);
  void ParseCurrentUser(std::string& rest);
  void ParseSearchResult(TSkypeSearchType searchType, std::string& rest);
  void ParseAudio(const TSkypeAudioNotify& event, std::string& rest);
  void ParseMute(std::string& rest);
  void ParsePrivilege(std::string& rest);
  void ParseVersion(std::string& rest);

  // Reports a value the protocol in use does not allow; true when it was allowed.
  bool Check(const SupportTable& support, int ordinal, std::string_view leadIn,
             std::string_view word, std::string_view middle);

  WindowsApi& api_;
  MainWindowHost& host_;
  bool FHooked = false;
  UInt FAttachMsg = 0;
  UInt FDiscoverMsg = 0;
  Hwnd FApiWindow = 0;
  bool FAttached = false;
  std::int32_t FProtocol = -1;
};

// Cuts the first word (a run of non-delimiters after leading delimiters) off text, together with
// the delimiters that follow it.
std::string CutWord(std::string& text, std::string_view delimiters);

}  // namespace telvaro
