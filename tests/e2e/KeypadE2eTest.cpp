// The twelve keypad keys against one fake of each injection family, with the target picked at
// start-up from the stored row: each key must make the fake log exactly the messages of its
// application, and bring a minimized application back to the front first. Both ways a handset
// library may report keys are run: posted from the program's own thread, and sent from a device
// thread without waiting (then they come inside any wait of the program's that serves sent
// messages).
#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "../../tools/fakeapp/FakeAppCommands.h"
#include "FakeAppKeys.h"

namespace telvaro::e2e {
namespace {

using namespace fake;

constexpr char kDialled[] = "123456789*0#";

struct Family {
  int row;
  const char* app;  // fakeapp's name for it
  const char* name;
  const char* mainTitle;  // the fake's main window, and the status line's title
  KeypadPlan keypad;
  const char* editText;  // put into the number edit first, caret at its start (Net2Phone)
};

void PrintTo(const Family& family, std::ostream* out) { *out << family.name; }

enum class Reports { Posted, Sent };

const std::vector<Family>& Families() {
  static const std::vector<Family> families = {
      {1, "d", "X-Lite", "X-Lite", KeysThenClickForHash, nullptr},
      {2, "j", "X-PRO", "X-PRO", KeysThenShiftedHash, nullptr},
      {11, "k", "Firefly", "Firefly 2", FireflyKeys, nullptr},
      {12, "l", "eyeBeam", "eyeBeam", EyeBeamKeys, nullptr},
      {6, "f", "SJphone", "SJphone", SjphoneButtons, nullptr},
      {7, "g", "Net2Phone Dialer", "Net2Phone Dialer", Net2PhoneEdit, "555"},
      {19, "z", "MediaRing PCPhone", "MediaRing PCPhone", MediaRingPoints, nullptr},
      {14, "r", "Yahoo Call Center", "Call Center", YahooPoints, nullptr},
      {20, "{", "PCPhone", "PCPhone", PCPhoneKeys, nullptr},
      {16, "u", "VoipBuster", "VoipBuster - fakeuser", VoipKeys, nullptr},
  };
  return families;
}

class KeypadE2eFixture : public FakeAppTest {
 protected:
  // The fake first, then telvaro with `row` stored: start-up selects it and, as it runs, brings it
  // to the front.
  void Start(int row, const std::string& app, const std::vector<std::string>& extraArgs = {},
             Reports reports = Reports::Posted) {
    ASSERT_NO_FATAL_FAILURE(StartFake(app, extraArgs));
    ASSERT_TRUE(
        WriteRegString(Hive::LocalMachine, kSettingsKey, "CurrentAppIndex", std::to_string(row)));
    ASSERT_TRUE(LaunchTelvaro().Valid());
    if (reports == Reports::Sent) {
      ASSERT_NE(WaitForHandset(), nullptr);
      ASSERT_EQ(Handset("sending").result, 1);
    }
    ASSERT_NO_FATAL_FAILURE(PlugHandset());
  }

  static bool Minimize(HWND window) {
    ShowWindow(window, SW_MINIMIZE);
    return WaitUntil([&] { return IsIconic(window) != FALSE; }, Millis{3000});
  }

  static bool InFront(HWND window) {
    return WaitUntil([&] { return !IsIconic(window) && GetForegroundWindow() == window; },
                     Millis{3000});
  }
};

class KeypadE2e : public KeypadE2eFixture,
                  public ::testing::WithParamInterface<std::tuple<Family, Reports>> {};
class KeypadE2eLookup : public KeypadE2eFixture {};

TEST_P(KeypadE2e, EveryKeyReachesTheApplication) {
  const Family& family = std::get<0>(GetParam());
  ASSERT_NO_FATAL_FAILURE(Start(family.row, family.app, {}, std::get<1>(GetParam())));
  EXPECT_TRUE(WaitForStatus(std::string(family.mainTitle) + " is running.")) << StatusLine();
  HWND fakeMain = FakeWindow(family.mainTitle);
  ASSERT_NE(fakeMain, nullptr);
  EXPECT_TRUE(InFront(fakeMain)) << "start-up brings the selected application forward";

  std::string edited = family.editText != nullptr ? family.editText : "";
  if (family.editText != nullptr) {
    HWND edit = FindWindowExA(fakeMain, nullptr, "Edit", nullptr);
    ASSERT_NE(edit, nullptr);
    SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(family.editText));
    SendMessageA(edit, EM_SETSEL, 0, 0);
  }

