#include "platform/win32/RealWindowsApi.h"

#include <algorithm>
#include <cstddef>
#include <exception>
#include <vector>

// The seam spells out the Win32 constants itself. This list is expanded twice: before <windows.h>,
// where the names are the seam's, to take their values; and after it, where the same names are
// the Win32 macros, to compare. KEY_READ_ENUM is the seam's own name and is checked on its own.
// clang-format off
#define TELVARO_SEAM_CONSTANTS(X)                                                                 \
  X(WM_CLOSE) X(WM_SETFOCUS) X(WM_SETTEXT) X(WM_GETTEXT) X(WM_GETTEXTLENGTH) X(WM_COPYDATA)       \
  X(WM_KEYDOWN) X(WM_KEYUP) X(WM_CHAR) X(WM_TIMER) X(WM_LBUTTONDOWN) X(WM_LBUTTONUP)              \
  X(WM_DEVICECHANGE) X(WM_USER) X(EM_SETSEL) X(BM_CLICK) X(TCM_GETCURSEL)                         \
  X(VK_BACK) X(VK_RETURN) X(VK_SHIFT) X(VK_MENU) X(VK_ESCAPE) X(VK_UP) X(VK_DOWN) X(VK_NUMPAD0)   \
  X(VK_MULTIPLY) X(VK_ADD) X(KEYEVENTF_KEYUP) X(SW_RESTORE) X(SW_SHOWNORMAL) X(SMTO_ABORTIFHUNG)  \
  X(KEY_ALL_ACCESS) X(REG_SZ) X(REG_EXPAND_SZ) X(REG_BINARY) X(REG_DWORD) X(ERROR_SUCCESS)        \
  X(ERROR_FILE_NOT_FOUND) X(ERROR_ACCESS_DENIED) X(ERROR_MORE_DATA) X(ERROR_ALREADY_EXISTS)        \
  X(KEY_WOW64_64KEY) X(KEY_WOW64_32KEY) X(MB_OK) X(MB_ICONINFORMATION) X(ERROR_MESSAGE_SYNC_ONLY) \
  X(MAPVK_VK_TO_VSC) X(ASSOCF_NONE) X(ASSOCSTR_COMMAND) X(S_OK)
// clang-format on

namespace {
namespace seam {
#define TELVARO_TAKE_SEAM_VALUE(name) constexpr long long k_##name = telvaro::win::name;
TELVARO_SEAM_CONSTANTS(TELVARO_TAKE_SEAM_VALUE)
constexpr long long kKeyReadEnum = telvaro::win::KEY_READ_ENUM;
}  // namespace seam
}  // namespace

#ifndef NOMINMAX
#define NOMINMAX
#endif

#include <windows.h>

#include <aclapi.h>
#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <tlhelp32.h>

#include "platform/win32/WinsockTcpClient.h"

