// A softphone whose UI thread stops handling messages for 15 s while handset keys are pressed:
// telvaro.exe keeps handling its own messages within a few seconds, the keys pressed meanwhile
// reach the softphone in order once it is back, and so do the keys that follow.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/win32/RealWindowsApi.h"
// After the portable headers: <windows.h> turns their Win32 names into macros.
#include "../../tools/fakeapp/FakeAppCommands.h"
#include "FakeAppKeys.h"

namespace telvaro::e2e {
namespace {

using namespace fake;
using Clock = std::chrono::steady_clock;

constexpr DWORD kHangMs = 15000;
constexpr int kXLiteRow = 1;
constexpr int kPCPhoneRow = 20;  // no such fake runs: selecting it only changes the status
constexpr Millis kResponsive{4000};

class HungSoftphone : public FakeAppTest {
 protected:
  // How long telvaro takes to handle a posted message: a row picked in combo_App, whose handler
  // ends with the status line. Sent messages would not tell: they are handled even while telvaro
  // waits inside a send of its own.
  Millis TimeToHandleAPostedMessage(int row, const std::string& status) {
    const auto start = Clock::now();
    ChooseRowPosted(row);
    if (!WaitForStatus(status, Millis{20000})) return Millis{99999};
    return std::chrono::duration_cast<Millis>(Clock::now() - start);
  }

