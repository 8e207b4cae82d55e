// The one seam between the portable logic and Windows.
//
// Method names are the Win32 names so that code reads like the calls it makes. Handles are plain
// integers; pointers travel in LParam exactly as they do on Windows. Only files under a win32/
// folder include <windows.h>.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/TcpClient.h"

namespace telvaro {

using Hwnd = std::uintptr_t;
using Hkey = std::uintptr_t;
using Handle = std::uintptr_t;
using UInt = std::uint32_t;
using WParam = std::uintptr_t;
using LParam = std::intptr_t;
using LResult = std::intptr_t;
using DpiContext = std::intptr_t;

struct Rect {
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t right = 0;
  std::int32_t bottom = 0;
};

// Same layout as COPYDATASTRUCT (checked where <windows.h> is available).
struct CopyDataStruct {
  std::uintptr_t dwData = 0;
  std::uint32_t cbData = 0;
  const void* lpData = nullptr;
};

inline constexpr LParam MakeLParam(int lo, int hi) {
  return static_cast<LParam>((static_cast<std::uint32_t>(hi & 0xFFFF) << 16) |
                             static_cast<std::uint32_t>(lo & 0xFFFF));
}

namespace win {
// Window messages.
inline constexpr UInt WM_CLOSE = 0x0010;
inline constexpr UInt WM_SETFOCUS = 0x0007;
inline constexpr UInt WM_SETTEXT = 0x000C;
inline constexpr UInt WM_GETTEXT = 0x000D;
inline constexpr UInt WM_GETTEXTLENGTH = 0x000E;
inline constexpr UInt WM_COPYDATA = 0x004A;
inline constexpr UInt WM_KEYDOWN = 0x0100;
inline constexpr UInt WM_KEYUP = 0x0101;
inline constexpr UInt WM_CHAR = 0x0102;
inline constexpr UInt WM_TIMER = 0x0113;
inline constexpr UInt WM_LBUTTONDOWN = 0x0201;
inline constexpr UInt WM_LBUTTONUP = 0x0202;
inline constexpr UInt WM_DEVICECHANGE = 0x0219;
inline constexpr UInt WM_USER = 0x0400;
inline constexpr UInt EM_SETSEL = 0x00B1;
inline constexpr UInt BM_CLICK = 0x00F5;
inline constexpr UInt TCM_GETCURSEL = 0x130B;
// The session's and the machine's life.
inline constexpr UInt WM_QUERYENDSESSION = 0x0011;
inline constexpr UInt WM_ENDSESSION = 0x0016;
inline constexpr UInt WM_POWERBROADCAST = 0x0218;
inline constexpr WParam PBT_APMRESUMEAUTOMATIC = 0x0012;

// Virtual keys.
inline constexpr std::uint8_t VK_BACK = 0x08;
inline constexpr std::uint8_t VK_RETURN = 0x0D;
inline constexpr std::uint8_t VK_SHIFT = 0x10;
inline constexpr std::uint8_t VK_MENU = 0x12;
inline constexpr std::uint8_t VK_ESCAPE = 0x1B;
inline constexpr std::uint8_t VK_UP = 0x26;
inline constexpr std::uint8_t VK_DOWN = 0x28;
inline constexpr std::uint8_t VK_NUMPAD0 = 0x60;
inline constexpr std::uint8_t VK_MULTIPLY = 0x6A;
inline constexpr std::uint8_t VK_ADD = 0x6B;
inline constexpr std::uint32_t KEYEVENTF_KEYUP = 0x0002;

inline constexpr int SW_RESTORE = 9;
inline constexpr int SW_SHOWNORMAL = 1;

inline constexpr Hwnd HWND_BROADCAST = 0xFFFF;
inline constexpr UInt SMTO_ABORTIFHUNG = 0x0002;
inline constexpr std::uint32_t ERROR_MESSAGE_SYNC_ONLY = 1159;
inline constexpr UInt MAPVK_VK_TO_VSC = 0;
// A virtual key no keyboard layout assigns: pressed between our Alt's press and release, it
// makes the tap no longer a lone Alt, so the window in front does not open its menu bar.
inline constexpr std::uint8_t VK_UNASSIGNED = 0xE8;

// Registry.
inline constexpr Hkey HKEY_CURRENT_USER = 0x80000001;
inline constexpr Hkey HKEY_LOCAL_MACHINE = 0x80000002;
inline constexpr std::uint32_t KEY_ALL_ACCESS = 0xF003F;
inline constexpr std::uint32_t KEY_READ_ENUM = 0x20009;  // query and enumerate
// The registry view of a key under HKEY_LOCAL_MACHINE\SOFTWARE on 64-bit Windows (WOW6432Node is
// the 32-bit one); ignored on 32-bit Windows.
inline constexpr std::uint32_t KEY_WOW64_64KEY = 0x0100;
inline constexpr std::uint32_t KEY_WOW64_32KEY = 0x0200;
inline constexpr std::uint32_t REG_SZ = 1;
inline constexpr std::uint32_t REG_EXPAND_SZ = 2;
inline constexpr std::uint32_t REG_BINARY = 3;
inline constexpr std::uint32_t REG_DWORD = 4;
inline constexpr long ERROR_SUCCESS = 0;
inline constexpr long ERROR_FILE_NOT_FOUND = 2;
inline constexpr long ERROR_ACCESS_DENIED = 5;
inline constexpr long ERROR_MORE_DATA = 234;
inline constexpr std::uint32_t ERROR_ALREADY_EXISTS = 183;

// Shell associations (AssocQueryStringW).
inline constexpr std::uint32_t ASSOCF_NONE = 0x0000;
inline constexpr std::uint32_t ASSOCF_IS_PROTOCOL = 0x1000;  // Windows 8 and later
inline constexpr std::uint32_t ASSOCSTR_COMMAND = 1;
inline constexpr long S_OK = 0;

// Message boxes.
inline constexpr UInt MB_OK = 0x0000;
inline constexpr UInt MB_ICONINFORMATION = 0x0040;
}  // namespace win

// How long a send to another program waits for its answer. A live program answers in
// milliseconds; one that is merely busy (loading a contact list, a slow repaint) may take a second
// or two, and giving up on it then would let a missing answer steer the next step. Once the system
// counts the receiver as hung (no message pumped for 5 s) a send returns at once whatever this
// says (SMTO_ABORTIFHUNG), so the longest a key can stall on a program that has just stopped is
// about this long, once.
inline constexpr UInt kAnswerTimeoutMs = 5000;
// How long the pacing WM_NULL behind queued actions waits (see RealWindowsApi.cpp).
inline constexpr UInt kQueuedActionWaitMs = 500;
// How long a window brought forward may take to become the foreground window: the system
// completes the activation of another program's window only when that program next handles its
// messages. A softphone busy loading or repainting takes its time about it (a second or two), and
// one that is not in front when the wait ends gets no typed key, which is a wrong number; so the
// wait covers 2 s with room for a loaded machine. The keys that come meanwhile wait their turn.
inline constexpr UInt kActivationWaitMs = 2500;

// The drivers' actions: messages that carry no pointer and whose result nobody reads. The real
// seam queues these (SendNotifyMessageA) instead of waiting for them, so a slow or hung program
// gets each exactly once, in order, whenever it handles messages again; every other message is
// sent and waited for (kAnswerTimeoutMs).
inline constexpr bool IsQueueableAction(UInt msg) {
  switch (msg) {
    case win::WM_KEYDOWN:
    case win::WM_KEYUP:
    case win::WM_CHAR:
    case win::WM_LBUTTONDOWN:
    case win::WM_LBUTTONUP:
    case win::BM_CLICK:
    case win::WM_CLOSE:
    case win::EM_SETSEL:
      return true;
    default:
      return false;
  }
}

// Enumeration callbacks return false to stop; the finders always return true.
using EnumWindowsProc = std::function<bool(Hwnd)>;

class WindowsApi {
 public:
  virtual ~WindowsApi() = default;

