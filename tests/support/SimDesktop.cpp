#include "SimDesktop.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace telvaro::sim {

namespace {

std::string Hex(std::uint64_t v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "0x%llX", static_cast<unsigned long long>(v));
  return buf;
}

std::string Hex8(std::uint64_t v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "0x%08llX", static_cast<unsigned long long>(v));
  return buf;
}

bool StartsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

const char* const kQueryPrefixes[] = {
    "GetClassNameA",
    "GetWindowTextA",
    "GetClientRect",
    "IsIconic",
    "GetForegroundWindow",
    "EnumWindows",
    "EnumChildWindows",
    "GetLastError",
    "RegQueryValueExA",
    "GetModuleFileNameA",
    "GetWindowThreadProcessId",
    "GetCurrentProcessId",
    "GetProcessIntegrityLevel",
    "RegQueryValueExW",
    "GetModuleFileNameW",
    "GetAsyncKeyState",
    "AssocQueryStringW",
};

}  // namespace

SimDesktop::SimDesktop() = default;

// --- Building ---------------------------------------------------------------------------------

Hwnd SimDesktop::AddWindow(const std::string& className, const std::string& text, Hwnd parent,
                           int clientWidth, int clientHeight) {
  SimWindow w;
  w.handle = nextHandle_;
  nextHandle_ += 2;
  w.parent = parent;
  w.className = className;
  w.text = text;
  w.clientWidth = clientWidth;
  w.clientHeight = clientHeight;
  windows_[w.handle] = w;
  order_.push_back(w.handle);
  return w.handle;
}

Hwnd SimDesktop::AddEdit(Hwnd parent, const std::string& text, int clientWidth, int clientHeight) {
  Hwnd h = AddWindow("Edit", text, parent, clientWidth, clientHeight);
  Window(h).selStart = Window(h).selEnd = static_cast<int>(text.size());
  return h;
}

Hwnd SimDesktop::AddButton(Hwnd parent, const std::string& caption, int clientWidth,
                           int clientHeight) {
  return AddWindow("Button", caption, parent, clientWidth, clientHeight);
}

void SimDesktop::DestroyWindow(Hwnd h) {
  for (Hwnd child : ChildrenOf(h, true)) windows_.erase(child);
  windows_.erase(h);
  if (foreground_ == h) foreground_ = 0;
  if (!Exists(pendingForeground_)) pendingForeground_ = 0;
}

bool SimDesktop::Exists(Hwnd h) const { return h != 0 && windows_.count(h) != 0; }

SimWindow& SimDesktop::Window(Hwnd h) {
  auto it = windows_.find(h);
  if (it == windows_.end()) throw std::out_of_range("no simulated window " + Hex(h));
  return it->second;
}

const SimWindow& SimDesktop::Window(Hwnd h) const {
  auto it = windows_.find(h);
  if (it == windows_.end()) throw std::out_of_range("no simulated window " + Hex(h));
  return it->second;
}

std::vector<Hwnd> SimDesktop::ChildrenOf(Hwnd parent, bool recursive) const {
  std::vector<Hwnd> result;
  for (Hwnd h : order_) {
    auto it = windows_.find(h);
    if (it == windows_.end() || it->second.parent != parent || h == parent) continue;
    result.push_back(h);
    if (recursive) {
      for (Hwnd grandChild : ChildrenOf(h, true)) result.push_back(grandChild);
    }
  }
  return result;
}

// --- Trace ------------------------------------------------------------------------------------

std::vector<std::string> SimDesktop::Effects() const {
  std::vector<std::string> effects;
  for (const std::string& line : trace_) {
    bool query = std::any_of(std::begin(kQueryPrefixes), std::end(kQueryPrefixes),
                             [&](const char* p) { return StartsWith(line, p); });
    if (!query) effects.push_back(line);
  }
  return effects;
}

std::string SimDesktop::Label(Hwnd h) const {
  if (h == 0) return "0";
  if (h == win::HWND_BROADCAST) return "HWND_BROADCAST";
  auto it = windows_.find(h);
  if (it == windows_.end()) return "#" + Hex(h);
  const SimWindow& w = it->second;
  if (!w.label.empty()) return w.label;
  return "\"" + w.text + "\"/" + w.className;
}

std::string SimDesktop::Quote(const char* s) { return s ? "\"" + std::string(s) + "\"" : "NULL"; }

std::string SimDesktop::MessageName(UInt msg) {
  static const std::map<UInt, const char*> kNames = {
      {win::WM_CLOSE, "WM_CLOSE"},
      {win::WM_SETFOCUS, "WM_SETFOCUS"},
      {win::WM_SETTEXT, "WM_SETTEXT"},
      {win::WM_GETTEXT, "WM_GETTEXT"},
      {win::WM_GETTEXTLENGTH, "WM_GETTEXTLENGTH"},
      {win::WM_COPYDATA, "WM_COPYDATA"},
      {win::WM_KEYDOWN, "WM_KEYDOWN"},
      {win::WM_KEYUP, "WM_KEYUP"},
      {win::WM_CHAR, "WM_CHAR"},
      {win::WM_LBUTTONDOWN, "WM_LBUTTONDOWN"},
      {win::WM_LBUTTONUP, "WM_LBUTTONUP"},
      {win::WM_DEVICECHANGE, "WM_DEVICECHANGE"},
      {win::EM_SETSEL, "EM_SETSEL"},
      {win::BM_CLICK, "BM_CLICK"},
      {win::TCM_GETCURSEL, "TCM_GETCURSEL"},
  };
  auto it = kNames.find(msg);
  return it != kNames.end() ? it->second : Hex(msg);
}

