// Standard HID telephony devices as a handset source, on a fake of the system's HID side fed
// with real devices' report descriptors: which usage is which key, the hook switch, bad input,
// devices coming and going, and the ringer.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

#include "FakeHandsetHid.h"
#include "SimSkype.h"
#include "drivers/AppTable.h"
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
      {kDrop, {"down 14", "up 14"}},     {Con(0xE9), {"down 21", "up 21"}},
      {Con(0xEA), {"down 22", "up 22"}}, {kMute, {"down 20", "up 20"}},
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
  // The keys desk phones add (a headset's are never read: this is the decoder alone). Its
  // "09 07 05 09 09 01" one-bit field is Button 7, the first of its two usages: no key.
  const std::pair<HidUsage, int> added[] = {
      {kMute, 20}, {Tel(0x24), 17}, {Tel(0x21), 19}, {HidUsage{hid::kButtonPage, 7}, 0}};
  for (const auto& [usage, code] : added) {
    const Events expected = code ? Events{{code, true}} : Events{};
    EXPECT_EQ(decoder.Report(model.InputReport(kEarphoneTelephony, {usage})), expected) << usage.id;
    decoder.Report(model.InputReport(kEarphoneTelephony, {}));
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
    EXPECT_LE(row.code, kVolumeDownKeyCode);
    keyCodes.push_back(row.code);
  }
  for (int code = 1; code <= kVolumeDownKeyCode; ++code) {
    if (code == kCallKeyCode) continue;  // Send and the hook switch

    EXPECT_EQ(std::count(keyCodes.begin(), keyCodes.end(), code), 1) << "code " << code;
  }
}

// ---- Real devices: the files of tests/data/hid-devices ----------------------------------------

constexpr char kCx300[] = "polycom-cx300-095d-9201.desc";
constexpr std::uint16_t kCx300Vendor = 0x095D;
constexpr std::uint16_t kCx300Product = 0x9201;
using Kind = HidCollectionKind;

std::vector<std::shared_ptr<sim::DescriptorModel>> RealDevice(const std::string& file) {
  auto collections = sim::ParseReportDescriptor(sim::LoadDescriptor(file));
  // "...-095d-9201.desc": the vendor and product IDs.
  unsigned vendor = 0, product = 0;
  if (file.size() > 15 &&
      std::sscanf(file.c_str() + file.size() - 15, "-%4x-%4x.desc", &vendor, &product) == 2) {
    for (auto& c : collections) {
      c->vendorId = static_cast<std::uint16_t>(vendor);
      c->productId = static_cast<std::uint16_t>(product);
    }
  }
  return collections;
}

// Key events as text, "down 13 (hook)" for the hook switch's.
Keys Text(const std::vector<HandsetKeyEvent>& events) {
  Keys out;
  for (const HandsetKeyEvent& e : events) {
    out.push_back((e.down ? "down " : "up ") + std::to_string(e.code) + (e.hook ? " (hook)" : ""));
  }
  return out;
}

TEST(HidRealDevices, EveryCollectionOfEveryDescriptorIsClassified) {
  // A headset collection nested in a phone's, and a phone whose only keypad lies in one.
  const Bytes nestedHeadset = {
      0x05, 0x0B, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x01,                    // Phone
      0x19, 0xB0, 0x29, 0xBB, 0x15, 0x01, 0x25, 0x0C, 0x75, 0x04, 0x95,  // keypad
      0x01, 0x81, 0x00, 0x09, 0x05, 0xA1, 0x02, 0x09, 0x20, 0x15, 0x00,  // Headset: hook
      0x25, 0x01, 0x75, 0x01, 0x95, 0x01, 0x81, 0x02, 0x95, 0x03, 0x81, 0x01, 0xC0, 0xC0};
  const Bytes keypadOnlyInHeadset = {0x05, 0x0B, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x01, 0x09, 0x05,
                                     0xA1, 0x02, 0x19, 0xB0, 0x29, 0xBB, 0x15, 0x01, 0x25, 0x0C,
                                     0x75, 0x08, 0x95, 0x01, 0x81, 0x00, 0xC0, 0xC0};
  struct Case {
    std::string file;
    Bytes inline_;
    std::vector<Kind> kinds;
  } cases[] = {
      {kCx300, {}, {Kind::PhoneWithKeys, Kind::None}},
      {"jabra-biz-2400-ii-0b0e-2453.desc", {}, {Kind::Headset, Kind::None, Kind::None}},
      {"plantronics-blackwire-c5220-047f-c053.desc",
       {},
       {Kind::None, Kind::None, Kind::Headset, Kind::None, Kind::None}},
      {"epos-impact-d1-1395-009c.desc",
       {},
       {Kind::Headset, Kind::None, Kind::None, Kind::None, Kind::None, Kind::None}},
      {"logitech-g535-046d-0ac4.desc", {}, {Kind::None, Kind::None}},
      {"bitfield-keypad-example.desc", {}, {Kind::PhoneWithKeys}},
      {"nested headset", nestedHeadset, {Kind::PhoneWithKeys}},
      {"keypad only in a headset", keypadOnlyInHeadset, {Kind::Headset}},
  };
  for (const Case& c : cases) {
    const auto collections =
        c.inline_.empty() ? RealDevice(c.file) : sim::ParseReportDescriptor(c.inline_);
    std::vector<Kind> kinds;
    for (const auto& model : collections) kinds.push_back(ClassifyCollection(*model));
    EXPECT_EQ(kinds, c.kinds) << c.file;
  }
  // In the phone with a nested headset, the keypad is ours and the headset's hook switch is not.
  const auto nested = sim::ParseReportDescriptor(nestedHeadset);
  TelephonyDecoder decoder(*nested.front());
  EXPECT_EQ(Text(decoder.Report(nested.front()->InputReport(1, {kHook, PhoneKey(5)}))),
            Keys{"down 6"});
}

