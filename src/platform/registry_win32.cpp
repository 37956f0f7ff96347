#include <windows.h>

#include <vector>

#include "platform/registry.h"

namespace sonavi {

namespace {

// Lists names with RegEnumValueA or RegEnumKeyExA, in the registry's order.
template <typename Enumerate>
std::vector<std::string> EnumerateNames(DWORD max_length, Enumerate enumerate) {
  std::vector<std::string> names;
  std::vector<char> buffer(max_length + 1);
  for (DWORD index = 0;; ++index) {
    DWORD length = static_cast<DWORD>(buffer.size());
    const LONG result = enumerate(index, buffer.data(), &length);
    if (result == ERROR_MORE_DATA) {  // a longer name added since the size was asked
      buffer.resize(buffer.size() * 2 + 256);
      --index;
      continue;
    }
    if (result != ERROR_SUCCESS) break;
    names.emplace_back(buffer.data(), length);
  }
  return names;
}

class Win32RegKey : public RegKey {
 public:
  explicit Win32RegKey(HKEY key) : key_(key) {}
  ~Win32RegKey() override { RegCloseKey(key_); }
  Win32RegKey(const Win32RegKey&) = delete;
  Win32RegKey& operator=(const Win32RegKey&) = delete;

  std::vector<std::string> ValueNames() override {
    DWORD max_length = 0;
    if (RegQueryInfoKeyA(key_, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                         &max_length, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
      return {};
    }
    return EnumerateNames(max_length, [this](DWORD index, char* name, DWORD* length) {
      return RegEnumValueA(key_, index, name, length, nullptr, nullptr, nullptr, nullptr);
    });
  }

  std::vector<std::string> SubKeyNames() override {
    DWORD max_length = 0;
    if (RegQueryInfoKeyA(key_, nullptr, nullptr, nullptr, nullptr, &max_length, nullptr, nullptr,
                         nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
      return {};
    }
    return EnumerateNames(max_length, [this](DWORD index, char* name, DWORD* length) {
      return RegEnumKeyExA(key_, index, name, length, nullptr, nullptr, nullptr, nullptr);
    });
  }

  bool QueryValue(const std::string& name, RegValue* value) override {
    DWORD type = REG_NONE;
    DWORD size = 0;
    LONG result = RegQueryValueExA(key_, name.c_str(), nullptr, &type, nullptr, &size);
    std::vector<BYTE> data;
    while (result == ERROR_SUCCESS || result == ERROR_MORE_DATA) {
      data.resize(size);
      result = RegQueryValueExA(key_, name.c_str(), nullptr, &type, data.data(), &size);
      if (result == ERROR_SUCCESS) {
        value->type = type;
        value->data.assign(reinterpret_cast<const char*>(data.data()), size);
        return true;
      }
      if (result != ERROR_MORE_DATA) break;  // the value grew meanwhile: ask again
    }
    return false;
  }

  bool SetString(const std::string& name, const std::string& text) override {
    return RegSetValueExA(key_, name.c_str(), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>(text.size() + 1)) == ERROR_SUCCESS;
  }

 private:
  HKEY key_;
};

class Win32Registry : public Registry {
 public:
  std::unique_ptr<RegKey> OpenKey(RegRoot root, const std::string& path, bool create) override {
    const HKEY parent = root == RegRoot::CurrentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
    const size_t start = path.find_first_not_of('\\');
    const std::string relative = start == std::string::npos ? "" : path.substr(start);
    HKEY key = nullptr;
    const LONG result =
        create ? RegCreateKeyExA(parent, relative.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                 KEY_READ | KEY_WRITE, nullptr, &key, nullptr)
               : RegOpenKeyExA(parent, relative.c_str(), 0, KEY_READ, &key);
    if (result != ERROR_SUCCESS) return nullptr;
    return std::make_unique<Win32RegKey>(key);
  }
};

}  // namespace

Registry& SystemRegistry() {
  static Win32Registry registry;
  return registry;
}

}  // namespace sonavi
