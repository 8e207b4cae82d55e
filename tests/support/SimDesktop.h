// A small Windows desktop in memory: windows with class, text, client size and enumeration order, a
// foreground window, posted-message queue, keyboard input, a registry with access rights, mutexes
// and registered messages. Every call is recorded as a readable trace line, for example
//   SendMessageA("X-Lite"/Funky Window, WM_KEYDOWN, 0x65, 0x001C0001)
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/WindowsApi.h"

namespace telvaro::sim {

class SimDesktop;

// Behaviour attached to a window: sees every sent and delivered posted message; returns the
// result. `handled` false lets the default handling (text, close, Edit, Button) run.
using WindowBehaviour =
    std::function<LResult(Hwnd self, UInt msg, WParam wParam, LParam lParam, bool& handled)>;

struct SimWindow {
  Hwnd handle = 0;
  Hwnd parent = 0;  // 0 for a top-level window
  std::string className;
  std::string text;
  int clientWidth = 0;
  int clientHeight = 0;
  bool iconic = false;
  bool clientRectFails = false;
  std::string label;  // name in the trace; defaults to "text"/class
  WindowBehaviour behaviour;
  // Edit state.
  int selStart = 0;
  int selEnd = 0;
  // What the window received: one line per message, e.g. "WM_KEYDOWN 0x65 0x001C0001",
  // "BM_CLICK 0x0 0x00000000", "key 0x61 down" for keyboard input while in front.
  std::vector<std::string> received;
  // The program it belongs to; 0 for a top-level window means a program of its own, and a child
  // belongs to its top-level window's program.
  std::uint32_t processId = 0;
};

class SimDesktop : public WindowsApi {
 public:
  SimDesktop();

  // --- Building the desktop -------------------------------------------------------------------
  // Windows are enumerated in creation order (top-level and, per parent, children).
  Hwnd AddWindow(const std::string& className, const std::string& text, Hwnd parent = 0,
                 int clientWidth = 0, int clientHeight = 0);
  Hwnd AddEdit(Hwnd parent, const std::string& text = "", int clientWidth = 100,
               int clientHeight = 20);
  Hwnd AddButton(Hwnd parent, const std::string& caption, int clientWidth = 75,
                 int clientHeight = 23);
  void DestroyWindow(Hwnd h);  // the handle becomes stale
  bool Exists(Hwnd h) const;
  SimWindow& Window(Hwnd h);
  const SimWindow& Window(Hwnd h) const;
  std::vector<std::string>& Received(Hwnd h) { return Window(h).received; }
  void SetForeground(Hwnd h) {  // untraced, and at once
    foreground_ = h;
    pendingForeground_ = 0;
  }
  Hwnd Foreground() const { return foreground_; }
  void SetBehaviour(Hwnd h, WindowBehaviour behaviour) {
    Window(h).behaviour = std::move(behaviour);
  }

  // Delivers the queued posted messages in the order posted (and those they post in turn). Posts
  // to window 0 are queued as the caller's thread messages, as on Windows, and reach no window.
  void DeliverPosted();
  std::size_t PostedCount() const { return posted_.size(); }

  // --- The trace ------------------------------------------------------------------------------
  const std::vector<std::string>& Trace() const { return trace_; }
  // The trace without read-only queries (GetClassNameA, GetWindowTextA, GetClientRect, IsIconic,
  // GetForegroundWindow, EnumWindows, EnumChildWindows, GetLastError, registry reads).
  std::vector<std::string> Effects() const;
  void ClearTrace() { trace_.clear(); }
  // Adds a line of another part of the test world (the handset library, for one).
  void Note(std::string line) { Record(std::move(line)); }
  std::string Label(Hwnd h) const;

