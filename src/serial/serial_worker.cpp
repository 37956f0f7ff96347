#include "serial/serial_worker.h"

#include <algorithm>
#include <cstring>

#include "serial/serial_port.h"

namespace sonavi {

namespace {

constexpr uint32_t kLineErrorMask =
    comm::kCeRxOver | comm::kCeOverrun | comm::kCeRxParity | comm::kCeFrame | comm::kCeBreak;

}  // namespace

// ---------------------------------------------------------------------------------------
// OverlappedOp and what the component shares with the worker

OverlappedOp::Result OverlappedOp::Poll(CommApi& api, CommHandle handle, bool pending_only) {
  uint64_t held = word_;
  if (StateOf(held) == State::kIdle || (pending_only && StateOf(held) != State::kPending)) {
    return {};
  }
  Result result;
  if (api.GetOverlappedResult(handle, &record, &result.count, false)) {
    result.ok = true;
  } else {
    result.error = api.GetLastError();
    result.count = 0;
    // ERROR_IO_INCOMPLETE is the system's answer while the operation runs; nothing that
    // looks like "pending" may free the record.
    if (result.error == comm::kErrorIoIncomplete || result.error == comm::kErrorIoPending) {
      return {};
    }
  }
  // Only a pending operation that ended well changes the count (one given up published 0).
  const bool counts = StateOf(held) == State::kPending && result.ok;
  const uint32_t count = counts ? result.count : CountOf(held);
  if (!word_.compare_exchange_strong(held, Pack(State::kIdle, count))) return {};
  result.ended = true;
  return result;
}

bool SendState::End(bool give_up, SendEnd* end) {
  // Only a send still pending: one already given up has been reported, and only its record
  // is left to free.
  const OverlappedOp::Result result = write_op.Poll(api_, com_handle_, true);
  if (result.ended) {
    if (result.ok) {
      const uint32_t requested = requested_write_count;
      // The write time-out cut the send short; the code is the number of bytes not sent.
      if (result.count != requested) {
        *end = {9701, requested - result.count, "Error write TimeOut"};
        health_.NoteSendFailed();
      }
    } else {
      health_.NoteSendFailed(result.error);
      api_.ResetEvent(write_op.record.hEvent);
      *end = {9702, result.error, "Error getting Overlapped Result"};
    }
    return true;
  }
  // Whoever gives it up ends it; one that loses to the other thread's end finds it ended.
  if (!give_up || !write_op.Orphan()) return false;
  // Ended for real, whichever thread started it; the driver keeps the bytes and the record
  // until it lets go, and the next send waits for that.
  if (!api_.CancelIoEx(com_handle_, &write_op.record)) {
    api_.PurgeComm(com_handle_, comm::kPurgeTxAbort);
  }
  api_.ResetEvent(write_op.record.hEvent);
  health_.NoteSendFailed(comm::kErrorIoPending);
  *end = {9701, comm::kErrorIoPending, "Error write TimeOut"};
  return true;
}

bool PortHealth::NoteFailure(uint32_t error) {
  if (!active_) return false;
  switch (error) {
    case comm::kErrorNotSupported:
      return false;
    // What drivers answer once the device has gone (ERROR_NOT_READY: Wine, once the
    // device behind the port has hung up).
    case comm::kErrorInvalidFunction:
    case comm::kErrorAccessDenied:
    case comm::kErrorNotReady:
    case comm::kErrorBadCommand:
    case comm::kErrorGenFailure:
    case comm::kErrorDeviceNotConnected:
      device_gone_ = true;
      break;
    default:
      break;
  }
  return true;
}

void PortHealth::NoteSendFailed(uint32_t error) {
  if (error != 0 && !NoteFailure(error)) return;
  if (active_ && awaiting_answer_) failed_since_send_ = true;
}

void PortHealth::NoteSend(uint32_t tick) {
  send_tick_ = tick;
  failed_since_send_ = false;
  awaiting_answer_ = true;
}

void PortHealth::NotePassEnd(bool failed, uint32_t now) {
  failed_passes_ = failed ? failed_passes_ + 1 : 0;
  if (failed_passes_ >= kFailedPassesForGone) device_gone_ = true;
  if (!awaiting_answer_) return;
  // Signed: a send noted after this pass read the clock is not yet due.
  if (static_cast<int32_t>(now - send_tick_) <= static_cast<int32_t>(kUnansweredSendMs)) {
    if (failed) failed_since_send_ = true;
    return;
  }
  // Nothing has answered the send: only the failures until now count with it.
  if (failed_since_send_) device_gone_ = true;
  awaiting_answer_ = false;
}

void PortHealth::NoteOpened() {
  device_gone_ = false;
  failed_passes_ = 0;
  awaiting_answer_ = false;
  failed_since_send_ = false;
}

// ---------------------------------------------------------------------------------------
// TWorkThread

TWorkThread::TWorkThread(TSerialPort& owner, SerialShared& shared)
    : owner_(owner), s_(shared), api_(shared.api) {
  last_read_tick_ = api_.GetTickCount();
  serving_port_ = s_.active.load();
}

TWorkThread::~TWorkThread() {
  Terminate();
  WaitFor();
}

void TWorkThread::Start() {
  thread_ = std::thread([this] {
    while (RunPass()) {
    }
  });
}

void TWorkThread::WaitFor() {
  if (!thread_.joinable()) return;
  // The dispatcher serves or refuses the worker's hand-overs meanwhile, so that a worker
  // waiting for the main thread cannot block the join.
  if (s_.dispatcher != nullptr) {
    s_.dispatcher->JoinServing(thread_);
  } else {
    thread_.join();
  }
}

bool TWorkThread::RunPass() {
  if (loop_end_) return false;
  if (!serving_port_) {
    s_.thread_busy = false;
    serving_port_ = s_.active.load();
    api_.Sleep(kIdleSleepMs);
  } else {
    ServingPass();
  }
  // Never ends while the port is open: the component closes it first. An operation the
  // driver still holds then ends with the thread (the system cancels a thread's I/O as it
  // ends), and the component waits a while for the driver to let go of it.
  if (terminated_ && (!serving_port_ || !s_.active)) {
    loop_end_ = true;
    s_.thread_busy = false;
    finished_ = true;
  }
  return !loop_end_;
}

void TWorkThread::ServingPass() {
  using State = OverlappedOp::State;
  s_.thread_busy = true;
  pass_failed_ = false;
  if (s_.active) CheckLineStatus();
  CheckWriteDone();
  pause_ms_ = kWorkerWaitMs;
  // An operation given up while the driver held it is finished once the driver lets go,
  // and only then may another start on its record.
  if (s_.read_op.state() == State::kOrphaned) FinishRead();
  if (!s_.read_op.Held() && s_.active) StartRead();
  events_came_at_once_ = false;
  if (s_.event_op.state() == State::kOrphaned) FinishEventWait();
  if (!s_.event_op.Held() && s_.active) StartEventWait();

  const bool read = ReadPending();
  const bool wait = EventWaitPending();
  if (read || wait) {
    const CommHandle events[2] = {s_.read_op.record.hEvent, s_.event_op.record.hEvent};
    const uint32_t result = read && wait
                                ? api_.WaitForMultipleObjects(2, events, false, kWorkerWaitMs)
                                : api_.WaitForSingleObject(events[read ? 0 : 1], kWorkerWaitMs);
    if (s_.active) CheckLineStatus();
    bool failed = false;
    if (read && result == comm::kWaitObject0) {
      failed = !FinishRead();
    } else if (wait && result == comm::kWaitObject0 + (read ? 1 : 0)) {
      failed = !FinishEventWait();
    } else if (result != comm::kWaitTimeout) {
      Report(read && wait ? 9911 : read ? 9912 : 9913, result, "Error getting Overlappedresult");
      // The driver keeps what it holds; both are finished once it lets go.
      s_.read_op.Orphan();
      s_.event_op.Orphan();
    }
    // A driver that fails what it has just started would have the next pass start it again
    // at once.
    if (failed && s_.active) api_.Sleep(pause_ms_);
  } else if (!events_came_at_once_) {
    // Nothing to wait on (a driver without comm events, bytes still gathering): pause
    // as long as a wait would, so that the pass does not spin, but no longer than until
    // the bytes waiting are due to be read.
    api_.Sleep(pause_ms_);
  }

  if (s_.active) {
    s_.health.NotePassEnd(pass_failed_, api_.GetTickCount());
    return;
  }
  // The port is being closed: end what is still pending, and serve it until the driver
  // has let go of every operation. The component's SetCommMask(0), purge and close end
  // them; the worker calls nothing on the port now, whose handle may already be a
  // reopened port's.
  if (ReadPending()) SignalOverlappedEvent(s_.read_op.record);
  if (EventWaitPending()) SignalOverlappedEvent(s_.event_op.record);
  if (!s_.read_op.Held() && !s_.event_op.Held() && !s_.send.write_op.Held()) {
    serving_port_ = false;
  }
}

void TWorkThread::CheckLineStatus() {
  const CommHandle handle = s_.com_handle;
  if (!api_.GetCommModemStatus(handle, &modem_status_)) {
    const uint32_t error = api_.GetLastError();
    NotePassFailure(error);
    Report(9905, error, "Error getting ModemStatus");
  } else {
    const uint32_t previous = s_.line.modem_state;
    const bool ring_now = (modem_status_ & comm::kMsRingOn) != 0;
    const bool ring_before = (previous & comm::kMsRingOn) != 0;
    // The Windows 9x family signals no EV_RING: its falling ring-indicator edge counts.
    const bool ring_due = s_.platform_id == 1 && !ring_now && ring_before;
    if (ring_due) s_.line.ring_state = false;
    s_.line.modem_state = modem_status_;
    s_.line.cts_state = (modem_status_ & comm::kMsCtsOn) != 0;
    s_.line.dsr_state = (modem_status_ & comm::kMsDsrOn) != 0;
    s_.line.rlsd_state = (modem_status_ & comm::kMsRlsdOn) != 0;
    s_.line.ring_state = ring_now;
    if (ring_now != ring_before) DeliverHandler(&TSerialPort::OnRIEvent);
    if (ring_due) DispatchCommEvents(comm::kEvRing);
  }

  // Until two readings in a row agree (reading also clears the driver's error flags).
  for (;;) {
    uint32_t errors = line_errors_;
    CommStat stat = com_stat_;
    if (!api_.ClearCommError(handle, &errors, &stat)) {
      const uint32_t error = api_.GetLastError();
      NotePassFailure(error);
      Report(9803, error, "Error ClearCommError");
      break;
    }
    line_errors_ = errors;
    com_stat_ = stat;
    const uint8_t flags = static_cast<uint8_t>(stat.Flags & 0xFF);
    if (errors == s_.line.comm_error && flags == s_.line.comm_state_flags &&
        stat.cbInQue == s_.line.comm_state_in_queue &&
        stat.cbOutQue == s_.line.comm_state_out_queue) {
      break;
    }
    s_.line.comm_error = errors;
    s_.line.comm_state_flags = flags;
    s_.line.comm_state_in_queue = stat.cbInQue;
    s_.line.comm_state_out_queue = stat.cbOutQue;
    DeliverHandler(&TSerialPort::OnCommStat);
  }
}

void TWorkThread::StartRead() {
  const uint32_t waiting = com_stat_.cbInQue;
  if (waiting == 0) {
    last_read_tick_ = api_.GetTickCount();
    return;
  }
  const uint32_t since_last_read = api_.GetTickCount() - last_read_tick_;
  const double quiet_limit =
      waiting * static_cast<double>(s_.rto_char_delay_time) / 1000.0 + s_.rto_extra_delay_time;
  const bool read_now = s_.read_request || waiting >= s_.cluster_size ||
                        since_last_read > quiet_limit || (line_errors_ & kLineErrorMask) != 0;
  if (!read_now) {
    // Without comm events nothing wakes the worker when the block is due: its pause
    // ends then (1 ms after the limit, which is a strict "more than").
    const double due_in = quiet_limit - since_last_read + 1.0;
    if (due_in < pause_ms_) pause_ms_ = due_in < 1.0 ? 1u : static_cast<uint32_t>(due_in);
    return;
  }

  OverlappedOp& op = s_.read_op;
  op.buffer.assign(waiting, '\0');
  uint32_t bytes_read = 0;
  if (api_.ReadFile(s_.com_handle, op.buffer.data(), waiting, &bytes_read, &op.record)) {
    s_.read_request = false;
    QueueCluster(op.buffer.data(), std::min(bytes_read, waiting));
    last_read_tick_ = api_.GetTickCount();
    return;
  }
  const uint32_t error = api_.GetLastError();
  if (error == comm::kErrorIoPending) {
    op.Pend();
    return;
  }
  s_.read_request = false;
  NotePassFailure(error);
  Report(9804, error, "Error reading Data");
}

bool TWorkThread::FinishRead() {
  OverlappedOp& op = s_.read_op;
  const bool waited_for = ReadPending();
  const OverlappedOp::Result result = op.Poll(api_, s_.com_handle);
  if (!result.ended) {
    // Its event is signalled (the port is being closed) but the driver still holds it.
    op.Orphan();
    return true;
  }
  if (result.ok) {
    QueueCluster(op.buffer.data(), std::min(result.count, static_cast<uint32_t>(op.buffer.size())));
    last_read_tick_ = api_.GetTickCount();
    return true;
  }
  if (result.error == comm::kErrorOperationAborted) {
    Report(9907, result.error, "Error read aborted");
  } else {
    Report(9908, result.error, "Error getting Overlappedresult");
  }
  // One no longer waited for may be an earlier handle's, ending after the port was reopened.
  if (waited_for) NotePassFailure(result.error);
  return false;
}

void TWorkThread::QueueCluster(const char* bytes, uint32_t size) {
  if (s_.destroying) return;
  if (size > 0) s_.health.NoteAnswer();
  std::unique_ptr<char[]> block;
  if (size > 0) {
    block = std::make_unique<char[]>(size);
    std::memcpy(block.get(), bytes, size);
  }
  auto cluster = std::make_unique<TSerialCluster>(std::move(block), size, line_errors_);
  {
    std::lock_guard<std::mutex> lock(s_.queue_lock);
    s_.cluster_queue.push_back(std::move(cluster));
  }
  DeliverToMainThread([this] {
    if (owner_.OnRxClusterEvent) owner_.OnRxClusterEvent(owner_);
  });
}

void TWorkThread::StartEventWait() {
  s_.event_mask = 0;
  if (api_.WaitCommEvent(s_.com_handle, &s_.event_mask, &s_.event_op.record)) {
    // Events were waiting: the next pass starts at once to look for more.
    events_came_at_once_ = s_.event_mask != 0;
    CheckLineStatus();
    DispatchCommEvents(s_.event_mask);
    return;
  }
  const uint32_t error = api_.GetLastError();
  if (error == comm::kErrorIoPending) {
    s_.event_op.Pend();
    return;
  }
  // Not held against the port: a driver without comm events may answer with any code
  // (ERROR_INVALID_FUNCTION among them), and the port's other calls still tell.
  Report(9907, error, "Error calling WaitCommEvent");
}

bool TWorkThread::FinishEventWait() {
  const bool waited_for = EventWaitPending();
  const OverlappedOp::Result result = s_.event_op.Poll(api_, s_.com_handle);
  if (!result.ended) {
    // Its event is signalled (the port is being closed) but the driver still holds the
    // record and the mask it writes.
    s_.event_op.Orphan();
    return true;
  }
  if (!result.ok) {
    if (waited_for) NotePassFailure(result.error);
    return false;
  }
  // A wait ended by SetCommMask(0) while closing, or one no longer waited for,
  // dispatches nothing.
  if (waited_for && s_.active) {
    CheckLineStatus();
    DispatchCommEvents(s_.event_mask);
  }
  return true;
}

void TWorkThread::DispatchCommEvents(uint32_t mask) {
  if (s_.destroying) return;
  s_.line.comm_event = mask;
  struct Notification {
    uint32_t bit;
    TNotifyEvent TSerialPort::*handler;
  };
  static constexpr Notification kOrder[] = {
      {comm::kEvBreak, &TSerialPort::OnBreakEvent},
      {comm::kEvCts, &TSerialPort::OnCTSEvent},
      {comm::kEvDsr, &TSerialPort::OnDSREvent},
      {comm::kEvErr, &TSerialPort::OnLineErrorEvent},
      {comm::kEvRing, &TSerialPort::OnRingEvent},
      {comm::kEvRlsd, &TSerialPort::OnRLSDEvent},
      {comm::kEvRxChar, &TSerialPort::OnRxCharEvent},
      {comm::kEvRxFlag, &TSerialPort::OnRxEventCharEvent},
      {comm::kEvTxEmpty, &TSerialPort::OnTxQueueEmptyEvent},
  };
  for (const Notification& n : kOrder) {
    if (mask & n.bit) DeliverHandler(n.handler);
  }
  if (mask != 0) DeliverHandler(&TSerialPort::OnCommEvent);
}

void TWorkThread::CheckWriteDone() {
  OverlappedOp& op = s_.send.write_op;
  if (op.state() == OverlappedOp::State::kOrphaned) {
    // A send given up while the driver held it: its record is free once the driver lets go.
    // While the driver still holds it, each pass purges the port's writes (a cancel or a
    // purge can fail). Not once it is no longer given up: the main thread may have ended
    // it and started the next send. (That narrows the race with such a send to the instant
    // between this check and the purge; a send purged there fails, is reported, and counts
    // against the port.)
    if (!op.Poll(api_, s_.com_handle).ended && op.state() == OverlappedOp::State::kOrphaned &&
        s_.active) {
      api_.PurgeComm(s_.com_handle, comm::kPurgeTxAbort);
    }
    return;
  }
  if (op.state() != OverlappedOp::State::kPending) return;
  // A driver that honours the send's time-out ends it then; one that does not has the send
  // given up a wait later.
  const uint32_t elapsed = api_.GetTickCount() - s_.send.write_start_tick;
  SendEnd end;
  if (!s_.send.End(elapsed > s_.send.write_timeout_ms + kWorkerWaitMs, &end)) return;
  if (end.place != 0) Report(end.place, end.code, end.msg);
  DeliverWriteDone();
}

void TWorkThread::DeliverWriteDone() {
  DeliverToMainThread([this] {
    if (owner_.OnWriteDone) owner_.OnWriteDone(owner_);
  });
}

void TWorkThread::DeliverHandler(TNotifyEvent TSerialPort::*handler) {
  if (!CanDeliver() || !(owner_.*handler)) return;
  DeliverToMainThread([this, handler] {
    if (owner_.*handler) (owner_.*handler)(owner_);
  });
}

void TWorkThread::Report(uint32_t place, uint32_t code, const std::string& msg) {
  // Worker reports are errors; ReportError filters them on the main thread.
  DeliverToMainThread([this, place, code, msg] { owner_.ReportError(place, code, 0, msg); });
}

bool TWorkThread::CanDeliver() const {
  return !s_.thread_quiet_mode && !s_.destroying && s_.dispatcher != nullptr;
}

void TWorkThread::DeliverToMainThread(const std::function<void()>& step) {
  // Nothing once destruction has begun: the main thread is then waiting for this worker.
  if (!CanDeliver()) return;
  s_.dispatcher->RunOnMainThread(step);
}

void TWorkThread::SignalOverlappedEvent(CommOverlapped& record) {
  if (!api_.SetEvent(record.hEvent)) {
    Report(1101, api_.GetLastError(), "Error signalling Overlapped Event");
  }
}

void TWorkThread::NotePassFailure(uint32_t error) {
  if (s_.health.NoteFailure(error)) pass_failed_ = true;
}

}  // namespace sonavi
