// HID telephony devices for the unit tests: a small report-descriptor parser that answers what
// the HidP_* functions answer, a fake of the system's HID side (devices plugged and unplugged,
// input messages, the output reports written), and real devices' report descriptors.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "FakeHandset.h"
#include "FakeView.h"
#include "SimDesktop.h"
#include "handset/HidDevice.h"
#include "handset/HidHandsetSource.h"
#include "shell/frmMailInterface.h"

namespace telvaro::sim {

using Bytes = std::vector<std::uint8_t>;

// One top-level application collection of a report descriptor.
class DescriptorModel final : public HidReportModel {
 public:
  struct Field {
    int kind = 0;  // 0 input, 1 output, 2 feature
    std::uint8_t reportId = 0;
    std::uint32_t bitOffset = 0;  // after the report ID byte
    std::uint32_t size = 0;
    std::uint32_t count = 0;
    bool constant = false;
    bool array = false;
    bool relative = false;
    bool nullState = false;
    bool inHeadset = false;  // inside a Headset collection nested in this one
    std::int32_t logicalMin = 0;
    std::int32_t logicalMax = 0;
    std::vector<HidUsage> usages;
  };

  HidUsage Collection() const override { return collection; }
  std::uint16_t VendorId() const override { return vendorId; }
  std::uint16_t ProductId() const override { return productId; }
  std::size_t InputReportLength() const override { return ReportLength(0); }
  std::size_t OutputReportLength() const { return ReportLength(1); }
  std::vector<HidButton> InputButtons() const override;
  std::optional<std::vector<HidUsage>> UsagesOn(
      std::span<const std::uint8_t> report) const override;
  std::optional<std::uint8_t> OutputReportId(HidUsage usage) const override;
  std::vector<std::uint8_t> InitializeOutputReport(std::uint8_t reportId) const override;
  bool SetOutputUsage(std::vector<std::uint8_t>& report, HidUsage usage, bool on) const override;

  // The usages an output report sets (to read back what the program wrote).
  std::vector<HidUsage> OutputUsagesOn(const Bytes& report) const;
  // The value of output `usage`'s field in `report`; nothing when the report has no such value.
  std::optional<std::int32_t> OutputValue(const Bytes& report, HidUsage usage) const;
  // An input report with exactly `on` set (buttons and array entries); report ID `id`.
  Bytes InputReport(std::uint8_t id, const std::vector<HidUsage>& on) const;

  HidUsage collection;
  std::uint16_t vendorId = 0;
  std::uint16_t productId = 0;
  std::vector<Field> fields;
  std::map<std::pair<int, std::uint8_t>, std::uint32_t> reportBits;  // (kind, id) -> data bits

 private:
  std::size_t ReportLength(int kind) const;
  static bool IsButton(const Field& f) { return f.array || f.size == 1; }
};

// Every application collection of `descriptor`, in order.
std::vector<std::shared_ptr<DescriptorModel>> ParseReportDescriptor(const Bytes& descriptor);

// A real device's files of tests/data/hid-devices: the descriptor (`.desc`, hex bytes after `#`
// lines) and the input reports it sent (`.reports`: "hh:mm:ss.mmm | hex | what the user did").
Bytes LoadDescriptor(const std::string& file);
struct RecordedReport {
  std::uint32_t timeMs = 0;
  Bytes report;  // as the device sent it, ID byte first
  std::string what;
};
std::vector<RecordedReport> LoadReports(const std::string& file, std::uint8_t reportId);

// Report descriptors of real devices and of usage-table handsets (sources in the .cpp).
namespace descriptors {
// A Bluetooth/USB earphone's firmware: a consumer-control collection (volume, play) and a
// telephony headset collection with a relative hook switch, Drop and LED outputs (Ring).
const Bytes& Earphone();
// A headset remote whose only telephony usage (Flash) sits in a consumer-control collection.
const Bytes& HeadsetRemote();
// A desk handset written from the HID Usage Tables: keypad array, absolute hook switch, Send,
// Drop, a volume rocker, and a Ringer output, in a Phone collection.
const Bytes& UsageTableHandset();
// The same with Menu Up and Menu Down keys beside the volume rocker.
const Bytes& UsageTableHandsetWithMenuKeys();
// The handset whose ringer report also carries a ring volume with a null state.
const Bytes& UsageTableHandsetWithRingVolume();
// Written from the usage tables too: an office headset (Headset collection: hook switch, mute,
// volume, Ring and Off-Hook LEDs, no keys); the same controls in a Phone collection; and a
// headset collection that does carry a keypad.
const Bytes& UsageTableHeadset();
const Bytes& PhoneWithoutKeys();
const Bytes& HeadsetWithKeypad();
}  // namespace descriptors

class FakeHidPlatform final : public HidPlatform {
 public:
  // Plugs every collection of `descriptor` as a HID collection of its own; returns their handles.
  std::vector<HidDeviceHandle> Plug(const Bytes& descriptor, std::uint16_t vendorId = 0,
                                    std::uint16_t productId = 0);
  // What the device answers when its input report is asked for (nothing unless set).
  void SetInputState(HidDeviceHandle device, Bytes report) {
    devices_.at(device).state[report.at(0)] = std::move(report);
  }
  std::optional<std::vector<std::uint8_t>> ReadInputReport(HidDeviceHandle device,
                                                           std::uint8_t reportId) override;
  void Unplug(HidDeviceHandle device);
  // Whether a plugged device is listed and can be opened yet (some systems announce a
  // collection a moment before that).
  void SetReady(HidDeviceHandle device, bool ready) {
    devices_.at(device).ready = ready;
    devices_.at(device).listed = ready;
  }
  // Whether the device list names it (a list read a moment earlier may not, yet).
  void SetListed(HidDeviceHandle device, bool listed) { devices_.at(device).listed = listed; }
  // The WM_INPUT lParam that carries `reports` from `device`.
  LParam Input(HidDeviceHandle device, std::vector<Bytes> reports);
  const DescriptorModel& Model(HidDeviceHandle device) const { return *devices_.at(device).model; }
  // The output reports written to `device`, in order.
  const std::vector<Bytes>& Written(HidDeviceHandle device) const {
    return devices_.at(device).written;
  }
  // Whether `device`'s ringer (or ring LED) was set on by the last output report written.
  bool Ringing(HidDeviceHandle device) const;

