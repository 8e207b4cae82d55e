// telvaro_bench: measures telvaro.exe beside bench_baseline.exe in one run, under the same load,
// and prints one Markdown table row per figure: | figure | TELVARO | baseline | ratio |.
// It asserts nothing; scripts/bench.sh runs it and puts the rows into its table.
//
//   telvaro_bench.exe [--keys N] [--rounds R] [--idle-seconds S] [--samples CSV]
//                     [keys] [poll] [idle] [display]
//
//   keys  R rounds (default 3) of N handset keys (key-down and key-up posted to the main window,
//         as the handset library posts them) with X-Lite as the target; the latency from the post
//         to the fake X-Lite's receipt of WM_KEYUP, p50 and p99, the two programs interleaved key
//         by key, both started afresh for every round. Private memory and working set after
//         start-up and after the keys, from the first round. --samples writes every
//         key's receipt times of WM_KEYDOWN, WM_CHAR and WM_KEYUP to a CSV file.
//   poll  one presence-poll tick (WM_TIMER of the poll timer, sent and timed round trip) with
//         VoipBuster selected, against the baseline's bare EnumWindows, with 10, 100 and 1000
//         top-level windows on the desktop.
//   idle  CPU time of each program over S seconds with Skype selected and no Skype running:
//         once beside the baseline idling (which then spends its time on TELVARO's discovery
//         broadcasts), once beside the baseline making the same calls as TELVARO's presence
//         poll every 5 s (bench_baseline --discover).
//   display  the same key latency with the dial display on, against off, in alternating rounds of
//         one run (only one copy of TELVARO runs at a time, so the keys cannot interleave).
//
// No phase: all four. The fake X-Lite and the crowd of windows live on a thread of this process,
// so that receipt times come from the same clock as the post times.
#include "E2e.h"
// After <windows.h>, which E2e.h includes.
#include <psapi.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "FakeLog.h"
#include "Layouts.h"

