// Identifiers of the main window's controls and menu items. The end-to-end tests drive the real
// window through them, so they are shared and fixed.
#pragma once

namespace telvaro::view {

inline constexpr int kAutoRunCheckBoxId = 101;
inline constexpr int kAppComboId = 102;
inline constexpr int kContactLabelId = 103;
inline constexpr int kStatusBarId = 104;
inline constexpr int kLogoId = 105;

inline constexpr int kMenuRestoreId = 1001;
inline constexpr int kMenuExitId = 1002;
inline constexpr int kMenuDialDisplayId = 1003;

inline constexpr unsigned kTrayCallbackMessage = 0x8000 + 1;  // WM_APP + 1
inline constexpr unsigned kTrayIconId = 1;

inline constexpr unsigned kTimer1Id = 1;
inline constexpr unsigned kTimer2Id = 2;
inline constexpr unsigned kTimer1IntervalMs = 5000;
inline constexpr unsigned kTimer2IntervalMs = 1000;
// 3 is the tray icon's retry timer.
inline constexpr unsigned kCallPollTimerId = 4;
inline constexpr unsigned kCallPollIntervalMs = 200;

}  // namespace telvaro::view
