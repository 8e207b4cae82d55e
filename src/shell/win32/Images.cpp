#include "shell/win32/Images.h"

namespace telvaro {

namespace {

constexpr int kSize = 32;

// A simple handset: two ear/mouth pieces joined by a bar.
void DrawHandset(HDC dc, COLORREF color) {
  HBRUSH brush = CreateSolidBrush(color);
  HGDIOBJ oldBrush = SelectObject(dc, brush);
  HGDIOBJ oldPen = SelectObject(dc, GetStockObject(NULL_PEN));
  RoundRect(dc, 6, 6, 14, 16, 4, 4);
  RoundRect(dc, 18, 16, 26, 26, 4, 4);
  POINT bar[4] = {{10, 8}, {14, 6}, {26, 20}, {22, 22}};
  Polygon(dc, bar, 4);
  SelectObject(dc, oldPen);
  SelectObject(dc, oldBrush);
  DeleteObject(brush);
}

}  // namespace

HICON CreateStateIcon(int imageIndex) {
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP color = CreateCompatibleBitmap(screen, kSize, kSize);
  HBITMAP mask = CreateBitmap(kSize, kSize, 1, 1, nullptr);
  ReleaseDC(nullptr, screen);

  HGDIOBJ old = SelectObject(dc, color);
  const bool running = imageIndex == 1;
  HBRUSH background = CreateSolidBrush(running ? RGB(0x2E, 0x9E, 0x48) : RGB(0xC6, 0x32, 0x32));
  RECT all = {0, 0, kSize, kSize};
  FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  HGDIOBJ oldBrush = SelectObject(dc, background);
  HGDIOBJ oldPen = SelectObject(dc, GetStockObject(NULL_PEN));
  Ellipse(dc, 1, 1, kSize - 1, kSize - 1);
  SelectObject(dc, oldPen);
  SelectObject(dc, oldBrush);
  DeleteObject(background);
  DrawHandset(dc, running ? RGB(0xFF, 0xFF, 0xFF) : RGB(0xD8, 0xD8, 0xD8));

  // The mask is transparent (white) outside the round badge.
  SelectObject(dc, mask);
  FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  oldBrush = SelectObject(dc, GetStockObject(BLACK_BRUSH));
  Ellipse(dc, 1, 1, kSize - 1, kSize - 1);
  SelectObject(dc, oldBrush);
  SelectObject(dc, old);
  DeleteDC(dc);

  ICONINFO info = {};
  info.fIcon = TRUE;
  info.hbmColor = color;
  info.hbmMask = mask;
  HICON icon = CreateIconIndirect(&info);
  DeleteObject(color);
  DeleteObject(mask);
  return icon;
}

void DrawLogoInto(HDC dc, const RECT& bounds) {
  HBRUSH fill = CreateSolidBrush(RGB(0x1F, 0x4E, 0x8C));
  FillRect(dc, &bounds, fill);
  DeleteObject(fill);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(0xFF, 0xFF, 0xFF));
  RECT text = bounds;
  DrawTextA(dc, "TELVARO", -1, &text, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

}  // namespace telvaro
