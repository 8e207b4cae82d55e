#include "skype/SkypeControlConst.h"

namespace telvaro {

namespace {

constexpr std::uint32_t Bit(int ordinal) { return std::uint32_t{1} << ordinal; }
constexpr std::uint32_t All(int count) { return Bit(count) - 1; }
constexpr SupportTable Same(std::uint32_t set) { return {set, set, set}; }

}  // namespace

constexpr WordTable<9> UserStatusWords = {"UNKNOWN", "ONLINE",    "OFFLINE",   "AWAY",   "NA",
                                          "DND",     "INVISIBLE", "LOGGEDOUT", "SKYPEME"};

constexpr WordTable<5> ConnStatusWords = {"OFFLINE", "CONNECTING", "PAUSING", "ONLINE",
                                          "LOGGEDOUT"};

constexpr WordTable<10> SearchTypeWords = {
    "USERS",    "FRIENDS",        "CALLS", "ACTIVECALLS",  "MISSEDCALLS",
    "MESSAGES", "MISSEDMESSAGES", "CHATS", "CHATMESSAGES", "MISSEDCHATMESSAGES"};

constexpr WordTable<20> UserPropertyWords = {
    "HANDLE",     "FULLNAME",         "BIRTHDAY",     "SEX",
    "LANGUAGE",   "COUNTRY",          "PROVINCE",     "CITY",
    "PHONE_HOME", "PHONE_OFFICE",     "PHONE_MOBILE", "HOMEPAGE",
    "ABOUT",      "HASCALLEQUIPMENT", "BUDDYSTATUS",  "ISAUTHORIZED",
    "ISBLOCKED",  "DISPLAYNAME",      "ONLINESTATUS", "LASTONLINETIMESTAMP"};

constexpr WordTable<13> CallPropertyWords = {
    "TIMESTAMP", "PARTNER_HANDLE", "PARTNER_DISPNAME", "CONF_ID",     "TYPE",
    "STATUS",    "FAILUREREASON",  "SUBJECT",          "PSTN_NUMBER", "DURATION",
    "SEEN",      "DTMF",           "PSTN_STATUS"};

constexpr WordTable<9> MessagePropertyWords = {"TIMESTAMP", "PARTNER_HANDLE", "PARTNER_DISPNAME",
                                               "CONF_ID",   "TYPE",           "STATUS",
                                               "SEEN",      "FAILUREREASON",  "BODY"};

constexpr WordTable<9> ChatPropertyWords = {"NAME",   "TIMESTAMP",     "ADDER",
                                            "STATUS", "POSTERS",       "MEMBERS",
                                            "TOPIC",  "ACTIVEMEMBERS", "FRIENDLYNAME"};

constexpr WordTable<10> ChatMsgPropertyWords = {
    "CHATNAME", "TIMESTAMP",   "FROM_HANDLE", "FROM_DISPNAME", "TYPE",
    "USERS",    "LEAVEREASON", "BODY",        "STATUS",        "SEEN"};

constexpr WordTable<1> PrivilegeWords = {"SKYPEOUT"};

// Rows are protocols 1, 2, 3.
constexpr SupportTable UserStatusSupport = {All(8), All(9), All(9)};
constexpr SupportTable ConnStatusSupport = Same(All(5));
constexpr SupportTable SearchTypeSupport = {All(7), All(7), All(10) & ~Bit(5)};
constexpr SupportTable UserPropertySupport = Same(All(20));
constexpr SupportTable CallPropertySupport = Same(All(13) & ~(Bit(10) | Bit(11)));
constexpr SupportTable CallPropertySettable = Same(Bit(5) | Bit(10) | Bit(11));
constexpr SupportTable MessagePropertySupport = {All(9) & ~Bit(6), All(9) & ~Bit(6), 0};
constexpr SupportTable ChatPropertySupport = {0, 0, All(9)};
constexpr SupportTable ChatMsgPropertySupport = {0, 0, All(10) & ~Bit(9)};
constexpr SupportTable PrivilegeSupport = Same(Bit(0));

bool IsSupported(const SupportTable& table, int ordinal, int protocol) {
  if (ordinal < 0 || ordinal >= 32) return false;
  const int row = protocol < 1 ? 0 : (protocol > 3 ? 2 : protocol - 1);
  return (table[static_cast<std::size_t>(row)] & Bit(ordinal)) != 0;
}

std::string GetCallCommand(std::int32_t callId, TSkypeCallProperty property) {
  std::string command(kGetCallCommand);
  command += std::to_string(callId);
  command += ' ';
  command += WordOf(CallPropertyWords, static_cast<int>(property));
  return command;
}

}  // namespace telvaro
