// What the program asks of a HID telephony device, in the terms Windows' HID parser (the HidP_*
// functions over a device's preparsed data) answers in. Windows hands programs the parsed form of
// a device's report descriptor only, never its bytes, so the portable code works on these
// answers; the tests answer them from real devices' report descriptors.
#pragma once

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
  // The output report that sets `usage` on or off and every other output of its report off;
  // nothing when the collection has no such output.
  virtual std::optional<std::vector<std::uint8_t>> OutputReport(HidUsage usage, bool on) const = 0;
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
  // The HID collections present now.
  virtual std::vector<HidDeviceHandle> ListDevices() = 0;
  // The model of one collection; nothing when it cannot be read.
  virtual std::unique_ptr<HidReportModel> OpenDevice(HidDeviceHandle device) = 0;
  virtual bool WriteOutputReport(HidDeviceHandle device, std::span<const std::uint8_t> report) = 0;
  virtual void CloseDevice(HidDeviceHandle device) = 0;
  // The input message's reports (WM_INPUT's lParam); nothing when it is not HID input.
  virtual std::optional<HidInput> ReadInput(LParam rawInput) = 0;
};

}  // namespace telvaro
