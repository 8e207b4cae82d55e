// HID usages to handset key codes. The codes run down the keypad's columns (1, 4, 7, *, then 2,
// 5, 8, 0, then 3, 6, 9, #), as the handset library reports them, so a digit from a HID phone
// takes the very road a digit from the library's handset takes.
#include "handset/HidUsageMap.h"

#include <algorithm>
#include <array>

#include "drivers/AppTable.h"

namespace telvaro {

namespace {

constexpr HidUsage Telephony(std::uint16_t id) { return {hid::kTelephonyPage, id}; }
constexpr HidUsage Consumer(std::uint16_t id) { return {hid::kConsumerPage, id}; }
constexpr HidUsage Button(std::uint16_t id) { return {hid::kButtonPage, id}; }

constexpr std::array kTable{
    // Phone Key 0 to 9, Star and Pound.
    HidKeyRow{Telephony(0xB1), HidKeyRole::Key, 1},   // 1
    HidKeyRow{Telephony(0xB4), HidKeyRole::Key, 2},   // 4
    HidKeyRow{Telephony(0xB7), HidKeyRole::Key, 3},   // 7
    HidKeyRow{Telephony(0xBA), HidKeyRole::Key, 4},   // *
    HidKeyRow{Telephony(0xB2), HidKeyRole::Key, 5},   // 2
    HidKeyRow{Telephony(0xB5), HidKeyRole::Key, 6},   // 5
    HidKeyRow{Telephony(0xB8), HidKeyRole::Key, 7},   // 8
    HidKeyRow{Telephony(0xB0), HidKeyRole::Key, 8},   // 0
    HidKeyRow{Telephony(0xB3), HidKeyRole::Key, 9},   // 3
    HidKeyRow{Telephony(0xB6), HidKeyRole::Key, 10},  // 6
    HidKeyRow{Telephony(0xB9), HidKeyRole::Key, 11},  // 9
    HidKeyRow{Telephony(0xBB), HidKeyRole::Key, 12},  // #
    // Call and hang-up: Send and Drop are keys; the hook switch is a state (or, on some
    // headsets, a relative control that toggles it).
    HidKeyRow{Telephony(0x31), HidKeyRole::Key, kCallKeyCode},    // Send
    HidKeyRow{Telephony(0x26), HidKeyRole::Key, kHangUpKeyCode},  // Drop
    HidKeyRow{Telephony(0x20), HidKeyRole::HookSwitch, kCallKeyCode},
    // The keys desk phones add. Speed Dial is none of them: one desk phone sets it beside a key
    // held long, and that is the same key still held, not a second one.
    HidKeyRow{Telephony(0x24), HidKeyRole::Key, kRedialKeyCode},
    HidKeyRow{Telephony(0x21), HidKeyRole::Key, kFlashKeyCode},
    HidKeyRow{Telephony(0x2F), HidKeyRole::Key, kMuteKeyCode},  // Phone Mute
    // A desk phone's delete / reject key is Button 1, in its Phone collection (only Phone
    // collections with phone keys are read at all).
    HidKeyRow{Button(0x01), HidKeyRole::Key, kBackspaceKeyCode},
    // Up and Down move through a contact list, which is what the Consumer page's Menu Up and
    // Menu Down mean. Handsets without them usually have only a volume rocker; inside a
    // telephony collection nothing else reads it (the system's volume keys are read from
    // consumer-control collections), so it is reported as the volume keys, which move through
    // the lists where a list is what Up and Down browse.
    HidKeyRow{Consumer(0x42), HidKeyRole::Key, kUpKeyCode},                     // Menu Up
    HidKeyRow{Consumer(0x43), HidKeyRole::Key, kDownKeyCode},                   // Menu Down
    HidKeyRow{Consumer(0xE9), HidKeyRole::UpDownFallback, kVolumeUpKeyCode},    // Volume Incr.
    HidKeyRow{Consumer(0xEA), HidKeyRole::UpDownFallback, kVolumeDownKeyCode},  // Volume Decr.
};

struct QuirkRow {
  std::uint16_t vendorId;
  std::uint16_t productId;
  HidQuirks quirks;
};

constexpr std::array kQuirks{
    // A desk phone whose hook switch pulses on some firmware.
    QuirkRow{0x095D, 0x9201, HidQuirks{.hookMayPulse = true, .alsoBackspace = Button(0x07)}},
};

// The Telephony page's Ringer, then the LED page's Ring for devices that only light up.
constexpr std::array kRingers{Telephony(0x9E), HidUsage{hid::kLedPage, 0x18}};

}  // namespace

std::span<const HidKeyRow> HidKeyTable() { return kTable; }

bool VolumeKeysBrowse(std::int32_t appCode) {
  constexpr std::array kBrowsing{app::Skype,      app::Msn70,     app::Msn75,
                                 app::VoipBuster, app::VoipStunt, app::VoipCheap};
  return std::find(kBrowsing.begin(), kBrowsing.end(), appCode) != kBrowsing.end();
}

const HidKeyRow* FindHidKey(HidUsage usage) {
  const auto it = std::find_if(kTable.begin(), kTable.end(),
                               [usage](const HidKeyRow& row) { return row.usage == usage; });
  return it == kTable.end() ? nullptr : &*it;
}

std::span<const HidUsage> HidRingerOutputs() { return kRingers; }

HidCollectionKind ClassifyCollection(const HidReportModel& model) {
  constexpr std::uint16_t kHeadset = 0x05;
  constexpr std::uint16_t kFirstPhoneKey = 0xB0;
  constexpr std::uint16_t kLastPhoneKey = 0xBB;
  const HidUsage collection = model.Collection();
  if (collection.page != hid::kTelephonyPage) return HidCollectionKind::None;
  if (collection.id == kHeadset) return HidCollectionKind::Headset;
  const std::vector<HidButton> buttons = model.InputButtons();
  const bool keys = std::any_of(buttons.begin(), buttons.end(), [](const HidButton& b) {
    return !b.inHeadset && b.usage.page == hid::kTelephonyPage && b.usage.id >= kFirstPhoneKey &&
           b.usage.id <= kLastPhoneKey;
  });
  return keys ? HidCollectionKind::PhoneWithKeys : HidCollectionKind::Headset;
}

bool IsHandsetCollection(const HidReportModel& model) {
  return ClassifyCollection(model) == HidCollectionKind::PhoneWithKeys;
}

HidQuirks QuirksOf(const HidReportModel& model) {
  const std::uint16_t vendor = model.VendorId();
  const std::uint16_t product = model.ProductId();
  for (const QuirkRow& row : kQuirks) {
    if (row.vendorId == vendor && row.productId == product) return row.quirks;
  }
  return {};
}

std::optional<std::vector<std::uint8_t>> RingerReport(const HidReportModel& model, HidUsage ringer,
                                                      bool on) {
  // Built from the report's initial state, not from zeros: a control with a null value (a
  // volume, an indicator's mode) must stay as the device has it, not be set to 0.
  const std::optional<std::uint8_t> id = model.OutputReportId(ringer);
  if (!id) return std::nullopt;
  std::vector<std::uint8_t> report = model.InitializeOutputReport(*id);
  if (report.empty() || !model.SetOutputUsage(report, ringer, on)) return std::nullopt;
  return report;
}

}  // namespace telvaro
