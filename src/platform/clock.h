// Time as the program sees it: the 32-bit millisecond tick count, the sleeps of the
// blocking waits, and the local date and time.
#pragma once

#include <cstdint>

namespace sonavi {

struct LocalTime {
  int year = 0;
  int month = 0;  // 1..12
  int day = 0;    // 1..31
  int hour = 0;
  int minute = 0;
  int second = 0;
};

class Clock {
 public:
  virtual ~Clock() = default;
  // Milliseconds since system start; wraps after 2^32 ms.
  virtual uint32_t TickCount() = 0;
  // Blocks the calling thread; processes no messages.
  virtual void Sleep(uint32_t ms) = 0;
  virtual LocalTime Now() = 0;
};

// The system clock (GetTickCount, Sleep, GetLocalTime on Windows).
Clock& SystemClock();

}  // namespace sonavi
