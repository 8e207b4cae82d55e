#include "E2e.h"

#include <tlhelp32.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <iostream>
#include <thread>
#include <utility>

namespace telvaro::e2e {

namespace {

constexpr DWORD kKillWaitMs = 5000;

constexpr std::array<std::string_view, 5> kOurPrograms{kTelvaroExe, kHandsetHostExe, kHandsetCtlExe,
                                                       kFakeAppExe, kFakeSkypeExe};

DWORD ToMs(Millis timeout) { return static_cast<DWORD>(std::max<Millis::rep>(0, timeout.count())); }

std::string Upper(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return upper;
}

// Quoting that CommandLineToArgvW and the C runtimes undo: backslashes are literal except before
// a quote.
std::string QuoteArgument(const std::string& argument) {
  if (!argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string::npos) {
    return argument;
  }
  std::string quoted = "\"";
  for (auto it = argument.begin();; ++it) {
    std::size_t backslashes = 0;
    while (it != argument.end() && *it == '\\') {
      ++it;
      ++backslashes;
    }
    if (it == argument.end()) {
      quoted.append(backslashes * 2, '\\');
      break;
    }
    quoted.append(*it == '"' ? backslashes * 2 + 1 : backslashes, '\\');
    quoted += *it;
  }
  return quoted + '"';
}

// Our environment with `overrides` set on top, as a block for CreateProcessA.
std::string EnvironmentBlock(const Environment& overrides) {
  std::map<std::string, std::string> upperNames;
  for (const auto& [name, value] : overrides) upperNames[Upper(name)] = name + "=" + value;
  std::string block;
  if (char* strings = GetEnvironmentStringsA()) {
    for (const char* entry = strings; *entry != '\0'; entry += std::strlen(entry) + 1) {
      std::string_view text(entry);
      // Entries such as "=C:=C:\dir" start with '='; their name includes it.
      std::size_t equals = text.find('=', 1);
      if (upperNames.count(Upper(text.substr(0, equals))) != 0) continue;
      block.append(text).push_back('\0');
    }
    FreeEnvironmentStringsA(strings);
  }
  for (const auto& entry : upperNames) block.append(entry.second).push_back('\0');
  block.push_back('\0');
  return block;
}

HKEY Root(Hive hive) { return hive == Hive::CurrentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE; }

REGSAM View(Hive hive) { return hive == Hive::LocalMachine64 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY; }

std::string Variable(const char* name) {
  std::array<char, 4096> value{};
  DWORD length = GetEnvironmentVariableA(name, value.data(), static_cast<DWORD>(value.size()));
  return length < value.size() ? std::string(value.data(), length) : std::string();
}

// A folder as ctest hands it over: a Unix path is reached through Wine's Z: drive.
std::string WindowsFolder(std::string folder) {
  if (!folder.empty() && folder.front() == '/') folder = "Z:" + folder;
  std::replace(folder.begin(), folder.end(), '/', '\\');
  while (folder.size() > 3 && folder.back() == '\\') folder.pop_back();
  return folder;
}

std::string ReadWholeFile(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  std::string content;
  std::array<char, 4096> buffer;
  DWORD read = 0;
  while (ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr) &&
         read > 0) {
    content.append(buffer.data(), read);
  }
  CloseHandle(file);
  return content;
}

void DeleteFilesIn(const std::string& folder) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
      DeleteFileA((folder + "\\" + found.cFileName).c_str());
    }
  } while (FindNextFileA(search, &found));
  FindClose(search);
}

void PrintFile(const std::string& label, const std::string& path) {
  std::vector<std::string> lines = ReadLines(path);
  if (lines.empty()) return;
  std::cout << "---- " << label << " (" << path << ")\n";
  for (const std::string& line : lines) std::cout << line << '\n';
}

}  // namespace

std::string BinDir() {
  std::array<char, MAX_PATH * 4> path{};
  DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
  std::string exe(path.data(), length);
  return exe.substr(0, exe.find_last_of("\\/"));
}

std::string BinPath(std::string_view fileName) { return BinDir() + "\\" + std::string(fileName); }

std::string PeerBinDir() {
  std::string folder = Variable(kPeerBinVariable);
  return folder.empty() ? BinDir() : WindowsFolder(folder);
}

std::string OtherBinDir() { return WindowsFolder(Variable(kOtherBinVariable)); }

bool MachineRunsX86() { return Variable("TELVARO_WINE_X86") != "0"; }

// ---- Process
// -------------------------------------------------------------------------------------

Process::Process(Process&& other) noexcept
    : process_(std::exchange(other.process_, nullptr)), id_(std::exchange(other.id_, 0)) {}

