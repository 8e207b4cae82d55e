// telvaro.exe's own window for real: its size and text at the screen's DPI, the caption's close
// box, a WM_CLOSE from another program, and the keyboard.
//
// WindowDpi runs in the usual prefix (96 DPI) and again as e2e.WindowDpi192 in a prefix of its
// own whose screen is set to 192 DPI (TELVARO_E2E_DPI then names the DPI the suite must find).
#include <gmock/gmock.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "../../src/shell/win32/ViewIds.h"
#include "E2e.h"

namespace telvaro::e2e {
namespace {

constexpr int kBaseDpi = 96;

int Scaled(int value, int dpi) { return MulDiv(value, dpi, kBaseDpi); }

class WindowShell : public E2eTest {
 protected:
  void SetUp() override {
    // Our own coordinates must be real pixels, not the ones Windows makes up for programs that do
    // not know about DPI.
    SetProcessDPIAware();
    E2eTest::SetUp();
  }
  void TearDown() override {
    E2eTest::TearDown();
    ResetSettings();
  }

  HWND Main() { return FindTopWindow(kMainWindowClass, kMainWindowTitle); }
  HWND Control(int id) { return GetDlgItem(Main(), id); }

  // "&Open TELVARO" from the tray menu; true once the window shows.
  bool Open() {
    PostMessageA(Main(), WM_COMMAND, MAKEWPARAM(view::kMenuRestoreId, 0), 0);
    return WaitUntil([&] { return IsWindowVisible(Main()) != FALSE; });
  }

  // A control's rectangle in the main window's client coordinates.
  RECT PlaceOf(HWND control) {
    RECT r{};
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, Main(), reinterpret_cast<POINT*>(&r), 2);
    return r;
  }

  HWND Focus() {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(Main(), nullptr), &info)) return nullptr;
    return info.hwndFocus;
  }

  // Whether the shell knows TELVARO's tray icon: a modify that changes nothing succeeds only for
  // an icon it has.
  bool TrayIconShown() {
    NOTIFYICONDATAA data{};
    data.cbSize = sizeof data;
    data.hWnd = Main();
    data.uID = view::kTrayIconId;
    return Shell_NotifyIconA(NIM_MODIFY, &data) != FALSE;
  }

  static void Key(WORD vk, bool shift = false) {
    if (shift) keybd_event(VK_SHIFT, 0, 0, 0);
    keybd_event(static_cast<BYTE>(vk), 0, 0, 0);
    keybd_event(static_cast<BYTE>(vk), 0, KEYEVENTF_KEYUP, 0);
    if (shift) keybd_event(VK_SHIFT, 0, KEYEVENTF_KEYUP, 0);
  }
};

// The window's font as the layout asks for it: Arial, 12 px at 96 DPI, scaled.
class Measure {
 public:
  explicit Measure(int dpi) : dc_(CreateCompatibleDC(nullptr)) {
    font_ = CreateFontA(-Scaled(12, dpi), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET, 0,
                        0, 0, 0, "Arial");
    old_ = SelectObject(dc_, font_);
    GetTextMetricsA(dc_, &metrics_);
  }
  ~Measure() {
    SelectObject(dc_, old_);
    DeleteObject(font_);
    DeleteDC(dc_);
  }
  Measure(const Measure&) = delete;
  Measure& operator=(const Measure&) = delete;

  int Height() const { return metrics_.tmHeight; }
  int Width(const std::wstring& text) const {
    SIZE size{};
    GetTextExtentPoint32W(dc_, text.c_str(), static_cast<int>(text.size()), &size);
    return size.cx;
  }

 private:
  HDC dc_;
  HFONT font_;
  HGDIOBJ old_;
  TEXTMETRICA metrics_{};
};

std::wstring WideText(HWND window) {
  wchar_t text[256] = {};
  // Common controls are Unicode windows across processes.
  const LRESULT length = SendMessageW(window, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(text));
  return length > 0 ? std::wstring(text, static_cast<std::size_t>(length)) : std::wstring();
}

// The logo as the screen shows it: true when its first and last columns are the blue fill only
// and there is white text between them.
bool LogoEdgesAreBlue(HWND logo) {
  RECT r{};
  GetWindowRect(logo, &r);
  const int width = r.right - r.left;
  const int height = r.bottom - r.top;
  HDC screen = GetDC(nullptr);
  HDC copy = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ old = SelectObject(copy, bitmap);
  BitBlt(copy, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
  bool edgesBlue = true;
  bool white = false;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const COLORREF c = GetPixel(copy, x, y);
      if ((x == 0 || x == width - 1) && c != RGB(0x1F, 0x4E, 0x8C)) edgesBlue = false;
      if (c == RGB(0xFF, 0xFF, 0xFF)) white = true;
    }
  }
  SelectObject(copy, old);
  DeleteObject(bitmap);
  DeleteDC(copy);
  ReleaseDC(nullptr, screen);
  return edgesBlue && white;
}

