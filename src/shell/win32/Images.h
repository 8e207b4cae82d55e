// The pictures the program draws itself: the two 32 x 32 state images and the small logo.
#pragma once

#include <windows.h>

namespace telvaro {

// 0: the target is not running (grey handset on red), 1: running (white handset on green).
HICON CreateStateIcon(int imageIndex);
void DrawLogoInto(HDC dc, const RECT& bounds);

}  // namespace telvaro
