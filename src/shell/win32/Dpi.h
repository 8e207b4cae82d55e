// The window's DPI and the metrics at that DPI. The per-DPI functions of Windows 10 (1607) are
// looked up at run time; on older systems every window has the system's DPI.
#pragma once

#include <windows.h>

namespace telvaro {

int DpiForWindow(HWND window);
int SystemDpi();
int SystemMetricForDpi(int index, int dpi);
// The frame size for a client rectangle at `dpi`.
void AdjustWindowRectForDpi(RECT& rect, DWORD style, DWORD exStyle, int dpi);
// Lets the message through the filter of an elevated process (Windows 7 and later; Vista's
// process-wide filter otherwise; nothing to do before Vista).
void AllowMessageThroughFilter(HWND window, UINT message);

}  // namespace telvaro
