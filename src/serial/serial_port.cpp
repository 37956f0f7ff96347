#include "serial/serial_port.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace sonavi {

namespace {

// Microseconds per character (about 10.5 bit times) for the standard rates.
struct CharDelay {
  uint32_t rate;
  uint32_t delay_us;
};
constexpr CharDelay kCharDelays[] = {
    {110, 100000}, {300, 37000}, {600, 18000}, {1200, 9000}, {2400, 4500},
    {4800, 2300},  {9600, 1100}, {14400, 760}, {19200, 570}, {38400, 290},
    {56000, 200},  {57600, 190}, {115200, 95}, {128000, 85}, {256000, 43},
};

constexpr uint32_t kWorkerWaitMs = 75;
constexpr uint32_t kIdleSleepMs = 200;
constexpr uint32_t kLineErrorMask =
    comm::kCeRxOver | comm::kCeOverrun | comm::kCeRxParity | comm::kCeFrame | comm::kCeBreak;
constexpr size_t kMaxDeviceNameLength = 79;
constexpr size_t kMaxCommPortLength = 255;

// What GetOverlappedResult (not waiting) fails with while the driver still runs the
// operation, holding its buffer and record.
bool StillRunning(uint32_t error) {
  return error == comm::kErrorIoIncomplete || error == comm::kErrorIoPending;
}

}  // namespace

// ---------------------------------------------------------------------------------------
// TSerialPort: construction and destruction

TSerialPort::TSerialPort(CommApi& api, MainThreadDispatcher* dispatcher, WorkerMode mode)
    : api_(api), dispatcher_(dispatcher) {
  int32_t platform_id = 0;
  platform_id_ = api_.GetVersionEx(&platform_id) ? platform_id : -1;
  CreateOverlappedEvent(write_overlapped_);
  CreateOverlappedEvent(read_overlapped_);
  CreateOverlappedEvent(event_overlapped_);
  worker_ = std::make_unique<TWorkThread>(*this);
  if (mode == WorkerMode::kThread) worker_->Start();
}

TSerialPort::~TSerialPort() {
  destroying_ = true;
  ReopenPort(false);
  worker_->Terminate();
  WaitForWorkerIdle(10);
  worker_->WaitFor();
  for (CommOverlapped* record : {&write_overlapped_, &event_overlapped_, &read_overlapped_}) {
    if (record->hEvent != 0) api_.CloseHandle(record->hEvent);
  }
  {
    std::lock_guard<std::mutex> lock(queue_lock_);
    cluster_queue_.clear();
  }
  worker_.reset();
}

// ---------------------------------------------------------------------------------------
// Opening and closing

void TSerialPort::SetActive(bool active) {
  if (active == active_) return;
  ReopenPort(active);
}

void TSerialPort::SetCommPort(const std::string& port) {
  const std::string name = port.substr(0, kMaxCommPortLength);
  if (name == comm_port_) return;
  comm_port_ = name;
  ReopenPort(active_);
}

void TSerialPort::ReopenPort(bool open) {
  ClosePort();
  if (open) OpenPort();
}

void TSerialPort::ClosePort() {
  if (!active_) return;
  ReportError(100, 0, 2, "Msg start deactivating Port");
  const CommHandle handle = com_handle_;
  // Also completes a pending WaitCommEvent.
  if (!api_.SetCommMask(handle, 0)) {
    ReportError(101, api_.GetLastError(), 0, "Error disabling CommEvents");
  }
  // From here the worker starts nothing new on the port.
  active_ = false;
  // Ends pending reads and writes and empties both driver buffers.
  if (!api_.PurgeComm(handle, comm::kPurgeAll)) {
    ReportError(102, api_.GetLastError(), 0, "Error clearing Queues");
  }
  WaitForWorkerIdle(15);
  if (thread_busy_) ReportError(104, 0, 1, "Warning ThreadIsRunning");
  if (!api_.EscapeCommFunction(handle, comm::kClrDtr)) {
    ReportError(602, api_.GetLastError(), 0, "Error clearing DTR");
  }
  dtr_state_ = false;
  if (!api_.EscapeCommFunction(handle, comm::kClrRts)) {
    ReportError(502, api_.GetLastError(), 0, "Error clearing RTS");
  }
  rts_state_ = false;
  if (!api_.CloseHandle(handle)) ReportError(103, api_.GetLastError(), 0, "Error closing Port");
  com_handle_ = kInvalidCommHandle;
}

