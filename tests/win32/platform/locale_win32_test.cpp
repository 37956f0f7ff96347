// The locale adapter under the user's regional settings (the tests run with LANG=pt_PT.UTF-8).
#include <windows.h>

#include <gtest/gtest.h>

#include "platform/locale.h"

namespace sonavi {
namespace {

TEST(LocaleWin32, ComparesAsTheUsersLocale) {
  Locale& locale = UserLocale();
  EXPECT_LT(locale.Compare("ana", "Ana"), 0);
  EXPECT_LT(locale.Compare("Ana", "Zé"), 0);
  EXPECT_GT(locale.Compare("Zé", "ana"), 0);
  EXPECT_EQ(locale.Compare("Ana", "Ana"), 0);
  EXPECT_EQ(locale.Compare("", ""), 0);
  EXPECT_LT(locale.Compare(" ", "COM1"), 0);
}

TEST(LocaleWin32, LowersAccentedCapitals) {
  Locale& locale = UserLocale();
  EXPECT_EQ(locale.Lower("ÁGUA Í COM1"), "água í com1");
  EXPECT_EQ(locale.Lower(""), "");
}

TEST(LocaleWin32, RegionalSeparators) {
  Locale& locale = UserLocale();
  EXPECT_EQ(locale.TimeSeparator(), ":");
  // Portuguese writes decimals with a comma, English with a point (Wine picks the user's
  // locale from LANG when that locale exists on the host).
  const LCID user = GetUserDefaultLCID();
  if (user == 0x816) {
    EXPECT_EQ(locale.DecimalSeparator(), ',');
  } else if (user == 0x409) {
    EXPECT_EQ(locale.DecimalSeparator(), '.');
  }
}

}  // namespace
}  // namespace sonavi