Process& Process::operator=(Process&& other) noexcept {
  if (this != &other) {
    Kill();
    process_ = std::exchange(other.process_, nullptr);
    id_ = std::exchange(other.id_, 0);
  }
  return *this;
}

Process::~Process() { Kill(); }

Process Process::Start(const std::string& exe, const std::vector<std::string>& args,
                       const Environment& env, const std::string& outputPath) {
  std::string commandLine = QuoteArgument(exe);
  for (const std::string& arg : args) commandLine += " " + QuoteArgument(arg);
  std::string environment = EnvironmentBlock(env);

  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  HANDLE output = INVALID_HANDLE_VALUE;
  if (!outputPath.empty()) {
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    output = CreateFileA(outputPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         &inheritable, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (output != INVALID_HANDLE_VALUE) {
      startup.dwFlags = STARTF_USESTDHANDLES;
      startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
      startup.hStdOutput = output;
      startup.hStdError = output;
    }
  }
  PROCESS_INFORMATION info{};
  std::string folder = BinDir();
  BOOL started = CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr,
                                output != INVALID_HANDLE_VALUE, 0, environment.data(),
                                folder.c_str(), &startup, &info);
  DWORD error = GetLastError();
  if (output != INVALID_HANDLE_VALUE) CloseHandle(output);
  Process process;
  if (!started) {
    ADD_FAILURE() << "cannot start " << commandLine << " (error " << error << ")";
    return process;
  }
  CloseHandle(info.hThread);
  process.process_ = info.hProcess;
  process.id_ = info.dwProcessId;
  return process;
}

bool Process::Running() const {
  return process_ != nullptr && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

std::optional<DWORD> Process::WaitForExit(Millis timeout) {
  if (process_ == nullptr) return std::nullopt;
  if (WaitForSingleObject(process_, ToMs(timeout)) != WAIT_OBJECT_0) return std::nullopt;
  DWORD code = 0;
  GetExitCodeProcess(process_, &code);
  return code;
}

void Process::Kill() {
  if (process_ == nullptr) return;
  if (Running()) {
    TerminateProcess(process_, 1);
    WaitForSingleObject(process_, kKillWaitMs);
  }
  CloseHandle(process_);
  process_ = nullptr;
  id_ = 0;
}

RunResult Run(const std::string& exe, const std::vector<std::string>& args, const Environment& env,
              Millis timeout) {
  std::array<char, MAX_PATH> tempFolder{};
  std::array<char, MAX_PATH> outputPath{};
  GetTempPathA(static_cast<DWORD>(tempFolder.size()), tempFolder.data());
  GetTempFileNameA(tempFolder.data(), "e2e", 0, outputPath.data());
  RunResult result;
  {
    Process process = Process::Start(exe, args, env, outputPath.data());
    result.exitCode = process.WaitForExit(timeout);
  }
  result.output = ReadWholeFile(outputPath.data());
  DeleteFileA(outputPath.data());
  return result;
}

void KillStrayPrograms() {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return;
  std::vector<HANDLE> victims;
  PROCESSENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
    std::string name = Upper(entry.szExeFile);
    bool ours = std::any_of(kOurPrograms.begin(), kOurPrograms.end(),
                            [&](std::string_view program) { return Upper(program) == name; });
    if (!ours || entry.th32ProcessID == GetCurrentProcessId()) continue;
    if (HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID)) {
      TerminateProcess(process, 1);
      victims.push_back(process);
    }
  }
  CloseHandle(snapshot);
  for (HANDLE process : victims) {
    WaitForSingleObject(process, kKillWaitMs);
    CloseHandle(process);
  }
}

// ---- Waiting
// -------------------------------------------------------------------------------------

bool WaitUntil(const std::function<bool()>& condition, Millis timeout) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (condition()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(kPollInterval);
  }
}

HWND FindTopWindow(const char* className, const char* title, DWORD processId) {
  HWND window = nullptr;
  while ((window = FindWindowExA(nullptr, window, className, title)) != nullptr) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (processId == 0 || owner == processId) return window;
  }
  return nullptr;
}

HWND WaitForWindow(const char* className, const char* title, Millis timeout, DWORD processId) {
  HWND window = nullptr;
  WaitUntil([&] { return (window = FindTopWindow(className, title, processId)) != nullptr; },
            timeout);
  return window;
}

bool WaitForWindowGone(const char* className, const char* title, Millis timeout, DWORD processId) {
  return WaitUntil([&] { return FindTopWindow(className, title, processId) == nullptr; }, timeout);
}

std::string WindowText(HWND window) {
  std::array<char, 1024> text{};
  int length = GetWindowTextA(window, text.data(), static_cast<int>(text.size()));
  return std::string(text.data(), static_cast<std::size_t>(std::max(length, 0)));
}