  // --- Registry -------------------------------------------------------------------------------
  struct RegValue {
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
    bool wide = false;  // written through a ...W call: data holds UTF-16 units
  };
  // HKEY_LOCAL_MACHINE\SOFTWARE as a 32-bit and a 64-bit program see it on 64-bit Windows (the
  // 32-bit view lives under SOFTWARE\WOW6432Node); HKEY_CURRENT_USER\Software is one for both.
  // The helpers below address the 32-bit view unless told, because that is where the program
  // keeps everything; a key opened without KEY_WOW64_32KEY/KEY_WOW64_64KEY gets the view of the
  // simulated program's bitness.
  enum class RegView { Bit32, Bit64 };
  bool program64 = true;  // the simulated program is an x64 build
  bool windows64 = true;  // false: 32-bit Windows, a single view, the WOW64 flags are ignored
  // Paths are relative to a root, without a leading backslash, compared case-insensitively.
  void DenyFullAccess(Hkey root);  // opening or creating keys with write access fails there
  void DenyCreate(Hkey root);      // creating a missing key fails there
  // The key opens for writing, but setting this value is refused (a policy, a full hive).
  void RefuseSetValue(const std::string& name) { refusedSets_.insert(Lower(name)); }
  void SetRegString(Hkey root, const std::string& path, const std::string& name,
                    const std::string& value, std::uint32_t type = win::REG_SZ,
                    RegView view = RegView::Bit32);
  void SetRegWideString(Hkey root, const std::string& path, const std::string& name,
                        const std::u16string& value, RegView view = RegView::Bit32);
  void SetRegRaw(Hkey root, const std::string& path, const std::string& name, std::uint32_t type,
                 std::vector<std::uint8_t> data, RegView view = RegView::Bit32);
  void CreateRegKey(Hkey root, const std::string& path, RegView view = RegView::Bit32);
  bool HasRegKey(Hkey root, const std::string& path, RegView view = RegView::Bit32) const;
  bool HasRegValue(Hkey root, const std::string& path, const std::string& name,
                   RegView view = RegView::Bit32) const;
  // The value's text up to the first NUL, as an ANSI program reads it (characters outside the
  // code page become '?'); empty when missing.
  std::string RegString(Hkey root, const std::string& path, const std::string& name,
                        RegView view = RegView::Bit32) const;
  // The value's text up to the first NUL as UTF-16; empty when missing.
  std::u16string RegWideString(Hkey root, const std::string& path, const std::string& name,
                               RegView view = RegView::Bit32) const;
  // The stored value itself; null when missing.
  const RegValue* FindRegValue(Hkey root, const std::string& path, const std::string& name,
                               RegView view = RegView::Bit32) const;
  std::size_t RegValueCount(Hkey root, const std::string& path,
                            RegView view = RegView::Bit32) const;
  std::size_t OpenKeyCount() const { return openKeys_.size(); }
  // The same machine after a restart, or a registry emptied under a running program.
  void CopyRegistryFrom(const SimDesktop& other) {
    registry_ = other.registry_;
    deniedFullAccess_ = other.deniedFullAccess_;
    deniedCreate_ = other.deniedCreate_;
    refusedSets_ = other.refusedSets_;
    windows64 = other.windows64;
  }
  void ClearRegistry() { registry_.clear(); }

  // --- Kernel ---------------------------------------------------------------------------------
  void AddMutex(const std::string& name) { mutexes_.insert(name); }
  bool HasMutex(const std::string& name) const { return mutexes_.count(name) != 0; }
  void FailRegistration(const std::string& name) { failedRegistrations_.insert(name); }
  // The mutex is held by a copy with other rights: creating it fails with access denied.
  void DenyMutex(const std::string& name) { deniedMutexes_.insert(name); }
  std::uint32_t foregroundAllowedFor = 0;  // the last AllowSetForegroundWindow's process id
  std::string modulePath = "C:\\Program Files\\TELVARO\\telvaro.exe";
  // Where set, the exe's real (UTF-16) path; GetModuleFileNameA then gives its ANSI spelling.
  std::u16string wideModulePath;
  std::vector<std::string> messageBoxes;  // the texts shown, in order
  std::vector<std::string> shellExecuted;
  // The shell's protocol handlers: scheme -> open command. ShellExecuteExW opens a URL of a
  // registered scheme (recorded, UTF-8, in linksOpened) and fails for any other.
  std::map<std::string, std::string> protocolHandlers;
  std::vector<std::string> linksOpened;
  // Windows 7: AssocQueryStringW refuses ASSOCF_IS_PROTOCOL, which it does not know.
  bool refusesProtocolFlag = false;
  LResult lastReply = 0;

