// demo: tells the story of one session with TELVARO, for real. It starts a fake X-Lite and a fake
// Skype, starts telvaro.exe with the virtual handset, plugs the handset, dials and calls with
// X-Lite, switches to Skype, lets a call ring, answers it and hangs up; then a fake MicroSIP, set
// up to tell its call events with `telvaro.exe --call`, places a call dialled on the handset and
// rings. It prints at every step what the fakes received. It leaves every program running with
// TELVARO's window opened from its tray menu, so that the caller can take a screenshot; the caller
// ends them.
//
//   demo.exe <folder for the logs>
//   demo.exe --show-window     (only starts telvaro.exe and opens its window)
//   demo.exe --show-dial-display <file>   (dials on the handset with MicroSIP chosen and writes
//                              where the dial display shows, as WxH+X+Y, to the file)
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "../../src/shell/win32/ViewIds.h"
#include "../fakeapp/FakeAppCommands.h"
#include "FakeSkypeControl.h"
#include "HandsetControl.h"

namespace {

using namespace telvaro;

constexpr DWORD kWaitMs = 10000;

std::string Folder;

std::string ExeDir() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string dir(path);
  return dir.substr(0, dir.find_last_of("\\/") + 1);
}

bool Start(const std::string& exe, const std::string& args) {
  std::string line = "\"" + ExeDir() + exe + "\" " + args;
  // The programs outlive the demo: they must not hold on to its output, or a reader of the story
  // through a pipe would wait for them.
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE nul = CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           &inherit, OPEN_EXISTING, 0, nullptr);
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = si.hStdOutput = si.hStdError = nul;
  PROCESS_INFORMATION pi = {};
  const BOOL started = CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE,
                                      CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi);
  CloseHandle(nul);
  if (!started) {
    std::printf("   could not start %s\n", exe.c_str());
    return false;
  }
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return true;
}

std::vector<std::string> Lines(const std::string& path) {
  std::vector<std::string> lines;
  std::ifstream file(path);
  for (std::string line; std::getline(file, line);) lines.push_back(line);
  return lines;
}

template <typename Condition>
bool WaitFor(Condition condition, DWORD timeoutMs = kWaitMs) {
  const DWORD start = GetTickCount();
  while (!condition()) {
    if (GetTickCount() - start > timeoutMs) return false;
    Sleep(50);
  }
  return true;
}

bool HasLine(const std::string& path, const std::string& wanted) {
  for (const std::string& line : Lines(path)) {
    if (line == wanted) return true;
  }
  return false;
}

int CountLinesStarting(const std::string& path, const std::string& prefix) {
  int count = 0;
  for (const std::string& line : Lines(path)) {
    if (line.rfind(prefix, 0) == 0) ++count;
  }
  return count;
}

// Prints what a fake logged since the last call for the same log.
class Watch {
 public:
  explicit Watch(std::string path) : path_(std::move(path)) {}
  void Settle() { Sleep(400); }
  void PrintNew(const char* who) {
    Settle();
    std::vector<std::string> lines = Lines(path_);
    bool any = false;
    for (std::size_t i = seen_; i < lines.size(); ++i) {
      if (lines[i] == "ready" || lines[i] == "received PING" || lines[i] == "sent PONG" ||
          lines[i] == "main WM_SETFOCUS 0x0 0x00000000") {
        continue;
      }
      std::printf("   %s got: %s\n", who, lines[i].c_str());
      any = true;
    }
    if (!any) std::printf("   %s got nothing\n", who);
    seen_ = lines.size();
  }
  void Skip() { seen_ = Lines(path_).size(); }

 private:
  std::string path_;
  std::size_t seen_ = 0;
};

HWND MainWindow() { return FindWindowA("TMainForm", "TELVARO 1.3.0"); }

void Choose(int row, const char* name) {
  std::printf("\n* Choosing %s in TELVARO's list of applications\n", name);
  HWND combo = GetDlgItem(MainWindow(), view::kAppComboId);
  SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(row), 0);
  SendMessageA(MainWindow(), WM_COMMAND, MAKEWPARAM(view::kAppComboId, CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(combo));
}

// Handset key codes run down the keypad's columns.
int CodeOf(char key) {
  const std::string order = "147*2580369#";
  return static_cast<int>(order.find(key)) + 1;
}

void Press(int code, const char* what) {
  std::printf("\n* Handset: %s\n", what);
  tools::SendHandsetCommand("press " + std::to_string(code));
}

void Dial(const std::string& number) {
  std::printf("\n* Handset: dialling %s\n", number.c_str());
  for (char key : number) {
    tools::SendHandsetCommand("press " + std::to_string(CodeOf(key)));
    Sleep(150);
  }
}

void PrintBuzzer() {
  std::optional<bool> on = tools::QueryHandset("buzzer");
  std::printf("   handset buzzer: %s\n", !on ? "unknown" : *on ? "ON (ringing)" : "off");
}