std::string SimDesktop::Describe(UInt msg, WParam wParam, LParam lParam) const {
  std::string out = MessageName(msg) + ", ";
  if (msg == win::WM_SETTEXT) {
    return out + Hex(wParam) + ", " + Quote(reinterpret_cast<const char*>(lParam));
  }
  if (msg == win::WM_GETTEXT) return out + Hex(wParam) + ", buffer";
  if (msg == win::WM_COPYDATA) {
    const auto* cds = reinterpret_cast<const CopyDataStruct*>(lParam);
    std::string text = "null";
    if (cds != nullptr && cds->lpData != nullptr) {
      const char* bytes = static_cast<const char*>(cds->lpData);
      text = "\"" + std::string(bytes, strnlen(bytes, cds->cbData)) + "\"";
    }
    return out + Label(wParam) + ", " + text + " cb=" + std::to_string(cds ? cds->cbData : 0);
  }
  return out + Hex(wParam) + ", " + Hex8(static_cast<std::uint64_t>(lParam) & 0xFFFFFFFFu);
}

// --- Messages ---------------------------------------------------------------------------------

LResult SimDesktop::Deliver(Hwnd hwnd, UInt msg, WParam wParam, LParam lParam) {
  auto it = windows_.find(hwnd);
  if (it == windows_.end()) return 0;
  // Handling a message, the program also handles its pending activation.
  CompleteActivation(ProcessOf(hwnd));
  std::string line = MessageName(msg) + " " + Hex(wParam) + " ";
  if (msg == win::WM_SETTEXT) {
    line += Quote(reinterpret_cast<const char*>(lParam));
  } else {
    line += Hex8(static_cast<std::uint64_t>(lParam) & 0xFFFFFFFFu);
  }
  it->second.received.push_back(line);
  if (it->second.behaviour) {
    bool handled = true;
    // Copy: the behaviour may destroy its own window.
    WindowBehaviour behaviour = it->second.behaviour;
    LResult result = behaviour(hwnd, msg, wParam, lParam, handled);
    if (handled) return result;
    it = windows_.find(hwnd);
    if (it == windows_.end()) return result;
  }
  return DefaultHandling(it->second, msg, wParam, lParam);
}

LResult SimDesktop::DefaultHandling(SimWindow& w, UInt msg, WParam wParam, LParam lParam) {
  const bool isEdit = w.className == "Edit";
  switch (msg) {
    case win::WM_SETTEXT:
      w.text = lParam ? reinterpret_cast<const char*>(lParam) : "";
      w.selStart = w.selEnd = isEdit ? 0 : w.selEnd;
      return 1;
    case win::WM_GETTEXTLENGTH:
      return static_cast<LResult>(w.text.size());
    case win::WM_GETTEXT: {
      if (wParam == 0 || lParam == 0) return 0;
      std::size_t n = std::min<std::size_t>(w.text.size(), wParam - 1);
      std::memcpy(reinterpret_cast<char*>(lParam), w.text.data(), n);
      reinterpret_cast<char*>(lParam)[n] = '\0';
      return static_cast<LResult>(n);
    }
    case win::WM_CLOSE:
      DestroyWindow(w.handle);
      return 0;
    case win::EM_SETSEL:
      if (!isEdit) return 0;
      w.selStart = std::clamp(static_cast<int>(wParam), 0, static_cast<int>(w.text.size()));
      w.selEnd = std::clamp(static_cast<int>(lParam), 0, static_cast<int>(w.text.size()));
      return 0;
    case win::WM_CHAR: {
      if (!isEdit) return 0;
      int from = std::min(w.selStart, w.selEnd);
      int to = std::max(w.selStart, w.selEnd);
      if (wParam == 0x08) {
        if (from == to && from > 0) --from;
        w.text.erase(from, to - from);
      } else {
        w.text.replace(from, to - from, 1, static_cast<char>(wParam));
        ++from;
      }
      w.selStart = w.selEnd = from;
      return 0;
    }
    default:
      return 0;
  }
}

LResult SimDesktop::SendMessageA(Hwnd hwnd, UInt msg, WParam wParam, LParam lParam) {
  LResult result = 0;
  TrySendMessageA(hwnd, msg, wParam, lParam, &result);
  return result;
}

// Both ways of sending are one send to the program that receives it, so both are traced as
// SendMessageA; what differs is only whether the caller hears that it was not delivered.
bool SimDesktop::TrySendMessageA(Hwnd hwnd, UInt msg, WParam wParam, LParam lParam,
                                 LResult* result) {
  Record("SendMessageA(" + Label(hwnd) + ", " + Describe(msg, wParam, lParam) + ")");
  if (result != nullptr) *result = 0;
  if (hwnd == win::HWND_BROADCAST) {
    std::vector<Hwnd> topLevel = ChildrenOf(0, false);
    for (Hwnd h : topLevel) {
      if (!AboveUs(h) && !Hung(h)) Deliver(h, msg, wParam, lParam);
    }
    if (result != nullptr) *result = 1;
    return true;
  }
  if (!Exists(hwnd) || AboveUs(hwnd)) return false;
  if (IsQueueableAction(msg) && (Hung(hwnd) || Busy(hwnd))) {
    Stall(hwnd, msg, wParam, lParam);
    return true;
  }
  if (Hung(hwnd)) return false;
  if (!WaitWhileBusy(hwnd, kAnswerTimeoutMs)) return false;
  const LResult r = Deliver(hwnd, msg, wParam, lParam);
  if (result != nullptr) *result = r;
  return true;
}

LResult SimDesktop::SendMessageTimeoutA(Hwnd hwnd, UInt msg, WParam wParam, LParam lParam,
                                        UInt flags, UInt timeoutMs, std::uintptr_t* result) {
  Record("SendMessageTimeoutA(" + Label(hwnd) + ", " + Describe(msg, wParam, lParam) + ", " +
         Hex(flags) + ", " + std::to_string(timeoutMs) + ")");
  std::uintptr_t r = 0;
  if (hwnd == win::HWND_BROADCAST) {
    for (Hwnd h : ChildrenOf(0, false)) {
      if (!AboveUs(h) && !Hung(h) && !Busy(h)) Deliver(h, msg, wParam, lParam);
    }
  } else {
    if (!Exists(hwnd) || AboveUs(hwnd) || Hung(hwnd)) return 0;
    if (Busy(hwnd)) {
      const std::uint32_t wait = busyUntil_[ProcessOf(hwnd)] - now_;
      Advance(std::min<std::uint32_t>(wait, timeoutMs));
      if (wait > timeoutMs || !Exists(hwnd)) return 0;
    }
    r = static_cast<std::uintptr_t>(Deliver(hwnd, msg, wParam, lParam));
  }
  if (result) *result = r;
  return 1;
}

