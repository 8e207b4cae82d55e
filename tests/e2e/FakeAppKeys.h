// What a fake softphone should log when telvaro.exe drives it, spelt from the messages each
// injection technique sends, and a key-by-key checker that presses handset keys and compares.
// Shared by the keypad and the acceptance suites. Also: the few looks at telvaro's own window
// that those suites need (status line, tray image, picking a row of combo_App).
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "../../src/shell/win32/ViewIds.h"
#include "E2e.h"

namespace telvaro::e2e::fake {

// ---- Expected log lines -------------------------------------------------------------------------

// One line the fake should log. Keyboard input typed with keybd_event reaches the fake with the
// lParam the system computes (scan code, repeat count, transition bits), so for those lines only
// the label, the message and wParam are compared.
struct Line {
  std::string text;
  bool anyLParam = false;
};
using Lines = std::vector<Line>;

inline Lines operator+(Lines first, const Lines& second) {
  first.insert(first.end(), second.begin(), second.end());
  return first;
}

inline std::string HexWParam(std::uint64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(value));
  return text;
}

inline std::string HexLParam(std::uint32_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(value));
  return text;
}

inline std::string Quoted(const std::string& text) {
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') quoted += '\\';
    quoted += c;
  }
  return quoted + "\"";
}

inline Line Message(const std::string& label, const char* name, std::uint64_t wParam,
                    std::uint32_t lParam) {
  return {label + " " + name + " " + HexWParam(wParam) + " " + HexLParam(lParam)};
}

inline Line Typed(const std::string& label, const char* name, int vk) {
  return {label + " " + name + " " + HexWParam(static_cast<std::uint64_t>(vk)), true};
}

inline constexpr std::uint32_t kKeyDownBits = 0x001C0001;
inline constexpr std::uint32_t kKeyUpBits = 0x401C0001;
inline constexpr int kVkBack = 0x08;
inline constexpr int kVkReturn = 0x0D;
inline constexpr int kVkShift = 0x10;
inline constexpr int kVkMenu = 0x12;
inline constexpr int kVkEscape = 0x1B;
inline constexpr int kVkUp = 0x26;
inline constexpr int kVkDown = 0x28;
inline constexpr int kVkA = 0x41;
inline constexpr int kVkD = 0x44;
inline constexpr int kVkQ = 0x51;
inline constexpr int kVkV = 0x56;
inline constexpr int kVkAdd = 0x6B;
inline constexpr int kVkThree = 0x33;

inline std::uint32_t Point(int x, int y) {
  return static_cast<std::uint32_t>(y) << 16 | static_cast<std::uint32_t>(x);
}

// A keystroke sent or posted as messages: the receiver cannot tell the two apart.
inline Lines Keys(const std::string& label, int vk, int ch) {
  const auto key = static_cast<std::uint64_t>(vk);
  return {Message(label, "WM_KEYDOWN", key, kKeyDownBits),
          Message(label, "WM_CHAR", static_cast<std::uint64_t>(ch), kKeyDownBits),
          Message(label, "WM_KEYUP", key, kKeyUpBits)};
}

inline Lines KeyPair(const std::string& label, int vk) {
  const auto key = static_cast<std::uint64_t>(vk);
  return {Message(label, "WM_KEYDOWN", key, kKeyDownBits),
          Message(label, "WM_KEYUP", key, kKeyUpBits)};
}

// The hash typed as messages: Shift, then virtual key 3 (not '3') with the character '#'.
inline Lines ShiftedHash(const std::string& label) {
  return {Message(label, "WM_KEYDOWN", kVkShift, kKeyDownBits),
          Message(label, "WM_KEYDOWN", 3, kKeyDownBits),
          Message(label, "WM_CHAR", '#', kKeyDownBits), Message(label, "WM_KEYUP", 3, kKeyUpBits),
          Message(label, "WM_KEYUP", kVkShift, kKeyUpBits)};
}

inline Lines Click(const std::string& label, int x, int y, std::uint64_t upWParam = 1) {
  return {Message(label, "WM_LBUTTONDOWN", 1, Point(x, y)),
          Message(label, "WM_LBUTTONUP", upWParam, Point(x, y))};
}

inline Lines ButtonClick(const std::string& label) { return {Message(label, "BM_CLICK", 0, 0)}; }
inline Lines Close(const std::string& label) { return {Message(label, "WM_CLOSE", 0, 0)}; }

