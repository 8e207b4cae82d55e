// Standard HID telephony devices as a handset source, on a fake of the system's HID side fed
// with real devices' report descriptors: which usage is which key, the hook switch, bad input,
// devices coming and going, and the ringer.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FakeHandsetHid.h"
#include "SimSkype.h"
#include "handset/HidUsageMap.h"

namespace telvaro {
namespace {

using sim::Bytes;
using sim::HidTestProgram;
using Keys = std::vector<std::string>;
namespace descriptors = sim::descriptors;

constexpr HidUsage Tel(std::uint16_t id) { return {hid::kTelephonyPage, id}; }
constexpr HidUsage Con(std::uint16_t id) { return {hid::kConsumerPage, id}; }
constexpr HidUsage kHook = Tel(0x20);
constexpr HidUsage kSend = Tel(0x31);
constexpr HidUsage kDrop = Tel(0x26);
constexpr HidUsage kMute = Tel(0x2F);
constexpr HidUsage PhoneKey(int digit) { return Tel(static_cast<std::uint16_t>(0xB0 + digit)); }
constexpr HidUsage kStar = Tel(0xBA);
constexpr HidUsage kPound = Tel(0xBB);
// Report IDs of the descriptors.
constexpr std::uint8_t kHandsetKeys = 1;
constexpr std::uint8_t kHandsetMenu = 3;
constexpr std::uint8_t kEarphoneTelephony = 0x0B;

struct Press {
  HidUsage usage;
  Keys keys;  // what the press and then the release give
};

TEST(HidKeys, EveryUsageOfTheTableReachesItsKeyOnTheHandsetLibrarysRoad) {
  // With Skype the target and a call pending, each keypad key lands in the dial buffer as the
  // key it is: the buffer shows whether the codes run down the keypad's columns.
  HidTestProgram p;
  const HidDeviceHandle h = p.PlugTelephony(descriptors::UsageTableHandset());
  p.form->FCallPending = true;
  const HidUsage dialled[] = {PhoneKey(1), PhoneKey(2), PhoneKey(3), PhoneKey(4),
                              PhoneKey(5), PhoneKey(6), PhoneKey(7), PhoneKey(8),
                              PhoneKey(9), kStar,       PhoneKey(0), kPound};
  for (HidUsage key : dialled) {
    p.Report(h, {key}, kHandsetKeys);
    p.Report(h, {}, kHandsetKeys);
  }
  EXPECT_EQ(p.form->FDialBuffer, "123456789*0#");
  p.TakeKeys();

  const Press presses[] = {
      {PhoneKey(1), {"down 1", "up 1"}}, {PhoneKey(4), {"down 2", "up 2"}},
      {kStar, {"down 4", "up 4"}},       {PhoneKey(0), {"down 8", "up 8"}},
      {kPound, {"down 12", "up 12"}},    {kSend, {"down 13", "up 13"}},
      {kDrop, {"down 14", "up 14"}},     {Con(0xE9), {"down 15", "up 15"}},
      {Con(0xEA), {"down 16", "up 16"}}, {kMute, {}},
  };
  for (const Press& press : presses) {
    p.Report(h, {press.usage}, kHandsetKeys);
    p.Report(h, {}, kHandsetKeys);
    EXPECT_EQ(p.TakeKeys(), press.keys) << press.usage.id;
  }
}

TEST(HidKeys, MenuKeysAreUpAndDownAndThenTheVolumeRockerIsLeftAlone) {
  HidTestProgram p;
  const HidDeviceHandle h = p.PlugTelephony(descriptors::UsageTableHandsetWithMenuKeys());
  const Press presses[] = {
      {Con(0x42), {"down 15", "up 15"}},
      {Con(0x43), {"down 16", "up 16"}},
  };
  for (const Press& press : presses) {
    p.Report(h, {press.usage}, kHandsetMenu);
    p.Report(h, {}, kHandsetMenu);
    EXPECT_EQ(p.TakeKeys(), press.keys);
  }
  p.Report(h, {Con(0xE9)}, kHandsetKeys);
  p.Report(h, {}, kHandsetKeys);
  EXPECT_EQ(p.TakeKeys(), Keys{}) << "volume is volume where the handset has menu keys";
}

TEST(HidKeys, KeyUpFollowsKeyDownSoTheZeroKeyCanBeHeld) {
  HidTestProgram p;
  const HidDeviceHandle h = p.PlugTelephony(descriptors::UsageTableHandset());
  p.Report(h, {PhoneKey(0)}, kHandsetKeys);
  EXPECT_EQ(p.TakeKeys(), Keys{"down 8"});
  // The same state again (a device repeating its report) is no new press.
  p.Report(h, {PhoneKey(0)}, kHandsetKeys);
  EXPECT_EQ(p.TakeKeys(), Keys{});
  // Another key in the array replaces it: the 0 is released first.
  p.Report(h, {PhoneKey(5)}, kHandsetKeys);
  EXPECT_EQ(p.TakeKeys(), (Keys{"up 8", "down 6"}));
  p.Report(h, {}, kHandsetKeys);
  EXPECT_EQ(p.TakeKeys(), Keys{"up 6"});
}

TEST(HidHookSwitch, AbsoluteGivesOnePressPerChange) {
  HidTestProgram p;
  const HidDeviceHandle h = p.PlugTelephony(descriptors::UsageTableHandset());
  struct Step {
    std::vector<HidUsage> on;
    Keys keys;
  } steps[] = {
      {{kHook}, {"down 13", "up 13"}},     // lifted: call
      {{kHook}, {}},                       // still off-hook: nothing
      {{kHook, PhoneKey(7)}, {"down 3"}},  // dialling while off-hook
      {{kHook}, {"up 3"}},                 //
      {{}, {"down 14", "up 14"}},          // back in the cradle: hang up
      {{}, {}},                            //
      {{kHook, PhoneKey(2)}, {"down 13", "up 13", "down 5"}},
      {{}, {"up 5", "down 14", "up 14"}},
  };
  for (const Step& step : steps) {
    p.Report(h, step.on, kHandsetKeys);
    EXPECT_EQ(p.TakeKeys(), step.keys);
  }
}

TEST(HidHookSwitch, RelativeTogglesOnEachPress) {
  // The earphone reports its hook button as a relative control: 1 while pressed.
  HidTestProgram p;
  const HidDeviceHandle h = p.PlugTelephony(descriptors::Earphone());
  ASSERT_NE(h, 0u);
  const Keys expected[] = {{"down 13", "up 13"}, {}, {"down 14", "up 14"}, {},
                           {"down 13", "up 13"}, {}};
  for (int i = 0; i < 6; ++i) {
    p.Report(h, i % 2 == 0 ? std::vector<HidUsage>{kHook} : std::vector<HidUsage>{},
             kEarphoneTelephony);
    EXPECT_EQ(p.TakeKeys(), expected[i]) << "report " << i;
  }
  p.Report(h, {kDrop}, kEarphoneTelephony);
  p.Report(h, {}, kEarphoneTelephony);
  EXPECT_EQ(p.TakeKeys(), (Keys{"down 14", "up 14"}));
  // Its other buttons are no handset keys.
  for (HidUsage other : {kMute, Tel(0x24), Tel(0x21), HidUsage{hid::kButtonPage, 1}}) {
    p.Report(h, {other}, kEarphoneTelephony);
    p.Report(h, {}, kEarphoneTelephony);
    EXPECT_EQ(p.TakeKeys(), Keys{}) << other.id;
  }
}

TEST(HidBadInput, ReportsTheCollectionDoesNotDescribeChangeNothing) {
  HidTestProgram p;
  const HidDeviceHandle h = p.PlugTelephony(descriptors::UsageTableHandset());
  p.Report(h, {PhoneKey(5)}, kHandsetKeys);
  ASSERT_EQ(p.TakeKeys(), Keys{"down 6"});
  const Bytes good = p.hid.Model(h).InputReport(kHandsetKeys, {PhoneKey(9)});
  Bytes shortReport(good.begin(), good.end() - 1);
  Bytes longReport = good;
  longReport.push_back(0);
  Bytes unknownId = good;
  unknownId[0] = 9;
  Bytes outputId = good;
  outputId[0] = 2;  // the ringer's report: an output, never an input
  for (const Bytes& bad : {shortReport, longReport, unknownId, outputId, Bytes{}}) {
    p.RawReport(h, bad);
    EXPECT_EQ(p.TakeKeys(), Keys{}) << bad.size();
  }
  // The key held before is still held, and its release still comes.
  p.Report(h, {}, kHandsetKeys);
  EXPECT_EQ(p.TakeKeys(), Keys{"up 6"});
}

TEST(HidBadInput, KeypadValuesOutsideTheLogicalRangeAreNoKey) {
  HidTestProgram p;
  const HidDeviceHandle h = p.PlugTelephony(descriptors::UsageTableHandset());
  Bytes report = p.hid.Model(h).InputReport(kHandsetKeys, {});
  const std::size_t keypadByte = report.size() - 1;
  for (std::uint8_t value : {0x0D, 0x80, 0xFF}) {
    report[keypadByte] = value;
    p.RawReport(h, report);
    EXPECT_EQ(p.TakeKeys(), Keys{}) << int(value);
  }
  report[keypadByte] = 0x0C;  // the last in range: Pound
  p.RawReport(h, report);
  EXPECT_EQ(p.TakeKeys(), Keys{"down 12"});
  // A held key followed by an out-of-range value: the array says no key, so it is released.
  report[keypadByte] = 0xFF;
  p.RawReport(h, report);
  EXPECT_EQ(p.TakeKeys(), Keys{"up 12"});
}

TEST(HidDevices, AVanishingDeviceReleasesItsHeldKeysThenIsRemoved) {
  HidTestProgram p;
  const HidDeviceHandle h = p.PlugTelephony(descriptors::UsageTableHandset());
  p.Report(h, {kHook, PhoneKey(0)}, kHandsetKeys);
  ASSERT_EQ(p.TakeKeys(), (Keys{"down 13", "up 13", "down 8"}));
  p.Unplug(h);
  EXPECT_EQ(p.TakeKeys(), Keys{"up 8"});
  EXPECT_EQ(p.hidSource.DeviceCount(), 0u);
  EXPECT_EQ(p.hid.closed, std::vector<HidDeviceHandle>{h});
  // Late input of the gone device is dropped.
  p.Report(h, {PhoneKey(1)}, kHandsetKeys);
  EXPECT_EQ(p.TakeKeys(), Keys{});
  EXPECT_TRUE(p.handset.calls.empty()) << "the library's handset is not touched";
}

TEST(HidDevices, OnlyTelephonyCollectionsAreHandsets) {
  HidTestProgram p;
  p.PlugTelephony(descriptors::HeadsetRemote());
  EXPECT_EQ(p.hidSource.DeviceCount(), 0u) << "a consumer control with a Flash key is no phone";
  const HidDeviceHandle earphone = p.PlugTelephony(descriptors::Earphone());
  EXPECT_EQ(p.hidSource.DeviceCount(), 1u) << "of the earphone, only its headset collection";
  EXPECT_EQ(p.hid.Model(earphone).Collection(), Tel(0x05));
}

TEST(HidDevices, TwoAtOnceBothGiveKeysAndBothRing) {
  sim::SimDesktop* desktop = nullptr;
  HidTestProgram p(true, false);
  desktop = &p.desktop;
  sim::SimSkype skype(*desktop);
  p.Create();
  const HidDeviceHandle handset = p.PlugTelephony(descriptors::UsageTableHandset());
  const HidDeviceHandle earphone = p.PlugTelephony(descriptors::Earphone());
  p.Report(handset, {PhoneKey(3)}, kHandsetKeys);
  p.Report(earphone, {kDrop}, kEarphoneTelephony);
  p.Report(handset, {}, kHandsetKeys);
  p.Report(earphone, {}, kEarphoneTelephony);
  EXPECT_EQ(p.TakeKeys(), (Keys{"down 9", "down 14", "up 9", "up 14"}));

  skype.Send("CALL 61 STATUS RINGING");
  EXPECT_TRUE(p.hid.Ringing(handset)) << "the Ringer output";
  EXPECT_TRUE(p.hid.Ringing(earphone)) << "the Ring LED";
  EXPECT_EQ(p.handset.Count("StartBuzzer"), 1) << "and the library's buzzer too";
  // A device plugged in while it rings joins in.
  const HidDeviceHandle late = p.PlugTelephony(descriptors::UsageTableHandset());
  EXPECT_TRUE(p.hid.Ringing(late));
  skype.Send("CALL 61 STATUS INPROGRESS");
  for (HidDeviceHandle h : {handset, earphone, late}) EXPECT_FALSE(p.hid.Ringing(h)) << h;
  EXPECT_EQ(p.handset.Count("StopBuzzer"), 1);
}

TEST(HidDevices, TheHookSwitchAnswersARingingSkypeCallAndHangsUp) {
  HidTestProgram p(false, false);
  sim::SimSkype skype(p.desktop);
  p.Create();
  const HidDeviceHandle h = p.PlugTelephony(descriptors::UsageTableHandset());
  skype.Send("CALL 61 STATUS RINGING");
  ASSERT_TRUE(p.hid.Ringing(h));
  skype.commands.clear();
  p.Report(h, {kHook}, kHandsetKeys);
  ASSERT_GE(skype.commands.size(), 2u);
  EXPECT_EQ(skype.commands[0], "SET CALL 61 STATUS INPROGRESS");
  EXPECT_EQ(skype.commands[1], "HOOK OFF");
  skype.Send("CALL 61 STATUS INPROGRESS");
  EXPECT_FALSE(p.hid.Ringing(h));
  skype.commands.clear();
  p.Report(h, {}, kHandsetKeys);
  ASSERT_GE(skype.commands.size(), 1u);
  EXPECT_EQ(skype.commands[0], "SET CALL 61 STATUS FINISHED");
}

TEST(HidDevices, ArrivalAndRemovalGoBackToTheSourceThatReportedThem) {
  {
    // Beside the library, the HID source has arrival and removal numbers of its own.
    HidTestProgram p;
    p.desktop.ClearTrace();
    const HidDeviceHandle h = p.PlugTelephony(descriptors::UsageTableHandset());
    EXPECT_TRUE(p.handset.calls.empty()) << "its arrival does not start the library's key scan";
    p.Unplug(h);
    EXPECT_TRUE(p.handset.calls.empty()) << "its removal does not close the library's device";
    TMessage libraryArrival{WM_HANDSET_ARRIVAL, 0, 0, 0};
    p.form->Dispatch(libraryArrival);
    EXPECT_EQ(p.handset.calls, std::vector<std::string>{"StartKeyScan"});
    EXPECT_EQ(p.hidSource.DeviceCount(), 0u);
  }
  {
    // Alone, it has the library's numbers; a device's keys count only after its arrival.
    HidTestProgram p(false);
    p.hid.Plug(descriptors::UsageTableHandset());
    const HidDeviceHandle h = p.hid.ListDevices().front();
    TMessage change{win::WM_DEVICECHANGE, 7, 0, 0};
    p.form->Dispatch(change);                  // found, its arrival posted but not yet handled
    p.Report(h, {PhoneKey(1)}, kHandsetKeys);  // delivers the arrival after this report
    EXPECT_EQ(p.TakeKeys(), Keys{}) << "pressed before the arrival: not reported";
    p.Report(h, {}, kHandsetKeys);
    EXPECT_EQ(p.TakeKeys(), Keys{}) << "so its release is not reported either";
    p.Report(h, {PhoneKey(1)}, kHandsetKeys);
    EXPECT_EQ(p.TakeKeys(), Keys{"down 1"});
  }
}

TEST(HidDevices, ShutdownSilencesAndReleasesEveryDevice) {
  HidTestProgram p;
  const HidDeviceHandle h = p.PlugTelephony(descriptors::UsageTableHandset());
  p.form->SkypeCallInfo(61, TSkypeCallProperty::Status, "RINGING");
  ASSERT_TRUE(p.hid.Ringing(h));
  p.form->FormDestroy();
  EXPECT_FALSE(p.hid.Ringing(h));
  EXPECT_EQ(p.hid.closed, std::vector<HidDeviceHandle>{h});
  EXPECT_EQ(p.handset.calls,
            (std::vector<std::string>{"StartBuzzer", "StopKeyScan", "StopBuzzer", "CloseDevice"}));
}

TEST(HidUsageTable, EachUsageAndEachCodeOnce) {
  std::vector<HidUsage> usages;
  std::vector<int> keyCodes;
  for (const HidKeyRow& row : HidKeyTable()) {
    EXPECT_EQ(std::count(usages.begin(), usages.end(), row.usage), 0) << row.usage.id;
    usages.push_back(row.usage);
    EXPECT_GE(row.code, 1);
    EXPECT_LE(row.code, 16);
    if (row.role == HidKeyRole::Key) keyCodes.push_back(row.code);
  }
  for (int code = 1; code <= 16; ++code) {
    EXPECT_EQ(std::count(keyCodes.begin(), keyCodes.end(), code), 1) << "code " << code;
  }
}

}  // namespace
}  // namespace telvaro