TEST(HidRealDevices, TheCx300RecordingDecodesKeyByKey) {
  const auto cx300 = RealDevice(kCx300);
  const sim::DescriptorModel& phone = *cx300.front();
  // Per line of the recording, in the file's order.
  const Keys expected[] = {
      {"down 8"},
      {"up 8"},
      {"down 1"},
      {"up 1"},
      {"down 5"},
      {"up 5"},
      {"down 9"},
      {"up 9"},
      {"down 2"},
      {"up 2"},
      {"down 6"},
      {"up 6"},
      {"down 10"},
      {"up 10"},
      {"down 3"},
      {"up 3"},
      {"down 7"},
      {"up 7"},
      {"down 11"},
      {"up 11"},
      {"down 4"},
      {"up 4"},
      {"down 12"},
      {"up 12"},
      // The long 0: the Speed Dial bit it adds is no second key.
      {"down 8"},
      {},
      {"up 8"},
      // Redial, Flash, Button 1, each released by the next.
      {"down 17"},
      {"up 17", "down 19"},
      {"up 19", "down 18"},
      // Lifted: the call key once; the pulse's end and the put-down give nothing.
      {"up 18", "down 13 (hook)", "up 13 (hook)"},
      {},
      {},
      // The speaker and headset keys' pulses: the call key each.
      {"down 13 (hook)", "up 13 (hook)"},
      {},
      {"down 13 (hook)", "up 13 (hook)"},
      {},
      // Mute, twice; the microphone byte and the volume bytes are no keys.
      {"down 20"},
      {"up 20"},
      {"down 20"},
      {},
      {"up 20"},
      {},
      {}};
  const auto lines = sim::LoadReports("polycom-cx300-095d-9201.reports", 1);
  ASSERT_EQ(lines.size(), std::size(expected));
  TelephonyDecoder decoder(phone);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    EXPECT_EQ(Text(decoder.Report(lines[i].report, lines[i].timeMs)), expected[i])
        << "line " << i << ": " << lines[i].what;
  }

  // The firmware that holds the bit: the put-down is the hang-up key.
  const Keys held[] = {
      {"down 13 (hook)", "up 13 (hook)"}, {"down 6"}, {"up 6"}, {"down 14 (hook)", "up 14 (hook)"}};
  const auto heldLines = sim::LoadReports("polycom-cx300-095d-9201-held-hook.reports", 1);
  ASSERT_EQ(heldLines.size(), std::size(held));
  TelephonyDecoder heldDecoder(phone);
  for (std::size_t i = 0; i < heldLines.size(); ++i) {
    EXPECT_EQ(Text(heldDecoder.Report(heldLines[i].report, heldLines[i].timeMs)), held[i])
        << heldLines[i].what;
  }
}