// Delivered at once, as the simulated receivers answer at once; a hung receiver gets it when it
// recovers. The sender never waits either way.
bool SimDesktop::SendNotifyMessageA(Hwnd hwnd, UInt msg, WParam wParam, LParam lParam) {
  Record("SendNotifyMessageA(" + Label(hwnd) + ", " + Describe(msg, wParam, lParam) + ")");
  std::vector<Hwnd> receivers;
  if (hwnd == win::HWND_BROADCAST) {
    receivers = ChildrenOf(0, false);
  } else if (Exists(hwnd)) {
    receivers.push_back(hwnd);
  } else {
    return false;
  }
  for (Hwnd h : receivers) {
    if (AboveUs(h)) continue;
    if (Hung(h)) {
      stalled_.push_back({h, msg, wParam, lParam});
    } else {
      Deliver(h, msg, wParam, lParam);
    }
  }
  return true;
}

bool SimDesktop::PostMessageA(Hwnd hwnd, UInt msg, WParam wParam, LParam lParam) {
  Record("PostMessageA(" + Label(hwnd) + ", " + Describe(msg, wParam, lParam) + ")");
  // Windows: with no window the message goes to the calling thread's own queue (it is counted by
  // PostedCount and dropped on delivery); a missing window fails the post.
  if (hwnd != 0 && !Exists(hwnd)) return false;
  if (AboveUs(hwnd)) return true;  // dropped, and the poster is not told
  posted_.push_back({hwnd, msg, wParam, lParam});
  return true;
}

void SimDesktop::DeliverPosted() {
  std::deque<Posted> waiting;  // for hung and busy windows
  while (!posted_.empty()) {
    Posted p = posted_.front();
    posted_.pop_front();
    if (Hung(p.hwnd) || Busy(p.hwnd)) {
      waiting.push_back(p);
    } else {
      Deliver(p.hwnd, p.msg, p.wParam, p.lParam);
    }
  }
  posted_.insert(posted_.begin(), waiting.begin(), waiting.end());
}

bool SimDesktop::ReplyMessage(LResult result) {
  Record("ReplyMessage(" + std::to_string(result) + ")");
  lastReply = result;
  return true;
}

void SimDesktop::keybd_event(std::uint8_t vk, std::uint8_t scan, std::uint32_t flags,
                             std::uintptr_t extraInfo) {
  Record("keybd_event(" + Hex(vk) + ", " + std::to_string(scan) + ", " + Hex(flags) + ", " +
         std::to_string(extraInfo) + ")");
  auto it = windows_.find(foreground_);
  // Input for a program above ours is dropped before the system sees it.
  if (it != windows_.end() && AboveUs(foreground_)) return;
  const bool up = (flags & win::KEYEVENTF_KEYUP) != 0;
  if (vk == win::VK_MENU && !up) altPressed_ = true;
  if (it != windows_.end()) {
    it->second.received.push_back("key " + Hex(vk) + (up ? " up" : " down"));
  }
}

// --- Windows ----------------------------------------------------------------------------------

Hwnd SimDesktop::FindWindowA(const char* className, const char* windowName) {
  Hwnd found = 0;
  for (Hwnd h : ChildrenOf(0, false)) {
    const SimWindow& w = windows_.at(h);
    if (className && w.className != className) continue;
    if (windowName && w.text != windowName) continue;
    found = h;
    break;
  }
  Record("FindWindowA(" + Quote(className) + ", " + Quote(windowName) + ") = " + Label(found));
  return found;
}

Hwnd SimDesktop::FindWindowExA(Hwnd parent, Hwnd childAfter, const char* className,
                               const char* windowName) {
  Hwnd found = 0;
  bool passedAfter = childAfter == 0;
  for (Hwnd h : ChildrenOf(parent, false)) {
    if (!passedAfter) {
      passedAfter = h == childAfter;
      continue;
    }
    const SimWindow& w = windows_.at(h);
    if (className && w.className != className) continue;
    if (windowName && w.text != windowName) continue;
    found = h;
    break;
  }
  if (parent != 0 && !Exists(parent)) found = 0;
  Record("FindWindowExA(" + Label(parent) + ", " + Label(childAfter) + ", " + Quote(className) +
         ", " + Quote(windowName) + ") = " + Label(found));
  return found;
}

bool SimDesktop::EnumWindows(const EnumWindowsProc& proc) {
  Record("EnumWindows");
  for (Hwnd h : ChildrenOf(0, false)) {
    if (Exists(h) && !proc(h)) return false;
  }
  return true;
}

bool SimDesktop::EnumChildWindows(Hwnd parent, const EnumWindowsProc& proc) {
  Record("EnumChildWindows(" + Label(parent) + ")");
  // Windows: with no parent the call is EnumWindows, over the top-level windows.
  if (parent == 0) {
    for (Hwnd h : ChildrenOf(0, false)) {
      if (Exists(h) && !proc(h)) return false;
    }
    return true;
  }
  if (!Exists(parent)) return false;
  for (Hwnd h : ChildrenOf(parent, true)) {
    if (Exists(h) && !proc(h)) return false;
  }
  return true;
}

namespace {
// Copies at most maxCount - 1 characters and a NUL, as the real calls do.
int CopyOut(const std::string& s, char* buffer, int maxCount) {
  if (buffer == nullptr || maxCount <= 0) return 0;
  std::size_t n = std::min<std::size_t>(s.size(), static_cast<std::size_t>(maxCount - 1));
  std::memcpy(buffer, s.data(), n);
  buffer[n] = '\0';
  return static_cast<int>(n);
}
}  // namespace

int SimDesktop::GetClassNameA(Hwnd hwnd, char* buffer, int maxCount) {
  Record("GetClassNameA(" + Label(hwnd) + ", " + std::to_string(maxCount) + ")");
  if (!Exists(hwnd)) return CopyOut("", buffer, maxCount);
  return CopyOut(windows_.at(hwnd).className, buffer, maxCount);
}

