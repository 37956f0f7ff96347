#include "platform/text.h"

#include <gtest/gtest.h>

namespace sonavi {
namespace {

TEST(Trim, RemovesBlanksAndControlCharactersAtBothEnds) {
  EXPECT_EQ(Trim("  \t219876543\r\n "), "219876543");
  EXPECT_EQ(Trim(std::string("\0\x1F" "a b\x20", 6)), "a b");
  EXPECT_EQ(Trim("     "), "");
  EXPECT_EQ(Trim(""), "");
  EXPECT_EQ(Trim("\xE9"), "\xE9");  // accented letters are above 32 and stay
}

TEST(CutLine, EndsAtCrAndDropsOneFollowingLf) {
  std::string text = "RING\r\n\r\nOK\r";
  std::string line;
  ASSERT_TRUE(CutLine(text, &line));
  EXPECT_EQ(line, "RING");
  ASSERT_TRUE(CutLine(text, &line));
  EXPECT_EQ(line, "");
  ASSERT_TRUE(CutLine(text, &line));
  EXPECT_EQ(line, "OK");
  EXPECT_EQ(text, "");
  EXPECT_FALSE(CutLine(text, &line));
}

TEST(CutLine, LfNotAfterCrStaysInTheLine) {
  std::string text = "\nRING\r\n\n";
  std::string line;
  ASSERT_TRUE(CutLine(text, &line));
  EXPECT_EQ(line, "\nRING");
  EXPECT_EQ(text, "\n");
  EXPECT_FALSE(CutLine(text, &line));
  EXPECT_EQ(text, "\n");
}

}  // namespace
}  // namespace sonavi
