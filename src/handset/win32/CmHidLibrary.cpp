#include "handset/win32/CmHidLibrary.h"

#include "CmHidExports.h"

namespace telvaro {

int CmHidLibrary::StartDeviceDetection(Hwnd window, UInt arrival, UInt removal, UInt keyDown,
                                       UInt keyUp, UInt aux1, UInt aux2, UInt aux3, UInt aux4) {
  return ::StartDeviceDetection(reinterpret_cast<HWND>(window), arrival, removal, keyDown, keyUp,
                                aux1, aux2, aux3, aux4);
}

void CmHidLibrary::HandleUsbDeviceChange(std::uint32_t wParam, std::uint32_t lParam) {
  ::HandleUsbDeviceChange(wParam, lParam);
}

int CmHidLibrary::StartKeyScan() { return ::StartKeyScan(); }

int CmHidLibrary::StopKeyScan() { return ::StopKeyScan(); }

int CmHidLibrary::CloseDevice() { return ::CloseDevice(); }

void CmHidLibrary::StartBuzzer() { ::StartBuzzer(); }

void CmHidLibrary::StopBuzzer() { ::StopBuzzer(); }

}  // namespace telvaro
