// The seven exports of the handset library, as the program calls them.
#pragma once

#include <cstdint>

#include "platform/WindowsApi.h"

namespace telvaro {

class HandsetLibrary {
 public:
  virtual ~HandsetLibrary() = default;
  virtual int StartDeviceDetection(Hwnd window, UInt arrival, UInt removal, UInt keyDown,
                                   UInt keyUp, UInt aux1, UInt aux2, UInt aux3, UInt aux4) = 0;
  virtual void HandleUsbDeviceChange(std::uint32_t wParam, std::uint32_t lParam) = 0;
  virtual int StartKeyScan() = 0;
  virtual int StopKeyScan() = 0;
  virtual int CloseDevice() = 0;
  virtual void StartBuzzer() = 0;
  virtual void StopBuzzer() = 0;
};

}  // namespace telvaro
