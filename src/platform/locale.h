// The user's regional conventions.
#pragma once

#include <string>

namespace sonavi {

class Locale {
 public:
  virtual ~Locale() = default;
  // Linguistic, case-sensitive comparison for the user's default locale, no flags
  // (CompareStringA): negative, zero or positive.
  virtual int Compare(const std::string& a, const std::string& b) = 0;
  // Lower case by the user's locale, accented capitals included (CharLowerBuffA).
  virtual std::string Lower(const std::string& text) = 0;
  // The regional time separator (":" under the usual settings).
  virtual std::string TimeSeparator() = 0;
  // The regional decimal separator.
  virtual char DecimalSeparator() = 0;
};

Locale& UserLocale();

}  // namespace sonavi
