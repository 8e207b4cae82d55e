// The pictures as Windows objects: the state images as icons of any size, and the logo.
#pragma once

#include <windows.h>

namespace telvaro {

// 0: the target is not running (grey handset on red), 1: running (white handset on green); drawn
// at `size` pixels, 32-bit with alpha.
HICON CreateStateIcon(int imageIndex, int size);
// The logo in `bounds`, its text in `font` (made smaller should it not fit); a focus rectangle
// when the logo has the keyboard focus.
void DrawLogoInto(HDC dc, const RECT& bounds, HFONT font, bool focused);

}  // namespace telvaro