#define TELVARO_CHECK_SEAM_VALUE(name) \
  static_assert(seam::k_##name == (name), "WindowsApi.h spells " #name " wrong");
TELVARO_SEAM_CONSTANTS(TELVARO_CHECK_SEAM_VALUE)
static_assert(seam::kKeyReadEnum == (READ_CONTROL | KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS));
// Declared by the SDK only for Windows 8 and later targets; older systems ignore the flag.
static_assert(telvaro::win::ASSOCF_IS_PROTOCOL == 0x1000);

namespace {

using telvaro::CopyDataStruct;
using telvaro::Hkey;
using telvaro::Hwnd;
static_assert(sizeof(Hwnd) == sizeof(HWND) && sizeof(Hkey) == sizeof(HKEY));
static_assert(sizeof(telvaro::WParam) == sizeof(WPARAM) &&
              sizeof(telvaro::LParam) == sizeof(LPARAM) &&
              sizeof(telvaro::LResult) == sizeof(LRESULT));
// WM_COPYDATA senders hand the address of a CopyDataStruct straight to SendMessageA.
static_assert(sizeof(CopyDataStruct) == sizeof(COPYDATASTRUCT));
static_assert(offsetof(CopyDataStruct, dwData) == offsetof(COPYDATASTRUCT, dwData));
static_assert(offsetof(CopyDataStruct, cbData) == offsetof(COPYDATASTRUCT, cbData));
static_assert(offsetof(CopyDataStruct, lpData) == offsetof(COPYDATASTRUCT, lpData));

HWND ToHwnd(Hwnd hwnd) { return reinterpret_cast<HWND>(hwnd); }
Hwnd FromHwnd(HWND hwnd) { return reinterpret_cast<Hwnd>(hwnd); }

// The seam spells the predefined roots as their 32-bit values (HKEY_LOCAL_MACHINE = 0x80000002),
// while Win64 defines them as that value sign-extended to a pointer. Hand Windows exactly its own
// values instead of relying on it to ignore the upper half. Opened keys pass through unchanged.
HKEY ToHkey(Hkey key) {
  constexpr Hkey kFirstRoot = 0x80000000;
  constexpr Hkey kLastRoot = 0x800000FF;
  if (key >= kFirstRoot && key <= kLastRoot) {
    return reinterpret_cast<HKEY>(
        static_cast<ULONG_PTR>(static_cast<LONG_PTR>(static_cast<LONG>(key))));
  }
  return reinterpret_cast<HKEY>(key);
}

struct EnumContext {
  const telvaro::EnumWindowsProc* proc;
  std::exception_ptr error;
};

// An exception must not unwind through the system's enumeration frames: stop the enumeration,
// carry the exception out and rethrow it on our side.
BOOL CALLBACK EnumThunk(HWND hwnd, LPARAM lParam) {
  auto* context = reinterpret_cast<EnumContext*>(lParam);
  try {
    return (*context->proc)(FromHwnd(hwnd)) ? TRUE : FALSE;
  } catch (...) {
    context->error = std::current_exception();
    return FALSE;
  }
}

template <typename Enumerate>
bool RunEnumeration(const telvaro::EnumWindowsProc& proc, Enumerate enumerate) {
  EnumContext context{&proc, nullptr};
  BOOL result = enumerate(reinterpret_cast<LPARAM>(&context));
  if (context.error) std::rethrow_exception(context.error);
  return result != FALSE;
}

}  // namespace

namespace telvaro {

Hwnd RealWindowsApi::FindWindowA(const char* className, const char* windowName) {
  SettleQueuedActions();
  return FromHwnd(::FindWindowA(className, windowName));
}

Hwnd RealWindowsApi::FindWindowExA(Hwnd parent, Hwnd childAfter, const char* className,
                                   const char* windowName) {
  SettleQueuedActions();
  return FromHwnd(::FindWindowExA(ToHwnd(parent), ToHwnd(childAfter), className, windowName));
}

bool RealWindowsApi::EnumWindows(const EnumWindowsProc& proc) {
  SettleQueuedActions();
  return RunEnumeration(proc, [](LPARAM context) { return ::EnumWindows(EnumThunk, context); });
}

bool RealWindowsApi::EnumChildWindows(Hwnd parent, const EnumWindowsProc& proc) {
  SettleQueuedActions();
  return RunEnumeration(proc, [parent](LPARAM context) {
    return ::EnumChildWindows(ToHwnd(parent), EnumThunk, context);
  });
}

int RealWindowsApi::GetClassNameA(Hwnd hwnd, char* buffer, int maxCount) {
  return ::GetClassNameA(ToHwnd(hwnd), buffer, maxCount);
}

int RealWindowsApi::GetWindowTextA(Hwnd hwnd, char* buffer, int maxCount) {
  return ::GetWindowTextA(ToHwnd(hwnd), buffer, maxCount);
}

bool RealWindowsApi::GetClientRect(Hwnd hwnd, Rect* rect) {
  RECT client{};
  if (::GetClientRect(ToHwnd(hwnd), &client) == FALSE) return false;
  if (rect != nullptr) *rect = Rect{client.left, client.top, client.right, client.bottom};
  return true;
}

bool RealWindowsApi::IsIconic(Hwnd hwnd) { return ::IsIconic(ToHwnd(hwnd)) != FALSE; }

bool RealWindowsApi::ShowWindow(Hwnd hwnd, int cmdShow) {
  SettleQueuedActions();
  HWND window = ToHwnd(hwnd);
  // Showing another thread's window waits until that thread has handled it, so a hung target
  // would hang us here. A window that does not answer a bounded probe is shown when it recovers;
  // a live one is shown at once, as before.
  if (::GetWindowThreadProcessId(window, nullptr) != ::GetCurrentThreadId()) {
    DWORD_PTR ignored = 0;
    if (::SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, kQueuedActionWaitMs,
                              &ignored) == 0) {
      return ::ShowWindowAsync(window, cmdShow) != FALSE;
    }
  }
  return ::ShowWindow(window, cmdShow) != FALSE;
}

bool RealWindowsApi::SetForegroundWindow(Hwnd hwnd) {
  SettleQueuedActions();
  return ::SetForegroundWindow(ToHwnd(hwnd)) != FALSE;
}

Hwnd RealWindowsApi::GetForegroundWindow() {
  SettleQueuedActions();
  return FromHwnd(::GetForegroundWindow());
}

// Every message the portable code sends goes to another program's window (the softphones,
// Skype), and such a program may be slow or hang: a busy UI thread, a modal loop gone wrong. A
// plain SendMessageA would then hang us with it, handset, tray menu and all.
//
// When a timed send gives up, the system cancels the message if the receiver had not picked it up
// yet, and lets it run to completion if the receiver was already handling it. Re-sending it would
// double a digit in the second case; dropping it would lose a digit (and dial a wrong number) in
// the first. So the drivers' actions, which carry no pointer and whose result nobody reads
// (IsQueueableAction: keys, clicks, button clicks, closes, caret moves), are queued with
// SendNotifyMessageA, which never cancels: sent messages are handled in the order sent, so they
// arrive once and in order even after a hang. Before the next thing we do that could depend on
// them (another send, a look-up, input, a wait), one WM_NULL, bounded by kQueuedActionWaitMs,
// waits until they have been handled, as a SendMessageA would have; the keystrokes of one key go
// out back to back behind a single such wait.
//
// Everything else (queries whose answer is read, messages that carry a pointer, which the system
// refuses to queue) is sent with SendMessageTimeoutA and kAnswerTimeoutMs, and the caller is told
// whether it was handled. SMTO_ABORTIFHUNG makes a send to a window the system counts as hung
// return at once; messages sent to us are still handled while we wait (SMTO_NORMAL). A
// WM_COPYDATA block is copied by the system when it is sent, so the Skype client's command buffer
// need not outlive the call.
namespace {

bool SendAndWait(HWND hwnd, UInt msg, WParam wParam, LParam lParam, UInt timeoutMs,
                 LResult* result) {
  DWORD_PTR reply = 0;
  const bool delivered =
      ::SendMessageTimeoutA(hwnd, msg, wParam, lParam, SMTO_NORMAL | SMTO_ABORTIFHUNG, timeoutMs,
                            &reply) != 0;
  if (result != nullptr) *result = delivered ? static_cast<LResult>(reply) : 0;
  return delivered;
}

}  // namespace

void RealWindowsApi::SettleQueuedActions() {
  if (queuedTo_ == 0) return;
  const HWND window = ToHwnd(queuedTo_);
  queuedTo_ = 0;
  queuedThread_ = 0;
  SendAndWait(window, WM_NULL, 0, 0, kQueuedActionWaitMs, nullptr);
}

// A window keeps its thread for life; a key sends several messages to the same one.
std::uint32_t RealWindowsApi::ThreadOf(Hwnd hwnd) {
  if (hwnd != threadWindow_ || thread_ == 0) {
    threadWindow_ = hwnd;
    thread_ = ::GetWindowThreadProcessId(ToHwnd(hwnd), nullptr);
  }
  return thread_;
}

bool RealWindowsApi::TrySendMessageA(Hwnd hwnd, UInt msg, WParam wParam, LParam lParam,
                                     LResult* result) {
  const HWND window = ToHwnd(hwnd);
  if (result != nullptr) *result = 0;
  const std::uint32_t thread = ThreadOf(hwnd);
  // A window of our own thread gets its messages at once either way.
  if (IsQueueableAction(msg) && thread != ::GetCurrentThreadId()) {
    // Actions for another program wait behind those queued before only within one thread.
    if (queuedTo_ != 0 && queuedThread_ != thread) SettleQueuedActions();
    if (::SendNotifyMessageA(window, msg, wParam, lParam) != FALSE) {
      queuedTo_ = hwnd;
      queuedThread_ = thread;
      return true;
    }
    if (::GetLastError() != ERROR_MESSAGE_SYNC_ONLY) return false;
  }
  SettleQueuedActions();
  return SendAndWait(window, msg, wParam, lParam, kAnswerTimeoutMs, result);
}

LResult RealWindowsApi::SendMessageA(Hwnd hwnd, UInt msg, WParam wParam, LParam lParam) {
  LResult result = 0;
  TrySendMessageA(hwnd, msg, wParam, lParam, &result);
  return result;
}

LResult RealWindowsApi::SendMessageTimeoutA(Hwnd hwnd, UInt msg, WParam wParam, LParam lParam,
                                            UInt flags, UInt timeoutMs, std::uintptr_t* result) {
  SettleQueuedActions();
  DWORD_PTR reply = 0;
  LRESULT status =
      ::SendMessageTimeoutA(ToHwnd(hwnd), msg, wParam, lParam, flags, timeoutMs, &reply);
  if (result != nullptr) *result = reply;
  return status;
}

bool RealWindowsApi::PostMessageA(Hwnd hwnd, UInt msg, WParam wParam, LParam lParam) {
  SettleQueuedActions();
  return ::PostMessageA(ToHwnd(hwnd), msg, wParam, lParam) != FALSE;
}

bool RealWindowsApi::SendNotifyMessageA(Hwnd hwnd, UInt msg, WParam wParam, LParam lParam) {
  return ::SendNotifyMessageA(ToHwnd(hwnd), msg, wParam, lParam) != FALSE;
}

bool RealWindowsApi::ReplyMessage(LResult result) { return ::ReplyMessage(result) != FALSE; }

void RealWindowsApi::keybd_event(std::uint8_t vk, std::uint8_t scan, std::uint32_t flags,
                                 std::uintptr_t extraInfo) {
  SettleQueuedActions();
  ::keybd_event(vk, scan, flags, extraInfo);
}

UInt RealWindowsApi::RegisterWindowMessageA(const char* name) {
  return ::RegisterWindowMessageA(name);
}

std::int16_t RealWindowsApi::GetAsyncKeyState(int vk) { return ::GetAsyncKeyState(vk); }

UInt RealWindowsApi::MapVirtualKeyA(UInt code, UInt mapType) {
  return ::MapVirtualKeyA(code, mapType);
}

std::uint32_t RealWindowsApi::GetTickCount() { return ::GetTickCount(); }

void RealWindowsApi::WaitServingSentMessages(std::uint32_t timeoutMs) {
  SettleQueuedActions();
  ::MsgWaitForMultipleObjectsEx(0, nullptr, timeoutMs, QS_SENDMESSAGE, 0);
  // Peeking for sent messages only handles them and leaves every posted message where it is.
  MSG ignored{};
  ::PeekMessageA(&ignored, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
}

// The system counts a window hung only after 5 s without handling a message; one that stopped
// just now is caught by the probe, which waits at most kAnswerTimeoutMs (serving the messages sent
// to us meanwhile). Whatever the probe finds, the action that follows goes out at once, so it
// cannot sit in the queue of a window that hangs.
bool RealWindowsApi::IsHungAppWindow(Hwnd hwnd) {
  SettleQueuedActions();
  const HWND window = ToHwnd(hwnd);
  if (::IsWindow(window) == FALSE) return false;
  if (::IsHungAppWindow(window) != FALSE) return true;
  if (::GetWindowThreadProcessId(window, nullptr) == ::GetCurrentThreadId()) return false;
  DWORD_PTR ignored = 0;
  const bool answered = ::SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG,
                                              kAnswerTimeoutMs, &ignored) != 0;
  return !answered && ::IsWindow(window) != FALSE;
}

bool RealWindowsApi::IsWindow(Hwnd hwnd) { return ::IsWindow(ToHwnd(hwnd)) != FALSE; }

Handle RealWindowsApi::CreateMutexA(bool initialOwner, const char* name) {
  return reinterpret_cast<Handle>(::CreateMutexA(nullptr, initialOwner ? TRUE : FALSE, name));
}

std::uint32_t RealWindowsApi::GetLastError() { return ::GetLastError(); }

std::string RealWindowsApi::GetModuleFileNameA() {
  // The exe may live deeper than MAX_PATH; grow until the path fits, up to the longest a path
  // can be.
  constexpr std::size_t kLongestPath = 32768;
  std::string path(MAX_PATH, '\0');
  for (;;) {
    DWORD length = ::GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    if (path.size() >= kLongestPath) return {};
    path.resize(path.size() * 2);
  }
}

std::u16string RealWindowsApi::GetModuleFileNameW() {
  static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows' wide characters are UTF-16 units");
  constexpr std::size_t kLongestPath = 32768;
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) return {path.begin(), path.begin() + length};
    if (path.size() >= kLongestPath) return {};
    path.resize(path.size() * 2);
  }
}

