// Arbitrary bytes arriving as Skype's WM_COPYDATA at an attached client. The input is split at
// each '\n' into several messages, so that a "PROTOCOL" reply can change the checks of the ones
// after it. Event handlers answer with commands, as the main window does, so outgoing texts built
// from incoming bytes go through SendCommand too.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/MainWindowHost.h"
#include "platform/WindowsApi.h"
#include "skype/SkypeControl.h"

namespace {

using namespace telvaro;

constexpr Hwnd kMainWindow = 0x100;
constexpr Hwnd kSkypeApiWindow = 0x200;

// Just enough of Windows for the Skype client: registered messages, and a Skype API window that
// takes every command. The command bytes are read in full so a framing fault shows up under ASan.
class StubWindows : public WindowsApi {
 public:
  Hwnd FindWindowA(const char*, const char*) override { return 0; }
  Hwnd FindWindowExA(Hwnd, Hwnd, const char*, const char*) override { return 0; }
  bool EnumWindows(const EnumWindowsProc&) override { return true; }
  bool EnumChildWindows(Hwnd, const EnumWindowsProc&) override { return true; }
  int GetClassNameA(Hwnd, char*, int) override { return 0; }
  int GetWindowTextA(Hwnd, char*, int) override { return 0; }
  bool GetClientRect(Hwnd, Rect*) override { return false; }
  bool IsIconic(Hwnd) override { return false; }
  bool ShowWindow(Hwnd, int) override { return false; }
  bool SetForegroundWindow(Hwnd) override { return false; }
  Hwnd GetForegroundWindow() override { return 0; }
  LResult SendMessageA(Hwnd hwnd, UInt msg, WParam wParam, LParam lParam) override {
    LResult result = 0;
    TrySendMessageA(hwnd, msg, wParam, lParam, &result);
    return result;
  }
  bool TrySendMessageA(Hwnd hwnd, UInt msg, WParam, LParam lParam, LResult* result) override {
    *result = 0;
    if (hwnd != kSkypeApiWindow || msg != win::WM_COPYDATA) return false;
    const auto* data = reinterpret_cast<const CopyDataStruct*>(lParam);
    if (data->cbData == 0 || data->cbData > kMaxCommandLength + 1) __builtin_trap();
    const auto* bytes = static_cast<const char*>(data->lpData);
    if (bytes[data->cbData - 1] != '\0') __builtin_trap();
    checksum_ += std::strlen(bytes);
    *result = 1;
    return true;
  }
  LResult SendMessageTimeoutA(Hwnd, UInt, WParam, LParam, UInt, UInt,
                              std::uintptr_t* result) override {
    if (result != nullptr) *result = 0;
    return 1;
  }
  bool PostMessageA(Hwnd, UInt, WParam, LParam) override { return false; }
  bool SendNotifyMessageA(Hwnd, UInt, WParam, LParam) override { return true; }
  bool ReplyMessage(LResult) override { return false; }
  void keybd_event(std::uint8_t, std::uint8_t, std::uint32_t, std::uintptr_t) override {}
  std::int16_t GetAsyncKeyState(int) override { return 0; }
  UInt MapVirtualKeyA(UInt, UInt) override { return 0; }
  std::uint32_t GetTickCount() override { return ticks_ += 10; }
  void WaitServingSentMessages(std::uint32_t) override {}
  UInt RegisterWindowMessageA(const char* name) override {
    return std::strcmp(name, "SkypeControlAPIAttach") == 0 ? 0xC100 : 0xC101;
  }
  Handle CreateMutexA(bool, const char*) override { return 0; }
  std::uint32_t GetLastError() override { return 0; }
  std::string GetModuleFileNameA() override { return {}; }
  std::u16string GetModuleFileNameW() override { return {}; }
  long RegCreateKeyExA(Hkey, const char*, std::uint32_t, Hkey*) override { return 5; }
  long RegOpenKeyExA(Hkey, const char*, std::uint32_t, Hkey*) override { return 2; }
  long RegCloseKey(Hkey) override { return 0; }
  long RegQueryValueExA(Hkey, const char*, std::uint32_t*, std::uint8_t*, std::uint32_t*) override {
    return 2;
  }
  long RegSetValueExA(Hkey, const char*, std::uint32_t, const std::uint8_t*,
                      std::uint32_t) override {
    return 5;
  }
  long RegDeleteValueA(Hkey, const char*) override { return 2; }
  long RegDeleteKeyA(Hkey, const char*) override { return 2; }
  long RegDeleteKeyExA(Hkey, const char*, std::uint32_t) override { return 2; }
  long RegQueryValueExW(Hkey, const char16_t*, std::uint32_t*, std::uint8_t*,
                        std::uint32_t*) override {
    return 2;
  }
  long RegSetValueExW(Hkey, const char16_t*, std::uint32_t, const std::uint8_t*,
                      std::uint32_t) override {
    return 5;
  }
  void ShellExecuteA(Hwnd, const char*, const char*, int) override {}
  std::uint32_t GetWindowThreadProcessId(Hwnd, std::uint32_t*) override { return 0; }
  bool AllowSetForegroundWindow(std::uint32_t) override { return false; }