using WindowDpi = WindowShell;

TEST_F(WindowDpi, TheClientAreaAndEveryControlAreScaledAndEveryTextFits) {
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  if (const char* wanted = std::getenv("TELVARO_E2E_DPI")) {
    ASSERT_EQ(dpi, std::atoi(wanted)) << "the prefix's LogPixels did not take";
  }
  ASSERT_TRUE(LaunchTelvaro().Valid());
  ASSERT_TRUE(Open());

  RECT client{};
  GetClientRect(Main(), &client);
  EXPECT_EQ(client.right, Scaled(210, dpi)) << dpi << " DPI";
  EXPECT_EQ(client.bottom, Scaled(117, dpi)) << dpi << " DPI";

  const Measure text(dpi);
  // The check box: its box, a gap, then the caption.
  HWND autoRun = Control(view::kAutoRunCheckBoxId);
  const RECT check = PlaceOf(autoRun);
  EXPECT_EQ(check.left, Scaled(8, dpi));
  EXPECT_EQ(check.right - check.left, Scaled(121, dpi));
  EXPECT_EQ(check.bottom - check.top, Scaled(25, dpi));
  EXPECT_LE(Scaled(13 + 4, dpi) + text.Width(L"Automatically run"), check.right - check.left)
      << "the check box's caption is cut";
  EXPECT_LE(text.Height(), check.bottom - check.top);

  const RECT logo = PlaceOf(Control(view::kLogoId));
  EXPECT_EQ(logo.left, Scaled(144, dpi));
  EXPECT_EQ(logo.right - logo.left, Scaled(59, dpi));
  EXPECT_EQ(logo.bottom - logo.top, Scaled(14, dpi));
  EXPECT_LE(text.Width(L"TELVARO"), logo.right - logo.left) << "the logo's text is cut";
  EXPECT_LE(text.Height(), logo.bottom - logo.top);
  EXPECT_LE(logo.right, client.right);
  // As drawn: white text on blue that touches neither end of the box.
  ASSERT_TRUE(WaitUntil([&] { return LogoEdgesAreBlue(Control(view::kLogoId)); }, Millis(3000)))
      << "the logo's text runs into the edge of its box";

  // The combo box: the selection field shows the longest name beside the drop button.
  HWND combo = Control(view::kAppComboId);
  const RECT field = PlaceOf(combo);
  EXPECT_EQ(field.left, Scaled(8, dpi));
  EXPECT_EQ(field.right - field.left, Scaled(193, dpi));
  const auto itemHeight = static_cast<int>(SendMessageA(combo, CB_GETITEMHEIGHT, -1, 0));
  EXPECT_GE(itemHeight, text.Height()) << "the field is not as high as the font";
  EXPECT_GE(field.bottom - field.top, itemHeight);
  int widest = 0;
  const auto count = static_cast<int>(SendMessageA(combo, CB_GETCOUNT, 0, 0));
  ASSERT_EQ(count, 25);
  for (int i = 0; i < count; ++i) {
    wchar_t name[128] = {};
    SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(name));
    widest = std::max(widest, text.Width(name));
  }
  const int dropButton = GetSystemMetrics(SM_CXVSCROLL);
  EXPECT_LE(widest + dropButton + Scaled(6, dpi), field.right - field.left)
      << "the longest name is cut";

  const RECT label = PlaceOf(Control(view::kContactLabelId));
  EXPECT_EQ(label.top, Scaled(72, dpi));
  EXPECT_EQ(label.right - label.left, Scaled(193, dpi));
  EXPECT_LE(text.Height() + 2, label.bottom - label.top) << "a contact's name is cut";

  HWND statusBar = Control(view::kStatusBarId);
  const RECT status = PlaceOf(statusBar);
  EXPECT_EQ(status.bottom, client.bottom);
  EXPECT_EQ(status.right - status.left, client.right);
  EXPECT_NEAR(status.bottom - status.top, Scaled(21, dpi), 1);
  EXPECT_LE(text.Height(), status.bottom - status.top);
  // The longest line of the table's titles.
  SendMessageA(combo, CB_SETCURSEL, 5, 0);
  SendMessageA(Main(), WM_COMMAND, MAKEWPARAM(view::kAppComboId, CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(combo));
  const std::wstring line = L"X-Lite with X-Look is not running.";
  EXPECT_TRUE(WaitUntil([&] { return WideText(statusBar) == line; })) << WindowText(statusBar);
  EXPECT_LE(text.Width(line), status.right - status.left);
}