  // Picks a row as ChooseRow does, but posts the change notification instead of waiting for it.
  static void ChooseRowPosted(int row) {
    HWND main = TelvaroWindow();
    HWND combo = GetDlgItem(main, view::kAppComboId);
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(combo, CB_SETCURSEL, static_cast<WPARAM>(row), 0, SMTO_ABORTIFHUNG, 5000,
                        &ignored);
    PostMessageA(main, WM_COMMAND, MAKEWPARAM(view::kAppComboId, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(combo));
  }

  void Hang(HWND fakeMain, DWORD ms = kHangMs) {
    const UINT hang = RegisterWindowMessageA(fakeapp::kHangMessageName);
    ASSERT_NE(hang, 0u);
    ASSERT_TRUE(PostMessageA(fakeMain, hang, ms, 0));
    ASSERT_TRUE(WaitForLine(fakeLog_, "hang " + std::to_string(ms)));
    hangStart_ = Clock::now();
  }

  Clock::time_point hangStart_;
};

TEST_F(HungSoftphone, TelvaroStaysResponsiveAndLaterKeysReachTheTarget) {
  ASSERT_NO_FATAL_FAILURE(StartFake("d"));
  ASSERT_TRUE(WriteRegString(Hive::LocalMachine, kSettingsKey, "CurrentAppIndex",
                             std::to_string(kXLiteRow)));
  ASSERT_TRUE(LaunchTelvaro().Valid());
  ASSERT_NO_FATAL_FAILURE(PlugHandset());
  ASSERT_TRUE(WaitForStatus("X-Lite is running.")) << StatusLine();
  HWND fakeMain = FakeWindow("X-Lite");
  ASSERT_NE(fakeMain, nullptr);

  KeyCheck keys(fakeLog_, HandsetLogPath());
  keys.Press(Keypad('1').code, Keys("main", 0x61, '1'), false, "key 1 before the hang");

  ASSERT_NO_FATAL_FAILURE(Hang(fakeMain));
  // Within the system's first 5 s the softphone does not count as hung yet: each send of the key
  // waits for its timeout. A plain SendMessageA would wait the whole 15 s.
  ASSERT_EQ(Handset("press " + std::to_string(Keypad('5').code)).status, HandsetStatus::Ok);
  const Millis early = TimeToHandleAPostedMessage(kPCPhoneRow, "PCPhone is not running.");
  EXPECT_LT(early.count(), kResponsive.count()) << "a key sent to the hung softphone";
  std::printf("posted message handled %lld ms after a key to a softphone hung for %lld ms\n",
              static_cast<long long>(early.count()),
              static_cast<long long>(
                  std::chrono::duration_cast<Millis>(Clock::now() - hangStart_).count()));

  // Past 5 s without pumping the system counts it hung, and sends to it return at once.
  ASSERT_TRUE(WaitUntil([&] { return Clock::now() - hangStart_ > Millis{6500}; }, Millis{8000}));
  ChooseRowPosted(kXLiteRow);
  ASSERT_TRUE(WaitForStatus("X-Lite is running.", kResponsive)) << StatusLine();
  ASSERT_EQ(Handset("press " + std::to_string(Keypad('9').code)).status, HandsetStatus::Ok);
  const Millis late = TimeToHandleAPostedMessage(kPCPhoneRow, "PCPhone is not running.");
  EXPECT_LT(late.count(), kResponsive.count()) << "a key sent to a softphone counted as hung";
  std::printf("and %lld ms once the system counts it hung\n", static_cast<long long>(late.count()));
  EXPECT_TRUE(fake_->Running());

  // The keys pressed meanwhile were not lost: the softphone handles them, in order, once it
  // recovers.
  ASSERT_TRUE(WaitForLine(fakeLog_, "awake", Millis{kHangMs + 5000}));
  const Lines meanwhile = Keys("main", 0x65, '5') + Keys("main", 0x69, '9');
  std::vector<std::string> afterAwake;
  WaitUntil(
      [&] {
        const std::vector<std::string> log = FakeLines(fakeLog_);
        const auto awake = std::find(log.begin(), log.end(), "awake");
        afterAwake.assign(awake + 1, log.end());
        return afterAwake.size() >= meanwhile.size();
      },
      Millis{3000});
  EXPECT_TRUE(afterAwake.size() == meanwhile.size() &&
              std::equal(meanwhile.begin(), meanwhile.end(), afterAwake.begin(), Matches))
      << "the keys sent while it hung\n"
      << Listing(meanwhile, afterAwake);

  // The softphone is live again: it is selected once more, and every key reaches it exactly.
  ChooseRow(kXLiteRow);
  ASSERT_TRUE(WaitForStatus("X-Lite is running.")) << StatusLine();
  Sleep(500);  // whatever the softphone still had queued comes in before the comparison starts
  keys.Resync();
  for (const char key : {'2', '3', '4'}) {
    const KeypadKey& k = Keypad(key);
    keys.Press(k.code, Keys("main", k.vk, k.key), false, std::string("key ") + key + " after");
  }
  keys.Finish();
}

// What another program's edit holds (GetWindowTextA would give its stored caption only).
std::string EditText(HWND edit) {
  char text[256] = {};
  DWORD_PTR ignored = 0;
  SendMessageTimeoutA(edit, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                      SMTO_ABORTIFHUNG, 5000, &ignored);
  return text;
}

// Net2Phone Dialer's number edit holds a number, and the dialer takes 1.5 s (well short of hung)
// to answer the first length query. Both digits still go after the number, each once.
TEST_F(HungSoftphone, ASlowFirstAnswerStillPutsTheDigitsAfterTheNumber) {
  constexpr int kNet2PhoneDialerRow = 7;
  ASSERT_NO_FATAL_FAILURE(StartFake("g", {"--slow-first-length", "1500"}));
  HWND fakeMain = FakeWindow("Net2Phone Dialer");
  ASSERT_NE(fakeMain, nullptr);
  HWND edit = FindWindowExA(fakeMain, nullptr, "Edit", nullptr);
  ASSERT_NE(edit, nullptr);
  DWORD_PTR ignored = 0;
  SendMessageTimeoutA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("12345"), SMTO_ABORTIFHUNG,
                      5000, &ignored);
  ASSERT_TRUE(WriteRegString(Hive::LocalMachine, kSettingsKey, "CurrentAppIndex",
                             std::to_string(kNet2PhoneDialerRow)));
  ASSERT_TRUE(LaunchTelvaro().Valid());
  ASSERT_NO_FATAL_FAILURE(PlugHandset());
  ASSERT_TRUE(WaitForStatus("Net2Phone Dialer is running.")) << StatusLine();
  const std::string five = std::to_string(Keypad('5').code);
  ASSERT_EQ(Handset("press " + five).status, HandsetStatus::Ok);
  ASSERT_EQ(Handset("press " + five).status, HandsetStatus::Ok);
  ASSERT_TRUE(WaitForLine(fakeLog_, "stall 1500"));
  EXPECT_TRUE(WaitUntil([&] { return EditText(edit) == "1234555"; }, Millis{8000}))
      << "the edit holds \"" << EditText(edit) << "\"";
  const std::vector<std::string> log = FakeLines(fakeLog_);
  EXPECT_EQ(std::count(log.begin(), log.end(), "edit WM_CHAR 0x35 0x001C0001"), 2)
      << "each digit once";
  EXPECT_NE(StatusLine(), "Net2Phone Dialer is not responding.");
}

// The real seam against a real (Wine) desktop: a key to a hung window is queued, not waited for,
// and arrives once the window is back; a query waits out a stall shorter than its timeout and
// gets the real answer, in order after the key; a window that is gone answers nothing and the
// seam says so; showing a hung window does not wait for it; windows are told apart by program,
// and two programs of the same user run at the same integrity level.
TEST_F(HungSoftphone, TheRealSeamQueuesActionsAndSaysWhetherAQueryWasAnswered) {
  ASSERT_NO_FATAL_FAILURE(StartFake("d"));
  HWND fakeMain = FakeWindow("X-Lite");
  ASSERT_NE(fakeMain, nullptr);
  RealWindowsApi api;
  const auto seamWindow = reinterpret_cast<Hwnd>(fakeMain);
  std::uint32_t process = 0;
  EXPECT_NE(api.GetWindowThreadProcessId(seamWindow, &process), 0u);
  EXPECT_EQ(process, fake_->Id());
  EXPECT_EQ(api.GetWindowThreadProcessId(0, &process), 0u);
  const std::uint32_t ours = api.GetProcessIntegrityLevel(api.GetCurrentProcessId());
  EXPECT_NE(ours, 0u);
  EXPECT_EQ(api.GetProcessIntegrityLevel(fake_->Id()), ours);

  ASSERT_NO_FATAL_FAILURE(Hang(fakeMain, 3000));
  auto start = Clock::now();
  LResult ignored = 0;
  EXPECT_TRUE(api.TrySendMessageA(seamWindow, WM_KEYDOWN, 0x61, kKeyDownBits, &ignored));
  api.ShowWindow(seamWindow, SW_RESTORE);
  const auto queuedMs = std::chrono::duration_cast<Millis>(Clock::now() - start).count();
  start = Clock::now();
  LResult length = 0;
  EXPECT_TRUE(api.TrySendMessageA(seamWindow, WM_GETTEXTLENGTH, 0, 0, &length));
  EXPECT_EQ(length, static_cast<LResult>(std::strlen("X-Lite")));
  const auto queryMs = std::chrono::duration_cast<Millis>(Clock::now() - start).count();
  std::printf("key and show queued in %lld ms; the query was answered after %lld ms\n",
              static_cast<long long>(queuedMs), static_cast<long long>(queryMs));
  const std::vector<std::string> log = FakeLines(fakeLog_);
  const auto key = std::find(log.begin(), log.end(), "main WM_KEYDOWN 0x61 0x001C0001");
  EXPECT_NE(key, log.end()) << "the key that waited arrives once the window is back";
  EXPECT_TRUE(std::find(log.begin(), key, "awake") != key) << "and only then";

  LResult stale = 1;
  EXPECT_FALSE(api.TrySendMessageA(Hwnd{0x7FF0}, WM_GETTEXTLENGTH, 0, 0, &stale));
  EXPECT_EQ(stale, 0);
}

}  // namespace
}  // namespace telvaro::e2e
