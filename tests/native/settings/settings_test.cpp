#include "settings/settings.h"

#include <gtest/gtest.h>

#include "fakes/fake_locale.h"
#include "fakes/fake_registry.h"

namespace sonavi {
namespace {

class SettingsTest : public ::testing::Test {
 protected:
  void SetPort(const std::string& text) {
    registry_.SetString(RegRoot::CurrentUser, kSettingsKey, "Port", text);
  }
  void SetSpeakerOff(const std::string& text) {
    registry_.SetString(RegRoot::CurrentUser, kSettingsKey, "DesligAltif", text);
  }
  Settings Load() {
    Settings settings;
    const Status status = LoadSettings(registry_, locale_, &settings);
    EXPECT_TRUE(status.ok()) << status.message();
    EXPECT_EQ(registry_.open_keys(), 0);
    return settings;
  }
  bool SpeakerOffFor(const std::string& text) {
    SetPort("COM1");
    SetSpeakerOff(text);
    return Load().speaker_off;
  }

  FakeRegistry registry_;
  FakeLocale locale_;
};

TEST_F(SettingsTest, MissingKeyLeavesTheValuesAsTheyWere) {
  Settings settings;
  EXPECT_TRUE(LoadSettings(registry_, locale_, &settings).ok());
  EXPECT_EQ(settings.modem_port, "");
  EXPECT_FALSE(settings.speaker_off);

  settings = Settings{"COM4", true};
  EXPECT_TRUE(LoadSettings(registry_, locale_, &settings).ok());
  EXPECT_EQ(settings.modem_port, "COM4");
  EXPECT_TRUE(settings.speaker_off);
  EXPECT_FALSE(registry_.HasKey(RegRoot::CurrentUser, kSettingsKey));  // not created
}

TEST_F(SettingsTest, MissingValuesGiveEmptyPortAndSpeakerOff) {
  registry_.CreateKey(RegRoot::CurrentUser, kSettingsKey);
  Settings settings{"COM4", false};
  EXPECT_TRUE(LoadSettings(registry_, locale_, &settings).ok());
  EXPECT_EQ(settings.modem_port, "");
  EXPECT_TRUE(settings.speaker_off);

  SetPort("COM2");
  EXPECT_TRUE(Load().speaker_off);
}

TEST_F(SettingsTest, SpeakerOffReadsNumbersAndWords) {
  EXPECT_FALSE(SpeakerOffFor("0"));
  EXPECT_TRUE(SpeakerOffFor("1"));
  EXPECT_TRUE(SpeakerOffFor("-1"));
  EXPECT_TRUE(SpeakerOffFor("2"));
  EXPECT_TRUE(SpeakerOffFor("true"));
  EXPECT_TRUE(SpeakerOffFor("TrUe"));
  EXPECT_FALSE(SpeakerOffFor("false"));
  EXPECT_FALSE(SpeakerOffFor("FALSE"));
  EXPECT_TRUE(SpeakerOffFor("sim"));
  EXPECT_TRUE(SpeakerOffFor("falsee"));
  EXPECT_TRUE(SpeakerOffFor(""));
  EXPECT_FALSE(SpeakerOffFor(" 0 "));
  EXPECT_FALSE(SpeakerOffFor("-0"));
  EXPECT_FALSE(SpeakerOffFor("0e5"));
  EXPECT_TRUE(SpeakerOffFor("1e"));  // not a number: another text
}

TEST_F(SettingsTest, SpeakerOffNumbersUseTheRegionalDecimalSeparator) {
  locale_.decimal_separator = ',';
  EXPECT_TRUE(SpeakerOffFor("1,5"));
  EXPECT_FALSE(SpeakerOffFor("0,0"));
  EXPECT_FALSE(SpeakerOffFor(",0"));
  EXPECT_TRUE(SpeakerOffFor("0.0"));  // not a number here: another text
  EXPECT_TRUE(SpeakerOffFor("0,001"));

  locale_.decimal_separator = '.';
  EXPECT_FALSE(SpeakerOffFor("0.0"));
  EXPECT_TRUE(SpeakerOffFor("0,0"));
}

TEST_F(SettingsTest, PortIsCutTo255CharactersAndAtTheFirstNul) {
  SetPort(std::string(300, 'P'));
  EXPECT_EQ(Load().modem_port, std::string(255, 'P'));

  registry_.SetValue(RegRoot::CurrentUser, kSettingsKey, "Port", kRegSz,
                     std::string("COM2\0junk\0", 10));
  EXPECT_EQ(Load().modem_port, "COM2");

  registry_.SetValue(RegRoot::CurrentUser, kSettingsKey, "Port", kRegSz, "COM3");  // no NUL
  EXPECT_EQ(Load().modem_port, "COM3");
}

TEST_F(SettingsTest, ExpandableStringPortIsTakenUnexpanded) {
  registry_.SetValue(RegRoot::CurrentUser, kSettingsKey, "Port", kRegExpandSz,
                     std::string("%PORT%\0", 7));
  EXPECT_EQ(Load().modem_port, "%PORT%");
}

TEST_F(SettingsTest, WrongTypeFailsAndLeavesTheLaterValuesUnread) {
  registry_.SetValue(RegRoot::CurrentUser, kSettingsKey, "Port", kRegDword,
                     std::string("\x02\0\0\0", 4));
  SetSpeakerOff("1");
  Settings settings{"", false};
  Status status = LoadSettings(registry_, locale_, &settings);
  EXPECT_FALSE(status.ok());
  EXPECT_EQ(status.message(), "Invalid data type for 'Port'");
  EXPECT_EQ(settings.modem_port, "");
  EXPECT_FALSE(settings.speaker_off);
  EXPECT_EQ(registry_.open_keys(), 0);

  SetPort("COM2");
  registry_.SetValue(RegRoot::CurrentUser, kSettingsKey, "DesligAltif", kRegBinary, "\x01");
  status = LoadSettings(registry_, locale_, &settings);
  EXPECT_EQ(status.message(), "Invalid data type for 'DesligAltif'");
  EXPECT_EQ(settings.modem_port, "COM2");
  EXPECT_FALSE(settings.speaker_off);
  EXPECT_EQ(registry_.open_keys(), 0);
}

TEST_F(SettingsTest, SaveCreatesTheKeyAndStoresStrings) {
  EXPECT_TRUE(SaveSettings(registry_, Settings{"COM2", true}).ok());
  const RegValue* port = registry_.Value(RegRoot::CurrentUser, kSettingsKey, "Port");
  const RegValue* off = registry_.Value(RegRoot::CurrentUser, kSettingsKey, "DesligAltif");
  ASSERT_NE(port, nullptr);
  ASSERT_NE(off, nullptr);
  EXPECT_EQ(port->type, kRegSz);
  EXPECT_EQ(port->data, std::string("COM2\0", 5));
  EXPECT_EQ(off->type, kRegSz);
  EXPECT_EQ(off->data, std::string("1\0", 2));

  EXPECT_TRUE(SaveSettings(registry_, Settings{" ", false}).ok());
  EXPECT_EQ(Load().modem_port, " ");
  EXPECT_FALSE(Load().speaker_off);
  EXPECT_EQ(registry_.open_keys(), 0);
}

TEST_F(SettingsTest, FailedWriteNamesTheValueAndStops) {
  registry_.FailWritesOf("Port");
  Status status = SaveSettings(registry_, Settings{"COM2", true});
  EXPECT_EQ(status.message(), "Failed to set data for 'Port'");
  EXPECT_EQ(registry_.Value(RegRoot::CurrentUser, kSettingsKey, "DesligAltif"), nullptr);
  EXPECT_EQ(registry_.open_keys(), 0);

  FakeRegistry other;
  other.FailWritesOf("DesligAltif");
  status = SaveSettings(other, Settings{"COM2", true});
  EXPECT_EQ(status.message(), "Failed to set data for 'DesligAltif'");
  ASSERT_NE(other.Value(RegRoot::CurrentUser, kSettingsKey, "Port"), nullptr);
}

TEST_F(SettingsTest, KeyThatCannotBeCreatedWritesNothingSilently) {
  registry_.FailCreate(true);
  EXPECT_TRUE(SaveSettings(registry_, Settings{"COM2", true}).ok());
  EXPECT_FALSE(registry_.HasKey(RegRoot::CurrentUser, kSettingsKey));
}

}  // namespace
}  // namespace sonavi
