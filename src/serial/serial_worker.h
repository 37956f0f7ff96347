// The serial port component's worker thread and what it shares with the component: the
// port's handle and flags, the three overlapped operations (read, WaitCommEvent, send), the
// line state the worker reports, the received-data queue and the port's health.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/dispatcher.h"
#include "serial/comm_api.h"

namespace sonavi {

class TSerialPort;

using TNotifyEvent = std::function<void(TSerialPort& sender)>;
using TNotifyErrorEvent = std::function<void(TSerialPort& sender, uint32_t place, uint32_t code,
                                             const std::string& msg, uint8_t noise)>;

// One block of received bytes, as one read returned them (possibly none).
class TSerialCluster {
 public:
  TSerialCluster(std::unique_ptr<char[]> data, uint32_t size, uint32_t line_errors)
      : data_(std::move(data)), size_(size), line_errors_(line_errors) {}
  uint32_t Size() const { return size_; }
  // The driver's error flags (CE_...) when the block was built.
  uint32_t LineErrors() const { return line_errors_; }
  // Exactly Size() bytes, zero bytes included.
  std::string Text() const { return size_ == 0 ? std::string() : std::string(data_.get(), size_); }

 private:
  std::unique_ptr<char[]> data_;
  uint32_t size_;
  uint32_t line_errors_;
};

// One overlapped operation on the port: its record, whose event the driver signals when the
// operation ends, and the buffer the driver fills or sends from. From the call that goes
// pending until the driver lets go, both are the driver's: nothing may start on them, change
// them or free them. Orphaned: no longer waited for (a failed wait, a send given up, a port
// being closed) while the driver may still hold it. The state and the byte count of the
// operation's end live in one atomic word, so that whoever sees an operation no longer
// pending also sees how it ended, and of two threads trying to end it exactly one does.
class OverlappedOp {
 public:
  enum class State : uint8_t { kIdle, kPending, kOrphaned };
  struct Result {
    bool ended = false;  // false: the driver still holds the operation (or, for a caller
                         // that lost the race, another thread took its end)
    bool ok = false;
    uint32_t count = 0;  // bytes moved, when ok
    uint32_t error = 0;  // why it failed, when not ok
  };

  CommOverlapped record;
  std::vector<char> buffer;

  State state() const { return StateOf(word_); }
  bool Held() const { return state() != State::kIdle; }
  // Bytes moved by the last operation that ended well while waited for (0 once one is
  // given up).
  uint32_t count() const { return CountOf(word_); }
  // The call that started the operation went pending.
  void Pend() { word_ = Pack(State::kPending, count()); }
  // The call that started the operation ended it at once, moving count bytes.
  void EndedAtOnce(uint32_t count) { word_ = Pack(State::kIdle, count); }
  // Stops waiting for a pending operation, which ends it with no bytes moved; false if it
  // was not pending.
  bool Orphan() {
    uint64_t word = word_;
    return StateOf(word) == State::kPending &&
           word_.compare_exchange_strong(word, Pack(State::kOrphaned, 0));
  }
  // Asks the driver once, without waiting. When the operation has ended it is idle again and
  // the result says how it ended; a pending one that ended well publishes its byte count
  // with its end. With pending_only, one already given up is left as it is.
  Result Poll(CommApi& api, CommHandle handle, bool pending_only = false);

 private:
  static uint64_t Pack(State state, uint32_t count) {
    return uint64_t{count} << 32 | static_cast<uint8_t>(state);
  }
  static State StateOf(uint64_t word) { return static_cast<State>(word & 0xFF); }
  static uint32_t CountOf(uint64_t word) { return static_cast<uint32_t>(word >> 32); }

  std::atomic<uint64_t> word_{0};
};

// The port's health, noted by both threads. A failure whose code says the device has gone
// marks it gone at once. So do passes that fail (the status, a read, or a WaitCommEvent that
// went pending failed) kFailedPassesForGone times in a row, and a send that nothing answers
// within kUnansweredSendMs when the port failed in that time (a failed pass, or the send
// itself failed, was given up, was cut short or was refused). Any bytes received answer a
// send.
class PortHealth {
 public:
  explicit PortHealth(const std::atomic<bool>& port_active) : active_(port_active) {}

