#include "phonebook/phone_book_actions.h"

#include <gtest/gtest.h>

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "fakes/fake_locale.h"
#include "fakes/fake_message_boxes.h"
#include "fakes/memory_file_system.h"

namespace sonavi {
namespace {

const FilePath kPath = L"C:\\Sonavi\\agenda.dat";

// Answers each showing with the next scripted entry, or Cancel when it holds none.
class ScriptedEntryDialog : public EntryDialog {
 public:
  bool Run(std::string* name, std::string* phone) override {
    shown_with.push_back({*name, *phone});
    if (answers.empty()) return false;
    const std::optional<PhoneBookRow> answer = answers.front();
    answers.pop_front();
    if (!answer) return false;
    *name = answer->name;
    *phone = answer->phone;
    return true;
  }

  std::deque<std::optional<PhoneBookRow>> answers;
  std::vector<PhoneBookRow> shown_with;
};

class PhoneBookActionsTest : public ::testing::Test {
 protected:
  MemoryFileSystem files;
  FakeLocale locale;
  FakeMessageBoxes boxes;
  ScriptedEntryDialog dialog;
  PhoneBookActions actions{files, kPath, locale, boxes};
};

TEST_F(PhoneBookActionsTest, AddToEmptyBookFillsTheBlankRowAndCreatesTheFile) {
  actions.Load();
  dialog.answers.push_back(PhoneBookRow{"Zé", "1"});
  ASSERT_TRUE(actions.Add(dialog));
  EXPECT_EQ(dialog.shown_with.back(), (PhoneBookRow{"", ""}));
  EXPECT_EQ(files.Get(kPath), "Zé;1\r\n");
  dialog.answers.push_back(PhoneBookRow{"ana", "2"});
  ASSERT_TRUE(actions.Add(dialog));
  EXPECT_EQ(files.Get(kPath), "ana;2\r\nZé;1\r\n");
  EXPECT_EQ(actions.book().selected(), 0u);
  EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(PhoneBookActionsTest, CancelLeavesTableAndFileAlone) {
  files.Set(kPath, "Ana;1\n");
  actions.Load();
  dialog.answers.push_back(std::nullopt);
  EXPECT_FALSE(actions.Add(dialog));
  EXPECT_FALSE(actions.Edit(dialog));  // no answer scripted: Cancel
  EXPECT_EQ(files.Get(kPath), "Ana;1\n");
  EXPECT_EQ(actions.book().size(), 1u);
}

TEST_F(PhoneBookActionsTest, EditChangesTheSelectedRowAndResorts) {
  files.Set(kPath, "Ana;1\r\nBruno;2\r\nCarla;3\r\n");
  actions.Load();
  actions.book().Select(0);
  dialog.answers.push_back(PhoneBookRow{"Daniel", "4"});
  ASSERT_TRUE(actions.Edit(dialog));
  EXPECT_EQ(dialog.shown_with.back(), (PhoneBookRow{"Ana", "1"}));
  EXPECT_EQ(files.Get(kPath), "Bruno;2\r\nCarla;3\r\nDaniel;4\r\n");
  EXPECT_EQ(actions.LookupName("4"), "Daniel");
  EXPECT_EQ(actions.LookupName("1"), "");
}

TEST_F(PhoneBookActionsTest, EditingTheBlankRowAddsTheFirstEntry) {
  actions.Load();
  dialog.answers.push_back(PhoneBookRow{"Ana", "1"});
  ASSERT_TRUE(actions.Edit(dialog));
  EXPECT_EQ(files.Get(kPath), "Ana;1\r\n");
}

TEST_F(PhoneBookActionsTest, RemoveAsksAndOnlyYesRemoves) {
  files.Set(kPath, "Ana;1\r\nBruno;2\r\n");
  actions.Load();
  boxes.answers.push_back(kIdNo);
  EXPECT_FALSE(actions.Remove());
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].text, "Deseja eliminar este registo?");
  EXPECT_EQ(boxes.shown[0].flags, kMbYesNo | kMbIconQuestion);
  EXPECT_EQ(actions.book().size(), 2u);

  boxes.answers.push_back(kIdYes);
  ASSERT_TRUE(actions.Remove());
  EXPECT_EQ(files.Get(kPath), "Bruno;2\r\n");
  boxes.answers.push_back(kIdYes);
  ASSERT_TRUE(actions.Remove());
  EXPECT_EQ(files.Get(kPath), ";\r\n");
  EXPECT_TRUE(actions.book().empty());
}

TEST_F(PhoneBookActionsTest, FailedSaveIsShownAndTheChangeStaysInTheTable) {
  files.Set(kPath, "Ana;1\r\n");
  actions.Load();
  files.Fail(kPath);
  dialog.answers.push_back(PhoneBookRow{"Bruno", "2"});
  ASSERT_TRUE(actions.Add(dialog));
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].text, MemoryFileSystem::kFailure);
  EXPECT_EQ(boxes.shown[0].flags, kMbOk | kMbIconError);
  EXPECT_EQ(actions.LookupName("2"), "Bruno");
  files.Fail(kPath, false);
  EXPECT_EQ(files.Get(kPath), "Ana;1\r\n");
}

TEST_F(PhoneBookActionsTest, FailedLoadIsReturnedNotShown) {
  files.Set(kPath, "Ana;1\r\n");
  files.Fail(kPath);
  EXPECT_EQ(actions.Load().message(), MemoryFileSystem::kFailure);
  EXPECT_TRUE(boxes.shown.empty());
  EXPECT_TRUE(actions.book().empty());
}

TEST(AcceptEntry, TrimsAndRefusesEmptyOrSemicolon) {
  std::string name, phone;
  EXPECT_TRUE(AcceptEntry("  Ana Silva\t", " 21 987 ", &name, &phone));
  EXPECT_EQ(name, "Ana Silva");
  EXPECT_EQ(phone, "21 987");
  EXPECT_TRUE(AcceptEntry("Ana", "abc-()", &name, &phone));  // no check of the telephone

  EXPECT_FALSE(AcceptEntry("   ", "21", &name, &phone));
  EXPECT_FALSE(AcceptEntry("Ana", "", &name, &phone));
  EXPECT_FALSE(AcceptEntry("Ana", "\r\n", &name, &phone));
  EXPECT_FALSE(AcceptEntry("An;a", "21", &name, &phone));
  EXPECT_FALSE(AcceptEntry("Ana", "21;", &name, &phone));
  EXPECT_FALSE(AcceptEntry(";", ";", &name, &phone));
}

}  // namespace
}  // namespace sonavi
