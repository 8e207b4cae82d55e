// Standard HID telephony devices as a handset source, on a fake of the system's HID side fed
// with real devices' report descriptors: which usage is which key, the hook switch, bad input,
// devices coming and going, and the ringer.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "FakeHandsetHid.h"
#include "SimSkype.h"
#include "handset/HidUsageMap.h"
#include "handset/TelephonyDecoder.h"

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
  // The earphone reports its hook button as a relative control: 1 while pressed. It is a
  // headset, never a handset of ours, but its decoding shows how a relative hook is read.
  const auto collections = sim::ParseReportDescriptor(descriptors::Earphone());
  ASSERT_EQ(collections.size(), 2u);
  const sim::DescriptorModel& model = *collections[1];
  TelephonyDecoder decoder(model);
  using Events = std::vector<HandsetKeyEvent>;
  const Events expected[] = {{{13, true}, {13, false}}, {}, {{14, true}, {14, false}}, {},
                             {{13, true}, {13, false}}, {}};
  for (int i = 0; i < 6; ++i) {
    const auto on = i % 2 == 0 ? std::vector<HidUsage>{kHook} : std::vector<HidUsage>{};
    EXPECT_EQ(decoder.Report(model.InputReport(kEarphoneTelephony, on)), expected[i])
        << "report " << i;
  }
  EXPECT_EQ(decoder.Report(model.InputReport(kEarphoneTelephony, {kDrop})), (Events{{14, true}}));
  EXPECT_EQ(decoder.Report(model.InputReport(kEarphoneTelephony, {})), (Events{{14, false}}));
  // Its other buttons are no handset keys.
  for (HidUsage other : {kMute, Tel(0x24), Tel(0x21), HidUsage{hid::kButtonPage, 1}}) {
    EXPECT_EQ(decoder.Report(model.InputReport(kEarphoneTelephony, {other})), Events{}) << other.id;
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
  EXPECT_EQ(std::count(p.hid.closed.begin(), p.hid.closed.end(), h), 1) << "released once";
  // Late input of the gone device is dropped.
  p.Report(h, {PhoneKey(1)}, kHandsetKeys);
  EXPECT_EQ(p.TakeKeys(), Keys{});
  EXPECT_TRUE(p.handset.calls.empty()) << "the library's handset is not touched";
}

TEST(HidDevices, OnlyTelephonyCollectionsWithPhoneKeysAreHandsets) {
  struct Case {
    const char* what;
    const Bytes& descriptor;
    bool handset;
  } cases[] = {
      {"a desk handset", descriptors::UsageTableHandset(), true},
      {"a consumer control with a Flash key", descriptors::HeadsetRemote(), false},
      {"an earphone's headset collection", descriptors::Earphone(), false},
      {"an office headset", descriptors::UsageTableHeadset(), false},
      {"a headset collection with a keypad", descriptors::HeadsetWithKeypad(), false},
      {"a phone collection without keys", descriptors::PhoneWithoutKeys(), false},
  };
  for (const Case& c : cases) {
    HidTestProgram p(true, false);
    sim::SimSkype skype(p.desktop);
    p.Create();
    const HidDeviceHandle h = p.PlugTelephony(c.descriptor);
    EXPECT_EQ(p.hidSource.DeviceCount(), c.handset ? 1u : 0u) << c.what;
    if (h == 0) continue;  // not even a telephony collection
    // Its hook switch answers nothing, its volume scrolls nothing, and it does not ring.
    skype.Send("CALL 61 STATUS RINGING");
    p.Report(h, {kHook, Con(0xE9)}, kHandsetKeys);
    p.Report(h, {}, kHandsetKeys);
    EXPECT_EQ(p.TakeKeys().empty(), !c.handset) << c.what;
    EXPECT_EQ(p.hid.Written(h).empty(), !c.handset) << c.what;
    // Looked at once, not on every change of the device list.
    TMessage change{win::WM_DEVICECHANGE, 7, 0, 0};
    p.form->Dispatch(change);
    EXPECT_EQ(std::count(p.hid.opened.begin(), p.hid.opened.end(), h), 1) << c.what;
  }
}

