// Loading a long call list (goal: 100 000 calls well within a second).
#include <benchmark/benchmark.h>

#include <map>
#include <string>

#include "calllog/call_list.h"

namespace sonavi {
namespace {

class BenchClock : public Clock {
 public:
  uint32_t TickCount() override { return 0; }
  void Sleep(uint32_t) override {}
  LocalTime Now() override { return {2005, 1, 5, 20, 54, 0}; }
};

class BenchLocale : public Locale {
 public:
  int Compare(const std::string& a, const std::string& b) override { return a.compare(b); }
  std::string Lower(const std::string& text) override { return text; }
  std::string TimeSeparator() override { return ":"; }
  char DecimalSeparator() override { return ','; }
};

class OneFile : public FileSystem {
 public:
  explicit OneFile(std::string contents) : contents_(std::move(contents)) {}
  bool Exists(const FilePath&) override { return true; }
  Status ReadAll(const FilePath&, std::string* contents) override {
    *contents = contents_;
    return Status::Ok();
  }
  Status Append(const FilePath&, const std::string&) override { return Status::Ok(); }
  Status ReplaceAll(const FilePath&, const std::string&) override { return Status::Ok(); }
  bool Remove(const FilePath&) override { return false; }

 private:
  std::string contents_;
};

void BM_LoadCallList(benchmark::State& state) {
  std::string contents;
  for (int i = 0; i < state.range(0); ++i) {
    contents += "05-01-2005;20:54:00;" + std::to_string(210000000 + i) + ";Nome " +
                std::to_string(i) + "\r\n";
  }
  OneFile files(contents);
  BenchClock clock;
  BenchLocale locale;
  CallList list(files, clock, locale, L"listcham.dat");
  for (auto _ : state) {
    const Status status = list.LoadCallList();
    benchmark::DoNotOptimize(status.ok());
    if (list.rows().size() != static_cast<size_t>(state.range(0))) state.SkipWithError("rows");
  }
}
BENCHMARK(BM_LoadCallList)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace sonavi
