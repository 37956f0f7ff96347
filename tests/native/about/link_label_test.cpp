#include "about/link_label.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace sonavi {
namespace {

class LinkLabelTest : public ::testing::Test {
 protected:
  LinkLabelTest() : label_([this](const std::string& link) { opened_.push_back(link); }) {
    label_.SetLink("mailto:sonavi@borvane.pt");
    label_.SetEnterFontColor(clRed);
    label_.SetLeaveFontColor(clBlue);
    label_.SetVisitedColor(clNavy);
    label_.SetFontColor(clBlue);
  }
  std::vector<std::string> opened_;
  LinkLabelState label_;
};

TEST_F(LinkLabelTest, HoverRecoloursTheText) {
  label_.MouseEnter();
  EXPECT_EQ(label_.FontColor(), clRed);
  label_.MouseLeave();
  EXPECT_EQ(label_.FontColor(), clBlue);
  EXPECT_TRUE(opened_.empty());
}

TEST_F(LinkLabelTest, AClickedLinkKeepsTheHoverColourUntilThePointerLeaves) {
  label_.MouseEnter();
  label_.Click();
  ASSERT_EQ(opened_, std::vector<std::string>{"mailto:sonavi@borvane.pt"});
  EXPECT_EQ(label_.FontColor(), clRed);
  EXPECT_EQ(label_.LeaveFontColor(), clNavy);
  label_.MouseLeave();
  EXPECT_EQ(label_.FontColor(), clNavy);
  // Visited for good: hovering again still turns it red, leaving gives the visited colour.
  label_.MouseEnter();
  EXPECT_EQ(label_.FontColor(), clRed);
  label_.MouseLeave();
  EXPECT_EQ(label_.FontColor(), clNavy);
}

TEST_F(LinkLabelTest, EveryClickOpensTheCurrentLink) {
  label_.Click();
  label_.SetLink("http://www.borvane.pt");
  label_.Click();
  EXPECT_EQ(opened_,
            (std::vector<std::string>{"mailto:sonavi@borvane.pt", "http://www.borvane.pt"}));
}

TEST(LinkLabel, MadeInCodeStartsWithNoColoursAndNoLink) {
  int opened = 0;
  LinkLabelState label([&](const std::string&) { ++opened; });
  EXPECT_EQ(label.Link(), "");
  EXPECT_EQ(label.EnterFontColor(), 0u);
  EXPECT_EQ(label.LeaveFontColor(), 0u);
  EXPECT_EQ(label.VisitedColor(), 0u);
  label.Click();
  EXPECT_EQ(opened, 1);
}

TEST(LinkLabel, WithoutAnOpenerAClickStillMarksTheLinkVisited) {
  LinkLabelState label(nullptr);
  label.SetLeaveFontColor(clBlue);
  label.SetVisitedColor(clNavy);
  label.Click();
  label.MouseLeave();
  EXPECT_EQ(label.FontColor(), clNavy);
}

}  // namespace
}  // namespace sonavi
