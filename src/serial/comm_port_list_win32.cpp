#include <windows.h>

#include "serial/comm_port_list.h"

namespace sonavi {

WindowsVersion CurrentWindowsVersion() {
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof info;  // 148 bytes
  static_assert(sizeof(OSVERSIONINFOA) == 148);
  WindowsVersion version;
  if (!GetVersionExA(&info)) return version;
  version.ok = true;
  version.platform_id = info.dwPlatformId;
  version.major = info.dwMajorVersion;
  version.minor = info.dwMinorVersion;
  return version;
}

}  // namespace sonavi