void TSerialPort::OpenPort() {
  ReportError(110, 0, 2, "Msg start reactivating Port");
  const std::string device = "\\\\.\\" + comm_port_.substr(0, kMaxDeviceNameLength);
  const CommHandle handle = api_.CreateFile(device, comm::kGenericRead | comm::kGenericWrite, 0,
                                            comm::kOpenExisting, comm::kFileFlagOverlapped);
  const uint32_t open_error = handle == kInvalidCommHandle ? api_.GetLastError() : 0;
  com_handle_ = handle;
  active_ = handle != kInvalidCommHandle;
  if (!active_) {
    ReportError(112, open_error, 0, "Error reopening Port");
    return;
  }
  device_gone_ = false;
  if (!api_.SetupComm(handle, rx_queue_size_, tx_queue_size_)) {
    ReportError(111, api_.GetLastError(), 0, "Error setup Queuesize");
  }
  ApplyCommSettings();
  SetDTRState(true);
  SetRTSState(true);
  EnableCommEvents();
}

void TSerialPort::EnableCommEvents() {
  if (!api_.SetCommMask(com_handle_, comm::kAllEvents)) {
    ReportError(201, api_.GetLastError(), 0, "Error activating CommEventMask");
  }
}

void TSerialPort::WaitForWorkerIdle(int count) {
  for (int i = 0; i < count && thread_busy_; ++i) api_.Sleep(kWorkerWaitMs);
}

// ---------------------------------------------------------------------------------------
// Line settings

void TSerialPort::ApplyCommSettings() {
  const CommHandle handle = com_handle_;
  CommDcb dcb;
  if (!api_.GetCommState(handle, &dcb)) {
    ReportError(801, api_.GetLastError(), 0, "Error getting DCB from CommState");
    return;
  }
  dcb.BaudRate = baud_rate_;
  // Rebuilt from scratch: whatever the driver had is discarded.
  uint32_t flags = comm::kDcbBinary;
  if (parity_type_ != 0) flags |= comm::kDcbParity;
  if (parity_error_replacement_) flags |= comm::kDcbErrorChar;
  flags |= static_cast<uint32_t>(flow_control_);
  if (strip_null_chars_) flags |= comm::kDcbNull;
  dcb.Flags = flags;
  dcb.Parity = parity_type_;
  dcb.ErrorChar = parity_error_char_;
  dcb.EvtChar = event_char_;
  dcb.StopBits = stop_bits_;
  dcb.ByteSize = data_bits_;
  dcb.XonChar = xon_char_;
  dcb.XoffChar = xoff_char_;
  dcb.XonLim = static_cast<uint16_t>(uint32_t{rx_queue_size_} * xon_lim_div_ / 100);
  dcb.XoffLim = static_cast<uint16_t>(uint32_t{rx_queue_size_} * xoff_lim_div_ / 100);
  dcb.EofChar = 0;

  // Reads return at once with what has arrived; writes have no time-out until a send
  // sets one.
  CommTimeouts timeouts;
  bool timeouts_ok = api_.GetCommTimeouts(handle, &timeouts);
  uint32_t timeouts_error = timeouts_ok ? 0 : api_.GetLastError();
  timeouts.ReadIntervalTimeout = comm::kMaxDword;
  timeouts.ReadTotalTimeoutMultiplier = 0;
  timeouts.ReadTotalTimeoutConstant = 0;
  timeouts.WriteTotalTimeoutMultiplier = 0;
  timeouts.WriteTotalTimeoutConstant = 0;
  if (!api_.SetCommTimeouts(handle, timeouts)) {
    timeouts_ok = false;
    timeouts_error = api_.GetLastError();
  }
  if (!timeouts_ok) ReportError(802, timeouts_error, 0, "Error setting CommTimeout");

  if (!api_.SetCommState(handle, dcb)) {
    ReportError(802, api_.GetLastError(), 0,
                "Error setting CommState, 87 indicate that Parms are incorrect");
  }
}

