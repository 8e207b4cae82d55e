#include "settings/MRegistry.h"

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

}  // namespace

std::string TMyRegistry::SubKey() const {
  // Nothing stays open between operations, so an absolute path is taken from the root too.
  return !KeyName.empty() && KeyName.front() == '\\' ? KeyName.substr(1) : KeyName;
}

Hkey TMyRegistry::OpenKey() {
  const std::string path = SubKey();
  // A user without administrator rights cannot write under the machine's root; the same path under
  // the user's own root keeps their choices instead of losing them silently.
  for (Hkey root : {win::HKEY_LOCAL_MACHINE, win::HKEY_CURRENT_USER}) {
    Hkey key = 0;
    if (api_.RegCreateKeyExA(root, path.c_str(), win::KEY_ALL_ACCESS, &key) == win::ERROR_SUCCESS) {
      return key;
    }
  }
  return 0;
}

bool TMyRegistry::CreateKey() {
  if (Hkey key = OpenKey(); key != 0) {
    api_.RegCloseKey(key);
    return true;
  }
  const std::string path = SubKey();
  Hkey existing = 0;
  if (api_.RegOpenKeyExA(win::HKEY_LOCAL_MACHINE, path.c_str(), win::KEY_READ_ENUM, &existing) ==
      win::ERROR_SUCCESS) {
    api_.RegCloseKey(existing);
    return true;
  }
  Hkey created = 0;
  if (api_.RegCreateKeyExA(win::HKEY_LOCAL_MACHINE, path.c_str(), win::KEY_ALL_ACCESS, &created) !=
      win::ERROR_SUCCESS) {
    throw RegistryError("Failed to create key " + KeyName);
  }
  api_.RegCloseKey(created);
  return true;
}

bool TMyRegistry::WriteString() {
  Hkey key = OpenKey();
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

std::string TMyRegistry::ReadString() {
  Hkey key = OpenKey();
  if (key == 0) return "";
  KeyCloser closer(api_, key);
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
  if (api_.RegOpenKeyExA(win::HKEY_LOCAL_MACHINE, parent.c_str(), win::KEY_ALL_ACCESS, &key) !=
      win::ERROR_SUCCESS) {
    return false;
  }
  KeyCloser closer(api_, key);
  return api_.RegDeleteKeyA(key, leaf.c_str()) == win::ERROR_SUCCESS;
}

}  // namespace telvaro