// keybd_event input, as the focused window of the foreground application receives it.
inline Lines Tap(const std::string& label, int vk) {
  return {Typed(label, "WM_KEYDOWN", vk), Typed(label, "WM_KEYUP", vk)};
}

inline Lines TapShifted(const std::string& label, int vk) {
  return {Typed(label, "WM_KEYDOWN", kVkShift), Typed(label, "WM_KEYDOWN", vk),
          Typed(label, "WM_KEYUP", vk), Typed(label, "WM_KEYUP", kVkShift)};
}

// With Alt held the system reports keys as system keys; Alt's own release after a chord is a
// plain key-up.
inline Lines TapAlt(const std::string& label, int vk) {
  return {Typed(label, "WM_SYSKEYDOWN", kVkMenu), Typed(label, "WM_SYSKEYDOWN", vk),
          Typed(label, "WM_SYSKEYUP", vk), Typed(label, "WM_KEYUP", kVkMenu)};
}

inline bool UnderWine() {
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

inline Lines GetText(const std::string& label, std::uint64_t count, const std::string& text) {
  return {{label + " WM_GETTEXT " + HexWParam(count) + " " + Quoted(text)}};
}

// The length query of an edit holding `text`. Wine answers an ANSI WM_GETTEXTLENGTH sent from
// another thread by measuring the text it fetches with a WM_GETTEXT of its own (length + 1
// characters), which the edit receives too; Windows sends no such second message.
inline Lines TextLength(const std::string& label, const std::string& text) {
  Lines lines = {Message(label, "WM_GETTEXTLENGTH", 0, 0)};
  if (UnderWine()) return lines + GetText(label, text.size() + 1, text);
  return lines;
}

inline Lines SetSel(const std::string& label, int position) {
  return {Message(label, "EM_SETSEL", static_cast<std::uint64_t>(position),
                  static_cast<std::uint32_t>(position))};
}

inline Lines SetText(const std::string& label, const std::string& text) {
  return {{label + " WM_SETTEXT 0x0 " + Quoted(text)}};
}

// Focus, then a key as messages with lParam 0, to a list that is not in front.
inline Lines FocusKey(const std::string& label, int vk, bool withKeyUp) {
  Lines lines = {Message(label, "WM_SETFOCUS", 0, 0),
                 Message(label, "WM_KEYDOWN", static_cast<std::uint64_t>(vk), 0)};
  if (withKeyUp) lines.push_back(Message(label, "WM_KEYUP", static_cast<std::uint64_t>(vk), 0));
  return lines;
}

// Label fakeapp gives a Button of the main window.
inline std::string ButtonLabel(std::string caption) {
  std::replace(caption.begin(), caption.end(), ' ', '_');
  return "btn:" + caption;
}

// ---- The handset's keys -------------------------------------------------------------------------

inline constexpr int kCallKey = 13;
inline constexpr int kHangUpKey = 14;
inline constexpr int kUpKey = 15;
inline constexpr int kDownKey = 16;

struct Pt {
  int x;
  int y;
};

// The twelve keypad keys in handset-code order (the codes run down the keypad's columns), with
// what each application uses for them.
struct KeypadKey {
  int code;
  char key;  // also the character typed
  int vk;    // 0 for hash
  const char* sjphone;
  const char* icqPhone;
  Pt mediaRing;
  Pt yahoo;
  Pt aim;
};

inline const std::vector<KeypadKey>& KeypadKeys() {
  static const std::vector<KeypadKey> keys = {
      {1, '1', 0x61, "&1", "1", {39, 208}, {17, 15}, {15, 8}},
      {2, '4', 0x64, "&4", "4 ghi", {40, 230}, {17, 57}, {15, 34}},
      {3, '7', 0x67, "&7", "7 prs", {38, 254}, {17, 100}, {16, 57}},
      {4, '*', 0x6A, "&*", "*", {47, 277}, {17, 141}, {14, 80}},
      {5, '2', 0x62, "&2", "2 abc", {90, 208}, {65, 15}, {57, 9}},
      {6, '5', 0x65, "&5", "5 jkl", {90, 232}, {65, 57}, {57, 34}},
      {7, '8', 0x68, "&8", "8 tuv", {91, 254}, {65, 100}, {55, 57}},
      {8, '0', 0x60, "&0", "0", {97, 277}, {65, 141}, {54, 81}},
      {9, '3', 0x63, "&3", "3 def", {146, 208}, {114, 15}, {94, 9}},
      {10, '6', 0x66, "&6", "6 mno", {143, 232}, {114, 57}, {93, 32}},
      {11, '9', 0x69, "&9", "9 wxy", {145, 254}, {112, 100}, {92, 57}},
      {12, '#', 0, "&#", "#", {146, 277}, {114, 141}, {93, 82}},
  };
  return keys;
}

inline const KeypadKey& Keypad(char key) {
  const auto& keys = KeypadKeys();
  return *std::find_if(keys.begin(), keys.end(), [&](const KeypadKey& k) { return k.key == key; });
}

inline bool IsDigit(const KeypadKey& k) { return k.key >= '0' && k.key <= '9'; }

// ---- Per application: what one keypad key makes the fake log ------------------------------------

// edit: the text of the application's number edit before the key (only the Net2Phone plan, which
// appends to that edit, reads it).
using KeypadPlan = Lines (*)(const KeypadKey& key, const std::string& edit);

inline Lines KeysThenClickForHash(const KeypadKey& k, const std::string&) {
  return k.key == '#' ? Click("main", 392, 343) : Keys("main", k.vk, k.key);
}
inline Lines KeysThenShiftedHash(const KeypadKey& k, const std::string&) {
  return k.key == '#' ? ShiftedHash("main") : Keys("main", k.vk, k.key);
}
inline Lines FireflyKeys(const KeypadKey& k, const std::string&) {
  if (IsDigit(k)) return KeyPair("main", k.vk);
  return TapShifted("main", k.key == '*' ? kVkAdd : kVkThree);
}
inline Lines EyeBeamKeys(const KeypadKey& k, const std::string&) {
  return k.key == '#' ? TapShifted("main", kVkThree) : Keys("main", k.vk, k.key);
}
inline Lines SjphoneButtons(const KeypadKey& k, const std::string&) {
  return ButtonClick(ButtonLabel(k.sjphone));
}
inline Lines IcqPhoneButtons(const KeypadKey& k, const std::string&) {
  return ButtonClick(ButtonLabel(k.icqPhone));
}
inline Lines Net2PhoneEdit(const KeypadKey& k, const std::string& edit) {
  return TextLength("edit", edit) + SetSel("edit", static_cast<int>(edit.size())) +
         (k.key == '#' ? ShiftedHash("edit") : Keys("edit", k.vk, k.key));
}
inline Lines MediaRingPoints(const KeypadKey& k, const std::string&) {
  return Click("main", k.mediaRing.x, k.mediaRing.y);
}
inline Lines YahooPoints(const KeypadKey& k, const std::string&) {
  return Click("dialpad", k.yahoo.x, k.yahoo.y);
}
inline Lines AimPoints(const KeypadKey& k, const std::string&) {
  return Click("dialpad", k.aim.x, k.aim.y);
}
inline Lines PCPhoneKeys(const KeypadKey& k, const std::string&) {
  if (k.key == '#') return {};
  return Tap("main", k.key == '*' ? kVkBack : k.vk);
}
// The Voip applications with no contact browsed since the last digit (nothing to clear).
inline Lines VoipKeys(const KeypadKey& k, const std::string&) {
  const Lines contacts = ButtonClick("btn:Contacts");
  if (k.key == '*') return contacts + Tap("main", kVkBack);
  if (k.key == '#') return contacts + TapShifted("main", kVkThree);
  return contacts + Keys("main", k.vk, k.key);
}
inline Lines NoKeypad(const KeypadKey&, const std::string&) { return {}; }

// ---- Telvaro's window ---------------------------------------------------------------------------

inline HWND TelvaroWindow() { return FindTopWindow(kMainWindowClass, kMainWindowTitle); }

// The status bar lives in telvaro's process; its WM_GETTEXT (the first part's text) is one of the
// messages the system carries across processes.
inline std::string StatusLine() {
  HWND bar = GetDlgItem(TelvaroWindow(), view::kStatusBarId);
  char text[512] = {};
  DWORD_PTR length = 0;
  if (bar == nullptr ||
      SendMessageTimeoutA(bar, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                          SMTO_ABORTIFHUNG, 5000, &length) == 0) {
    return "<no status bar>";
  }
  return std::string(text, std::min<std::size_t>(length, sizeof text - 1));
}

inline bool WaitForStatus(const std::string& text, Millis timeout = Millis{3000}) {
  return WaitUntil([&] { return StatusLine() == text; }, timeout);
}

// Picks a row of combo_App as the user does: the selection, then the change notification. The
// send returns once the selection handler has finished.
inline void ChooseRow(int row) {
  HWND main = TelvaroWindow();
  HWND combo = GetDlgItem(main, view::kAppComboId);
  SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(row), 0);
  SendMessageA(main, WM_COMMAND, MAKEWPARAM(view::kAppComboId, CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(combo));
}

inline std::string ComboItem(int row) {
  wchar_t text[128] = {};  // the combo box is a Unicode window across processes
  SendMessageW(GetDlgItem(TelvaroWindow(), view::kAppComboId), CB_GETLBTEXT,
               static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(text));
  std::string ascii;
  for (const wchar_t* p = text; *p != 0; ++p) ascii += static_cast<char>(*p);
  return ascii;
}

// The tray icon's picture, as the notification area shows it. Under Wine without a tray manager
// the icons sit in a small window of their own on the screen, so the picture is read back from the
// screen. The two state images are a red badge (not running) and a green one (running).
enum class TrayImage { Missing, NotRunning, Running, Unclear };

inline const char* Describe(TrayImage image) {
  switch (image) {
    case TrayImage::Missing:
      return "no single tray icon";
    case TrayImage::NotRunning:
      return "red (not running)";
    case TrayImage::Running:
      return "green (running)";
    case TrayImage::Unclear:
      break;
  }
  return "neither red nor green";
}

inline TrayImage ShownTrayImage() {
  std::vector<HWND> icons;
  HWND tray = nullptr;
  while ((tray = FindWindowExA(nullptr, tray, "__winex11_standalone_tray", nullptr)) != nullptr) {
    HWND icon = nullptr;
    while ((icon = FindWindowExA(tray, icon, "__winex11_tray_icon", nullptr)) != nullptr) {
      if (IsWindowVisible(icon)) icons.push_back(icon);
    }
  }
  if (icons.size() != 1) return TrayImage::Missing;
  RECT rect{};
  GetWindowRect(icons[0], &rect);
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0) return TrayImage::Missing;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
  int red = 0;
  int green = 0;
  const auto* pixels = static_cast<const std::uint32_t*>(bits);
  for (int i = 0; pixels != nullptr && i < width * height; ++i) {
    const int r = static_cast<int>(pixels[i] >> 16 & 0xFF);
    const int g = static_cast<int>(pixels[i] >> 8 & 0xFF);
    const int b = static_cast<int>(pixels[i] & 0xFF);
    if (r > g + 60 && r > b + 60) ++red;
    if (g > r + 60 && g > b + 30) ++green;
  }
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  const int enough = width * height / 8;
  if (red >= enough && green == 0) return TrayImage::NotRunning;
  if (green >= enough && red == 0) return TrayImage::Running;
  return TrayImage::Unclear;
}

