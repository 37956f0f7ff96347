#include "platform/text.h"

#include <gtest/gtest.h>

namespace sonavi {
namespace {

TEST(Trim, RemovesBlanksAndControlCharactersAtBothEnds) {
  EXPECT_EQ(Trim("  \t219876543\r\n "), "219876543");
  EXPECT_EQ(Trim(std::string("\0\x1F"
                             "a b\x20",
                             6)),
            "a b");
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

namespace sonavi {
namespace {

TEST(ExtractField, CountsFieldsFromOne) {
  EXPECT_EQ(ExtractField("Ana;219876543", ";", 1), "Ana");
  EXPECT_EQ(ExtractField("Ana;219876543", ";", 2), "219876543");
  EXPECT_EQ(ExtractField("Ana", ";", 1), "Ana");
  EXPECT_EQ(ExtractField("Ana", ";", 2), "");
  EXPECT_EQ(ExtractField("Ana;21;x", ";", 3), "x");
  EXPECT_EQ(ExtractField("Ana;21;x", ";", 4), "");
  EXPECT_EQ(ExtractField(";21", ";", 1), "");
  EXPECT_EQ(ExtractField(";21", ";", 2), "21");
  EXPECT_EQ(ExtractField("Ana;", ";", 2), "");
  EXPECT_EQ(ExtractField("Ana;21", ";", 0), "");
  EXPECT_EQ(ExtractField("Ana;21", ";", -3), "");
}

TEST(SplitFileLines, AcceptsLfAndCrLfAndDropsLoneCr) {
  const std::vector<std::string> expected = {"Ana;219876543", "", "Bruno"};
  EXPECT_EQ(SplitFileLines("Ana;219876543\r\n\r\nBruno\r\n"), expected);
  EXPECT_EQ(SplitFileLines("Ana;219876543\n\nBruno"), expected);
  EXPECT_EQ(SplitFileLines("Ana;2198\r76543\n\nBru\rno\n"), expected);
}

TEST(SplitFileLines, SubstituteByteEndsTheFile) {
  const std::vector<std::string> expected = {"Ana;1", "Bru"};
  EXPECT_EQ(SplitFileLines("Ana;1\r\nBru\x1Ano;2\r\nZ;3\r\n"), expected);
  EXPECT_TRUE(SplitFileLines("\x1A"
                             "Ana;1")
                  .empty());
}

TEST(SplitFileLines, KeepsLongLinesWhole) {
  const std::string name(300, 'x');
  const auto lines = SplitFileLines(name + ";21\r\n");
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(ExtractField(lines[0], ";", 1), name);
}

}  // namespace
}  // namespace sonavi

namespace sonavi {
namespace {

TEST(ExtractField, LargeIndexIsEmptyWithoutWalkingThatFar) {
  EXPECT_EQ(ExtractField("Ana;21", ";", 2147483647), "");
  EXPECT_EQ(ExtractField(";;", ";", 3), "");
  EXPECT_EQ(ExtractField("a;;b", "", 1), "");
  EXPECT_EQ(ExtractField("a::b::c", "::", 3), "c");
}

}  // namespace
}  // namespace sonavi
