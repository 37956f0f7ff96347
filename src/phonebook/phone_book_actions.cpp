#include "phone_book_actions.h"

#include <utility>

#include "platform/text.h"

namespace sonavi {

bool AcceptEntry(const std::string& name_text, const std::string& phone_text, std::string* name,
                 std::string* phone) {
  *name = Trim(name_text);
  *phone = Trim(phone_text);
  if (name->empty() || phone->empty()) return false;
  return name->find(';') == std::string::npos && phone->find(';') == std::string::npos;
}

PhoneBookActions::PhoneBookActions(FileSystem& files, FilePath path, Locale& locale,
                                   MessageBoxes& boxes)
    : files_(files), path_(std::move(path)), locale_(locale), boxes_(boxes) {}

Status PhoneBookActions::Load() { return LoadPhoneBook(files_, path_, &book_); }

bool PhoneBookActions::Add(EntryDialog& dialog) {
  PhoneBookRow entry;
  if (!dialog.Run(&entry.name, &entry.phone)) return false;
  book_.Append(entry);
  SortAndSave();
  return true;
}

bool PhoneBookActions::Edit(EntryDialog& dialog) {
  PhoneBookRow entry = book_.selected_row();
  if (!dialog.Run(&entry.name, &entry.phone)) return false;
  book_.SetSelectedRow(entry);
  SortAndSave();
  return true;
}

bool PhoneBookActions::Remove() {
  if (boxes_.Show(kConfirmRemoveText, kMbYesNo | kMbIconQuestion) != kIdYes) return false;
  book_.DeleteCurrentRow();
  const Status status = SavePhoneBook(files_, path_, book_);
  if (!status.ok()) boxes_.ShowError(status.message());
  return true;
}

void PhoneBookActions::SortAndSave() {
  book_.SortRowsByColumn(PhoneBook::kNameColumn, locale_);
  const Status status = SavePhoneBook(files_, path_, book_);
  if (!status.ok()) boxes_.ShowError(status.message());
}

}  // namespace sonavi
