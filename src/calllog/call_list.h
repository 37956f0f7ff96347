// The call log: the rows of the call list window and the file "listcham.dat" beside the
// executable, one line "dd-mm-yyyy;hh:mm:ss;number;name" per call, oldest first.
#pragma once

#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/files.h"
#include "platform/locale.h"
#include "platform/message_box.h"
#include "platform/status.h"

namespace sonavi {

inline constexpr const wchar_t kCallListFileName[] = L"listcham.dat";

struct CallRecord {
  std::string date;    // "dd-mm-yyyy"
  std::string time;    // "hh:mm:ss" with the regional time separator
  std::string number;  // "Confidencial" for a withheld number
  std::string name;    // empty when the number is not in the phone book

  bool operator==(const CallRecord&) const = default;
};

// The local date as "dd-mm-yyyy" and the time as "hh:mm:ss", each ":" written as the
// regional time separator.
std::string FormatCallDate(const LocalTime& when);
std::string FormatCallTime(const LocalTime& when, const std::string& time_separator);

class CallList {
 public:
  CallList(FileSystem& files, Clock& clock, Locale& locale, FilePath path);

  // The data rows, oldest first; never fewer than one (an empty log is one empty row).
  const std::vector<CallRecord>& rows() const { return rows_; }
  // The current row, an index into rows().
  size_t selected() const { return selected_; }
  void SelectNewest() { selected_ = rows_.size() - 1; }

  // Records a call stamped with the current local time: first in the rows (the newest
  // becomes the current row), then as a line appended to the file. A failing file
  // leaves the row in place and returns the system's error text.
  Status AddCall(const std::string& number, const std::string& name);

  // Refills the rows from the file. A missing file is an empty log; a read error
  // returns the error text, keeping the rows read so far.
  Status LoadCallList();

  // "Limpar": asks the user, and on Yes deletes the file and reloads (one empty row).
  Status Clear(MessageBoxes& boxes);

 private:
  // A record goes into the last row when its date cell is empty, else into a new row.
  size_t FreeLastRow();

  FileSystem& files_;
  Clock& clock_;
  Locale& locale_;
  FilePath path_;
  std::vector<CallRecord> rows_;
  size_t selected_ = 0;
};

}  // namespace sonavi
