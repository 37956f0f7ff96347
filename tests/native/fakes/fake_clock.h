// A clock that moves only when the test moves it; every Sleep advances it.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "platform/clock.h"

namespace sonavi {

class FakeClock : public Clock {
 public:
  uint32_t TickCount() override { return tick_; }
  void Sleep(uint32_t ms) override {
    sleeps_.push_back(ms);
    Advance(ms);
  }
  LocalTime Now() override { return now_; }

  void SetTick(uint32_t tick) { tick_ = tick; }
  void Advance(uint32_t ms) {
    tick_ += ms;
    if (on_advance_) on_advance_(tick_);
  }
  void SetNow(const LocalTime& now) { now_ = now; }
  const std::vector<uint32_t>& sleeps() const { return sleeps_; }
  // Called after every advance with the new tick: lets a scripted device act "meanwhile".
  void OnAdvance(std::function<void(uint32_t)> hook) { on_advance_ = std::move(hook); }

 private:
  uint32_t tick_ = 1000;
  LocalTime now_{2005, 1, 5, 20, 54, 0};
  std::vector<uint32_t> sleeps_;
  std::function<void(uint32_t)> on_advance_;
};

}  // namespace sonavi
