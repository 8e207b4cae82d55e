// The notification-area icon as a small state machine. Explorer may not be there yet when we start
// (a program run at logon often starts first), it may restart, and it may forget an icon: so the
// icon being *wanted* is kept apart from the icon being *shown*, and a failed add is retried until
// it succeeds. The Shell_NotifyIcon calls and the retry timer sit behind TrayIconShell.
#pragma once

#include <cstddef>
#include <string>

namespace telvaro {

// What the icon shows: one of the two state images and the tooltip text.
struct TrayIconContent {
  int image = 0;
  std::string tip;
  bool operator==(const TrayIconContent&) const = default;
};

class TrayIconShell {
 public:
  virtual ~TrayIconShell() = default;
  virtual bool Add(const TrayIconContent& content) = 0;     // NIM_ADD
  virtual bool SetVersion4() = 0;                           // NIM_SETVERSION, version 4
  virtual bool Modify(const TrayIconContent& content) = 0;  // NIM_MODIFY
  virtual void Delete() = 0;                                // NIM_DELETE
  virtual void SetFocus() = 0;                              // NIM_SETFOCUS
  virtual void StartRetryTimer() = 0;                       // a short, repeating timer
  virtual void StopRetryTimer() = 0;
};

// The callback events the icon reports (the low word of lParam); the raw Win32 values.
namespace tray {
inline constexpr unsigned kLButtonUp = 0x0202;  // WM_LBUTTONUP
inline constexpr unsigned kRButtonUp = 0x0205;  // WM_RBUTTONUP
inline constexpr unsigned kContextMenu =
    0x007B;                                     // WM_CONTEXTMENU: right click, Shift+F10, menu key
inline constexpr unsigned kSelect = 0x0400;     // NIN_SELECT: left click
inline constexpr unsigned kKeySelect = 0x0401;  // NIN_KEYSELECT: Space or Enter on the icon
}  // namespace tray

// The tooltip's room, NUL included (szTip of NOTIFYICONDATA).
inline constexpr std::size_t kTrayTipSize = 128;

// "TELVARO" and the status line, so that the state is told in words, not only by the colour.
std::string TrayTip(const std::string& statusLine);

class TrayIcon {
 public:
  explicit TrayIcon(TrayIconShell& shell) : shell_(shell) {}

  // The window went to the notification area / came back from it.
  void Show();
  void Hide();
  // A new image or status line; sent to the shell only when it changes what is shown.
  void SetImage(int image);
  void SetStatus(const std::string& statusLine);
  // A tooltip of its own (the dial display's line), cut to the tooltip's room.
  void SetTip(const std::string& tip);
  // The pictures behind the image numbers were drawn anew (another DPI): send them again.
  void ImagesChanged();

  void OnRetryTimer();
  // Explorer (re)started: every icon it had is gone.
  void OnTaskbarCreated();

  // True when the callback event asks for the menu. In version 4 the shell reports clicks and the
  // keyboard as NIN_SELECT, NIN_KEYSELECT and WM_CONTEXTMENU (after the plain button messages,
  // which are then ignored so one click opens one menu); older shells send only the button
  // messages. While the menu is open nothing opens it again (Enter on the icon reports
  // NIN_KEYSELECT twice).
  bool WantsMenu(unsigned event) const;
  void MenuOpened() { menuOpen_ = true; }
  // The menu closed; dismissed with Esc, the keyboard focus goes back to the notification area.
  void MenuClosed(bool dismissedWithEscape);

  bool Wanted() const { return wanted_; }
  bool Shown() const { return shown_; }
  bool Version4() const { return version4_; }
  const TrayIconContent& Content() const { return content_; }

 private:
  void TryAdd();
  void Update(bool force = false);

  TrayIconShell& shell_;
  TrayIconContent content_{0, TrayTip("")};
  TrayIconContent sent_;
  bool wanted_ = false;
  bool shown_ = false;
  bool retrying_ = false;
  bool version4_ = false;
  bool menuOpen_ = false;
};

}  // namespace telvaro
