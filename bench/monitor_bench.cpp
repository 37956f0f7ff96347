// The caller-ID parser's tick: idle (nothing queued, the usual case ten times a second),
// a ring, and a whole call (ring, caller-ID block, lookup in a large phone book, record).
// And the memory the call list and the phone book hold after many calls.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <memory>
#include <string>

#include "app/monitor.h"
#include "calllog/call_list.h"
#include "fakes/fake_clock.h"
#include "fakes/fake_serial_link.h"
#include "phonebook/phone_book.h"

namespace sonavi {
namespace {

class QuietSound : public Sound {
 public:
  void PlayRing() override {}
};

class PlainLocale : public Locale {
 public:
  int Compare(const std::string& a, const std::string& b) override { return a.compare(b); }
  std::string Lower(const std::string& text) override { return text; }
  std::string TimeSeparator() override { return ":"; }
  char DecimalSeparator() override { return ','; }
};

// Appends succeed and are forgotten: only the in-memory structures are measured.
class DiscardingFiles : public FileSystem {
 public:
  bool Exists(const FilePath&) override { return false; }
  Status ReadAll(const FilePath&, std::string*) override { return Status::Ok(); }
  Status Append(const FilePath&, const std::string& bytes) override {
    appended += bytes.size();
    return Status::Ok();
  }
  Status ReplaceAll(const FilePath&, const std::string&) override { return Status::Ok(); }
  bool Remove(const FilePath&) override { return false; }
  uint64_t appended = 0;
};

// The main window's side: lookups in the phone book, calls into the call list (or
// nowhere, for the throughput runs, so the list does not grow without end).
class Host : public MonitorHost {
 public:
  Host(const PhoneBook& book, CallList* calls) : book_(book), calls_(calls) {}
  void AppendLog(const std::string& line) override { benchmark::DoNotOptimize(line.data()); }
  std::string LookupName(const std::string& number) override { return book_.LookupName(number); }
  Status AddCall(const std::string& number, const std::string& name) override {
    return calls_ ? calls_->AddCall(number, name) : Status::Ok();
  }
  void ShowBalloon(const std::string&, const std::string& text) override {
    benchmark::DoNotOptimize(text.data());
  }
  void SetIconIndex(int) override {}
  void SetHint(const std::string&) override {}
  void ShowError(const std::string&) override {}

 private:
  const PhoneBook& book_;
  CallList* calls_;
};

PhoneBook MakeBook(int entries) {
  PhoneBook book;
  for (int i = 0; i < entries; ++i) {
    book.Append({"Nome " + std::to_string(i), std::to_string(210000000 + i)});
  }
  return book;
}

std::string CallCluster(int i) {
  return "\r\nRING\r\n\r\nDATE = 0105\r\n\r\nTIME = 2054\r\n\r\nNMBR = " +
         std::to_string(210000000 + i) + "\r\n";
}

void BM_ParserTickIdle(benchmark::State& state) {
  FakeClock clock;
  FakeSerialLink link;
  QuietSound sound;
  const PhoneBook book;
  Host host(book, nullptr);
  const Settings settings;
  Monitor monitor(link, clock, sound, host, settings);
  for (auto _ : state) {
    clock.Advance(100);
    monitor.Timer1Timer();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ParserTickIdle);

void BM_ParserTickRing(benchmark::State& state) {
  FakeClock clock;
  FakeSerialLink link;
  QuietSound sound;
  const PhoneBook book;
  Host host(book, nullptr);
  const Settings settings;
  Monitor monitor(link, clock, sound, host, settings);
  for (auto _ : state) {
    link.Push("\r\nRING\r\n");
    clock.Advance(100);
    monitor.Timer1Timer();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ParserTickRing);

// A whole call in one tick, its caller looked up among as many entries as the argument
// (the last of them, the slowest case for the linear lookup).
void BM_ParserTickCall(benchmark::State& state) {
  FakeClock clock;
  FakeSerialLink link;
  QuietSound sound;
  const int entries = static_cast<int>(state.range(0));
  const PhoneBook book = MakeBook(entries);
  Host host(book, nullptr);
  const Settings settings;
  Monitor monitor(link, clock, sound, host, settings);
  const std::string cluster = CallCluster(entries - 1);
  for (auto _ : state) {
    link.Push(cluster);
    clock.Advance(100);
    monitor.Timer1Timer();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ParserTickCall)->Arg(100)->Arg(10000)->Arg(100000);

// Heap bytes in use, as the allocator counts them (large blocks are mapped apart).
size_t HeapInUse() {
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
}

// The bytes the rows hold by their own count: the vector's slots and any text too long
// to sit inside its string.
size_t RowBytes(const CallList& list) {
  size_t bytes = list.rows().capacity() * sizeof(CallRecord);
  for (const CallRecord& r : list.rows()) {
    for (const std::string* s : {&r.date, &r.time, &r.number, &r.name}) {
      if (s->capacity() > std::string().capacity()) bytes += s->capacity() + 1;
    }
  }
  return bytes;
}

// 10 000 calls through the parser into the call list, with a phone book of 10 000
// entries: the heap the two structures hold at the end, in all and per call.
void BM_MemoryAfterCalls(benchmark::State& state) {
  const int calls = static_cast<int>(state.range(0));
  size_t book_bytes = 0;
  size_t list_bytes = 0;
  size_t file_bytes = 0;
  size_t row_bytes = 0;
  for (auto _ : state) {
    const size_t start = HeapInUse();
    auto book = std::make_unique<PhoneBook>(MakeBook(10000));
    const size_t after_book = HeapInUse();
    FakeClock clock;
    PlainLocale locale;
    DiscardingFiles files;
    auto list = std::make_unique<CallList>(files, clock, locale, L"listcham.dat");
    FakeSerialLink link;
    QuietSound sound;
    Host host(*book, list.get());
    const Settings settings;
    Monitor monitor(link, clock, sound, host, settings);
    const size_t before_calls = HeapInUse();
    for (int i = 0; i < calls; ++i) {
      link.Push(CallCluster(i * 7 % 20000));  // half of them known
      clock.Advance(100);
      monitor.Timer1Timer();
    }
    if (list->rows().size() != static_cast<size_t>(calls)) state.SkipWithError("calls lost");
    book_bytes = after_book - start;
    list_bytes = HeapInUse() - before_calls;
    file_bytes = files.appended;
    row_bytes = RowBytes(*list);
  }
  state.counters["book_bytes"] = static_cast<double>(book_bytes);
  state.counters["list_bytes"] = static_cast<double>(list_bytes);
  state.counters["list_bytes_per_call"] = static_cast<double>(list_bytes) / calls;
  state.counters["row_bytes"] = static_cast<double>(row_bytes);
  state.counters["file_bytes_per_call"] = static_cast<double>(file_bytes) / calls;
}
BENCHMARK(BM_MemoryAfterCalls)->Arg(10000)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace sonavi