std::string WindowClass(HWND window) {
  std::array<char, 256> name{};
  int length = GetClassNameA(window, name.data(), static_cast<int>(name.size()));
  return std::string(name.data(), static_cast<std::size_t>(std::max(length, 0)));
}

// ---- Log files
// -----------------------------------------------------------------------------------

std::vector<std::string> ReadLines(const std::string& path) {
  std::string content = ReadWholeFile(path);
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < content.size()) {
    std::size_t end = content.find('\n', start);
    if (end == std::string::npos) end = content.size();
    std::string line = content.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    start = end + 1;
  }
  return lines;
}

bool WaitForLine(const std::string& path, std::string_view line, Millis timeout) {
  return WaitUntil(
      [&] {
        auto lines = ReadLines(path);
        return std::find(lines.begin(), lines.end(), line) != lines.end();
      },
      timeout);
}

bool WaitForLineContaining(const std::string& path, std::string_view text, Millis timeout) {
  return WaitUntil(
      [&] {
        auto lines = ReadLines(path);
        return std::any_of(lines.begin(), lines.end(), [&](const std::string& line) {
          return line.find(text) != std::string::npos;
        });
      },
      timeout);
}

bool WaitForLineCount(const std::string& path, std::size_t count, Millis timeout) {
  return WaitUntil([&] { return ReadLines(path).size() >= count; }, timeout);
}

// ---- Registry
// ------------------------------------------------------------------------------------

std::optional<RegValue> ReadRegValue(Hive hive, const std::string& key, const std::string& name) {
  HKEY opened = nullptr;
  if (RegOpenKeyExA(Root(hive), key.c_str(), 0, KEY_QUERY_VALUE | View(hive), &opened) !=
      ERROR_SUCCESS) {
    return std::nullopt;
  }
  RegValue value;
  DWORD size = 0;
  LONG status = RegQueryValueExA(opened, name.c_str(), nullptr, &value.type, nullptr, &size);
  if (status == ERROR_SUCCESS) {
    value.data.resize(size);
    status = RegQueryValueExA(opened, name.c_str(), nullptr, &value.type,
                              reinterpret_cast<BYTE*>(value.data.data()), &size);
    value.data.resize(std::min<std::size_t>(size, value.data.size()));
  }
  RegCloseKey(opened);
  if (status != ERROR_SUCCESS) return std::nullopt;
  return value;
}

std::optional<std::string> ReadRegString(Hive hive, const std::string& key,
                                         const std::string& name) {
  auto value = ReadRegValue(hive, key, name);
  if (!value || (value->type != REG_SZ && value->type != REG_EXPAND_SZ)) return std::nullopt;
  return value->data.substr(0, value->data.find('\0'));
}