int SimDesktop::GetWindowTextA(Hwnd hwnd, char* buffer, int maxCount) {
  Record("GetWindowTextA(" + Label(hwnd) + ", " + std::to_string(maxCount) + ")");
  if (!Exists(hwnd)) return CopyOut("", buffer, maxCount);
  return CopyOut(windows_.at(hwnd).text, buffer, maxCount);
}

bool SimDesktop::GetClientRect(Hwnd hwnd, Rect* rect) {
  Record("GetClientRect(" + Label(hwnd) + ")");
  if (!Exists(hwnd) || windows_.at(hwnd).clientRectFails || rect == nullptr) return false;
  const SimWindow& w = windows_.at(hwnd);
  *rect = Rect{0, 0, w.clientWidth, w.clientHeight};
  return true;
}

bool SimDesktop::IsIconic(Hwnd hwnd) {
  Record("IsIconic(" + Label(hwnd) + ")");
  return Exists(hwnd) && windows_.at(hwnd).iconic;
}

bool SimDesktop::ShowWindow(Hwnd hwnd, int cmdShow) {
  Record("ShowWindow(" + Label(hwnd) + ", " +
         (cmdShow == win::SW_RESTORE ? std::string("SW_RESTORE") : std::to_string(cmdShow)) + ")");
  if (!Exists(hwnd)) return false;
  if (cmdShow == win::SW_RESTORE) windows_.at(hwnd).iconic = false;
  return true;
}

bool SimDesktop::SetForegroundWindow(Hwnd hwnd) {
  Record("SetForegroundWindow(" + Label(hwnd) + ")");
  if (!Exists(hwnd)) return false;
  if (foregroundLock_) {
    const bool nobodyInFront = !Exists(foreground_);
    const bool weAreInFront = !nobodyInFront && ProcessOf(foreground_) == kOurProcess;
    const bool already = hwnd == foreground_;
    if (!already && (menuActive_ || !(nobodyInFront || weAreInFront || altPressed_))) {
      return false;
    }
  }
  altPressed_ = false;
  if (hwnd == foreground_) return true;
  if (!lateActivation_ || ProcessOf(hwnd) == kOurProcess) {
    foreground_ = hwnd;
    pendingForeground_ = 0;
    return true;
  }
  pendingForeground_ = hwnd;
  pendingSince_ = now_;
  return true;
}

Hwnd SimDesktop::GetForegroundWindow() {
  Record("GetForegroundWindow");
  return foreground_;
}

std::int16_t SimDesktop::GetAsyncKeyState(int vk) {
  Record("GetAsyncKeyState(" + Hex(static_cast<std::uint64_t>(vk)) + ")");
  const bool held = vk >= 0 && vk < 256 && heldKeys_.count(static_cast<std::uint8_t>(vk)) != 0;
  return held ? static_cast<std::int16_t>(0x8000) : std::int16_t{0};
}

UInt SimDesktop::MapVirtualKeyA(UInt code, UInt mapType) {
  // The scan codes of a US keyboard for the keys the program presses itself.
  static const std::map<UInt, UInt> kScanCodes = {{win::VK_MENU, 0x38}, {win::VK_SHIFT, 0x2A}};
  auto it = kScanCodes.find(code);
  return mapType == win::MAPVK_VK_TO_VSC && it != kScanCodes.end() ? it->second : 0;
}

void SimDesktop::HoldKey(std::uint8_t vk, bool held) {
  if (held) {
    heldKeys_.insert(vk);
  } else {
    heldKeys_.erase(vk);
  }
}

void SimDesktop::WaitServingSentMessages(std::uint32_t timeoutMs) { Advance(timeoutMs); }

UInt SimDesktop::RegisterWindowMessageA(const char* name) {
  std::string key = name ? name : "";
  UInt number = 0;
  if (!key.empty() && failedRegistrations_.count(key) == 0) {
    auto [it, inserted] = registered_.try_emplace(key, nextRegistered_);
    if (inserted) ++nextRegistered_;
    number = it->second;
  }
  Record("RegisterWindowMessageA(" + Quote(name) + ") = " + Hex(number));
  return number;
}

// --- Kernel -----------------------------------------------------------------------------------

Handle SimDesktop::CreateMutexA(bool initialOwner, const char* name) {
  Record(std::string("CreateMutexA(") + (initialOwner ? "TRUE" : "FALSE") + ", " + Quote(name) +
         ")");
  std::string key = name ? name : "";
  if (deniedMutexes_.count(key) != 0) {
    lastError_ = win::ERROR_ACCESS_DENIED;
    return 0;
  }
  lastError_ = mutexes_.count(key) ? win::ERROR_ALREADY_EXISTS : 0;
  mutexes_.insert(key);
  return 0x44;
}

std::uint32_t SimDesktop::GetLastError() {
  Record("GetLastError");
  return lastError_;
}

std::string SimDesktop::GetModuleFileNameA() {
  Record("GetModuleFileNameA");
  return wideModulePath.empty() ? modulePath : Narrow(wideModulePath);
}

std::u16string SimDesktop::GetModuleFileNameW() {
  Record("GetModuleFileNameW");
  return wideModulePath.empty() ? Widen(modulePath) : wideModulePath;
}

int SimDesktop::MessageBoxA(Hwnd hwnd, const char* text, const char* caption, UInt type) {
  Record("MessageBoxA(" + Label(hwnd) + ", " + Quote(text) + ", " + Quote(caption) + ", " +
         Hex(type) + ")");
  messageBoxes.push_back(text ? text : "");
  return 1;  // IDOK
}

void SimDesktop::ShellExecuteA(Hwnd hwnd, const char* verb, const char* file, int showCmd) {
  Record("ShellExecuteA(" + Label(hwnd) + ", " + Quote(verb) + ", " + Quote(file) + ", " +
         std::to_string(showCmd) + ")");
  shellExecuted.push_back(file ? file : "");
}

// --- Registry ---------------------------------------------------------------------------------

