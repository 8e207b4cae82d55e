// One HID telephony device's input reports turned into handset key presses and releases.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <vector>

#include "handset/HidDevice.h"
#include "handset/HidUsageMap.h"

namespace telvaro {

struct HandsetKeyEvent {
  int code = 0;
  bool down = false;
  // Given by the hook switch (a call or hang-up key that no key press made).
  bool hook = false;
  // Two events are the same key's same move, whichever control gave it.
  bool operator==(const HandsetKeyEvent& other) const {
    return code == other.code && down == other.down;
  }
};

class TelephonyDecoder {
 public:
  explicit TelephonyDecoder(const HidReportModel& model);

  // The keys one input report presses and releases, releases first; `timeMs` is when the device
  // sent it (a millisecond clock). A report the device's collection does not describe (wrong
  // length, unknown report ID) changes nothing.
  std::vector<HandsetKeyEvent> Report(std::span<const std::uint8_t> report,
                                      std::uint32_t timeMs = 0);
  // The device's state as read when it arrived: what is on in it was so before we looked, so it
  // gives no press now (a handset already lifted is no call) and no release later.
  void Baseline(std::span<const std::uint8_t> report);
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
  std::optional<std::vector<HidUsage>> OursOn(std::span<const std::uint8_t> report) const;

  const HidReportModel& model_;
  std::size_t length_;
  HidQuirks quirks_;
  std::map<HidUsage, bool> absolute_;
  // Usages that only a headset collection nested in the phone's reports: none of ours.
  std::vector<HidUsage> headsetOnly_;
  bool menuKeys_ = false;
  // Handsets come out of the cradle only after they are plugged in, unless the state read at
  // arrival says otherwise.
  bool offHook_ = false;
  std::uint32_t now_ = 0;
  std::uint32_t hookSetAt_ = 0;
  // Per report ID: the usages of ours that were on in its last report.
  std::map<std::uint8_t, std::vector<HidUsage>> on_;
  std::vector<Held> held_;
};

}  // namespace telvaro