namespace telvaro::bench {
namespace {

using e2e::Millis;
using e2e::Process;

constexpr UINT kHandsetKeyDown = 5122;
constexpr UINT kHandsetKeyUp = 5123;
constexpr WPARAM kKey5 = 6;  // handset key code of the 5 key
constexpr UINT_PTR kPollTimerId = 1;
constexpr int kWarmUpKeys = 50;
constexpr DWORD kReceiptTimeoutMs = 5000;
constexpr DWORD kTickTimeoutMs = 30000;
constexpr Millis kSettle{2000};

// Rows of the supported application table the phases select.
constexpr int kSkypeRow = 0;
constexpr int kXLiteRow = 1;
constexpr int kVoipBusterRow = 16;

constexpr char kBaselineExe[] = "bench_baseline.exe";
constexpr char kBaselineClass[] = "TelvaroBenchBaseline";
constexpr char kCrowdClass[] = "TelvaroBenchCrowd";

#if defined(_WIN64)
constexpr char kArch[] = "x64";
#else
constexpr char kArch[] = "x86";
#endif

// ---- Time --------------------------------------------------------------------------------------

LONGLONG Now() {
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return t.QuadPart;
}

double TicksToMs(LONGLONG ticks) {
  static const double frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return static_cast<double>(f.QuadPart);
  }();
  return static_cast<double>(ticks) * 1000.0 / frequency;
}

// The value below which `share` of the samples lie (nearest rank).
double Percentile(std::vector<double> samples, double share) {
  if (samples.empty()) return 0;
  std::sort(samples.begin(), samples.end());
  auto rank = static_cast<std::size_t>(share * static_cast<double>(samples.size()) + 0.5);
  rank = std::clamp<std::size_t>(rank, 1, samples.size());
  return samples[rank - 1];
}

// ---- Output ------------------------------------------------------------------------------------

std::string Format(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

std::string Ratio(double telvaro, double baseline) {
  if (baseline <= 0) return "n/a (baseline 0)";
  return Format("%.2f", telvaro / baseline);
}

void Row(const std::string& figure, const std::string& telvaro, const std::string& baseline,
         const std::string& ratio) {
  std::printf("| %s | %s | %s | %s |\n", figure.c_str(), telvaro.c_str(), baseline.c_str(),
              ratio.c_str());
  std::fflush(stdout);
}

void NotMeasured(const std::string& figure, const std::string& why) {
  Row(figure, "not measured: " + why, "", "");
}

// ---- The desk: the fake X-Lite and the crowd of top-level windows, on a thread of their own -----

class Desk {
 public:
  Desk() {
    ready_ = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    keyUp_ = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    thread_ = std::thread([this] { Run(); });
    WaitForSingleObject(ready_, INFINITE);
  }
  ~Desk() {
    PostThreadMessageA(threadId_, WM_QUIT, 0, 0);
    thread_.join();
    CloseHandle(ready_);
    CloseHandle(keyUp_);
  }
  Desk(const Desk&) = delete;
  Desk& operator=(const Desk&) = delete;

  // Opens the fake X-Lite (the layout fakeapp uses) and brings it to the front.
  HWND OpenXLite() {
    Ask(kOpenXLite, 0);
    return xLite_;
  }
  // Adds hidden top-level windows until `count` of them belong to the crowd.
  void GrowCrowd(int count) { Ask(kGrowCrowd, static_cast<WPARAM>(count)); }

  struct Receipts {
    LONGLONG keyDown, character, keyUp;
  };
  void ExpectKeyUp() { ResetEvent(keyUp_); }
  // When the fake received the three messages of the next key, or nothing when its WM_KEYUP did
  // not come in time.
  std::optional<Receipts> WaitForKeyUp() {
    if (WaitForSingleObject(keyUp_, kReceiptTimeoutMs) != WAIT_OBJECT_0) return std::nullopt;
    return Receipts{keyDownAt_.load(), charAt_.load(), keyUpAt_.load()};
  }

 private:
  static constexpr UINT kOpenXLite = WM_APP + 1;
  static constexpr UINT kGrowCrowd = WM_APP + 2;

  void Ask(UINT request, WPARAM argument) {
    PostThreadMessageA(threadId_, request, argument, 0);
    WaitForSingleObject(ready_, INFINITE);
  }

  static const fakeapp::WindowRow& XLiteLayout() {
    for (const fakeapp::WindowRow& row : fakeapp::kWindows) {
      if (row.app == 'd' && row.parent == nullptr && std::string_view(row.label) == "main") {
        return row;
      }
    }
    std::abort();
  }

  static LRESULT CALLBACK XLiteProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* desk = reinterpret_cast<Desk*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (desk == nullptr) return DefWindowProcA(window, msg, wParam, lParam);
    switch (msg) {
      case WM_KEYDOWN:
        desk->keyDownAt_ = Now();
        return 0;
      case WM_CHAR:
        desk->charAt_ = Now();
        return 0;
      case WM_KEYUP:
        desk->keyUpAt_ = Now();
        SetEvent(desk->keyUp_);
        return 0;
      default:
        return DefWindowProcA(window, msg, wParam, lParam);
    }
  }

  void Register(const char* className, WNDPROC proc) {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = className;
    RegisterClassExA(&wc);
  }

  void CreateXLite() {
    if (xLite_ != nullptr) return;
    const fakeapp::WindowRow& layout = XLiteLayout();
    Register(layout.className, XLiteProc);
    RECT frame{0, 0, layout.width, layout.height};
    AdjustWindowRectEx(&frame, WS_OVERLAPPEDWINDOW, FALSE, 0);
    xLite_ = CreateWindowExA(0, layout.className, layout.text, WS_OVERLAPPEDWINDOW, 40, 40,
                             frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
    if (xLite_ == nullptr) return;
    SetWindowLongPtrA(xLite_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    ShowWindow(xLite_, SW_SHOW);
    SetForegroundWindow(xLite_);
  }

  void Grow(int count) {
    if (crowd_.empty()) Register(kCrowdClass, DefWindowProcA);
    while (static_cast<int>(crowd_.size()) < count) {
      const std::string title = "bench crowd window " + std::to_string(crowd_.size() + 1);
      HWND window = CreateWindowExA(0, kCrowdClass, title.c_str(), WS_POPUP, 0, 0, 10, 10, nullptr,
                                    nullptr, GetModuleHandleA(nullptr), nullptr);
      if (window == nullptr) break;
      crowd_.push_back(window);
    }
  }

  void Run() {
    threadId_ = GetCurrentThreadId();
    MSG msg;
    PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);  // the thread's queue exists from here on
    SetEvent(ready_);
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
      if (msg.hwnd == nullptr && msg.message == kOpenXLite) {
        CreateXLite();
        SetEvent(ready_);
      } else if (msg.hwnd == nullptr && msg.message == kGrowCrowd) {
        Grow(static_cast<int>(msg.wParam));
        SetEvent(ready_);
      } else {
        DispatchMessageA(&msg);
      }
    }
    for (HWND window : crowd_) DestroyWindow(window);
    if (xLite_ != nullptr) DestroyWindow(xLite_);
  }

  HANDLE ready_ = nullptr;
  HANDLE keyUp_ = nullptr;
  std::atomic<LONGLONG> keyDownAt_{0};
  std::atomic<LONGLONG> charAt_{0};
  std::atomic<LONGLONG> keyUpAt_{0};
  std::thread thread_;
  DWORD threadId_ = 0;
  HWND xLite_ = nullptr;
  std::vector<HWND> crowd_;
};

// ---- The two programs --------------------------------------------------------------------------

struct Program {
  Process process;
  HWND window = nullptr;
};

void SelectRow(int row) {
  // Both hives: where the settings live is the product's business, not the benchmark's.
  for (e2e::Hive hive : {e2e::Hive::LocalMachine, e2e::Hive::CurrentUser}) {
    e2e::WriteRegString(hive, e2e::kSettingsKey, "CurrentAppIndex", std::to_string(row));
    e2e::WriteRegString(hive, e2e::kSettingsKey, "AutoRun", "0");
  }
}

// telvaro.exe with `row` stored and its handset plugged in, and the baseline; empty names what
// failed.
std::string StartBoth(int row, Program& telvaro, Program& baseline, bool telvaroFirst = true,
                      const std::vector<std::string>& baselineArgs = {}) {
  e2e::KillStrayPrograms();
  e2e::ResetSettings();
  SelectRow(row);
  if (telvaroFirst) telvaro.process = Process::Start(e2e::BinPath(e2e::kTelvaroExe));
  baseline.process = Process::Start(e2e::BinPath(kBaselineExe), baselineArgs);
  if (!telvaroFirst) telvaro.process = Process::Start(e2e::BinPath(e2e::kTelvaroExe));
  if (!telvaro.process.Valid()) return "telvaro.exe did not start";
  if (!baseline.process.Valid()) return "bench_baseline.exe did not start";
  telvaro.window = e2e::WaitForWindow(e2e::kMainWindowClass, e2e::kMainWindowTitle,
                                      e2e::kDefaultTimeout, telvaro.process.Id());
  baseline.window =
      e2e::WaitForWindow(kBaselineClass, nullptr, e2e::kDefaultTimeout, baseline.process.Id());
  if (telvaro.window == nullptr) return "telvaro.exe shows no main window";
  if (baseline.window == nullptr) return "bench_baseline.exe shows no window";
  // Detection is the last start-up step; a plugged handset is what a user has.
  if (e2e::WaitForHandset(telvaro.process.Id()) != nullptr) {
    e2e::Handset("plug", telvaro.process.Id());
  }
  Sleep(static_cast<DWORD>(kSettle.count()));
  return {};
}

void StopBoth(Program& telvaro, Program& baseline) {
  telvaro.process.Kill();
  baseline.process.Kill();
  e2e::ResetSettings();
}

struct Memory {
  double privateMiB = 0;
  double workingSetMiB = 0;
  bool fromLinux = false;  // privateMiB is RssAnon + VmSwap of the Linux process
};

constexpr double kMiB = 1024.0 * 1024.0;

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// The Linux process that runs `exePath` under Wine (its command line starts with the Windows
// path of the image), through Wine's Z: drive; empty when there is none. Other users of the
// machine run programs of the same name, but from other folders.
std::string LinuxProcFolder(const std::string& exePath) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA("Z:\\proc\\*", &found);
  if (search == INVALID_HANDLE_VALUE) return {};
  std::string match;
  const std::string wanted = Lower(exePath);
  do {
    const std::string name = found.cFileName;
    if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) continue;
    const std::string folder = "Z:\\proc\\" + name;
    std::string commandLine;
    for (const std::string& line : e2e::ReadLines(folder + "\\cmdline")) commandLine += line;
    commandLine = Lower(commandLine.substr(0, commandLine.find('\0')));
    if (commandLine == wanted) {
      match = folder;
      break;
    }
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return match;
}

