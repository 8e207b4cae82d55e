// The end-to-end harness: starts the real Windows programs (under Wine on Linux), waits for their
// windows and log lines, drives the virtual handset and looks at the registry. Every wait has a
// bound (kDefaultTimeout unless told), so a broken program fails a test instead of hanging it.
//
// Include portable headers (platform/WindowsApi.h and friends) before this one: <windows.h> turns
// the Win32 names they spell out into macros.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "HandsetControl.h"

namespace telvaro::e2e {

using Millis = std::chrono::milliseconds;
inline constexpr Millis kDefaultTimeout{10000};
inline constexpr Millis kPollInterval{20};

// The programs beside e2e_tests.exe.
inline constexpr char kTelvaroExe[] = "telvaro.exe";
inline constexpr char kHandsetDll[] = "CM_HID.dll";
inline constexpr char kHandsetCtlExe[] = "handsetctl.exe";
inline constexpr char kHandsetHostExe[] = "handsethost.exe";
inline constexpr char kFakeAppExe[] = "fakeapp.exe";
inline constexpr char kFakeSkypeExe[] = "fakeskype.exe";

inline constexpr char kMainWindowClass[] = "TMainForm";
inline constexpr char kMainWindowTitle[] = "TELVARO 1.3.0";
inline constexpr char kHandsetHostClass[] = "TelvaroHandsetHost";
// The virtual handset appends one line per export call to the file this variable names.
inline constexpr char kHandsetLogVariable[] = "TELVARO_HANDSET_LOG";

// The folder of e2e_tests.exe, where the build puts every exe and CM_HID.dll.
std::string BinDir();
std::string BinPath(std::string_view fileName);

// ---- The other build ----------------------------------------------------------------------------
// The x64 and the x86 build run against each other: the peer (fakeapp.exe, fakeskype.exe) may come
// from the other build, and a test may start the other build's telvaro.exe. ctest passes the
// folders (CMake cache TELVARO_OTHER_BUILD_BIN); a Unix path is taken through Wine's Z: drive.

// Where Launch takes the fakes from: TELVARO_E2E_PEER_BIN when set, else BinDir().
inline constexpr char kPeerBinVariable[] = "TELVARO_E2E_PEER_BIN";
// The bin folder of the build of the other bitness: TELVARO_OTHER_BIN.
inline constexpr char kOtherBinVariable[] = "TELVARO_OTHER_BIN";
std::string PeerBinDir();
// Empty when the variable is not set.
std::string OtherBinDir();
// Whether this e2e_tests.exe is the x64 build.
constexpr bool kThisBuildIs64 = sizeof(void*) == 8;
// Whether this machine runs 32-bit Windows programs (scripts/wine-env.sh says so in
// TELVARO_WINE_X86; on Windows itself it is taken as yes).
bool MachineRunsX86();

// ---- Processes ----------------------------------------------------------------------------------

// Variables set (or replaced) in a child's environment on top of ours.
using Environment = std::map<std::string, std::string>;

// A started program. Destroying a Process that still runs kills it.
class Process {
 public:
  Process() = default;
  Process(Process&& other) noexcept;
  Process& operator=(Process&& other) noexcept;
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;
  ~Process();

  // Starts `exe` (a full path) with `args`; stdout and stderr go to `outputPath` when given.
  // Reports a test failure and returns an invalid Process when it cannot start.
  static Process Start(const std::string& exe, const std::vector<std::string>& args = {},
                       const Environment& env = {}, const std::string& outputPath = {});

  bool Valid() const { return process_ != nullptr; }
  DWORD Id() const { return id_; }
  HANDLE Handle() const { return process_; }
  bool Running() const;
  // The exit code, or nothing when the process is still running after `timeout`.
  std::optional<DWORD> WaitForExit(Millis timeout = kDefaultTimeout);
  // Terminates the process (if running) and waits, bounded, until it is gone.
  void Kill();