std::string SimDesktop::Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::u16string SimDesktop::Widen(const std::string& ansi) {
  std::u16string wide;
  for (char c : ansi) wide.push_back(static_cast<char16_t>(static_cast<unsigned char>(c)));
  return wide;
}

std::string SimDesktop::Narrow(const std::u16string& wide) {
  std::string ansi;
  for (char16_t c : wide) ansi.push_back(c < 0x100 ? static_cast<char>(c) : '?');
  return ansi;
}

std::string SimDesktop::Utf8(const std::u16string& wide) {
  std::string out;
  for (char16_t c : wide) {
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xE0 | (c >> 12)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

namespace {

std::string RootName(Hkey root) {
  if (root == win::HKEY_LOCAL_MACHINE) return "HKLM";
  if (root == win::HKEY_CURRENT_USER) return "HKCU";
  return "key#" + std::to_string(root);
}

bool IsText(std::uint32_t type) { return type == win::REG_SZ || type == win::REG_EXPAND_SZ; }

std::vector<std::uint8_t> WideBytes(const std::u16string& text) {
  std::vector<std::uint8_t> bytes;
  for (char16_t c : text) {
    bytes.push_back(static_cast<std::uint8_t>(c & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(c >> 8));
  }
  return bytes;
}

std::u16string WideText(const std::vector<std::uint8_t>& bytes) {
  std::u16string text;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    text.push_back(static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8)));
  }
  return text;
}

std::u16string UpToNul(std::u16string text) { return text.substr(0, text.find(u'\0')); }

}  // namespace

std::string SimDesktop::Physical(Hkey root, const std::string& path, RegView view) const {
  std::string lower = Lower(path);
  if (!windows64 || root != win::HKEY_LOCAL_MACHINE || view != RegView::Bit32) return lower;
  if (lower != "software" && lower.rfind("software\\", 0) != 0) return lower;
  if (lower.rfind("software\\wow6432node", 0) == 0) return lower;
  return "software\\wow6432node" + lower.substr(std::string("software").size());
}

SimDesktop::RegKey* SimDesktop::FindKey(Hkey root, const std::string& path) {
  auto r = registry_.find(root);
  if (r == registry_.end()) return nullptr;
  auto k = r->second.find(Lower(path));
  return k == r->second.end() ? nullptr : &k->second;
}

const SimDesktop::RegKey* SimDesktop::FindKey(Hkey root, const std::string& path) const {
  auto r = registry_.find(root);
  if (r == registry_.end()) return nullptr;
  auto k = r->second.find(Lower(path));
  return k == r->second.end() ? nullptr : &k->second;
}

void SimDesktop::DenyFullAccess(Hkey root) { deniedFullAccess_.insert(root); }
void SimDesktop::DenyCreate(Hkey root) { deniedCreate_.insert(root); }

void SimDesktop::CreateRegKey(Hkey root, const std::string& path, RegView view) {
  registry_[root][Physical(root, path, view)];
}

void SimDesktop::SetRegRaw(Hkey root, const std::string& path, const std::string& name,
                           std::uint32_t type, std::vector<std::uint8_t> data, RegView view) {
  RegKey& key = registry_[root][Physical(root, path, view)];
  key.values[Lower(name)] = RegValue{type, std::move(data), false};
  key.names[Lower(name)] = name;
}

void SimDesktop::SetRegString(Hkey root, const std::string& path, const std::string& name,
                              const std::string& value, std::uint32_t type, RegView view) {
  std::vector<std::uint8_t> data(value.begin(), value.end());
  data.push_back(0);
  SetRegRaw(root, path, name, type, std::move(data), view);
}

void SimDesktop::SetRegWideString(Hkey root, const std::string& path, const std::string& name,
                                  const std::u16string& value, RegView view) {
  SetRegRaw(root, path, name, win::REG_SZ, WideBytes(value + u'\0'), view);
  registry_[root][Physical(root, path, view)].values[Lower(name)].wide = true;
}

bool SimDesktop::HasRegKey(Hkey root, const std::string& path, RegView view) const {
  return FindKey(root, Physical(root, path, view)) != nullptr;
}

const SimDesktop::RegValue* SimDesktop::FindRegValue(Hkey root, const std::string& path,
                                                     const std::string& name, RegView view) const {
  const RegKey* key = FindKey(root, Physical(root, path, view));
  if (!key) return nullptr;
  auto it = key->values.find(Lower(name));
  return it == key->values.end() ? nullptr : &it->second;
}

bool SimDesktop::HasRegValue(Hkey root, const std::string& path, const std::string& name,
                             RegView view) const {
  return FindRegValue(root, path, name, view) != nullptr;
}

std::string SimDesktop::RegString(Hkey root, const std::string& path, const std::string& name,
                                  RegView view) const {
  const RegValue* value = FindRegValue(root, path, name, view);
  if (!value) return "";
  if (value->wide) return Narrow(UpToNul(WideText(value->data)));
  std::string s(value->data.begin(), value->data.end());
  return s.substr(0, s.find('\0'));
}

std::u16string SimDesktop::RegWideString(Hkey root, const std::string& path,
                                         const std::string& name, RegView view) const {
  const RegValue* value = FindRegValue(root, path, name, view);
  if (!value) return u"";
  if (value->wide) return UpToNul(WideText(value->data));
  return UpToNul(Widen(std::string(value->data.begin(), value->data.end())));
}

std::size_t SimDesktop::RegValueCount(Hkey root, const std::string& path, RegView view) const {
  const RegKey* key = FindKey(root, Physical(root, path, view));
  return key ? key->values.size() : 0;
}

