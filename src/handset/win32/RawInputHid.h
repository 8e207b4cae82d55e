// HID telephony devices through the system's own HID support: Raw Input brings their reports and
// their arrival and removal to the main window on its own thread (no reader thread, no lock),
// hid.dll's HidP_* functions read the reports from the collection's preparsed data, and the
// ringer is set by writing to the device's file, opened only while it rings.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "handset/HidDevice.h"

namespace telvaro {

class RawInputHid final : public HidPlatform {
 public:
  RawInputHid();
  RawInputHid(const RawInputHid&) = delete;
  RawInputHid& operator=(const RawInputHid&) = delete;
  ~RawInputHid() override;

  bool RegisterForTelephony(Hwnd window) override;
  std::optional<std::vector<HidDeviceHandle>> ListDevices() override;
  std::unique_ptr<HidReportModel> OpenDevice(HidDeviceHandle device) override;
  bool WriteOutputReport(HidDeviceHandle device, std::span<const std::uint8_t> report) override;
  void CloseDevice(HidDeviceHandle device) override;
  std::optional<HidInput> ReadInput(LParam rawInput) override;
  void DeviceChange(WParam wParam, LParam lParam) override;
  std::optional<std::vector<std::uint8_t>> ReadInputReport(HidDeviceHandle device,
                                                           std::uint8_t reportId) override;

 private:
  struct PendingWrite;
  struct Writer {
    void* file = nullptr;
    void* notification = nullptr;
    std::unique_ptr<PendingWrite> stuck;  // a write neither finished nor cancelled in time
  };
  Writer* OpenWriter(HidDeviceHandle device);

  Hwnd window_ = 0;
  std::map<HidDeviceHandle, std::string> names_;
  std::map<HidDeviceHandle, std::size_t> lengths_;  // input report bytes, ID included
  std::map<HidDeviceHandle, Writer> writers_;
};

}  // namespace telvaro
