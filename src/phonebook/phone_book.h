// The phone book: an ordered table of name and telephone pairs, kept in "agenda.dat"
// beside the executable, with the selection the phone book window shows.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/locale.h"
#include "platform/status.h"

namespace sonavi {

inline constexpr const wchar_t kPhoneBookFileName[] = L"agenda.dat";

struct PhoneBookRow {
  std::string name;
  std::string phone;

  bool operator==(const PhoneBookRow&) const = default;
};

// Never fewer than one row: an empty phone book is a single row with both fields empty
// (the blank row). Rows are indexed from 0 here; the grid shows row i as its row i + 1.
class PhoneBook {
 public:
  enum Column { kNameColumn = 0, kPhoneColumn = 1 };

  PhoneBook();

  const std::vector<PhoneBookRow>& rows() const { return rows_; }
  size_t size() const { return rows_.size(); }
  const PhoneBookRow& row(size_t index) const { return rows_[index]; }
  // True when the table holds only the blank row.
  bool empty() const { return rows_.size() == 1 && rows_[0] == PhoneBookRow{}; }

  // The selected row; always a valid index.
  size_t selected() const { return selected_; }
  const PhoneBookRow& selected_row() const { return rows_[selected_]; }
  // Selects the row; an index past the end selects the last row.
  void Select(size_t index);

  // Back to the single blank row, selected.
  void Reset();
  // Writes an entry at the end: into the last row when its name is empty, otherwise into
  // a new row added after it. Only the name is tested. The selection does not move.
  void Append(const PhoneBookRow& row);
  void SetRow(size_t index, const PhoneBookRow& row);
  void SetSelectedRow(const PhoneBookRow& row) { SetRow(selected_, row); }

  // Stable ascending sort by the column under the locale's comparison; rows that compare
  // equal keep their order. The selected row number does not change.
  void SortRowsByColumn(Column column, Locale& locale);

  // Removes the selected row. The last remaining row is cleared instead of removed. The
  // selection keeps its row number, or moves to the new last row.
  void DeleteCurrentRow();

  // The name of the first row whose telephone equals number byte for byte; the empty
  // text when there is none.
  std::string LookupName(const std::string& number) const;

  // Selects the next row, after the selected one and then again from the first, whose
  // name or telephone contains text, ignoring case by the locale. Returns false, leaving
  // the selection alone, when no row matches; the empty text matches nothing.
  bool Search(const std::string& text, Locale& locale);

 private:
  std::vector<PhoneBookRow> rows_;
  size_t selected_ = 0;
};

// Replaces the table with the file's rows. A missing file is an empty phone book. Every
// line of non-zero length is an entry (name and telephone are its first two ";" fields),
// appended by the free-last-row rule. On a read error the table keeps the rows read so
// far and the error comes back.
Status LoadPhoneBook(FileSystem& files, const FilePath& path, PhoneBook* book);

// The file's bytes for the table: every row, the blank one included, as name;telephone
// followed by CR LF.
std::string FormatPhoneBook(const PhoneBook& book);

// Rewrites the file whole. The new contents replace the old file only once completely
// written, so a failed save leaves the previous file as it was.
Status SavePhoneBook(FileSystem& files, const FilePath& path, const PhoneBook& book);

}  // namespace sonavi