inline bool WaitForTray(TrayImage image, Millis timeout = Millis{3000}) {
  return WaitUntil([&] { return ShownTrayImage() == image; }, timeout);
}

// ---- Pressing keys and comparing ----------------------------------------------------------------

inline constexpr Millis kKeyTimeout{5000};
inline constexpr Millis kQuiet{600};  // how long "nothing more arrives" is watched

inline bool Matches(const Line& expected, const std::string& actual) {
  if (!expected.anyLParam) return actual == expected.text;
  const std::size_t cut = actual.rfind(' ');
  return cut != std::string::npos && actual.substr(0, cut) == expected.text;
}

inline std::string Listing(const Lines& expected, const std::vector<std::string>& actual) {
  std::string text = "expected:\n";
  for (const Line& line : expected) text += "  " + line.text + (line.anyLParam ? " *" : "") + "\n";
  if (expected.empty()) text += "  (nothing)\n";
  text += "the fake logged:\n";
  for (const std::string& line : actual) text += "  " + line + "\n";
  if (actual.empty()) text += "  (nothing)\n";
  return text;
}

// fakeapp logs the focus a top-level window takes when another process restores it from
// minimized (ShowWindow(SW_RESTORE)) as if it had been sent from outside. No technique sends
// WM_SETFOCUS to a top-level window (only the Voip contact lists get one), so those lines are left
// out of every comparison.
inline bool IsRestoreFocus(const std::string& line) {
  static const std::vector<std::string> topLevels = {"main",      "incoming",    "contacts",
                                                     "calllogs",  "login",       "dialog-en",
                                                     "dialog-zh", "conversation"};
  for (const std::string& label : topLevels) {
    if (line == label + " WM_SETFOCUS 0x0 0x00000000") return true;
  }
  return false;
}