// Anonymous resident memory plus swap, from /proc/<pid>/status: a process's private memory.
std::optional<double> LinuxPrivateMiB(const std::string& exePath) {
  const std::string folder = LinuxProcFolder(exePath);
  if (folder.empty()) return std::nullopt;
  double kib = 0;
  bool seen = false;
  for (const std::string& line : e2e::ReadLines(folder + "\\status")) {
    for (std::string_view field : {"RssAnon:", "VmSwap:"}) {
      if (line.compare(0, field.size(), field) == 0) {
        kib += std::atof(line.c_str() + field.size());
        seen = true;
      }
    }
  }
  if (!seen) return std::nullopt;
  return kib / 1024.0;
}

Memory MemoryOf(const Process& process, const std::string& exePath) {
  PROCESS_MEMORY_COUNTERS_EX counters{};
  counters.cb = sizeof counters;
  Memory memory;
  if (GetProcessMemoryInfo(process.Handle(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                           sizeof counters)) {
    memory.privateMiB = static_cast<double>(counters.PrivateUsage) / kMiB;
    memory.workingSetMiB = static_cast<double>(counters.WorkingSetSize) / kMiB;
  }
  // Wine leaves PrivateUsage of another process at 0; read what Linux knows of the process.
  if (memory.privateMiB == 0) {
    if (std::optional<double> anonymous = LinuxPrivateMiB(exePath)) {
      memory.privateMiB = *anonymous;
      memory.fromLinux = true;
    }
  }
  return memory;
}

void MemoryRows(const std::string& when, const Memory& telvaro, const Memory& baseline) {
  const char* source = telvaro.fromLinux || baseline.fromLinux ? " (RssAnon + VmSwap)" : "";
  Row(std::string("private memory ") + kArch + ", " + when + source,
      Format("%.1f MiB", telvaro.privateMiB), Format("%.1f MiB", baseline.privateMiB),
      Ratio(telvaro.privateMiB, baseline.privateMiB));
  Row(std::string("working set ") + kArch + ", " + when, Format("%.1f MiB", telvaro.workingSetMiB),
      Format("%.1f MiB", baseline.workingSetMiB),
      Ratio(telvaro.workingSetMiB, baseline.workingSetMiB));
}

// ---- Phases ------------------------------------------------------------------------------------

// The times from the post to the fake's receipt of each of the three messages, in ms.
struct KeySample {
  double keyDown, character, keyUp;
};

// One key as the handset library delivers it; nothing when the fake never saw the WM_KEYUP.
std::optional<KeySample> TimeKey(Desk& desk, HWND target) {
  desk.ExpectKeyUp();
  const LONGLONG posted = Now();
  PostMessageA(target, kHandsetKeyDown, kKey5, 0);
  PostMessageA(target, kHandsetKeyUp, kKey5, 0);
  std::optional<Desk::Receipts> received = desk.WaitForKeyUp();
  if (!received) return std::nullopt;
  return KeySample{TicksToMs(received->keyDown - posted), TicksToMs(received->character - posted),
                   TicksToMs(received->keyUp - posted)};
}

std::string LatencyCell(const std::vector<double>& samples, int lost) {
  std::string cell = Format("p50 %.3f ms", Percentile(samples, 0.5)) +
                     Format(", p99 %.3f ms", Percentile(samples, 0.99));
  if (lost > 0) cell += ", " + std::to_string(lost) + " keys lost";
  return cell;
}

struct KeyRound {
  std::vector<double> telvaroMs, baselineMs;
  int telvaroLost = 0, baselineLost = 0;
};

// `keys` keys to each program, interleaved key by key; every key's receipt times go to `samples`.
KeyRound RunKeys(Desk& desk, const Program& telvaro, const Program& baseline, int keys, int round,
                 FILE* samples) {
  KeyRound result;
  for (int i = 0; i < kWarmUpKeys + keys; ++i) {
    // Who goes first changes every key, so neither always runs on the other's heels.
    for (int turn = 0; turn < 2; ++turn) {
      const bool telvaroTurn = (turn == 0) == (i % 2 == 0);
      std::optional<KeySample> key = TimeKey(desk, telvaroTurn ? telvaro.window : baseline.window);
      if (i < kWarmUpKeys) continue;
      if (!key) {
        ++(telvaroTurn ? result.telvaroLost : result.baselineLost);
        continue;
      }
      (telvaroTurn ? result.telvaroMs : result.baselineMs).push_back(key->keyUp);
      if (samples != nullptr) {
        std::fprintf(samples, "%d,%s,%d,%.3f,%.3f,%.3f\n", round,
                     telvaroTurn ? "telvaro" : "baseline", i - kWarmUpKeys + 1, key->keyDown,
                     key->character, key->keyUp);
      }
    }
  }
  return result;
}

double MedianRatio(const std::vector<double>& telvaro, const std::vector<double>& baseline) {
  return Percentile(telvaro, 0.5) / std::max(Percentile(baseline, 0.5), 1e-9);
}

// Rounds of `keys` keys, each with both programs started afresh (the one started first
// alternating): on a busy machine one process of a pair can stay slow for its whole life, so one
// pair alone tells more about the machine than about the program.
void KeysPhase(int keys, int rounds, const std::string& samplesPath) {
  const std::string figure = std::string("key latency ") + kArch + " (" + std::to_string(rounds) +
                             " x " + std::to_string(keys) + " keys, post to WM_KEYUP)";
  Desk desk;
  if (desk.OpenXLite() == nullptr) return NotMeasured(figure, "no fake X-Lite window");
  FILE* samples =
      samplesPath.empty() ? nullptr : std::fopen(tools::NormalizeLogPath(samplesPath).c_str(), "w");
  if (samples != nullptr) std::fprintf(samples, "round,program,key,keydown_ms,char_ms,keyup_ms\n");
  const std::string telvaroExe = e2e::BinPath(e2e::kTelvaroExe);
  const std::string baselineExe = e2e::BinPath(kBaselineExe);

  KeyRound all;
  std::string perRound;
  Memory memory[4];  // telvaro and baseline after start-up, then after the keys
  for (int round = 1; round <= rounds; ++round) {
    Program telvaro, baseline;
    if (std::string failure = StartBoth(kXLiteRow, telvaro, baseline, round % 2 == 1);
        !failure.empty()) {
      StopBoth(telvaro, baseline);
      if (samples != nullptr) std::fclose(samples);
      return NotMeasured(figure, failure);
    }
    const Memory telvaroAtStart = MemoryOf(telvaro.process, telvaroExe);
    const Memory baselineAtStart = MemoryOf(baseline.process, baselineExe);
    const KeyRound result = RunKeys(desk, telvaro, baseline, keys, round, samples);
    all.telvaroMs.insert(all.telvaroMs.end(), result.telvaroMs.begin(), result.telvaroMs.end());
    all.baselineMs.insert(all.baselineMs.end(), result.baselineMs.begin(), result.baselineMs.end());
    all.telvaroLost += result.telvaroLost;
    all.baselineLost += result.baselineLost;
    perRound += (perRound.empty() ? "" : " / ") +
                Format("%.2f", MedianRatio(result.telvaroMs, result.baselineMs));
    if (round == 1) {
      memory[0] = telvaroAtStart;
      memory[1] = baselineAtStart;
      memory[2] = MemoryOf(telvaro.process, telvaroExe);
      memory[3] = MemoryOf(baseline.process, baselineExe);
    }
    StopBoth(telvaro, baseline);
  }
  if (samples != nullptr) std::fclose(samples);
  Row(figure, LatencyCell(all.telvaroMs, all.telvaroLost),
      LatencyCell(all.baselineMs, all.baselineLost),
      Format("p50 %.2f", MedianRatio(all.telvaroMs, all.baselineMs)) +
          Format(", p99 %.2f", Percentile(all.telvaroMs, 0.99) /
                                   std::max(Percentile(all.baselineMs, 0.99), 1e-9)) +
          " (p50 by round: " + perRound + ")");
  MemoryRows("after start-up", memory[0], memory[1]);
  MemoryRows("after " + std::to_string(keys) + " keys", memory[2], memory[3]);
}

// TELVARO alone with X-Lite stored and the dial display on or off; its main window, or nothing.
HWND StartWithDialDisplay(Process& telvaro, bool on) {
  e2e::KillStrayPrograms();
  e2e::ResetSettings();
  SelectRow(kXLiteRow);
  for (e2e::Hive hive : {e2e::Hive::LocalMachine, e2e::Hive::CurrentUser}) {
    e2e::WriteRegString(hive, e2e::kSettingsKey, "DialDisplay", on ? "" : "0");
  }
  telvaro = Process::Start(e2e::BinPath(e2e::kTelvaroExe));
  if (!telvaro.Valid()) return nullptr;
  HWND window = e2e::WaitForWindow(e2e::kMainWindowClass, e2e::kMainWindowTitle,
                                   e2e::kDefaultTimeout, telvaro.Id());
  if (window != nullptr && e2e::WaitForHandset(telvaro.Id()) != nullptr) {
    e2e::Handset("plug", telvaro.Id());
  }
  Sleep(static_cast<DWORD>(kSettle.count()));
  return window;
}

void DisplayPhase(int keys, int rounds) {
  const std::string figure = std::string("key latency ") + kArch +
                             ", dial display on (baseline: " + "off; " + std::to_string(rounds) +
                             " x " + std::to_string(keys) + " keys each, rounds alternating)";
  Desk desk;
  if (desk.OpenXLite() == nullptr) return NotMeasured(figure, "no fake X-Lite window");
  std::vector<double> samples[2];  // on, off
  int lost[2] = {0, 0};
  for (int round = 0; round < 2 * rounds; ++round) {
    const int side = round % 2;
    Process telvaro;
    HWND window = StartWithDialDisplay(telvaro, side == 0);
    if (window == nullptr) {
      telvaro.Kill();
      e2e::ResetSettings();
      return NotMeasured(figure, "telvaro.exe did not start");
    }
    for (int i = 0; i < kWarmUpKeys + keys; ++i) {
      std::optional<KeySample> key = TimeKey(desk, window);
      if (i < kWarmUpKeys) continue;
      if (key) {
        samples[side].push_back(key->keyUp);
      } else {
        ++lost[side];
      }
    }
    telvaro.Kill();
    e2e::ResetSettings();
  }
  Row(figure, LatencyCell(samples[0], lost[0]), LatencyCell(samples[1], lost[1]),
      Format("p50 %.2f", MedianRatio(samples[0], samples[1])) +
          Format(", p99 %.2f",
                 Percentile(samples[0], 0.99) / std::max(Percentile(samples[1], 0.99), 1e-9)));
}

BOOL CALLBACK CountWindow(HWND, LPARAM counter) {
  ++*reinterpret_cast<int*>(counter);
  return TRUE;
}

int CountTopLevelWindows() {
  int count = 0;
  EnumWindows(CountWindow, reinterpret_cast<LPARAM>(&count));
  return count;
}

// One poll tick, sent and timed round trip, in ms; nothing when it did not answer in time.
std::optional<double> TimeTick(HWND target) {
  DWORD_PTR result = 0;
  const LONGLONG sent = Now();
  if (SendMessageTimeoutA(target, WM_TIMER, kPollTimerId, 0, SMTO_NORMAL, kTickTimeoutMs,
                          &result) == 0) {
    return std::nullopt;
  }
  return TicksToMs(Now() - sent);
}

void PollPhase() {
  Desk desk;
  Program telvaro, baseline;
  if (std::string failure = StartBoth(kVoipBusterRow, telvaro, baseline); !failure.empty()) {
    StopBoth(telvaro, baseline);
    return NotMeasured("presence poll", failure);
  }
  const int others = CountTopLevelWindows();
  for (int n : {10, 100, 1000}) {
    desk.GrowCrowd(std::max(0, n - others));
    const int present = CountTopLevelWindows();
    std::string figure = "presence poll N=" + std::to_string(n) + " (one tick, median";
    if (present != n) figure += ", " + std::to_string(present) + " windows present";
    figure += ")";
    const int ticks = n >= 1000 ? 40 : 200;
    std::vector<double> telvaroMs, baselineMs;
    int lost = 0;
    for (int i = 0; i < ticks + 5; ++i) {
      for (int turn = 0; turn < 2; ++turn) {
        const bool telvaroTurn = (turn == 0) == (i % 2 == 0);
        std::optional<double> ms = TimeTick(telvaroTurn ? telvaro.window : baseline.window);
        if (i < 5) continue;
        if (ms) {
          (telvaroTurn ? telvaroMs : baselineMs).push_back(*ms);
        } else {
          ++lost;
        }
      }
    }
    if (lost > 0) figure += ", " + std::to_string(lost) + " ticks timed out";
    const double t = Percentile(telvaroMs, 0.5);
    const double b = Percentile(baselineMs, 0.5);
    Row(figure, Format("%.3f ms", t), Format("%.3f ms", b), Ratio(t, b));
  }
  StopBoth(telvaro, baseline);
}

// Time on a CPU of every thread of the process, from /proc/<pid>/task/<tid>/schedstat (its first
// field, in ns). Finer than the 10 ms steps in which Wine reports a process's times.
std::optional<double> LinuxCpuMs(const std::string& exePath) {
  const std::string folder = LinuxProcFolder(exePath);
  if (folder.empty()) return std::nullopt;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "\\task\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return std::nullopt;
  double ns = 0;
  bool seen = false;
  do {
    const std::string name = found.cFileName;
    if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) continue;
    for (const std::string& line : e2e::ReadLines(folder + "\\task\\" + name + "\\schedstat")) {
      ns += std::strtod(line.c_str(), nullptr);
      seen = true;
    }
  } while (FindNextFileA(search, &found));
  FindClose(search);
  if (!seen) return std::nullopt;
  return ns / 1e6;
}

