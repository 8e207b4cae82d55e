// The real Windows behind the seam: every method calls the Win32 function of the same name.
#pragma once

#include <cstdint>
#include <string>

#include "platform/WindowsApi.h"

namespace telvaro {

class RealWindowsApi final : public WindowsApi {
 public:
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
  std::uint32_t GetTickCount() override;
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

  std::uint32_t GetWindowThreadProcessId(Hwnd hwnd, std::uint32_t* processId) override;
  bool AllowSetForegroundWindow(std::uint32_t processId) override;
  std::uint32_t GetCurrentProcessId() override;
  std::uint32_t GetProcessIntegrityLevel(std::uint32_t processId) override;
  int MessageBoxA(Hwnd hwnd, const char* text, const char* caption, UInt type) override;

  LResult SendMessageTimeoutW(Hwnd hwnd, UInt msg, WParam wParam, LParam lParam, UInt flags,
                              UInt timeoutMs, std::uintptr_t* result) override;
  bool ShellExecuteExW(const char16_t* verb, const char16_t* file, int showCmd) override;
  long AssocQueryStringW(std::uint32_t flags, std::uint32_t str, const char16_t* assoc,
                         const char16_t* extra, std::u16string* out) override;

  // Calling apps.
  bool IsHungAppWindow(Hwnd hwnd) override;
  std::u16string ProcessImagePath(std::uint32_t processId) override;
  bool CreateProcessW(const std::u16string& commandLine) override;
  std::u16string GetEnvironmentVariableW(const char16_t* name) override;
  std::optional<std::string> ReadFileBytes(const std::u16string& path,
                                           std::size_t maxBytes) override;

 private:
  // Waits until the actions queued to queuedTo_'s thread have been handled (RealWindowsApi.cpp).
  void SettleQueuedActions();

  std::uint32_t ThreadOf(Hwnd hwnd);

  Hwnd queuedTo_ = 0;  // the window of the last queued action not yet waited for
  std::uint32_t queuedThread_ = 0;
  Hwnd threadWindow_ = 0;  // the window ThreadOf looked up last, and its thread
  std::uint32_t thread_ = 0;
};

}  // namespace telvaro
