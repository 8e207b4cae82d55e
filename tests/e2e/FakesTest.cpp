// The fakes themselves: every other end-to-end test trusts that fakeapp opens windows the finders
// can find and logs exactly what reached them, and that fakeskype plays its side of the desktop
// API. The facts below are written from what the drivers look for, not copied from the fakes'
// own layout table, so a slip in that table shows here.
#include <algorithm>
#include <string>
#include <vector>

#include "../../tools/common/FakeSkypeControl.h"
#include "support/E2e.h"

namespace telvaro::e2e {
namespace {

using tools::FindFakeSkypeApiWindow;
using tools::SendFakeSkypeControl;

constexpr LPARAM kKeyDownBits = 0x001C0001;
constexpr LPARAM kKeyUpBits = 0x401C0001;
constexpr Millis kQuiet{800};  // how long "nothing arrives" is watched
constexpr UINT kTcmGetCurSel = 0x130B;

// ---- What the finders and key handlers rely on -------------------------------------------------

// Children of one window with this class (and text, when given) and client size (0: any); width
// is a lower bound when atLeastWidth is set.
struct ChildFact {
  const char* className;
  const char* text;  // nullptr: any
  int width;
  int height;
  int count;
  bool atLeastWidth = false;
};

struct WindowFacts {
  const char* className;  // nullptr: looked up by title alone
  const char* title;
  std::vector<const char*> buttons;  // captions found with FindWindowExA(.., "Button", caption)
  std::vector<ChildFact> children;
};

struct AppFacts {
  const char* app;
  std::vector<std::string> extras;
  std::vector<WindowFacts> windows;  // the main window first
};

const std::vector<const char*> kSjphoneButtons = {
    "&1", "&2", "&3",    "&4",      "&5",
    "&6", "&7", "&8",    "&9",      "&0",
    "&*", "&#", "&Dial", "&Hangup", "\xC8\xB7\xB6\xA8"};
const std::vector<const char*> kIcqButtons = {"1",     "2 abc", "3 def", "4 ghi",   "5 jkl",
                                              "6 mno", "7 prs", "8 tuv", "9 wxy",   "0",
                                              "*",     "#",     "&Call", "&Hang Up"};
const std::vector<const char*> kVoipButtons = {"Contacts", "OffHook", "OnHook"};
const std::vector<ChildFact> kVoipChildren = {{"Edit", nullptr, 0, 0, 1},
                                              {"ContactListCtrl", nullptr, 0, 0, 1}};
const std::vector<ChildFact> kNet2PhoneChildren = {{"Edit", nullptr, 97, 15, 1, true},
                                                   {"Button", nullptr, 59, 24, 2}};
const char kMsnZhAudio[] = "\xBF\xAA\xCA\xBC\xD2\xF4\xC6\xB5\xB6\xD4\xBB\xB0";
const char kMsnZhVoice[] = "\xBF\xAA\xCA\xBC\xD3\xEF\xD2\xF4\xB6\xD4\xBB\xB0";
const char kMsnZhCancel[] = "\xC8\xA1\xCF\xFB";

std::vector<WindowFacts> Net2PhoneWindows(const char* title) {
  return {{nullptr, title, {"&OK"}, kNet2PhoneChildren},
          {nullptr, "Account Login", {"&Cancel"}, {}},
          {nullptr, "Contacts", {}, {}}};
}

std::vector<WindowFacts> MsnWindows(const char* english, const char* chinese) {
  return {{"MSNMSBLClass", "MSN Messenger", {}, {}},
          {nullptr, english, {"Cancel"}, {}},
          {nullptr, chinese, {kMsnZhCancel}, {}},
          {"IMWindowClass", nullptr, {}, {}}};
}

const std::vector<AppFacts>& AllApps() {
  static const std::vector<AppFacts> apps = {
      {"d", {}, {{"Funky Window", "X-Lite", {}, {}}}},
      {"j", {}, {{"XscSIPClientWndProcClass", "X-PRO", {}, {}}}},
      {"m", {}, {{"XscSIPClientWndProcClass", "X-PRO Vonage", {}, {}}}},
      {"n", {}, {{"XscSIPClientWndProcClass", "X-PRO engin Login", {}, {}}}},
      {"o", {}, {{"XscSIPClientWndProcClass", "X-Lite with X-Look", {}, {}}}},
      {"f",
       {"incoming", "contacts", "calllogs"},
       {{nullptr, "SJphone", kSjphoneButtons, {}},
        {nullptr, "SJphone - Incoming Call", {"&Accept", "&Ignore"}, {}},
        {nullptr, "Contacts", {}, {}},
        {nullptr, "Call Logs", {}, {}}}},
      {"g", {"ok", "login", "contacts"}, Net2PhoneWindows("Net2Phone Dialer")},
      {"p", {"ok", "login", "contacts"}, Net2PhoneWindows("Net2Phone CommCenter")},
      {"i",
       {"dialog-en", "dialog-zh", "conversation"},
       MsnWindows("Start an Audio Conversation", kMsnZhAudio)},
      {"v",
       {"dialog-en", "dialog-zh", "conversation"},
       MsnWindows("Start a Voice Conversation", kMsnZhVoice)},
      {"k", {}, {{"QWidget", "Firefly 2", {}, {{"QWidget", "system.multibutton2", 0, 0, 1}}}}},
      {"l", {}, {{"Funky Window", "eyeBeam", {}, {}}}},
      {"q", {}, {{nullptr, "ICQPhone", kIcqButtons, {{"Edit", nullptr, 158, 14, 1}}}}},
      {"r",
       {},
       {{"YAlertClass",
         "Call Center",
         {},
         {{"ygxa_toolbar", nullptr, 140, 160, 1}, {"ygxa_toolbar", nullptr, 84, 34, 2}}}}},
      {"s", {}, {{"TNet2Phone", "AIM Phone", {}, {{"TPanel", nullptr, 114, 96, 1}}}}},
      {"u", {}, {{nullptr, "VoipBuster - fakeuser", kVoipButtons, kVoipChildren}}},
      {"x", {}, {{nullptr, "VoipStunt - fakeuser", kVoipButtons, kVoipChildren}}},
      {"y", {}, {{nullptr, "VoipCheap - fakeuser", kVoipButtons, kVoipChildren}}},
      {"z", {}, {{nullptr, "MediaRing PCPhone", {}, {}}}},
      {"{", {}, {{nullptr, "PCPhone", {}, {}}}},
  };
  return apps;
}

// The farthest click point the drivers use on a main window is (440, 367).
constexpr int kMainMinWidth = 441;
constexpr int kMainMinHeight = 368;

// ---- Helpers -----------------------------------------------------------------------------------

std::string Joined(const std::vector<std::string>& parts) {
  std::string joined;
  for (const std::string& part : parts) {
    if (!joined.empty()) joined += ',';
    joined += part;
  }
  return joined;
}

SIZE ClientSize(HWND window) {
  RECT rect{};
  if (!GetClientRect(window, &rect)) return {-1, -1};
  return {rect.right, rect.bottom};
}

// A named CALLBACK, not a lambda: on x86 an enumeration callback must be __stdcall.
BOOL CALLBACK CollectChild(HWND child, LPARAM list) {
  reinterpret_cast<std::vector<HWND>*>(list)->push_back(child);
  return TRUE;
}

std::vector<HWND> Children(HWND parent) {
  std::vector<HWND> children;
  EnumChildWindows(parent, CollectChild, reinterpret_cast<LPARAM>(&children));
  return children;
}

bool Matches(HWND child, const ChildFact& fact) {
  const SIZE size = ClientSize(child);
  const bool widthOk =
      fact.width == 0 || (fact.atLeastWidth ? size.cx >= fact.width : size.cx == fact.width);
  const bool heightOk = fact.height == 0 || size.cy == fact.height;
  return WindowClass(child) == fact.className && widthOk && heightOk &&
         (fact.text == nullptr || WindowText(child) == fact.text);
}

std::vector<HWND> ChildrenLike(HWND parent, const ChildFact& fact) {
  std::vector<HWND> found;
  for (HWND child : Children(parent)) {
    if (Matches(child, fact)) found.push_back(child);
  }
  return found;
}

bool HasLine(const std::string& log, std::string_view line) {
  const auto lines = ReadLines(log);
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

bool HasLineStartingWith(const std::string& log, std::string_view prefix) {
  const auto lines = ReadLines(log);
  return std::any_of(lines.begin(), lines.end(),
                     [&](const std::string& line) { return line.rfind(prefix, 0) == 0; });
}

// The index-th child of that class (0: the first in enumeration order).
HWND ChildByClass(HWND parent, const char* className, int index = 0) {
  HWND child = nullptr;
  for (int i = 0; i <= index; ++i) child = FindWindowExA(parent, child, className, nullptr);
  return child;
}

void TapKey(BYTE vk) {
  keybd_event(vk, 0, 0x100, 0);
  keybd_event(vk, 0, KEYEVENTF_KEYUP, 0);
}

class FakesTest : public E2eTest {
 protected:
  // Starts fakeapp and waits for its "ready"; returns its log path.
  std::string StartFake(const std::string& app, const std::vector<std::string>& extraArgs = {}) {
    std::string log = TempPath("fakeapp-" + std::to_string(++started_) + ".txt");
    std::vector<std::string> args = {app, "--log", log};
    args.insert(args.end(), extraArgs.begin(), extraArgs.end());
    process_ = &Launch(kFakeAppExe, args);
    EXPECT_TRUE(WaitForLine(log, "ready")) << "fakeapp " << app << " never got ready";
    return log;
  }

  Process* process_ = nullptr;
  int started_ = 0;
};

// ---- fakeapp -----------------------------------------------------------------------------------

void CheckWindow(const WindowFacts& facts, DWORD processId, bool isMain) {
  SCOPED_TRACE(std::string("window ") + (facts.title ? facts.title : facts.className));
  HWND window = FindTopWindow(facts.className, facts.title, processId);
  ASSERT_NE(window, nullptr);
  if (facts.className != nullptr && facts.title != nullptr) {
    EXPECT_EQ(FindWindowA(facts.className, facts.title), window);
  }
  if (isMain) {
    const SIZE size = ClientSize(window);
    EXPECT_GE(size.cx, kMainMinWidth);
    EXPECT_GE(size.cy, kMainMinHeight);
  }
  for (const char* caption : facts.buttons) {
    EXPECT_NE(FindWindowExA(window, nullptr, "Button", caption), nullptr) << caption;
  }
  for (const ChildFact& fact : facts.children) {
    EXPECT_EQ(static_cast<int>(ChildrenLike(window, fact).size()), fact.count)
        << fact.className << " " << fact.width << " x " << fact.height;
  }
}

TEST_F(FakesTest, EveryLayoutHoldsWhatTheFindersLookFor) {
  for (const AppFacts& app : AllApps()) {
    SCOPED_TRACE(std::string("app ") + app.app);
    std::vector<std::string> args;
    if (!app.extras.empty()) args = {"--extra", Joined(app.extras)};
    StartFake(app.app, args);
    for (std::size_t i = 0; i < app.windows.size(); ++i) {
      CheckWindow(app.windows[i], process_->Id(), i == 0);
    }
    process_->Kill();
  }
}

TEST_F(FakesTest, RowIndexAndAppCodeOpenTheSameApplication) {
  StartFake("14");
  EXPECT_NE(FindTopWindow("YAlertClass", "Call Center", process_->Id()), nullptr);
}

TEST_F(FakesTest, ExtraWindowsOpenOnlyWhenAsked) {
  StartFake("f");
  const DWORD id = process_->Id();
  EXPECT_NE(FindTopWindow(nullptr, "SJphone", id), nullptr);
  for (const char* title : {"SJphone - Incoming Call", "Contacts", "Call Logs"}) {
    EXPECT_EQ(FindTopWindow(nullptr, title, id), nullptr) << title;
  }
  process_->Kill();

  // An MSN call dialog without MSN's main window, as when the main window is hidden away.
  StartFake("i", {"--no-main", "--extra", "dialog-zh"});
  EXPECT_EQ(FindTopWindow(nullptr, "MSN Messenger", process_->Id()), nullptr);
  EXPECT_NE(FindTopWindow(nullptr, kMsnZhAudio, process_->Id()), nullptr);
}

TEST_F(FakesTest, UnknownApplicationOrExtraIsRefused) {
  struct Case {
    std::vector<std::string> args;
  };
  const std::vector<Case> cases = {{{"w", "--log", "x.txt"}},
                                   {{"0", "--log", "x.txt"}},
                                   {{"d"}},
                                   {{"d", "--log", "x.txt", "--extra", "incoming"}}};
  for (const Case& c : cases) {
    RunResult result = e2e::Run(BinPath(kFakeAppExe), c.args);
    EXPECT_EQ(result.exitCode, 2u) << Joined(c.args);
  }
}

// One message from outside, and the exact line it must leave.
struct LoggedCase {
  const char* app;
  const char* extra;        // nullptr: none
  const char* windowTitle;  // top-level the target lives in
  const char* targetClass;  // nullptr: the top-level itself
  const char* targetText;   // with targetClass: its caption; nullptr: by index
  int targetIndex;
  bool post;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  const char* line;
};

const LoggedCase kLoggedCases[] = {
    {"d", nullptr, "X-Lite", nullptr, nullptr, 0, false, WM_KEYDOWN, 0x65, kKeyDownBits,
     "main WM_KEYDOWN 0x65 0x001C0001"},
    {"d", nullptr, "X-Lite", nullptr, nullptr, 0, false, WM_CHAR, 0x35, kKeyDownBits,
     "main WM_CHAR 0x35 0x001C0001"},
    {"d", nullptr, "X-Lite", nullptr, nullptr, 0, false, WM_KEYUP, 0x65, kKeyUpBits,
     "main WM_KEYUP 0x65 0x401C0001"},
    {"o", nullptr, "X-Lite with X-Look", nullptr, nullptr, 0, false, WM_KEYDOWN, 3, kKeyDownBits,
     "main WM_KEYDOWN 0x3 0x001C0001"},
    {"l", nullptr, "eyeBeam", nullptr, nullptr, 0, true, WM_LBUTTONDOWN, 1, MAKELPARAM(440, 242),
     "main WM_LBUTTONDOWN 0x1 0x00F201B8"},
    {"z", nullptr, "MediaRing PCPhone", nullptr, nullptr, 0, true, WM_LBUTTONUP, 1,
     MAKELPARAM(39, 208), "main WM_LBUTTONUP 0x1 0x00D00027"},
    {"f", nullptr, "SJphone", "Button", "&5", 0, false, BM_CLICK, 0, 0,
     "btn:&5 BM_CLICK 0x0 0x00000000"},
    {"f", nullptr, "SJphone", "Button", "\xC8\xB7\xB6\xA8", 0, false, BM_CLICK, 0, 0,
     "btn:confirm BM_CLICK 0x0 0x00000000"},
    {"f", "incoming", "SJphone - Incoming Call", "Button", "&Ignore", 0, false, BM_CLICK, 0, 0,
     "incoming:&Ignore BM_CLICK 0x0 0x00000000"},
    {"q", nullptr, "ICQPhone", "Button", "&Hang Up", 0, false, BM_CLICK, 0, 0,
     "btn:&Hang_Up BM_CLICK 0x0 0x00000000"},
    {"g", nullptr, "Net2Phone Dialer", "Edit", nullptr, 0, false, EM_SETSEL, 5, 5,
     "edit EM_SETSEL 0x5 0x00000005"},
    {"g", nullptr, "Net2Phone Dialer", "Button", nullptr, 0, false, BM_CLICK, 0, 0,
     "hangupbutton BM_CLICK 0x0 0x00000000"},
    {"p", nullptr, "Net2Phone CommCenter", "Button", nullptr, 1, false, BM_CLICK, 0, 0,
     "callbutton BM_CLICK 0x0 0x00000000"},
    {"g", "login", "Account Login", "Button", "&Cancel", 0, false, BM_CLICK, 0, 0,
     "login:&Cancel BM_CLICK 0x0 0x00000000"},
    {"r", nullptr, "Call Center", "ygxa_toolbar", nullptr, 1, true, WM_LBUTTONDOWN, 1,
     MAKELPARAM(36, 12), "callbutton WM_LBUTTONDOWN 0x1 0x000C0024"},
    {"r", nullptr, "Call Center", "ygxa_toolbar", nullptr, 2, true, WM_LBUTTONUP, 0,
     MAKELPARAM(36, 12), "hangupbutton WM_LBUTTONUP 0x0 0x000C0024"},
    {"s", nullptr, "AIM Phone", "TPanel", nullptr, 0, true, WM_LBUTTONDOWN, 1, MAKELPARAM(57, 34),
     "dialpad WM_LBUTTONDOWN 0x1 0x00220039"},
    {"k", nullptr, "Firefly 2", "QWidget", "system.multibutton2", 0, false, WM_LBUTTONDOWN, 1,
     MAKELPARAM(45, 11), "multibutton WM_LBUTTONDOWN 0x1 0x000B002D"},
    {"u", nullptr, "VoipBuster - fakeuser", "ContactListCtrl", nullptr, 0, true, WM_SETFOCUS, 0, 0,
     "contacts-list WM_SETFOCUS 0x0 0x00000000"},
    {"x", nullptr, "VoipStunt - fakeuser", "ContactListCtrl", nullptr, 0, true, WM_KEYDOWN, 0x28, 0,
     "contacts-list WM_KEYDOWN 0x28 0x00000000"},
    {"y", nullptr, "VoipCheap - fakeuser", "Button", "Contacts", 0, true, BM_CLICK, 0, 0,
     "btn:Contacts BM_CLICK 0x0 0x00000000"},
    {"{", nullptr, "PCPhone", nullptr, nullptr, 0, false, kTcmGetCurSel, 0, 0,
     "main TCM_GETCURSEL 0x0 0x00000000"},
};

HWND TargetOf(const LoggedCase& c, DWORD processId) {
  HWND top = FindTopWindow(nullptr, c.windowTitle, processId);
  if (top == nullptr || c.targetClass == nullptr) return top;
  if (c.targetText != nullptr) return FindWindowExA(top, nullptr, c.targetClass, c.targetText);
  return ChildByClass(top, c.targetClass, c.targetIndex);
}

TEST_F(FakesTest, MessagesFromOutsideLandInTheLogAsTheyWereSent) {
  std::string running;
  std::string log;
  for (const LoggedCase& c : kLoggedCases) {
    SCOPED_TRACE(c.line);
    const std::string key = std::string(c.app) + "/" + (c.extra ? c.extra : "");
    if (key != running) {
      if (process_ != nullptr) process_->Kill();
      log = StartFake(c.app, c.extra ? std::vector<std::string>{"--extra", c.extra}
                                     : std::vector<std::string>{});
      running = key;
    }
    HWND target = TargetOf(c, process_->Id());
    ASSERT_NE(target, nullptr);
    if (c.post) {
      PostMessageA(target, c.message, c.wParam, c.lParam);
    } else {
      SendMessageA(target, c.message, c.wParam, c.lParam);
    }
    EXPECT_TRUE(WaitForLine(log, c.line));
  }
}

// A Button clicked with BM_CLICK presses and releases itself; those messages are the control's own
// business and must not look like clicks the program under test made. Activation's focus change
// is not logged either.
TEST_F(FakesTest, WhatAWindowDoesToItselfIsNotLogged) {
  const std::string log = StartFake("f");
  HWND main = FindTopWindow(nullptr, "SJphone", process_->Id());
  HWND five = FindWindowExA(main, nullptr, "Button", "&5");
  ASSERT_NE(five, nullptr);
  SetForegroundWindow(main);
  SendMessageA(five, BM_CLICK, 0, 0);
  Sleep(static_cast<DWORD>(kQuiet.count()));
  EXPECT_EQ(ReadLines(log), (std::vector<std::string>{"ready", "btn:&5 BM_CLICK 0x0 0x00000000"}));
}

TEST_F(FakesTest, NumberEditKeepsItsTextAndTakesBackspace) {
  const std::string log = StartFake("q");
  HWND edit = ChildByClass(FindTopWindow(nullptr, "ICQPhone", process_->Id()), "Edit");
  ASSERT_NE(edit, nullptr);
  SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("123"));
  SendMessageA(edit, EM_SETSEL, 3, 3);
  SendMessageA(edit, WM_KEYDOWN, VK_BACK, kKeyDownBits);
  SendMessageA(edit, WM_CHAR, VK_BACK, kKeyDownBits);
  SendMessageA(edit, WM_KEYUP, VK_BACK, kKeyUpBits);
  char text[1025] = {};
  SendMessageA(edit, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text));
  EXPECT_STREQ(text, "12");
  EXPECT_EQ(SendMessageA(edit, WM_GETTEXTLENGTH, 0, 0), 2);
  for (const char* line : {"edit WM_SETTEXT 0x0 \"123\"", "edit EM_SETSEL 0x3 0x00000003",
                           "edit WM_CHAR 0x8 0x001C0001", "edit WM_GETTEXT 0x400 \"12\"",
                           "edit WM_GETTEXTLENGTH 0x0 0x00000000"}) {
    EXPECT_TRUE(HasLine(log, line)) << line;
  }
  // The empty text a Voip key handler clears the edit with.
  SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(""));
  EXPECT_TRUE(WaitForLine(log, "edit WM_SETTEXT 0x0 \"\""));
}

