// The handset library, CM_HID.dll, loaded at run time from the exe's own folder. The program runs
// without it: then the library is simply not one of the handset sources.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "handset/HandsetLibrary.h"

namespace telvaro {

class CmHidLibrary final : public HandsetLibrary {
 public:
  // The library beside the exe, or nothing when there is none or it cannot be used; `notice`
  // then says why when the user should know (a DLL that is there but does not load, or lacks
  // one of the seven exports), and stays empty when there simply is none.
  static std::unique_ptr<CmHidLibrary> LoadBesideExe(std::string& notice);
  ~CmHidLibrary() override;

  int StartDeviceDetection(Hwnd window, UInt arrival, UInt removal, UInt keyDown, UInt keyUp,
                           UInt aux1, UInt aux2, UInt aux3, UInt aux4) override;
  void HandleUsbDeviceChange(std::uint32_t wParam, std::uint32_t lParam) override;
  int StartKeyScan() override;
  int StopKeyScan() override;
  int CloseDevice() override;
  void StartBuzzer() override;
  void StopBuzzer() override;

  struct Exports;

 private:
  CmHidLibrary(void* module, std::unique_ptr<Exports> exports);
  void* module_;
  std::unique_ptr<Exports> exports_;
};

}  // namespace telvaro