// The fake's log without those lines.
inline std::vector<std::string> FakeLines(const std::string& path) {
  std::vector<std::string> lines = ReadLines(path);
  lines.erase(std::remove_if(lines.begin(), lines.end(), IsRestoreFocus), lines.end());
  return lines;
}

// Presses handset keys one at a time; for each it waits until the fake has logged as many lines
// as expected and compares them, and counts the StopBuzzer calls of the handset library. Keys are
// handled in order, so a stray line of one key shows up in the next key's comparison or in
// Finish.
class KeyCheck {
 public:
  KeyCheck(std::string fakeLog, std::string handsetLog)
      : fakeLog_(std::move(fakeLog)), handsetLog_(std::move(handsetLog)) {
    Resync();
    stops_ = StopCount();
  }

  // Forgets what was logged so far (for example the test's own messages to the fake).
  void Resync() { seen_ = FakeLines(fakeLog_).size(); }

  void Press(int code, const Lines& expected, bool stopsBuzzer, const std::string& what) {
    const HandsetReply reply = Handset("press " + std::to_string(code));
    ASSERT_EQ(reply.status, HandsetStatus::Ok) << what << ": the handset did not take the key";
    ASSERT_EQ(reply.result, 1) << what << ": the key was not reported (key scan off?)";
    const std::size_t wanted = seen_ + expected.size();
    std::vector<std::string> lines;
    WaitUntil([&] { return (lines = FakeLines(fakeLog_)).size() >= wanted; }, kKeyTimeout);
    const std::vector<std::string> got(
        lines.begin() + static_cast<std::ptrdiff_t>(seen_),
        lines.begin() + static_cast<std::ptrdiff_t>(std::min(wanted, lines.size())));
    const bool same = got.size() == expected.size() &&
                      std::equal(expected.begin(), expected.end(), got.begin(), Matches);
    EXPECT_TRUE(same) << what << " (" << previous_ << ")\n" << Listing(expected, got);
    seen_ = same ? wanted : lines.size();
    if (stopsBuzzer) {
      ++stops_;
      WaitUntil([&] { return StopCount() >= stops_; }, kKeyTimeout);
    }
    EXPECT_EQ(StopCount(), stops_)
        << what << ": StopBuzzer " << (stopsBuzzer ? "expected once" : "not expected");
    stops_ = StopCount();
    previous_ = "the key before: " + what;
  }

