// A standard USB telephony handset, for real: the virtual HID devices of tests/fixtures/virtual-hid
// (a HID minidriver under Wine's HID class driver), read by telvaro.exe through Raw Input, its
// ringer written back and read from the device by hidctl. Raw Input reaches a program only while
// some window of the desktop is in front, so each test brings its fake softphone forward first.
#include <gmock/gmock.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "E2e.h"
#include "FakeAppKeys.h"
#include "FakeSkypeControl.h"

namespace telvaro::e2e {
namespace {

using namespace fake;

constexpr char kHidCtlExe[] = "hidctl.exe";
constexpr Millis kArrival{2000};  // from the device's start to its arrival handled
constexpr Millis kQuietHid{1500};

// Input reports of the virtual handset: report 1, bits (hook, Send, Drop, Mute, Volume+,
// Volume-), then the keypad array (1 to 12: Phone Key 0 to 9, Star, Pound; 0 none).
constexpr int kHookBit = 0x01;
int KeypadValue(char key) {
  if (key == '*') return 11;
  if (key == '#') return 12;
  return key - '0' + 1;
}
std::string HandsetReport(int bits, int keypad) {
  char text[32];
  std::snprintf(text, sizeof text, "01 %02x %02x", bits, keypad);
  return text;
}

// The last output report a device took, as hidctl reads it back.
struct Output {
  unsigned count = 0;
  std::vector<std::string> bytes;  // hex, report ID first
};

class HidHandset : public FakeAppTest {
 protected:
  void SetUp() override {
    FakeAppTest::SetUp();
    // The device runs in Wine's 64-bit device host, so the x64 build makes it; the x86 build's
    // programs are tested against the x64 build's device.
    for (const std::string& folder : {BinDir(), OtherBinDir()}) {
      const std::string exe = folder + "\\" + kHidCtlExe;
      if (!folder.empty() && GetFileAttributesA(exe.c_str()) != INVALID_FILE_ATTRIBUTES) {
        fixtureDir_ = folder;
        break;
      }
    }
    ASSERT_FALSE(fixtureDir_.empty()) << kHidCtlExe << " is in neither build: build mingw-x64";
    Hidctl({"unplug"});  // whatever an earlier run left behind
  }
  void TearDown() override {
    if (!fixtureDir_.empty()) Hidctl({"unplug"});
    FakeAppTest::TearDown();
  }

  RunResult Hidctl(std::vector<std::string> args) {
    return e2e::Run(fixtureDir_ + "\\" + kHidCtlExe, args, {}, Millis{30000});
  }
  void Plug(const char* kind) {
    const RunResult run = Hidctl({"plug", fixtureDir_, kind});
    ASSERT_EQ(run.exitCode, 0u) << run.output;
    // Wine announces a collection before a program can open it: a first report without keys
    // makes it known for sure.
    Sleep(500);
    ASSERT_NO_FATAL_FAILURE(Input(kind, std::string(kind) == "handset" ? "01 00 00" : "01 00"));
    Sleep(static_cast<DWORD>(kArrival.count()));
  }
  void Input(const char* kind, const std::string& report, bool unplug = false) {
    std::vector<std::string> args = {"input", kind};
    std::istringstream bytes(report);
    for (std::string b; bytes >> b;) args.push_back(b);
    if (unplug) args.push_back("--unplug");
    const RunResult run = Hidctl(args);
    ASSERT_EQ(run.exitCode, 0u) << report << "\n" << run.output;
  }
  Output RingerOutput(const char* kind) {
    const RunResult run = Hidctl({"output", kind});
    EXPECT_EQ(run.exitCode, 0u) << run.output;
    Output out;
    std::istringstream words(run.output);
    words >> out.count;
    for (std::string b; words >> b;) out.bytes.push_back(b);
    return out;
  }
  bool WaitForRinger(bool on) {
    return WaitUntil([&] {
      const Output out = RingerOutput("handset");
      return out.count > 0 && out.bytes.size() >= 2 && out.bytes[0] == "02" &&
             out.bytes[1] == (on ? "01" : "00");
    });
  }