long RealWindowsApi::RegCreateKeyExA(Hkey root, const char* subKey, std::uint32_t samDesired,
                                     Hkey* result) {
  HKEY key = nullptr;
  LONG status = ::RegCreateKeyExA(ToHkey(root), subKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  samDesired, nullptr, &key, nullptr);
  if (result != nullptr) *result = status == ERROR_SUCCESS ? reinterpret_cast<Hkey>(key) : 0;
  return status;
}

long RealWindowsApi::RegOpenKeyExA(Hkey root, const char* subKey, std::uint32_t samDesired,
                                   Hkey* result) {
  HKEY key = nullptr;
  LONG status = ::RegOpenKeyExA(ToHkey(root), subKey, 0, samDesired, &key);
  if (result != nullptr) *result = status == ERROR_SUCCESS ? reinterpret_cast<Hkey>(key) : 0;
  return status;
}

long RealWindowsApi::RegCloseKey(Hkey key) { return ::RegCloseKey(ToHkey(key)); }

long RealWindowsApi::RegQueryValueExA(Hkey key, const char* valueName, std::uint32_t* type,
                                      std::uint8_t* data, std::uint32_t* dataSize) {
  DWORD valueType = 0;
  DWORD size = dataSize != nullptr ? *dataSize : 0;
  LONG status =
      ::RegQueryValueExA(ToHkey(key), valueName, nullptr, type != nullptr ? &valueType : nullptr,
                         data, dataSize != nullptr ? &size : nullptr);
  if (type != nullptr) *type = valueType;
  if (dataSize != nullptr) *dataSize = size;
  return status;
}

