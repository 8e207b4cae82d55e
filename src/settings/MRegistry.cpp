#include "settings/MRegistry.h"

#include <algorithm>
#include <vector>

namespace telvaro {

namespace {

// Closes the key when the operation is done, whichever way it ends.
class KeyCloser {
 public:
  KeyCloser(WindowsApi& api, Hkey key) : api_(api), key_(key) {}
  ~KeyCloser() {
    if (key_ != 0) api_.RegCloseKey(key_);
  }
  KeyCloser(const KeyCloser&) = delete;
  KeyCloser& operator=(const KeyCloser&) = delete;

 private:
  WindowsApi& api_;
  Hkey key_;
};

constexpr std::uint32_t kShared = win::KEY_WOW64_32KEY;
constexpr std::uint32_t kFullAccess = win::KEY_ALL_ACCESS | kShared;

Hkey RootKey(TMyRegistry::Root root) {
  return root == TMyRegistry::Root::Machine ? win::HKEY_LOCAL_MACHINE : win::HKEY_CURRENT_USER;
}

std::u16string WideName(const std::string& name) { return {name.begin(), name.end()}; }

}  // namespace

std::string TMyRegistry::SubKey() const {
  // Nothing stays open between operations, so an absolute path is taken from the root too.
  return !KeyName.empty() && KeyName.front() == '\\' ? KeyName.substr(1) : KeyName;
}

Hkey TMyRegistry::OpenForWriting(Hkey root) {
  Hkey key = 0;
  return api_.RegCreateKeyExA(root, SubKey().c_str(), kFullAccess, &key) == win::ERROR_SUCCESS ? key
                                                                                               : 0;
}

Hkey TMyRegistry::OpenForReading(Hkey root, std::uint32_t view) {
  Hkey key = 0;
  return api_.RegOpenKeyExA(root, SubKey().c_str(), win::KEY_READ_ENUM | view, &key) ==
                 win::ERROR_SUCCESS
             ? key
             : 0;
}

Hkey TMyRegistry::OpenKey() {
  // A user without administrator rights cannot write under the machine's root; the same path under
  // the user's own root keeps their choices instead of losing them silently.
  if (Hkey key = OpenForWriting(win::HKEY_LOCAL_MACHINE); key != 0) return key;
  return OpenForWriting(win::HKEY_CURRENT_USER);
}

bool TMyRegistry::CreateKey() {
  if (Hkey key = OpenKey(); key != 0) {
    api_.RegCloseKey(key);
    return true;
  }
  if (Hkey existing = OpenForReading(win::HKEY_LOCAL_MACHINE, kShared); existing != 0) {
    api_.RegCloseKey(existing);
    return true;
  }
  Hkey created = OpenForWriting(win::HKEY_LOCAL_MACHINE);
  if (created == 0) throw RegistryError("Failed to create key " + KeyName);
  api_.RegCloseKey(created);
  return true;
}

bool TMyRegistry::WriteString() {
  // A value the user holds is written where it is read from, so the next read sees it.
  Hkey key = 0;
  if (Hkey user = OpenUsersValue(); user != 0) {
    api_.RegCloseKey(user);
    key = OpenForWriting(win::HKEY_CURRENT_USER);
  }
  if (key == 0) key = OpenKey();
  if (key == 0) return false;
  KeyCloser closer(api_, key);
  const auto size = static_cast<std::uint32_t>(ValueData.size() + 1);
  if (api_.RegSetValueExA(key, ValueName.c_str(), win::REG_SZ,
                          reinterpret_cast<const std::uint8_t*>(ValueData.c_str()),
                          size) != win::ERROR_SUCCESS) {
    throw RegistryError("Failed to set data for '" + ValueName + "'");
  }
  return true;
}

bool TMyRegistry::Exists(Hkey key) {
  std::uint32_t type = 0;
  std::uint32_t size = 0;
  return key != 0 &&
         api_.RegQueryValueExA(key, ValueName.c_str(), &type, nullptr, &size) == win::ERROR_SUCCESS;
}

std::string TMyRegistry::ReadFrom(Hkey key) {
  if (key == 0) return "";
  std::uint32_t type = 0;
  std::uint32_t size = 0;
  if (api_.RegQueryValueExA(key, ValueName.c_str(), &type, nullptr, &size) != win::ERROR_SUCCESS ||
      size == 0) {
    return "";
  }
  if (type != win::REG_SZ && type != win::REG_EXPAND_SZ) {
    throw RegistryError("Invalid data type for '" + ValueName + "'");
  }
  // The stored bytes need not end in a NUL: read exactly what is there, then cut at the first NUL.
  std::vector<std::uint8_t> data(size);
  if (api_.RegQueryValueExA(key, ValueName.c_str(), &type, data.data(), &size) !=
      win::ERROR_SUCCESS) {
    return "";
  }
  std::string text(reinterpret_cast<const char*>(data.data()),
                   std::min<std::size_t>(size, data.size()));
  return text.substr(0, text.find('\0'));
}

// The overlay: the user's value where there is one, else what the machine holds. The user's
// comes first even where the machine key opens for writing (an elevated run, an administrator
// without UAC): that user stored it, and the machine's older value must not undo their choice.
Hkey TMyRegistry::OpenForValue() {
  if (Hkey user = OpenUsersValue(); user != 0) return user;
  if (Hkey key = OpenForWriting(win::HKEY_LOCAL_MACHINE); key != 0) return key;
  return OpenForReading(win::HKEY_LOCAL_MACHINE, kShared);
}

Hkey TMyRegistry::OpenUsersValue() {
  Hkey user = OpenForReading(win::HKEY_CURRENT_USER, kShared);
  if (user == 0 || Exists(user)) return user;
  api_.RegCloseKey(user);
  return 0;
}

std::string TMyRegistry::ReadString() {
  Hkey key = OpenForValue();
  KeyCloser closer(api_, key);
  return ReadFrom(key);
}

bool TMyRegistry::ValueExists() {
  Hkey key = OpenForValue();
  KeyCloser closer(api_, key);
  return Exists(key);
}

std::optional<std::string> TMyRegistry::ReadString64BitView() {
  Hkey key = OpenForReading(win::HKEY_LOCAL_MACHINE, win::KEY_WOW64_64KEY);
  KeyCloser closer(api_, key);
  if (!Exists(key)) return std::nullopt;
  return ReadFrom(key);
}

bool TMyRegistry::DeleteValue() {
  Hkey key = OpenKey();
  if (key == 0) return false;
  KeyCloser closer(api_, key);
  return api_.RegDeleteValueA(key, ValueName.c_str()) == win::ERROR_SUCCESS;
}

bool TMyRegistry::DeleteKey() {
  const std::string path = SubKey();
  const auto split = path.rfind('\\');
  const std::string parent = split == std::string::npos ? "" : path.substr(0, split);
  const std::string leaf = split == std::string::npos ? path : path.substr(split + 1);
  Hkey key = 0;
  if (api_.RegOpenKeyExA(win::HKEY_LOCAL_MACHINE, parent.c_str(), kFullAccess, &key) !=
      win::ERROR_SUCCESS) {
    return false;
  }
  KeyCloser closer(api_, key);
  return api_.RegDeleteKeyExA(key, leaf.c_str(), kShared) == win::ERROR_SUCCESS;
}

std::optional<std::u16string> TMyRegistry::ReadWideFrom(Hkey key) {
  if (key == 0) return std::nullopt;
  const std::u16string name = WideName(ValueName);
  std::uint32_t type = 0;
  std::uint32_t size = 0;
  if (api_.RegQueryValueExW(key, name.c_str(), &type, nullptr, &size) != win::ERROR_SUCCESS) {
    return std::nullopt;
  }
  if (size == 0) return std::u16string();
  if (type != win::REG_SZ && type != win::REG_EXPAND_SZ) {
    throw RegistryError("Invalid data type for '" + ValueName + "'");
  }
  std::vector<std::uint8_t> data(size);
  if (api_.RegQueryValueExW(key, name.c_str(), &type, data.data(), &size) != win::ERROR_SUCCESS) {
    return std::nullopt;
  }
  std::u16string text;
  for (std::size_t i = 0; i + 1 < std::min<std::size_t>(size, data.size()); i += 2) {
    text.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
  }
  return text.substr(0, text.find(u'\0'));
}

std::optional<std::u16string> TMyRegistry::ReadWideString(Root root) {
  Hkey key = OpenForReading(RootKey(root), kShared);
  KeyCloser closer(api_, key);
  return ReadWideFrom(key);
}

bool TMyRegistry::WriteWideString(Root root, const std::u16string& data) {
  Hkey key = OpenForWriting(RootKey(root));
  if (key == 0) return false;
  KeyCloser closer(api_, key);
  // REG_SZ, the terminating NUL counted, in the registry's own little-endian UTF-16.
  std::vector<std::uint8_t> bytes;
  for (char16_t c : data + u'\0') {
    bytes.push_back(static_cast<std::uint8_t>(c & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(c >> 8));
  }
  if (api_.RegSetValueExW(key, WideName(ValueName).c_str(), win::REG_SZ, bytes.data(),
                          static_cast<std::uint32_t>(bytes.size())) != win::ERROR_SUCCESS) {
    throw RegistryError("Failed to set data for '" + ValueName + "'");
  }
  return true;
}

bool TMyRegistry::DeleteValue(Root root) {
  Hkey key = 0;
  if (api_.RegOpenKeyExA(RootKey(root), SubKey().c_str(), kFullAccess, &key) !=
      win::ERROR_SUCCESS) {
    return false;
  }
  KeyCloser closer(api_, key);
  return api_.RegDeleteValueA(key, ValueName.c_str()) == win::ERROR_SUCCESS;
}

}  // namespace telvaro