// Keys typed with keybd_event reach the foreground window, also after one of its buttons was
// clicked, and Alt-accelerators do not leave the window stuck in a menu loop.
TEST_F(FakesTest, TypedKeysReachTheTopLevelWindow) {
  const std::string log = StartFake("u");
  HWND main = FindTopWindow(nullptr, "VoipBuster - fakeuser", process_->Id());
  ASSERT_NE(main, nullptr);
  ShowWindow(main, SW_RESTORE);
  SetForegroundWindow(main);
  ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == main; }));
  SendMessageA(FindWindowExA(main, nullptr, "Button", "Contacts"), BM_CLICK, 0, 0);
  TapKey(VK_BACK);
  EXPECT_TRUE(WaitForLineContaining(log, "main WM_KEYDOWN 0x8 "));
  EXPECT_TRUE(WaitForLineContaining(log, "main WM_KEYUP 0x8 "));

  keybd_event(VK_MENU, 0, 0x100, 0);
  TapKey('D');
  keybd_event(VK_MENU, 0, KEYEVENTF_KEYUP, 0);
  TapKey(VK_RETURN);
  EXPECT_TRUE(WaitForLineContaining(log, "main WM_SYSKEYDOWN 0x12 "));
  EXPECT_TRUE(WaitForLineContaining(log, "main WM_SYSKEYDOWN 0x44 "));
  EXPECT_TRUE(WaitForLineContaining(log, "main WM_KEYDOWN 0xD "));
  EXPECT_FALSE(HasLineStartingWith(log, "btn:Contacts WM_KEY"));
}

