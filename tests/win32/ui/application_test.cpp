// The application's start-up steps, and its hand-over from worker threads to the main thread.
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

  // Asked from inside the joined worker, so while the join is certainly under way.
  const std::thread::id other_id = other.get_id();
  bool joined_refused = false;
  bool refuses_joined = false;
  bool refuses_other = true;
  std::thread joined([&] {
    joined_refused = !app.RunOnMainThread([] {});
    refuses_joined = app.RefusesHandOversOf(std::this_thread::get_id());
    refuses_other = app.RefusesHandOversOf(other_id);
  });
  app.JoinServing(joined);
  EXPECT_TRUE(joined_refused);
  EXPECT_TRUE(refuses_joined);
  EXPECT_FALSE(refuses_other);
  EXPECT_EQ(other_result, -1);
  while (other_result < 0) {
    app.ProcessMessages();
    Sleep(1);
  }
  other.join();
  EXPECT_EQ(other_result, 1);
  EXPECT_TRUE(other_served);
}

// "Sair" under a start-up box: the box's own loop takes the quit; no box after it shows.
TEST(ApplicationStartUp, AQuitDuringAStepSkipsTheStepsAfterIt) {
  ui::Application app(GetModuleHandleA(nullptr));
  bool next_step_ran = false;
  app.Run({[&] { app.Terminate(); }, [&] { next_step_ran = true; }});
  EXPECT_FALSE(next_step_ran);
  MSG quit;
  PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);  // not for the tests after this one
}

}  // namespace
}  // namespace sonavi