long SimDesktop::OpenOrCreate(Hkey root, const char* subKey, std::uint32_t sam, Hkey* result,
                              bool create) {
  std::string path = subKey ? subKey : "";
  const bool wantsWrite = (sam & 0x0006) != 0;  // KEY_SET_VALUE | KEY_CREATE_SUB_KEY
  RegView view = program64 ? RegView::Bit64 : RegView::Bit32;
  if (sam & win::KEY_WOW64_32KEY) view = RegView::Bit32;
  if (sam & win::KEY_WOW64_64KEY) view = RegView::Bit64;
  const std::string physical = Physical(root, path, view);
  long rc = win::ERROR_SUCCESS;
  if (result) *result = 0;
  if (!path.empty() && path.front() == '\\') {
    rc = 161;  // ERROR_BAD_PATHNAME
  } else if ((sam & win::KEY_WOW64_32KEY) && (sam & win::KEY_WOW64_64KEY)) {
    rc = 87;  // ERROR_INVALID_PARAMETER
  } else if (wantsWrite && deniedFullAccess_.count(root)) {
    rc = win::ERROR_ACCESS_DENIED;
  } else if (!FindKey(root, physical)) {
    if (!create) {
      rc = win::ERROR_FILE_NOT_FOUND;
    } else if (deniedCreate_.count(root)) {
      rc = win::ERROR_ACCESS_DENIED;
    } else {
      registry_[root][physical];
    }
  }
  if (rc == win::ERROR_SUCCESS && result) {
    Hkey handle = nextKey_++;
    openKeys_[handle] = OpenKey{root, physical, wantsWrite};
    *result = handle;
  }
  return rc;
}

long SimDesktop::RegCreateKeyExA(Hkey root, const char* subKey, std::uint32_t samDesired,
                                 Hkey* result) {
  long rc = OpenOrCreate(root, subKey, samDesired, result, true);
  Record("RegCreateKeyExA(" + RootName(root) + ", " + Quote(subKey) + ", " + Hex(samDesired) +
         ") = " + std::to_string(rc));
  return rc;
}

long SimDesktop::RegOpenKeyExA(Hkey root, const char* subKey, std::uint32_t samDesired,
                               Hkey* result) {
  long rc = OpenOrCreate(root, subKey, samDesired, result, false);
  Record("RegOpenKeyExA(" + RootName(root) + ", " + Quote(subKey) + ", " + Hex(samDesired) +
         ") = " + std::to_string(rc));
  return rc;
}

long SimDesktop::RegCloseKey(Hkey key) {
  Record("RegCloseKey");
  return openKeys_.erase(key) ? win::ERROR_SUCCESS : 6;  // ERROR_INVALID_HANDLE
}

const SimDesktop::RegValue* SimDesktop::QueryValue(Hkey key, const std::string& name,
                                                   long& rc) const {
  auto open = openKeys_.find(key);
  rc = 6;  // ERROR_INVALID_HANDLE
  if (open == openKeys_.end()) return nullptr;
  rc = win::ERROR_FILE_NOT_FOUND;
  const RegKey* k = FindKey(open->second.root, open->second.path);
  if (!k) return nullptr;
  auto it = k->values.find(Lower(name));
  if (it == k->values.end()) return nullptr;
  rc = win::ERROR_SUCCESS;
  return &it->second;
}

namespace {

// The copy-out rules of RegQueryValueEx: the size alone when there is no buffer, ERROR_MORE_DATA
// and the size needed when the buffer is too small.
long CopyOut(const std::vector<std::uint8_t>& bytes, std::uint8_t* data, std::uint32_t* dataSize) {
  const auto size = static_cast<std::uint32_t>(bytes.size());
  if (data == nullptr) {
    if (dataSize) *dataSize = size;
    return win::ERROR_SUCCESS;
  }
  if (dataSize == nullptr) return 87;  // ERROR_INVALID_PARAMETER
  if (*dataSize < size) {
    *dataSize = size;
    return win::ERROR_MORE_DATA;
  }
  if (size != 0) std::memcpy(data, bytes.data(), size);
  *dataSize = size;
  return win::ERROR_SUCCESS;
}

}  // namespace

long SimDesktop::RegQueryValueExA(Hkey key, const char* valueName, std::uint32_t* type,
                                  std::uint8_t* data, std::uint32_t* dataSize) {
  Record("RegQueryValueExA(" + Quote(valueName) + ")");
  long rc = 0;
  const RegValue* v = QueryValue(key, valueName ? valueName : "", rc);
  if (!v) return rc;
  if (type) *type = v->type;
  if (v->wide && IsText(v->type)) {
    const std::string ansi = Narrow(WideText(v->data));
    return CopyOut(std::vector<std::uint8_t>(ansi.begin(), ansi.end()), data, dataSize);
  }
  return CopyOut(v->data, data, dataSize);
}

long SimDesktop::RegQueryValueExW(Hkey key, const char16_t* valueName, std::uint32_t* type,
                                  std::uint8_t* data, std::uint32_t* dataSize) {
  const std::string name = valueName ? Narrow(valueName) : "";
  Record("RegQueryValueExW(" + Quote(valueName ? name.c_str() : nullptr) + ")");
  long rc = 0;
  const RegValue* v = QueryValue(key, name, rc);
  if (!v) return rc;
  if (type) *type = v->type;
  if (!v->wide && IsText(v->type)) {
    return CopyOut(WideBytes(Widen(std::string(v->data.begin(), v->data.end()))), data, dataSize);
  }
  return CopyOut(v->data, data, dataSize);
}

long SimDesktop::SetValue(Hkey key, const std::string& name, RegValue value) {
  auto open = openKeys_.find(key);
  if (open == openKeys_.end()) return 6;
  if (!open->second.writable || refusedSets_.count(Lower(name))) return win::ERROR_ACCESS_DENIED;
  RegKey& k = registry_[open->second.root][open->second.path];
  k.values[Lower(name)] = std::move(value);
  k.names[Lower(name)] = name;
  return win::ERROR_SUCCESS;
}

long SimDesktop::RegSetValueExA(Hkey key, const char* valueName, std::uint32_t type,
                                const std::uint8_t* data, std::uint32_t dataSize) {
  std::string shown(reinterpret_cast<const char*>(data), data ? dataSize : 0);
  Record("RegSetValueExA(" + Quote(valueName) + ", " + std::to_string(type) + ", " +
         Quote(shown.substr(0, shown.find('\0')).c_str()) + ", " + std::to_string(dataSize) + ")");
  std::vector<std::uint8_t> bytes(data, data + (data ? dataSize : 0));
  return SetValue(key, valueName ? valueName : "", RegValue{type, std::move(bytes), false});
}

