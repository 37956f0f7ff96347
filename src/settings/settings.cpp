#include "settings/settings.h"

#include <cstdlib>
#include <memory>

namespace sonavi {

namespace {

constexpr const char kPortValue[] = "Port";
constexpr const char kSpeakerOffValue[] = "DesligAltif";

std::string AsciiLower(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

bool IsBlank(char c) { return c == ' '; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Reads a string value up to its first NUL. A missing value reads as the empty text;
// a value of any type but REG_SZ or REG_EXPAND_SZ is refused.
Status ReadString(RegKey& key, const char* name, std::string* text) {
  RegValue value;
  if (!key.QueryValue(name, &value)) {
    text->clear();
    return Status::Ok();
  }
  if (value.type != kRegSz && value.type != kRegExpandSz) {
    return Status::Error(std::string("Invalid data type for '") + name + "'");
  }
  *text = value.data.substr(0, value.data.find('\0'));
  return Status::Ok();
}

// A number as the user writes it: blanks around, a sign, digits with the regional
// decimal separator, an exponent.
bool ParseLocaleNumber(std::string_view text, char decimal_separator, double* number) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  text = text.substr(begin, end - begin);

  // Sign, digits, optionally the separator and more digits (at least one digit in all),
  // optionally an exponent. Rebuilt with '.' so strtod reads it in the "C" locale.
  std::string plain;
  size_t i = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) plain.push_back(text[i++]);
  size_t digits = 0;
  while (i < text.size() && IsDigit(text[i])) {
    plain.push_back(text[i++]);
    ++digits;
  }
  if (i < text.size() && text[i] == decimal_separator) {
    plain.push_back('.');
    ++i;
    while (i < text.size() && IsDigit(text[i])) {
      plain.push_back(text[i++]);
      ++digits;
    }
  }
  if (digits == 0) return false;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    plain.push_back('e');
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) plain.push_back(text[i++]);
    size_t exponent_digits = 0;
    while (i < text.size() && IsDigit(text[i])) {
      plain.push_back(text[i++]);
      ++exponent_digits;
    }
    if (exponent_digits == 0) return false;
  }
  if (i != text.size()) return false;
  *number = std::strtod(plain.c_str(), nullptr);
  return true;
}

bool ParseSpeakerOff(std::string_view text, char decimal_separator) {
  double number = 0;
  if (ParseLocaleNumber(text, decimal_separator, &number)) return number != 0;
  const std::string lowered = AsciiLower(text);
  if (lowered == "false") return false;
  return true;  // "true", and any other text, the empty text included
}

}  // namespace

Status LoadSettings(Registry& registry, Locale& locale, Settings* settings) {
  std::unique_ptr<RegKey> key = registry.OpenKey(RegRoot::CurrentUser, kSettingsKey, false);
  if (!key) return Status::Ok();

  std::string text;
  Status status = ReadString(*key, kPortValue, &text);
  if (!status.ok()) return status;
  settings->modem_port = text.substr(0, kMaxPortLength);

  status = ReadString(*key, kSpeakerOffValue, &text);
  if (!status.ok()) return status;
  settings->speaker_off = ParseSpeakerOff(text, locale.DecimalSeparator());
  return Status::Ok();
}

Status SaveSettings(Registry& registry, const Settings& settings) {
  std::unique_ptr<RegKey> key = registry.OpenKey(RegRoot::CurrentUser, kSettingsKey, true);
  if (!key) return Status::Ok();
  if (!key->SetString(kPortValue, settings.modem_port)) {
    return Status::Error(std::string("Failed to set data for '") + kPortValue + "'");
  }
  if (!key->SetString(kSpeakerOffValue, settings.speaker_off ? "1" : "0")) {
    return Status::Error(std::string("Failed to set data for '") + kSpeakerOffValue + "'");
  }
  return Status::Ok();
}

}  // namespace sonavi