  // telvaro.exe alone in a folder: the HID source is its only handset source.
  void StartTelvaroAlone() {
    const std::string folder = TempPath("alone");
    CreateDirectoryA(folder.c_str(), nullptr);
    ASSERT_TRUE(
        CopyFileA(BinPath(kTelvaroExe).c_str(), (folder + "\\" + kTelvaroExe).c_str(), FALSE));
    Process& telvaro = LaunchExe(folder + "\\" + kTelvaroExe);
    ASSERT_TRUE(telvaro.Valid());
    ASSERT_NE(WaitForWindow(kMainWindowClass, kMainWindowTitle, kDefaultTimeout, telvaro.Id()),
              nullptr);
  }

  void StartXLite(bool withLibrary) {
    ASSERT_NO_FATAL_FAILURE(StartFake("d"));
    ASSERT_TRUE(WriteRegString(Hive::LocalMachine, kSettingsKey, "CurrentAppIndex", "1"));
    if (withLibrary) {
      ASSERT_TRUE(LaunchTelvaro().Valid());
    } else {
      ASSERT_NO_FATAL_FAILURE(StartTelvaroAlone());
    }
    ASSERT_TRUE(WaitForStatus("X-Lite is running.")) << StatusLine();
    // Start-up brings the selected application forward: Raw Input needs a window in front.
    ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == FakeWindow("X-Lite"); }));
  }

  // Presses `key` on the HID handset (and on the library's handset too when `alsoLibrary`) and
  // checks that X-Lite gets exactly one key's messages.
  void DialOnce(char key, bool alsoLibrary, std::size_t& seen) {
    const KeypadKey& k = Keypad(key);
    const Lines expected = KeysThenClickForHash(k, "");
    if (alsoLibrary) {
      ASSERT_EQ(Handset("press " + std::to_string(k.code)).result, 1);
    }
    ASSERT_NO_FATAL_FAILURE(Input("handset", HandsetReport(0, KeypadValue(key))));
    ASSERT_NO_FATAL_FAILURE(Input("handset", HandsetReport(0, 0)));
    const std::size_t wanted = seen + expected.size();
    std::vector<std::string> lines;
    WaitUntil([&] { return (lines = FakeLines(fakeLog_)).size() >= wanted; }, kKeyTimeout);
    // A key given twice shows up after the first one's lines.
    Sleep(static_cast<DWORD>(kQuiet.count()));
    lines = FakeLines(fakeLog_);
    const std::vector<std::string> got(lines.begin() + static_cast<std::ptrdiff_t>(seen),
                                       lines.end());
    const bool same = got.size() == expected.size() &&
                      std::equal(expected.begin(), expected.end(), got.begin(), Matches);
    EXPECT_TRUE(same) << "key " << key << "\n" << Listing(expected, got);
    seen = lines.size();
  }

  // The fake Skype in front, telvaro.exe alone attached to it.
  void StartSkype() {
    skypeLog_ = TempPath("fakeskype.log");
    ASSERT_TRUE(Launch(kFakeSkypeExe, {"--log", skypeLog_}).Valid());
    ASSERT_TRUE(WaitForLine(skypeLog_, "ready"));
    ASSERT_NO_FATAL_FAILURE(StartTelvaroAlone());
    ASSERT_TRUE(WaitForLine(skypeLog_, "received PROTOCOL 3"));
    ASSERT_TRUE(tools::SendFakeSkypeControl("front"));
  }

  // The texts Skype received after the first `count`, without the presence poll's traffic
  // (its pings, and the attachment it renews on its first tick).
  std::vector<std::string> Since(std::size_t count) const {
    std::vector<std::string> texts;
    for (const std::string& line : ReadLines(skypeLog_)) {
      if (line.rfind("received ", 0) == 0 && line != "received PING" &&
          line != "received NAME TELVARO" && line != "received PROTOCOL 3") {
        texts.push_back(line.substr(9));
      }
    }
    texts.erase(texts.begin(),
                texts.begin() + static_cast<std::ptrdiff_t>(std::min(count, texts.size())));
    return texts;
  }
  std::size_t ReceivedCount() const { return Since(0).size(); }
  bool WaitForReceived(const std::string& text) {
    return WaitForLine(skypeLog_, "received " + text);
  }

  std::string fixtureDir_;  // hidctl.exe, TelvaroHid.inf and TelvaroHid.sys
  std::string skypeLog_;
};

