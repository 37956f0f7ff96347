// The application's hand-over from worker threads to the main thread.
#include "ui/application.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <thread>

namespace sonavi {
namespace {

TEST(ApplicationHandOver, JoiningAWorkerRefusesOnlyThatWorkersHandOvers) {
  ui::Application app(GetModuleHandleA(nullptr));
  // Another worker (the tray's, say) waits for the main thread when the join begins.
  std::atomic<int> other_result{-1};
  bool other_served = false;
  std::thread other(
      [&] { other_result = app.RunOnMainThread([&] { other_served = true; }) ? 1 : 0; });
  MSG msg;
  while (!PeekMessageA(&msg, app.handle(), 0, 0, PM_NOREMOVE)) Sleep(1);

  bool joined_refused = false;
  std::thread joined([&] {
    joined_refused = !app.RunOnMainThread([] {});
    // Gives a wrongly refused hand-over of the other worker the time to come back.
    for (int i = 0; i < 50 && other_result < 0; ++i) Sleep(1);
  });
  app.JoinServing(joined);
  EXPECT_TRUE(joined_refused);
  EXPECT_EQ(other_result, -1);
  while (other_result < 0) {
    app.ProcessMessages();
    Sleep(1);
  }
  other.join();
  EXPECT_EQ(other_result, 1);
  EXPECT_TRUE(other_served);
}

}  // namespace
}  // namespace sonavi