TEST_F(WindowShell, TheCloseBoxPutsTheWindowInTheTrayAndTheProgramKeepsRunning) {
  Process& program = LaunchTelvaro();
  ASSERT_TRUE(program.Valid());
  EXPECT_TRUE(WaitUntil([&] { return TrayIconShown(); })) << "it starts in the tray";
  ASSERT_TRUE(Open());
  EXPECT_TRUE(WaitUntil([&] { return !TrayIconShown(); })) << "no tray icon beside the window";
  const std::size_t calls = HandsetCalls().size();
  // What a click on the caption's close box sends.
  PostMessageA(Main(), WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_TRUE(WaitUntil([&] { return IsWindowVisible(Main()) == FALSE; }));
  EXPECT_TRUE(WaitUntil([&] { return TrayIconShown(); })) << "the icon is back in the tray";
  Sleep(500);
  EXPECT_TRUE(program.Running());
  EXPECT_NE(Main(), nullptr);
  EXPECT_EQ(HandsetCalls().size(), calls) << "the handset is not released";
  // It comes back from the tray as before.
  EXPECT_TRUE(Open());
}

TEST_F(WindowShell, AWmCloseFromAnotherProgramEndsItWithItsCloseHandling) {
  Process& program = LaunchTelvaro();
  ASSERT_TRUE(program.Valid());
  SendMessageA(Control(view::kAutoRunCheckBoxId), BM_CLICK, 0, 0);  // a change to be saved
  ASSERT_TRUE(DeleteRegValue(Hive::LocalMachine, kSettingsKey, "AutoRun"));
  // What an installer or an uninstaller sends to a program it wants gone.
  PostMessageA(Main(), WM_CLOSE, 0, 0);
  EXPECT_EQ(program.WaitForExit(), std::optional<DWORD>(0));
  EXPECT_EQ(ReadRegString(Hive::LocalMachine, kSettingsKey, "AutoRun"), "0");
  const std::vector<std::string> handset = HandsetCalls();
  ASSERT_GE(handset.size(), 3u);
  EXPECT_THAT(std::vector<std::string>(handset.end() - 3, handset.end()),
              ::testing::ElementsAre("StopKeyScan", "StopBuzzer", "CloseDevice"));
}

// The popup menu of the process, if one is open.
HWND OpenMenu(DWORD processId) {
  HWND menu = nullptr;
  while ((menu = FindWindowExA(nullptr, menu, "#32768", nullptr)) != nullptr) {
    DWORD owner = 0;
    GetWindowThreadProcessId(menu, &owner);
    if (owner == processId && IsWindowVisible(menu)) return menu;
  }
  return nullptr;
}

TEST_F(WindowShell, TheKeyboardOpensTheTrayMenuAtTheIconAndEscClosesIt) {
  Process& program = LaunchTelvaro();
  ASSERT_TRUE(program.Valid());
  ASSERT_TRUE(WaitUntil([&] { return TrayIconShown(); }));
  // What the shell sends in version 4 for Enter on the icon: the event and the icon in lParam,
  // the icon's place in wParam.
  constexpr short kX = 300;
  constexpr short kY = 200;
  PostMessageA(Main(), view::kTrayCallbackMessage, MAKEWPARAM(kX, kY),
               MAKELPARAM(NIN_KEYSELECT, view::kTrayIconId));
  HWND menu = nullptr;
  ASSERT_TRUE(WaitUntil([&] { return (menu = OpenMenu(program.Id())) != nullptr; }))
      << "no menu: is the icon in version 4?";
  RECT at{};
  GetWindowRect(menu, &at);
  EXPECT_EQ(at.left, kX) << "at the icon, not at the mouse pointer";
  EXPECT_EQ(at.top, kY);
  Key(VK_ESCAPE);
  EXPECT_TRUE(WaitUntil([&] { return OpenMenu(program.Id()) == nullptr; }));
  EXPECT_TRUE(program.Running());
  EXPECT_FALSE(IsWindowVisible(Main())) << "Esc chose nothing";
  // Once more, and "&Open TELVARO" by its access key.
  PostMessageA(Main(), view::kTrayCallbackMessage, MAKEWPARAM(kX, kY),
               MAKELPARAM(NIN_KEYSELECT, view::kTrayIconId));
  ASSERT_TRUE(WaitUntil([&] { return OpenMenu(program.Id()) != nullptr; }));
  Key('O');
  EXPECT_TRUE(WaitUntil([&] { return IsWindowVisible(Main()) != FALSE; }));
}

TEST_F(WindowShell, TabMovesTheFocusBetweenTheThreeControls) {
  ASSERT_TRUE(LaunchTelvaro().Valid());
  ASSERT_TRUE(Open());
  HWND autoRun = Control(view::kAutoRunCheckBoxId);
  HWND logo = Control(view::kLogoId);
  HWND combo = Control(view::kAppComboId);
  ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == Main(); }));
  EXPECT_TRUE(WaitUntil([&] { return Focus() == combo; })) << "the window opens on the list";
  // Forwards: the check box, the logo, back to the list; then backwards.
  const struct {
    bool shift;
    HWND next;
    const char* name;
  } steps[] = {{false, autoRun, "check box"},
               {false, logo, "logo"},
               {false, combo, "combo box"},
               {true, logo, "logo"},
               {true, autoRun, "check box"}};
  for (const auto& step : steps) {
    Key(VK_TAB, step.shift);
    EXPECT_TRUE(WaitUntil([&] { return Focus() == step.next; }, Millis(3000)))
        << (step.shift ? "Shift+Tab" : "Tab") << " to the " << step.name;
  }
  // The focus is remembered while the window sits in the tray.
  PostMessageA(Main(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
  ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(Main()) == FALSE; }));
  ASSERT_TRUE(Open());
  EXPECT_TRUE(WaitUntil([&] { return Focus() == combo; }, Millis(3000)))
      << "opening from the tray starts on the list again";
}

