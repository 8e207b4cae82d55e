// Which HID usage is which handset key: the one table, in HidUsageMap.cpp.
#pragma once

#include <span>

#include "handset/HidDevice.h"

namespace telvaro {

inline constexpr int kCallKeyCode = 13;
inline constexpr int kHangUpKeyCode = 14;
inline constexpr int kUpKeyCode = 15;
inline constexpr int kDownKeyCode = 16;

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

}  // namespace telvaro
