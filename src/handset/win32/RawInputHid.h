// HID telephony devices through the system's own HID support: Raw Input brings their reports and
// their arrival and removal to the main window on its own thread (no reader thread, no lock),
// hid.dll's HidP_* functions read the reports from the collection's preparsed data, and the
// ringer is set through the device's file (HidD_SetOutputReport, WriteFile where the device
// takes output reports only on its interrupt pipe).
#pragma once

#include <map>

#include "handset/HidDevice.h"

namespace telvaro {

class RawInputHid final : public HidPlatform {
 public:
  RawInputHid() = default;
  RawInputHid(const RawInputHid&) = delete;
  RawInputHid& operator=(const RawInputHid&) = delete;
  ~RawInputHid() override;

  bool RegisterForTelephony(Hwnd window) override;
  std::vector<HidDeviceHandle> ListDevices() override;
  std::unique_ptr<HidReportModel> OpenDevice(HidDeviceHandle device) override;
  bool WriteOutputReport(HidDeviceHandle device, std::span<const std::uint8_t> report) override;
  void CloseDevice(HidDeviceHandle device) override;
  std::optional<HidInput> ReadInput(LParam rawInput) override;

 private:
  std::map<HidDeviceHandle, void*> files_;  // for the output reports
};

}  // namespace telvaro
