// The names of the serial ports the system knows (COM1, COM3, ...), read from the
// registry under HKEY_LOCAL_MACHINE. Opens no port.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/registry.h"

namespace sonavi {

// What GetVersionExA reported; ok is false when the call failed.
struct WindowsVersion {
  bool ok = false;
  uint32_t platform_id = 0;
  uint32_t major = 0;
  uint32_t minor = 0;
};

// The running system's version (Windows only).
WindowsVersion CurrentWindowsVersion();

// The list's own lookup: whether two names are the same entry.
using SameEntry = std::function<bool(const std::string&, const std::string&)>;

// Appends to list every port name not yet in it (by same), in the order first found;
// nothing already in the list is removed or reordered. Windows 4.x after the first
// release is read from the hardware tree under "\enum", every other version from the
// device map. Failures are silent: the list just gets fewer names.
void EnumerateSerialPorts(Registry& registry, const WindowsVersion& version,
                          std::vector<std::string>& list, const SameEntry& same);

}  // namespace sonavi
