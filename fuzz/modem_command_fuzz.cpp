// The command exchange on arbitrary answers: it always ends within its time-out, the
// reply holds the answer's lines without the echo and without blank lines, CommandBusy
// is cleared, and every byte the modem sent reaches the parser once, in order. The
// supervision step runs over the same exchanges.
//
// Input: segments separated by 0x1E. The first: a mode byte (bit 0 runs the supervision
// step instead of one command, bit 1 starts with the modem initialised), a time-out
// byte (x 20 ms) and the command text. Every other segment is a cluster the modem
// sends: a byte whose bit 7 queues it before the command and whose low 7 bits are its
// delay (x 30 ms) after the command it answers, then its text. In the supervision step
// the clusters answer the commands in turn, one each.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "app/monitor.h"
#include "fakes/fake_clock.h"
#include "fakes/fake_serial_link.h"
#include "fuzz_support.h"

namespace sonavi::fuzz {
namespace {

std::vector<std::string> NonEmptyLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t pos = 0;
  while (true) {
    const size_t cr = text.find('\r', pos);
    if (cr == std::string::npos) break;
    if (cr > pos) lines.push_back(text.substr(pos, cr - pos));
    pos = cr + 1;
    if (pos < text.size() && text[pos] == '\n') ++pos;
  }
  return lines;
}

class Host : public MonitorHost {
 public:
  void AppendLog(const std::string& line) override { log.push_back(line); }
  std::string LookupName(const std::string&) override { return ""; }
  Status AddCall(const std::string&, const std::string&) override { return Status::Ok(); }
  void ShowBalloon(const std::string&, const std::string&) override {}
  void SetIconIndex(int index) override { icon = index; }
  void SetHint(const std::string& text) override { hint = text; }
  void ShowError(const std::string&) override { FUZZ_CHECK(false); }
  std::vector<std::string> log;
  int icon = -1;
  std::string hint;
};

struct Cluster {
  bool before;
  uint32_t delay_ms;
  std::string text;
};

}  // namespace
}  // namespace sonavi::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace sonavi;
  using namespace sonavi::fuzz;
  const auto segments =
      Segments(std::string_view(reinterpret_cast<const char*>(data), size), '\x1E');
  ByteReader header(reinterpret_cast<const uint8_t*>(segments[0].data()), segments[0].size());
  const uint8_t mode = header.Byte();
  const int timeout_ms = header.Byte() * 20;
  const std::string command(header.Rest());

  std::vector<Cluster> clusters;
  for (size_t s = 1; s < segments.size(); ++s) {
    const uint8_t b = segments[s].empty() ? 0 : static_cast<uint8_t>(segments[s][0]);
    clusters.push_back({(b & 0x80) != 0, (b & 0x7Fu) * 30u,
                        std::string(segments[s].empty() ? segments[s] : segments[s].substr(1))});
  }

  FakeClock clock;
  clock.SetTick(0xFFFFFF00u);  // the exchange runs across the wrap of the tick count
  FakeSerialLink link(clock);
  CountingSound sound;
  Host host;
  Settings settings;
  settings.modem_port = "COM5";
  Monitor monitor(link, clock, sound, host, settings);

  for (const Cluster& c : clusters) {
    if (c.before) link.Push(c.text);
  }
  size_t next_answer = 0;
  std::vector<std::string> sent;
  link.on_send = [&](const std::string& text) {
    sent.push_back(text);
    if (mode & 1) {
      // One answer per command, in turn.
      while (next_answer < clusters.size() && clusters[next_answer].before) ++next_answer;
      if (next_answer < clusters.size()) {
        link.Schedule(clusters[next_answer].delay_ms, clusters[next_answer].text);
        ++next_answer;
      }
    } else {
      for (const Cluster& c : clusters) {
        if (!c.before) link.Schedule(c.delay_ms, c.text);
      }
    }
  };
  const size_t sleeps_before = clock.sleeps().size();

  if (mode & 1) {
    link.active = (mode & 2) != 0;
    monitor.SetModemReady((mode & 2) != 0);
    monitor.Timer2Timer();
    FUZZ_CHECK(!monitor.CommandBusy());
    FUZZ_CHECK(sent.size() <= 4);
    // A failed step leaves the picture "not ready"; the caller-ID picture means initialised.
    if (!monitor.ModemReady()) FUZZ_CHECK(host.icon == kTrayNotReady);
    if (host.icon == kTrayCallerIdOn) {
      FUZZ_CHECK(monitor.ModemReady());
      FUZZ_CHECK(host.hint.empty());
    }
  } else {
    const std::string queued_front = link.queue.empty() ? std::string() : link.queue.front();
    const std::string reply = monitor.SendModemCommand(command, timeout_ms);
    FUZZ_CHECK(!monitor.CommandBusy());
    const size_t sleeps = clock.sleeps().size() - sleeps_before;
    FUZZ_CHECK(sleeps >= 1);
    FUZZ_CHECK(sleeps <= static_cast<size_t>(timeout_ms <= 100 ? 1 : (timeout_ms + 99) / 100));
    FUZZ_CHECK(sent.size() == (command.empty() ? 0u : 1u));
    if (!command.empty()) FUZZ_CHECK(sent[0] == command + "\r");
    // The reply: lines joined with CR LF, none blank, none the echo, no stray CR.
    if (!reply.empty()) {
      FUZZ_CHECK(reply.compare(0, 2, "\r\n") != 0);
      FUZZ_CHECK(reply.size() < 2 || reply.compare(reply.size() - 2, 2, "\r\n") != 0);
      size_t pos = 0;
      while (true) {
        const size_t end = reply.find("\r\n", pos);
        const std::string line = reply.substr(pos, end == std::string::npos ? end : end - pos);
        FUZZ_CHECK(!line.empty());
        FUZZ_CHECK(line.find('\r') == std::string::npos);
        FUZZ_CHECK(line != command);
        if (end == std::string::npos) break;
        pos = end + 2;
      }
      // It comes from a single cluster: the one first in the queue after the command.
      if (command.empty() && !queued_front.empty() && timeout_ms > 100) {
        std::string expected;
        for (const std::string& line : NonEmptyLines(queued_front + "\r\n")) {
          if (line == command) continue;
          if (!expected.empty()) expected += "\r\n";
          expected += line;
        }
        FUZZ_CHECK(reply == expected);
      }
    }
  }

  // Whatever was sent reaches the log: the receive buffer first, then one cluster a tick.
  clock.Advance(0x7F000);  // every scheduled answer is due
  for (size_t guard = 0;
       (!link.queue.empty() || !monitor.ReceiveBuffer().empty()) && guard < clusters.size() + 4;
       ++guard) {
    monitor.Timer1Timer();
  }
  FUZZ_CHECK(link.queue.empty());
  FUZZ_CHECK(monitor.ReceiveBuffer().empty());

  // The modem's clusters in the order they reached the queue: those queued before, then
  // the answers to what was sent.
  std::vector<std::string> expected_log;
  auto add_lines = [&](const std::string& text) {
    for (std::string& line : NonEmptyLines(text + "\r\n")) expected_log.push_back(std::move(line));
  };
  for (const Cluster& c : clusters) {
    if (c.before) add_lines(c.text);
  }
  size_t answers = 0;
  for (const Cluster& c : clusters) {
    if (c.before) continue;
    if ((mode & 1) ? answers < sent.size() : !sent.empty()) add_lines(c.text);
    ++answers;
  }
  FUZZ_CHECK(host.log == expected_log);
  return 0;
}
