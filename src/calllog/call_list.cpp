#include "calllog/call_list.h"

#include <cstdio>
#include <utility>

#include "platform/text.h"

namespace sonavi {

namespace {

constexpr const char kClearQuestion[] = "Deseja eliminar todos os registos?";

std::string TwoDigits(int value) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%02d", value);
  return buffer;
}

}  // namespace

std::string FormatCallDate(const LocalTime& when) {
  char year[16];
  std::snprintf(year, sizeof year, "%04d", when.year);
  return TwoDigits(when.day) + "-" + TwoDigits(when.month) + "-" + year;
}

std::string FormatCallTime(const LocalTime& when, const std::string& time_separator) {
  return TwoDigits(when.hour) + time_separator + TwoDigits(when.minute) + time_separator +
         TwoDigits(when.second);
}

CallList::CallList(FileSystem& files, Clock& clock, Locale& locale, FilePath path)
    : files_(files), clock_(clock), locale_(locale), path_(std::move(path)), rows_(1) {}

size_t CallList::FreeLastRow() {
  if (!rows_.back().date.empty()) rows_.emplace_back();
  return rows_.size() - 1;
}

Status CallList::AddCall(const std::string& number, const std::string& name) {
  const LocalTime now = clock_.Now();
  CallRecord record{FormatCallDate(now), FormatCallTime(now, locale_.TimeSeparator()), number,
                    name};
  const std::string line =
      record.date + ";" + record.time + ";" + record.number + ";" + record.name + "\r\n";
  const size_t row = FreeLastRow();
  rows_[row] = std::move(record);
  selected_ = row;
  return files_.Append(path_, line);
}

Status CallList::LoadCallList() {
  rows_.assign(1, CallRecord{});
  selected_ = 0;
  if (!files_.Exists(path_)) return Status::Ok();
  std::string contents;
  Status status = files_.ReadAll(path_, &contents);
  if (!status.ok()) return status;
  for (const std::string& line : SplitFileLines(contents)) {
    if (line.empty()) continue;
    const size_t row = FreeLastRow();
    rows_[row] = CallRecord{ExtractField(line, ";", 1), ExtractField(line, ";", 2),
                            ExtractField(line, ";", 3), ExtractField(line, ";", 4)};
  }
  return Status::Ok();
}

Status CallList::Clear(MessageBoxes& boxes) {
  if (boxes.Show(kClearQuestion, kMbYesNo | kMbIconQuestion) != kIdYes) return Status::Ok();
  files_.Remove(path_);
  return LoadCallList();
}

}  // namespace sonavi
