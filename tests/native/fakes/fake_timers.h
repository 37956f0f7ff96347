// Timers the test fires by hand; a dispatcher that runs steps at once.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "platform/dispatcher.h"
#include "platform/timer.h"

namespace sonavi {

class FakeTimer : public Timer {
 public:
  explicit FakeTimer(std::function<void()> on_tick) : on_tick_(std::move(on_tick)) {}
  void SetInterval(uint32_t ms) override { interval_ = ms; }
  uint32_t Interval() const override { return interval_; }
  void SetEnabled(bool enabled) override { enabled_ = enabled; }
  bool Enabled() const override { return enabled_; }
  // Fires the timer as the system would: only when enabled with a non-zero interval.
  bool Fire() {
    if (!enabled_ || interval_ == 0) return false;
    on_tick_();
    return true;
  }

 private:
  std::function<void()> on_tick_;
  uint32_t interval_ = 0;
  bool enabled_ = false;
};

class FakeTimerFactory : public TimerFactory {
 public:
  std::unique_ptr<Timer> Create(std::function<void()> on_tick) override {
    auto timer = std::make_unique<FakeTimer>(std::move(on_tick));
    timers.push_back(timer.get());
    return timer;
  }
  // Timers in creation order (owned by whoever created them).
  std::vector<FakeTimer*> timers;
};

class InlineDispatcher : public MainThreadDispatcher {
 public:
  bool RunOnMainThread(const std::function<void()>& step) override {
    if (shutting_down) return false;
    step();
    return true;
  }
  void JoinServing(std::thread& worker) override {
    if (worker.joinable()) worker.join();
  }
  bool shutting_down = false;
};

}  // namespace sonavi