 private:
  HANDLE process_ = nullptr;
  DWORD id_ = 0;
};

struct RunResult {
  std::optional<DWORD> exitCode;  // nothing: it did not end in time and was killed
  std::string output;             // stdout and stderr
};

// Runs a console program from start to end and captures its output. Inside a test body write
// e2e::Run: testing::Test has a Run of its own.
RunResult Run(const std::string& exe, const std::vector<std::string>& args = {},
              const Environment& env = {}, Millis timeout = kDefaultTimeout);

// Terminates every running copy of our programs (telvaro.exe, handsethost.exe, handsetctl.exe,
// fakeapp.exe, fakeskype.exe) left over from an earlier test, and waits until they are gone.
void KillStrayPrograms();

// ---- Waiting ------------------------------------------------------------------------------------

// Polls `condition` until it holds (true) or `timeout` passes (false).
bool WaitUntil(const std::function<bool()>& condition, Millis timeout = kDefaultTimeout);

// A top-level window by class and/or title (null matches any), optionally of one process.
HWND FindTopWindow(const char* className, const char* title, DWORD processId = 0);
HWND WaitForWindow(const char* className, const char* title, Millis timeout = kDefaultTimeout,
                   DWORD processId = 0);
bool WaitForWindowGone(const char* className, const char* title, Millis timeout = kDefaultTimeout,
                       DWORD processId = 0);
std::string WindowText(HWND window);
std::string WindowClass(HWND window);

// ---- Log files ----------------------------------------------------------------------------------

// The lines of a text file without their line ends; a missing file has none.
std::vector<std::string> ReadLines(const std::string& path);
// Waits until the file has a line equal to `line` / containing `text`.
bool WaitForLine(const std::string& path, std::string_view line, Millis timeout = kDefaultTimeout);
bool WaitForLineContaining(const std::string& path, std::string_view text,
                           Millis timeout = kDefaultTimeout);
// Waits until the file has at least `count` lines.
bool WaitForLineCount(const std::string& path, std::size_t count, Millis timeout = kDefaultTimeout);

// ---- Registry -----------------------------------------------------------------------------------

// Both builds keep their keys in the registry's 32-bit view; LocalMachine64 is the 64-bit view of
// HKEY_LOCAL_MACHINE, where an earlier x64 build kept them.
enum class Hive { LocalMachine, CurrentUser, LocalMachine64 };
inline constexpr char kSettingsKey[] = "SOFTWARE\\Dialbridge";
inline constexpr char kRunKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr char kRunValue[] = "Dialbridge";

struct RegValue {
  DWORD type = 0;
  std::string data;  // raw bytes as stored, NUL terminator included for strings
};

std::optional<RegValue> ReadRegValue(Hive hive, const std::string& key, const std::string& name);
// A REG_SZ or REG_EXPAND_SZ value without its terminator; nothing when missing or of another type.
std::optional<std::string> ReadRegString(Hive hive, const std::string& key,
                                         const std::string& name);
bool WriteRegString(Hive hive, const std::string& key, const std::string& name,
                    const std::string& value);
bool WriteRegDword(Hive hive, const std::string& key, const std::string& name, DWORD value);
// True when the value / key is absent afterwards.
bool DeleteRegValue(Hive hive, const std::string& key, const std::string& name);
bool DeleteRegKey(Hive hive, const std::string& key);
// Removes SOFTWARE\Dialbridge and the Run value "Dialbridge", under HKLM (both views) and HKCU.
void ResetSettings();

// ---- The virtual handset ------------------------------------------------------------------------

using tools::HandsetReply;
using tools::HandsetStatus;

// Sends a command ("plug", "press 6", ...) to the virtual handset of `processId` (0: any).
HandsetReply Handset(std::string_view command, DWORD processId = 0);
// "buzzer", "scanning" or "plugged"; nothing when no handset answered.
std::optional<bool> HandsetState(std::string_view query, DWORD processId = 0);
HWND WaitForHandset(DWORD processId = 0, Millis timeout = kDefaultTimeout);

// ---- Fixture ------------------------------------------------------------------------------------

// Base of every end-to-end test: starts from a desktop without our programs, gives each test its
// own temp folder and kills whatever the test started when it ends.
class E2eTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Starts a program of the bin folder ("telvaro.exe", "fakeapp.exe" ...). The environment
  // always carries TELVARO_HANDSET_LOG = HandsetLogPath(). The reference stays valid until the
  // test ends.
  Process& Launch(std::string_view exeName, const std::vector<std::string>& args = {},
                  Environment env = {});
  // Starts telvaro.exe and waits until it has finished start-up: its main window exists and it
  // has called StartDeviceDetection (the last start-up step). Fails the test otherwise.
  Process& LaunchTelvaro(const std::vector<std::string>& args = {}, Environment env = {});
  // The same for the telvaro.exe in `folder` (another build's, or a copy).
  Process& LaunchTelvaroFrom(const std::string& folder, const std::vector<std::string>& args = {},
                             Environment env = {});
  // Starts the program at the full path `exe`, with the handset log as Launch does.
  Process& LaunchExe(const std::string& exe, const std::vector<std::string>& args = {},
                     Environment env = {});
  // Starts handsethost.exe with its message log at HostLogPath() and waits for its handset.
  Process& LaunchHandsetHost();

  // A fresh path in this test's temp folder (the file does not exist).
  std::string TempPath(std::string_view fileName) const;
  // The export-call log of CM_HID.dll in every program this test launches.
  const std::string& HandsetLogPath() const { return handsetLog_; }
  std::vector<std::string> HandsetCalls() const { return ReadLines(handsetLog_); }
  const std::string& HostLogPath() const { return hostLog_; }

 private:
  std::string tempDir_;
  std::string handsetLog_;
  std::string hostLog_;
  std::vector<std::unique_ptr<Process>> processes_;
};

}  // namespace telvaro::e2e
