#include "settings/clsDialbridgeConfig.h"

#include <optional>
#include <utility>
#include <vector>

namespace telvaro {

namespace {

constexpr const char* kStoredNames[] = {"CurrentAppIndex", "SkypeLanguage", "AutoRun"};
constexpr const char* kDialDisplayValue = "DialDisplay";

// Our own entry, whether it was written with or without quotes.
bool NamesProgram(const std::optional<std::u16string>& value, const std::u16string& path) {
  return value && (*value == path || *value == u"\"" + path + u"\"");
}

}  // namespace

TDialbridge::TDialbridge(WindowsApi& api) : registry_(api) { registry_.KeyName = kSettingsKey; }

std::string TDialbridge::Read(const char* valueName) {
  registry_.ValueName = valueName;
  return registry_.ReadString();
}

void TDialbridge::Write(const char* valueName, const std::string& data) {
  registry_.ValueName = valueName;
  registry_.ValueData = data;
  registry_.WriteString();
}

bool TDialbridge::OnlyIn64BitView() {
  for (const char* name : kStoredNames) {
    registry_.ValueName = name;
    if (registry_.ValueExists()) return false;
  }
  for (const char* name : kStoredNames) {
    registry_.ValueName = name;
    if (registry_.ReadString64BitView()) return true;
  }
  return false;
}

bool TDialbridge::LoadConfig() {
  if (OnlyIn64BitView()) {
    // Taken over once, exactly as stored, so the next start finds them where it reads; the old
    // copy stays for an earlier build that may still be started.
    std::vector<std::pair<const char*, std::string>> stored;
    for (const char* name : kStoredNames) {
      registry_.ValueName = name;
      if (auto text = registry_.ReadString64BitView()) stored.emplace_back(name, *text);
    }
    try {
      registry_.CreateKey();
      for (const auto& [name, text] : stored) Write(name, text);
    } catch (const RegistryError&) {
      // Not writable here: read from the old place again next time.
    }
    auto text = [&](const char* name) {
      for (const auto& [storedName, value] : stored) {
        if (std::string(storedName) == name) return value;
      }
      return std::string();
    };
    CurrentAppIndex = verify_.StrToIntEx(text("CurrentAppIndex"), 0);
    SkypeLanguage = verify_.StrToIntEx(text("SkypeLanguage"), 0);
    AutoRun = text("AutoRun") != "0";
    DialDisplay = Read(kDialDisplayValue) != "0";
    return true;
  }
  CurrentAppIndex = verify_.StrToIntEx(Read("CurrentAppIndex"), 0);
  SkypeLanguage = verify_.StrToIntEx(Read("SkypeLanguage"), 0);
  AutoRun = Read("AutoRun") != "0";
  DialDisplay = Read(kDialDisplayValue) != "0";
  return true;
}

bool TDialbridge::SaveConfig() {
  registry_.CreateKey();
  Write("CurrentAppIndex", std::to_string(CurrentAppIndex));
  Write("SkypeLanguage", std::to_string(SkypeLanguage));
  Write("AutoRun", AutoRun ? "" : "0");
  return true;
}

bool MachineRunEntryAllowed(WindowsApi& api) {
  return api.OnlyAdministratorsCanReplace(api.GetModuleFileNameW());
}

void TDialbridge::SaveDialDisplay() {
  registry_.CreateKey();
  Write(kDialDisplayValue, DialDisplay ? "" : "0");
}

std::u16string RunValueFor(const std::u16string& programPath) {
  return programPath.find(u' ') == std::u16string::npos ? programPath : u"\"" + programPath + u"\"";
}

RunEntrySync SyncRunEntry(TMyRegistry& registry, const std::u16string& programPath, bool on,
                          bool machineEntryAllowed) {
  using Root = TMyRegistry::Root;
  registry.KeyName = kRunKey;
  registry.ValueName = kRunValueName;
  const std::optional<std::u16string> machine = registry.ReadWideString(Root::Machine);
  const std::optional<std::u16string> user = registry.ReadWideString(Root::User);
  const std::u16string wanted = RunValueFor(programPath);
  if (on) {
    if (NamesProgram(machine, programPath) && !machineEntryAllowed) {
      // Every user who logs on would start a file this user can replace.
      if (registry.DeleteValue(Root::Machine) && user != wanted) {
        registry.WriteWideString(Root::User, wanted);
      }
      return RunEntrySync::Done;
    }
    if (NamesProgram(machine, programPath)) {
      // An entry with blanks written before quoting was used is rewritten where that is allowed.
      if (*machine != wanted) registry.WriteWideString(Root::Machine, wanted);
      // Windows would start us twice from two entries.
      if (NamesProgram(user, programPath)) registry.DeleteValue(Root::User);
      return RunEntrySync::Done;
    }
    if (user == wanted) return RunEntrySync::Done;
    if (!machineEntryAllowed || !registry.WriteWideString(Root::Machine, wanted)) {
      registry.WriteWideString(Root::User, wanted);
    } else if (NamesProgram(user, programPath)) {
      registry.DeleteValue(Root::User);
    }
    return RunEntrySync::Done;
  }
  // A value that names another program (or this one elsewhere) is not ours to remove.
  if (NamesProgram(user, programPath)) registry.DeleteValue(Root::User);
  if (NamesProgram(machine, programPath) && !registry.DeleteValue(Root::Machine)) {
    return RunEntrySync::MachineEntryNeedsAdministrator;
  }
  return RunEntrySync::Done;
}

}  // namespace telvaro