long SimDesktop::RegSetValueExW(Hkey key, const char16_t* valueName, std::uint32_t type,
                                const std::uint8_t* data, std::uint32_t dataSize) {
  std::vector<std::uint8_t> bytes(data, data + (data ? dataSize : 0));
  const std::string name = valueName ? Narrow(valueName) : "";
  Record("RegSetValueExW(" + Quote(valueName ? name.c_str() : nullptr) + ", " +
         std::to_string(type) + ", " + Quote(Utf8(UpToNul(WideText(bytes))).c_str()) + ", " +
         std::to_string(dataSize) + ")");
  return SetValue(key, name, RegValue{type, std::move(bytes), IsText(type)});
}

long SimDesktop::RegDeleteValueA(Hkey key, const char* valueName) {
  Record("RegDeleteValueA(" + Quote(valueName) + ")");
  auto open = openKeys_.find(key);
  if (open == openKeys_.end()) return 6;
  if (!open->second.writable) return win::ERROR_ACCESS_DENIED;
  RegKey* k = FindKey(open->second.root, open->second.path);
  if (!k || k->values.erase(Lower(valueName ? valueName : "")) == 0) {
    return win::ERROR_FILE_NOT_FOUND;
  }
  return win::ERROR_SUCCESS;
}

long SimDesktop::RegDeleteKeyA(Hkey key, const char* subKey) {
  Record("RegDeleteKeyA(" + Quote(subKey) + ")");
  auto open = openKeys_.find(key);
  if (open == openKeys_.end()) return 6;
  std::string path = open->second.path;
  if (subKey && *subKey) path += (path.empty() ? "" : "\\") + Lower(subKey);
  auto& root = registry_[open->second.root];
  return root.erase(path) ? win::ERROR_SUCCESS : win::ERROR_FILE_NOT_FOUND;
}

// --- Foreground rules, integrity levels, hung windows -------------------------------------------

Hwnd SimDesktop::TopLevelOf(Hwnd h) const {
  for (;;) {
    auto it = windows_.find(h);
    if (it == windows_.end() || it->second.parent == 0) return h;
    h = it->second.parent;
  }
}

std::uint32_t SimDesktop::ProcessOf(Hwnd h) const {
  const Hwnd top = TopLevelOf(h);
  auto it = windows_.find(top);
  if (it == windows_.end()) return 0;
  return it->second.processId != 0 ? it->second.processId : static_cast<std::uint32_t>(top);
}

std::uint32_t SimDesktop::LevelOf(std::uint32_t processId) const {
  auto it = levels_.find(processId);
  return it != levels_.end() ? it->second : kMediumLevel;
}

bool SimDesktop::AboveUs(Hwnd h) const {
  return Exists(h) && LevelOf(ProcessOf(h)) > LevelOf(kOurProcess);
}

void SimDesktop::Hang(Hwnd h) { hung_.insert(TopLevelOf(h)); }

bool SimDesktop::Hung(Hwnd h) const { return Exists(h) && hung_.count(TopLevelOf(h)) != 0; }

void SimDesktop::Stall(Hwnd hwnd, UInt msg, WParam wParam, LParam lParam) {
  stalled_.push_back({hwnd, msg, wParam, lParam});
}

void SimDesktop::DeliverStalled() {
  std::deque<Posted> still;
  while (!stalled_.empty()) {
    const Posted s = stalled_.front();
    stalled_.pop_front();
    if (Hung(s.hwnd) || Busy(s.hwnd)) {
      still.push_back(s);
    } else {
      Deliver(s.hwnd, s.msg, s.wParam, s.lParam);
    }
  }
  stalled_ = std::move(still);
}

void SimDesktop::Recover(Hwnd h) {
  hung_.erase(TopLevelOf(h));
  DeliverStalled();
  DeliverPosted();
}

// A send to a busy program waits until it is free or the timeout ends; cancelled unpicked after
// the timeout, and the window may be gone once the program is free.
bool SimDesktop::WaitWhileBusy(Hwnd hwnd, std::uint32_t timeoutMs) {
  if (!Busy(hwnd)) return true;
  const std::uint32_t wait = busyUntil_[ProcessOf(hwnd)] - now_;
  Advance(std::min(wait, timeoutMs));
  return wait <= timeoutMs && Exists(hwnd);
}

void SimDesktop::SetBusy(Hwnd h, std::uint32_t ms) { busyUntil_[ProcessOf(h)] = now_ + ms; }

bool SimDesktop::Busy(Hwnd h) const {
  auto it = busyUntil_.find(ProcessOf(h));
  return Exists(h) && it != busyUntil_.end() && it->second > now_;
}

void SimDesktop::Advance(std::uint32_t ms) {
  now_ += ms;
  // What waited for a program that is free now is handled first, in order, and with it the
  // program handles its pending activation.
  DeliverStalled();
  if (Exists(pendingForeground_)) CompleteActivation(ProcessOf(pendingForeground_));
}

void SimDesktop::CompleteActivation(std::uint32_t pumpingProcess) {
  const Hwnd target = pendingForeground_;
  if (!Exists(target) || ProcessOf(target) != pumpingProcess) return;
  if (Hung(target) || Busy(target) || now_ - pendingSince_ < activationDelay_) return;
  foreground_ = target;
  pendingForeground_ = 0;
}

std::vector<std::string> SimDesktop::KeysReceived(Hwnd h) const {
  std::vector<std::string> keys;
  for (const std::string& line : Window(h).received) {
    if (StartsWith(line, "key ")) keys.push_back(line);
  }
  return keys;
}

std::uint32_t SimDesktop::GetWindowThreadProcessId(Hwnd hwnd, std::uint32_t* processId) {
  const std::uint32_t process = Exists(hwnd) ? ProcessOf(hwnd) : 0;
  Record("GetWindowThreadProcessId(" + Label(hwnd) + ") = " + Hex(process));
  if (processId != nullptr) *processId = process;
  return process;  // one thread per program
}

std::uint32_t SimDesktop::GetCurrentProcessId() {
  Record("GetCurrentProcessId");
  return kOurProcess;
}

