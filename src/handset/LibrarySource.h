// The handset library (the seven exports) as one handset source.
#pragma once

#include "handset/HandsetLibrary.h"
#include "handset/HandsetSource.h"

namespace telvaro {

class LibrarySource final : public HandsetSource {
 public:
  explicit LibrarySource(HandsetLibrary& library) : library_(library) {}

  void StartDetection(Hwnd window, const HandsetMessages& m) override {
    // A device left open by an earlier detection is released first.
    library_.CloseDevice();
    library_.StartDeviceDetection(window, m.arrival, m.removal, m.keyDown, m.keyUp, m.aux[0],
                                  m.aux[1], m.aux[2], m.aux[3]);
  }
  void DeviceChange(WParam wParam, LParam lParam) override {
    // The library's export takes both as 32 bits.
    library_.HandleUsbDeviceChange(static_cast<std::uint32_t>(wParam),
                                   static_cast<std::uint32_t>(lParam));
  }
  void Arrived(WParam, LParam) override {
    hasHandset_ = true;
    library_.StartKeyScan();
  }
  void Removed(WParam, LParam) override {
    hasHandset_ = false;
    library_.StopKeyScan();
    library_.CloseDevice();
  }
  bool HasHandset() const override { return hasHandset_; }
  void StartBuzzer() override { library_.StartBuzzer(); }
  void StopBuzzer() override { library_.StopBuzzer(); }
  void Shutdown() override {
    hasHandset_ = false;
    library_.StopKeyScan();
    library_.StopBuzzer();
    library_.CloseDevice();
  }

 private:
  HandsetLibrary& library_;
  bool hasHandset_ = false;
};

}  // namespace telvaro
