// Which HID usage is which handset key: the one table, in HidUsageMap.cpp.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "handset/HidDevice.h"
#include "handset/KeyCodes.h"

namespace telvaro {

enum class HidKeyRole {
  Key,         // down while the usage is on
  HookSwitch,  // off-hook gives the call key, on-hook the hang-up key: one press per change
  // the volume keys, reported only on a device that offers no menu keys (see the table)
  UpDownFallback,
};

struct HidKeyRow {
  HidUsage usage;
  HidKeyRole role;
  int code;  // the handset key code; for the hook switch, the off-hook one
};

std::span<const HidKeyRow> HidKeyTable();

// Whether the volume keys are Up and Down for the application `appCode`: only where Up and Down
// move through a list (Skype, MSN Messenger, the Voip rows). Elsewhere Up and Down delete a digit
// or click, which a volume press must never do.
bool VolumeKeysBrowse(std::int32_t appCode);
// The row of `usage`; nothing for a usage that is no handset key.
const HidKeyRow* FindHidKey(HidUsage usage);

// The outputs that sound a device's ringer, best first.
std::span<const HidUsage> HidRingerOutputs();

enum class HidCollectionKind {
  PhoneWithKeys,  // a telephony collection with phone keys of its own: a handset of ours
  // Any other telephony collection (hook switch, mute, volume, but no keypad of its own): a
  // headset, whatever usage it calls itself by.
  Headset,
  None,  // no telephony collection at all
};

// What a top-level collection is. Headsets' calls belong to whatever program answers them, so a
// Headset collection never is a phone, keys or not, and neither are keys inside a Headset
// collection nested in a phone's.
HidCollectionKind ClassifyCollection(const HidReportModel& model);
bool IsHandsetCollection(const HidReportModel& model);

// What a device is known to do beyond what its descriptor says, by its vendor and product IDs.
struct HidQuirks {
  // The hook switch, though declared absolute, may be a short pulse on lifting the handset and
  // nothing at all on putting it down (some firmware of one desk phone; others of the same model
  // hold the bit while off-hook).
  bool hookMayPulse = false;
  // A usage that is this device's delete / reject key besides Button 1: a field declared with
  // two usages and one bit ("09 07 05 09 09 01"), which parsers read as either.
  HidUsage alsoBackspace{};
};
HidQuirks QuirksOf(const HidReportModel& model);
// A hook switch bit cleared this soon after it was set was a pulse, not a put-down: a person puts
// the handset back later than that, and the pulsing firmware's pulse lasts about 50 ms.
inline constexpr std::uint32_t kHookPulseMs = 300;

// The output report that switches `ringer` on or off and leaves every other control of its
// report at its initial state; nothing when the collection has no such output.
std::optional<std::vector<std::uint8_t>> RingerReport(const HidReportModel& model, HidUsage ringer,
                                                      bool on);

}  // namespace telvaro
