// Test doubles for the tray icon: a shell that records every request, timers that run on
// a simulated millisecond clock, a dispatcher whose hand-overs the test serves by hand,
// and a clock whose sleeps only advance it.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/dispatcher.h"
#include "platform/timer.h"
#include "tray/tray_shell.h"

namespace sonavi::testing {

class FakeClock : public Clock {
 public:
  uint32_t TickCount() override { return now_.load(); }
  void Sleep(uint32_t ms) override { now_ += ms; }
  LocalTime Now() override { return {}; }

 private:
  std::atomic<uint32_t> now_{0};
};

// Timers on a simulated clock that moves only through Advance.
class FakeTimers : public TimerFactory {
 public:
  class FakeTimer : public Timer {
   public:
    FakeTimer(FakeTimers& owner, std::function<void()> tick)
        : owner_(owner), tick_(std::move(tick)) {}
    ~FakeTimer() override { owner_.Forget(this); }
    // Like the system's timers, setting the interval of a running timer or switching it on
    // again starts its period afresh.
    void SetInterval(uint32_t ms) override {
      interval_ = ms;
      if (enabled_) due_ = owner_.now_ + ms;
    }
    uint32_t Interval() const override { return interval_; }
    void SetEnabled(bool enabled) override {
      enabled_ = enabled;
      if (enabled_) due_ = owner_.now_ + interval_;
    }
    bool Enabled() const override { return enabled_; }

   private:
    friend class FakeTimers;
    FakeTimers& owner_;
    std::function<void()> tick_;
    uint32_t interval_ = 0;
    bool enabled_ = false;
    uint64_t due_ = 0;
  };

  std::unique_ptr<Timer> Create(std::function<void()> on_tick) override {
    auto timer = std::make_unique<FakeTimer>(*this, std::move(on_tick));
    timers_.push_back(timer.get());
    return timer;
  }

  // Moves the clock on by ms, firing every due timer at its own time.
  void Advance(uint64_t ms) {
    const uint64_t target = now_ + ms;
    for (;;) {
      FakeTimer* next = nullptr;
      for (FakeTimer* t : timers_) {
        if (t->enabled_ && t->interval_ > 0 && t->due_ <= target &&
            (next == nullptr || t->due_ < next->due_)) {
          next = t;
        }
      }
      if (next == nullptr) break;
      now_ = next->due_;
      next->due_ = now_ + next->interval_;
      next->tick_();
    }
    now_ = target;
  }

  uint64_t now() const { return now_; }
  size_t live_timers() const { return timers_.size(); }

 private:
  void Forget(FakeTimer* timer) { std::erase(timers_, timer); }
  uint64_t now_ = 0;
  std::vector<FakeTimer*> timers_;
};

// Hand-overs queue up until the test (standing in for the main thread) serves them.
class QueuedDispatcher : public MainThreadDispatcher {
 public:
  bool RunOnMainThread(const std::function<void()>& step) override {
    std::unique_lock<std::mutex> lock(lock_);
    if (shutting_down_ || joining_) return false;
    auto request = std::make_shared<Request>();
    request->step = &step;
    queue_.push_back(request);
    ++asked_;
    changed_.notify_all();
    changed_.wait(lock, [&] { return request->done || shutting_down_ || joining_; });
    if (!request->done) std::erase(queue_, request);
    return request->done;
  }

  // Like the application's dispatcher: while the worker ends, its hand-overs are refused.
  void JoinServing(std::thread& worker) override {
    if (!worker.joinable()) return;
    {
      std::lock_guard<std::mutex> lock(lock_);
      joining_ = true;
      changed_.notify_all();
    }
    worker.join();
    std::lock_guard<std::mutex> lock(lock_);
    joining_ = false;
  }

  // Serves the next hand-over (waiting for the worker to ask), then waits until the worker
  // asks again, which means it has finished the cycle that the hand-over began.
  void ServeCycle() {
    ASSERT_TRUE(ServeOne());
    std::unique_lock<std::mutex> lock(lock_);
    ASSERT_TRUE(changed_.wait_for(lock, kPatience, [&] { return !queue_.empty(); }))
        << "the worker did not come back for its next hand-over";
  }

