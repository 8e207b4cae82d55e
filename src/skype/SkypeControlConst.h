// The desktop API's words: nine enumerations with their word tables, and which members each
// protocol version allows.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace telvaro {

// clang-format off
enum class TSkypeUserStatus : int {
  Unknown, Online, Offline, Away, NA, DND, Invisible, LoggedOut, SkypeMe
};
enum class TSkypeConnStatus : int { Offline, Connecting, Pausing, Online, LoggedOut };
enum class TSkypeSearchType : int {
  Users, Friends, Calls, ActiveCalls, MissedCalls, Messages, MissedMessages, Chats, ChatMessages,
  MissedChatMessages
};
enum class TSkypeUserProperty : int {
  Handle, FullName, Birthday, Sex, Language, Country, Province, City, PhoneHome, PhoneOffice,
  PhoneMobile, Homepage, About, HasCallEquipment, BuddyStatus, IsAuthorized, IsBlocked,
  DisplayName, OnlineStatus, LastOnlineTimestamp
};
enum class TSkypeCallProperty : int {
  Timestamp, PartnerHandle, PartnerDispname, ConfId, Type, Status, FailureReason, Subject,
  PstnNumber, Duration, Seen, Dtmf, PstnStatus
};
enum class TSkypeMessageProperty : int {
  Timestamp, PartnerHandle, PartnerDispname, ConfId, Type, Status, Seen, FailureReason, Body
};
enum class TSkypeChatProperty : int {
  Name, Timestamp, Adder, Status, Posters, Members, Topic, ActiveMembers, FriendlyName
};
enum class TSkypeChatMsgProperty : int {
  ChatName, Timestamp, FromHandle, FromDispname, Type, Users, LeaveReason, Body, Status, Seen
};
enum class TSkypePrivilege : int { SkypeOut };
// clang-format on

// A word table: row n is the word of member n.
template <std::size_t N>
using WordTable = std::array<std::string_view, N>;

extern const WordTable<9> UserStatusWords;
extern const WordTable<5> ConnStatusWords;
extern const WordTable<10> SearchTypeWords;
extern const WordTable<20> UserPropertyWords;
extern const WordTable<13> CallPropertyWords;
extern const WordTable<9> MessagePropertyWords;
extern const WordTable<9> ChatPropertyWords;
extern const WordTable<10> ChatMsgPropertyWords;
extern const WordTable<1> PrivilegeWords;

// "GET CALL ", the id, a blank and the property's word: asks Skype for one property of a call.
// Skype answers with the call notification "CALL <id> <word> <value>".
inline constexpr std::string_view kGetCallCommand = "GET CALL ";
std::string GetCallCommand(std::int32_t callId, TSkypeCallProperty property);

// One bit set of member ordinals per protocol 1, 2, 3.
using SupportTable = std::array<std::uint32_t, 3>;

extern const SupportTable UserStatusSupport;
extern const SupportTable ConnStatusSupport;
extern const SupportTable SearchTypeSupport;
extern const SupportTable UserPropertySupport;
extern const SupportTable CallPropertySupport;   // may arrive in a notification
extern const SupportTable CallPropertySettable;  // may be set with "SET CALL "
extern const SupportTable MessagePropertySupport;
extern const SupportTable ChatPropertySupport;
extern const SupportTable ChatMsgPropertySupport;
extern const SupportTable PrivilegeSupport;

// First row equal to the word, byte for byte; 0 when no row is.
template <std::size_t N>
int LookupWord(const WordTable<N>& table, std::string_view word) {
  for (std::size_t i = 0; i < N; ++i) {
    if (table[i] == word) return static_cast<int>(i);
  }
  return 0;
}

// The row of an ordinal, or an empty word for an ordinal outside the table.
template <std::size_t N>
std::string_view WordOf(const WordTable<N>& table, int ordinal) {
  if (ordinal < 0 || static_cast<std::size_t>(ordinal) >= N) return {};
  return table[static_cast<std::size_t>(ordinal)];
}

// Skype may announce any protocol number: those below 1 use the protocol 1 row, those above 3 the
// protocol 3 row. An ordinal that no table can hold is never supported.
bool IsSupported(const SupportTable& table, int ordinal, int protocol);

}  // namespace telvaro
