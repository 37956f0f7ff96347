// The fakes behave like the system where the tests rely on it.
#include <gtest/gtest.h>

#include "fakes/fake_locale.h"
#include "fakes/fake_registry.h"

namespace sonavi {
namespace {

TEST(FakeLocale, OrdersAsAPortugueseUser) {
  FakeLocale locale;
  EXPECT_LT(locale.Compare("ana", "Ana"), 0);
  EXPECT_LT(locale.Compare("Ana", "Zé"), 0);
  EXPECT_LT(locale.Compare("ana", "Zé"), 0);
  EXPECT_LT(locale.Compare("", "a"), 0);
  EXPECT_EQ(locale.Compare("Ana", "Ana"), 0);
  EXPECT_EQ(locale.Lower("ÁGUA Í"), "água í");
}

TEST(FakeRegistry, KeysAreCaseInsensitiveAndListInOrder) {
  FakeRegistry registry;
  registry.SetString(RegRoot::LocalMachine, "\\Hardware\\DeviceMap\\SerialComm", "b", "COM2");
  registry.SetString(RegRoot::LocalMachine, "\\Hardware\\DeviceMap\\SerialComm", "a", "COM1");
  auto key = registry.OpenKey(RegRoot::LocalMachine, "\\hardware\\devicemap\\serialcomm", false);
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(key->ValueNames(), (std::vector<std::string>{"b", "a"}));
  EXPECT_FALSE(key->SetString("c", "x"));  // opened read-only
  EXPECT_EQ(registry.OpenKey(RegRoot::CurrentUser, "Software\\X", false), nullptr);
  auto top = registry.OpenKey(RegRoot::LocalMachine, "\\hardware", false);
  ASSERT_NE(top, nullptr);
  EXPECT_EQ(top->SubKeyNames(), (std::vector<std::string>{"DeviceMap"}));
}

}  // namespace
}  // namespace sonavi