  int MessageBoxA(Hwnd, const char*, const char*, UInt) override { return 1; }

 private:
  std::size_t checksum_ = 0;
  std::uint32_t ticks_ = 0;
};

class StubHost : public MainWindowHost {
 public:
  Hwnd MainWindowHandle() override { return kMainWindow; }
  void HookMainWindow(MainWindowHookProc hook) override { hook_ = std::move(hook); }
  void UnhookMainWindow() override { hook_ = nullptr; }
  bool Offer(TMessage& message) { return hook_ && hook_(message); }

 private:
  MainWindowHookProc hook_;
};

// Every event does something with its arguments; a few answer with commands.
void BindEvents(TSkypeControl& c, std::size_t& seen) {
  auto notify = [&seen](TSkypeControl&) { ++seen; };
  auto text = [&seen](const std::string& s) { seen += s.size(); };
  c.OnPong = notify;
  c.OnCallHistoryChanged = notify;
  c.OnIMHistoryChanged = notify;
  c.OnError = [&seen](std::int32_t code, const std::string& d) {
    seen += d.size() + static_cast<std::size_t>(code);
  };
  c.OnUserStatus = [&seen](TSkypeUserStatus s) { seen += UserStatusWords.at(int(s)).size(); };
  c.OnUserInfo = [&seen](const std::string& u, TSkypeUserProperty p, const std::string& d) {
    seen += u.size() + d.size() + UserPropertyWords.at(int(p)).size();
  };
  c.OnName = [&c](const std::string& name) { c.PlaceCall(name); };
  c.OnProtocol = [&seen](std::int32_t p) { seen += static_cast<std::size_t>(p); };
  c.OnCallInfo = [&c](std::int32_t id, TSkypeCallProperty p, const std::string& d) {
    c.SetCallProperty(id, p, d);
    c.ReleaseButton(d);
  };
  c.OnMessageInfo = [&seen](std::int32_t, TSkypeMessageProperty p, const std::string& d) {
    seen += d.size() + MessagePropertyWords.at(int(p)).size();
  };
  c.OnConnStatus = [&seen](TSkypeConnStatus s) { seen += ConnStatusWords.at(int(s)).size(); };
  c.OnCurrentUserHandle = text;
  c.OnSearchResult = [&seen](TSkypeSearchType t, std::vector<std::string> list) {
    seen += SearchTypeWords.at(int(t)).size();
    for (const std::string& item : list) seen += item.empty() ? 1000 : item.size();
  };
  c.OnAudioInInfo = text;
  c.OnAudioOutInfo = text;
  c.OnMuteInfo = [&seen](bool m) { seen += m ? 1 : 0; };
  c.OnPrivilegeInfo = [&seen](TSkypePrivilege p, bool g) {
    seen += PrivilegeWords.at(int(p)).size() + (g ? 1 : 0);
  };
  c.OnVersionInfo = text;
  c.OnChatInfo = [&seen](const std::string& n, TSkypeChatProperty p, const std::string& d) {
    seen += n.size() + d.size() + ChatPropertyWords.at(int(p)).size();
  };
  c.OnChatMsgInfo = [&c](std::int32_t, TSkypeChatMsgProperty p, const std::string& d) {
    c.PlaceCall(std::string(ChatMsgPropertyWords.at(int(p))) + d);
  };
  c.OnNotSupportedError = text;
  c.OnCopyData = [&c](const std::string&) { c.Ping(); };
}

// One message in a buffer of exactly its own size, so any read past cbData is caught.
void Deliver(StubHost& host, const std::uint8_t* bytes, std::size_t size) {
  std::unique_ptr<std::uint8_t[]> copy(size != 0 ? new std::uint8_t[size] : nullptr);
  if (size != 0) std::memcpy(copy.get(), bytes, size);
  CopyDataStruct data;
  data.cbData = static_cast<std::uint32_t>(size);
  data.lpData = copy.get();
  TMessage message{win::WM_COPYDATA, kSkypeApiWindow, reinterpret_cast<LParam>(&data), 0};
  if (!host.Offer(message) || message.Result != 1) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  StubWindows windows;
  StubHost host;
  TSkypeControl client(windows, host);
  std::size_t seen = 0;
  BindEvents(client, seen);
  client.Attach(3);
  TMessage attach{client.AttachMessage(), kSkypeApiWindow, 0, 0};
  if (!host.Offer(attach) || !client.Attached()) __builtin_trap();

  std::size_t start = 0;
  for (std::size_t i = 0; i <= size; ++i) {
    if (i == size || data[i] == '\n') {
      Deliver(host, data + start, i - start);
      start = i + 1;
    }
  }
  return 0;
}