  bool DeviceGone() const { return device_gone_; }
  // A call on the open port failed with error. True when it counts against the port: any
  // error but ERROR_NOT_SUPPORTED (a call the driver does not offer).
  bool NoteFailure(uint32_t error);
  // The send did not get through: it failed with error, or (error 0) was given up, cut
  // short or refused.
  void NoteSendFailed(uint32_t error = 0);
  void NoteSend(uint32_t tick);
  void NoteAnswer() { awaiting_answer_ = false; }
  // The worker's pass on the open port has ended; failed as NotePassFailure says.
  void NotePassEnd(bool failed, uint32_t now);
  void NoteOpened();

 private:
  const std::atomic<bool>& active_;
  std::atomic<bool> device_gone_{false};
  std::atomic<int> failed_passes_{0};
  std::atomic<bool> awaiting_answer_{false};
  std::atomic<bool> failed_since_send_{false};
  std::atomic<uint32_t> send_tick_{0};
};

// How a send ended: Place 0 when it ended well.
struct SendEnd {
  uint32_t place = 0;
  uint32_t code = 0;
  const char* msg = "";
};

// The send in progress: the main thread starts it, and either thread may end it.
class SendState {
 public:
  SendState(CommApi& api, const std::atomic<CommHandle>& com_handle, PortHealth& health)
      : api_(api), com_handle_(com_handle), health_(health) {}

  OverlappedOp write_op;  // a send is in progress while its write is pending
  std::atomic<uint32_t> requested_write_count{0};
  std::atomic<uint32_t> write_start_tick{0};
  std::atomic<uint32_t> write_timeout_ms{0};

  bool InProgress() const { return write_op.state() == OverlappedOp::State::kPending; }
  // Looks at the send in progress and ends it when the driver has, or, with give_up, ends
  // it at once: a send the driver still runs is then cancelled and left to the driver
  // until it lets go. Returns true to the one thread that ended it, *end then saying how;
  // false while it goes on, or when there is none (also when the other thread has just
  // ended it: when this returns, a send given up has ended either way).
  bool End(bool give_up, SendEnd* end);

 private:
  CommApi& api_;
  const std::atomic<CommHandle>& com_handle_;
  PortHealth& health_;
};

// The line state as the worker last saw it; the component only reads it.
struct LineState {
  std::atomic<bool> cts_state{false};
  std::atomic<bool> dsr_state{false};
  std::atomic<bool> rlsd_state{false};
  std::atomic<bool> ring_state{false};
  std::atomic<uint32_t> comm_error{0};
  std::atomic<uint8_t> comm_state_flags{0};
  std::atomic<uint32_t> comm_state_in_queue{0};
  std::atomic<uint32_t> comm_state_out_queue{0};
  std::atomic<uint32_t> modem_state{0};
  std::atomic<uint32_t> comm_event{0};
};

// What the component and its worker share. Plain atomics, except the cluster queue, which
// its lock guards. The component opens and closes the port, writes the settings and starts
// sends; the worker runs the read and the WaitCommEvent, writes the line state and queues
// clusters; both end sends and note the port's health.
struct SerialShared {
  SerialShared(CommApi& comm_api, MainThreadDispatcher* main_thread)
      : api(comm_api),
        dispatcher(main_thread),
        health(active),
        send(comm_api, com_handle, health) {}

  CommApi& api;
  MainThreadDispatcher* const dispatcher;
  int32_t platform_id = -1;
  std::atomic<bool> destroying{false};
  std::atomic<bool> thread_busy{false};
  std::atomic<bool> thread_quiet_mode{false};