  // Serves whatever hand-overs are waiting, without waiting for any.
  void ServeWaiting() {
    std::unique_lock<std::mutex> lock(lock_);
    while (!queue_.empty()) RunFront(lock);
  }

  void Shutdown() {
    std::lock_guard<std::mutex> lock(lock_);
    shutting_down_ = true;
    queue_.clear();
    changed_.notify_all();
  }

  int asked() {
    std::lock_guard<std::mutex> lock(lock_);
    return asked_;
  }

 private:
  struct Request {
    const std::function<void()>* step = nullptr;
    bool done = false;
  };
  // Only a safety net against a hung worker; the tests never rely on it running out.
  static constexpr std::chrono::seconds kPatience{10};

  bool ServeOne() {
    std::unique_lock<std::mutex> lock(lock_);
    if (!changed_.wait_for(lock, kPatience, [&] { return !queue_.empty(); })) return false;
    RunFront(lock);
    return true;
  }

  void RunFront(std::unique_lock<std::mutex>& lock) {
    auto request = queue_.front();
    queue_.pop_front();
    lock.unlock();
    (*request->step)();
    lock.lock();
    request->done = true;
    changed_.notify_all();
  }

  std::mutex lock_;
  std::condition_variable changed_;
  std::deque<std::shared_ptr<Request>> queue_;
  bool shutting_down_ = false;
  bool joining_ = false;
  int asked_ = 0;
};

class FakeTrayShell : public TrayShell {
 public:
  struct Request {
    uint32_t request;
    TrayNotifyData data;
    bool picture_alive;
  };

  static constexpr WindowHandle kMessageWindow = 0x500;
  static constexpr WindowHandle kApplicationWindow = 0x100;
  static constexpr WindowHandle kMainWindow = 0x200;
  static constexpr uint32_t kTaskbarCreated = 0xC123;

  // --- TrayShell
  bool NotifyIcon(uint32_t request, const TrayNotifyData& data) override {
    std::lock_guard<std::mutex> lock(lock_);
    const bool alive = data.hIcon == 0 || copies_.count(data.hIcon) != 0;
    requests_.push_back({request, data, alive});
    const char* names[] = {"add", "modify", "delete"};
    log_.push_back(request <= 2 ? names[request] : "notify?");
    return notify_result;
  }
  uint32_t RegisterMessage(const std::string& name) override {
    Log("register " + name);
    return kTaskbarCreated;
  }
  WindowHandle CreateMessageWindow(MessageProc proc) override {
    Log("create window");
    message_proc_ = std::move(proc);
    return kMessageWindow;
  }
  void DestroyMessageWindow(WindowHandle window) override {
    Log("destroy window " + std::to_string(window));
    message_proc_ = nullptr;
  }
  IconHandle CopyPicture(IconHandle icon) override {
    std::lock_guard<std::mutex> lock(lock_);
    const IconHandle copy = next_copy_++;
    copies_[copy] = icon;
    return copy;
  }
  void DestroyPicture(IconHandle icon) override {
    std::lock_guard<std::mutex> lock(lock_);
    EXPECT_EQ(copies_.erase(icon), 1u) << "picture destroyed twice or never made";
  }
  IconHandle LoadDefaultPicture() override { return 32517; }
  bool CursorPos(int* x, int* y) override {
    *x = cursor_x;
    *y = cursor_y;
    return cursor_ok;
  }
  bool AsyncKeyDown(int virtual_key) override { return keys_down.count(virtual_key) != 0; }
  uint32_t DoubleClickTime() override { return double_click_time; }
  void ProcessMessages() override {
    Log("process messages");
    if (on_process_messages) on_process_messages();
  }
  void SetForeground(WindowHandle window) override { Log("foreground " + std::to_string(window)); }
  void PostWindowMessage(WindowHandle window, uint32_t msg, uintptr_t, intptr_t) override {
    Log("post " + std::to_string(window) + " " + std::to_string(msg));
  }
  void OpenPopupMenu(MenuHandle menu, int x, int y, WindowHandle command_window) override {
    Log("popup " + std::to_string(menu) + " at " + std::to_string(x) + "," + std::to_string(y) +
        " to " + std::to_string(command_window));
  }
  void ClickDefaultMenuItem(MenuHandle menu, WindowHandle command_window) override {
    Log("default item " + std::to_string(menu) + " to " + std::to_string(command_window));
  }
  WindowHandle ApplicationWindow() override { return kApplicationWindow; }
  WindowHandle MainWindow() override { return main_window; }
  bool IsMdiParent(WindowHandle) override { return mdi_parent; }
  void ShowWindowCommand(WindowHandle window, int command) override {
    Log("show " + std::to_string(window) + " " + std::to_string(command));
  }
  void SetShowMainWindowOnStart(bool show) override {
    Log(std::string("show main on start ") + (show ? "true" : "false"));
  }
  WindowHandle ActiveControl() override { return active_control; }
  WindowHandle ParentWindow(WindowHandle window) override {
    auto it = parents.find(window);
    return it == parents.end() ? 0 : it->second;
  }
  void FocusWindow(WindowHandle window) override { Log("focus " + std::to_string(window)); }
  HookHandle HookWindow(WindowHandle window, HookProc before) override {
    Log("hook " + std::to_string(window));
    hooks_[window] = std::move(before);
    return window;  // the window stands for its hook
  }
  void UnhookWindow(HookHandle hook) override {
    Log("unhook " + std::to_string(hook));
    hooks_.erase(hook);
  }

