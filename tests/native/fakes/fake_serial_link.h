// The serial port's received-data queue as the monitor sees it: clusters queued by the
// test, or scheduled to arrive at a tick of a fake clock, and a modem that answers
// what is sent.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <utility>

#include "fakes/fake_clock.h"
#include "serial/serial_link.h"

namespace sonavi {

class FakeSerialLink : public SerialLink {
 public:
  // Without a clock, only clusters pushed by the test arrive.
  FakeSerialLink() = default;
  // With one, scheduled clusters arrive as the clock passes their tick (sleeps included).
  explicit FakeSerialLink(FakeClock& clock) : clock_(&clock) {
    clock.OnAdvance([this](uint32_t) { Deliver(); });
  }

  int32_t PeekClusterSize() override {
    ++peeks;
    return queue.empty() ? -1 : static_cast<int32_t>(queue.front().size());
  }
  std::string ReadClusterText() override {
    if (queue.empty()) return std::string();
    std::string cluster = std::move(queue.front());
    queue.pop_front();
    return cluster;
  }
  void SendText(const std::string& text) override {
    sent_bytes += text.size();
    ++sends;
    if (on_send) on_send(text);
  }
  void SetCommPort(const std::string& port) override { this->port = port; }
  void SetActive(bool active_now) override {
    if (active_now && !active && can_open) {
      active = true;
      device_gone = false;
    }
    if (!active_now) active = false;
  }
  bool Active() const override { return active; }
  bool DeviceGone() const override { return device_gone; }

  // A cluster that arrives once the clock has moved delay_ms past now.
  void Schedule(uint32_t delay_ms, std::string cluster) {
    const uint32_t now = clock_ ? clock_->TickCount() : 0;
    scheduled.push_back({now, delay_ms, std::move(cluster)});
    Deliver();
  }
  void Push(std::string cluster) { queue.push_back(std::move(cluster)); }

  std::deque<std::string> queue;
  std::function<void(const std::string&)> on_send;
  std::string port;
  bool active = false;
  bool can_open = true;
  bool device_gone = false;
  uint64_t sent_bytes = 0;
  uint64_t sends = 0;
  uint64_t peeks = 0;

 private:
  struct Scheduled {
    uint32_t from;
    uint32_t delay;
    std::string cluster;
  };
  // Elapsed time from the scheduling tick, so that the tick count's wrap changes nothing.
  void Deliver() {
    const uint32_t now = clock_ ? clock_->TickCount() : 0;
    while (!scheduled.empty() && now - scheduled.front().from >= scheduled.front().delay) {
      queue.push_back(std::move(scheduled.front().cluster));
      scheduled.pop_front();
    }
  }

  FakeClock* clock_ = nullptr;
  std::deque<Scheduled> scheduled;
};

}  // namespace sonavi