TEST_F(HidHandset, PluggedInItDialsIntoXLiteInOrder) {
  ASSERT_NO_FATAL_FAILURE(StartXLite(false));
  ASSERT_NO_FATAL_FAILURE(Plug("handset"));
  EXPECT_EQ(StatusLine(), "X-Lite is running.") << "a handset's arrival says nothing";
  std::size_t seen = FakeLines(fakeLog_).size();
  for (char key : std::string("1234567890*#")) {
    ASSERT_NO_FATAL_FAILURE(DialOnce(key, false, seen));
  }
  EXPECT_EQ(RingerOutput("handset").count, 0u) << "nothing rings for X-Lite";
}

TEST_F(HidHandset, TheHookSwitchAnswersARingingSkypeCallWhileTheRingerFollowsIt) {
  ASSERT_NO_FATAL_FAILURE(StartSkype());
  ASSERT_NO_FATAL_FAILURE(Plug("handset"));
  ASSERT_TRUE(tools::SendFakeSkypeControl("send CALL 61 STATUS RINGING"));
  ASSERT_TRUE(WaitForRinger(true)) << "the Ringer output is on while Skype rings";

  std::size_t before = ReceivedCount();
  ASSERT_NO_FATAL_FAILURE(Input("handset", HandsetReport(kHookBit, 0)));
  ASSERT_TRUE(WaitForReceived("FOCUS"));
  EXPECT_THAT(Since(before),
              ::testing::ElementsAre("SET CALL 61 STATUS INPROGRESS", "HOOK OFF", "FOCUS"));
  ASSERT_TRUE(tools::SendFakeSkypeControl("send CALL 61 STATUS INPROGRESS"));
  ASSERT_TRUE(WaitForRinger(false)) << "and off once the call is answered";

  before = ReceivedCount();
  ASSERT_NO_FATAL_FAILURE(Input("handset", HandsetReport(0, 0)));
  ASSERT_TRUE(WaitForReceived("HOOK ON"));
  EXPECT_THAT(Since(before), ::testing::ElementsAre("SET CALL 61 STATUS FINISHED", "HOOK ON"));
  // On once, then off; an off the device does not confirm within the write's wait is sent again.
  EXPECT_GE(RingerOutput("handset").count, 2u);
  EXPECT_TRUE(WaitForRinger(false)) << "and it stays off";
}

TEST_F(HidHandset, PulledOutWhileItRingsAndPluggedInAgainItRingsOn) {
  ASSERT_NO_FATAL_FAILURE(StartSkype());
  ASSERT_NO_FATAL_FAILURE(Plug("handset"));
  ASSERT_TRUE(tools::SendFakeSkypeControl("send CALL 61 STATUS RINGING"));
  ASSERT_TRUE(WaitForRinger(true));
  // Held open for writing while it rings: its removal must neither hang nor be refused.
  const RunResult unplug = Hidctl({"unplug", "handset"});
  ASSERT_EQ(unplug.exitCode, 0u) << unplug.output;
  ASSERT_NO_FATAL_FAILURE(Plug("handset"));
  EXPECT_TRUE(WaitForRinger(true)) << "a handset plugged in while the call rings joins in";
  ASSERT_TRUE(tools::SendFakeSkypeControl("send CALL 61 STATUS MISSED"));
  EXPECT_TRUE(WaitForRinger(false));
}

TEST_F(HidHandset, UnpluggedInTheMiddleOfAPressTheKeyIsReleased) {
  ASSERT_NO_FATAL_FAILURE(StartSkype());
  ASSERT_NO_FATAL_FAILURE(Plug("handset"));
  // The 0 key is timed from its press: its release sends "0", and a 0 never released would
  // be taken for a long press after a second and send "+".
  const std::size_t before = ReceivedCount();
  ASSERT_NO_FATAL_FAILURE(Input("handset", HandsetReport(0, KeypadValue('0')), true));
  ASSERT_TRUE(WaitForReceived("BTN_RELEASED 0")) << ::testing::PrintToString(Since(before));
  Sleep(static_cast<DWORD>(kQuietHid.count()));
  EXPECT_THAT(Since(before), ::testing::ElementsAre("BTN_RELEASED 0"));
}

