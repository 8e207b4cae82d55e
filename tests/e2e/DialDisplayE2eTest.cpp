// The dial display on the real desktop: it shows the keys as they are typed into a fake X-Lite
// that stays in front throughout, its text is the window text of a static control, clicks go
// through it, and the tray icon's tooltip says the same in one line.
#include <string>
#include <vector>

#include "FakeAppKeys.h"

#include <commctrl.h>

namespace telvaro::e2e {
namespace {

using namespace fake;

constexpr int kXLiteRow = 1;
constexpr const char* kDialDisplayClass = "TELVARO.DialDisplay";

class DialDisplayE2e : public FakeAppTest {
 protected:
  HWND Display() const { return FindTopWindow(kDialDisplayClass, nullptr, telvaro_->Id()); }

  std::string DisplayText() const {
    HWND display = Display();
    return display ? WindowText(FindWindowExA(display, nullptr, "Static", nullptr)) : "";
  }

  Process* telvaro_ = nullptr;
};

// The text of the tool of `icon` in the tooltip control `tip`, asked in memory of the process
// that owns the control (Wine's tray keeps each icon's tip in such a control).
std::string ToolText(HWND tip, HWND icon) {
  DWORD processId = 0;
  GetWindowThreadProcessId(tip, &processId);
  HANDLE process =
      OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId);
  if (!process) return "";
  constexpr std::size_t kChars = 256;
  auto* remote = static_cast<char*>(
      VirtualAllocEx(process, nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
  std::string result;
  for (WPARAM i = 0; remote; ++i) {
    TTTOOLINFOW info{};
    info.cbSize = sizeof info;
    SIZE_T done = 0;
    WriteProcessMemory(process, remote, &info, sizeof info, &done);
    if (!SendMessageW(tip, TTM_ENUMTOOLSW, i, reinterpret_cast<LPARAM>(remote))) break;
    ReadProcessMemory(process, remote, &info, sizeof info, &done);
    if (info.hwnd != icon) continue;
    info.lpszText = reinterpret_cast<wchar_t*>(remote + 1024);
    WriteProcessMemory(process, remote, &info, sizeof info, &done);
    SendMessageW(tip, TTM_GETTEXTW, kChars, reinterpret_cast<LPARAM>(remote));
    wchar_t text[kChars] = {};
    ReadProcessMemory(process, remote + 1024, text, sizeof text - sizeof(wchar_t), &done);
    char narrow[kChars * 2] = {};
    WideCharToMultiByte(CP_ACP, 0, text, -1, narrow, sizeof narrow, nullptr, nullptr);
    result = narrow;
    break;
  }
  if (remote) VirtualFreeEx(process, remote, 0, MEM_RELEASE);
  CloseHandle(process);
  return result;
}

BOOL CALLBACK CollectTooltip(HWND window, LPARAM found) {
  char name[32] = {};
  GetClassNameA(window, name, sizeof name);
  if (lstrcmpiA(name, TOOLTIPS_CLASSA) == 0)
    reinterpret_cast<std::vector<HWND>*>(found)->push_back(window);
  return TRUE;
}

// The tooltip of our one tray icon, from whichever tooltip control knows it.
std::string TrayTooltip() {
  HWND icon = nullptr;
  HWND tray = nullptr;
  while (!icon &&
         (tray = FindWindowExA(nullptr, tray, "__winex11_standalone_tray", nullptr)) != nullptr) {
    HWND candidate = nullptr;
    while ((candidate = FindWindowExA(tray, candidate, "__winex11_tray_icon", nullptr))) {
      if (IsWindowVisible(candidate)) icon = candidate;
    }
  }
  if (!icon) return "(no tray icon)";
  std::vector<HWND> tips;
  EnumWindows(CollectTooltip, reinterpret_cast<LPARAM>(&tips));
  for (HWND tip : tips) {
    if (std::string text = ToolText(tip, icon); !text.empty()) return text;
  }
  return "(no tool for the icon among " + std::to_string(tips.size()) + " tooltip controls)";
}

TEST_F(DialDisplayE2e, ShowsTheKeysWhileTheApplicationStaysInFront) {
  ASSERT_NO_FATAL_FAILURE(StartFake("d"));
  ASSERT_TRUE(WriteRegString(Hive::LocalMachine, kSettingsKey, "CurrentAppIndex",
                             std::to_string(kXLiteRow)));
  telvaro_ = &LaunchTelvaro();
  ASSERT_TRUE(telvaro_->Valid());
  ASSERT_NO_FATAL_FAILURE(PlugHandset());
  ASSERT_TRUE(WaitForStatus("X-Lite is running.")) << StatusLine();
  HWND xlite = FakeWindow("X-Lite");
  ASSERT_NE(xlite, nullptr);
  ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == xlite; }))
      << "start-up brings X-Lite forward";

  KeyCheck keys(fakeLog_, HandsetLogPath());
  std::string dialled;
  for (char key : std::string("5550100")) {
    keys.Press(Keypad(key).code, KeysThenClickForHash(Keypad(key), dialled), false,
               std::string("key ") + key);
    dialled += key;
    EXPECT_EQ(GetForegroundWindow(), xlite) << "after key " << key;
  }
  keys.Finish();
  EXPECT_TRUE(WaitUntil([&] { return DisplayText().find("X-Lite: 5550100") == 0; }))
      << DisplayText();
  HWND display = Display();
  ASSERT_NE(display, nullptr);
  EXPECT_TRUE(IsWindowVisible(display));
  EXPECT_EQ(GetForegroundWindow(), xlite) << "the display took the foreground";
  RECT rect{};
  GetWindowRect(display, &rect);
  const POINT middle = {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
  EXPECT_EQ(SendMessageA(display, WM_NCHITTEST, 0, MAKELPARAM(middle.x, middle.y)),
            static_cast<LRESULT>(HTTRANSPARENT))
      << "clicks go through";
  EXPECT_EQ(SendMessageA(display, WM_MOUSEACTIVATE, 0, 0), static_cast<LRESULT>(MA_NOACTIVATE));
  EXPECT_TRUE(WaitUntil([] { return TrayTooltip() == "X-Lite: 5550100"; })) << TrayTooltip();

  // It fades out a few seconds after the last change.
  EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(display); }, Millis{15000}));
  EXPECT_EQ(GetForegroundWindow(), xlite);
}

}  // namespace
}  // namespace telvaro::e2e