TEST_F(FakesTest, ClosedWindowsGoAwayAndTheMainWindowEndsTheFake) {
  const std::string log = StartFake("f", {"--extra", "contacts,calllogs"});
  const DWORD id = process_->Id();
  SendMessageA(FindTopWindow(nullptr, "Contacts", id), WM_CLOSE, 0, 0);
  EXPECT_TRUE(WaitForWindowGone(nullptr, "Contacts", kDefaultTimeout, id));
  EXPECT_TRUE(HasLine(log, "contacts WM_CLOSE 0x0 0x00000000"));
  EXPECT_NE(FindTopWindow(nullptr, "Call Logs", id), nullptr);
  EXPECT_TRUE(process_->Running());

  SendMessageA(FindTopWindow(nullptr, "SJphone", id), WM_CLOSE, 0, 0);
  EXPECT_EQ(process_->WaitForExit(), 0u);
  EXPECT_TRUE(HasLine(log, "main WM_CLOSE 0x0 0x00000000"));
}

TEST_F(FakesTest, TitleAndMinimizedOptions) {
  StartFake("x", {"--title", "VoipStunt 2.0 - bob", "--minimized"});
  HWND main = FindTopWindow(nullptr, "VoipStunt 2.0 - bob", process_->Id());
  ASSERT_NE(main, nullptr);
  EXPECT_TRUE(IsIconic(main));
}

