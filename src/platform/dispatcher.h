// Hands work from a worker thread to the main thread.
#pragma once

#include <functional>
#include <thread>

namespace sonavi {

class MainThreadDispatcher {
 public:
  virtual ~MainThreadDispatcher() = default;
  // Runs step on the main thread the next time it handles messages and returns once
  // it has run. Returns false without running it when the dispatcher is shutting down.
  virtual bool RunOnMainThread(const std::function<void()>& step) = 0;
  // Called on the main thread: waits for the worker to end while still running the
  // steps it hands over, so that stopping a worker cannot deadlock.
  virtual void JoinServing(std::thread& worker) = 0;
};

}  // namespace sonavi