TEST(HidBadInput, NoDescriptorOrReportGivesAKeyOrACrash) {
  Bytes deep;
  for (int i = 0; i < 20; ++i) deep.insert(deep.end(), {0x05, 0x0B, 0x09, 0x01, 0xA1, 0x01});
  deep.insert(deep.end(), {0x85, 0x01, 0x09, 0xB1, 0x75, 0x08, 0x95, 0x01, 0x81, 0x02});
  deep.insert(deep.end(), 20, 0xC0);
  const Bytes cx300 = sim::LoadDescriptor(kCx300);
  std::vector<Bytes> descriptors = {deep};
  for (std::size_t cut : {1u, 7u, 40u, 95u, 300u}) {
    descriptors.emplace_back(cx300.begin(), cx300.begin() + static_cast<std::ptrdiff_t>(cut));
  }
  for (const char* file :
       {kCx300, "jabra-biz-2400-ii-0b0e-2453.desc", "plantronics-blackwire-c5220-047f-c053.desc",
        "epos-impact-d1-1395-009c.desc", "logitech-g535-046d-0ac4.desc",
        "bitfield-keypad-example.desc"}) {
    descriptors.push_back(sim::LoadDescriptor(file));
  }
  // Reports nobody declared or with values out of range: an undeclared ID, the CX300's keypad
  // nibble past 13, 4 KiB, empty, one byte.
  const std::vector<Bytes> reports = {{0x07, 0, 6, 0, 0, 0xD5, 0x5A, 0},
                                      {0x01, 0, 0x0E, 0, 0, 0xD5, 0x5A, 0},
                                      {0x01, 0, 0x0F, 0, 0, 0xD5, 0x5A, 0},
                                      Bytes(4096, 0xFF),
                                      {},
                                      {0x01}};
  for (const Bytes& descriptor : descriptors) {
    for (const auto& model : sim::ParseReportDescriptor(descriptor)) {
      ClassifyCollection(*model);
      TelephonyDecoder decoder(*model);
      for (const Bytes& report : reports) {
        EXPECT_EQ(decoder.Report(report), std::vector<HandsetKeyEvent>{})
            << descriptor.size() << " bytes, report of " << report.size();
      }
    }
  }
}

TEST(HidDevices, TheStateReadAtArrivalIsNoPress) {
  struct Case {
    const char* what;
    std::optional<std::vector<HidUsage>> state;  // what the device answers (nothing: no answer)
    Keys firstReport;                            // the hook switch on and key 1 held
  } cases[] = {
      {"plugged in off-hook with key 1 held", std::vector{kHook, PhoneKey(1)}, {}},
      {"plugged in off-hook", std::vector{kHook}, {"down 1"}},
      {"a device that does not answer", std::nullopt, {"down 13", "up 13", "down 1"}},
  };
  for (const Case& c : cases) {
    HidTestProgram p;
    const HidDeviceHandle h = p.hid.Plug(descriptors::UsageTableHandset()).front();
    if (c.state) p.hid.SetInputState(h, p.hid.Model(h).InputReport(kHandsetKeys, *c.state));
    TMessage arrival{WM_INPUT_DEVICE_CHANGE, 1, static_cast<LParam>(h), 0};
    p.form->Dispatch(arrival);
    p.desktop.DeliverPosted();
    p.Report(h, {kHook, PhoneKey(1)}, kHandsetKeys);
    EXPECT_EQ(p.TakeKeys(), c.firstReport) << c.what;
    p.Report(h, {}, kHandsetKeys);  // the put-down is still the hang-up key
    const Keys put = p.TakeKeys();
    EXPECT_EQ(std::count(put.begin(), put.end(), "down 14"), 1) << c.what;
  }
}

TEST(HidRinger, TheOffReportIsRetriedUntilTakenAndTheDeviceStaysOpenTillThen) {
  HidTestProgram p;
  const HidDeviceHandle h = p.PlugTelephony(descriptors::UsageTableHandset());
  p.form->SkypeCallInfo(61, TSkypeCallProperty::Status, "RINGING");
  ASSERT_TRUE(p.hid.Ringing(h));
  p.hid.writeFailures = 2;
  p.form->SkypeCallInfo(61, TSkypeCallProperty::Status, "INPROGRESS");
  EXPECT_TRUE(p.hid.Ringing(h));
  EXPECT_EQ(std::count(p.hid.closed.begin(), p.hid.closed.end(), h), 0) << "not closed yet";
  p.Report(h, {}, kHandsetKeys);  // any input: tried again, refused again
  EXPECT_TRUE(p.hid.Ringing(h));
  p.Report(h, {}, kHandsetKeys);
  EXPECT_FALSE(p.hid.Ringing(h));
  EXPECT_EQ(std::count(p.hid.closed.begin(), p.hid.closed.end(), h), 1);
  p.Report(h, {}, kHandsetKeys);
  EXPECT_EQ(p.hid.Written(h).size(), 2u) << "on once, off once";
}

