// The persisted settings under SOFTWARE\Dialbridge.
#pragma once

#include <cstdint>
#include <string>

#include "platform/WindowsApi.h"
#include "settings/DataVerify.h"
#include "settings/MRegistry.h"

namespace telvaro {

// Both builds use these in the registry's 32-bit view (see TMyRegistry); an installer that writes
// or removes the Run entry must use the same view and value name.
inline constexpr const char* kSettingsKey = "\\SOFTWARE\\Dialbridge";
inline constexpr const char* kRunKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr const char* kRunValueName = "Dialbridge";

class TDialbridge {
 public:
  explicit TDialbridge(WindowsApi& api);

  bool AutoRun = true;
  std::int32_t CurrentAppIndex = 0;
  std::int32_t SkypeLanguage = 0;
  // The dial display is shown ("DialDisplay": "0" for off, anything else or nothing for on).
  bool DialDisplay = true;

  bool LoadConfig();
  bool SaveConfig();
  // Written at once when the user flips it, apart from the three values saved at close.
  void SaveDialDisplay();

 private:
  std::string Read(const char* valueName);
  void Write(const char* valueName, const std::string& data);
  // True when nothing is stored where LoadConfig reads but an earlier x64 build left settings in
  // the 64-bit view.
  bool OnlyIn64BitView();

  TMyRegistry registry_;
  TMyDataVerify verify_;
};

// What SyncRunEntry could not do by itself.
enum class RunEntrySync {
  Done,
  // The entry is to go, but the machine-wide one (ours) may only be removed by an administrator.
  MachineEntryNeedsAdministrator,
};

// Makes the Run entry match `on`: written with the program's path (in double quotes when it has a
// blank, so Windows cannot start a shorter path first), or removed where it names this program.
// The machine-wide entry is used where it can be written, else the user's; never both. The
// machine's entry starts the program for everyone who logs on, so it is written only when
// `machineEntryAllowed` (no user can replace the program); one naming a program that a user can
// replace is moved to the user's entry where it can be removed.
RunEntrySync SyncRunEntry(TMyRegistry& registry, const std::u16string& programPath, bool on,
                          bool machineEntryAllowed);

// Whether the machine's Run entry may name this program: only when administrators alone can
// replace it (a per-user install under %LOCALAPPDATA% can be replaced by its user, or by whatever
// runs as that user).
bool MachineRunEntryAllowed(WindowsApi& api);

// The Run value for a program path: quoted when it holds a blank.
std::u16string RunValueFor(const std::u16string& programPath);

// Told to the user when "Automatically run" is turned off but the entry cannot be removed.
inline constexpr const char* kRunEntryNeedsAdministrator =
    "TELVARO was set to start for every user of this computer, so it will still start when "
    "Windows starts. Only an administrator can turn that off.";

}  // namespace telvaro
