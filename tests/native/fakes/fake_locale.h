// A Portuguese-like locale: words compare as a user's locale orders them (letters before
// accents before case, lower case first), lower-casing covers the accented capitals.
#pragma once

#include <string>

#include "platform/locale.h"

namespace sonavi {

class FakeLocale : public Locale {
 public:
  int Compare(const std::string& a, const std::string& b) override;
  std::string Lower(const std::string& text) override;
  std::string TimeSeparator() override { return time_separator; }
  char DecimalSeparator() override { return decimal_separator; }

  std::string time_separator = ":";
  char decimal_separator = ',';
};

}  // namespace sonavi