TEST_F(HidHandset, AHeadsetChangesNothing) {
  ASSERT_NO_FATAL_FAILURE(StartSkype());
  ASSERT_NO_FATAL_FAILURE(Plug("headset"));
  ASSERT_TRUE(tools::SendFakeSkypeControl("send CALL 61 STATUS RINGING"));
  const std::size_t before = ReceivedCount();
  // Its hook switch and volume rocker: report 1, hook bit 0, volume up bit 2.
  for (const char* report : {"01 01", "01 05", "01 01", "01 00"}) {
    ASSERT_NO_FATAL_FAILURE(Input("headset", report));
  }
  Sleep(static_cast<DWORD>(kQuietHid.count()));
  EXPECT_THAT(Since(before), ::testing::IsEmpty()) << "no call answered, nothing scrolled";
  EXPECT_EQ(RingerOutput("headset").count, 0u) << "its Ring LED is not ours to light";
}

TEST_F(HidHandset, BesideTheHandsetLibraryEachKeyArrivesOnce) {
  ASSERT_NO_FATAL_FAILURE(StartXLite(true));
  ASSERT_NO_FATAL_FAILURE(PlugHandset());  // the library's handset: the same device, say
  ASSERT_NO_FATAL_FAILURE(Plug("handset"));
  std::size_t seen = FakeLines(fakeLog_).size();
  for (char key : std::string("159")) ASSERT_NO_FATAL_FAILURE(DialOnce(key, true, seen));
  // Without the library's handset, the HID handset gives the keys.
  ASSERT_EQ(Handset("unplug").result, 1);
  ASSERT_TRUE(WaitForLine(HandsetLogPath(), "StopKeyScan"));
  Sleep(500);
  for (char key : std::string("26")) ASSERT_NO_FATAL_FAILURE(DialOnce(key, false, seen));
}

// Real devices, played by the virtual HID device from their own report descriptors and recorded
// reports (tests/data/hid-devices): Wine's HID parser reads the real descriptor.
class HidRealDevices : public HidHandset {
 protected:
  std::string DeviceFile(const std::string& name) const {
    return fixtureDir_ + "\\hid-devices\\" + name;
  }
  // Plugs the played device; its first report (`first`, default: the idle one) makes it known.
  void PlugPlayed(const std::string& descriptor, const std::string& first,
                  const std::vector<std::string>& options = {}) {
    std::vector<std::string> args = {"plug", fixtureDir_, DeviceFile(descriptor)};
    args.insert(args.end(), options.begin(), options.end());
    const RunResult run = Hidctl(args);
    ASSERT_EQ(run.exitCode, 0u) << run.output;
    Sleep(500);
    ASSERT_NO_FATAL_FAILURE(Give(first));
    Sleep(static_cast<DWORD>(kArrival.count()));
  }
  void Give(const std::string& report) {
    std::vector<std::string> args = {"input"};
    std::istringstream bytes(report);
    for (std::string b; bytes >> b;) args.push_back(b);
    const RunResult run = Hidctl(args);
    ASSERT_EQ(run.exitCode, 0u) << report << "\n" << run.output;
  }
  // Replays lines [from, to) of a recording (all when `to` is 0), faster than recorded: no gap
  // over `maxGapMs`, the order kept.
  void Replay(const std::string& recording, std::size_t from, std::size_t to, int maxGapMs) {
    std::vector<std::string> lines;
    for (const std::string& line : ReadLines(DeviceFile(recording))) {
      if (!line.empty() && line[0] != '#') lines.push_back(line);
    }
    if (to == 0 || to > lines.size()) to = lines.size();
    const std::string part = TempPath("part.reports");
    std::string text;
    for (std::size_t i = from; i < to; ++i) text += lines[i] + "\n";
    std::ofstream(part, std::ios::binary) << text;
    const RunResult run = Hidctl({"replay", part, "--max-gap", std::to_string(maxGapMs)});
    ASSERT_EQ(run.exitCode, 0u) << run.output;
  }
  std::size_t Count(const std::vector<std::string>& texts, const std::string& text) const {
    return static_cast<std::size_t>(std::count(texts.begin(), texts.end(), text));
  }
};

