#include "serial/comm_port_list.h"

#include <algorithm>
#include <memory>

namespace sonavi {

namespace {

constexpr const char kDeviceMap[] = "\\hardware\\devicemap\\serialcomm";
constexpr const char kHardwareTree[] = "\\enum";
constexpr const char kClassKeys[] = "\\System\\CurrentControlSet\\Services\\Class\\";

void AddName(std::vector<std::string>& list, const SameEntry& same, const std::string& name) {
  const bool listed = std::any_of(list.begin(), list.end(),
                                  [&](const std::string& entry) { return same(entry, name); });
  if (!listed) list.push_back(name);
}

// A plain string (REG_SZ) value up to its first NUL; false for any other type.
bool ReadPlainString(RegKey& key, const std::string& name, std::string* text) {
  RegValue value;
  if (!key.QueryValue(name, &value) || value.type != kRegSz) return false;
  *text = value.data.substr(0, value.data.find('\0'));
  return true;
}

std::string AsciiLower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

void ReadDeviceMap(Registry& registry, std::vector<std::string>& list, const SameEntry& same) {
  std::unique_ptr<RegKey> key = registry.OpenKey(RegRoot::LocalMachine, kDeviceMap, false);
  if (!key) return;
  for (const std::string& name : key->ValueNames()) {
    std::string port;
    if (ReadPlainString(*key, name, &port)) AddName(list, same, port);
  }
}

// A port or modem whose class key marks it as a serial port (a one-byte binary
// "PortSubClass" of 1 or 2) contributes its "portname".
void ReadDeviceKey(Registry& registry, RegKey& key, std::vector<std::string>& list,
                   const SameEntry& same) {
  std::string device_class;
  if (!ReadPlainString(key, "class", &device_class)) return;
  device_class = AsciiLower(device_class);
  if (device_class != "ports" && device_class != "modem") return;

  std::string driver;
  std::string port;
  if (!ReadPlainString(key, "driver", &driver) || !ReadPlainString(key, "portname", &port)) {
    return;
  }
  std::unique_ptr<RegKey> class_key =
      registry.OpenKey(RegRoot::LocalMachine, kClassKeys + driver, false);
  if (!class_key) return;
  RegValue sub_class;
  if (!class_key->QueryValue("PortSubClass", &sub_class)) return;
  if (sub_class.type != kRegBinary && sub_class.type != kRegNone) return;
  if (sub_class.data.size() != 1) return;
  if (sub_class.data[0] == 1 || sub_class.data[0] == 2) AddName(list, same, port);
}

// Depth first, each key before its subkeys.
void ScanHardwareTree(Registry& registry, const std::string& path, std::vector<std::string>& list,
                      const SameEntry& same) {
  std::vector<std::string> subkeys;
  {
    std::unique_ptr<RegKey> key = registry.OpenKey(RegRoot::LocalMachine, path, false);
    if (!key) return;
    ReadDeviceKey(registry, *key, list, same);
    subkeys = key->SubKeyNames();
  }
  for (const std::string& subkey : subkeys) {
    ScanHardwareTree(registry, path + "\\" + subkey, list, same);
  }
}

}  // namespace

void EnumerateSerialPorts(Registry& registry, const WindowsVersion& version,
                          std::vector<std::string>& list, const SameEntry& same) {
  if (!version.ok || version.platform_id == 0 || version.major < 4) return;
  if (version.major == 4 && version.minor > 0) {
    ScanHardwareTree(registry, kHardwareTree, list, same);
  } else {
    ReadDeviceMap(registry, list, same);
  }
}

}  // namespace sonavi