void TSerialPort::ApplyIfActive() {
  if (active_) ApplyCommSettings();
}

void TSerialPort::ComputeCharDelays() {
  uint32_t delay = 1100;
  for (const CharDelay& row : kCharDelays) {
    if (row.rate <= baud_rate_) delay = row.delay_us;
  }
  SetRTOCharDelayTime(delay);
  SetWTOCharDelayTime(delay);
}

void TSerialPort::SetBaudRate(uint32_t value) {
  if (value == baud_rate_) return;
  baud_rate_ = value;
  if (xto_auto_) ComputeCharDelays();
  ApplyIfActive();
}

#define SONAVI_REAPPLIED_SETTER(Name, field, Type) \
  void TSerialPort::Set##Name(Type value) {        \
    if (value == field) return;                    \
    field = value;                                 \
    ApplyIfActive();                               \
  }

SONAVI_REAPPLIED_SETTER(ParityType, parity_type_, uint8_t)
SONAVI_REAPPLIED_SETTER(ParityErrorChar, parity_error_char_, char)
SONAVI_REAPPLIED_SETTER(ParityErrorReplacement, parity_error_replacement_, bool)
SONAVI_REAPPLIED_SETTER(StopBits, stop_bits_, uint8_t)
SONAVI_REAPPLIED_SETTER(DataBits, data_bits_, uint8_t)
SONAVI_REAPPLIED_SETTER(XONChar, xon_char_, char)
SONAVI_REAPPLIED_SETTER(XOFFChar, xoff_char_, char)
SONAVI_REAPPLIED_SETTER(FlowControl, flow_control_, int32_t)
SONAVI_REAPPLIED_SETTER(StripNullChars, strip_null_chars_, bool)
SONAVI_REAPPLIED_SETTER(EventChar, event_char_, char)

#undef SONAVI_REAPPLIED_SETTER

uint8_t TSerialPort::LimitedLimDiv(uint8_t value, const char* warning) {
  if (value <= 100) return value;
  ReportError(100, value, 1, warning);
  return 100;
}

void TSerialPort::SetXONLimDiv(uint8_t value) {
  if (value == xon_lim_div_) return;
  xon_lim_div_ = LimitedLimDiv(value, "Warning XOnLimDef set to 100");
  ApplyIfActive();
}

void TSerialPort::SetXOFFLimDiv(uint8_t value) {
  if (value == xoff_lim_div_) return;
  xoff_lim_div_ = LimitedLimDiv(value, "Warning XOffLimDef set to 100");
  ApplyIfActive();
}

void TSerialPort::SetRTOCharDelayTime(uint32_t value) { rto_char_delay_time_ = value; }

void TSerialPort::SetRTOExtraDelayTime(uint16_t value) { rto_extra_delay_time_ = value; }

void TSerialPort::SetWTOCharDelayTime(uint32_t value) {
  if (value == wto_char_delay_time_) return;
  wto_char_delay_time_ = value;
  ApplyIfActive();
}

void TSerialPort::SetWTOExtraDelayTime(uint16_t value) {
  if (value == wto_extra_delay_time_) return;
  wto_extra_delay_time_ = value;
  ApplyIfActive();
}

void TSerialPort::SetXTOAuto(bool value) {
  if (value == xto_auto_) return;
  xto_auto_ = value;
  if (value) ComputeCharDelays();
}

