// The serial port list over arbitrary registry trees: the hardware tree (keys nested as
// the input says, with any values of any type) and the device map. The caller's list
// keeps its entries and order, gains no name twice, and gains exactly the names the
// tree marks as serial ports.
//
// Input: a byte choosing the system version, then records separated by 0x1E, each an
// operation byte and its text:
//   op % 4 == 0  the current key becomes \enum\<text>, '/' separating the subkeys
//   op % 4 == 1  a value in the current key: name by (op >> 2) % 5 from class, driver,
//                portname, PortSubClass, other; type by (op >> 5) from
//                SZ, EXPAND_SZ, BINARY, NONE, DWORD, MULTI_SZ, SZ, SZ; the text its data
//   op % 4 == 2  a driver's class key: the text up to ':' names it, the rest is its
//                PortSubClass, typed as above
//   op % 4 == 3  a device map value: the text up to ':' names it, the rest is its data
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "fakes/fake_registry.h"
#include "fuzz_support.h"
#include "serial/comm_port_list.h"

namespace sonavi::fuzz {
namespace {

constexpr const char kEnum[] = "\\enum";
constexpr const char kClassKeys[] = "\\System\\CurrentControlSet\\Services\\Class\\";
constexpr const char kDeviceMap[] = "\\hardware\\devicemap\\serialcomm";
constexpr size_t kMaxDepth = 64;  // the registry itself allows 512 levels

std::string Lower(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  }
  return s;
}

// A key name as the registry allows it: not empty, no backslash.
std::string KeyPath(std::string_view text) {
  std::string path;
  size_t depth = 0;
  for (std::string_view part : Segments(text, '/')) {
    if (part.empty() || depth == kMaxDepth) continue;
    std::string name(part);
    for (char& c : name) {
      if (c == '\\') c = '_';
    }
    path += "\\" + name;
    ++depth;
  }
  return path;
}

const uint32_t kTypes[] = {kRegSz,    kRegExpandSz, kRegBinary, kRegNone,
                           kRegDword, kRegMultiSz,  kRegSz,     kRegSz};
const char* const kNames[] = {"class", "driver", "portname", "PortSubClass", "Other"};

// A key path as the registry resolves it: backslashes around it ignored, case ignored.
std::string Normalize(const std::string& path) {
  const size_t begin = path.find_first_not_of('\\');
  if (begin == std::string::npos) return std::string();
  const size_t end = path.find_last_not_of('\\');
  return Lower(path.substr(begin, end - begin + 1));
}

// What the test knows of the tree: values by normalized key path and lowered name.
using Values = std::map<std::string, std::map<std::string, RegValue>>;

const RegValue* Find(const Values& values, const std::string& path, const std::string& name) {
  auto key = values.find(Normalize(path));
  if (key == values.end()) return nullptr;
  auto value = key->second.find(Lower(name));
  return value == key->second.end() ? nullptr : &value->second;
}

bool PlainString(const Values& values, const std::string& path, const std::string& name,
                 std::string* text) {
  const RegValue* v = Find(values, path, name);
  if (!v || v->type != kRegSz) return false;
  *text = v->data.substr(0, v->data.find('\0'));
  return true;
}

}  // namespace
}  // namespace sonavi::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace sonavi;
  using namespace sonavi::fuzz;
  const auto records =
      Segments(std::string_view(reinterpret_cast<const char*>(data), size), '\x1E');
  const uint8_t choice = records[0].empty() ? 0 : static_cast<uint8_t>(records[0][0]);
  static const WindowsVersion kVersions[] = {{true, 1, 4, 10},  {true, 1, 4, 0},  {true, 2, 5, 1},
                                             {true, 2, 4, 0},   {true, 1, 3, 95}, {true, 0, 4, 10},
                                             {false, 1, 4, 10}, {true, 2, 6, 1}};
  const WindowsVersion version = kVersions[choice % 8];

  FakeRegistry registry;
  Values values;
  std::string current = kEnum;
  registry.CreateKey(RegRoot::LocalMachine, current);
  std::vector<std::string> device_map_names;
  for (size_t r = 1; r < records.size(); ++r) {
    const std::string_view record = records[r];
    const uint8_t op = record.empty() ? 0 : static_cast<uint8_t>(record[0]);
    const std::string_view text = record.empty() ? record : record.substr(1);
    const uint32_t type = kTypes[op >> 5];
    switch (op % 4) {
      case 0:
        current = kEnum + KeyPath(text);
        registry.CreateKey(RegRoot::LocalMachine, current);
        break;
      case 1: {
        const std::string name = kNames[(op >> 2) % 5];
        registry.SetValue(RegRoot::LocalMachine, current, name, type, std::string(text));
        values[Normalize(current)][Lower(name)] = RegValue{type, std::string(text)};
        break;
      }
      case 2: {
        const size_t colon = text.find(':');
        const std::string driver(text.substr(0, colon));
        const std::string sub_class(colon == std::string_view::npos ? "" : text.substr(colon + 1));
        const std::string key_path = KeyPath(driver);
        if (key_path.empty()) break;
        const std::string path = kClassKeys + key_path.substr(1);
        registry.SetValue(RegRoot::LocalMachine, path, "PortSubClass", type, sub_class);
        values[Normalize(path)]["portsubclass"] = RegValue{type, sub_class};
        break;
      }
      case 3: {
        const size_t colon = text.find(':');
        const std::string name(text.substr(0, colon));
        const std::string port(colon == std::string_view::npos ? "" : text.substr(colon + 1));
        registry.SetValue(RegRoot::LocalMachine, kDeviceMap, name, type, port);
        values[Normalize(kDeviceMap)][Lower(name)] = RegValue{type, port};
        device_map_names.push_back(Lower(name));
        break;
      }
    }
  }

  const std::vector<std::string> before = {"COM1", "com7"};
  std::vector<std::string> list = before;
  auto same = [](const std::string& a, const std::string& b) { return Lower(a) == Lower(b); };
  EnumerateSerialPorts(registry, version, list, same);
  FUZZ_CHECK(registry.open_keys() == 0);

  // The caller's entries stay first and in order; no name appears twice.
  FUZZ_CHECK(list.size() >= before.size());
  FUZZ_CHECK(std::equal(before.begin(), before.end(), list.begin()));
  for (size_t i = 0; i < list.size(); ++i) {
    for (size_t j = i + 1; j < list.size(); ++j) FUZZ_CHECK(!same(list[i], list[j]));
  }

  // The names the tree offers, by the road this version takes.
  std::vector<std::string> offered;
  const bool qualifies = version.ok && version.platform_id != 0 && version.major >= 4;
  const bool hardware_tree = version.major == 4 && version.minor > 0;
  if (qualifies && hardware_tree) {
    for (const auto& [path, key_values] : values) {
      if (path != "enum" && path.rfind("enum\\", 0) != 0) continue;
      std::string device_class, driver, port;
      if (!PlainString(values, path, "class", &device_class)) continue;
      if (Lower(device_class) != "ports" && Lower(device_class) != "modem") continue;
      if (!PlainString(values, path, "driver", &driver) ||
          !PlainString(values, path, "portname", &port)) {
        continue;
      }
      const RegValue* sub = Find(values, kClassKeys + driver, "PortSubClass");
      if (!sub || (sub->type != kRegBinary && sub->type != kRegNone)) continue;
      if (sub->data.size() == 1 && (sub->data[0] == 1 || sub->data[0] == 2)) {
        offered.push_back(port);
      }
    }
  } else if (qualifies) {
    for (const std::string& name : device_map_names) {
      std::string port;
      if (PlainString(values, kDeviceMap, name, &port)) offered.push_back(port);
    }
  }
  // Every name offered is in the list, and every name added was offered.
  for (const std::string& port : offered) {
    FUZZ_CHECK(
        std::any_of(list.begin(), list.end(), [&](const std::string& e) { return same(e, port); }));
  }
  for (size_t i = before.size(); i < list.size(); ++i) {
    FUZZ_CHECK(std::any_of(offered.begin(), offered.end(),
                           [&](const std::string& o) { return o == list[i]; }));
  }
  return 0;
}