std::string Status() {
  wchar_t text[256] = {};
  if (SendMessageW(GetDlgItem(MainWindow(), view::kStatusBarId), WM_GETTEXT, 256,
                   reinterpret_cast<LPARAM>(text)) <= 0) {
    return "";
  }
  char narrow[256] = {};
  WideCharToMultiByte(CP_ACP, 0, text, -1, narrow, sizeof narrow, nullptr, nullptr);
  return narrow;
}

HWND DialDisplay() { return FindWindowA("TELVARO.DialDisplay", nullptr); }

// What the dial display shows, on one line.
std::string DialDisplayText() {
  char text[512] = {};
  GetWindowTextA(FindWindowExA(DialDisplay(), nullptr, "Static", nullptr), text, sizeof text);
  std::string line(text);
  for (std::size_t at = 0; (at = line.find("\r\n", at)) != std::string::npos;) {
    line.replace(at, 2, " | ");
  }
  return line;
}

void PrintDialDisplay() {
  const bool shown = WaitFor([] { return IsWindowVisible(DialDisplay()) != FALSE; });
  std::printf("   dial display: %s\n",
              shown ? ("\"" + DialDisplayText() + "\"").c_str() : "not shown");
}

// A fake MicroSIP whose microsip.ini has the lines the README gives: its call events come back to
// TELVARO through `telvaro.exe --call`.
bool MicroSipStory() {
  const std::string log = Folder + "\\microsip.log";
  const std::string ini = Folder + "\\microsip.ini";
  DeleteFileA(log.c_str());
  const std::string exe = "\"" + ExeDir() + "telvaro.exe\"";
  std::ofstream(ini) << "[Settings]\r\ncmdCallRing=" << exe
                     << " --call ring\r\ncmdCallStart=" << exe << " --call up\r\ncmdCallEnd=" << exe
                     << " --call end\r\ncmdCallBusy=" << exe << " --call end\r\n";
  std::printf(
      "\n* Starting a fake MicroSIP; its microsip.ini runs telvaro.exe --call on call events\n");
  Start("fakeapp.exe", "| --log \"" + log + "\" --ini \"" + ini + "\"");
  if (!WaitFor([&] { return HasLine(log, "ready"); })) {
    std::printf("   the fake MicroSIP did not start\n");
    return false;
  }
  Watch microSip(log);
  Choose(21, "MicroSIP");
  Sleep(500);
  std::printf("   status line: \"%s\"\n", Status().c_str());
  microSip.Skip();
  Dial("5550100");
  microSip.PrintNew("MicroSIP");
  PrintDialDisplay();
  Press(13, "call key");
  WaitFor([&] { return CountLinesStarting(log, "hook cmdCallStart") >= 1; }, 30000);
  microSip.PrintNew("MicroSIP");
  Dial("5");
  microSip.PrintNew("MicroSIP");
  Press(14, "hang-up key");
  WaitFor([&] { return CountLinesStarting(log, "hook cmdCallEnd") >= 1; }, 30000);
  microSip.PrintNew("MicroSIP");

  std::printf("\n* MicroSIP: a call comes in\n");
  PostMessageA(FindWindowA("MicroSIP", nullptr),
               RegisterWindowMessageA(fakeapp::kFarEndMessageName), fakeapp::kCallRings, 0);
  WaitFor([&] { return CountLinesStarting(log, "hook cmdCallRing") >= 1; }, 30000);
  WaitFor([] { return tools::QueryHandset("buzzer") == true; });
  microSip.PrintNew("MicroSIP");
  PrintBuzzer();
  PrintDialDisplay();
  Press(13, "call key (answer)");
  WaitFor([] { return tools::QueryHandset("buzzer") == false; }, 30000);
  microSip.PrintNew("MicroSIP");
  PrintBuzzer();
  Press(14, "hang-up key");
  WaitFor([&] { return CountLinesStarting(log, "hook cmdCallEnd") >= 2; }, 30000);
  microSip.PrintNew("MicroSIP");
  PrintBuzzer();
  return true;
}

}  // namespace

// Starts telvaro.exe and opens its window, for a picture of it alone (at another DPI, say).
int ShowWindowOnly() {
  SetProcessDPIAware();  // real pixels, not the ones made up for programs unaware of DPI
  Start("telvaro.exe", "");
  if (!WaitFor([] { return MainWindow() != nullptr; })) {
    std::printf("telvaro.exe did not start\n");
    return 1;
  }
  PostMessageA(MainWindow(), WM_COMMAND, MAKEWPARAM(view::kMenuRestoreId, 0), 0);
  if (!WaitFor([] { return IsWindowVisible(MainWindow()) != FALSE; })) return 1;
  RECT client = {};
  GetClientRect(MainWindow(), &client);
  std::printf("TELVARO's window is open, client area %ld x %ld\n", client.right, client.bottom);
  return 0;
}

