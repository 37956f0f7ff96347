#include "calllog/call_list.h"

#include <gtest/gtest.h>

#include "platform/files.h"

#include "fakes/fake_clock.h"
#include "fakes/fake_locale.h"
#include "fakes/fake_message_boxes.h"
#include "fakes/memory_file_system.h"

namespace sonavi {
namespace {

constexpr const wchar_t kPath[] = L"C:\\Sonavi\\listcham.dat";

class CallListTest : public ::testing::Test {
 protected:
  CallListTest() { clock_.SetNow({2005, 1, 5, 20, 54, 0}); }

  // The list as the program has it after start-up with the given file contents.
  CallList& Start(const std::string* contents = nullptr) {
    if (contents) files_.Set(kPath, *contents);
    const Status status = list_.LoadCallList();
    EXPECT_TRUE(status.ok()) << status.message();
    return list_;
  }
  CallList& StartWith(const std::string& contents) { return Start(&contents); }

  FakeClock clock_;
  FakeLocale locale_;
  MemoryFileSystem files_;
  FakeMessageBoxes boxes_;
  CallList list_{files_, clock_, locale_, kPath};
};

using Rows = std::vector<CallRecord>;

TEST(DataFilePath, IsBesideTheExecutable) {
  EXPECT_EQ(DataFilePath(L"C:\\Programas\\Sonavi\\sonavi.exe", L"listcham.dat"),
            L"C:\\Programas\\Sonavi\\listcham.dat");
  EXPECT_EQ(DataFilePath(L"C:\\sonavi.exe", L"listcham.dat"), L"C:\\listcham.dat");
}

TEST(CallFormat, DateUsesDashesAndTimeTheRegionalSeparator) {
  const LocalTime when{2005, 1, 5, 7, 4, 9};
  EXPECT_EQ(FormatCallDate(when), "05-01-2005");
  EXPECT_EQ(FormatCallTime(when, ":"), "07:04:09");
  EXPECT_EQ(FormatCallTime(when, "."), "07.04.09");
  EXPECT_EQ(FormatCallDate({999, 12, 31, 23, 59, 59}), "31-12-0999");
  EXPECT_EQ(FormatCallTime({2024, 12, 31, 23, 59, 59}, "h"), "23h59h59");
}

TEST_F(CallListTest, NoFileIsOneEmptyRowAndTheFirstCallFillsIt) {
  Start();
  EXPECT_EQ(list_.rows(), Rows{CallRecord{}});
  EXPECT_FALSE(files_.Exists(kPath));

  ASSERT_TRUE(list_.AddCall("219876543", "Ana").ok());
  EXPECT_EQ(list_.rows(), (Rows{{"05-01-2005", "20:54:00", "219876543", "Ana"}}));
  EXPECT_EQ(list_.selected(), 0u);
  EXPECT_EQ(files_.Get(kPath), "05-01-2005;20:54:00;219876543;Ana\r\n");
}

TEST_F(CallListTest, CallsAreAppendedInOrderAndTheNewestIsSelected) {
  Start();
  ASSERT_TRUE(list_.AddCall("219876543", "Ana").ok());
  clock_.SetNow({2005, 1, 6, 9, 5, 7});
  locale_.time_separator = ".";
  ASSERT_TRUE(list_.AddCall("Confidencial", "").ok());
  EXPECT_EQ(files_.Get(kPath),
            "05-01-2005;20:54:00;219876543;Ana\r\n"
            "06-01-2005;09.05.07;Confidencial;\r\n");
  ASSERT_EQ(list_.rows().size(), 2u);
  EXPECT_EQ(list_.rows()[1], (CallRecord{"06-01-2005", "09.05.07", "Confidencial", ""}));
  EXPECT_EQ(list_.selected(), 1u);

  // The next start reads back the same rows.
  CallList again(files_, clock_, locale_, kPath);
  ASSERT_TRUE(again.LoadCallList().ok());
  EXPECT_EQ(again.rows(), list_.rows());
}

TEST_F(CallListTest, SemicolonInANameIsWrittenUnchangedAndCutWhenReadBack) {
  Start();
  ASSERT_TRUE(list_.AddCall("219876543", "Ana;Rui").ok());
  EXPECT_EQ(files_.Get(kPath), "05-01-2005;20:54:00;219876543;Ana;Rui\r\n");
  EXPECT_EQ(list_.rows()[0].name, "Ana;Rui");
  ASSERT_TRUE(list_.LoadCallList().ok());
  EXPECT_EQ(list_.rows()[0].name, "Ana");
}

TEST_F(CallListTest, ReadingFollowsTheFreeLastRowRule) {
  StartWith(
      "01-01-2005;10:00:00;111;A\r\n"
      ";10:01:00;222;B\n"  // empty date: the next line takes its row
      "03-01-2005;10:02:00;333;C\r\n"
      "\r\n"
      "04-01-2005;10:03:00;444\r\n"  // three fields
      "05-01-2005\r\n"
      ";;;;\r\n"
      "06-01-2005;10:05:00;666;F;extra");
  EXPECT_EQ(list_.rows(), (Rows{{"01-01-2005", "10:00:00", "111", "A"},
                                {"03-01-2005", "10:02:00", "333", "C"},
                                {"04-01-2005", "10:03:00", "444", ""},
                                {"05-01-2005", "", "", ""},
                                {"06-01-2005", "10:05:00", "666", "F"}}));
}

TEST_F(CallListTest, EmptyDateLineSurvivesOnlyAsTheLastLine) {
  StartWith("01-01-2005;10:00:00;111;A\r\n;10:01:00;222;B\r\n");
  EXPECT_EQ(list_.rows(),
            (Rows{{"01-01-2005", "10:00:00", "111", "A"}, {"", "10:01:00", "222", "B"}}));
  // A new call then takes that row too.
  ASSERT_TRUE(list_.AddCall("333", "").ok());
  ASSERT_EQ(list_.rows().size(), 2u);
  EXPECT_EQ(list_.rows()[1].number, "333");
  EXPECT_EQ(list_.selected(), 1u);
}

TEST_F(CallListTest, OnlyEmptyLinesGiveOneEmptyRow) {
  StartWith("\r\n\n\r\n");
  EXPECT_EQ(list_.rows(), Rows{CallRecord{}});
}

TEST_F(CallListTest, FailedAppendKeepsTheRowAndReportsTheError) {
  Start();
  files_.Fail(kPath);
  const Status status = list_.AddCall("219876543", "Ana");
  EXPECT_FALSE(status.ok());
  EXPECT_EQ(status.message(), MemoryFileSystem::kFailure);
  EXPECT_EQ(list_.rows()[0].number, "219876543");
  EXPECT_EQ(list_.selected(), 0u);
  EXPECT_FALSE(files_.Exists(kPath));

  files_.Fail(kPath, false);
  ASSERT_TRUE(list_.AddCall("5", "").ok());
  EXPECT_EQ(list_.rows().size(), 2u);
  EXPECT_EQ(files_.Get(kPath), "05-01-2005;20:54:00;5;\r\n");
}

TEST_F(CallListTest, ReadErrorIsReportedWithOneEmptyRow) {
  StartWith("01-01-2005;10:00:00;111;A\r\n");
  files_.Fail(kPath);
  const Status status = list_.LoadCallList();
  EXPECT_EQ(status.message(), MemoryFileSystem::kFailure);
  EXPECT_EQ(list_.rows(), Rows{CallRecord{}});
}

TEST_F(CallListTest, LimparAnsweredNoChangesNothing) {
  StartWith("01-01-2005;10:00:00;111;A\r\n");
  boxes_.answers.push_back(kIdNo);
  EXPECT_TRUE(list_.Clear(boxes_).ok());
  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_EQ(boxes_.shown[0].text, "Deseja eliminar todos os registos?");
  EXPECT_EQ(boxes_.shown[0].flags, 36u);
  EXPECT_EQ(list_.rows().size(), 1u);
  EXPECT_EQ(list_.rows()[0].number, "111");
  EXPECT_TRUE(files_.Exists(kPath));
}

TEST_F(CallListTest, LimparAnsweredYesDeletesTheFileAndStartsAgain) {
  StartWith("01-01-2005;10:00:00;111;A\r\n02-01-2005;10:00:00;222;B\r\n");
  // A call recorded while the question is open goes with the file.
  boxes_.on_show = [&](const std::string&) { ASSERT_TRUE(list_.AddCall("333", "").ok()); };
  boxes_.answers.push_back(kIdYes);
  EXPECT_TRUE(list_.Clear(boxes_).ok());
  EXPECT_FALSE(files_.Exists(kPath));
  EXPECT_EQ(list_.rows(), Rows{CallRecord{}});
  EXPECT_EQ(list_.selected(), 0u);

  boxes_.on_show = nullptr;
  ASSERT_TRUE(list_.AddCall("444", "").ok());
  EXPECT_EQ(list_.rows().size(), 1u);
  EXPECT_EQ(files_.Get(kPath), "05-01-2005;20:54:00;444;\r\n");

  // With no file at all, Yes still leaves one empty row.
  files_.Remove(kPath);
  boxes_.answers.push_back(kIdYes);
  EXPECT_TRUE(list_.Clear(boxes_).ok());
  EXPECT_EQ(list_.rows(), Rows{CallRecord{}});
}

TEST_F(CallListTest, ShowingSelectsTheNewestRow) {
  StartWith("01-01-2005;10:00:00;111;A\r\n02-01-2005;10:00:00;222;B\r\n");
  EXPECT_EQ(list_.selected(), 0u);
  list_.SelectNewest();
  EXPECT_EQ(list_.selected(), 1u);
}

}  // namespace
}  // namespace sonavi