long RealWindowsApi::RegSetValueExA(Hkey key, const char* valueName, std::uint32_t type,
                                    const std::uint8_t* data, std::uint32_t dataSize) {
  return ::RegSetValueExA(ToHkey(key), valueName, 0, type, data, dataSize);
}

long RealWindowsApi::RegDeleteValueA(Hkey key, const char* valueName) {
  return ::RegDeleteValueA(ToHkey(key), valueName);
}

long RealWindowsApi::RegDeleteKeyA(Hkey key, const char* subKey) {
  return ::RegDeleteKeyA(ToHkey(key), subKey);
}

long RealWindowsApi::RegDeleteKeyExA(Hkey key, const char* subKey, std::uint32_t samDesired) {
  return ::RegDeleteKeyExA(ToHkey(key), subKey, samDesired, 0);
}

long RealWindowsApi::RegQueryValueExW(Hkey key, const char16_t* valueName, std::uint32_t* type,
                                      std::uint8_t* data, std::uint32_t* dataSize) {
  DWORD valueType = 0;
  DWORD size = dataSize != nullptr ? *dataSize : 0;
  LONG status = ::RegQueryValueExW(ToHkey(key), reinterpret_cast<const wchar_t*>(valueName),
                                   nullptr, type != nullptr ? &valueType : nullptr, data,
                                   dataSize != nullptr ? &size : nullptr);
  if (type != nullptr) *type = valueType;
  if (dataSize != nullptr) *dataSize = size;
  return status;
}

