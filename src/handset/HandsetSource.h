// A place handset keys come from: the handset library, or standard HID telephony devices. Every
// source reports to the main window with the same messages (key codes 1 to 16 in wParam of the
// key-down and key-up messages), so the key handlers never know which source a key came from.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/MainWindowHost.h"
#include "platform/WindowsApi.h"

namespace telvaro {

// The handset library's messages. Sources after the first report arrival and removal from
// WM_HANDSET_SOURCE_BASE on, two numbers each.
inline constexpr UInt WM_HANDSET_ARRIVAL = 5120;
inline constexpr UInt WM_HANDSET_REMOVAL = 5121;
inline constexpr UInt WM_HANDSET_KEYDOWN = 5122;
inline constexpr UInt WM_HANDSET_KEYUP = 5123;
inline constexpr UInt WM_HANDSET_AUX1 = 5124;
inline constexpr UInt WM_HANDSET_AUX4 = 5127;
inline constexpr UInt WM_HANDSET_SOURCE_BASE = 5128;

// The message numbers a source reports with, in the handset library's argument order.
struct HandsetMessages {
  UInt arrival = 0;
  UInt removal = 0;
  UInt keyDown = 0;
  UInt keyUp = 0;
  UInt aux[4] = {0, 0, 0, 0};
};

class HandsetSource {
 public:
  virtual ~HandsetSource() = default;
  // Starts looking for devices; from now on they are reported to `window` with `messages`.
  virtual void StartDetection(Hwnd window, const HandsetMessages& messages) = 0;
  // Every WM_DEVICECHANGE the main window receives, unchanged.
  virtual void DeviceChange(WParam wParam, LParam lParam) = 0;
  // The system woke from sleep: devices may have been enumerated anew.
  virtual void Resume() {}
  // This source's own arrival and removal messages, back on the window's thread.
  virtual void Arrived(WParam wParam, LParam lParam) = 0;
  virtual void Removed(WParam wParam, LParam lParam) = 0;
  // Any other window message; true when the source took it and nothing else must see it.
  virtual bool OtherMessage(TMessage&) { return false; }
  virtual void StartBuzzer() = 0;
  virtual void StopBuzzer() = 0;
  // Whether this source has a handset now.
  virtual bool HasHandset() const { return false; }
  // An earlier source has a handset (true) or none any more (false). A device that the handset
  // library drives may also be a standard HID device, and one press must not give two keys, so
  // the later sources give no keys and do not ring meanwhile.
  virtual void Defer(bool) {}
  // The program ends: no more keys, buzzer silent, devices released.
  virtual void Shutdown() = 0;
  // Asked before a hook switch change is reported or a ringer is switched on: while it says yes,
  // the selected application drives the hook switch and ringer of standard USB phones itself.
  // The handset library's handset is no such device and ignores it.
  virtual void SetHookSwitchLeftToApp(const std::function<bool()>& /*leftToApp*/) {}
};

// Every source of the program, driven as one: the main window's handlers call these.
class HandsetSources {
 public:
  HandsetSources() = default;
  explicit HandsetSources(std::vector<HandsetSource*> sources) : sources_(std::move(sources)) {}

  void Add(HandsetSource& source) { sources_.push_back(&source); }
  const std::vector<HandsetSource*>& All() const { return sources_; }
  // The messages of source `index`: the first gets the handset library's numbers; later ones
  // share its key and auxiliary numbers but get arrival and removal numbers of their own, so
  // each arrival or removal goes back to the source that reported it.
  static HandsetMessages MessagesFor(std::size_t index);

  // Source `index`'s own arrival and removal, and what they change for the sources after it.
  void Arrived(std::size_t index, WParam wParam, LParam lParam);
  void Removed(std::size_t index, WParam wParam, LParam lParam);
  // Resuming from sleep re-detects what can be re-detected; the handset library's detection
  // runs once, at start-up.
  void Resume() {
    for (HandsetSource* s : sources_) s->Resume();
  }

  void StartBuzzer() {
    for (HandsetSource* s : sources_) s->StartBuzzer();
  }
  void StopBuzzer() {
    for (HandsetSource* s : sources_) s->StopBuzzer();
  }

  // Shown once in the status line after start-up when not empty (a handset library that could
  // not be used, for example).
  std::string notice;

 private:
  void UpdateDeferral();
  std::vector<HandsetSource*> sources_;
};

}  // namespace telvaro
