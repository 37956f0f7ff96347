#include <windows.h>

#include <vector>

#include "platform/locale.h"

namespace sonavi {

namespace {

std::string LocaleInfo(LCTYPE type) {
  char buffer[16];
  const int length = GetLocaleInfoA(LOCALE_USER_DEFAULT, type, buffer, sizeof buffer);
  return length > 1 ? std::string(buffer, length - 1) : std::string();
}

class Win32Locale : public Locale {
 public:
  int Compare(const std::string& a, const std::string& b) override {
    const int result = CompareStringA(LOCALE_USER_DEFAULT, 0, a.data(), static_cast<int>(a.size()),
                                      b.data(), static_cast<int>(b.size()));
    if (result == 0) return a.compare(b) < 0 ? -1 : (a == b ? 0 : 1);  // the call failed
    return result - CSTR_EQUAL;
  }

  std::string Lower(const std::string& text) override {
    std::vector<char> buffer(text.begin(), text.end());
    if (!buffer.empty()) CharLowerBuffA(buffer.data(), static_cast<DWORD>(buffer.size()));
    return std::string(buffer.begin(), buffer.end());
  }

  std::string TimeSeparator() override {
    const std::string separator = LocaleInfo(LOCALE_STIME);
    return separator.empty() ? ":" : separator;
  }

  char DecimalSeparator() override {
    const std::string separator = LocaleInfo(LOCALE_SDECIMAL);
    return separator.empty() ? '.' : separator[0];
  }
};

}  // namespace

Locale& UserLocale() {
  static Win32Locale locale;
  return locale;
}

}  // namespace sonavi