constexpr char kCx300[] = "polycom-cx300-095d-9201.desc";
constexpr char kCx300Recording[] = "polycom-cx300-095d-9201.reports";
constexpr char kCx300Held[] = "polycom-cx300-095d-9201-held-hook.reports";
constexpr char kCx300Idle[] = "01 00 00 00 00 D5 5A 00";
constexpr char kCx300OffHook[] = "01 01 00 00 40 D5 5A 00";

TEST_F(HidRealDevices, TheCx300RecordingDialsEveryKeyOnceInOrder) {
  ASSERT_NO_FATAL_FAILURE(StartXLite(false));
  ASSERT_NO_FATAL_FAILURE(PlugPlayed(kCx300, kCx300Idle));
  const std::size_t seen = FakeLines(fakeLog_).size();
  // The recording's first 27 lines: 0 to 9, star, pound, and the long press of 0 with the Speed
  // Dial bit the phone adds to it.
  ASSERT_NO_FATAL_FAILURE(Replay(kCx300Recording, 0, 27, 400));
  Lines expected;
  for (char key : std::string("0123456789*#0"))
    expected = expected + KeysThenClickForHash(Keypad(key), "");
  std::vector<std::string> lines;
  WaitUntil([&] { return (lines = FakeLines(fakeLog_)).size() >= seen + expected.size(); },
            kKeyTimeout);
  Sleep(static_cast<DWORD>(kQuietHid.count()));
  lines = FakeLines(fakeLog_);
  const std::vector<std::string> got(lines.begin() + static_cast<std::ptrdiff_t>(seen),
                                     lines.end());
  EXPECT_TRUE(got.size() == expected.size() &&
              std::equal(expected.begin(), expected.end(), got.begin(), Matches))
      << Listing(expected, got);
}

TEST_F(HidRealDevices, TheLongZeroIsAPlusInSkype) {
  ASSERT_NO_FATAL_FAILURE(StartSkype());
  ASSERT_NO_FATAL_FAILURE(PlugPlayed(kCx300, kCx300Idle));
  const std::size_t before = ReceivedCount();
  ASSERT_NO_FATAL_FAILURE(Replay(kCx300Recording, 24, 27, 1500));
  ASSERT_TRUE(WaitForReceived("BTN_RELEASED +")) << ::testing::PrintToString(Since(before));
  Sleep(static_cast<DWORD>(kQuietHid.count()));
  EXPECT_THAT(Since(before), ::testing::ElementsAre("BTN_RELEASED +"));
}

TEST_F(HidRealDevices, OnBothHookFirmwaresTheLiftAnswersOnceAndOnlyAHeldBitHangsUp) {
  ASSERT_NO_FATAL_FAILURE(StartSkype());
  ASSERT_NO_FATAL_FAILURE(PlugPlayed(kCx300, kCx300Idle));
  // The pulse: lifted (a 50 ms bit), still up, put down unseen.
  ASSERT_TRUE(tools::SendFakeSkypeControl("send CALL 61 STATUS RINGING"));
  std::size_t before = ReceivedCount();
  ASSERT_NO_FATAL_FAILURE(Replay(kCx300Recording, 30, 33, 1000));
  ASSERT_TRUE(WaitForReceived("FOCUS"));
  Sleep(static_cast<DWORD>(kQuietHid.count()));
  EXPECT_THAT(Since(before),
              ::testing::ElementsAre("SET CALL 61 STATUS INPROGRESS", "HOOK OFF", "FOCUS"))
      << "answered once, never dropped";
  ASSERT_TRUE(tools::SendFakeSkypeControl("send CALL 61 STATUS FINISHED"));

  // The held bit: lifted, a digit, put down.
  ASSERT_TRUE(tools::SendFakeSkypeControl("send CALL 62 STATUS RINGING"));
  before = ReceivedCount();
  ASSERT_NO_FATAL_FAILURE(Replay(kCx300Held, 0, 0, 1500));
  ASSERT_TRUE(WaitForReceived("HOOK ON")) << ::testing::PrintToString(Since(before));
  const std::vector<std::string> got = Since(before);
  EXPECT_EQ(Count(got, "SET CALL 62 STATUS INPROGRESS"), 1u) << ::testing::PrintToString(got);
  EXPECT_EQ(Count(got, "HOOK OFF"), 1u);
  ASSERT_GE(got.size(), 2u);
  EXPECT_THAT(std::vector<std::string>(got.end() - 2, got.end()),
              ::testing::ElementsAre("SET CALL 62 STATUS FINISHED", "HOOK ON"));
}