  // Windows and messages (user32). A null char pointer stands for NULL.
  virtual Hwnd FindWindowA(const char* className, const char* windowName) = 0;
  virtual Hwnd FindWindowExA(Hwnd parent, Hwnd childAfter, const char* className,
                             const char* windowName) = 0;
  virtual bool EnumWindows(const EnumWindowsProc& proc) = 0;
  virtual bool EnumChildWindows(Hwnd parent, const EnumWindowsProc& proc) = 0;
  virtual int GetClassNameA(Hwnd hwnd, char* buffer, int maxCount) = 0;
  virtual int GetWindowTextA(Hwnd hwnd, char* buffer, int maxCount) = 0;
  virtual bool GetClientRect(Hwnd hwnd, Rect* rect) = 0;
  virtual bool IsIconic(Hwnd hwnd) = 0;
  virtual bool ShowWindow(Hwnd hwnd, int cmdShow) = 0;
  virtual bool SetForegroundWindow(Hwnd hwnd) = 0;
  virtual Hwnd GetForegroundWindow() = 0;
  virtual LResult SendMessageA(Hwnd hwnd, UInt msg, WParam wParam, LParam lParam) = 0;
  virtual LResult SendMessageTimeoutA(Hwnd hwnd, UInt msg, WParam wParam, LParam lParam, UInt flags,
                                      UInt timeoutMs, std::uintptr_t* result) = 0;
  // SendMessageA that says whether the receiver handled the message: false when it did not answer
  // within kAnswerTimeoutMs, is hung, runs above us, or is gone (the SendMessageTimeoutA status
  // behind it); *result is then 0. A query whose answer steers the next step, and every message
  // with a pointer, is sent through here, so that a missing answer is never read as a 0.
  virtual bool TrySendMessageA(Hwnd hwnd, UInt msg, WParam wParam, LParam lParam,
                               LResult* result) = 0;
  virtual bool PostMessageA(Hwnd hwnd, UInt msg, WParam wParam, LParam lParam) = 0;
  // Sent, not posted, but without waiting for the receiver (HWND_BROADCAST: every top-level
  // window); false when the message could not be handed on.
  virtual bool SendNotifyMessageA(Hwnd hwnd, UInt msg, WParam wParam, LParam lParam) = 0;
  virtual bool ReplyMessage(LResult result) = 0;
  virtual void keybd_event(std::uint8_t vk, std::uint8_t scan, std::uint32_t flags,
                           std::uintptr_t extraInfo) = 0;
  virtual UInt RegisterWindowMessageA(const char* name) = 0;
  virtual std::int16_t GetAsyncKeyState(int vk) = 0;
  virtual UInt MapVirtualKeyA(UInt code, UInt mapType) = 0;
  // Milliseconds since some start; wraps, so only differences mean anything.
  virtual std::uint32_t GetTickCount() = 0;
  // Waits up to timeoutMs for a message sent to us and handles the ones that came
  // (MsgWaitForMultipleObjectsEx on QS_SENDMESSAGE): other programs, Skype among them, must not
  // wait on us while we wait for them. Posted messages, the handset's keys among them, stay
  // queued, so no key handler runs inside another.
  virtual void WaitServingSentMessages(std::uint32_t timeoutMs) = 0;