void TSerialPort::SetQueueSize(uint16_t rx, uint16_t tx, uint32_t place) {
  // Tried at once, open or not; the stored size is used at the next open in any case.
  if (!api_.SetupComm(com_handle_, rx, tx)) {
    ReportError(place, api_.GetLastError(), 0, "Error can not set Quesize");
  }
}

void TSerialPort::SetRxQueueSize(uint16_t value) {
  if (value == rx_queue_size_) return;
  rx_queue_size_ = value;
  SetQueueSize(rx_queue_size_, tx_queue_size_, 101);
}

void TSerialPort::SetTxQueueSize(uint16_t value) {
  if (value == tx_queue_size_) return;
  tx_queue_size_ = value;
  SetQueueSize(rx_queue_size_, tx_queue_size_, 102);
}

// ---------------------------------------------------------------------------------------
// Modem control lines

void TSerialPort::SetRTSState(bool value) {
  if (!active_) return;
  if (!api_.EscapeCommFunction(com_handle_, value ? comm::kSetRts : comm::kClrRts)) {
    ReportError(value ? 501 : 502, api_.GetLastError(), 0,
                value ? "Error setting RTS" : "Error clearing RTS");
  }
  rts_state_ = value;
}

void TSerialPort::SetDTRState(bool value) {
  if (!active_) return;
  if (!api_.EscapeCommFunction(com_handle_, value ? comm::kSetDtr : comm::kClrDtr)) {
    ReportError(value ? 601 : 602, api_.GetLastError(), 0,
                value ? "Error setting DTR" : "Error clearing DTR");
  }
  dtr_state_ = value;
}

void TSerialPort::SetBREAKState(bool value) {
  if (!active_) return;
  const bool ok = value ? api_.SetCommBreak(com_handle_) : api_.ClearCommBreak(com_handle_);
  if (!ok) {
    ReportError(value ? 701 : 702, api_.GetLastError(), 0,
                value ? "Error setting BREAK State" : "Error clearing BREAK State");
  }
  break_state_ = value;
}

// ---------------------------------------------------------------------------------------
// Sending

void TSerialPort::SendText(const std::string& text) {
  if (text.empty()) return;
  SendData(text.data(), static_cast<uint32_t>(text.size()));
}

void TSerialPort::SendData(const void* buffer, uint32_t count) {
  if (send_in_progress_) {
    ReportError(901, 0, 2, "Msg, dont enter SendData while SendInProgress is set");
    return;
  }
  if (const uint32_t held = HeldWriteError(); held != 0) {
    ReportError(903, held, 0, "Error writing Data");
    return;
  }
  const CommHandle handle = com_handle_;
  CommTimeouts timeouts;
  bool timeouts_ok = api_.GetCommTimeouts(handle, &timeouts);
  uint32_t timeouts_error = timeouts_ok ? 0 : api_.GetLastError();
  timeouts.ReadIntervalTimeout = comm::kMaxDword;
  timeouts.ReadTotalTimeoutMultiplier = 0;
  timeouts.ReadTotalTimeoutConstant = 0;
  timeouts.WriteTotalTimeoutMultiplier = 0;
  timeouts.WriteTotalTimeoutConstant = count * wto_char_delay_time_ / 1000 + wto_extra_delay_time_;
  if (!api_.SetCommTimeouts(handle, timeouts)) {
    timeouts_ok = false;
    timeouts_error = api_.GetLastError();
  }
  if (!timeouts_ok) ReportError(902, timeouts_error, 0, "Error setting CommTimeout");

  requested_write_count_ = count;
  // The component's own copy lives until the send has ended.
  const char* bytes = static_cast<const char*>(buffer);
  write_data_.assign(bytes, bytes + count);
  write_result_ = 0;
  if (api_.WriteFile(handle, write_data_.data(), count, &write_result_, &write_overlapped_)) {
    written_bytes_ = write_result_;
    if (OnWriteDone) OnWriteDone(*this);
    return;
  }
  const uint32_t error = api_.GetLastError();
  if (error == comm::kErrorIoPending) {
    write_start_tick_ = api_.GetTickCount();
    send_in_progress_ = true;
    return;
  }
  ReportError(903, error, 0, "Error writing Data");
  ResetOverlappedEvent(write_overlapped_);
  send_in_progress_ = false;
}