  std::atomic<bool> active{false};
  std::atomic<CommHandle> com_handle{kInvalidCommHandle};
  OverlappedOp read_op;
  OverlappedOp event_op;
  uint32_t event_mask = 0;  // written by the driver when a pending WaitCommEvent ends

  // Settings the worker reads.
  std::atomic<bool> read_request{false};
  std::atomic<uint16_t> cluster_size{3072};
  std::atomic<uint32_t> rto_char_delay_time{1100};
  std::atomic<uint16_t> rto_extra_delay_time{250};

  PortHealth health;
  SendState send;
  LineState line;

  std::mutex queue_lock;
  std::deque<std::unique_ptr<TSerialCluster>> cluster_queue;
};

inline constexpr int kFailedPassesForGone = 10;
// The longest the worker waits on the driver in one pass, and its sleep while idle.
inline constexpr uint32_t kWorkerWaitMs = 75;
inline constexpr uint32_t kIdleSleepMs = 200;
// A modem answers every command within 2 s.
inline constexpr uint32_t kUnansweredSendMs = 2000;
// How long a component that ends waits for the driver to let go of its operations.
inline constexpr uint32_t kDriverLetGoMs = 2000;

// The component's worker. While the port is open it keeps one WaitCommEvent and at most
// one read outstanding, watches the modem status and the driver's counters, finishes
// pending sends and queues received clusters; it goes on serving a closed port until the
// driver has let go of every operation, and then idles, sleeping 200 ms per pass. RunPass()
// is one pass of the loop; the thread started by Start() just loops it, and a test may
// call it step by step instead.
class TWorkThread {
 public:
  TWorkThread(TSerialPort& owner, SerialShared& shared);
  ~TWorkThread();
  TWorkThread(const TWorkThread&) = delete;
  TWorkThread& operator=(const TWorkThread&) = delete;

  void Start();
  // Asks the loop to end; it ends at the first pass end at which the port is closed.
  void Terminate() { terminated_ = true; }
  // Waits for the thread started by Start() to end (nothing to wait for otherwise), through
  // the component's dispatcher when it has one.
  void WaitFor();
  // Runs one pass; false once the loop has ended.
  bool RunPass();
  bool Finished() const { return finished_; }

  bool ServingPort() const { return serving_port_; }
  bool ReadPending() const { return s_.read_op.state() == OverlappedOp::State::kPending; }
  bool EventWaitPending() const { return s_.event_op.state() == OverlappedOp::State::kPending; }
  // A read pending or given up, which the driver may still hold.
  bool ReadHeld() const { return s_.read_op.Held(); }

 private:
  void ServingPass();
  void CheckLineStatus();
  void CheckWriteDone();
  void StartRead();
  // Each false when the operation ended in a failure.
  bool FinishRead();
  void QueueCluster(const char* bytes, uint32_t size);
  void StartEventWait();
  bool FinishEventWait();
  void DispatchCommEvents(uint32_t mask);
  void Report(uint32_t place, uint32_t code, const std::string& msg);
  bool CanDeliver() const;
  void DeliverToMainThread(const std::function<void()>& step);
  void DeliverHandler(TNotifyEvent TSerialPort::*handler);
  void DeliverWriteDone();
  void SignalOverlappedEvent(CommOverlapped& record);
  // A status call, a read or a WaitCommEvent that had gone pending failed on the port.
  void NotePassFailure(uint32_t error);

  TSerialPort& owner_;
  SerialShared& s_;
  CommApi& api_;
  std::thread thread_;
  std::atomic<bool> terminated_{false};
  std::atomic<bool> finished_{false};
  bool loop_end_ = false;

  std::atomic<bool> serving_port_{false};
  uint32_t last_read_tick_ = 0;
  bool events_came_at_once_ = false;
  bool pass_failed_ = false;
  uint32_t pause_ms_ = 0;  // how long a pass with nothing pending pauses
  uint32_t modem_status_ = 0;
  uint32_t line_errors_ = 0;
  CommStat com_stat_;
};

}  // namespace sonavi
