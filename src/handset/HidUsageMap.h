// Which HID usage is which handset key: the one table, in HidUsageMap.cpp.
#pragma once

#include <optional>
#include <span>
#include <vector>

#include "handset/HidDevice.h"
#include "handset/KeyCodes.h"

namespace telvaro {

enum class HidKeyRole {
  Key,         // down while the usage is on
  HookSwitch,  // off-hook gives the call key, on-hook the hang-up key: one press per change
  // Up or Down only on a device that offers no menu keys for them (see the table)
  UpDownFallback,
};

struct HidKeyRow {
  HidUsage usage;
  HidKeyRole role;
  int code;  // the handset key code; for the hook switch, the off-hook one
};

std::span<const HidKeyRow> HidKeyTable();
// The row of `usage`; nothing for a usage that is no handset key.
const HidKeyRow* FindHidKey(HidUsage usage);

// The outputs that sound a device's ringer, best first.
std::span<const HidUsage> HidRingerOutputs();

// Whether a top-level collection is a handset: a telephony collection that reports phone keys
// (0 to 9, star, pound). Headsets have telephony collections too (hook switch, mute, volume),
// and their calls belong to whatever program answers them, so a Headset collection never is one,
// keys or not.
bool IsHandsetCollection(const HidReportModel& model);

// The output report that switches `ringer` on or off and leaves every other control of its
// report at its initial state; nothing when the collection has no such output.
std::optional<std::vector<std::uint8_t>> RingerReport(const HidReportModel& model, HidUsage ringer,
                                                      bool on);

}  // namespace telvaro
