// The component with its real worker thread against the scripted driver. Every wait here
// is for a condition, with a limit far above what the work needs.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "serial/fake_comm.h"
#include "serial/serial_port.h"

namespace sonavi::testing {
namespace {

constexpr auto kLimit = std::chrono::seconds(20);

// Steps wait in a queue until the test thread, playing the main thread, pumps them.
class QueuedDispatcher : public MainThreadDispatcher {
 public:
  bool RunOnMainThread(const std::function<void()>& step) override {
    std::unique_lock<std::mutex> lock(mu_);
    if (shut_ || refusing_) return false;
    const uint64_t id = ++posted_;
    queue_.push_back(step);
    cv_.wait(lock, [&] { return done_ >= id || shut_ || refusing_; });
    return done_ >= id;
  }
  void Pump() {
    std::unique_lock<std::mutex> lock(mu_);
    while (!queue_.empty()) {
      std::function<void()> step = std::move(queue_.front());
      queue_.pop_front();
      lock.unlock();
      step();
      lock.lock();
      ++done_;
      cv_.notify_all();
    }
  }
  // Refuses hand-overs while the worker ends.
  void JoinServing(std::thread& worker) override {
    if (!worker.joinable()) return;
    {
      std::lock_guard<std::mutex> lock(mu_);
      ++joins;
      refusing_ = true;
      cv_.notify_all();
    }
    worker.join();
    std::lock_guard<std::mutex> lock(mu_);
    refusing_ = false;
  }
  void Shutdown() {
    std::lock_guard<std::mutex> lock(mu_);
    shut_ = true;
    cv_.notify_all();
  }

 private:
  std::mutex mu_;
  std::condition_variable cv_;
  std::deque<std::function<void()>> queue_;
  uint64_t posted_ = 0;
  uint64_t done_ = 0;
  bool shut_ = false;
  bool refusing_ = false;

 public:
  int joins = 0;
};

// Polls cond (running pump between polls) until it holds or the limit passes.
bool WaitUntil(const std::function<bool()>& cond, const std::function<void()>& pump = {}) {
  const auto end = std::chrono::steady_clock::now() + kLimit;
  while (std::chrono::steady_clock::now() < end) {
    if (pump) pump();
    if (cond()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return cond();
}

// Bytes already waiting when the worker first looks at an open port are read at once, as
// a block however short (its quiet time counts from the last time it saw the queue empty,
// or from its start): the modem sends only after the worker has had a whole pass over the
// empty queue (each pass reads the driver's counters at least once).
bool WorkerSawTheQueueEmpty(FakeComm& fake) { return fake.CountCalls("ClearCommError") >= 3; }

TEST(SerialPortThread, QuietWorkerQueuesClustersAndGoesIdleOnClose) {
  FakeComm fake;
  fake.SetRealPauseMicros(300);
  TSerialPort port(fake, nullptr);
  port.SetThreadQuietMode(true);
  port.SetActive(true);
  ASSERT_TRUE(port.Active());
  ASSERT_TRUE(WaitUntil([&] { return WorkerSawTheQueueEmpty(fake); }));

  fake.ModemSends("\r\nRING\r\n");
  ASSERT_TRUE(WaitUntil([&] { return port.PeekClusterSize() >= 0; }));
  EXPECT_EQ(port.ReadClusterText(), "\r\nRING\r\n");

  port.SendText("AT\r");
  EXPECT_EQ(fake.Written(), "AT\r");

  fake.ModemSends("OK\r\n");
  ASSERT_TRUE(WaitUntil([&] { return port.PeekClusterSize() >= 0; }));
  port.SetActive(false);
  EXPECT_FALSE(fake.PortOpen());
  EXPECT_TRUE(WaitUntil([&] { return !port.ThreadBusy(); }));
  EXPECT_EQ(port.ReadClusterText(), "OK\r\n");
}

TEST(SerialPortThread, ClusterEventRunsOnTheMainThread) {
  FakeComm fake;
  fake.SetRealPauseMicros(300);
  fake.SetWriteMode(FakeComm::WriteMode::kStuck);
  QueuedDispatcher dispatcher;
  {
    TSerialPort port(fake, &dispatcher);
    int clusters = 0;
    int writes_done = 0;
    bool on_main_thread = true;
    const std::thread::id main_id = std::this_thread::get_id();
    port.OnRxClusterEvent = [&](TSerialPort&) {
      ++clusters;
      on_main_thread = on_main_thread && std::this_thread::get_id() == main_id;
    };
    port.OnWriteDone = [&](TSerialPort&) { ++writes_done; };
    port.SetActive(true);
    const auto pump = [&] { dispatcher.Pump(); };
    ASSERT_TRUE(WaitUntil([&] { return WorkerSawTheQueueEmpty(fake); }, pump));

    fake.ModemSends("RING\r\n");
    ASSERT_TRUE(WaitUntil([&] { return clusters == 1; }, pump));
    EXPECT_TRUE(on_main_thread);
    EXPECT_EQ(port.ReadClusterText(), "RING\r\n");

    port.SendText("ATZ\r");
    EXPECT_TRUE(port.SendInProgress());
    fake.CompleteWrite();
    ASSERT_TRUE(WaitUntil([&] { return writes_done == 1; }, pump));
    EXPECT_FALSE(port.SendInProgress());
    EXPECT_EQ(port.WrittenBytes(), 4u);

    port.SetActive(false);
    EXPECT_TRUE(WaitUntil([&] { return !port.ThreadBusy(); }, pump));
  }
  EXPECT_EQ(dispatcher.joins, 1);
  EXPECT_EQ(fake.OpenEventCount(), 0);
}

// Closing settles a send the driver still runs while the worker may be ending it too.
TEST(SerialPortThread, ClosingRightAfterASendSettlesIt) {
  FakeComm fake;
  fake.SetRealPauseMicros(300);
  fake.SetWriteMode(FakeComm::WriteMode::kStuck);
  TSerialPort port(fake, nullptr);
  port.SetThreadQuietMode(true);
  int reports = 0;
  port.OnProcessError = [&](TSerialPort&, uint32_t place, uint32_t, const std::string&, uint8_t) {
    reports += place == 902 || place == 903 ? 1 : 0;
  };
  for (int i = 0; i < 20; ++i) {
    port.SetActive(true);
    port.SendText("AT\r");
    port.SetActive(false);
    EXPECT_FALSE(port.SendInProgress());
  }
  port.SendText("AT\r");
  EXPECT_EQ(reports, 2);
}

TEST(SerialPortThread, DestroyingAnOpenPortEndsTheWorker) {
  FakeComm fake;
  fake.SetRealPauseMicros(300);
  {
    TSerialPort port(fake, nullptr);
    port.SetActive(true);
    fake.ModemSends("data that nobody reads");
    ASSERT_TRUE(WaitUntil([&] { return port.PeekClusterSize() >= 0; }));
  }
  EXPECT_FALSE(fake.PortOpen());
  EXPECT_EQ(fake.OpenEventCount(), 0);
}

}  // namespace
}  // namespace sonavi::testing
