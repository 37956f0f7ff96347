// The parser's tick on arbitrary clusters, checked against a line-level model of it:
// every non-empty line is logged once and in order, every caller is recorded once,
// recording failures keep the following lines for the next ticks (also for ticks run
// while the error box is open), and the call ends 8 s after its last ring, across the
// wrap of the tick count.
//
// Input: segments separated by 0x1E. The first is the recording plan, one byte per
// recorded call in order: bit 0 makes recording fail, bits 1-2 are how many ticks run
// while its error box is open. Every other segment is an action byte and a text:
//   bits 0-1  ticks to run afterwards
//   bit 2     the text goes to the receive buffer (with CR LF) instead of the queue
//   bit 3     each of those ticks is 7.9 s after the last (else 100 ms)
//   bit 4     the clock jumps 2^31 ms first
//   bit 5     an empty cluster is queued after the text
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "app/monitor.h"
#include "fakes/fake_clock.h"
#include "fakes/fake_serial_link.h"
#include "fuzz_support.h"

namespace sonavi::fuzz {
namespace {

constexpr int kMaxErrorDepth = 3;

std::string ModelTrim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= 32) ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= 32) --e;
  return s.substr(b, e - b);
}

// Lines of a text that ends with CR LF: split at CR, one LF after a CR dropped.
std::vector<std::string> ModelLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t pos = 0;
  while (true) {
    const size_t cr = text.find('\r', pos);
    if (cr == std::string::npos) break;
    lines.push_back(text.substr(pos, cr - pos));
    pos = cr + 1;
    if (pos < text.size() && text[pos] == '\n') ++pos;
  }
  FUZZ_CHECK(pos == text.size());
  return lines;
}

struct Plan {
  std::string bytes;
  bool Fails(size_t call) const { return call < bytes.size() && (bytes[call] & 1); }
  int ErrorTicks(size_t call) const { return call < bytes.size() ? (bytes[call] >> 1) & 3 : 0; }
};

// The monitor's parsing, one line at a time.
class Model {
 public:
  Model(const Plan& plan, FakeClock& clock) : plan_(plan), clock_(clock) {}

  void QueueCluster(const std::string& text) { queue_.push_back(ModelLines(text + "\r\n")); }
  void Inject(const std::string& text) {
    for (std::string& line : ModelLines(text + "\r\n")) pending_.push_back(std::move(line));
  }
  bool Idle() const { return queue_.empty() && pending_.empty(); }
  size_t QueueSize() const { return queue_.size(); }
  const std::deque<std::string>& Pending() const { return pending_; }

  void Tick(int depth) {
    std::deque<std::string> work;
    work.swap(pending_);
    if (!queue_.empty()) {
      for (std::string& line : queue_.front()) work.push_back(std::move(line));
      queue_.pop_front();
    }
    while (!work.empty()) {
      std::string line = std::move(work.front());
      work.pop_front();
      if (line.empty()) continue;
      log.push_back(line);
      if (line == "RING") {
        last_ring = clock_.TickCount();
        if (!in_progress) ++balloons;
        in_progress = true;
      }
      if (line.compare(0, 4, "NMBR") == 0) {
        const std::string number = line.size() > 7 ? ModelTrim(line.substr(7)) : "";
        if (number.empty()) continue;
        const size_t call = calls++;
        ++balloons;
        if (plan_.Fails(call)) {
          pending_.insert(pending_.begin(), work.begin(), work.end());
          if (depth < kMaxErrorDepth) {
            for (int i = 0; i < plan_.ErrorTicks(call); ++i) Tick(depth + 1);
          }
          return;
        }
      }
    }
    if (in_progress && clock_.TickCount() - last_ring > kCallExpiryMs) in_progress = false;
  }

  std::vector<std::string> log;
  size_t calls = 0;
  size_t balloons = 0;
  bool in_progress = false;
  uint32_t last_ring = 0;

 private:
  const Plan& plan_;
  FakeClock& clock_;
  std::deque<std::vector<std::string>> queue_;
  std::deque<std::string> pending_;
};