#pragma pack(push, 2)
struct IconGroupEntry {  // GRPICONDIRENTRY
  BYTE width;
  BYTE height;
  BYTE colours;
  BYTE reserved;
  WORD planes;
  WORD bitCount;
  DWORD bytes;
  WORD id;
};
#pragma pack(pop)

TEST(ApplicationIcon, TheExeCarriesEverySizeIn32BitsAndWindowsDrawsItWithAlpha) {
  HMODULE exe = LoadLibraryExA(BinPath(kTelvaroExe).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(exe, nullptr);
  HRSRC group = FindResourceA(exe, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(14));  // RT_GROUP_ICON
  ASSERT_NE(group, nullptr) << "no application icon";
  const auto* data = static_cast<const BYTE*>(LockResource(LoadResource(exe, group)));
  ASSERT_NE(data, nullptr);
  const WORD count = *reinterpret_cast<const WORD*>(data + 4);
  std::vector<int> sizes;
  for (WORD i = 0; i < count; ++i) {
    const auto* entry = reinterpret_cast<const IconGroupEntry*>(data + 6 + i * 14);
    sizes.push_back(entry->width == 0 ? 256 : entry->width);
    EXPECT_EQ(entry->bitCount, 32) << sizes.back() << " px";
  }
  EXPECT_THAT(sizes, ::testing::ElementsAre(16, 20, 24, 32, 48, 256));

  // Loaded as Explorer loads it: the corner is transparent, the middle opaque. The 256-pixel
  // image is stored as PNG, which the system decodes itself.
  for (int size : {48, 256}) {
    HICON icon = static_cast<HICON>(
        LoadImageA(exe, MAKEINTRESOURCEA(1), IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
    ASSERT_NE(icon, nullptr) << size;
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(icon, &info)) << size;
    BITMAPINFO header{};
    header.bmiHeader.biSize = sizeof header.bmiHeader;
    header.bmiHeader.biWidth = size;
    header.bmiHeader.biHeight = -size;
    header.bmiHeader.biPlanes = 1;
    header.bmiHeader.biBitCount = 32;
    std::vector<DWORD> pixels(static_cast<std::size_t>(size) * size);
    HDC dc = GetDC(nullptr);
    EXPECT_EQ(GetDIBits(dc, info.hbmColor, 0, size, pixels.data(), &header, DIB_RGB_COLORS), size);
    ReleaseDC(nullptr, dc);
    EXPECT_EQ(pixels[0] >> 24, 0u) << size;
    EXPECT_EQ(pixels[static_cast<std::size_t>(size / 2) * size + size / 12] >> 24, 255u) << size;
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    DestroyIcon(icon);
  }
  FreeLibrary(exe);
}

}  // namespace
}  // namespace telvaro::e2e