long RealWindowsApi::RegSetValueExW(Hkey key, const char16_t* valueName, std::uint32_t type,
                                    const std::uint8_t* data, std::uint32_t dataSize) {
  return ::RegSetValueExW(ToHkey(key), reinterpret_cast<const wchar_t*>(valueName), 0, type, data,
                          dataSize);
}

void RealWindowsApi::ShellExecuteA(Hwnd hwnd, const char* verb, const char* file, int showCmd) {
  ::ShellExecuteA(ToHwnd(hwnd), verb, file, nullptr, nullptr, showCmd);
}

std::uint32_t RealWindowsApi::GetWindowThreadProcessId(Hwnd hwnd, std::uint32_t* processId) {
  DWORD process = 0;
  const DWORD thread = ::GetWindowThreadProcessId(ToHwnd(hwnd), &process);
  if (processId != nullptr) *processId = process;
  return thread;
}

bool RealWindowsApi::AllowSetForegroundWindow(std::uint32_t processId) {
  return ::AllowSetForegroundWindow(processId) != FALSE;
}

std::uint32_t RealWindowsApi::GetCurrentProcessId() { return ::GetCurrentProcessId(); }

namespace {

DWORD IntegrityLevelOf(HANDLE token) {
  DWORD size = 0;
  ::GetTokenInformation(token, TokenIntegrityLevel, nullptr, 0, &size);
  if (size == 0) return 0;
  std::vector<std::uint8_t> buffer(size);
  if (::GetTokenInformation(token, TokenIntegrityLevel, buffer.data(), size, &size) == FALSE) {
    return 0;
  }
  PSID sid = reinterpret_cast<const TOKEN_MANDATORY_LABEL*>(buffer.data())->Label.Sid;
  if (sid == nullptr || ::IsValidSid(sid) == FALSE) return 0;
  const UCHAR count = *::GetSidSubAuthorityCount(sid);
  return count == 0 ? 0 : *::GetSidSubAuthority(sid, count - 1U);
}

}  // namespace