struct Cpu {
  double ms = 0;
  bool fromLinux = false;
};

Cpu CpuOf(const Process& process, const std::string& exePath) {
  Cpu cpu;
  if (std::optional<double> ms = LinuxCpuMs(exePath)) {
    cpu.ms = *ms;
    cpu.fromLinux = true;
    return cpu;
  }
  FILETIME created, exited, kernel, user;
  if (GetProcessTimes(process.Handle(), &created, &exited, &kernel, &user)) {
    auto value = [](const FILETIME& t) {
      return static_cast<double>((static_cast<ULONGLONG>(t.dwHighDateTime) << 32) |
                                 t.dwLowDateTime);
    };
    cpu.ms = (value(kernel) + value(user)) / 10000.0;
  }
  return cpu;
}

void IdlePhase(int seconds, bool baselineDiscovers) {
  const std::string figure =
      "idle CPU " + std::to_string(seconds) + " s (Skype row, no Skype; baseline " +
      (baselineDiscovers ? "looking for Skype every 5 s as the poll does" : "idle") + ")";
  Program telvaro, baseline;
  const std::vector<std::string> args =
      baselineDiscovers ? std::vector<std::string>{"--discover"} : std::vector<std::string>{};
  if (std::string failure = StartBoth(kSkypeRow, telvaro, baseline, true, args); !failure.empty()) {
    StopBoth(telvaro, baseline);
    return NotMeasured(figure, failure);
  }
  const std::string telvaroExe = e2e::BinPath(e2e::kTelvaroExe);
  const std::string baselineExe = e2e::BinPath(kBaselineExe);
  const Cpu telvaroStart = CpuOf(telvaro.process, telvaroExe);
  const Cpu baselineStart = CpuOf(baseline.process, baselineExe);
  Sleep(static_cast<DWORD>(seconds) * 1000);
  const Cpu telvaroEnd = CpuOf(telvaro.process, telvaroExe);
  const Cpu baselineEnd = CpuOf(baseline.process, baselineExe);
  const double t = telvaroEnd.ms - telvaroStart.ms;
  const double b = baselineEnd.ms - baselineStart.ms;
  const bool fromLinux = telvaroStart.fromLinux || baselineStart.fromLinux;
  Row(figure + (fromLinux ? " (all threads, Linux schedstat)" : ""), Format("%.1f ms", t),
      Format("%.1f ms", b), Ratio(t, b));
  StopBoth(telvaro, baseline);
}

}  // namespace
}  // namespace telvaro::bench

