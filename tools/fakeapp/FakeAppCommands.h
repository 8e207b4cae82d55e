// Commands a test can give a running fakeapp by window message.
#pragma once

namespace telvaro::fakeapp {

// Registered message (RegisterWindowMessageA) posted to the fake's main window: its UI thread
// stops handling messages for wParam milliseconds, like a softphone whose UI thread is stuck. The
// log shows "hang <ms>" when it starts and "awake" when it ends.
inline constexpr char kHangMessageName[] = "TelvaroFakeAppHang";

}  // namespace telvaro::fakeapp