namespace {

bool WriteRegValue(Hive hive, const std::string& key, const std::string& name, DWORD type,
                   const void* data, DWORD size) {
  HKEY opened = nullptr;
  if (RegCreateKeyExA(Root(hive), key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_SET_VALUE | View(hive), nullptr, &opened, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  LONG status = RegSetValueExA(opened, name.c_str(), 0, type, static_cast<const BYTE*>(data), size);
  RegCloseKey(opened);
  return status == ERROR_SUCCESS;
}

}  // namespace

bool WriteRegString(Hive hive, const std::string& key, const std::string& name,
                    const std::string& value) {
  return WriteRegValue(hive, key, name, REG_SZ, value.c_str(),
                       static_cast<DWORD>(value.size() + 1));
}

bool WriteRegDword(Hive hive, const std::string& key, const std::string& name, DWORD value) {
  return WriteRegValue(hive, key, name, REG_DWORD, &value, sizeof value);
}

bool DeleteRegValue(Hive hive, const std::string& key, const std::string& name) {
  HKEY opened = nullptr;
  LONG status = RegOpenKeyExA(Root(hive), key.c_str(), 0, KEY_SET_VALUE | View(hive), &opened);
  if (status == ERROR_FILE_NOT_FOUND) return true;
  if (status != ERROR_SUCCESS) return false;
  status = RegDeleteValueA(opened, name.c_str());
  RegCloseKey(opened);
  return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

bool DeleteRegKey(Hive hive, const std::string& key) {
  // Removes the key itself along with everything below it.
  HKEY opened = nullptr;
  LONG status = RegOpenKeyExA(Root(hive), key.c_str(), 0, KEY_ALL_ACCESS | View(hive), &opened);
  if (status == ERROR_FILE_NOT_FOUND) return true;
  if (status != ERROR_SUCCESS) return false;
  status = RegDeleteTreeA(opened, nullptr);
  RegCloseKey(opened);
  if (status != ERROR_SUCCESS) return false;
  const std::size_t split = key.find_last_of('\\');
  const std::string parentPath = split == std::string::npos ? "" : key.substr(0, split);
  const std::string leaf = split == std::string::npos ? key : key.substr(split + 1);
  HKEY parent = nullptr;
  status = RegOpenKeyExA(Root(hive), parentPath.c_str(), 0, KEY_ALL_ACCESS | View(hive), &parent);
  if (status != ERROR_SUCCESS) return false;
  status = RegDeleteKeyExA(parent, leaf.c_str(), View(hive), 0);
  RegCloseKey(parent);
  return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

void ResetSettings() {
  for (Hive hive : {Hive::LocalMachine, Hive::CurrentUser, Hive::LocalMachine64}) {
    DeleteRegKey(hive, kSettingsKey);
    DeleteRegValue(hive, kRunKey, kRunValue);
  }
}

// ---- The virtual handset
// -------------------------------------------------------------------------

HandsetReply Handset(std::string_view command, DWORD processId) {
  return tools::SendHandsetCommand(command, processId);
}

std::optional<bool> HandsetState(std::string_view query, DWORD processId) {
  return tools::QueryHandset(query, processId);
}

HWND WaitForHandset(DWORD processId, Millis timeout) {
  return tools::WaitForHandsetWindow(ToMs(timeout), processId);
}

// ---- Fixture
// -------------------------------------------------------------------------------------

void E2eTest::SetUp() {
  KillStrayPrograms();
  ResetSettings();
  const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string(test->test_suite_name()) + "." + test->name();
  std::replace(name.begin(), name.end(), '/', '_');
  std::array<char, MAX_PATH> temp{};
  GetTempPathA(static_cast<DWORD>(temp.size()), temp.data());
  std::string root = std::string(temp.data()) + "telvaro-e2e";
  CreateDirectoryA(root.c_str(), nullptr);
  tempDir_ = root + "\\" + name;
  CreateDirectoryA(tempDir_.c_str(), nullptr);
  DeleteFilesIn(tempDir_);
  handsetLog_ = TempPath("handset.log");
  hostLog_ = TempPath("host.log");
}

void E2eTest::TearDown() {
  while (!processes_.empty()) {
    processes_.back()->Kill();
    processes_.pop_back();
  }
  KillStrayPrograms();
  if (HasFailure()) {
    PrintFile("handset calls", handsetLog_);
    PrintFile("handsethost messages", hostLog_);
  }
}

Process& E2eTest::Launch(std::string_view exeName, const std::vector<std::string>& args,
                         Environment env) {
  // The fakes stand for other vendors' programs, which need not have our bitness.
  const bool peer = exeName == kFakeAppExe || exeName == kFakeSkypeExe;
  return LaunchExe((peer ? PeerBinDir() : BinDir()) + "\\" + std::string(exeName), args,
                   std::move(env));
}

Process& E2eTest::LaunchExe(const std::string& exe, const std::vector<std::string>& args,
                            Environment env) {
  env.try_emplace(kHandsetLogVariable, handsetLog_);
  processes_.push_back(std::make_unique<Process>(Process::Start(exe, args, env)));
  return *processes_.back();
}

Process& E2eTest::LaunchTelvaro(const std::vector<std::string>& args, Environment env) {
  return LaunchTelvaroFrom(BinDir(), args, std::move(env));
}

Process& E2eTest::LaunchTelvaroFrom(const std::string& folder, const std::vector<std::string>& args,
                                    Environment env) {
  Process& telvaro = LaunchExe(folder + "\\" + kTelvaroExe, args, std::move(env));
  if (!telvaro.Valid()) return telvaro;
  EXPECT_NE(WaitForWindow(kMainWindowClass, kMainWindowTitle, kDefaultTimeout, telvaro.Id()),
            nullptr)
      << "telvaro.exe shows no main window";
  EXPECT_TRUE(WaitForLineContaining(handsetLog_, "StartDeviceDetection("))
      << "telvaro.exe did not start handset detection";
  return telvaro;
}

Process& E2eTest::LaunchHandsetHost() {
  Process& host = Launch(kHandsetHostExe, {hostLog_});
  if (host.Valid()) {
    EXPECT_NE(WaitForHandset(host.Id()), nullptr) << "handsethost.exe started no handset";
  }
  return host;
}

std::string E2eTest::TempPath(std::string_view fileName) const {
  std::string path = tempDir_ + "\\" + std::string(fileName);
  DeleteFileA(path.c_str());
  return path;
}

}  // namespace telvaro::e2e