  bool RegisterForTelephony(Hwnd window) override {
    registeredWindow = window;
    ++registrations;
    return true;
  }
  std::optional<std::vector<HidDeviceHandle>> ListDevices() override;
  std::unique_ptr<HidReportModel> OpenDevice(HidDeviceHandle device) override;
  bool WriteOutputReport(HidDeviceHandle device, std::span<const std::uint8_t> report) override;
  void CloseDevice(HidDeviceHandle device) override {
    closed.push_back(device);
    std::erase(writing, device);
  }
  std::optional<HidInput> ReadInput(LParam rawInput) override;

  Hwnd registeredWindow = 0;
  int registrations = 0;
  std::vector<HidDeviceHandle> closed;
  std::vector<HidDeviceHandle> opened;   // OpenDevice, in order
  std::vector<HidDeviceHandle> writing;  // open for writing now (written and not closed since)
  // The next ListDevices calls that fail.
  int listFailures = 0;
  // The next output report writes that fail (a device that does not take them).
  int writeFailures = 0;

 private:
  struct Device {
    std::shared_ptr<DescriptorModel> model;
    bool present = true;
    bool ready = true;
    bool listed = true;
    std::vector<Bytes> written;
    std::map<std::uint8_t, Bytes> state;
  };
  std::map<HidDeviceHandle, Device> devices_;
  std::map<LParam, HidInput> inputs_;
  HidDeviceHandle nextHandle_ = 0x10001;
  LParam nextInput_ = 0x7001;
};

// The simulated desktop with what the HID tests need besides: processes' executables, ini
// files and the roaming application data folder.
class HidSimDesktop final : public SimDesktop {
 public:
  std::map<std::uint32_t, std::string> images;
  std::map<std::string, std::string> ini;  // "file|section|key" -> value
  std::string appData;

  std::string ProcessImagePath(std::uint32_t processId) override {
    const auto it = images.find(processId);
    return it == images.end() ? std::string() : it->second;
  }
  std::string RoamingAppDataPath() override { return appData; }
  std::string GetPrivateProfileStringA(const char* section, const char* key, const char* fallback,
                                       const char* file) override {
    const auto it = ini.find(std::string(file) + "|" + section + "|" + key);
    return it == ini.end() ? std::string(fallback) : it->second;
  }
};

// A whole program with the handset library and the HID source, on the simulated desktop.
struct HidTestProgram {
  // With `create`, FormCreate has run (Skype selected) and the trace is empty.
  explicit HidTestProgram(bool withLibrary = true, bool create = true);
  ~HidTestProgram();
  void Create();

  // Delivers one input message of `device` and then every message it posted.
  void Report(HidDeviceHandle device, const std::vector<HidUsage>& on, std::uint8_t id);
  void RawReport(HidDeviceHandle device, Bytes report);
  // Plugs a device and lets its arrival through; returns its telephony collection.
  HidDeviceHandle PlugTelephony(const Bytes& descriptor, std::uint16_t vendorId = 0,
                                std::uint16_t productId = 0);
  void Unplug(HidDeviceHandle device);
  // The system wakes from sleep.
  void Resume();
  // The handset key messages the main window received since the last call, "down 6", "up 6".
  std::vector<std::string> TakeKeys();

  HidSimDesktop desktop;
  FakeHandset handset;
  LibrarySource library{handset};
  FakeHidPlatform hid;
  HidHandsetSource hidSource{desktop, hid};
  FakeView view{desktop};
  TApplication app;
  std::unique_ptr<TMainForm> form;

 private:
  void Deliver();
  std::vector<std::string> keys_;
};

}  // namespace telvaro::sim