TEST(HidDevices, TwoAtOnceBothGiveKeysAndBothRing) {
  HidTestProgram p(true, false);
  sim::SimSkype skype(p.desktop);
  p.Create();
  const HidDeviceHandle first = p.PlugTelephony(descriptors::UsageTableHandset());
  const HidDeviceHandle second = p.PlugTelephony(descriptors::UsageTableHandsetWithMenuKeys());
  p.Report(first, {PhoneKey(3)}, kHandsetKeys);
  p.Report(second, {kDrop}, kHandsetKeys);
  p.Report(first, {}, kHandsetKeys);
  p.Report(second, {}, kHandsetKeys);
  EXPECT_EQ(p.TakeKeys(), (Keys{"down 9", "down 14", "up 9", "up 14"}));

  skype.Send("CALL 61 STATUS RINGING");
  EXPECT_TRUE(p.hid.Ringing(first));
  EXPECT_TRUE(p.hid.Ringing(second));
  EXPECT_EQ(p.handset.Count("StartBuzzer"), 1) << "and the library's buzzer too";
  // A device plugged in while it rings joins in.
  const HidDeviceHandle late = p.PlugTelephony(descriptors::UsageTableHandset());
  EXPECT_TRUE(p.hid.Ringing(late));
  skype.Send("CALL 61 STATUS INPROGRESS");
  for (HidDeviceHandle h : {first, second, late}) EXPECT_FALSE(p.hid.Ringing(h)) << h;
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
    const HidDeviceHandle h = p.hid.ListDevices()->front();
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
  EXPECT_TRUE(p.hid.writing.empty());
  EXPECT_EQ(p.handset.calls,
            (std::vector<std::string>{"StartBuzzer", "StopKeyScan", "StopBuzzer", "CloseDevice"}));
}

TEST(HidRinger, TheRingerReportChangesOnlyTheRinger) {
  // The ringer shares its report with the Off-Hook LED and a ring volume whose null value
  // means "leave it": only the ringer may change.
  HidTestProgram p;
  const HidDeviceHandle h = p.PlugTelephony(descriptors::UsageTableHandsetWithRingVolume());
  const sim::DescriptorModel& model = p.hid.Model(h);
  p.hidSource.StopBuzzer();
  EXPECT_TRUE(p.hid.Written(h).empty()) << "a ringer never started is not opened to silence it";
  struct Step {
    bool on;
    std::vector<HidUsage> set;
  } steps[] = {{true, {Tel(0x9E)}}, {false, {}}};
  for (const Step& step : steps) {
    if (step.on) {
      p.form->SkypeCallInfo(61, TSkypeCallProperty::Status, "RINGING");
    } else {
      p.form->SkypeCallInfo(61, TSkypeCallProperty::Status, "INPROGRESS");
    }
    ASSERT_FALSE(p.hid.Written(h).empty());
    const Bytes& report = p.hid.Written(h).back();
    EXPECT_EQ(report[0], 2) << "the ringer's report";
    EXPECT_EQ(model.OutputUsagesOn(report), step.set) << step.on;
    const auto volume = model.OutputValue(report, Tel(0xE0));
    ASSERT_TRUE(volume);
    EXPECT_GT(*volume, 10) << "the ring volume keeps its null value: " << *volume;
    // Held open for writing only while it rings.
    EXPECT_EQ(p.hid.writing, step.on ? std::vector{h} : std::vector<HidDeviceHandle>{});
  }
  EXPECT_EQ(p.hid.Written(h).size(), 2u);
}

TEST(HidDevices, AListThatCouldNotBeReadIsNoUnplug) {
  HidTestProgram p;
  const HidDeviceHandle h = p.PlugTelephony(descriptors::UsageTableHandset());
  p.Report(h, {PhoneKey(2)}, kHandsetKeys);
  ASSERT_EQ(p.TakeKeys(), Keys{"down 5"});
  p.hid.listFailures = 1;
  TMessage change{win::WM_DEVICECHANGE, 7, 0, 0};
  p.form->Dispatch(change);
  p.desktop.DeliverPosted();
  EXPECT_EQ(p.hidSource.DeviceCount(), 1u);
  EXPECT_EQ(p.TakeKeys(), Keys{}) << "no release of a key still held";
  p.Report(h, {}, kHandsetKeys);
  EXPECT_EQ(p.TakeKeys(), Keys{"up 5"});
}