  // Nothing more may arrive after the last key.
  void Finish() {
    Sleep(static_cast<DWORD>(kQuiet.count()));
    const std::vector<std::string> lines = FakeLines(fakeLog_);
    const std::vector<std::string> extra(
        lines.begin() + static_cast<std::ptrdiff_t>(std::min(seen_, lines.size())), lines.end());
    EXPECT_TRUE(extra.empty()) << "after " << previous_ << "\n" << Listing({}, extra);
    EXPECT_EQ(StopCount(), stops_) << "a late StopBuzzer after " << previous_;
  }

 private:
  int StopCount() const {
    const std::vector<std::string> calls = ReadLines(handsetLog_);
    return static_cast<int>(std::count(calls.begin(), calls.end(), "StopBuzzer"));
  }

  std::string fakeLog_;
  std::string handsetLog_;
  std::size_t seen_ = 0;
  int stops_ = 0;
  std::string previous_ = "the first key";
};

// ---- Fixture ------------------------------------------------------------------------------------

// Base of the suites that drive telvaro.exe against one fake softphone.
class FakeAppTest : public E2eTest {
 protected:
  void TearDown() override {
    E2eTest::TearDown();
    ResetSettings();
  }

  // Starts fakeapp and waits until its windows exist.
  void StartFake(const std::string& app, const std::vector<std::string>& extraArgs = {}) {
    fakeLog_ = TempPath("fakeapp.log");
    std::vector<std::string> args = {app, "--log", fakeLog_};
    args.insert(args.end(), extraArgs.begin(), extraArgs.end());
    fake_ = &Launch(kFakeAppExe, args);
    ASSERT_TRUE(fake_->Valid());
    ASSERT_TRUE(WaitForLine(fakeLog_, "ready")) << "fakeapp " << app << " never got ready";
  }

  void PlugHandset() {
    ASSERT_NE(WaitForHandset(), nullptr);
    ASSERT_EQ(Handset("plug").result, 1);
    ASSERT_TRUE(WaitForLine(HandsetLogPath(), "StartKeyScan"));
  }

  HWND FakeWindow(const char* title) const { return FindTopWindow(nullptr, title, fake_->Id()); }

  std::string fakeLog_;
  Process* fake_ = nullptr;
};

}  // namespace telvaro::e2e::fake
