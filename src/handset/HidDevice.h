// What the program asks of a HID telephony device, in the terms Windows' HID parser (the HidP_*
// functions over a device's preparsed data) answers in. Windows hands programs the parsed form of
// a device's report descriptor only, never its bytes, so the portable code works on these
// answers; the tests answer them from real devices' report descriptors.
#pragma once

#include <algorithm>
#include <compare>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "platform/WindowsApi.h"

namespace telvaro {

namespace hid {
inline constexpr std::uint16_t kLedPage = 0x08;
inline constexpr std::uint16_t kButtonPage = 0x09;
inline constexpr std::uint16_t kTelephonyPage = 0x0B;
inline constexpr std::uint16_t kConsumerPage = 0x0C;
}  // namespace hid

struct HidUsage {
  std::uint16_t page = 0;
  std::uint16_t id = 0;
  // clang-tidy 14 takes the 0 of a defaulted comparison's result for a null pointer.
  auto operator<=>(const HidUsage&) const = default;  // NOLINT(modernize-use-nullptr)
};

// One button usage of the input reports (HIDP_BUTTON_CAPS, ranges expanded).
struct HidButton {
  HidUsage usage;
  std::uint8_t reportId = 0;
  // False for a relative control: each press is a 1 that the next report takes back.
  bool absolute = true;
  // Inside a Headset collection nested in the top-level one: a headset's control, whatever the
  // collection around it is.
  bool inHeadset = false;
};

// One top-level collection of a device.
class HidReportModel {
 public:
  virtual ~HidReportModel() = default;
  // The collection's own usage (HIDP_CAPS UsagePage and Usage).
  virtual HidUsage Collection() const = 0;
  // Bytes of every input report, report ID byte included (HIDP_CAPS InputReportByteLength).
  virtual std::size_t InputReportLength() const = 0;
  virtual std::vector<HidButton> InputButtons() const = 0;
  // The buttons that are on in one input report (its first byte is the report ID, 0 when the
  // device has none); nothing when the report is not one of this collection's (wrong length,
  // unknown report ID).
  virtual std::optional<std::vector<HidUsage>> UsagesOn(
      std::span<const std::uint8_t> report) const = 0;
  // The ID of the output report that carries button `usage` (HidP_GetSpecificButtonCaps);
  // nothing when the collection has no such output.
  virtual std::optional<std::uint8_t> OutputReportId(HidUsage usage) const = 0;
  // Output report `reportId` with every control at its initial state: zero, or the control's
  // null value where it has one, which a device takes as "leave as it is"
  // (HidP_InitializeReportForID).
  virtual std::vector<std::uint8_t> InitializeOutputReport(std::uint8_t reportId) const = 0;
  // Sets or clears one button usage in an output report (HidP_SetUsages, HidP_UnsetUsages);
  // false when the report does not carry it.
  virtual bool SetOutputUsage(std::vector<std::uint8_t>& report, HidUsage usage, bool on) const = 0;
  // The device's USB vendor and product IDs (HIDD_ATTRIBUTES); 0 when unknown.
  virtual std::uint16_t VendorId() const { return 0; }
  virtual std::uint16_t ProductId() const { return 0; }
};

using HidDeviceHandle = std::uintptr_t;

// The reports one input message carries, and the device they came from.
struct HidInput {
  HidDeviceHandle device = 0;
  std::vector<std::vector<std::uint8_t>> reports;
};

// The operating system's side of HID telephony devices.
class HidPlatform {
 public:
  virtual ~HidPlatform() = default;
  // Asks for the input and the arrival and removal notices of telephony devices to reach
  // `window`, in the background too; false when the system refuses.
  virtual bool RegisterForTelephony(Hwnd window) = 0;
  // The HID collections present now; nothing when the system could not say.
  virtual std::optional<std::vector<HidDeviceHandle>> ListDevices() = 0;
  // The model of one collection; nothing when it cannot be read.
  virtual std::unique_ptr<HidReportModel> OpenDevice(HidDeviceHandle device) = 0;
  // Opens the device for writing when it is not open yet, and writes; never waits long.
  virtual bool WriteOutputReport(HidDeviceHandle device, std::span<const std::uint8_t> report) = 0;
  // Closes what is open of the device (harmless when nothing is).
  virtual void CloseDevice(HidDeviceHandle device) = 0;
  // The input message's reports (WM_INPUT's lParam); nothing when it is not HID input.
  virtual std::optional<HidInput> ReadInput(LParam rawInput) = 0;
  // Every WM_DEVICECHANGE: the system may ask for an open device back.
  virtual void DeviceChange(WParam, LParam) {}
  // The device's input report `reportId` as it stands now (HidD_GetInputReport), ID byte first;
  // nothing when the device does not answer.
  virtual std::optional<std::vector<std::uint8_t>> ReadInputReport(HidDeviceHandle /*device*/,
                                                                   std::uint8_t /*reportId*/) {
    return std::nullopt;
  }
};

// The entries of a system list read with the usual two calls: `read(nullptr, count)` says how
// many there are; `read(buffer, count)` fills up to `count` and says how many it wrote, or -1.
// A list that grew between the two calls (`tooSmall()` after a -1) is read again; any other
// failure gives nothing, so that a device is never taken for gone because the list was not read.
template <typename Entry, typename Read, typename TooSmall>
std::optional<std::vector<Entry>> ReadSystemList(Read read, TooSmall tooSmall) {
  for (int attempt = 0; attempt < 4; ++attempt) {
    unsigned count = 0;
    if (read(nullptr, count) != 0) return std::nullopt;
    std::vector<Entry> list(count);
    if (count == 0) return list;
    unsigned room = count;
    const long got = read(list.data(), room);
    if (got >= 0) {
      list.resize(std::min<std::size_t>(static_cast<std::size_t>(got), list.size()));
      return list;
    }
    if (!tooSmall()) return std::nullopt;
  }
  return std::nullopt;
}

}  // namespace telvaro