std::uint32_t RealWindowsApi::GetProcessIntegrityLevel(std::uint32_t processId) {
  const bool ours = processId == ::GetCurrentProcessId();
  HANDLE process = ours ? ::GetCurrentProcess()
                        : ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
  if (process == nullptr) return 0;
  DWORD level = 0;
  HANDLE token = nullptr;
  if (::OpenProcessToken(process, TOKEN_QUERY, &token) != FALSE) {
    level = IntegrityLevelOf(token);
    ::CloseHandle(token);
  } else if (::GetLastError() == ERROR_ACCESS_DENIED) {
    // The token of an elevated process admits only the administrators and the system, not the
    // user's ordinary token: being refused it is what running with higher rights looks like from
    // here.
    level = SECURITY_MANDATORY_HIGH_RID;
  }
  if (!ours) ::CloseHandle(process);
  return level;
}

int RealWindowsApi::MessageBoxA(Hwnd hwnd, const char* text, const char* caption, UInt type) {
  return ::MessageBoxA(ToHwnd(hwnd), text, caption, type);
}

// The UTF-16 calls. Windows' wide characters are UTF-16 units, so char16_t texts pass as they are.

LResult RealWindowsApi::SendMessageTimeoutW(Hwnd hwnd, UInt msg, WParam wParam, LParam lParam,
                                            UInt flags, UInt timeoutMs, std::uintptr_t* result) {
  SettleQueuedActions();
  DWORD_PTR reply = 0;
  LRESULT status =
      ::SendMessageTimeoutW(ToHwnd(hwnd), msg, wParam, lParam, flags, timeoutMs, &reply);
  if (result != nullptr) *result = reply;
  return status;
}

bool RealWindowsApi::ShellExecuteExW(const char16_t* verb, const char16_t* file, int showCmd) {
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof info;
  // No error dialog of the shell's own: the caller says what went wrong on its status line.
  info.fMask = SEE_MASK_FLAG_NO_UI;
  info.lpVerb = reinterpret_cast<const wchar_t*>(verb);
  info.lpFile = reinterpret_cast<const wchar_t*>(file);
  info.nShow = showCmd;
  return ::ShellExecuteExW(&info) != FALSE;
}

