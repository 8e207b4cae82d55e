// The portable headers come before <windows.h>: their message constants share the names of its
// macros.
#include "shell/IconArt.h"

#include "shell/win32/Images.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace telvaro {

namespace {

constexpr const char* kLogoText = "TELVARO";

SIZE TextSize(HDC dc, HFONT font) {
  HGDIOBJ old = SelectObject(dc, font);
  SIZE size = {0, 0};
  GetTextExtentPoint32A(dc, kLogoText, static_cast<int>(std::strlen(kLogoText)), &size);
  SelectObject(dc, old);
  return size;
}

}  // namespace

HICON CreateStateIcon(int imageIndex, int size) {
  const IconImage image = DrawIcon(StateArt(imageIndex), std::clamp(size, 1, 256));
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = image.size;
  info.bmiHeader.biHeight = -image.size;  // rows from the top, as drawn
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP color = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!color || !bits) return nullptr;
  std::memcpy(bits, image.pixels.data(), image.pixels.size() * sizeof image.pixels[0]);
  // With a 32-bit colour bitmap the alpha channel decides; the mask only has to exist.
  // Zeroed, not left undefined: a mask bit of 1 would let the screen show through where the
  // alpha is ignored (a cursor, a remote session at 16 bits). Rows are whole 16-bit words.
  const std::vector<std::uint8_t> zeros(static_cast<std::size_t>((image.size + 15) / 16 * 2) *
                                        static_cast<std::size_t>(image.size));
  HBITMAP mask = CreateBitmap(image.size, image.size, 1, 1, zeros.data());
  ICONINFO icon = {};
  icon.fIcon = TRUE;
  icon.hbmColor = color;
  icon.hbmMask = mask;
  HICON result = CreateIconIndirect(&icon);
  DeleteObject(color);
  DeleteObject(mask);
  return result;
}

void DrawLogoInto(HDC dc, const RECT& bounds, HFONT font, bool focused) {
  HBRUSH fill = CreateSolidBrush(RGB(0x1F, 0x4E, 0x8C));
  FillRect(dc, &bounds, fill);
  DeleteObject(fill);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(0xFF, 0xFF, 0xFF));

  const int width = bounds.right - bounds.left;
  const int height = bounds.bottom - bounds.top;
  HFONT smaller = nullptr;
  const SIZE size = TextSize(dc, font);
  if (size.cx > width || size.cy > height) {
    // Only a box made smaller than its layout gets here; shrink the text rather than cut it.
    LOGFONTA face = {};
    GetObjectA(font, sizeof face, &face);
    const int height0 = face.lfHeight < 0 ? -face.lfHeight : std::max<LONG>(face.lfHeight, 1);
    const int byWidth = size.cx > 0 ? MulDiv(height0, width, size.cx) : height0;
    const int byHeight = size.cy > 0 ? MulDiv(height0, height, size.cy) : height0;
    face.lfHeight = -std::max(1, std::min(byWidth, byHeight));
    face.lfWidth = 0;
    smaller = CreateFontIndirectA(&face);
  }
  HGDIOBJ old = SelectObject(dc, smaller ? smaller : font);
  RECT text = bounds;
  DrawTextA(dc, kLogoText, -1, &text, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  SelectObject(dc, old);
  if (smaller) DeleteObject(smaller);
  if (focused) {
    RECT focus = bounds;
    InflateRect(&focus, -1, -1);
    SetTextColor(dc, RGB(0, 0, 0));
    DrawFocusRect(dc, &focus);
  }
}

}  // namespace telvaro