  // --- for the tests
  // Delivers a message to the hidden window as the system would; false when it went to the
  // default handling.
  bool SendToMessageWindow(uint32_t msg, uintptr_t wparam, intptr_t lparam,
                           intptr_t* result = nullptr) {
    intptr_t ignored = 0;
    EXPECT_TRUE(message_proc_) << "no message window";
    return message_proc_(msg, wparam, lparam, result ? result : &ignored);
  }
  void Tray(uint32_t mouse_message) { SendToMessageWindow(0x800, 1, mouse_message); }
  // Runs a hooked window's hook for one message; false when the window is not hooked.
  bool SendToHook(WindowHandle window, uint32_t msg, uintptr_t wparam = 0, intptr_t lparam = 0) {
    auto it = hooks_.find(window);
    if (it == hooks_.end()) return false;
    it->second(msg, wparam, lparam);
    return true;
  }
  bool Hooked(WindowHandle window) const { return hooks_.count(window) != 0; }

  std::vector<Request> Requests(uint32_t kind) {
    std::lock_guard<std::mutex> lock(lock_);
    std::vector<Request> out;
    for (const auto& r : requests_) {
      if (r.request == kind) out.push_back(r);
    }
    return out;
  }
  std::vector<Request> Modifies() { return Requests(kNimModify); }
  std::vector<std::string> TakeLog() {
    std::lock_guard<std::mutex> lock(lock_);
    std::vector<std::string> out;
    out.swap(log_);
    requests_.clear();
    return out;
  }
  void Clear() { TakeLog(); }
  // The list picture that a copy was made from (0 when the handle is no live copy).
  IconHandle OriginalOf(IconHandle copy) {
    std::lock_guard<std::mutex> lock(lock_);
    auto it = copies_.find(copy);
    return it == copies_.end() ? 0 : it->second;
  }
  size_t LiveCopies() {
    std::lock_guard<std::mutex> lock(lock_);
    return copies_.size();
  }

  int cursor_x = 300;
  int cursor_y = 400;
  bool cursor_ok = true;
  std::set<int> keys_down;
  uint32_t double_click_time = 500;
  bool notify_result = true;
  WindowHandle main_window = kMainWindow;
  bool mdi_parent = false;
  WindowHandle active_control = 0;
  std::map<WindowHandle, WindowHandle> parents;
  std::function<void()> on_process_messages;

 private:
  void Log(const std::string& entry) {
    std::lock_guard<std::mutex> lock(lock_);
    log_.push_back(entry);
  }

  std::mutex lock_;
  std::vector<Request> requests_;
  std::vector<std::string> log_;
  std::map<IconHandle, IconHandle> copies_;
  IconHandle next_copy_ = 0x9000;
  MessageProc message_proc_;
  std::map<WindowHandle, HookProc> hooks_;
};

}  // namespace sonavi::testing