long RealWindowsApi::AssocQueryStringW(std::uint32_t flags, std::uint32_t str,
                                       const char16_t* assoc, const char16_t* extra,
                                       std::u16string* out) {
  const auto* assocW = reinterpret_cast<const wchar_t*>(assoc);
  const auto* extraW = reinterpret_cast<const wchar_t*>(extra);
  DWORD length = 0;
  HRESULT status = ::AssocQueryStringW(static_cast<ASSOCF>(flags), static_cast<ASSOCSTR>(str),
                                       assocW, extraW, nullptr, &length);
  // Without a buffer a found string answers S_FALSE with its length, NUL included.
  if (FAILED(status) || length == 0) return FAILED(status) ? status : E_FAIL;
  std::wstring text(length, L'\0');
  status = ::AssocQueryStringW(static_cast<ASSOCF>(flags), static_cast<ASSOCSTR>(str), assocW,
                               extraW, text.data(), &length);
  if (FAILED(status)) return status;
  if (out != nullptr) {
    const std::size_t end = text.find(L'\0');
    out->assign(text.begin(), end == std::wstring::npos ? text.end() : text.begin() + end);
  }
  return S_OK;
}

// --- Scaled displays ----------------------------------------------------------------------------
// Resolved at run time: the contexts came with Windows 10 1607, the per-monitor conversion with
// Windows 8.1; before that PhysicalToLogicalPoint (Vista) converts for a system-aware caller.

namespace {

template <typename Function>
Function User32Export(const char* name) {
  HMODULE user32 = ::GetModuleHandleA("user32.dll");
  if (user32 == nullptr) return nullptr;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wcast-function-type"
  return reinterpret_cast<Function>(::GetProcAddress(user32, name));
#pragma GCC diagnostic pop
}

using GetWindowContextFn = HANDLE(WINAPI*)(HWND);
using SetThreadContextFn = HANDLE(WINAPI*)(HANDLE);
using ConvertPointFn = BOOL(WINAPI*)(HWND, LPPOINT);

}  // namespace

DpiContext RealWindowsApi::GetWindowDpiAwarenessContext(Hwnd hwnd) {
  static const auto get = User32Export<GetWindowContextFn>("GetWindowDpiAwarenessContext");
  return get != nullptr ? reinterpret_cast<DpiContext>(get(ToHwnd(hwnd))) : 0;
}

DpiContext RealWindowsApi::SetThreadDpiAwarenessContext(DpiContext context) {
  static const auto set = User32Export<SetThreadContextFn>("SetThreadDpiAwarenessContext");
  if (set == nullptr || context == 0) return 0;
  return reinterpret_cast<DpiContext>(set(reinterpret_cast<HANDLE>(context)));
}

bool RealWindowsApi::PhysicalToLogicalClientRect(Hwnd hwnd, Rect* rect) {
  static const auto perMonitor =
      User32Export<ConvertPointFn>("PhysicalToLogicalPointForPerMonitorDPI");
  static const auto systemWide = User32Export<ConvertPointFn>("PhysicalToLogicalPoint");
  const ConvertPointFn convert = perMonitor != nullptr ? perMonitor : systemWide;
  if (convert == nullptr) return true;  // before Vista nothing is scaled
  // The conversion works on screen points, so both corners of the client area travel.
  POINT corners[2] = {{0, 0}, {rect->right, rect->bottom}};
  for (POINT& corner : corners) {
    if (::ClientToScreen(ToHwnd(hwnd), &corner) == FALSE) return false;
    if (convert(ToHwnd(hwnd), &corner) == FALSE) return false;
  }
  *rect = Rect{0, 0, corners[1].x - corners[0].x, corners[1].y - corners[0].y};
  return true;
}

// --- A shared PC -------------------------------------------------------------------------------

