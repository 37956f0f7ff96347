// The registry adapter against the system registry, under a key of its own.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/registry.h"
#include "settings/settings.h"

namespace sonavi {
namespace {

constexpr const char kTestKey[] = "Software\\SonaviTests\\Registry";

class RegistryWin32Test : public ::testing::Test {
 protected:
  void SetUp() override { RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\SonaviTests"); }
  void TearDown() override { RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\SonaviTests"); }
};

TEST_F(RegistryWin32Test, WritesAndReadsBackStringsAndListsInOrder) {
  Registry& registry = SystemRegistry();
  EXPECT_EQ(registry.OpenKey(RegRoot::CurrentUser, kTestKey, false), nullptr);
  {
    auto key = registry.OpenKey(RegRoot::CurrentUser, std::string("\\") + kTestKey, true);
    ASSERT_NE(key, nullptr);
    EXPECT_TRUE(key->SetString("Port", "COM2"));
    EXPECT_TRUE(key->SetString("Nome", "Jo\xE3o"));
    EXPECT_TRUE(key->SetString("Vazio", ""));
  }
  HKEY raw = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\SonaviTests\\Registry\\Sub", 0, nullptr,
                            0, KEY_WRITE, nullptr, &raw, nullptr),
            ERROR_SUCCESS);
  const BYTE one = 2;
  RegSetValueExA(raw, "PortSubClass", 0, REG_BINARY, &one, 1);
  const DWORD number = 5;
  RegSetValueExA(raw, "Number", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), 4);
  RegCloseKey(raw);

  auto key = registry.OpenKey(RegRoot::CurrentUser, kTestKey, false);
  ASSERT_NE(key, nullptr);
  EXPECT_FALSE(key->SetString("Port", "COM3"));  // opened read-only
  RegValue value;
  ASSERT_TRUE(key->QueryValue("port", &value));
  EXPECT_EQ(value.type, kRegSz);
  EXPECT_EQ(value.data, std::string("COM2\0", 5));
  ASSERT_TRUE(key->QueryValue("Nome", &value));
  EXPECT_EQ(value.data, std::string("Jo\xE3o\0", 5));
  ASSERT_TRUE(key->QueryValue("Vazio", &value));
  EXPECT_EQ(value.data, std::string(1, '\0'));
  EXPECT_FALSE(key->QueryValue("Missing", &value));
  // Listing order is the registry's own (Wine sorts by name, Windows keeps creation order).
  std::vector<std::string> names = key->ValueNames();
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"Nome", "Port", "Vazio"}));
  EXPECT_EQ(key->SubKeyNames(), std::vector<std::string>{"Sub"});

  auto sub = registry.OpenKey(RegRoot::CurrentUser, std::string(kTestKey) + "\\Sub", false);
  ASSERT_NE(sub, nullptr);
  ASSERT_TRUE(sub->QueryValue("PortSubClass", &value));
  EXPECT_EQ(value.type, kRegBinary);
  EXPECT_EQ(value.data, "\x02");
  ASSERT_TRUE(sub->QueryValue("Number", &value));
  EXPECT_EQ(value.type, kRegDword);
  EXPECT_EQ(value.data.size(), 4u);
}

TEST_F(RegistryWin32Test, LongValuesAreReadWhole) {
  auto key = SystemRegistry().OpenKey(RegRoot::CurrentUser, kTestKey, true);
  ASSERT_NE(key, nullptr);
  const std::string long_text(5000, 'x');
  ASSERT_TRUE(key->SetString("Long", long_text));
  RegValue value;
  ASSERT_TRUE(key->QueryValue("Long", &value));
  EXPECT_EQ(value.data, long_text + std::string(1, '\0'));
}

TEST_F(RegistryWin32Test, HardwareDeviceMapIsReadableFromTheMachineRoot) {
  // Present on every system with a serial port driver; only its opening matters here.
  auto key = SystemRegistry().OpenKey(RegRoot::LocalMachine, "\\HARDWARE", false);
  EXPECT_NE(key, nullptr);
}

}  // namespace
}  // namespace sonavi
