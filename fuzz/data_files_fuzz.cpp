// The data files on arbitrary bytes: line cutting, field extraction, and loading the
// phone book and the call list. Loading what was loaded, written back in the file's own
// format, gives the same table again.
//
// Input: a byte with the field index (signed), a byte with the separator's length (low
// two bits), the separator, then the file's bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "calllog/call_list.h"
#include "fakes/fake_clock.h"
#include "fakes/memory_file_system.h"
#include "fuzz_support.h"
#include "phonebook/phone_book.h"
#include "platform/text.h"

namespace sonavi::fuzz {
namespace {

class PlainLocale : public Locale {
 public:
  int Compare(const std::string& a, const std::string& b) override { return a.compare(b); }
  std::string Lower(const std::string& text) override { return text; }
  std::string TimeSeparator() override { return ":"; }
  char DecimalSeparator() override { return ','; }
};

void CheckLines(std::string_view bytes, const std::vector<std::string>& lines) {
  const std::string_view data = bytes.substr(0, bytes.find('\x1A'));
  size_t expected = 0;
  size_t last = 0;
  for (size_t i = 0; i < data.size(); ++i) {
    if (data[i] == '\n') {
      ++expected;
      last = i + 1;
    }
  }
  if (data.substr(last).find_first_not_of('\r') != std::string_view::npos) ++expected;
  FUZZ_CHECK(lines.size() == expected);
  std::string joined;
  for (const std::string& line : lines) {
    FUZZ_CHECK(line.find_first_of("\r\n\x1A") == std::string::npos);
    joined += line;
  }
  // Nothing but the line ends is dropped.
  std::string kept;
  for (char c : data) {
    if (c != '\r' && c != '\n') kept.push_back(c);
  }
  FUZZ_CHECK(joined == kept);
}

void CheckFields(const std::string& line, const std::string& separator, int index) {
  FUZZ_CHECK(ExtractField(line, separator, 0).empty());
  FUZZ_CHECK(ExtractField(line, separator, -1).empty());
  if (separator.empty()) {
    FUZZ_CHECK(ExtractField(line, separator, 1).empty());
    return;
  }
  // The fields joined with the separator give the line back.
  std::string joined;
  int n = 1;
  for (;; ++n) {
    const std::string field = ExtractField(line, separator, n);
    FUZZ_CHECK(field.find(separator) == std::string::npos);
    joined += field;
    if (joined.size() == line.size()) break;
    joined += separator;
    FUZZ_CHECK(joined.size() <= line.size());
  }
  FUZZ_CHECK(joined == line);
  FUZZ_CHECK(ExtractField(line, separator, n + 1).empty());
  const std::string field = ExtractField(line, separator, index);
  if (index > n) FUZZ_CHECK(field.empty());
  FUZZ_CHECK(field.size() <= line.size());
}

}  // namespace
}  // namespace sonavi::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace sonavi;
  using namespace sonavi::fuzz;
  ByteReader reader(data, size);
  const int index = static_cast<int8_t>(reader.Byte());
  const int separator_length = reader.Byte() & 3;
  std::string separator;
  for (int i = 0; i < separator_length; ++i) separator.push_back(static_cast<char>(reader.Byte()));
  const std::string bytes(reader.Rest());

  const std::vector<std::string> lines = SplitFileLines(bytes);
  CheckLines(bytes, lines);
  size_t non_empty = 0;
  for (const std::string& line : lines) {
    if (!line.empty()) ++non_empty;
    CheckFields(line, separator, index);
  }

  MemoryFileSystem files;
  files.Set(L"agenda.dat", bytes);
  files.Set(L"listcham.dat", bytes);

  PhoneBook book;
  FUZZ_CHECK(LoadPhoneBook(files, L"agenda.dat", &book).ok());
  FUZZ_CHECK(book.size() >= 1 && book.size() <= non_empty + 1);
  for (size_t i = 0; i < book.size(); ++i) {
    FUZZ_CHECK(book.row(i).name.find(';') == std::string::npos);
    FUZZ_CHECK(book.row(i).phone.find(';') == std::string::npos);
    // Only the last row may lack a name (the free-last-row rule fills it next).
    if (i + 1 < book.size()) FUZZ_CHECK(!book.row(i).name.empty());
  }
  FUZZ_CHECK(SavePhoneBook(files, L"agenda.dat", book).ok());
  PhoneBook again;
  FUZZ_CHECK(LoadPhoneBook(files, L"agenda.dat", &again).ok());
  FUZZ_CHECK(again.rows() == book.rows());
  // The lookup finds the first row with a telephone.
  FUZZ_CHECK(book.LookupName(book.row(0).phone) == book.row(0).name);

  FakeClock clock;
  PlainLocale locale;
  CallList calls(files, clock, locale, L"listcham.dat");
  FUZZ_CHECK(calls.LoadCallList().ok());
  FUZZ_CHECK(calls.rows().size() >= 1 && calls.rows().size() <= non_empty + 1);
  std::string rewritten;
  for (size_t i = 0; i < calls.rows().size(); ++i) {
    const CallRecord& r = calls.rows()[i];
    if (i + 1 < calls.rows().size()) FUZZ_CHECK(!r.date.empty());
    rewritten += r.date + ";" + r.time + ";" + r.number + ";" + r.name + "\r\n";
  }
  files.Set(L"listcham.dat", rewritten);
  const std::vector<CallRecord> first_rows = calls.rows();
  FUZZ_CHECK(calls.LoadCallList().ok());
  FUZZ_CHECK(calls.rows() == first_rows);
  // A call recorded now goes into the free last row or a new one, and is on disk after.
  FUZZ_CHECK(calls.AddCall("219876543", "Ana").ok());
  FUZZ_CHECK(calls.rows().back().number == "219876543");
  FUZZ_CHECK(calls.selected() == calls.rows().size() - 1);
  FUZZ_CHECK(calls.LoadCallList().ok());
  FUZZ_CHECK(calls.rows().back().number == "219876543");
  return 0;
}