// A send given up while still running keeps its bytes and record until the driver lets go
// of them; 0 once it has, otherwise the error that says it still runs.
uint32_t TSerialPort::HeldWriteError() {
  if (!write_held_) return 0;
  uint32_t transferred = 0;
  if (!api_.GetOverlappedResult(com_handle_, &write_overlapped_, &transferred, false)) {
    const uint32_t error = api_.GetLastError();
    if (StillRunning(error)) return error;
  }
  write_held_ = false;
  return 0;
}

// ---------------------------------------------------------------------------------------
// Received-data queue

int32_t TSerialPort::PeekClusterSize() {
  std::lock_guard<std::mutex> lock(queue_lock_);
  if (cluster_queue_.empty()) return -1;
  return static_cast<int32_t>(cluster_queue_.front()->Size());
}

std::string TSerialPort::ReadClusterText() {
  std::lock_guard<std::mutex> lock(queue_lock_);
  if (cluster_queue_.empty()) return std::string();
  std::string text = cluster_queue_.front()->Text();
  cluster_queue_.pop_front();
  return text;
}

// ---------------------------------------------------------------------------------------
// Reports and overlapped events

void TSerialPort::ReportError(uint32_t place, uint32_t code, uint8_t noise,
                              const std::string& msg) {
  if (destroying_ || noise > error_noise_ || !OnProcessError) return;
  OnProcessError(*this, place, code, msg, noise);
}

void TSerialPort::CreateOverlappedEvent(CommOverlapped& record) {
  record.Internal = 0;
  record.InternalHigh = 0;
  record.Offset = 0;
  record.OffsetHigh = 0;
  record.hEvent = api_.CreateEvent(true, false);
  if (record.hEvent == 0) {
    ReportError(1001, api_.GetLastError(), 0, "Error Creating Overlapped Event");
  } else if (api_.GetLastError() == comm::kErrorAlreadyExists) {
    ReportError(1002, comm::kErrorAlreadyExists, 0, "Error Overlapped Event Exists");
  }
}

void TSerialPort::ResetOverlappedEvent(CommOverlapped& record) {
  if (!api_.ResetEvent(record.hEvent)) {
    ReportError(1101, api_.GetLastError(), 0, "Error resetting Overlapped Event");
  }
}

void TSerialPort::SignalOverlappedEvent(CommOverlapped& record) {
  if (!api_.SetEvent(record.hEvent)) {
    ReportError(1101, api_.GetLastError(), 0, "Error signalling Overlapped Event");
  }
}

// ---------------------------------------------------------------------------------------
// TWorkThread

TWorkThread::TWorkThread(TSerialPort& owner) : owner_(owner), api_(owner.api_) {
  last_read_tick_ = api_.GetTickCount();
  serving_port_ = owner_.active_.load();
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
  if (owner_.dispatcher_ != nullptr) {
    owner_.dispatcher_->JoinServing(thread_);
  } else {
    thread_.join();
  }
}

bool TWorkThread::RunPass() {
  if (loop_end_) return false;
  if (!serving_port_) {
    owner_.thread_busy_ = false;
    serving_port_ = owner_.active_.load();
    api_.Sleep(kIdleSleepMs);
  } else {
    ServingPass();
  }
  // Never ends while it still serves a port: the component closes the port first.
  if (terminated_ && !serving_port_) {
    loop_end_ = true;
    owner_.thread_busy_ = false;
    finished_ = true;
  }
  return !loop_end_;
}