  // --- WindowsApi -----------------------------------------------------------------------------
  Hwnd FindWindowA(const char* className, const char* windowName) override;
  Hwnd FindWindowExA(Hwnd parent, Hwnd childAfter, const char* className,
                     const char* windowName) override;
  bool EnumWindows(const EnumWindowsProc& proc) override;
  bool EnumChildWindows(Hwnd parent, const EnumWindowsProc& proc) override;
  int GetClassNameA(Hwnd hwnd, char* buffer, int maxCount) override;
  int GetWindowTextA(Hwnd hwnd, char* buffer, int maxCount) override;
  bool GetClientRect(Hwnd hwnd, Rect* rect) override;
  bool IsIconic(Hwnd hwnd) override;
  bool ShowWindow(Hwnd hwnd, int cmdShow) override;
  bool SetForegroundWindow(Hwnd hwnd) override;
  Hwnd GetForegroundWindow() override;
  LResult SendMessageA(Hwnd hwnd, UInt msg, WParam wParam, LParam lParam) override;
  LResult SendMessageTimeoutA(Hwnd hwnd, UInt msg, WParam wParam, LParam lParam, UInt flags,
                              UInt timeoutMs, std::uintptr_t* result) override;
  bool TrySendMessageA(Hwnd hwnd, UInt msg, WParam wParam, LParam lParam, LResult* result) override;
  bool PostMessageA(Hwnd hwnd, UInt msg, WParam wParam, LParam lParam) override;
  bool SendNotifyMessageA(Hwnd hwnd, UInt msg, WParam wParam, LParam lParam) override;
  bool ReplyMessage(LResult result) override;
  void keybd_event(std::uint8_t vk, std::uint8_t scan, std::uint32_t flags,
                   std::uintptr_t extraInfo) override;
  UInt RegisterWindowMessageA(const char* name) override;
  std::int16_t GetAsyncKeyState(int vk) override;
  UInt MapVirtualKeyA(UInt code, UInt mapType) override;
  std::uint32_t GetTickCount() override { return now_; }
  void WaitServingSentMessages(std::uint32_t timeoutMs) override;
  Handle CreateMutexA(bool initialOwner, const char* name) override;
  std::uint32_t GetLastError() override;
  std::string GetModuleFileNameA() override;
  std::u16string GetModuleFileNameW() override;
  long RegCreateKeyExA(Hkey root, const char* subKey, std::uint32_t samDesired,
                       Hkey* result) override;
  long RegOpenKeyExA(Hkey root, const char* subKey, std::uint32_t samDesired,
                     Hkey* result) override;
  long RegCloseKey(Hkey key) override;
  long RegQueryValueExA(Hkey key, const char* valueName, std::uint32_t* type, std::uint8_t* data,
                        std::uint32_t* dataSize) override;
  long RegSetValueExA(Hkey key, const char* valueName, std::uint32_t type, const std::uint8_t* data,
                      std::uint32_t dataSize) override;
  long RegDeleteValueA(Hkey key, const char* valueName) override;
  long RegDeleteKeyA(Hkey key, const char* subKey) override;
  long RegDeleteKeyExA(Hkey key, const char* subKey, std::uint32_t samDesired) override;
  long RegQueryValueExW(Hkey key, const char16_t* valueName, std::uint32_t* type,
                        std::uint8_t* data, std::uint32_t* dataSize) override;
  long RegSetValueExW(Hkey key, const char16_t* valueName, std::uint32_t type,
                      const std::uint8_t* data, std::uint32_t dataSize) override;
  void ShellExecuteA(Hwnd hwnd, const char* verb, const char* file, int showCmd) override;
  bool AllowSetForegroundWindow(std::uint32_t processId) override;
  int MessageBoxA(Hwnd hwnd, const char* text, const char* caption, UInt type) override;

  // UTF-16 from and to the simulated ANSI code page (Latin-1: one byte per character below 256,
  // '?' for any other), and to UTF-8 for trace lines.
  static std::u16string Widen(const std::string& ansi);
  static std::string Narrow(const std::u16string& wide);
  static std::string Utf8(const std::u16string& wide);

  // Message names used in trace lines ("WM_KEYDOWN"; unknown numbers as hex).
  static std::string MessageName(UInt msg);