  // Kernel.
  virtual Handle CreateMutexA(bool initialOwner, const char* name) = 0;
  virtual std::uint32_t GetLastError() = 0;
  virtual std::string GetModuleFileNameA() = 0;
  // The exe's path as Windows stores it (UTF-16), whatever the ANSI code page can spell.
  virtual std::u16string GetModuleFileNameW() = 0;

  // Registry (advapi32). Return values are Win32 error codes.
  virtual long RegCreateKeyExA(Hkey root, const char* subKey, std::uint32_t samDesired,
                               Hkey* result) = 0;
  virtual long RegOpenKeyExA(Hkey root, const char* subKey, std::uint32_t samDesired,
                             Hkey* result) = 0;
  virtual long RegCloseKey(Hkey key) = 0;
  virtual long RegQueryValueExA(Hkey key, const char* valueName, std::uint32_t* type,
                                std::uint8_t* data, std::uint32_t* dataSize) = 0;
  virtual long RegSetValueExA(Hkey key, const char* valueName, std::uint32_t type,
                              const std::uint8_t* data, std::uint32_t dataSize) = 0;
  virtual long RegDeleteValueA(Hkey key, const char* valueName) = 0;
  virtual long RegDeleteKeyA(Hkey key, const char* subKey) = 0;
  // RegDeleteKeyA cannot reach the other registry view; this one takes KEY_WOW64_32KEY/64KEY.
  virtual long RegDeleteKeyExA(Hkey key, const char* subKey, std::uint32_t samDesired) = 0;
  // UTF-16 values, for texts such as paths that the ANSI code page may not hold.
  virtual long RegQueryValueExW(Hkey key, const char16_t* valueName, std::uint32_t* type,
                                std::uint8_t* data, std::uint32_t* dataSize) = 0;
  virtual long RegSetValueExW(Hkey key, const char16_t* valueName, std::uint32_t type,
                              const std::uint8_t* data, std::uint32_t dataSize) = 0;

  // Shell.
  virtual void ShellExecuteA(Hwnd hwnd, const char* verb, const char* file, int showCmd) = 0;

  // Whose window is it, and with what rights does that process run. The drivers type keys only
  // into a window of the target's own process, and a process of a higher integrity level than
  // ours silently drops our messages and input (UIPI). A stand-in that cannot tell answers 0,
  // which the drivers read as "unknown".
  virtual std::uint32_t GetWindowThreadProcessId(Hwnd /*hwnd*/, std::uint32_t* processId) {
    if (processId != nullptr) *processId = 0;
    return 0;
  }
  // Handing the foreground to another process (a second copy to the running one).
  virtual bool AllowSetForegroundWindow(std::uint32_t processId) = 0;
  virtual std::uint32_t GetCurrentProcessId() { return 0; }
  // The process's mandatory integrity level (a SECURITY_MANDATORY_*_RID value: 0x2000 medium,
  // 0x3000 high); 0 when it cannot be told.
  virtual std::uint32_t GetProcessIntegrityLevel(std::uint32_t /*processId*/) { return 0; }

