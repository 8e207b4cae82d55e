// The API's word tables and protocol support sets, pinned to their published values.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <string>
#include <vector>

#include "skype/SkypeControlConst.h"

namespace telvaro {
namespace {

using Words = std::vector<std::string_view>;

template <std::size_t N>
Words AsWords(const WordTable<N>& table) {
  return Words(table.begin(), table.end());
}

TEST(SkypeWords, TablesHoldTheApiWordsInOrdinalOrder) {
  struct Case {
    const char* name;
    Words actual;
    Words expected;
  };
  const std::vector<Case> cases = {
      {"UserStatusWords",
       AsWords(UserStatusWords),
       {"UNKNOWN", "ONLINE", "OFFLINE", "AWAY", "NA", "DND", "INVISIBLE", "LOGGEDOUT", "SKYPEME"}},
      {"ConnStatusWords",
       AsWords(ConnStatusWords),
       {"OFFLINE", "CONNECTING", "PAUSING", "ONLINE", "LOGGEDOUT"}},
      {"SearchTypeWords",
       AsWords(SearchTypeWords),
       {"USERS", "FRIENDS", "CALLS", "ACTIVECALLS", "MISSEDCALLS", "MESSAGES", "MISSEDMESSAGES",
        "CHATS", "CHATMESSAGES", "MISSEDCHATMESSAGES"}},
      {"UserPropertyWords",
       AsWords(UserPropertyWords),
       {"HANDLE",     "FULLNAME",         "BIRTHDAY",     "SEX",
        "LANGUAGE",   "COUNTRY",          "PROVINCE",     "CITY",
        "PHONE_HOME", "PHONE_OFFICE",     "PHONE_MOBILE", "HOMEPAGE",
        "ABOUT",      "HASCALLEQUIPMENT", "BUDDYSTATUS",  "ISAUTHORIZED",
        "ISBLOCKED",  "DISPLAYNAME",      "ONLINESTATUS", "LASTONLINETIMESTAMP"}},
      {"CallPropertyWords",
       AsWords(CallPropertyWords),
       {"TIMESTAMP", "PARTNER_HANDLE", "PARTNER_DISPNAME", "CONF_ID", "TYPE", "STATUS",
        "FAILUREREASON", "SUBJECT", "PSTN_NUMBER", "DURATION", "SEEN", "DTMF", "PSTN_STATUS"}},
      {"MessagePropertyWords",
       AsWords(MessagePropertyWords),
       {"TIMESTAMP", "PARTNER_HANDLE", "PARTNER_DISPNAME", "CONF_ID", "TYPE", "STATUS", "SEEN",
        "FAILUREREASON", "BODY"}},
      {"ChatPropertyWords",
       AsWords(ChatPropertyWords),
       {"NAME", "TIMESTAMP", "ADDER", "STATUS", "POSTERS", "MEMBERS", "TOPIC", "ACTIVEMEMBERS",
        "FRIENDLYNAME"}},
      {"ChatMsgPropertyWords",
       AsWords(ChatMsgPropertyWords),
       {"CHATNAME", "TIMESTAMP", "FROM_HANDLE", "FROM_DISPNAME", "TYPE", "USERS", "LEAVEREASON",
        "BODY", "STATUS", "SEEN"}},
      {"PrivilegeWords", AsWords(PrivilegeWords), {"SKYPEOUT"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.actual, c.expected) << c.name;
  }
  // Enumerations and tables must agree on the members the code names.
  EXPECT_EQ(CallPropertyWords[static_cast<int>(TSkypeCallProperty::Status)], "STATUS");
  EXPECT_EQ(CallPropertyWords[static_cast<int>(TSkypeCallProperty::Dtmf)], "DTMF");
  EXPECT_EQ(CallPropertyWords[static_cast<int>(TSkypeCallProperty::PstnStatus)], "PSTN_STATUS");
  EXPECT_EQ(UserStatusWords[static_cast<int>(TSkypeUserStatus::SkypeMe)], "SKYPEME");
  EXPECT_EQ(SearchTypeWords[static_cast<int>(TSkypeSearchType::MissedChatMessages)],
            "MISSEDCHATMESSAGES");
  EXPECT_EQ(ChatMsgPropertyWords[static_cast<int>(TSkypeChatMsgProperty::Seen)], "SEEN");
}

TEST(SkypeWords, LookupIsExactAndFallsBackToTheFirstRow) {
  struct Case {
    std::string_view word;
    int userStatus;
    int connStatus;
    int callProperty;
  };
  const std::vector<Case> cases = {
      {"ONLINE", 1, 3, 0}, {"online", 0, 0, 0},       {"SKYPEME", 8, 0, 0}, {"LOGGEDOUT", 7, 4, 0},
      {"STATUS", 0, 0, 5}, {"PSTN_STATUS", 0, 0, 12}, {" ONLINE", 0, 0, 0}, {"ONLINE ", 0, 0, 0},
      {"", 0, 0, 0},       {"UNKNOWN", 0, 0, 0},      {"DTMF", 0, 0, 11},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(LookupWord(UserStatusWords, c.word), c.userStatus) << "[" << c.word << "]";
    EXPECT_EQ(LookupWord(ConnStatusWords, c.word), c.connStatus) << "[" << c.word << "]";
    EXPECT_EQ(LookupWord(CallPropertyWords, c.word), c.callProperty) << "[" << c.word << "]";
  }
}

// The supported ordinals of one table under protocols 1, 2 and 3.
using Rows = std::vector<std::vector<int>>;

Rows Supported(const SupportTable& table) {
  Rows rows(3);
  for (int protocol = 1; protocol <= 3; ++protocol) {
    for (int ordinal = 0; ordinal < 32; ++ordinal) {
      if (IsSupported(table, ordinal, protocol)) rows[protocol - 1].push_back(ordinal);
    }
  }
  return rows;
}

std::vector<int> Range(int from, int to, std::vector<int> without = {}) {
  std::vector<int> out;
  for (int i = from; i <= to; ++i) {
    if (std::find(without.begin(), without.end(), i) == without.end()) out.push_back(i);
  }
  return out;
}

TEST(SkypeSupport, SetsPerProtocol) {
  struct Case {
    const char* name;
    const SupportTable& table;
    Rows expected;
  };
  const std::vector<Case> cases = {
      {"UserStatus", UserStatusSupport, {Range(0, 7), Range(0, 8), Range(0, 8)}},
      {"ConnStatus", ConnStatusSupport, {Range(0, 4), Range(0, 4), Range(0, 4)}},
      {"SearchType", SearchTypeSupport, {Range(0, 6), Range(0, 6), Range(0, 9, {5})}},
      {"UserProperty", UserPropertySupport, {Range(0, 19), Range(0, 19), Range(0, 19)}},
      {"CallProperty",
       CallPropertySupport,
       {Range(0, 12, {10, 11}), Range(0, 12, {10, 11}), Range(0, 12, {10, 11})}},
      {"CallSettable", CallPropertySettable, {{5, 10, 11}, {5, 10, 11}, {5, 10, 11}}},
      {"MessageProperty", MessagePropertySupport, {Range(0, 8, {6}), Range(0, 8, {6}), {}}},
      {"ChatProperty", ChatPropertySupport, {{}, {}, Range(0, 8)}},
      {"ChatMsgProperty", ChatMsgPropertySupport, {{}, {}, Range(0, 9, {9})}},
      {"Privilege", PrivilegeSupport, {{0}, {0}, {0}}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Supported(c.table), c.expected) << c.name;
    // Protocol numbers Skype may announce beyond the three rows read the nearest row.
    for (int ordinal = -1; ordinal <= 40; ++ordinal) {
      for (int low : {0, -1, INT_MIN}) {
        EXPECT_EQ(IsSupported(c.table, ordinal, low), IsSupported(c.table, ordinal, 1)) << c.name;
      }
      for (int high : {4, 99, INT_MAX}) {
        EXPECT_EQ(IsSupported(c.table, ordinal, high), IsSupported(c.table, ordinal, 3)) << c.name;
      }
    }
    EXPECT_FALSE(IsSupported(c.table, -1, 1));
    EXPECT_FALSE(IsSupported(c.table, 32, 3));
    EXPECT_FALSE(IsSupported(c.table, INT_MAX, 3));
  }
}

}  // namespace
}  // namespace telvaro