  // --- Foreground rules, integrity levels, hung windows ---------------------------------------
  // The foreground lock of a real desktop. With it on, SetForegroundWindow succeeds only when no
  // window is in front, when our own program is in front, or once an Alt press has reached the
  // system since the foreground last changed (the system enables SetForegroundWindow again when
  // Alt is pressed); while a menu is open it fails whatever happens. Off (the default) it always
  // succeeds, as under Wine.
  void SetForegroundLock(bool on) { foregroundLock_ = on; }
  void SetMenuActive(bool active) { menuActive_ = active; }
  static constexpr std::uint32_t kOurProcess = 1;
  void SetProcess(Hwnd topLevel, std::uint32_t processId) {
    Window(topLevel).processId = processId;
  }
  std::uint32_t ProcessOf(Hwnd h) const;
  // Integrity levels per program; every program, ours included, runs at medium unless told. A
  // program above ours receives none of our sent or posted messages and none of our keyboard
  // input (UIPI), and nothing tells us.
  static constexpr std::uint32_t kMediumLevel = 0x2000;
  static constexpr std::uint32_t kHighLevel = 0x3000;
  void SetIntegrityLevel(std::uint32_t processId, std::uint32_t level) {
    levels_[processId] = level;
  }
  // A hung window: its top-level window's thread stops handling messages. As through the real
  // seam, a send to any of those windows returns at once; an action (IsQueueableAction: keys,
  // clicks, button clicks, closes, caret moves) is delivered when the window recovers, in the
  // order sent, while any other message (a query, a message with a pointer) is not delivered and
  // TrySendMessageA says so. Posted messages wait as well.
  void Hang(Hwnd h);
  void Recover(Hwnd h);
  bool Hung(Hwnd h) const;
  // A slow window: its program is busy for the next `ms` of the desktop's clock, short of hung. A
  // send that must be answered waits for it (the clock moves on) when that is within
  // kAnswerTimeoutMs, and is cancelled, not delivered, after kAnswerTimeoutMs when not; queued
  // actions and posted messages are handled, in order, when it is free again.
  void SetBusy(Hwnd h, std::uint32_t ms);
  // Activation as Windows does it: SetForegroundWindow on another program's window succeeds, but
  // the window becomes the foreground window only when that program next handles its messages
  // (a message delivered to it, or while we wait), and not before `ms` have passed when set. Our
  // own windows come forward at once. Off, every activation completes at once.
  void SetLateActivation(bool on) { lateActivation_ = on; }
  void SetActivationDelay(std::uint32_t ms) { activationDelay_ = ms; }
  // The user holds a key down (GetAsyncKeyState reads it).
  void HoldKey(std::uint8_t vk, bool held);
  // The "key ..." lines among what the window received.
  std::vector<std::string> KeysReceived(Hwnd h) const;

  std::uint32_t GetWindowThreadProcessId(Hwnd hwnd, std::uint32_t* processId) override;
  std::uint32_t GetCurrentProcessId() override;
  std::uint32_t GetProcessIntegrityLevel(std::uint32_t processId) override;

  // --- UTF-16 texts -----------------------------------------------------------------------------
  // A WM_COPYDATA is traced with its dwData and text: dwData=1 u"/answer" cb=16.
  LResult SendMessageTimeoutW(Hwnd hwnd, UInt msg, WParam wParam, LParam lParam, UInt flags,
                              UInt timeoutMs, std::uintptr_t* result) override;
  bool ShellExecuteExW(const char16_t* verb, const char16_t* file, int showCmd) override;
  long AssocQueryStringW(std::uint32_t flags, std::uint32_t str, const char16_t* assoc,
                         const char16_t* extra, std::u16string* out) override;
  // The UTF-16 text of a WM_COPYDATA a behaviour receives (up to cbData or its NUL).
  static std::u16string CopyDataWide(LParam lParam);