  // UTF-16 texts to other programs and the shell. A stand-in without them delivers nothing.
  //
  // A WM_COPYDATA (or any message) sent as to a Unicode window, bounded like SendMessageTimeoutA.
  virtual LResult SendMessageTimeoutW(Hwnd /*hwnd*/, UInt /*msg*/, WParam /*wParam*/,
                                      LParam /*lParam*/, UInt /*flags*/, UInt /*timeoutMs*/,
                                      std::uintptr_t* result) {
    if (result != nullptr) *result = 0;
    return 0;
  }
  // Opens `file` (a path or a URL such as tel:...) with its verb; true when the shell started
  // what handles it.
  virtual bool ShellExecuteExW(const char16_t* /*verb*/, const char16_t* /*file*/,
                               int /*showCmd*/) {
    return false;
  }
  // The shell's association string `str` (an ASSOCSTR_* value) for `assoc`, an extension or a
  // protocol name; an HRESULT, S_OK with `out` set when there is one.
  virtual long AssocQueryStringW(std::uint32_t /*flags*/, std::uint32_t /*str*/,
                                 const char16_t* /*assoc*/, const char16_t* /*extra*/,
                                 std::u16string* /*out*/) {
    return static_cast<long>(0x80070483);  // HRESULT_FROM_WIN32(ERROR_NO_ASSOCIATION)
  }

  // --- Scaled displays --------------------------------------------------------------------------
  // Windows answers a size query in the units of the calling thread's DPI awareness: a window of
  // a program that is not DPI aware is stretched on a scaled display, and we, being per-monitor
  // aware, read its client rectangle in physical pixels (DPI virtualization). A thread can take on
  // another window's awareness for a while to read sizes as that window's program does.
  // Contexts are opaque values (DPI_AWARENESS_CONTEXT); 0 where the system has none (before
  // Windows 10 1607), and then PhysicalToLogicalClientRect does the conversion instead.
  virtual DpiContext GetWindowDpiAwarenessContext(Hwnd /*hwnd*/) { return 0; }
  // Returns the thread's previous context, or 0 when it could not be set.
  virtual DpiContext SetThreadDpiAwarenessContext(DpiContext /*context*/) { return 0; }
  // A client rectangle read in our (physical) pixels, turned into the window's own (logical)
  // ones; false when the window cannot be converted.
  virtual bool PhysicalToLogicalClientRect(Hwnd /*hwnd*/, Rect* /*rect*/) { return true; }

  // --- A shared PC ------------------------------------------------------------------------------
  // True when only administrators (and the system) can change the file and its folder: no user
  // can put another program in its place. False when it cannot be told.
  virtual bool OnlyAdministratorsCanReplace(const std::u16string& /*file*/) { return false; }
  // Softphones with a command port on this machine (phonerlite). A stand-in without them
  // connects nowhere and sees no process.
  //
  // A new, unconnected TCP client; nullptr when the system offers none.
  virtual std::unique_ptr<TcpClient> CreateTcpClient() { return nullptr; }
  // Whether a process runs whose executable file is named `imageName` (case-insensitive, as
  // Windows compares file names).
  virtual bool ProcessRunning(const char* /*imageName*/) { return false; }

  // Dialogs: a message the user must read, returning the button pressed.
  virtual int MessageBoxA(Hwnd hwnd, const char* text, const char* caption, UInt type) = 0;

  // Whether a window is hung now, for actions that must not wait in its queue (a call placed
  // minutes late). True when the system counts it hung (no message handled for 5 s) or it does
  // not answer a WM_NULL within kAnswerTimeoutMs (SMTO_ABORTIFHUNG); false for a window that is
  // gone. A stand-in that cannot tell answers false.
  virtual bool IsHungAppWindow(Hwnd /*hwnd*/) { return false; }
  // Whether the handle names an existing window (a program that ended leaves a stale one).
  virtual bool IsWindow(Hwnd /*hwnd*/) { return true; }
  // ---- USB phones: when a device sent its input, and another program's own settings ----
  // The time the message being handled was posted (GetMessageTime), on GetTickCount's clock; a
  // stand-in without a message queue answers its clock.
  virtual std::uint32_t GetMessageTime() { return GetTickCount(); }
  // The full path of process `processId`'s executable (QueryFullProcessImageNameA); empty when
  // it cannot be read.
  virtual std::string ProcessImagePath(std::uint32_t /*processId*/) { return {}; }
  // The current user's roaming application data folder (CSIDL_APPDATA); empty when unknown.
  virtual std::string RoamingAppDataPath() { return {}; }
  // One value of an ini file (GetPrivateProfileStringA); `fallback` when the file or the value
  // is not there.
  virtual std::string GetPrivateProfileStringA(const char* /*section*/, const char* /*key*/,
                                               const char* fallback, const char* /*file*/) {
    return fallback;
  }
};

}  // namespace telvaro