class Host : public MonitorHost {
 public:
  explicit Host(const Plan& plan) : plan_(plan) {}
  void AppendLog(const std::string& line) override { log.push_back(line); }
  std::string LookupName(const std::string& number) override {
    return number == "219876543" ? "Ana" : "";
  }
  Status AddCall(const std::string& number, const std::string& name) override {
    FUZZ_CHECK(!number.empty());
    FUZZ_CHECK(static_cast<unsigned char>(number.front()) > 32);
    FUZZ_CHECK(static_cast<unsigned char>(number.back()) > 32);
    FUZZ_CHECK(name == (number == "219876543" ? "Ana" : ""));
    current_call_ = calls++;
    return plan_.Fails(current_call_) ? Status::Error("Acesso negado.") : Status::Ok();
  }
  void ShowBalloon(const std::string&, const std::string&) override { ++balloons; }
  void SetIconIndex(int) override {}
  void SetHint(const std::string&) override {}
  void ShowError(const std::string& text) override {
    FUZZ_CHECK(text == "Acesso negado.");
    const size_t call = current_call_;
    if (depth_ >= kMaxErrorDepth) return;
    ++depth_;
    for (int i = 0; i < plan_.ErrorTicks(call); ++i) monitor->Timer1Timer();
    --depth_;
  }

  Monitor* monitor = nullptr;
  std::vector<std::string> log;
  size_t calls = 0;
  size_t balloons = 0;

 private:
  const Plan& plan_;
  size_t current_call_ = 0;
  int depth_ = 0;
};

void CheckAgree(Monitor& monitor, Host& host, Model& model, FakeSerialLink& link) {
  FUZZ_CHECK(host.log == model.log);
  FUZZ_CHECK(host.calls == model.calls);
  FUZZ_CHECK(host.balloons == model.balloons);
  FUZZ_CHECK(monitor.CallInProgress() == model.in_progress);
  if (model.in_progress) FUZZ_CHECK(monitor.LastRingTick() == model.last_ring);
  FUZZ_CHECK(link.queue.size() == model.QueueSize());
  // What waits in the receive buffer is exactly the model's kept lines.
  std::vector<std::string> kept;
  for (const std::string& line : ModelLines(monitor.ReceiveBuffer())) {
    if (!line.empty()) kept.push_back(line);
  }
  std::vector<std::string> expected;
  for (const std::string& line : model.Pending()) {
    if (!line.empty()) expected.push_back(line);
  }
  FUZZ_CHECK(kept == expected);
}

}  // namespace
}  // namespace sonavi::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace sonavi;
  using namespace sonavi::fuzz;
  const auto segments =
      Segments(std::string_view(reinterpret_cast<const char*>(data), size), '\x1E');
  Plan plan{std::string(segments[0])};

  FakeClock clock;
  clock.SetTick(0xFFFFF000u);  // four seconds before the tick count wraps
  FakeSerialLink link;
  CountingSound sound;
  Host host(plan);
  Settings settings;
  Monitor monitor(link, clock, sound, host, settings);
  host.monitor = &monitor;
  Model model(plan, clock);

  for (size_t s = 1; s < segments.size(); ++s) {
    std::string_view segment = segments[s];
    const uint8_t action = segment.empty() ? 0 : static_cast<uint8_t>(segment[0]);
    const std::string text(segment.empty() ? segment : segment.substr(1));
    if (action & 4) {
      monitor.AppendToReceiveBuffer(text + "\r\n");
      model.Inject(text);
    } else {
      link.Push(text);
      model.QueueCluster(text);
    }
    if (action & 32) {
      link.Push("");
      model.QueueCluster("");
    }
    if (action & 16) clock.Advance(0x80000000u);
    for (int t = 0; t < (action & 3); ++t) {
      clock.Advance((action & 8) ? 7900 : 100);
      monitor.Timer1Timer();
      model.Tick(0);
      CheckAgree(monitor, host, model, link);
    }
  }
  // Then ticks until everything is parsed: nothing may be lost or stay behind.
  for (size_t guard = 0; !model.Idle() && guard < 4 * size + 8; ++guard) {
    clock.Advance(100);
    monitor.Timer1Timer();
    model.Tick(0);
    CheckAgree(monitor, host, model, link);
  }
  FUZZ_CHECK(model.Idle());
  FUZZ_CHECK(monitor.ReceiveBuffer().empty());
  FUZZ_CHECK(sound.rings == static_cast<int>(std::count(host.log.begin(), host.log.end(), "RING")));
  return 0;
}
