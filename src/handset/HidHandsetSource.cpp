#include "handset/HidHandsetSource.h"

#include <algorithm>

#include "handset/HidUsageMap.h"

namespace telvaro {

HidHandsetSource::HidHandsetSource(WindowsApi& api, HidPlatform& platform)
    : api_(api), platform_(platform) {}

HidHandsetSource::~HidHandsetSource() = default;

void HidHandsetSource::StartDetection(Hwnd window, const HandsetMessages& messages) {
  window_ = window;
  messages_ = messages;
  started_ = true;
  // Without the registration no input arrives, but devices present can still ring.
  platform_.RegisterForTelephony(window);
  Rescan();
}

void HidHandsetSource::DeviceChange(std::uint32_t, std::uint32_t) { Rescan(); }

bool HidHandsetSource::OtherMessage(TMessage& message) {
  if (message.Msg == WM_INPUT_DEVICE_CHANGE) {
    Rescan();
    return true;
  }
  if (message.Msg != WM_INPUT || !started_) return false;
  const auto input = platform_.ReadInput(message.lParam);
  Device* device = input ? Find(input->device) : nullptr;
  if (device && !device->gone) {
    for (const auto& report : input->reports) {
      // Reports before the arrival was handled still move the decoder, so that a key held
      // across it gives neither a press nor a release without its press.
      const auto events = device->decoder->Report(report);
      if (!device->scanning) {
        device->decoder->ForgetHeld();
        continue;
      }
      for (const HandsetKeyEvent& e : events) {
        Post(e.down ? messages_.keyDown : messages_.keyUp, static_cast<WParam>(e.code));
      }
    }
  }
  // The system frees the input in the default window procedure, so it must see it too.
  return false;
}

void HidHandsetSource::Rescan() {
  if (!started_) return;
  const std::vector<HidDeviceHandle> present = platform_.ListDevices();
  for (auto& device : devices_) {
    if (!device->gone &&
        std::find(present.begin(), present.end(), device->handle) == present.end()) {
      Vanish(*device);
    }
  }
  for (HidDeviceHandle handle : present) {
    if (!Find(handle)) Add(handle);
  }
}

void HidHandsetSource::Add(HidDeviceHandle handle) {
  std::unique_ptr<HidReportModel> model = platform_.OpenDevice(handle);
  if (!model) return;
  if (model->Collection().page != hid::kTelephonyPage) {
    platform_.CloseDevice(handle);
    return;
  }
  auto device = std::make_unique<Device>();
  device->handle = handle;
  device->decoder = std::make_unique<TelephonyDecoder>(*model);
  for (HidUsage ringer : HidRingerOutputs()) {
    if (model->OutputReport(ringer, false)) {
      device->hasRinger = true;
      device->ringer = ringer;
      break;
    }
  }
  device->model = std::move(model);
  Device& added = *device;
  devices_.push_back(std::move(device));
  // A device plugged in while a call rings joins in.
  if (ringing_) Ring(added, true);
  Post(messages_.arrival, static_cast<WParam>(handle));
}

void HidHandsetSource::Vanish(Device& device) {
  device.gone = true;
  // Keys held on a device that went away would stay down for ever: release them first.
  for (const HandsetKeyEvent& e : device.decoder->ReleaseAll()) {
    if (device.scanning) Post(messages_.keyUp, static_cast<WParam>(e.code));
  }
  device.scanning = false;
  Post(messages_.removal, static_cast<WParam>(device.handle));
}

void HidHandsetSource::Arrived(WParam wParam, LParam) {
  Device* device = Find(static_cast<HidDeviceHandle>(wParam));
  if (device && !device->gone) device->scanning = true;
}

void HidHandsetSource::Removed(WParam wParam, LParam) {
  const auto handle = static_cast<HidDeviceHandle>(wParam);
  const auto it = std::find_if(devices_.begin(), devices_.end(),
                               [handle](const auto& d) { return d->handle == handle && d->gone; });
  if (it == devices_.end()) return;
  platform_.CloseDevice(handle);
  devices_.erase(it);
}

void HidHandsetSource::Ring(Device& device, bool on) {
  if (!device.hasRinger || device.gone) return;
  if (const auto report = device.model->OutputReport(device.ringer, on)) {
    platform_.WriteOutputReport(device.handle, *report);
  }
}

void HidHandsetSource::StartBuzzer() {
  ringing_ = true;
  for (auto& device : devices_) Ring(*device, true);
}

void HidHandsetSource::StopBuzzer() {
  ringing_ = false;
  for (auto& device : devices_) Ring(*device, false);
}

void HidHandsetSource::Shutdown() {
  StopBuzzer();
  for (auto& device : devices_) platform_.CloseDevice(device->handle);
  devices_.clear();
  started_ = false;
}

void HidHandsetSource::Post(UInt msg, WParam wParam) { api_.PostMessageA(window_, msg, wParam, 0); }

HidHandsetSource::Device* HidHandsetSource::Find(HidDeviceHandle handle) {
  for (auto& device : devices_) {
    if (device->handle == handle) return device.get();
  }
  return nullptr;
}

}  // namespace telvaro
