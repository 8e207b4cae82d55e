// Commands a test can give a running fakeapp by window message.
#pragma once

namespace telvaro::fakeapp {

// Registered message (RegisterWindowMessageA) posted to the fake's main window: its UI thread
// stops handling messages for wParam milliseconds, like a softphone whose UI thread is stuck. The
// log shows "hang <ms>" when it starts and "awake" when it ends.
inline constexpr char kHangMessageName[] = "TelvaroFakeAppHang";

// Registered message posted to the fake MicroSIP's main window: what the far end of a call does.
// wParam kCallRings: a call comes in; kCallHungUp: the far end ends the call. The fake then runs
// the command that microsip.ini names for the event, as MicroSIP does.
inline constexpr char kFarEndMessageName[] = "TelvaroFakeAppFarEnd";
inline constexpr unsigned kCallRings = 1;
inline constexpr unsigned kCallHungUp = 2;
// The caller MicroSIP appends to the ring command.
inline constexpr char kFakeCaller[] = "+15550100";

}  // namespace telvaro::fakeapp