void TWorkThread::ServingPass() {
  owner_.thread_busy_ = true;
  if (owner_.active_) CheckLineStatus();
  CheckWriteDone();
  pause_ms_ = kWorkerWaitMs;
  // A read or WaitCommEvent that a failed wait forgot is finished once the driver has let
  // go of it, and only then may another start on its record.
  if (!read_pending_) {
    if (read_buffer_) {
      FinishRead();
    } else if (owner_.active_) {
      StartRead();
    }
  }
  events_came_at_once_ = false;
  if (!event_wait_pending_) {
    if (event_wait_forgotten_) {
      PollForgottenEventWait();
    } else if (owner_.active_) {
      StartEventWait();
    }
  }

  const bool read = read_pending_;
  const bool wait = event_wait_pending_;
  if (read || wait) {
    const CommHandle events[2] = {owner_.read_overlapped_.hEvent, owner_.event_overlapped_.hEvent};
    const uint32_t result = read && wait
                                ? api_.WaitForMultipleObjects(2, events, false, kWorkerWaitMs)
                                : api_.WaitForSingleObject(events[read ? 0 : 1], kWorkerWaitMs);
    if (owner_.active_) CheckLineStatus();
    if (read && result == comm::kWaitObject0) {
      FinishRead();
    } else if (wait && result == comm::kWaitObject0 + (read ? 1 : 0)) {
      FinishEventWait();
    } else if (result != comm::kWaitTimeout) {
      ForgetPendingOperations(read && wait ? 9911 : read ? 9912 : 9913, result);
    }
  } else if (!events_came_at_once_) {
    // Nothing to wait on (a driver without comm events, bytes still gathering): pause
    // as long as a wait would, so that the pass does not spin, but no longer than until
    // the bytes waiting are due to be read.
    api_.Sleep(pause_ms_);
  }

  if (!owner_.active_) {
    // The port is being closed: end what is still pending.
    if (read_pending_) owner_.SignalOverlappedEvent(owner_.read_overlapped_);
    if (event_wait_pending_) {
      api_.SetCommMask(owner_.com_handle_, 0);
      owner_.SignalOverlappedEvent(owner_.event_overlapped_);
    }
    if (!read_pending_ && !event_wait_pending_ && !owner_.send_in_progress_) {
      serving_port_ = false;
    }
  }
}