TEST(HidHookSwitch, LeftToMicroSipWhileItsHeadsetSupportIsOn) {
  constexpr char kExe[] = "C:\\Apps\\MicroSIP\\microsip.exe";
  constexpr char kBeside[] = "C:\\Apps\\MicroSIP\\microsip.ini|Settings|headsetSupport";
  constexpr char kRoaming[] =
      "C:\\Users\\u\\AppData\\Roaming\\MicroSIP\\microsip.ini|"
      "Settings|headsetSupport";
  struct Case {
    const char* what;
    std::int32_t row;
    std::vector<std::pair<std::string, std::string>> ini;
    bool left;
  } cases[] = {
      {"portable, on", app::MicroSip, {{kBeside, "1"}}, true},
      {"portable, off", app::MicroSip, {{kBeside, "0"}, {kRoaming, "1"}}, false},
      {"installed, on", app::MicroSip, {{kRoaming, "1"}}, true},
      {"no setting", app::MicroSip, {}, false},
      {"another row", app::Skype, {{kBeside, "1"}}, false},
  };
  for (const Case& c : cases) {
    HidTestProgram p;
    const Hwnd microsip = p.desktop.AddWindow("MicroSIP", "MicroSIP");
    p.desktop.SetProcess(microsip, 77);
    p.desktop.images[77] = kExe;
    p.desktop.appData = "C:\\Users\\u\\AppData\\Roaming";
    for (const auto& [key, value] : c.ini) p.desktop.ini[key] = value;
    p.form->CurrentAppCode = c.row;
    p.form->FTargetTitle = "MicroSIP";
    const HidDeviceHandle h = p.PlugTelephony(descriptors::UsageTableHandset());
    p.hidSource.StartBuzzer();
    EXPECT_EQ(p.hid.Ringing(h), !c.left) << c.what;
    const std::string said = "MicroSIP drives the USB phone's hook switch.";
    EXPECT_EQ(p.view.status == said, c.left) << c.what << ": " << p.view.status;
    p.view.status.clear();
    p.hidSource.StopBuzzer();
    p.Report(h, {kHook, PhoneKey(2)}, kHandsetKeys);
    p.Report(h, {}, kHandsetKeys);
    const Keys keypadOnly = {"down 5", "up 5"};
    const Keys withHook = {"down 13", "up 13", "down 5", "up 5", "down 14", "up 14"};
    EXPECT_EQ(p.TakeKeys(), c.left ? keypadOnly : withHook) << c.what;
    EXPECT_NE(p.view.status, said) << c.what << ": said once, not on every press";
  }
}

TEST(HidKeys, VolumeKeysAreUpAndDownOnlyWhereUpAndDownBrowseAList) {
  // The volume keys do what Up and Down do on the rows that browse a list, and nothing where Up
  // and Down do something else (delete a digit, click).
  const std::int32_t browsing[] = {app::Msn75, app::Msn70, app::VoipCheap};
  const std::int32_t others[] = {app::XLite, app::XLiteXLook, app::IcqPhone,
                                 app::XPro,  app::Firefly,    app::EyeBeam};
  int othersActing = 0;
  for (bool browses : {true, false}) {
    for (std::int32_t row : browses ? std::span<const std::int32_t>(browsing)
                                    : std::span<const std::int32_t>(others)) {
      for (const auto& [volume, key] :
           {std::pair{kVolumeUpKeyCode, kUpKeyCode}, std::pair{kVolumeDownKeyCode, kDownKeyCode}}) {
        std::vector<std::string> traces[2];
        for (int pass = 0; pass < 2; ++pass) {
          HidTestProgram p;
          p.form->CurrentAppCode = row;
          p.desktop.ClearTrace();
          TMessage down{WM_HANDSET_KEYDOWN, static_cast<WParam>(pass ? key : volume), 0, 0};
          p.form->Dispatch(down);
          traces[pass] = p.desktop.Trace();
        }
        EXPECT_TRUE(!browses || !traces[1].empty()) << row;
        othersActing += !browses && !traces[1].empty();
        EXPECT_EQ(traces[0], browses ? traces[1] : std::vector<std::string>{}) << row;
      }
    }
  }
  EXPECT_GT(othersActing, 0) << "some row where Up or Down acts and the volume keys must not";
}

}  // namespace
}  // namespace telvaro
