// The handset library as the program uses it: CM_HID.dll, imported at load time.
#pragma once

#include <cstdint>

#include "handset/HandsetLibrary.h"

namespace telvaro {

class CmHidLibrary final : public HandsetLibrary {
 public:
  int StartDeviceDetection(Hwnd window, UInt arrival, UInt removal, UInt keyDown, UInt keyUp,
                           UInt aux1, UInt aux2, UInt aux3, UInt aux4) override;
  void HandleUsbDeviceChange(std::uint32_t wParam, std::uint32_t lParam) override;
  int StartKeyScan() override;
  int StopKeyScan() override;
  int CloseDevice() override;
  void StartBuzzer() override;
  void StopBuzzer() override;
};

}  // namespace telvaro
