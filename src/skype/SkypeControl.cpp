#include "skype/SkypeControl.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <utility>

#include "platform/SenderIntegrity.h"

namespace telvaro {

namespace {

constexpr std::string_view kSpace = " ";
constexpr std::string_view kSpaceComma = " ,";

// Attach statuses carried in the attach message's lParam.
constexpr LParam kAttachSuccess = 0;
constexpr LParam kAttachPending = 1;
constexpr LParam kAttachRefused = 2;
constexpr LParam kApiNotAvailable = 3;
constexpr LParam kApiAvailable = 0x8001;

constexpr std::string_view kReveived = " should not have been reveived (Protocol ";
constexpr std::string_view kReceived = " should not have been received (Protocol ";

template <typename Event, typename... Args>
void Raise(const Event& event, Args&&... args) {
  if (event) event(std::forward<Args>(args)...);
}

// A signed 32-bit decimal integer filling the whole word, or the fallback.
std::int32_t IntOrDefault(std::string_view word, std::int32_t fallback) {
  const bool plus = !word.empty() && word.front() == '+';
  if (plus) word.remove_prefix(1);
  if (word.empty() || (plus && word.front() == '-')) return fallback;
  std::int32_t value = 0;
  const char* end = word.data() + word.size();
  const auto [stop, error] = std::from_chars(word.data(), end, value);
  return error == std::errc{} && stop == end ? value : fallback;
}

// The sender's text: never read beyond cbData, and ended early by the first NUL inside it.
std::string CopyDataText(LParam lParam) {
  const auto* data = reinterpret_cast<const CopyDataStruct*>(lParam);
  if (data == nullptr || data->lpData == nullptr || data->cbData == 0) return {};
  const auto* bytes = static_cast<const char*>(data->lpData);
  const void* nul = std::memchr(bytes, 0, data->cbData);
  const std::size_t length = nul != nullptr
                                 ? static_cast<std::size_t>(static_cast<const char*>(nul) - bytes)
                                 : data->cbData;
  return std::string(bytes, length);
}

}  // namespace

std::string CutWord(std::string& text, std::string_view delimiters) {
  const std::size_t start = std::min(text.find_first_not_of(delimiters), text.size());
  const std::size_t stop = std::min(text.find_first_of(delimiters, start), text.size());
  const std::size_t rest = std::min(text.find_first_not_of(delimiters, stop), text.size());
  std::string word = text.substr(start, stop - start);
  text.erase(0, rest);
  return word;
}

// --- Transport and attachment ------------------------------------------------------------------

TSkypeControl::TSkypeControl(WindowsApi& api, MainWindowHost& host) : api_(api), host_(host) {
  FAttachMsg = api_.RegisterWindowMessageA(kSkypeAttachMessageName);
  FDiscoverMsg = api_.RegisterWindowMessageA(kSkypeDiscoverMessageName);
  if (FAttachMsg != 0 && FDiscoverMsg != 0) {
    host_.HookMainWindow([this](TMessage& message) { return MainWindowHook(message); });
    FHooked = true;
  }
}

TSkypeControl::~TSkypeControl() {
  if (FHooked) host_.UnhookMainWindow();
}

LResult TSkypeControl::Attach(std::int32_t protocol) {
  FProtocol = protocol;
  // An inert client has no discover message to broadcast.
  if (FDiscoverMsg == 0) return 0;
  // Skype answers with an attach message of its own, which the hook takes whenever it comes, so
  // the broadcast need not wait for the receivers. A silent Skype is looked for at every poll for
  // as long as TELVARO runs: waiting on each top-level window in turn made every look a round
  // trip per window, and a hung window among them could hold it up.
  return api_.SendNotifyMessageA(win::HWND_BROADCAST, FDiscoverMsg, host_.MainWindowHandle(), 0)
             ? 1
             : 0;
}

void TSkypeControl::Detach() {
  FApiWindow = 0;
  FAttached = false;
}

bool TSkypeControl::SendCommand(const std::string& command) {
  if (command.empty() || !FAttached) return true;
  // A longer command cannot travel whole; a cut one could mean something else to Skype.
  if (command.size() > kMaxCommandLength) return false;
  std::array<char, kMaxCommandLength + 1> buffer{};
  std::memcpy(buffer.data(), command.data(), command.size());
  buffer[command.size()] = '\0';
  CopyDataStruct data;
  data.dwData = 0;
  data.cbData = static_cast<std::uint32_t>(command.size() + 1);
  data.lpData = buffer.data();
  LResult result = 0;
  const bool delivered =
      api_.TrySendMessageA(FApiWindow, win::WM_COPYDATA, host_.MainWindowHandle(),
                           reinterpret_cast<LParam>(&data), &result);
  return delivered && result != 0;
}

bool TSkypeControl::MainWindowHook(TMessage& message) {
  // While detached FApiWindow is null, and a null sender must not pass for Skype.
  if (message.Msg == win::WM_COPYDATA && FApiWindow != 0 &&
      static_cast<Hwnd>(message.wParam) == FApiWindow && SenderWindowMayAct(api_, FApiWindow)) {
    ReceiveCopyData(message);
    message.Result = 1;
    return true;
  }
  if (message.Msg == FAttachMsg && SenderWindowMayAct(api_, static_cast<Hwnd>(message.wParam))) {
    return HandleAttachStatus(static_cast<Hwnd>(message.wParam), message.lParam);
  }
  return false;
}

bool TSkypeControl::HandleAttachStatus(Hwnd apiWindow, LParam status) {
  switch (status) {
    case kAttachSuccess:
      FApiWindow = apiWindow;
      FAttached = true;
      SendCommand("NAME " + IdentName);
      SendCommand("PROTOCOL " + std::to_string(FProtocol));
      Raise(OnAttachSuccess, *this);
      return true;
    case kAttachPending:
      Raise(OnAttachPending, *this);
      return true;
    case kAttachRefused:
      Raise(OnAttachRefused, *this);
      return true;
    case kApiNotAvailable:
      Raise(OnAPINotAvailable, *this);
      return true;
    case kApiAvailable:
      if (AutoReAttach) Attach(3);
      Raise(OnAPIAvailable, *this);
      return true;
    default:
      return false;
  }
}

void TSkypeControl::ReceiveCopyData(const TMessage& message) {
  std::string rest = CopyDataText(message.lParam);
  Raise(OnCopyData, rest);
  const std::string firstWord = CutWord(rest, kSpace);
  DispatchNotification(firstWord, std::move(rest));
}

// --- Notifications -----------------------------------------------------------------------------

void TSkypeControl::DispatchNotification(const std::string& firstWord, std::string remainder) {
  using Parser = void (*)(TSkypeControl&, std::string&);
  struct Route {
    std::string_view word;
    Parser parse;
  };
  using S = TSkypeControl;
  using T = TSkypeSearchType;
  // Searched in order; the first equal word wins.
  static constexpr std::array<Route, 27> kRoutes = {{
      {"ERROR", [](S& s, std::string& r) { s.ParseError(r); }},
      {"USERSTATUS", [](S& s, std::string& r) { s.ParseUserStatus(r); }},
      {"USER", [](S& s, std::string& r) { s.ParseUser(r); }},
      {"NAME", [](S& s, std::string& r) { Raise(s.OnName, r); }},
      {"PROTOCOL", [](S& s, std::string& r) { s.ParseProtocol(r); }},
      {"PONG", [](S& s, std::string&) { Raise(s.OnPong, s); }},
      {"CALL", [](S& s, std::string& r) { s.ParseCall(r); }},
      {"MESSAGE", [](S& s, std::string& r) { s.ParseMessage(r); }},
      {"CONNSTATUS", [](S& s, std::string& r) { s.ParseConnStatus(r); }},
      {"CURRENTUSERHANDLE", [](S& s, std::string& r) { s.ParseCurrentUser(r); }},
      {"USERS", [](S& s, std::string& r) { s.ParseSearchResult(T::Users, r); }},
      {"FRIENDS", [](S& s, std::string& r) { s.ParseSearchResult(T::Friends, r); }},
      {"CALLS", [](S& s, std::string& r) { s.ParseSearchResult(T::Calls, r); }},
      {"MISSEDCALLS", [](S& s, std::string& r) { s.ParseSearchResult(T::MissedCalls, r); }},
      {"MESSAGES", [](S& s, std::string& r) { s.ParseSearchResult(T::Messages, r); }},
      {"MISSEDMESSAGES", [](S& s, std::string& r) { s.ParseSearchResult(T::MissedMessages, r); }},
      {"CHATS", [](S& s, std::string& r) { s.ParseSearchResult(T::Chats, r); }},
      {"CHATMESSAGES", [](S& s, std::string& r) { s.ParseSearchResult(T::ChatMessages, r); }},
      {"CALLHISTORYCHANGED", [](S& s, std::string&) { Raise(s.OnCallHistoryChanged, s); }},
      {"IMHISTORYCHANGED", [](S& s, std::string&) { Raise(s.OnIMHistoryChanged, s); }},
      {"AUDIO_IN", [](S& s, std::string& r) { s.ParseAudio(s.OnAudioInInfo, r); }},
      {"AUDIO_OUT", [](S& s, std::string& r) { s.ParseAudio(s.OnAudioOutInfo, r); }},
      {"MUTE", [](S& s, std::string& r) { s.ParseMute(r); }},
      {"PRIVILEGE", [](S& s, std::string& r) { s.ParsePrivilege(r); }},
      {"SKYPEVERSION", [](S& s, std::string& r) { s.ParseVersion(r); }},
      {"CHAT", [](S& s, std::string& r) { s.ParseChat(r); }},
      {"CHATMESSAGE", [](S& s, std::string& r) { s.ParseChatMessage(r); }},
  }};
  if (firstWord.empty()) return;
  for (const Route& route : kRoutes) {
    if (route.word == firstWord) {
      route.parse(*this, remainder);
      return;
    }
  }
}

void TSkypeControl::ReportNotSupported(const std::string& text) {
  Raise(OnNotSupportedError, text);
}

bool TSkypeControl::Check(const SupportTable& support, int ordinal, std::string_view leadIn,
                          std::string_view word, std::string_view middle) {
  if (IsSupported(support, ordinal, FProtocol)) return true;
  std::string text(leadIn);
  text += '"';
  text += word;
  text += '"';
  text += middle;
  text += std::to_string(FProtocol);
  text += ')';
  ReportNotSupported(text);
  return false;
}

void TSkypeControl::ParseError(std::string& rest) {
  const std::int32_t code = IntOrDefault(CutWord(rest, kSpace), 0);
  if (code > 0) Raise(OnError, code, rest);
}

void TSkypeControl::ParseUserStatus(std::string& rest) {
  const std::string word = CutWord(rest, kSpace);
  if (word.empty()) return;
  const int status = LookupWord(UserStatusWords, word);
  Check(UserStatusSupport, status, "Received Userstatus ", word, kReveived);
  Raise(OnUserStatus, static_cast<TSkypeUserStatus>(status));
}

void TSkypeControl::ParseUser(std::string& rest) {
  const std::string username = CutWord(rest, kSpace);
  const std::string word = CutWord(rest, kSpace);
  if (username.empty()) return;
  const int property = LookupWord(UserPropertyWords, word);
  Check(UserPropertySupport, property, "Received user property ", word, kReveived);
  Raise(OnUserInfo, username, static_cast<TSkypeUserProperty>(property), rest);
}

void TSkypeControl::ParseProtocol(std::string& rest) {
  FProtocol = IntOrDefault(CutWord(rest, kSpace), 1);
  Raise(OnProtocol, FProtocol);
}

void TSkypeControl::ParseCall(std::string& rest) {
  const std::int32_t callId = IntOrDefault(CutWord(rest, kSpace), -1);
  if (callId < 0) return;
  const std::string word = CutWord(rest, kSpace);
  const int property = LookupWord(CallPropertyWords, word);
  Check(CallPropertySupport, property, "Received call property ", word, kReveived);
  Raise(OnCallInfo, callId, static_cast<TSkypeCallProperty>(property), rest);
}

void TSkypeControl::ParseMessage(std::string& rest) {
  const std::int32_t messageId = IntOrDefault(CutWord(rest, kSpace), -1);
  if (messageId < 0) return;
  const std::string word = CutWord(rest, kSpace);
  const int property = LookupWord(MessagePropertyWords, word);
  Check(MessagePropertySupport, property, "Received message property ", word, kReveived);
  Raise(OnMessageInfo, messageId, static_cast<TSkypeMessageProperty>(property), rest);
}

void TSkypeControl::ParseChatMessage(std::string& rest) {
  const std::int32_t chatMsgId = IntOrDefault(CutWord(rest, kSpace), -1);
  if (chatMsgId < 0) return;
  const std::string word = CutWord(rest, kSpace);
  const int property = LookupWord(ChatMsgPropertyWords, word);
  Check(ChatMsgPropertySupport, property, "Received chatmessage property ", word, kReveived);
  Raise(OnChatMsgInfo, chatMsgId, static_cast<TSkypeChatMsgProperty>(property), rest);
}

void TSkypeControl::ParseChat(std::string& rest) {
  const std::string chatname = CutWord(rest, kSpace);
  if (chatname.empty()) return;
  const std::string word = CutWord(rest, kSpace);
  const int property = LookupWord(ChatPropertyWords, word);
  Check(ChatPropertySupport, property, "Received chat property ", word, kReveived);
  Raise(OnChatInfo, chatname, static_cast<TSkypeChatProperty>(property), rest);
}

void TSkypeControl::ParseConnStatus(std::string& rest) {
  const std::string word = CutWord(rest, kSpace);
  if (word.empty()) return;
  const int status = LookupWord(ConnStatusWords, word);
  Check(ConnStatusSupport, status, "Received Connstatus ", word, kReveived);
  Raise(OnConnStatus, static_cast<TSkypeConnStatus>(status));
}

void TSkypeControl::ParseCurrentUser(std::string& rest) {
  const std::string handle = CutWord(rest, kSpace);
  if (!handle.empty()) Raise(OnCurrentUserHandle, handle);
}

void TSkypeControl::ParseSearchResult(TSkypeSearchType searchType, std::string& rest) {
  std::vector<std::string> list;
  for (std::string item = CutWord(rest, kSpaceComma); !item.empty();
       item = CutWord(rest, kSpaceComma)) {
    list.push_back(std::move(item));
  }
  const int type = static_cast<int>(searchType);
  Check(SearchTypeSupport, type, "Search result of type ", WordOf(SearchTypeWords, type),
        kReceived);
  Raise(OnSearchResult, searchType, std::move(list));
}

void TSkypeControl::ParseAudio(const TSkypeAudioNotify& event, std::string& rest) {
  Raise(event, CutWord(rest, kSpace));
}

void TSkypeControl::ParseMute(std::string& rest) {
  const std::string word = CutWord(rest, kSpace);
  if (!word.empty()) Raise(OnMuteInfo, word == "ON");
}

void TSkypeControl::ParsePrivilege(std::string& rest) {
  const std::string word = CutWord(rest, kSpace);
  const std::string value = CutWord(rest, kSpace);
  if (word.empty()) return;
  const int privilege = LookupWord(PrivilegeWords, word);
  Check(PrivilegeSupport, privilege, "Received privilege info ", word, kReveived);
  if (!value.empty())
    Raise(OnPrivilegeInfo, static_cast<TSkypePrivilege>(privilege), value == "TRUE");
}

void TSkypeControl::ParseVersion(std::string& rest) {
  const std::string version = CutWord(rest, kSpace);
  if (!version.empty()) Raise(OnVersionInfo, version);
}

// --- Commands ----------------------------------------------------------------------------------

bool TSkypeControl::SetCallProperty(std::int32_t callId, TSkypeCallProperty property,
                                    const std::string& value) {
  const int ordinal = static_cast<int>(property);
  const std::string_view word = WordOf(CallPropertyWords, ordinal);
  if (!IsSupported(CallPropertySettable, ordinal, FProtocol)) {
    ReportNotSupported("Setting call property \"" + std::string(word) +
                       "\" not supported (Protocol " + std::to_string(FProtocol) + ")");
    return false;
  }
  return SendCommand("SET CALL " + std::to_string(callId) + " " + std::string(word) + " " + value);
}

bool TSkypeControl::PlaceCall(const std::string& target) { return SendCommand("CALL " + target); }

void TSkypeControl::ReleaseButton(const std::string& button) {
  SendCommand("BTN_RELEASED " + button);
}

bool TSkypeControl::FocusSkype() { return SendCommand("FOCUS"); }

bool TSkypeControl::Ping() { return SendCommand("PING"); }

bool TSkypeControl::HookOn() { return SendCommand("HOOK ON"); }

bool TSkypeControl::HookOff() { return SendCommand("HOOK OFF"); }

}  // namespace telvaro