  KeyCheck keys(fakeLog_, HandsetLogPath());
  for (const char* dial = kDialled; *dial != '\0'; ++dial) {
    const KeypadKey& key = Keypad(*dial);
    const std::string what = std::string(family.name) + ", key " + key.key;
    const Lines expected = family.keypad(key, edited);
    ASSERT_TRUE(Minimize(fakeMain)) << what;
    keys.Press(key.code, expected, false, what);
    if (!expected.empty()) {
      EXPECT_TRUE(InFront(fakeMain)) << what << ": the application is restored and activated";
    }
    edited += key.key;
  }
  keys.Finish();
  EXPECT_EQ(StatusLine(), std::string(family.mainTitle) + " is running.");

  if (family.keypad(Keypad('#'), edited).empty()) {
    EXPECT_TRUE(IsIconic(fakeMain)) << family.name << ": the hash key does nothing at all";
  }
  if (family.editText != nullptr) {
    char text[64] = {};
    SendMessageA(FindWindowExA(fakeMain, nullptr, "Edit", nullptr), WM_GETTEXT, sizeof text,
                 reinterpret_cast<LPARAM>(text));
    EXPECT_EQ(std::string(text), edited) << "every key is typed after the last character";
  }
}

INSTANTIATE_TEST_SUITE_P(, KeypadE2e,
                         ::testing::Combine(::testing::ValuesIn(Families()),
                                            ::testing::Values(Reports::Posted, Reports::Sent)),
                         [](const ::testing::TestParamInfo<KeypadE2e::ParamType>& info) {
                           return "Row" + std::to_string(std::get<0>(info.param).row) +
                                  (std::get<1>(info.param) == Reports::Sent ? "Sent" : "Posted");
                         });

// Twelve keys sent by the handset's thread in a burst while X-Lite stalls for 1.2 s: each is
// handled to its end before the next, so every key arrives once, in order.
TEST_F(KeypadE2eLookup, ABurstOfSentKeysIntoAStallingSoftphoneArrivesOnceEachInOrder) {
  ASSERT_NO_FATAL_FAILURE(Start(1, "d", {}, Reports::Sent));
  EXPECT_TRUE(WaitForStatus("X-Lite is running.")) << StatusLine();
  const std::size_t before = FakeLines(fakeLog_).size();
  ASSERT_TRUE(PostMessageA(FakeWindow("X-Lite"), RegisterWindowMessageA(fakeapp::kHangMessageName),
                           1200, 0));
  ASSERT_TRUE(WaitForLine(fakeLog_, "hang 1200"));
  Lines expected;
  for (const char* dial = kDialled; *dial != '\0'; ++dial) {
    ASSERT_EQ(Handset("press " + std::to_string(Keypad(*dial).code)).result, 1) << *dial;
    expected = expected + KeysThenClickForHash(Keypad(*dial), "");
  }
  std::vector<std::string> got;
  const auto keysLogged = [&] {
    got = FakeLines(fakeLog_);
    got.erase(got.begin(), got.begin() + static_cast<std::ptrdiff_t>(before));
    std::erase_if(got, [](const std::string& l) { return l == "awake" || l == "hang 1200"; });
    return got.size() >= expected.size();
  };
  WaitUntil(keysLogged, Millis{20000});
  Sleep(static_cast<DWORD>(kQuiet.count()));
  keysLogged();
  EXPECT_TRUE(got.size() == expected.size() &&
              std::equal(expected.begin(), expected.end(), got.begin(), Matches))
      << Listing(expected, got);
}

// A window titled "X-Lite" of another class: the selection and the presence poll find it by its
// title, the 2 key too, but every other key looks for the class as well and finds nothing.
TEST_F(KeypadE2eLookup, XLiteKeyTwoAloneFindsAWindowOfAnotherClass) {
  ASSERT_NO_FATAL_FAILURE(Start(1, "z", {"--title", "X-Lite"}));
  const std::string running = "X-Lite is running.";
  const std::string notRunning = "X-Lite is not running.";
  EXPECT_TRUE(WaitForStatus(running)) << StatusLine();
  KeyCheck keys(fakeLog_, HandsetLogPath());
  keys.Press(Keypad('1').code, {}, false, "impostor, key 1");
  WaitForStatus(notRunning, Millis{1000});  // a presence poll may show it running again at once
  // Right after a presence poll has shown it running again, the next one is 5 s away.
  ASSERT_TRUE(WaitForStatus(running, Millis{7000})) << "the presence poll looks by title alone";
  keys.Press(Keypad('3').code, {}, false, "impostor, key 3");
  EXPECT_TRUE(WaitForStatus(notRunning, Millis{2000})) << StatusLine();
  keys.Press(Keypad('2').code, Keys("main", 0x62, '2'), false, "impostor, key 2");
  EXPECT_EQ(StatusLine(), notRunning) << "a key that finds its window reports nothing";
  keys.Press(Keypad('*').code, {}, false, "impostor, star key");
  keys.Press(Keypad('#').code, {}, false, "impostor, hash key");
  keys.Finish();
}

}  // namespace
}  // namespace telvaro::e2e
