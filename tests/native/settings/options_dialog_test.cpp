#include "settings/options_dialog.h"

#include <gtest/gtest.h>

#include "fakes/fake_locale.h"
#include "fakes/fake_message_boxes.h"
#include "fakes/fake_registry.h"

namespace sonavi {
namespace {

using Names = std::vector<std::string>;

constexpr WindowsVersion kXp{true, 2, 5, 1};
constexpr const char kDeviceMap[] = "\\HARDWARE\\DEVICEMAP\\SERIALCOMM";

class OptionsChoiceTest : public ::testing::Test {
 protected:
  void MapPort(const std::string& value, const std::string& port) {
    registry_.SetString(RegRoot::LocalMachine, kDeviceMap, value, port);
  }
  std::string Stored(const std::string& name) {
    const RegValue* value = registry_.Value(RegRoot::CurrentUser, kSettingsKey, name);
    return value ? value->data.substr(0, value->data.find('\0')) : "<none>";
  }

  Settings settings_;
  FakeRegistry registry_;
  FakeMessageBoxes boxes_;
  FakeLocale locale_;
  int reinitialised_ = 0;
  OptionsChoice choice_{settings_, registry_, boxes_, locale_, [this] { ++reinitialised_; }};
};

TEST_F(OptionsChoiceTest, ListsThePortsSortedWithTheBlankFirst) {
  MapPort("a", "COM3");
  MapPort("b", "com10");
  MapPort("c", "COM1");
  MapPort("d", "Com1");  // the same port for a list that ignores case
  MapPort("e", "COM2");
  choice_.Fill(kXp);
  EXPECT_EQ(choice_.items(), (Names{" ", "COM1", "com10", "COM2", "COM3"}));
}

TEST_F(OptionsChoiceTest, FirstRunOpensWithTheBlankSelectedAndTheBoxClear) {
  MapPort("a", "COM1");
  MapPort("b", "COM2");
  choice_.Fill(kXp);
  EXPECT_TRUE(choice_.OpensAtStart());
  EXPECT_EQ(choice_.selected(), 0);
  EXPECT_FALSE(choice_.speaker_off());

  choice_.Confirm(2, false);  // COM2
  EXPECT_EQ(settings_.modem_port, "COM2");
  EXPECT_FALSE(settings_.speaker_off);
  EXPECT_EQ(Stored("Port"), "COM2");
  EXPECT_EQ(Stored("DesligAltif"), "0");
  EXPECT_EQ(reinitialised_, 1);
  EXPECT_TRUE(boxes_.shown.empty());
  EXPECT_FALSE(choice_.OpensAtStart());
}

TEST_F(OptionsChoiceTest, SelectsTheStoredPortOnlyOnAnExactMatch) {
  MapPort("a", "COM1");
  MapPort("b", "COM2");
  settings_ = Settings{"COM2", true};
  choice_.Fill(kXp);
  EXPECT_EQ(choice_.items()[choice_.selected()], "COM2");
  EXPECT_TRUE(choice_.speaker_off());
  EXPECT_FALSE(choice_.OpensAtStart());

  OptionsChoice lower(settings_, registry_, boxes_, locale_, nullptr);
  settings_.modem_port = "com2";
  lower.Fill(kXp);
  EXPECT_EQ(lower.selected(), 0);
}

TEST_F(OptionsChoiceTest, LastExactMatchWins) {
  // Two entries with the same text can only come from the port list and the blank.
  settings_.modem_port = " ";
  MapPort("a", " ");
  MapPort("b", "COM1");
  choice_.Fill(kXp);
  EXPECT_EQ(choice_.items(), (Names{" ", " ", "COM1"}));
  EXPECT_EQ(choice_.selected(), 1);
}

TEST_F(OptionsChoiceTest, UnlistedStoredPortShowsTheBlankAndOkStoresIt) {
  MapPort("a", "COM1");
  settings_ = Settings{"COM7", false};
  choice_.Fill(kXp);
  EXPECT_EQ(choice_.selected(), 0);
  choice_.Confirm(choice_.selected(), choice_.speaker_off());
  EXPECT_EQ(settings_.modem_port, " ");
  EXPECT_EQ(Stored("Port"), " ");
  EXPECT_EQ(reinitialised_, 1);
}

TEST_F(OptionsChoiceTest, OkWithoutChangesStoresAndReinitialisesAgain) {
  MapPort("a", "COM1");
  settings_ = Settings{"COM1", true};
  choice_.Fill(kXp);
  choice_.Confirm(choice_.selected(), choice_.speaker_off());
  choice_.Confirm(choice_.selected(), choice_.speaker_off());
  EXPECT_EQ(reinitialised_, 2);
  EXPECT_EQ(Stored("Port"), "COM1");
  EXPECT_EQ(Stored("DesligAltif"), "1");
}

TEST_F(OptionsChoiceTest, LongPortNameIsCut) {
  MapPort("a", std::string(300, 'C'));
  choice_.Fill(kXp);
  choice_.Confirm(1, false);
  EXPECT_EQ(settings_.modem_port, std::string(255, 'C'));
}

TEST_F(OptionsChoiceTest, FailedSaveShowsTheErrorAndLeavesTheModemAlone) {
  MapPort("a", "COM1");
  choice_.Fill(kXp);
  registry_.FailWritesOf("DesligAltif");
  choice_.Confirm(1, true);
  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_EQ(boxes_.shown[0].text, "Failed to set data for 'DesligAltif'");
  EXPECT_EQ(boxes_.shown[0].flags, kMbOk | kMbIconError);
  EXPECT_EQ(reinitialised_, 0);
  EXPECT_EQ(settings_.modem_port, "COM1");
  EXPECT_TRUE(settings_.speaker_off);
}

TEST_F(OptionsChoiceTest, KeyThatCannotBeCreatedStillAppliesTheChoice) {
  MapPort("a", "COM1");
  choice_.Fill(kXp);
  registry_.FailCreate(true);
  choice_.Confirm(1, false);
  EXPECT_TRUE(boxes_.shown.empty());
  EXPECT_EQ(reinitialised_, 1);
  EXPECT_EQ(settings_.modem_port, "COM1");
}

}  // namespace
}  // namespace sonavi
