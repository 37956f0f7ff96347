#include "phone_book.h"

#include <algorithm>

#include "platform/text.h"

namespace sonavi {

PhoneBook::PhoneBook() : rows_(1) {}

void PhoneBook::Select(size_t index) { selected_ = std::min(index, rows_.size() - 1); }

void PhoneBook::Reset() {
  rows_.assign(1, PhoneBookRow{});
  selected_ = 0;
}

void PhoneBook::Append(const PhoneBookRow& row) {
  if (!rows_.back().name.empty()) rows_.emplace_back();
  rows_.back() = row;
}

void PhoneBook::SetRow(size_t index, const PhoneBookRow& row) {
  if (index < rows_.size()) rows_[index] = row;
}

void PhoneBook::SortRowsByColumn(Column column, Locale& locale) {
  if (rows_.size() < 2) return;
  auto field = [column](const PhoneBookRow& row) -> const std::string& {
    return column == kNameColumn ? row.name : row.phone;
  };
  std::stable_sort(rows_.begin(), rows_.end(), [&](const PhoneBookRow& a, const PhoneBookRow& b) {
    return locale.Compare(field(a), field(b)) < 0;
  });
}

void PhoneBook::DeleteCurrentRow() {
  if (rows_.size() == 1) {
    rows_[0] = PhoneBookRow{};
    return;
  }
  rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(selected_));
  selected_ = std::min(selected_, rows_.size() - 1);
}

std::string PhoneBook::LookupName(const std::string& number) const {
  for (const PhoneBookRow& row : rows_) {
    if (row.phone == number) return row.name;
  }
  return std::string();
}

bool PhoneBook::Search(const std::string& text, Locale& locale) {
  const std::string wanted = locale.Lower(text);
  if (wanted.empty()) return false;
  auto matches = [&](const PhoneBookRow& row) {
    return locale.Lower(row.name).find(wanted) != std::string::npos ||
           locale.Lower(row.phone).find(wanted) != std::string::npos;
  };
  for (size_t i = selected_ + 1; i < rows_.size(); ++i) {
    if (matches(rows_[i])) {
      selected_ = i;
      return true;
    }
  }
  for (size_t i = 0; i < rows_.size(); ++i) {
    if (matches(rows_[i])) {
      selected_ = i;
      return true;
    }
  }
  return false;
}

Status LoadPhoneBook(FileSystem& files, const FilePath& path, PhoneBook* book) {
  book->Reset();
  if (!files.Exists(path)) return Status::Ok();
  std::string bytes;
  Status status = files.ReadAll(path, &bytes);
  if (!status.ok()) return status;
  for (const std::string& line : SplitFileLines(bytes)) {
    if (line.empty()) continue;
    book->Append({ExtractField(line, ";", 1), ExtractField(line, ";", 2)});
  }
  return Status::Ok();
}

std::string FormatPhoneBook(const PhoneBook& book) {
  std::string bytes;
  for (const PhoneBookRow& row : book.rows()) {
    bytes += row.name;
    bytes += ';';
    bytes += row.phone;
    bytes += "\r\n";
  }
  return bytes;
}

Status SavePhoneBook(FileSystem& files, const FilePath& path, const PhoneBook& book) {
  return files.ReplaceAll(path, FormatPhoneBook(book));
}

}  // namespace sonavi