// ---- fakeskype ---------------------------------------------------------------------------------

// The test's side of the desktop API: a hidden top-level window that records what Skype sends.
class SkypeClient {
 public:
  struct Text {
    HWND from;
    std::string text;
    DWORD size;
  };

  SkypeClient() {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "FakesTestSkypeClient";
    RegisterClassExA(&wc);
    window_ = CreateWindowExA(0, wc.lpszClassName, "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                              wc.hInstance, nullptr);
    SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  SkypeClient(const SkypeClient&) = delete;
  SkypeClient& operator=(const SkypeClient&) = delete;
  ~SkypeClient() { DestroyWindow(window_); }

  HWND Window() const { return window_; }

  void Discover() const {
    SendMessageA(HWND_BROADCAST, discoverMsg_, reinterpret_cast<WPARAM>(window_), 0);
  }

  LRESULT Send(HWND api, const std::string& text) const {
    std::string buffer = text;
    COPYDATASTRUCT data{0, static_cast<DWORD>(buffer.size() + 1), buffer.data()};
    return SendMessageA(api, WM_COPYDATA, reinterpret_cast<WPARAM>(window_),
                        reinterpret_cast<LPARAM>(&data));
  }

  // Handles what arrives until the condition holds or the time is up.
  bool PumpUntil(const std::function<bool()>& condition, Millis timeout = kDefaultTimeout) {
    return WaitUntil(
        [&] {
          MSG msg;
          while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
          return condition();
        },
        timeout);
  }

  std::vector<std::pair<WPARAM, LPARAM>> attaches;
  std::vector<Text> texts;

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<SkypeClient*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (self != nullptr && message == self->attachMsg_) {
      self->attaches.emplace_back(wParam, lParam);
      return 1;
    }
    if (self != nullptr && message == WM_COPYDATA) {
      const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
      const auto* bytes = static_cast<const char*>(data->lpData);
      std::string_view all(bytes, data->cbData);
      self->texts.push_back({reinterpret_cast<HWND>(wParam),
                             std::string(all.substr(0, all.find('\0'))), data->cbData});
      return 1;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
  }

  UINT discoverMsg_ = RegisterWindowMessageA("SkypeControlAPIDiscover");
  UINT attachMsg_ = RegisterWindowMessageA("SkypeControlAPIAttach");
  HWND window_ = nullptr;
};

class FakeSkypeTest : public FakesTest {
 protected:
  // Starts fakeskype, waits for "ready" and, unless told not to, attaches the client.
  void StartSkype(const std::vector<std::string>& extraArgs = {}, bool attach = true) {
    log_ = TempPath("fakeskype.txt");
    std::vector<std::string> args = {"--log", log_};
    args.insert(args.end(), extraArgs.begin(), extraArgs.end());
    skype_ = &Launch(kFakeSkypeExe, args);
    ASSERT_TRUE(WaitForLine(log_, "ready"));
    api_ = FindFakeSkypeApiWindow();
    ASSERT_NE(api_, nullptr);
    main_ = FindTopWindow("tSkMainForm.UnicodeClass", nullptr, skype_->Id());
    page_ = ChildByClass(main_, "TTntPageControl.UnicodeClass");
    if (attach) {
      client_.Discover();
      ASSERT_TRUE(client_.PumpUntil([&] { return !client_.attaches.empty(); }));
    }
  }

  bool Control(const std::string& command) {
    return SendFakeSkypeControl(api_, command, client_.Window());
  }

  LRESULT SelectedTab() const { return SendMessageA(page_, kTcmGetCurSel, 0, 0); }

  std::string log_;
  Process* skype_ = nullptr;
  SkypeClient client_;
  HWND api_ = nullptr;
  HWND main_ = nullptr;
  HWND page_ = nullptr;
};

TEST_F(FakeSkypeTest, AttachesOnDiscoveryAndAnswersPing) {
  StartSkype();
  EXPECT_EQ(WindowText(main_), "Skype - fakeuser");
  const SIZE page = ClientSize(page_);
  EXPECT_GT(page.cx, 56);
  EXPECT_GT(page.cy, 11);
  ASSERT_EQ(client_.attaches.size(), 1u);
  EXPECT_EQ(client_.attaches[0], std::make_pair(reinterpret_cast<WPARAM>(api_), LPARAM{0}));

  EXPECT_EQ(client_.Send(api_, "PING"), 1);
  ASSERT_TRUE(client_.PumpUntil([&] { return !client_.texts.empty(); }));
  EXPECT_EQ(client_.texts[0].from, api_);
  EXPECT_EQ(client_.texts[0].text, "PONG");
  EXPECT_EQ(client_.texts[0].size, 5u);  // the NUL is counted
  for (const char* line : {"attach 0", "received PING", "sent PONG"}) {
    EXPECT_TRUE(HasLine(log_, line)) << line;
  }
  EXPECT_TRUE(HasLineStartingWith(log_, "discover 0x"));
}

TEST_F(FakeSkypeTest, ControlCommandsActBeforeTheyReturn) {
  StartSkype();
  ASSERT_TRUE(Control("send CALL 61 STATUS RINGING"));
  ASSERT_FALSE(client_.texts.empty());  // handled while the control message was in flight
  EXPECT_EQ(client_.texts.back().text, "CALL 61 STATUS RINGING");
  EXPECT_TRUE(HasLine(log_, "sent CALL 61 STATUS RINGING"));

  ASSERT_TRUE(Control("status 2"));
  EXPECT_EQ(client_.attaches.back().second, 2);

  ASSERT_TRUE(Control("pong off"));
  const std::size_t before = client_.texts.size();
  client_.Send(api_, "PING");
  EXPECT_FALSE(client_.PumpUntil([&] { return client_.texts.size() > before; }, kQuiet));
  ASSERT_TRUE(Control("pong on"));
  client_.Send(api_, "PING");
  EXPECT_TRUE(client_.PumpUntil([&] { return client_.texts.size() > before; }));

  ASSERT_TRUE(Control("tab 2"));
  EXPECT_EQ(SelectedTab(), 2);
  EXPECT_TRUE(WaitForLine(log_, "pagecontrol TCM_GETCURSEL 0x0 0x00000000"));
  PostMessageA(page_, WM_LBUTTONDOWN, 0, MAKELPARAM(56, 11));
  PostMessageA(page_, WM_LBUTTONUP, 0, MAKELPARAM(56, 11));
  EXPECT_TRUE(WaitUntil([&] { return SelectedTab() == 0; }));
  EXPECT_TRUE(HasLine(log_, "pagecontrol WM_LBUTTONDOWN 0x0 0x000B0038"));

  ASSERT_TRUE(Control("title Skype - bob"));
  EXPECT_EQ(WindowText(main_), "Skype - bob");
  ASSERT_TRUE(Control("front"));
  EXPECT_TRUE(WaitUntil([&] { return GetForegroundWindow() == main_; }));

  EXPECT_FALSE(Control("frobnicate"));
  EXPECT_TRUE(HasLine(log_, "control-error frobnicate"));
  EXPECT_TRUE(HasLine(log_, "received PING"));
  EXPECT_FALSE(HasLine(log_, "received send CALL 61 STATUS RINGING"));

  EXPECT_TRUE(Control("quit"));
  EXPECT_EQ(skype_->WaitForExit(), 0u);
}

TEST_F(FakeSkypeTest, WithoutAttachOnlyTheDiscoveryIsLogged) {
  StartSkype({"--no-attach"}, false);
  client_.Discover();
  EXPECT_FALSE(client_.PumpUntil([&] { return !client_.attaches.empty(); }, kQuiet));
  EXPECT_TRUE(HasLineStartingWith(log_, "discover 0x"));
  ASSERT_TRUE(Control("attach on"));
  client_.Discover();
  EXPECT_TRUE(client_.PumpUntil([&] { return !client_.attaches.empty(); }));
}

TEST_F(FakeSkypeTest, StartOptionsSetStatusTabAndTitle) {
  StartSkype({"--status", "3", "--tab", "1", "--title", "Skype - alice"});
  EXPECT_EQ(client_.attaches[0].second, 3);
  EXPECT_EQ(SelectedTab(), 1);
  EXPECT_EQ(WindowText(main_), "Skype - alice");
}

// Nested: the peer answers from inside the handling of the message that caused the answer.
TEST_F(FakeSkypeTest, NestedRepliesArriveBeforeTheCausingSendReturns) {
  StartSkype({"--nested"}, false);
  client_.Discover();
  EXPECT_EQ(client_.attaches.size(), 1u);
  client_.Send(api_, "PING");
  ASSERT_EQ(client_.texts.size(), 1u);
  EXPECT_EQ(client_.texts[0].text, "PONG");
}

}  // namespace
}  // namespace telvaro::e2e
