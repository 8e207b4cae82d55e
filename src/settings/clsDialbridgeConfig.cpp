#include "settings/clsDialbridgeConfig.h"

namespace telvaro {

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

bool TDialbridge::LoadConfig() {
  CurrentAppIndex = verify_.StrToIntEx(Read("CurrentAppIndex"), 0);
  SkypeLanguage = verify_.StrToIntEx(Read("SkypeLanguage"), 0);
  AutoRun = Read("AutoRun") != "0";
  return true;
}

bool TDialbridge::SaveConfig() {
  registry_.CreateKey();
  Write("CurrentAppIndex", std::to_string(CurrentAppIndex));
  Write("SkypeLanguage", std::to_string(SkypeLanguage));
  Write("AutoRun", AutoRun ? "" : "0");
  return true;
}

void SyncRunEntry(TMyRegistry& registry, const std::string& programPath, bool on) {
  registry.KeyName = kRunKey;
  registry.ValueName = kRunValueName;
  const std::string current = registry.ReadString();
  if (on && current != programPath) {
    registry.ValueData = programPath;
    registry.WriteString();
  } else if (!on && current == programPath) {
    registry.DeleteValue();
  }
}

}  // namespace telvaro
