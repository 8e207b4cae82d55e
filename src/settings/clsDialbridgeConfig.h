// The persisted settings under SOFTWARE\Dialbridge.
#pragma once

#include <cstdint>
#include <string>

#include "platform/WindowsApi.h"
#include "settings/DataVerify.h"
#include "settings/MRegistry.h"

namespace telvaro {

inline constexpr const char* kSettingsKey = "\\SOFTWARE\\Dialbridge";
inline constexpr const char* kRunKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr const char* kRunValueName = "Dialbridge";

class TDialbridge {
 public:
  explicit TDialbridge(WindowsApi& api);

  bool AutoRun = true;
  std::int32_t CurrentAppIndex = 0;
  std::int32_t SkypeLanguage = 0;

  bool LoadConfig();
  bool SaveConfig();

 private:
  std::string Read(const char* valueName);
  void Write(const char* valueName, const std::string& data);

  TMyRegistry registry_;
  TMyDataVerify verify_;
};

// Makes the Run entry match `on`: written with the program's path, or removed when it holds it.
void SyncRunEntry(TMyRegistry& registry, const std::string& programPath, bool on);

}  // namespace telvaro
