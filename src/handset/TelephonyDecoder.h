// One HID telephony device's input reports turned into handset key presses and releases.
#pragma once

#include <cstdint>
#include <map>
#include <span>
#include <vector>

#include "handset/HidDevice.h"

namespace telvaro {

struct HandsetKeyEvent {
  int code = 0;
  bool down = false;
  bool operator==(const HandsetKeyEvent&) const = default;
};

class TelephonyDecoder {
 public:
  explicit TelephonyDecoder(const HidReportModel& model);

  // The keys one input report presses and releases, releases first. A report the device's
  // collection does not describe (wrong length, unknown report ID) changes nothing.
  std::vector<HandsetKeyEvent> Report(std::span<const std::uint8_t> report);
  // A release for every key still down, as when the device goes away.
  std::vector<HandsetKeyEvent> ReleaseAll();
  // Keys down now were never reported: their releases will not be either.
  void ForgetHeld();

  bool OffHook() const { return offHook_; }

 private:
  struct Held {
    HidUsage usage;
    int code;
  };
  void Press(HidUsage usage, std::vector<HandsetKeyEvent>& out);
  void Release(HidUsage usage, std::vector<HandsetKeyEvent>& out);
  void SetHook(bool offHook, std::vector<HandsetKeyEvent>& out);
  int CodeOf(HidUsage usage) const;  // 0: no key of ours

  const HidReportModel& model_;
  std::size_t length_;
  std::map<HidUsage, bool> absolute_;
  bool menuKeys_ = false;
  // Handsets come out of the cradle only after they are plugged in.
  bool offHook_ = false;
  // Per report ID: the usages of ours that were on in its last report.
  std::map<std::uint8_t, std::vector<HidUsage>> on_;
  std::vector<Held> held_;
};

}  // namespace telvaro
