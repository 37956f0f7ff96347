#include "phonebook/phone_book.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fakes/fake_locale.h"
#include "fakes/memory_file_system.h"

namespace sonavi {
namespace {

const FilePath kPath = L"C:\\Sonavi\\agenda.dat";

std::vector<PhoneBookRow> Rows(std::initializer_list<PhoneBookRow> rows) { return rows; }

class PhoneBookFile : public ::testing::Test {
 protected:
  PhoneBook LoadFrom(const std::string& bytes) {
    files.Set(kPath, bytes);
    PhoneBook book;
    EXPECT_TRUE(LoadPhoneBook(files, kPath, &book).ok());
    return book;
  }

  MemoryFileSystem files;
};

TEST_F(PhoneBookFile, MissingFileIsTheBlankRow) {
  PhoneBook book;
  book.Append({"Ana", "21"});
  ASSERT_TRUE(LoadPhoneBook(files, kPath, &book).ok());
  EXPECT_EQ(book.rows(), Rows({{"", ""}}));
  EXPECT_TRUE(book.empty());
  EXPECT_EQ(book.LookupName(""), "");
  EXPECT_EQ(book.LookupName("219876543"), "");
}

TEST_F(PhoneBookFile, EmptyLinesAreSkippedAndMissingTelephoneIsEmpty) {
  const PhoneBook book = LoadFrom("Ana;219876543\r\n\r\nBruno\r\n");
  EXPECT_EQ(book.rows(), Rows({{"Ana", "219876543"}, {"Bruno", ""}}));
  EXPECT_EQ(book.selected(), 0u);
}

TEST_F(PhoneBookFile, RowWithoutNameIsOverwrittenByTheNextLine) {
  EXPECT_EQ(LoadFrom(";21\r\nBruno;22\r\n").rows(), Rows({{"Bruno", "22"}}));
  // As the last line it survives.
  EXPECT_EQ(LoadFrom("Ana;1\r\n;21\r\n").rows(), Rows({{"Ana", "1"}, {"", "21"}}));
  // Blanks are a name: they are kept, not trimmed.
  EXPECT_EQ(LoadFrom(" ;1\r\nBruno;2\r\n").rows(), Rows({{" ", "1"}, {"Bruno", "2"}}));
  EXPECT_EQ(LoadFrom(";\r\n").rows(), Rows({{"", ""}}));
}

TEST_F(PhoneBookFile, FieldsAfterTheSecondAreIgnored) {
  EXPECT_EQ(LoadFrom("Ana;21;x\r\n").rows(), Rows({{"Ana", "21"}}));
}

TEST_F(PhoneBookFile, LongLinesAreReadWhole) {
  const std::string name(200, 'n');
  const std::string phone(99, '9');
  EXPECT_EQ(LoadFrom(name + ";" + phone + "\r\n").rows(), Rows({{name, phone}}));
}

TEST_F(PhoneBookFile, LineEndsAndEndOfFileByte) {
  const auto expected = Rows({{"Ana", "1"}, {"Bruno", "2"}});
  EXPECT_EQ(LoadFrom("Ana;1\nBruno;2\n").rows(), expected);
  EXPECT_EQ(LoadFrom("Ana;1\r\nBruno;2").rows(), expected);
  // A lone CR is dropped and does not end the line.
  EXPECT_EQ(LoadFrom("An\ra;1\r\nBruno;2\r\n").rows(), expected);
  EXPECT_EQ(LoadFrom("Ana;1\r\nBruno;2\r\n\x1A"
                     "Carla;3\r\n")
                .rows(),
            expected);
}

TEST_F(PhoneBookFile, ReadErrorIsReportedAndLeavesTheBlankRow) {
  files.Set(kPath, "Ana;1\r\n");
  files.Fail(kPath);
  PhoneBook book;
  const Status status = LoadPhoneBook(files, kPath, &book);
  EXPECT_FALSE(status.ok());
  EXPECT_EQ(status.message(), MemoryFileSystem::kFailure);
  EXPECT_TRUE(book.empty());
}

TEST_F(PhoneBookFile, SaveWritesEveryRowWithCrLf) {
  PhoneBook book;
  ASSERT_TRUE(SavePhoneBook(files, kPath, book).ok());
  EXPECT_EQ(files.Get(kPath), ";\r\n");
  book.Append({"Ana", "219876543"});
  book.Append({"Bruno", "21"});
  ASSERT_TRUE(SavePhoneBook(files, kPath, book).ok());
  EXPECT_EQ(files.Get(kPath), "Ana;219876543\r\nBruno;21\r\n");
  // What is saved loads back the same.
  EXPECT_EQ(LoadFrom(files.Get(kPath)).rows(), book.rows());
}

TEST_F(PhoneBookFile, FailedSaveKeepsTheOldFile) {
  files.Set(kPath, "Ana;1\r\n");
  files.Fail(kPath);
  PhoneBook book;
  book.Append({"Bruno", "2"});
  const Status status = SavePhoneBook(files, kPath, book);
  EXPECT_FALSE(status.ok());
  EXPECT_EQ(status.message(), MemoryFileSystem::kFailure);
  EXPECT_EQ(files.Get(kPath), "Ana;1\r\n");
}

TEST(PhoneBookTable, AppendFillsTheLastRowOnlyWhenItsNameIsEmpty) {
  PhoneBook book;
  book.Append({"Ana", "1"});
  EXPECT_EQ(book.rows(), Rows({{"Ana", "1"}}));
  book.Append({"Bruno", "2"});
  EXPECT_EQ(book.size(), 2u);
  book.SetRow(1, {"", "9"});  // a telephone alone does not keep the row
  book.Append({"Carla", "3"});
  EXPECT_EQ(book.rows(), Rows({{"Ana", "1"}, {"Carla", "3"}}));
}

TEST(PhoneBookTable, LookupIsExactAndFirstRowWins) {
  PhoneBook book;
  book.Append({"Ana", "219876543"});
  book.Append({"Ana2", "21 987 65 43"});
  book.Append({"Bruno", "+351219876543"});
  book.Append({"Carla", "219876543"});
  book.Append({"Privado", "Confidencial"});
  EXPECT_EQ(book.LookupName("219876543"), "Ana");
  EXPECT_EQ(book.LookupName("21987654"), "");
  EXPECT_EQ(book.LookupName("2198765430"), "");
  EXPECT_EQ(book.LookupName("Confidencial"), "Privado");
  EXPECT_EQ(book.LookupName("confidencial"), "");
  EXPECT_EQ(book.LookupName(" Confidencial"), "");
}

TEST(PhoneBookTable, SortIsLinguisticAndStable) {
  FakeLocale locale;
  PhoneBook book;
  book.Append({"Zé", "1"});
  book.Append({"Ana", "2"});
  book.Append({"ana", "3"});
  book.Append({"Ana", "4"});
  book.Append({"Bruno", "5"});
  book.Append({"Ana", "6"});
  book.Select(4);
  book.SortRowsByColumn(PhoneBook::kNameColumn, locale);
  EXPECT_EQ(
      book.rows(),
      Rows({{"ana", "3"}, {"Ana", "2"}, {"Ana", "4"}, {"Ana", "6"}, {"Bruno", "5"}, {"Zé", "1"}}));
  EXPECT_EQ(book.selected(), 4u);  // the row number stays, whatever it now shows
}

TEST(PhoneBookTable, EmptyNameSortsFirstAndPhoneColumnSorts) {
  FakeLocale locale;
  PhoneBook book;
  book.Append({"Bruno", "3"});
  book.Append({"Ana", "1"});
  book.SetRow(1, {"", "2"});
  book.SortRowsByColumn(PhoneBook::kNameColumn, locale);
  EXPECT_EQ(book.rows(), Rows({{"", "2"}, {"Bruno", "3"}}));
  book.SetRow(0, {"Ana", "4"});
  book.SortRowsByColumn(PhoneBook::kPhoneColumn, locale);
  EXPECT_EQ(book.rows(), Rows({{"Bruno", "3"}, {"Ana", "4"}}));
}

TEST(PhoneBookTable, DeleteKeepsTheRowNumberOrTakesTheNewLast) {
  PhoneBook book;
  for (const char* name : {"A", "B", "C"}) book.Append({name, "1"});
  book.Select(1);
  book.DeleteCurrentRow();
  EXPECT_EQ(book.rows(), Rows({{"A", "1"}, {"C", "1"}}));
  EXPECT_EQ(book.selected(), 1u);
  book.DeleteCurrentRow();
  EXPECT_EQ(book.rows(), Rows({{"A", "1"}}));
  EXPECT_EQ(book.selected(), 0u);
  book.DeleteCurrentRow();
  EXPECT_TRUE(book.empty());
  book.DeleteCurrentRow();
  EXPECT_TRUE(book.empty());
}

TEST(PhoneBookTable, SelectClampsToTheLastRow) {
  PhoneBook book;
  book.Append({"A", "1"});
  book.Append({"B", "2"});
  book.Select(7);
  EXPECT_EQ(book.selected(), 1u);
}

TEST(PhoneBookSearch, StepsThroughMatchesAndWrapsAround) {
  FakeLocale locale;
  PhoneBook book;
  book.Append({"Ana", "219876543"});
  book.Append({"Bruno", "300"});
  book.Append({"Carla", "912100000"});
  book.Append({"Dora", "400"});
  ASSERT_TRUE(book.Search("21", locale));
  EXPECT_EQ(book.selected(), 2u);
  ASSERT_TRUE(book.Search("21", locale));
  EXPECT_EQ(book.selected(), 0u);
  ASSERT_TRUE(book.Search("21", locale));
  EXPECT_EQ(book.selected(), 2u);
  // The selected row itself is found again when it is the only match.
  ASSERT_TRUE(book.Search("dora", locale));
  ASSERT_TRUE(book.Search("dora", locale));
  EXPECT_EQ(book.selected(), 3u);
}

TEST(PhoneBookSearch, IgnoresCaseByTheLocale) {
  FakeLocale locale;
  PhoneBook book;
  book.Append({"Bruno", "1"});
  book.Append({"Ana", "2"});
  book.Append({"Mariana", "3"});
  book.Append({"ÁLVARO", "4"});
  ASSERT_TRUE(book.Search("ANA", locale));
  EXPECT_EQ(book.selected(), 1u);
  ASSERT_TRUE(book.Search("ANA", locale));
  EXPECT_EQ(book.selected(), 2u);
  ASSERT_TRUE(book.Search("álv", locale));
  EXPECT_EQ(book.selected(), 3u);
}

TEST(PhoneBookSearch, NoMatchOrEmptyTextLeavesTheSelection) {
  FakeLocale locale;
  PhoneBook book;
  book.Append({"Ana", "1"});
  book.Append({"Bruno", "2"});
  book.Select(1);
  EXPECT_FALSE(book.Search("", locale));
  EXPECT_FALSE(book.Search("xyz", locale));
  EXPECT_EQ(book.selected(), 1u);
  PhoneBook blank;
  EXPECT_FALSE(blank.Search("", locale));
}

}  // namespace
}  // namespace sonavi