namespace {

// Rights that let their holder put other bytes where the program is: write or append to it,
// delete or rename it, add files to or delete them from its folder, or take the object over.
constexpr ACCESS_MASK kReplaceRights = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_DELETE_CHILD |
                                       DELETE | WRITE_DAC | WRITE_OWNER | GENERIC_WRITE |
                                       GENERIC_ALL;

bool IsTrustedInstaller(PSID sid) {
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  PSID installer = nullptr;
  if (::AllocateAndInitializeSid(&nt, 6, SECURITY_SERVICE_ID_BASE_RID, 956008885, 3418522649,
                                 1831038044, 1853292631, 2271478464, 0, 0, &installer) == FALSE) {
    return false;
  }
  const bool same = ::EqualSid(sid, installer) != FALSE;
  ::FreeSid(installer);
  return same;
}

bool IsAdministrative(PSID sid) {
  return ::IsWellKnownSid(sid, WinBuiltinAdministratorsSid) != FALSE ||
         ::IsWellKnownSid(sid, WinLocalSystemSid) != FALSE || IsTrustedInstaller(sid);
}

// The owner may always rewrite the access list, so it must be administrative too. Denials are not
// weighed: reading too much into them could only call a folder safe that is not.
bool OnlyAdministratorsCanChange(const std::wstring& path) {
  PSID owner = nullptr;
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (::GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT,
                              OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
                              nullptr, &dacl, nullptr, &descriptor) != ERROR_SUCCESS) {
    return false;
  }
  // No access list at all lets everyone in.
  bool adminOnly = owner != nullptr && dacl != nullptr && IsAdministrative(owner);
  for (DWORD i = 0; adminOnly && i < dacl->AceCount; ++i) {
    void* ace = nullptr;
    if (::GetAce(dacl, i, &ace) == FALSE) {
      adminOnly = false;
      break;
    }
    const auto* header = static_cast<const ACE_HEADER*>(ace);
    if ((header->AceFlags & INHERIT_ONLY_ACE) != 0) continue;  // for what is created inside
    if (header->AceType == ACCESS_DENIED_ACE_TYPE) continue;
    if (header->AceType != ACCESS_ALLOWED_ACE_TYPE) {
      adminOnly = false;  // a kind of grant not read here
      break;
    }
    auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
    if ((allowed->Mask & kReplaceRights) != 0 && !IsAdministrative(&allowed->SidStart)) {
      adminOnly = false;
    }
  }
  ::LocalFree(descriptor);
  return adminOnly;
}

}  // namespace

bool RealWindowsApi::OnlyAdministratorsCanReplace(const std::u16string& file) {
  const std::wstring path(file.begin(), file.end());
  const std::size_t slash = path.find_last_of(L"\\/");
  if (slash == std::wstring::npos) return false;
  return OnlyAdministratorsCanChange(path) && OnlyAdministratorsCanChange(path.substr(0, slash));
}

std::uint32_t RealWindowsApi::GetMessageTime() {
  return static_cast<std::uint32_t>(::GetMessageTime());
}

std::string RealWindowsApi::ProcessImagePath(std::uint32_t processId) {
  HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
  if (process == nullptr) return {};
  char path[MAX_PATH * 2] = {};
  DWORD size = sizeof path;
  const BOOL ok = ::QueryFullProcessImageNameA(process, 0, path, &size);
  ::CloseHandle(process);
  return ok ? std::string(path, size) : std::string();
}

std::string RealWindowsApi::RoamingAppDataPath() {
  char path[MAX_PATH] = {};
  if (FAILED(::SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, 0, path))) return {};
  return path;
}

std::string RealWindowsApi::GetPrivateProfileStringA(const char* section, const char* key,
                                                     const char* fallback, const char* file) {
  char value[256] = {};
  ::GetPrivateProfileStringA(section, key, fallback, value, sizeof value, file);
  return value;
}

std::unique_ptr<TcpClient> RealWindowsApi::CreateTcpClient() { return CreateWinsockTcpClient(); }

bool RealWindowsApi::ProcessRunning(const char* imageName) {
  HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return false;
  PROCESSENTRY32 entry{};
  entry.dwSize = sizeof entry;
  bool found = false;
  for (BOOL more = ::Process32First(snapshot, &entry); more && !found;
       more = ::Process32Next(snapshot, &entry)) {
    found = ::lstrcmpiA(entry.szExeFile, imageName) == 0;
  }
  ::CloseHandle(snapshot);
  return found;
}

}  // namespace telvaro