TEST_F(HidRealDevices, PluggedInAgainWhileOffHookItsFirstReportIsNoLift) {
  ASSERT_NO_FATAL_FAILURE(StartSkype());
  ASSERT_NO_FATAL_FAILURE(PlugPlayed(kCx300, kCx300Idle));
  ASSERT_TRUE(tools::SendFakeSkypeControl("send CALL 61 STATUS RINGING"));
  ASSERT_NO_FATAL_FAILURE(Give(kCx300OffHook));
  ASSERT_TRUE(WaitForReceived("HOOK OFF"));
  ASSERT_TRUE(tools::SendFakeSkypeControl("send CALL 61 STATUS INPROGRESS"));
  const RunResult unplug = Hidctl({"unplug", "played"});
  ASSERT_EQ(unplug.exitCode, 0u) << unplug.output;
  const std::size_t before = ReceivedCount();
  // Back in, still off-hook: it says so when asked, and its first report holds the bit.
  ASSERT_NO_FATAL_FAILURE(PlugPlayed(kCx300, kCx300OffHook,
                                     {"--state", "01", "01", "00", "00", "40", "D5", "5A", "00"}));
  Sleep(static_cast<DWORD>(kQuietHid.count()));
  EXPECT_THAT(Since(before), ::testing::IsEmpty()) << "no second answer";
  ASSERT_NO_FATAL_FAILURE(Give(kCx300Idle));
  ASSERT_TRUE(WaitForReceived("HOOK ON")) << ::testing::PrintToString(Since(before));
  EXPECT_THAT(Since(before), ::testing::ElementsAre("SET CALL 61 STATUS FINISHED", "HOOK ON"));
}

TEST_F(HidRealDevices, RealHeadsetsAndAGamingHeadsetChangeNothing) {
  ASSERT_NO_FATAL_FAILURE(StartSkype());
  ASSERT_TRUE(tools::SendFakeSkypeControl("send CALL 61 STATUS RINGING"));
  struct Device {
    const char* descriptor;
    std::vector<const char*> reports;  // the hook switch (or volume) on and off, and junk
  } devices[] = {
      {"jabra-biz-2400-ii-0b0e-2453.desc", {"02 01 00", "02 00 00", "02 FF FF", "02 00 00"}},
      {"plantronics-blackwire-c5220-047f-c053.desc", {"08 02", "08 00", "08 FF", "08 00"}},
      {"epos-impact-d1-1395-009c.desc", {"02 01", "02 00", "02 FF", "02 00"}},
      {"logitech-g535-046d-0ac4.desc", {"01 03 00 00 00", "01 00 00 00 00", "01 FF FF FF FF"}},
  };
  for (const Device& d : devices) {
    const std::size_t before = ReceivedCount();
    ASSERT_NO_FATAL_FAILURE(PlugPlayed(d.descriptor, d.reports.back()));
    for (const char* report : d.reports) ASSERT_NO_FATAL_FAILURE(Give(report));
    Sleep(static_cast<DWORD>(kQuietHid.count()));
    EXPECT_THAT(Since(before), ::testing::IsEmpty()) << d.descriptor;
    EXPECT_EQ(RingerOutput("played").count, 0u) << d.descriptor << ": not ours to ring";
    const RunResult unplug = Hidctl({"unplug", "played"});
    ASSERT_EQ(unplug.exitCode, 0u) << unplug.output;
  }
}

}  // namespace
}  // namespace telvaro::e2e
