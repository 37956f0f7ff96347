// The phone book at scale: an add or edit (sort by name, then save) on a large book, and
// the number lookup the caller-ID parser makes for every call.
#include <benchmark/benchmark.h>

#include <map>
#include <string>

#include "phonebook/phone_book.h"

namespace sonavi {
namespace {

// Orders by letters ignoring case first and by case second, as a user's locale does,
// without allocating.
class BenchLocale : public Locale {
 public:
  int Compare(const std::string& a, const std::string& b) override {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
      const int la = Fold(a[i]), lb = Fold(b[i]);
      if (la != lb) return la - lb;
    }
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    for (size_t i = 0; i < n; ++i) {
      if (a[i] != b[i]) return a[i] > b[i] ? -1 : 1;  // lower case first
    }
    return 0;
  }
  std::string Lower(const std::string& text) override {
    std::string out = text;
    for (char& c : out) c = static_cast<char>(Fold(c));
    return out;
  }
  std::string TimeSeparator() override { return ":"; }
  char DecimalSeparator() override { return ','; }

 private:
  static int Fold(char c) {
    return (c >= 'A' && c <= 'Z') ? c + 32 : static_cast<unsigned char>(c);
  }
};

class BenchFileSystem : public FileSystem {
 public:
  bool Exists(const FilePath& path) override { return files_.count(path) != 0; }
  Status ReadAll(const FilePath& path, std::string* contents) override {
    *contents = files_[path];
    return Status::Ok();
  }
  Status Append(const FilePath& path, const std::string& bytes) override {
    files_[path] += bytes;
    return Status::Ok();
  }
  Status ReplaceAll(const FilePath& path, const std::string& bytes) override {
    files_[path] = bytes;
    return Status::Ok();
  }
  bool Remove(const FilePath& path) override { return files_.erase(path) != 0; }

 private:
  std::map<FilePath, std::string> files_;
};

// Names in a scattered order, mixed case, and distinct nine-digit telephones.
PhoneBook MakeBook(int entries) {
  PhoneBook book;
  for (int i = 0; i < entries; ++i) {
    const unsigned scrambled = static_cast<unsigned>(i) * 2654435761u;
    std::string name = (scrambled & 1) ? "Nome " : "nome ";
    name += std::to_string(scrambled % 1000003u);
    book.Append({name, std::to_string(210000000 + i)});
  }
  return book;
}

void BM_AddEntrySortAndSave(benchmark::State& state) {
  BenchLocale locale;
  BenchFileSystem files;
  PhoneBook book = MakeBook(static_cast<int>(state.range(0)));
  book.SortRowsByColumn(PhoneBook::kNameColumn, locale);
  for (auto _ : state) {
    state.PauseTiming();
    PhoneBook copy = book;
    state.ResumeTiming();
    copy.Append({"Maria Nova", "219876543"});
    copy.SortRowsByColumn(PhoneBook::kNameColumn, locale);
    benchmark::DoNotOptimize(SavePhoneBook(files, L"agenda.dat", copy).ok());
  }
}
BENCHMARK(BM_AddEntrySortAndSave)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_EditEntrySortAndSave(benchmark::State& state) {
  BenchLocale locale;
  BenchFileSystem files;
  PhoneBook book = MakeBook(static_cast<int>(state.range(0)));
  book.SortRowsByColumn(PhoneBook::kNameColumn, locale);
  for (auto _ : state) {
    state.PauseTiming();
    PhoneBook copy = book;
    copy.Select(copy.size() / 2);
    state.ResumeTiming();
    copy.SetSelectedRow({"Alberto", "211111111"});
    copy.SortRowsByColumn(PhoneBook::kNameColumn, locale);
    benchmark::DoNotOptimize(SavePhoneBook(files, L"agenda.dat", copy).ok());
  }
}
BENCHMARK(BM_EditEntrySortAndSave)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_LookupNameMissing(benchmark::State& state) {
  const PhoneBook book = MakeBook(static_cast<int>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(book.LookupName("Confidencial"));
}
BENCHMARK(BM_LookupNameMissing)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_LookupNameLastRow(benchmark::State& state) {
  const PhoneBook book = MakeBook(static_cast<int>(state.range(0)));
  const std::string number = book.row(book.size() - 1).phone;
  for (auto _ : state) benchmark::DoNotOptimize(book.LookupName(number));
}
BENCHMARK(BM_LookupNameLastRow)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_LoadPhoneBook(benchmark::State& state) {
  BenchFileSystem files;
  SavePhoneBook(files, L"agenda.dat", MakeBook(static_cast<int>(state.range(0))));
  PhoneBook book;
  for (auto _ : state) benchmark::DoNotOptimize(LoadPhoneBook(files, L"agenda.dat", &book).ok());
}
BENCHMARK(BM_LoadPhoneBook)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace sonavi
