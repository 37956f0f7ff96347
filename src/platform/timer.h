// Main-thread timers (WM_TIMER on Windows), behind an interface so that components
// using them are tested with timers the test fires by hand.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace sonavi {

class Timer {
 public:
  virtual ~Timer() = default;
  virtual void SetInterval(uint32_t ms) = 0;
  virtual uint32_t Interval() const = 0;
  // An enabled timer with interval 0 never fires.
  virtual void SetEnabled(bool enabled) = 0;
  virtual bool Enabled() const = 0;
};

class TimerFactory {
 public:
  virtual ~TimerFactory() = default;
  // The timer starts disabled; on_tick runs on the main thread.
  virtual std::unique_ptr<Timer> Create(std::function<void()> on_tick) = 0;
};

}  // namespace sonavi
