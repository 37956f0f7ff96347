// Hands work from a worker thread to the main thread.
#pragma once

#include <functional>
#include <thread>

namespace sonavi {

class MainThreadDispatcher {
 public:
  virtual ~MainThreadDispatcher() = default;
  // Runs step on the main thread the next time it handles messages and returns once
  // it has run. Returns false without running it when the dispatcher is shutting down
  // or joining the calling worker.
  virtual bool RunOnMainThread(const std::function<void()>& step) = 0;
  // Called on the main thread: waits for the worker to end, refusing the steps that this
  // worker hands over meanwhile (a refused hand-over ends its cycle), so that stopping a
  // worker cannot deadlock. Other workers' hand-overs are not refused.
  virtual void JoinServing(std::thread& worker) = 0;
};

}  // namespace sonavi
