// A registry component that reads and writes one string value at a time. Every operation opens its
// key, does its one thing and closes the key again.
//
// Both builds keep their keys in the 32-bit view of the registry (KEY_WOW64_32KEY; on 32-bit
// Windows there is only that one), so the x86 and the x64 build share one set of settings and one
// Run entry. Where the machine key cannot be opened with full access, the user's key of the same
// path is an overlay on it: reads take the user's value where it exists and otherwise the
// machine's, read with read access only; writes go to the user's key.
#pragma once

#include <optional>
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
  // Whether ReadString finds the value (an empty text counts), in the machine key or the overlay.
  bool ValueExists();
  // The value as an earlier x64 build stored it, in the machine's 64-bit view, read with read
  // access only; nothing when it is missing. Raises as ReadString does for another type.
  std::optional<std::string> ReadString64BitView();

  // One root on its own, as UTF-16 text, for values that are no overlay: Windows starts the Run
  // entries of the machine and of the user both.
  enum class Root { Machine, User };
  // Nothing when the key or the value is missing; another type than a string raises.
  std::optional<std::u16string> ReadWideString(Root root);
  // False when the key cannot be opened for writing there; a refused write raises.
  bool WriteWideString(Root root, const std::u16string& data);
  // False when the key cannot be opened for writing there or the value could not be deleted.
  bool DeleteValue(Root root);

 private:
  // The machine key with full access, or where that is refused the user's key; 0 when neither
  // can be opened or created.
  Hkey OpenKey();
  // The user's key, open for reading, where it holds ValueName; else 0.
  Hkey OpenUsersValue();
  // The key ReadString reads ValueName from: the user's key where it holds the value, else the
  // machine key with full access, else the machine key read-only.
  Hkey OpenForValue();
  Hkey OpenForWriting(Hkey root);                      // creates the key; 0 when refused
  Hkey OpenForReading(Hkey root, std::uint32_t view);  // 0 when missing or refused
  std::string ReadFrom(Hkey key);                      // key 0: empty text
  std::optional<std::u16string> ReadWideFrom(Hkey key);
  bool Exists(Hkey key);
  std::string SubKey() const;

  WindowsApi& api_;
};

}  // namespace telvaro
