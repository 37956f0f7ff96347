// Message boxes answered by the test; every box shown is recorded.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/message_box.h"

namespace sonavi {

class FakeMessageBoxes : public MessageBoxes {
 public:
  struct Shown {
    std::string text;
    uint32_t flags;
  };

  int Show(const std::string& text, uint32_t flags) override {
    shown.push_back({text, flags});
    if (on_show) on_show(text);
    if (answers.empty()) return (flags & kMbYesNo) ? kIdNo : kIdOk;
    const int answer = answers.front();
    answers.pop_front();
    return answer;
  }

  std::vector<Shown> shown;
  std::deque<int> answers;
  // Runs while the box is "open" (the program's timers keep running then).
  std::function<void(const std::string&)> on_show;
};

}  // namespace sonavi