std::uint32_t SimDesktop::GetProcessIntegrityLevel(std::uint32_t processId) {
  const std::uint32_t level = processId != 0 ? LevelOf(processId) : 0;
  Record("GetProcessIntegrityLevel(" + std::to_string(processId) + ") = " + Hex(level));
  return level;
}

bool SimDesktop::AllowSetForegroundWindow(std::uint32_t processId) {
  Record("AllowSetForegroundWindow(" + Hex(processId) + ")");
  foregroundAllowedFor = processId;
  return true;
}

long SimDesktop::RegDeleteKeyExA(Hkey key, const char* subKey, std::uint32_t samDesired) {
  Record("RegDeleteKeyExA(" + Quote(subKey) + ", " + Hex(samDesired) + ")");
  auto open = openKeys_.find(key);
  if (open == openKeys_.end()) return 6;
  // Below an open key its view is already chosen.
  std::string path = open->second.path;
  if (subKey && *subKey) path += (path.empty() ? "" : "\\") + Lower(subKey);
  auto& root = registry_[open->second.root];
  return root.erase(path) ? win::ERROR_SUCCESS : win::ERROR_FILE_NOT_FOUND;
}

// --- UTF-16 texts -------------------------------------------------------------------------------

std::u16string SimDesktop::CopyDataWide(LParam lParam) {
  const auto* cds = reinterpret_cast<const CopyDataStruct*>(lParam);
  if (cds == nullptr || cds->lpData == nullptr) return {};
  const auto* units = static_cast<const char16_t*>(cds->lpData);
  std::u16string text(units, cds->cbData / sizeof(char16_t));
  return text.substr(0, text.find(u'\0'));
}

LResult SimDesktop::SendMessageTimeoutW(Hwnd hwnd, UInt msg, WParam wParam, LParam lParam,
                                        UInt flags, UInt timeoutMs, std::uintptr_t* result) {
  std::string body = MessageName(msg) + ", " + Hex(wParam) + ", ";
  if (msg == win::WM_COPYDATA) {
    const auto* cds = reinterpret_cast<const CopyDataStruct*>(lParam);
    body += cds == nullptr
                ? std::string("null")
                : "dwData=" + std::to_string(cds->dwData) + " u\"" + Utf8(CopyDataWide(lParam)) +
                      "\" cb=" + std::to_string(cds->cbData);
  } else {
    body += Hex8(static_cast<std::uint64_t>(lParam) & 0xFFFFFFFFu);
  }
  Record("SendMessageTimeoutW(" + Label(hwnd) + ", " + body + ", " + Hex(flags) + ", " +
         std::to_string(timeoutMs) + ")");
  if (result != nullptr) *result = 0;
  // A message with a pointer cannot wait in a hung program's queue: it is not delivered.
  if (!Exists(hwnd) || AboveUs(hwnd) || Hung(hwnd)) return 0;
  if (!WaitWhileBusy(hwnd, timeoutMs)) return 0;
  const LResult r = Deliver(hwnd, msg, wParam, lParam);
  if (result != nullptr) *result = static_cast<std::uintptr_t>(r);
  return 1;
}

bool SimDesktop::ShellExecuteExW(const char16_t* verb, const char16_t* file, int showCmd) {
  const std::string target = file != nullptr ? Utf8(file) : "";
  Record("ShellExecuteExW(" + Quote(verb ? Utf8(verb).c_str() : nullptr) + ", " +
         Quote(file ? target.c_str() : nullptr) + ", " + std::to_string(showCmd) + ")");
  const std::size_t colon = target.find(':');
  if (colon == std::string::npos || protocolHandlers.count(Lower(target.substr(0, colon))) == 0) {
    return false;
  }
  linksOpened.push_back(target);
  return true;
}

long SimDesktop::AssocQueryStringW(std::uint32_t flags, std::uint32_t str, const char16_t* assoc,
                                   const char16_t* extra, std::u16string* out) {
  const std::string name = assoc != nullptr ? Utf8(assoc) : "";
  Record("AssocQueryStringW(" + Hex(flags) + ", " + std::to_string(str) + ", " +
         Quote(assoc ? name.c_str() : nullptr) + ", " +
         Quote(extra ? Utf8(extra).c_str() : nullptr) + ")");
  constexpr long kInvalidArg = static_cast<long>(0x80070057);
  constexpr long kNoAssociation = static_cast<long>(0x80070483);
  if (refusesProtocolFlag && (flags & win::ASSOCF_IS_PROTOCOL) != 0) return kInvalidArg;
  auto it = protocolHandlers.find(Lower(name));
  if (str != win::ASSOCSTR_COMMAND || it == protocolHandlers.end()) return kNoAssociation;
  if (out != nullptr) *out = Widen(it->second);
  return win::S_OK;
}

// --- Calling apps -------------------------------------------------------------------------------

namespace {
// The simulated programs' paths and values are ASCII.
std::u16string Utf16(const std::string& ascii) { return {ascii.begin(), ascii.end()}; }
}  // namespace

bool SimDesktop::IsHungAppWindow(Hwnd hwnd) { return Hung(hwnd); }

std::u16string SimDesktop::ProcessImagePath(std::uint32_t processId) {
  const auto found = processImages.find(processId);
  return found == processImages.end() ? std::u16string{} : Utf16(found->second);
}

bool SimDesktop::CreateProcessW(const std::u16string& commandLine) {
  Record("CreateProcessW(" + Quote(Utf8(commandLine).c_str()) + ")");
  if (startFails) return false;
  processesStarted.push_back(Utf8(commandLine));
  return true;
}

std::u16string SimDesktop::GetEnvironmentVariableW(const char16_t* name) {
  const auto found = environment.find(name != nullptr ? Utf8(name) : "");
  return found == environment.end() ? std::u16string{} : Utf16(found->second);
}

std::optional<std::string> SimDesktop::ReadFileBytes(const std::u16string& path,
                                                     std::size_t maxBytes) {
  const auto found = files.find(Utf8(path));
  if (found == files.end()) return std::nullopt;
  return found->second.substr(0, maxBytes);
}

}  // namespace telvaro::sim
