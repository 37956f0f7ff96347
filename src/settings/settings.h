// The program's two settings, stored per user under HKCU\Software\Borvane\Sonavi.
#pragma once

#include <string>

#include "platform/locale.h"
#include "platform/registry.h"
#include "platform/status.h"

namespace sonavi {

inline constexpr size_t kMaxPortLength = 255;
inline constexpr const char kSettingsKey[] = "Software\\Borvane\\Sonavi";

struct Settings {
  std::string modem_port;    // ModemPort: at most 255 characters, " " = no port chosen
  bool speaker_off = false;  // SpeakerOff: "ATM0" before dialling
};

// Reads "Port" and "DesligAltif" into *settings. A missing key leaves *settings alone.
// A value of a non-string type fails with "Invalid data type for '<name>'"; the values
// after it are not read.
Status LoadSettings(Registry& registry, Locale& locale, Settings* settings);

// Writes "Port" and "DesligAltif" ("1" or "0"), creating the key. A key that cannot be
// opened or created writes nothing and reports nothing; a failed write fails with
// "Failed to set data for '<name>'".
Status SaveSettings(Registry& registry, const Settings& settings);

}  // namespace sonavi