void TWorkThread::CheckLineStatus() {
  const CommHandle handle = owner_.com_handle_;
  if (!api_.GetCommModemStatus(handle, &modem_status_)) {
    Report(9905, api_.GetLastError(), "Error getting ModemStatus");
  } else {
    const uint32_t previous = owner_.modem_state_;
    const bool ring_now = (modem_status_ & comm::kMsRingOn) != 0;
    const bool ring_before = (previous & comm::kMsRingOn) != 0;
    // The Windows 9x family signals no EV_RING: its falling ring-indicator edge counts.
    const bool ring_due = owner_.platform_id_ == 1 && !ring_now && ring_before;
    if (ring_due) owner_.ring_state_ = false;
    owner_.modem_state_ = modem_status_;
    owner_.cts_state_ = (modem_status_ & comm::kMsCtsOn) != 0;
    owner_.dsr_state_ = (modem_status_ & comm::kMsDsrOn) != 0;
    owner_.rlsd_state_ = (modem_status_ & comm::kMsRlsdOn) != 0;
    owner_.ring_state_ = ring_now;
    if (ring_now != ring_before) DeliverHandler(&TSerialPort::OnRIEvent);
    if (ring_due) DispatchCommEvents(comm::kEvRing);
  }

  // Until two readings in a row agree (reading also clears the driver's error flags).
  for (;;) {
    uint32_t errors = line_errors_;
    CommStat stat = com_stat_;
    if (!api_.ClearCommError(handle, &errors, &stat)) {
      const uint32_t error = api_.GetLastError();
      NoteDeviceError(error);
      Report(9803, error, "Error ClearCommError");
      break;
    }
    line_errors_ = errors;
    com_stat_ = stat;
    const TComStateFlags flags = static_cast<TComStateFlags>(stat.Flags & 0xFF);
    if (errors == owner_.comm_error_ && flags == owner_.comm_state_flags_ &&
        stat.cbInQue == owner_.comm_state_in_queue_ &&
        stat.cbOutQue == owner_.comm_state_out_queue_) {
      break;
    }
    owner_.comm_error_ = errors;
    owner_.comm_state_flags_ = flags;
    owner_.comm_state_in_queue_ = stat.cbInQue;
    owner_.comm_state_out_queue_ = stat.cbOutQue;
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
  const double quiet_limit = waiting * static_cast<double>(owner_.rto_char_delay_time_) / 1000.0 +
                             owner_.rto_extra_delay_time_;
  const bool read_now = owner_.read_request_ || waiting >= owner_.cluster_size_ ||
                        since_last_read > quiet_limit || (line_errors_ & kLineErrorMask) != 0;
  if (!read_now) {
    // Without comm events nothing wakes the worker when the block is due: its pause
    // ends then (1 ms after the limit, which is a strict "more than").
    const double due_in = quiet_limit - since_last_read + 1.0;
    if (due_in < pause_ms_) pause_ms_ = due_in < 1.0 ? 1u : static_cast<uint32_t>(due_in);
    return;
  }

  read_size_ = waiting;
  read_buffer_ = std::make_unique<char[]>(read_size_);
  bytes_read_ = 0;
  if (api_.ReadFile(owner_.com_handle_, read_buffer_.get(), read_size_, &bytes_read_,
                    &owner_.read_overlapped_)) {
    owner_.read_request_ = false;
    QueueCluster();
    read_buffer_.reset();
    last_read_tick_ = api_.GetTickCount();
    return;
  }
  const uint32_t error = api_.GetLastError();
  if (error == comm::kErrorIoPending) {
    read_pending_ = true;
    return;
  }
  owner_.read_request_ = false;
  read_buffer_.reset();
  NoteDeviceError(error);
  Report(9804, error, "Error reading Data");
}

void TWorkThread::FinishRead() {
  const bool waited_for = read_pending_;
  read_pending_ = false;
  if (api_.GetOverlappedResult(owner_.com_handle_, &owner_.read_overlapped_, &bytes_read_, false)) {
    QueueCluster();
    last_read_tick_ = api_.GetTickCount();
    read_buffer_.reset();
    return;
  }
  const uint32_t error = api_.GetLastError();
  // Still running (closing signalled its event, or a failed wait forgot it): the buffer
  // and the record stay with the read, and a later pass finishes it.
  const bool running = StillRunning(error);
  if (error == comm::kErrorOperationAborted) {
    Report(9907, error, "Error read aborted");
  } else if (waited_for || !running) {
    NoteDeviceError(error);
    Report(9908, error, "Error getting Overlappedresult");
  }
  if (!running) read_buffer_.reset();
}

void TWorkThread::QueueCluster() {
  if (owner_.destroying_) return;
  const uint32_t size = std::min(bytes_read_, read_size_);
  std::unique_ptr<char[]> block;
  if (size > 0) {
    block = std::make_unique<char[]>(size);
    std::memcpy(block.get(), read_buffer_.get(), size);
  }
  auto cluster = std::make_unique<TSerialCluster>(std::move(block), size, line_errors_);
  {
    std::lock_guard<std::mutex> lock(owner_.queue_lock_);
    owner_.cluster_queue_.push_back(std::move(cluster));
  }
  DeliverToMainThread([this] {
    if (owner_.OnRxClusterEvent) owner_.OnRxClusterEvent(owner_);
  });
}

void TWorkThread::StartEventWait() {
  event_mask_ = 0;
  if (api_.WaitCommEvent(owner_.com_handle_, &event_mask_, &owner_.event_overlapped_)) {
    // Events were waiting: the next pass starts at once to look for more.
    events_came_at_once_ = event_mask_ != 0;
    CheckLineStatus();
    DispatchCommEvents(event_mask_);
    return;
  }
  const uint32_t error = api_.GetLastError();
  if (error == comm::kErrorIoPending) {
    event_wait_pending_ = true;
  } else {
    Report(9907, error, "Error calling WaitCommEvent");
  }
}

void TWorkThread::ForgetPendingOperations(uint32_t place, uint32_t wait_result) {
  Report(place, wait_result, "Error getting Overlappedresult");
  // The driver keeps what it holds: the read keeps its buffer (read_buffer_ stays set).
  if (event_wait_pending_) event_wait_forgotten_ = true;
  read_pending_ = false;
  event_wait_pending_ = false;
}

void TWorkThread::PollForgottenEventWait() {
  uint32_t unused = 0;
  if (!api_.GetOverlappedResult(owner_.com_handle_, &owner_.event_overlapped_, &unused, false) &&
      StillRunning(api_.GetLastError())) {
    return;  // still with the driver
  }
  event_wait_forgotten_ = false;
}

void TWorkThread::FinishEventWait() {
  // A wait ended by SetCommMask(0) while closing dispatches nothing.
  if (owner_.active_) {
    CheckLineStatus();
    DispatchCommEvents(event_mask_);
  }
  event_wait_pending_ = false;
}

void TWorkThread::DispatchCommEvents(uint32_t mask) {
  if (owner_.destroying_) return;
  owner_.comm_event_ = mask;
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
  if (!owner_.send_in_progress_) return;
  const CommHandle handle = owner_.com_handle_;
  if (api_.GetOverlappedResult(handle, &owner_.write_overlapped_, &transferred_, false)) {
    owner_.written_bytes_ = transferred_;
    const uint32_t requested = owner_.requested_write_count_;
    owner_.send_in_progress_ = false;
    // The write time-out cut the send short; the code is the number of bytes not sent.
    if (transferred_ != requested) Report(9701, requested - transferred_, "Error write TimeOut");
    DeliverWriteDone();
    return;
  }
  const uint32_t error = api_.GetLastError();
  if (error == comm::kErrorIoIncomplete) return;
  if (error == comm::kErrorIoPending) {
    const uint32_t elapsed = api_.GetTickCount() - owner_.write_start_tick_;
    const double limit = transferred_ * static_cast<double>(owner_.wto_char_delay_time_) / 1000.0 +
                         owner_.wto_extra_delay_time_;
    if (elapsed <= limit) return;
    owner_.written_bytes_ = transferred_;
    owner_.ResetOverlappedEvent(owner_.write_overlapped_);
    // The driver still holds the bytes and the record: the next send waits for them.
    owner_.write_held_ = true;
    owner_.send_in_progress_ = false;
    Report(9701, comm::kErrorIoPending, "Error write TimeOut");
    DeliverWriteDone();
    return;
  }
  NoteDeviceError(error);
  owner_.ResetOverlappedEvent(owner_.write_overlapped_);
  owner_.send_in_progress_ = false;
  Report(9702, error, "Error getting Overlapped Result");
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
  return !owner_.thread_quiet_mode_ && !owner_.destroying_ && owner_.dispatcher_ != nullptr;
}

void TWorkThread::DeliverToMainThread(const std::function<void()>& step) {
  // Nothing once destruction has begun: the main thread is then waiting for this worker.
  if (!CanDeliver()) return;
  owner_.dispatcher_->RunOnMainThread(step);
}

void TWorkThread::NoteDeviceError(uint32_t error) {
  switch (error) {
    case comm::kErrorInvalidFunction:
    case comm::kErrorAccessDenied:
    case comm::kErrorNotReady:  // Wine, once the device behind the port has hung up
    case comm::kErrorBadCommand:
    case comm::kErrorGenFailure:
    case comm::kErrorDeviceNotConnected:
      if (owner_.active_) owner_.device_gone_ = true;
      break;
    default:
      break;
  }
}

}  // namespace sonavi
