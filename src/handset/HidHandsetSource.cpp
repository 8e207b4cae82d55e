#include "handset/HidHandsetSource.h"

#include <algorithm>

#include "handset/HidUsageMap.h"

namespace telvaro {

namespace {

// WM_INPUT_DEVICE_CHANGE's wParam.
constexpr WParam kGidcArrival = 1;
constexpr WParam kGidcRemoval = 2;

bool Contains(const std::vector<HidDeviceHandle>& list, HidDeviceHandle handle) {
  return std::find(list.begin(), list.end(), handle) != list.end();
}

}  // namespace

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

void HidHandsetSource::DeviceChange(WParam wParam, LParam lParam) {
  platform_.DeviceChange(wParam, lParam);
  Rescan();
  for (HidDeviceHandle handle : std::vector(announced_)) Look(handle);
  RetryRingerOff();
}

void HidHandsetSource::Resume() {
  if (!started_) return;
  platform_.RegisterForTelephony(window_);
  Rescan();
}

bool HidHandsetSource::OtherMessage(TMessage& message) {
  if (message.Msg == WM_INPUT_DEVICE_CHANGE || message.Msg == WM_INPUT) RetryRingerOff();
  if (message.Msg == WM_INPUT_DEVICE_CHANGE) {
    const auto handle = static_cast<HidDeviceHandle>(message.lParam);
    if (message.wParam == kGidcRemoval) {
      // Trusted as it is: the list may name the device a little longer.
      if (!Contains(removed_, handle)) removed_.push_back(handle);
      if (Device* device = Find(handle); device && !device->gone) Vanish(*device);
      std::erase(announced_, handle);
    } else if (message.wParam == kGidcArrival) {
      std::erase(removed_, handle);
      Rescan();
      // Announced before it can be opened, on some systems: looked at again on the next device
      // change or its first input.
      if (!Find(handle) && !Contains(ignored_, handle) && !Contains(announced_, handle)) {
        announced_.push_back(handle);
      }
      Look(handle);
    }
    return true;
  }
  if (message.Msg != WM_INPUT || !started_) return false;
  const auto input = platform_.ReadInput(message.lParam);
  // A device heard from before the list named it: its first report only makes it known.
  if (input && !Find(input->device) && Contains(announced_, input->device)) Look(input->device);
  Device* device = input ? Find(input->device) : nullptr;
  if (device && !device->gone) {
    // When the device sent it, not when we got to it: a hook switch pulse must not look long
    // because a key handler kept the window busy in between.
    const std::uint32_t sentAt = api_.GetMessageTime();
    for (const auto& report : input->reports) {
      // Reports before the arrival was handled, or while the library's handset gives the keys,
      // still move the decoder, so that a key held across either gives neither a press nor a
      // release without its press.
      const auto events = device->decoder->Report(report, sentAt);
      if (!device->scanning || deferring_) {
        device->decoder->ForgetHeld();
        continue;
      }
      for (const HandsetKeyEvent& e : events) {
        if (e.hook && HookLeftToApp()) continue;
        Post(e.down ? messages_.keyDown : messages_.keyUp, static_cast<WParam>(e.code));
      }
    }
  }
  // The system frees the input in the default window procedure, so it must see it too.
  return false;
}

void HidHandsetSource::Rescan() {
  if (!started_) return;
  const std::optional<std::vector<HidDeviceHandle>> listed = platform_.ListDevices();
  // A list that could not be read says nothing about the devices known.
  if (!listed) return;
  std::vector<HidDeviceHandle> present;
  for (HidDeviceHandle handle : *listed) {
    if (!Contains(removed_, handle)) present.push_back(handle);
  }
  std::erase_if(removed_, [&](HidDeviceHandle h) { return !Contains(*listed, h); });
  std::erase_if(ignored_, [&](HidDeviceHandle h) { return !Contains(present, h); });
  for (auto& device : devices_) {
    if (!device->gone && !Contains(present, device->handle)) Vanish(*device);
  }
  for (HidDeviceHandle handle : present) Look(handle);
}

void HidHandsetSource::Look(HidDeviceHandle handle) {
  if (Find(handle) || Contains(ignored_, handle) || Contains(removed_, handle)) return;
  switch (Add(handle)) {
    case Added::Handset:
      std::erase(announced_, handle);
      break;
    case Added::NoHandset:
      std::erase(announced_, handle);
      ignored_.push_back(handle);
      break;
    case Added::Unreadable:
      break;
  }
}

HidHandsetSource::Added HidHandsetSource::Add(HidDeviceHandle handle) {
  std::unique_ptr<HidReportModel> model = platform_.OpenDevice(handle);
  if (!model) return Added::Unreadable;
  if (!IsHandsetCollection(*model)) {
    platform_.CloseDevice(handle);
    return Added::NoHandset;
  }
  auto device = std::make_unique<Device>();
  device->handle = handle;
  device->decoder = std::make_unique<TelephonyDecoder>(*model);
  for (HidUsage ringer : HidRingerOutputs()) {
    if (RingerReport(*model, ringer, false)) {
      device->hasRinger = true;
      device->ringer = ringer;
      break;
    }
  }
  device->model = std::move(model);
  ReadStateAtArrival(*device);
  Device& added = *device;
  devices_.push_back(std::move(device));
  // A device plugged in while a call rings joins in.
  if (ringing_ && !deferring_ && !HookLeftToApp()) Ring(added, true);
  Post(messages_.arrival, static_cast<WParam>(handle));
  return Added::Handset;
}

void HidHandsetSource::ReadStateAtArrival(Device& device) {
  // Plugged in (or found at start-up) with the handset already lifted or a key held: the state
  // it is in now is no press. Devices that do not answer are taken as idle until they report.
  std::vector<std::uint8_t> ids;
  for (const HidButton& button : device.model->InputButtons()) {
    if (std::find(ids.begin(), ids.end(), button.reportId) == ids.end()) {
      ids.push_back(button.reportId);
    }
  }
  for (std::uint8_t id : ids) {
    if (const auto report = platform_.ReadInputReport(device.handle, id)) {
      device.decoder->Baseline(*report);
    }
  }
}

void HidHandsetSource::ReleaseHeld(Device& device) {
  // Keys held on a device that went away, or while the library took over, would stay down for
  // ever: release them.
  for (const HandsetKeyEvent& e : device.decoder->ReleaseAll()) {
    if (device.scanning && !deferring_) Post(messages_.keyUp, static_cast<WParam>(e.code));
  }
}

void HidHandsetSource::Vanish(Device& device) {
  ReleaseHeld(device);
  device.gone = true;
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
  // A device without a ringer is never written to. Silencing a ringer we never started would
  // open the device for nothing (the hang-up key stops the buzzer on every press).
  if (!device.hasRinger || device.gone) return;
  if (on == device.ringOn && !(!on && device.offPending)) return;
  device.ringOn = on;
  const auto report = RingerReport(*device.model, device.ringer, on);
  const bool written = report && platform_.WriteOutputReport(device.handle, *report);
  if (on) {
    device.offPending = false;
    return;
  }
  // A ringer left on rings for ever: the off report is tried again at every device message and
  // every buzzer request until the device takes it, and the device stays open until then. It
  // is held open for writing only while it rings.
  device.offPending = report && !written;
  if (!device.offPending) platform_.CloseDevice(device.handle);
}

void HidHandsetSource::RetryRingerOff() {
  const bool pending =
      std::any_of(devices_.begin(), devices_.end(), [](const auto& d) { return d->offPending; });
  if (!pending || (ringing_ && !deferring_ && !HookLeftToApp())) return;
  for (auto& device : devices_) {
    if (device->offPending) Ring(*device, false);
  }
}

void HidHandsetSource::StartBuzzer() {
  ringing_ = true;
  if (deferring_) return;
  // The application that drives the phones' ringer itself rings them; ours stay silent.
  const bool ours = !HookLeftToApp();
  for (auto& device : devices_) Ring(*device, ours);
}

void HidHandsetSource::StopBuzzer() {
  ringing_ = false;
  if (deferring_) return RetryRingerOff();
  for (auto& device : devices_) Ring(*device, false);
}

void HidHandsetSource::Defer(bool defer) {
  if (defer == deferring_) return;
  if (defer) {
    for (auto& device : devices_) ReleaseHeld(*device);
    if (ringing_) {
      for (auto& device : devices_) Ring(*device, false);
    }
  }
  deferring_ = defer;
  if (!defer && ringing_ && !HookLeftToApp()) {
    for (auto& device : devices_) Ring(*device, true);
  }
}

void HidHandsetSource::Shutdown() {
  deferring_ = false;
  StopBuzzer();
  // Last chances for a ringer that refused its off report; the program must still end.
  constexpr int kLastTries = 3;
  for (int i = 0; i < kLastTries; ++i) RetryRingerOff();
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