int main(int argc, char** argv) {
  using namespace telvaro::bench;
  int keys = 1000;
  int idleSeconds = 60;
  std::string samplesPath;
  int rounds = 3;
  std::vector<std::string> phases;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--keys" && i + 1 < argc) {
      keys = std::max(1, std::atoi(argv[++i]));
    } else if (arg == "--idle-seconds" && i + 1 < argc) {
      idleSeconds = std::max(1, std::atoi(argv[++i]));
    } else if (arg == "--rounds" && i + 1 < argc) {
      rounds = std::max(1, std::atoi(argv[++i]));
    } else if (arg == "--samples" && i + 1 < argc) {
      samplesPath = argv[++i];
    } else if (arg == "keys" || arg == "poll" || arg == "idle" || arg == "display") {
      phases.push_back(arg);
    } else {
      std::fprintf(stderr,
                   "usage: telvaro_bench [--keys N] [--rounds R] [--idle-seconds S] [--samples "
                   "CSV] [keys] [poll] [idle] [display]\n");
      return 2;
    }
  }
  if (phases.empty()) phases = {"keys", "poll", "idle", "display"};
  for (const std::string& phase : phases) {
    if (phase == "keys") KeysPhase(keys, rounds, samplesPath);
    if (phase == "poll") PollPhase();
    if (phase == "display") DisplayPhase(keys, rounds);
    if (phase == "idle") {
      IdlePhase(idleSeconds, false);
      IdlePhase(idleSeconds, true);
    }
  }
  telvaro::e2e::KillStrayPrograms();
  return 0;
}
