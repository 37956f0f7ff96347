// What the phone book window's buttons do to the table and its file, and the entry
// dialog's rule for accepting an entry.
#pragma once

#include <string>

#include "phonebook/phone_book.h"
#include "platform/files.h"
#include "platform/locale.h"
#include "platform/message_box.h"

namespace sonavi {

inline constexpr const char kConfirmRemoveText[] = "Deseja eliminar este registo?";

// The entry dialog, shown modally.
class EntryDialog {
 public:
  virtual ~EntryDialog() = default;
  // Shows the dialog with *name and *phone in its edit boxes. Returns true when the user
  // confirmed an accepted entry, which is then in *name and *phone; on false they are
  // left as they were.
  virtual bool Run(std::string* name, std::string* phone) = 0;
};

// The dialog's OK rule: both texts lose their leading and trailing blanks and control
// characters; the entry is refused when either is then empty or holds ";". *name and
// *phone receive the trimmed texts either way.
bool AcceptEntry(const std::string& name_text, const std::string& phone_text, std::string* name,
                 std::string* phone);

// The table, its file and the actions on them. Save errors are shown in the application's
// standard error box; the table keeps the change.
class PhoneBookActions {
 public:
  PhoneBookActions(FileSystem& files, FilePath path, Locale& locale, MessageBoxes& boxes);

  PhoneBook& book() { return book_; }
  const PhoneBook& book() const { return book_; }

  // Fills the table from the file; a read error is returned, not shown.
  Status Load();
  // Asks the dialog for a new entry, writes it at the end, sorts by name and saves.
  // Returns whether the table changed.
  bool Add(EntryDialog& dialog);
  // Asks the dialog for new values of the selected row, sorts by name and saves.
  bool Edit(EntryDialog& dialog);
  // Asks whether to remove the selected row; removes it and saves on Yes.
  bool Remove();
  // Selects the next row matching text; see PhoneBook::Search.
  bool Search(const std::string& text) { return book_.Search(text, locale_); }
  std::string LookupName(const std::string& number) const { return book_.LookupName(number); }

 private:
  void SortAndSave();

  FileSystem& files_;
  FilePath path_;
  Locale& locale_;
  MessageBoxes& boxes_;
  PhoneBook book_;
};

}  // namespace sonavi
