// The main window's layout in 96-DPI units and its scaling to the window's DPI. The window is
// per-monitor DPI aware, so Windows does not stretch it: every size is scaled here, and again
// when the window moves to a monitor of another DPI.
#pragma once

namespace telvaro {

struct LayoutRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  bool operator==(const LayoutRect&) const = default;
};

inline constexpr int kBaseDpi = 96;

// Rounds to the nearest pixel, halves away from zero (as MulDiv does).
constexpr int ScaleForDpi(int value, int dpi) {
  const long long product = static_cast<long long>(value) * dpi;
  const long long half = kBaseDpi / 2;
  return static_cast<int>(product >= 0 ? (product + half) / kBaseDpi
                                       : -((-product + half) / kBaseDpi));
}

constexpr LayoutRect ScaleForDpi(const LayoutRect& r, int dpi) {
  return {ScaleForDpi(r.x, dpi), ScaleForDpi(r.y, dpi), ScaleForDpi(r.width, dpi),
          ScaleForDpi(r.height, dpi)};
}

namespace layout {
inline constexpr int kClientWidth = 210;
inline constexpr int kClientHeight = 117;
inline constexpr int kFontHeight = 12;  // Arial, character height in pixels
inline constexpr LayoutRect kAutoRun{8, 8, 121, 25};
inline constexpr LayoutRect kLogo{144, 8, 59, 14};
inline constexpr LayoutRect kAppCombo{8, 38, 193, 19};
inline constexpr int kComboVisibleRows = 8;
inline constexpr LayoutRect kContactLabel{8, 72, 193, 17};
inline constexpr int kStatusBarHeight = 21;
inline constexpr LayoutRect kStatusBar{0, kClientHeight - kStatusBarHeight, kClientWidth,
                                       kStatusBarHeight};
}  // namespace layout

// The window's DPI when the system cannot tell (no screen, an old system): the base.
constexpr int SaneDpi(int dpi) { return dpi >= 48 && dpi <= 960 ? dpi : kBaseDpi; }

}  // namespace telvaro
