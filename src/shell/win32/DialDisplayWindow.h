// The dial display's popup near the notification area. It only draws the text it is given: it
// never becomes the foreground window nor takes the focus, and clicks go through it to whatever is
// below, so the activation the drivers depend on is never disturbed.
#pragma once

// The portable headers come before <windows.h>: their message constants share the names of its
// macros.
#include "shell/DialDisplay.h"

#include <windows.h>

namespace telvaro {

inline constexpr const char* kDialDisplayClass = "TELVARO.DialDisplay";
inline constexpr const char* kDialDisplayName = "TELVARO dial display";

class DialDisplayWindow {
 public:
  explicit DialDisplayWindow(HINSTANCE instance) : instance_(instance) {}
  ~DialDisplayWindow();
  DialDisplayWindow(const DialDisplayWindow&) = delete;
  DialDisplayWindow& operator=(const DialDisplayWindow&) = delete;

  // Shows the text (created on first use), fully opaque again, and starts the wait to fade out.
  void Show(const DialDisplayText& text);
  void Hide();
  HWND Handle() const { return window_; }

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);
  bool Create();
  void ApplyLook();
  void PlaceAndSize();
  void OnTimer(UINT_PTR id);
  void SetAlpha(int alpha);

  HINSTANCE instance_;
  HWND window_ = nullptr;
  HWND text_ = nullptr;  // a static control: its window text is what a screen reader reads
  HFONT font_ = nullptr;
  HBRUSH background_ = nullptr;
  COLORREF textColour_ = 0;
  COLORREF borderColour_ = 0;
  int dpi_ = 96;
  int alpha_ = 255;
};

}  // namespace telvaro