TEST(HidDevices, ADeviceAnnouncedBeforeItCanBeOpenedIsLookedAtAgain) {
  for (const char* retry : {"device change", "its first input"}) {
    HidTestProgram p;
    const HidDeviceHandle h = p.hid.Plug(descriptors::UsageTableHandset()).front();
    p.hid.SetReady(h, false);
    TMessage announced{WM_INPUT_DEVICE_CHANGE, 1, static_cast<LParam>(h), 0};
    p.form->Dispatch(announced);
    p.desktop.DeliverPosted();
    ASSERT_EQ(p.hidSource.DeviceCount(), 0u) << retry;
    // It can be opened now, but the device list does not name it yet.
    p.hid.SetReady(h, true);
    p.hid.SetListed(h, false);
    if (retry == std::string("device change")) {
      TMessage change{win::WM_DEVICECHANGE, 7, 0, 0};
      p.form->Dispatch(change);
      p.desktop.DeliverPosted();
    } else {
      p.Report(h, {PhoneKey(1)}, kHandsetKeys);
      EXPECT_EQ(p.TakeKeys(), Keys{}) << "the report that made it known gives no key";
      p.Report(h, {}, kHandsetKeys);
    }
    EXPECT_EQ(p.hidSource.DeviceCount(), 1u) << retry;
    p.Report(h, {PhoneKey(2)}, kHandsetKeys);
    EXPECT_EQ(p.TakeKeys(), Keys{"down 5"}) << retry;
  }
}

TEST(HidDevices, ASystemListThatGrewIsReadAgainAndAnyOtherFailureGivesNothing) {
  struct Case {
    const char* what;
    std::vector<long> results;  // of the calls with a buffer, in order; -1 fails
    std::vector<bool> tooSmall;
    std::optional<std::size_t> size;
  } cases[] = {
      {"read at once", {3}, {}, 3},
      {"grew once", {-1, 3}, {true}, 3},
      {"shrank between the calls", {2}, {}, 2},
      {"refused", {-1}, {false}, std::nullopt},
      {"grows every time", {-1, -1, -1, -1, -1}, {true, true, true, true, true}, std::nullopt},
  };
  for (const Case& c : cases) {
    std::size_t call = 0, asked = 0;
    const auto list = ReadSystemList<int>(
        [&](int* buffer, unsigned& count) -> long {
          if (!buffer) {
            count = 3;
            return 0;
          }
          return call < c.results.size() ? c.results[call++] : -1;
        },
        [&] { return asked < c.tooSmall.size() && c.tooSmall[asked++]; });
    EXPECT_EQ(list ? std::optional<std::size_t>(list->size()) : std::nullopt, c.size) << c.what;
  }
}

TEST(HidDevices, ResumeLooksForTheHidDevicesAgainAndLeavesTheLibraryAlone) {
  HidTestProgram p;
  const int registrations = p.hid.registrations;
  // Plugged while the system slept: no notice came.
  const auto handles = p.hid.Plug(descriptors::UsageTableHandset());
  p.Resume();
  EXPECT_EQ(p.hidSource.DeviceCount(), 1u);
  EXPECT_EQ(p.hid.registrations, registrations + 1);
  EXPECT_TRUE(p.handset.calls.empty()) << "no second StartDeviceDetection";
  p.Report(handles.front(), {PhoneKey(1)}, kHandsetKeys);
  EXPECT_EQ(p.TakeKeys(), Keys{"down 1"});
}

TEST(HidDevices, WhileTheLibraryHasAHandsetHidDevicesGiveNoKeysAndDoNotRing) {
  // The library's handset may be one of the HID devices too: one press, one key.
  HidTestProgram p(true, false);
  sim::SimSkype skype(p.desktop);
  p.Create();
  const HidDeviceHandle h = p.PlugTelephony(descriptors::UsageTableHandset());
  p.Report(h, {PhoneKey(0)}, kHandsetKeys);
  ASSERT_EQ(p.TakeKeys(), Keys{"down 8"});
  skype.Send("CALL 61 STATUS RINGING");
  ASSERT_TRUE(p.hid.Ringing(h));

  TMessage arrival{WM_HANDSET_ARRIVAL, 0, 0, 0};
  p.form->Dispatch(arrival);
  p.desktop.DeliverPosted();
  EXPECT_EQ(p.TakeKeys(), Keys{"up 8"}) << "the key held is let go";
  EXPECT_FALSE(p.hid.Ringing(h)) << "the library rings its handset";
  p.Report(h, {}, kHandsetKeys);
  p.Report(h, {PhoneKey(1)}, kHandsetKeys);
  p.Report(h, {}, kHandsetKeys);
  EXPECT_EQ(p.TakeKeys(), Keys{});

  TMessage removal{WM_HANDSET_REMOVAL, 0, 0, 0};
  p.form->Dispatch(removal);
  EXPECT_TRUE(p.hid.Ringing(h)) << "the call still rings";
  p.Report(h, {PhoneKey(1)}, kHandsetKeys);
  EXPECT_EQ(p.TakeKeys(), Keys{"down 1"});
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