// Dials with MicroSIP chosen (none runs: the number stays in TELVARO) and writes where the dial
// display shows, for a picture of it alone while it is there.
int ShowDialDisplayOnly(const std::string& geometryFile) {
  SetProcessDPIAware();
  if (!MainWindow()) Start("telvaro.exe", "");
  if (!WaitFor([] { return MainWindow() != nullptr && tools::FindHandsetWindow(); })) {
    std::printf("telvaro.exe did not start\n");
    return 1;
  }
  tools::SendHandsetCommand("plug");
  WaitFor([] { return tools::QueryHandset("scanning") == true; });
  Choose(21, "MicroSIP");
  Dial("5550100");
  if (!WaitFor([] { return IsWindowVisible(DialDisplay()) != FALSE; })) {
    std::printf("   the dial display did not show\n");
    return 1;
  }
  RECT r = {};
  GetWindowRect(DialDisplay(), &r);
  std::printf("   dial display: \"%s\", %ld x %ld pixels\n", DialDisplayText().c_str(),
              r.right - r.left, r.bottom - r.top);
  std::ofstream(geometryFile) << (r.right - r.left) << "x" << (r.bottom - r.top) << "+" << r.left
                              << "+" << r.top << "\n";
  return 0;
}

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IONBF, 0);  // the story is read line by line through a pipe
  if (argc > 1 && std::string(argv[1]) == "--show-window") return ShowWindowOnly();
  if (argc > 2 && std::string(argv[1]) == "--show-dial-display") {
    return ShowDialDisplayOnly(argv[2]);
  }
  Folder = argc > 1 ? argv[1] : ".";
  const std::string xliteLog = Folder + "\\xlite.log";
  const std::string skypeLog = Folder + "\\skype.log";
  DeleteFileA(xliteLog.c_str());
  DeleteFileA(skypeLog.c_str());

  std::printf("* Starting a fake X-Lite and a fake Skype\n");
  Start("fakeapp.exe", "d --log \"" + xliteLog + "\"");
  Start("fakeskype.exe", "--log \"" + skypeLog + "\"");
  if (!WaitFor([&] { return HasLine(xliteLog, "ready") && HasLine(skypeLog, "ready"); })) {
    std::printf("   the fakes did not start\n");
    return 1;
  }
  Watch xlite(xliteLog), skype(skypeLog);

  std::printf("\n* Starting telvaro.exe (it sits in the notification area)\n");
  Start("telvaro.exe", "");
  if (!WaitFor([] { return MainWindow() != nullptr && tools::FindHandsetWindow(); })) {
    std::printf("   telvaro.exe did not start\n");
    return 1;
  }
  std::printf("   status line: \"%s\"\n", Status().c_str());

  std::printf("\n* Plugging in the handset\n");
  tools::SendHandsetCommand("plug");
  WaitFor([] { return tools::QueryHandset("scanning") == true; });
  std::printf("   key scanning: %s\n", tools::QueryHandset("scanning") == true ? "on" : "off");

  Choose(1, "X-Lite");
  Sleep(500);
  std::printf("   status line: \"%s\"\n", Status().c_str());
  xlite.Skip();
  Dial("5551234");
  xlite.PrintNew("X-Lite");
  Press(13, "call key");
  xlite.PrintNew("X-Lite");
  Press(14, "hang-up key");
  xlite.PrintNew("X-Lite");

  skype.Skip();
  Choose(0, "Skype");
  WaitFor([&] { return HasLine(skypeLog, "received PROTOCOL 3"); });
  skype.PrintNew("Skype");

  std::printf("\n* Skype: an incoming call 61 rings\n");
  tools::SendFakeSkypeControl("send CALL 61 STATUS RINGING");
  skype.Skip();
  PrintBuzzer();
  Press(13, "call key (answer)");
  skype.PrintNew("Skype");
  std::printf("\n* Skype: call 61 is in progress\n");
  tools::SendFakeSkypeControl("send CALL 61 STATUS INPROGRESS");
  skype.Skip();
  PrintBuzzer();
  Press(14, "hang-up key");
  skype.PrintNew("Skype");
  tools::SendFakeSkypeControl("send CALL 61 STATUS FINISHED");
  skype.Skip();

  if (!MicroSipStory()) return 1;

  std::printf("\n* Opening TELVARO's window from its tray menu (\"&Open TELVARO\")\n");
  PostMessageA(MainWindow(), WM_COMMAND, MAKEWPARAM(view::kMenuRestoreId, 0), 0);
  WaitFor([] { return IsWindowVisible(MainWindow()) != FALSE; });
  Sleep(6000);  // one presence poll
  std::printf("   status line: \"%s\"\n", Status().c_str());
  std::printf("\nDemo finished.\n");
  return 0;
}
