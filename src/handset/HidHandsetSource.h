// Standard USB telephony handsets (HID Telephony page) as a handset source: no vendor library, the
// system's own HID support. Each handset found is reported like the library's handset (arrival,
// keys, removal); the buzzer rings on every handset that has a ringer or a ring LED. Headsets and
// other telephony collections without a keypad are left alone.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "handset/HandsetSource.h"
#include "handset/HidDevice.h"
#include "handset/TelephonyDecoder.h"

namespace telvaro {

inline constexpr UInt WM_INPUT_DEVICE_CHANGE = 0x00FE;
inline constexpr UInt WM_INPUT = 0x00FF;

class HidHandsetSource final : public HandsetSource {
 public:
  HidHandsetSource(WindowsApi& api, HidPlatform& platform);
  ~HidHandsetSource() override;

  void StartDetection(Hwnd window, const HandsetMessages& messages) override;
  void DeviceChange(WParam wParam, LParam lParam) override;
  void Resume() override;
  void Arrived(WParam wParam, LParam lParam) override;
  void Removed(WParam wParam, LParam lParam) override;
  bool OtherMessage(TMessage& message) override;
  void StartBuzzer() override;
  void StopBuzzer() override;
  void Defer(bool defer) override;
  void Shutdown() override;

  // Devices known now (arrived or about to be reported), for tests and the status.
  std::size_t DeviceCount() const { return devices_.size(); }

  // Two drivers of one hook switch would answer and end every call twice. Keypads stay ours.
  void SetHookSwitchLeftToApp(const std::function<bool()>& leftToApp) override {
    hookLeftToApp_ = leftToApp;
  }

 private:
  struct Device {
    HidDeviceHandle handle = 0;
    std::unique_ptr<HidReportModel> model;
    std::unique_ptr<TelephonyDecoder> decoder;
    bool scanning = false;  // its arrival was handled: its keys are reported
    bool gone = false;      // vanished; its removal is on the way
    bool hasRinger = false;
    bool ringOn = false;  // the last ringer report written switched it on
    // Its ringer's off report was not taken yet: tried again, and the device kept open, until
    // it is.
    bool offPending = false;
    HidUsage ringer;
  };

  enum class Added { Handset, NoHandset, Unreadable };
  void Rescan();
  // Opens a collection not known yet, unless it was found to be no handset or has gone.
  void Look(HidDeviceHandle handle);
  Added Add(HidDeviceHandle handle);
  void ReleaseHeld(Device& device);
  void Vanish(Device& device);
  void Ring(Device& device, bool on);
  void RetryRingerOff();
  void ReadStateAtArrival(Device& device);
  bool HookLeftToApp() const { return hookLeftToApp_ && hookLeftToApp_(); }
  void Post(UInt msg, WParam wParam);
  Device* Find(HidDeviceHandle handle);

  WindowsApi& api_;
  HidPlatform& platform_;
  Hwnd window_ = 0;
  HandsetMessages messages_;
  bool started_ = false;
  bool ringing_ = false;
  bool deferring_ = false;
  std::vector<std::unique_ptr<Device>> devices_;
  // Collections looked at and found no handset, so they are not opened again on every change.
  std::vector<HidDeviceHandle> ignored_;
  // Arrivals the system announced that could not be opened yet.
  std::vector<HidDeviceHandle> announced_;
  // Removals the system announced: a device list read just after may still name them.
  std::vector<HidDeviceHandle> removed_;
  std::function<bool()> hookLeftToApp_;
};

}  // namespace telvaro
