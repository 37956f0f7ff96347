// The settings read from arbitrary registry values: any type, any bytes, any decimal
// separator. A value of a type other than a string is refused by name, the port keeps
// at most 255 characters up to the first NUL, and what is read, written back, reads the
// same.
//
// Input: the decimal separator, a byte of flags (bit 0 the key exists, bit 1 "Port"
// exists, bit 2 "DesligAltif" exists), the two values' types, then the "Port" data up
// to 0x1E and the "DesligAltif" data.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fakes/fake_registry.h"
#include "fuzz_support.h"
#include "settings/settings.h"

namespace sonavi::fuzz {
namespace {

class SeparatorLocale : public Locale {
 public:
  explicit SeparatorLocale(char separator) : separator_(separator) {}
  int Compare(const std::string& a, const std::string& b) override { return a.compare(b); }
  std::string Lower(const std::string& text) override { return text; }
  std::string TimeSeparator() override { return ":"; }
  char DecimalSeparator() override { return separator_; }

 private:
  char separator_;
};

bool IsStringType(uint32_t type) { return type == kRegSz || type == kRegExpandSz; }

std::string AsciiLower(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  }
  return s;
}

}  // namespace
}  // namespace sonavi::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace sonavi;
  using namespace sonavi::fuzz;
  ByteReader reader(data, size);
  const char separator = static_cast<char>(reader.Byte());
  const uint8_t flags = reader.Byte();
  const uint32_t port_type = reader.Byte() % 12;
  const uint32_t speaker_type = reader.Byte() % 12;
  const std::string port_data(reader.Until('\x1E'));
  const std::string speaker_data(reader.Rest());

  FakeRegistry registry;
  if (flags & 1) registry.CreateKey(RegRoot::CurrentUser, kSettingsKey);
  if (flags & 2)
    registry.SetValue(RegRoot::CurrentUser, kSettingsKey, "Port", port_type, port_data);
  if (flags & 4) {
    registry.SetValue(RegRoot::CurrentUser, kSettingsKey, "DesligAltif", speaker_type,
                      speaker_data);
  }
  const bool key = (flags & 7) != 0;
  SeparatorLocale locale(separator);

  Settings settings;
  settings.modem_port = "unchanged";
  settings.speaker_off = true;
  const Status status = LoadSettings(registry, locale, &settings);
  FUZZ_CHECK(registry.open_keys() == 0);

  if (!key) {
    FUZZ_CHECK(status.ok());
    FUZZ_CHECK(settings.modem_port == "unchanged" && settings.speaker_off);
    return 0;
  }
  const bool port_refused = (flags & 2) && !IsStringType(port_type);
  const bool speaker_refused = (flags & 4) && !IsStringType(speaker_type);
  if (port_refused) {
    FUZZ_CHECK(status.message() == "Invalid data type for 'Port'");
    return 0;
  }
  const std::string port_text = (flags & 2) ? port_data.substr(0, port_data.find('\0')) : "";
  FUZZ_CHECK(settings.modem_port == port_text.substr(0, 255));
  if (speaker_refused) {
    FUZZ_CHECK(status.message() == "Invalid data type for 'DesligAltif'");
    return 0;
  }
  FUZZ_CHECK(status.ok());
  const std::string speaker_text =
      (flags & 4) ? speaker_data.substr(0, speaker_data.find('\0')) : "";
  // The plain cases: words and whole numbers.
  if (AsciiLower(speaker_text) == "false") FUZZ_CHECK(!settings.speaker_off);
  if (AsciiLower(speaker_text) == "true" || speaker_text.empty()) FUZZ_CHECK(settings.speaker_off);
  if (!speaker_text.empty() && speaker_text.find_first_not_of("0123456789") == std::string::npos) {
    FUZZ_CHECK(settings.speaker_off == (speaker_text.find_first_not_of('0') != std::string::npos));
  }

  // Written back and read again, the settings are the same.
  FUZZ_CHECK(SaveSettings(registry, settings).ok());
  Settings again;
  again.modem_port = "other";
  again.speaker_off = !settings.speaker_off;
  FUZZ_CHECK(LoadSettings(registry, locale, &again).ok());
  FUZZ_CHECK(again.modem_port == settings.modem_port);
  FUZZ_CHECK(again.speaker_off == settings.speaker_off);
  FUZZ_CHECK(registry.open_keys() == 0);
  return 0;
}
