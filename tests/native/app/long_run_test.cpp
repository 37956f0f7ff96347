// A week of running, simulated: the 100 ms parser tick and the 60 s supervision driven
// on a fake clock that crosses the 49.7-day wrap of the tick count half-way, with a call
// every few minutes from a modem behind a fake serial link, recorded into a real call
// list and looked up in a real phone book, both over in-memory files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "app/monitor.h"
#include "calllog/call_list.h"
#include "fakes/fake_clock.h"
#include "fakes/fake_locale.h"
#include "fakes/fake_serial_link.h"
#include "fakes/memory_file_system.h"
#include "phonebook/phone_book.h"

namespace sonavi {
namespace {

constexpr uint64_t kSecond = 1000;
constexpr uint64_t kMinute = 60 * kSecond;
constexpr uint64_t kDay = 24 * 60 * kMinute;
constexpr uint64_t kTickMs = 100;
constexpr wchar_t kBookPath[] = L"C:\\Sonavi\\agenda.dat";
constexpr wchar_t kCallsPath[] = L"C:\\Sonavi\\listcham.dat";

// The window's side of the monitor, as the program wires it: the phone book answers
// lookups, the call list records, the rest is counted.
class RecordingHost : public MonitorHost {
 public:
  RecordingHost(PhoneBook& book, CallList& calls) : book_(book), calls_(calls) {}
  void AppendLog(const std::string& line) override {
    ++log_lines;
    log_bytes += line.size() + 2;
  }
  std::string LookupName(const std::string& number) override { return book_.LookupName(number); }
  Status AddCall(const std::string& number, const std::string& name) override {
    return calls_.AddCall(number, name);
  }
  void ShowBalloon(const std::string&, const std::string&) override { ++balloons; }
  void SetIconIndex(int index) override { icon = index; }
  void SetHint(const std::string&) override {}
  void ShowError(const std::string& text) override { errors.push_back(text); }

  uint64_t log_lines = 0;
  uint64_t log_bytes = 0;
  uint64_t balloons = 0;
  int icon = -1;
  std::vector<std::string> errors;

 private:
  PhoneBook& book_;
  CallList& calls_;
};

class SilentSound : public Sound {
 public:
  void PlayRing() override { ++rings; }
  uint64_t rings = 0;
};

// The wall-clock date and time a given time after the start (5 January 2005, 20:54:00).
LocalTime LocalAt(uint64_t ms) {
  const uint64_t seconds = ms / kSecond + (20 * 60 + 54) * 60;
  LocalTime t;
  t.year = 2005;
  t.month = 1;
  t.day = 5 + static_cast<int>(seconds / 86400);
  t.hour = static_cast<int>(seconds / 3600 % 24);
  t.minute = static_cast<int>(seconds / 60 % 60);
  t.second = static_cast<int>(seconds % 60);
  return t;
}

std::string DateText(const LocalTime& t) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%02d-%02d-%04d", t.day, t.month, t.year);
  return buffer;
}

std::string TimeText(const LocalTime& t) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d", t.hour, t.minute, t.second);
  return buffer;
}

// One incoming call: rings 6 s apart, the caller-ID block 1.5 s after the first.
struct PlannedCall {
  uint64_t start;
  int rings;
  std::string sent_number;  // as the modem reports it
  CallRecord expected;
};

constexpr uint64_t kCallerIdDelay = 1500;
constexpr uint64_t kRingPeriod = 6000;

// Pseudo-random but fixed: the same week every run.
class Lcg {
 public:
  uint32_t Next() {
    state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<uint32_t>(state_ >> 33);
  }
  uint32_t Below(uint32_t n) { return Next() % n; }

 private:
  uint64_t state_ = 20050105;
};

// True when no event of a call starting at start falls in the first second of a minute,
// when the supervision talks to the modem (collisions there are the unit tests' matter).
bool ClearOfSupervision(uint64_t start, int rings) {
  std::vector<uint64_t> at = {start + kCallerIdDelay};
  for (int r = 0; r < rings; ++r) at.push_back(start + r * kRingPeriod);
  for (uint64_t t : at) {
    if (t % kMinute < 1000) return false;
  }
  return true;
}

class LongRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // A phone book of a thousand people on disk, loaded as at start-up.
    PhoneBook initial;
    for (int i = 0; i < 1000; ++i) {
      initial.Append({"Pessoa " + std::to_string(i), std::to_string(210000000 + i * 7)});
    }
    ASSERT_TRUE(SavePhoneBook(files_, kBookPath, initial).ok());
    ASSERT_TRUE(LoadPhoneBook(files_, kBookPath, &book_).ok());
    ASSERT_TRUE(calls_.LoadCallList().ok());

    link_.on_send = [this](const std::string& text) {
      const std::string command = text.substr(0, text.size() - 1);
      const std::string answer = command == "AT#CID?" ? "\r\n1\r\n\r\nOK\r\n" : "\r\nOK\r\n";
      link_.Schedule(300, text + answer);
    };
    settings_.modem_port = "COM5";
  }

  // The calls of the run, a few minutes apart; one rings across the wrap, 3 s before it.
  std::vector<PlannedCall> PlanCalls(uint64_t duration, uint64_t wrap_at) {
    std::vector<PlannedCall> plan;
    Lcg random;
    uint64_t start = 5 * kMinute;
    bool wrap_planned = false;
    int index = 0;
    while (start + kMinute < duration) {
      bool wrap_call = false;
      if (!wrap_planned && start + 3 * kSecond + 2 * kMinute >= wrap_at) {
        // The previous call started over 2 minutes before: it is long over.
        start = wrap_at - 3 * kSecond;
        wrap_planned = wrap_call = true;
      }
      const int rings = wrap_call ? 3 : 1 + static_cast<int>(random.Below(4));
      if (!ClearOfSupervision(start, rings)) {
        start += kSecond;
        continue;
      }
      PlannedCall call{start, rings, "", {}};
      const LocalTime when = LocalAt(start + kCallerIdDelay);
      call.expected.date = DateText(when);
      call.expected.time = TimeText(when);
      switch (index % 5) {
        case 0:
          call.sent_number = "PRIVATE";
          call.expected.number = "Confidencial";
          break;
        case 1:
        case 2: {
          const int person = static_cast<int>(random.Below(1000));
          call.sent_number = std::to_string(210000000 + person * 7);
          call.expected.number = call.sent_number;
          call.expected.name = "Pessoa " + std::to_string(person);
          break;
        }
        default:
          call.sent_number = std::to_string(910000000 + random.Below(1000000));
          call.expected.number = call.sent_number;
      }
      plan.push_back(call);
      ++index;
      start += 2 * kMinute + random.Below(5 * 60) * kSecond + random.Below(10) * kTickMs;
    }
    return plan;
  }

  // What the modem sends for the calls, by time: rings 6 s apart, the caller-ID block
  // 1.5 s after the first.
  struct Event {
    uint64_t at;
    std::string cluster;
  };
  static std::vector<Event> ModemEvents(const std::vector<PlannedCall>& plan) {
    std::vector<Event> events;
    for (const PlannedCall& call : plan) {
      events.push_back({call.start, "\r\nRING\r\n"});
      events.push_back(
          {call.start + kCallerIdDelay,
           "\r\nDATE = 0105\r\n\r\nTIME = 2054\r\n\r\nNMBR = " + call.sent_number + "\r\n"});
      for (int r = 1; r < call.rings; ++r) {
        events.push_back({call.start + r * kRingPeriod, "\r\nRING\r\n"});
      }
    }
    return events;
  }

  // Runs the program for the duration; the tick count wraps wrap_at after the start.
  void Run(uint64_t duration, uint64_t wrap_at) {
    const std::vector<PlannedCall> plan = PlanCalls(duration, wrap_at);
    const std::vector<Event> events = ModemEvents(plan);
    std::vector<uint64_t> ring_times;
    for (const PlannedCall& call : plan) {
      for (int r = 0; r < call.rings; ++r) ring_times.push_back(call.start + r * kRingPeriod);
    }
    ASSERT_GT(plan.size(), duration / (8 * kMinute));
    ASSERT_TRUE(std::any_of(plan.begin(), plan.end(), [&](const PlannedCall& call) {
      return call.start == wrap_at - 3 * kSecond;
    }));

    clock_.SetTick(static_cast<uint32_t>(0x100000000ull - wrap_at));
    uint32_t last_tick = clock_.TickCount();
    uint64_t now = 0;  // milliseconds since the start, never wrapping
    bool wrapped = false;
    auto follow_clock = [&] {
      if (clock_.TickCount() < last_tick) wrapped = true;
      now += clock_.TickCount() - last_tick;
      last_tick = clock_.TickCount();
    };

    size_t next_event = 0;
    size_t next_ring = 0;
    uint64_t last_ring = 0;
    bool rang = false;
    uint64_t next_supervision = 0;
    size_t peak_queue = 0;
    size_t peak_buffer_capacity = 0;

    while (now < duration) {
      if (now >= next_supervision) {
        monitor_.Timer2Timer();
        follow_clock();
        ASSERT_TRUE(monitor_.ModemReady()) << "at " << now;
        next_supervision += kMinute;
      }
      while (next_event < events.size() && events[next_event].at <= now) {
        ASSERT_EQ(events[next_event].at, now);
        link_.Push(events[next_event++].cluster);
      }
      if (!link_.queue.empty()) clock_.SetNow(LocalAt(now));
      peak_queue = std::max(peak_queue, link_.queue.size());
      monitor_.Timer1Timer();

      // Nothing waits for the next tick, and the buffer does not grow.
      ASSERT_TRUE(monitor_.ReceiveBuffer().empty()) << "at " << now;
      peak_buffer_capacity = std::max(peak_buffer_capacity, monitor_.ReceiveBuffer().capacity());

      // A call is in progress until 8 s after its last ring.
      while (next_ring < ring_times.size() && ring_times[next_ring] <= now) {
        last_ring = ring_times[next_ring++];
        rang = true;
      }
      const bool expected_in_progress = rang && now - last_ring <= kCallExpiryMs;
      ASSERT_EQ(monitor_.CallInProgress(), expected_in_progress) << "at " << now;

      clock_.Advance(kTickMs);
      follow_clock();
    }
    EXPECT_TRUE(wrapped);

    EXPECT_EQ(next_event, events.size());
    EXPECT_LE(peak_queue, 1u);
    EXPECT_LE(peak_buffer_capacity, 64u);
    EXPECT_TRUE(link_.queue.empty());
    EXPECT_TRUE(host_.errors.empty());
    EXPECT_EQ(host_.icon, kTrayCallerIdOn);

    // Every call once, in order, in the window and in the file.
    std::vector<CallRecord> expected;
    for (const PlannedCall& call : plan) expected.push_back(call.expected);
    EXPECT_EQ(calls_.rows(), expected);
    CallList reloaded(files_, clock_, locale_, kCallsPath);
    ASSERT_TRUE(reloaded.LoadCallList().ok());
    EXPECT_EQ(reloaded.rows(), expected);
    EXPECT_EQ(host_.balloons, 2 * plan.size());
    EXPECT_EQ(sound_.rings, ring_times.size());
    EXPECT_EQ(book_.size(), 1000u);
  }

  FakeClock clock_;
  FakeLocale locale_;
  MemoryFileSystem files_;
  PhoneBook book_;
  CallList calls_{files_, clock_, locale_, kCallsPath};
  RecordingHost host_{book_, calls_};
  SilentSound sound_;
  FakeSerialLink link_{clock_};
  Settings settings_;
  Monitor monitor_{link_, clock_, sound_, host_, settings_};
};

TEST_F(LongRunTest, AWeekOfCallsAcrossTheTickCountWrapLosesNothing) {
  Run(7 * kDay, 3 * kDay + 12 * 60 * kMinute + 30 * kSecond);
}

}  // namespace
}  // namespace sonavi
