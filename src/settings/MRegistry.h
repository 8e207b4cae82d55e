// A registry component that reads and writes one string value at a time. Every operation opens its
// key, does its one thing and closes the key again.
#pragma once

#include <stdexcept>
#include <string>

#include "platform/WindowsApi.h"

namespace telvaro {

class RegistryError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TMyRegistry {
 public:
  explicit TMyRegistry(WindowsApi& api) : api_(api) {}

  std::string KeyName;
  std::string ValueName;
  std::string ValueData;

  bool CreateKey();
  bool WriteString();
  std::string ReadString();
  bool DeleteKey();
  bool DeleteValue();

 private:
  // The key under HKEY_LOCAL_MACHINE with full access, or where that is refused the same path
  // under HKEY_CURRENT_USER; 0 when neither can be opened or created.
  Hkey OpenKey();
  std::string SubKey() const;

  WindowsApi& api_;
};

}  // namespace telvaro