  // --- Calling apps -----------------------------------------------------------------------------
  // Programs started (UTF-8 command lines, in order); a start fails while startFails is set.
  std::vector<std::string> processesStarted;
  bool startFails = false;
  // Image paths of running processes, environment variables and files (UTF-8 keys).
  std::map<std::uint32_t, std::string> processImages;
  std::map<std::string, std::string> environment;
  std::map<std::string, std::string> files;
  bool IsHungAppWindow(Hwnd hwnd) override;
  std::u16string ProcessImagePath(std::uint32_t processId) override;
  bool CreateProcessW(const std::u16string& commandLine) override;
  std::u16string GetEnvironmentVariableW(const char16_t* name) override;
  std::optional<std::string> ReadFileBytes(const std::u16string& path,
                                           std::size_t maxBytes) override;

 private:
  struct RegKey {
    std::map<std::string, RegValue> values;    // by lower-case name
    std::map<std::string, std::string> names;  // lower-case -> original spelling
  };
  struct OpenKey {
    Hkey root;
    std::string path;
    bool writable;
  };
  struct Posted {
    Hwnd hwnd;
    UInt msg;
    WParam wParam;
    LParam lParam;
  };

  LResult Deliver(Hwnd hwnd, UInt msg, WParam wParam, LParam lParam);
  LResult DefaultHandling(SimWindow& w, UInt msg, WParam wParam, LParam lParam);
  std::string Describe(UInt msg, WParam wParam, LParam lParam) const;
  void Record(std::string line) { trace_.push_back(std::move(line)); }
  std::vector<Hwnd> ChildrenOf(Hwnd parent, bool recursive) const;
  static std::string Lower(std::string s);
  static std::string Quote(const char* s);
  // The path where a view's key is kept (the 32-bit view of HKLM\SOFTWARE under WOW6432Node).
  std::string Physical(Hkey root, const std::string& path, RegView view) const;
  RegKey* FindKey(Hkey root, const std::string& path);
  const RegKey* FindKey(Hkey root, const std::string& path) const;
  long OpenOrCreate(Hkey root, const char* subKey, std::uint32_t sam, Hkey* result, bool create);
  const RegValue* QueryValue(Hkey key, const std::string& name, long& rc) const;
  long SetValue(Hkey key, const std::string& name, RegValue value);

  std::map<Hwnd, SimWindow> windows_;
  std::vector<Hwnd> order_;  // creation order
  Hwnd nextHandle_ = 0x100;
  Hwnd foreground_ = 0;
  std::deque<Posted> posted_;
  std::vector<std::string> trace_;
  std::map<Hkey, std::map<std::string, RegKey>> registry_;
  std::set<Hkey> deniedFullAccess_;
  std::set<Hkey> deniedCreate_;
  std::set<std::string> refusedSets_;
  std::map<Hkey, OpenKey> openKeys_;
  Hkey nextKey_ = 0x1000;
  std::set<std::string> mutexes_;
  std::set<std::string> failedRegistrations_;
  std::set<std::string> deniedMutexes_;
  std::map<std::string, UInt> registered_;
  UInt nextRegistered_ = 0xC100;
  std::uint32_t lastError_ = 0;

  // Foreground rules, integrity levels, hung windows.
  Hwnd TopLevelOf(Hwnd h) const;
  std::uint32_t LevelOf(std::uint32_t processId) const;
  bool AboveUs(Hwnd h) const;
  void Stall(Hwnd hwnd, UInt msg, WParam wParam, LParam lParam);
  bool Busy(Hwnd h) const;
  bool WaitWhileBusy(Hwnd hwnd, std::uint32_t timeoutMs);
  // The clock moves on by ms: busy programs that come free handle what waits for them, and a
  // pending activation whose program handles messages completes.
  void Advance(std::uint32_t ms);
  void DeliverStalled();
  void CompleteActivation(std::uint32_t pumpingProcess);
  std::uint32_t now_ = 0;
  std::map<std::uint32_t, std::uint32_t> busyUntil_;  // by process
  bool lateActivation_ = true;
  std::uint32_t activationDelay_ = 0;
  Hwnd pendingForeground_ = 0;
  std::uint32_t pendingSince_ = 0;
  std::set<std::uint8_t> heldKeys_;
  bool foregroundLock_ = false;
  bool menuActive_ = false;
  bool altPressed_ = false;  // since the foreground last changed
  std::map<std::uint32_t, std::uint32_t> levels_;
  std::set<Hwnd> hung_;         // top-level windows
  std::deque<Posted> stalled_;  // sent to hung windows
};

}  // namespace telvaro::sim
