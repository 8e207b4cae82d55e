// The seven C exports of the handset library, imported at load time. Our virtual handset defines
// them; on a user's PC the vendor's library of the same name beside the exe takes its place, so
// the signatures and the caller-cleans (cdecl) convention must stay exactly these.
#pragma once

#include <windows.h>

#ifdef TELVARO_BUILDING_CM_HID
#define TELVARO_CM_HID_API
#else
#define TELVARO_CM_HID_API __declspec(dllimport)
#endif

extern "C" {
TELVARO_CM_HID_API int __cdecl StartDeviceDetection(HWND window, UINT arrival, UINT removal,
                                                    UINT keyDown, UINT keyUp, UINT aux1, UINT aux2,
                                                    UINT aux3, UINT aux4);
TELVARO_CM_HID_API void __cdecl HandleUsbDeviceChange(UINT wParam, UINT lParam);
TELVARO_CM_HID_API int __cdecl StartKeyScan(void);
TELVARO_CM_HID_API int __cdecl StopKeyScan(void);
TELVARO_CM_HID_API int __cdecl CloseDevice(void);
TELVARO_CM_HID_API void __cdecl StartBuzzer(void);
TELVARO_CM_HID_API void __cdecl StopBuzzer(void);
}
