#include "serial/serial_port.h"

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

constexpr size_t kMaxDeviceNameLength = 79;
constexpr size_t kMaxCommPortLength = 255;

}  // namespace

// ---------------------------------------------------------------------------------------
// TSerialPort: construction and destruction

TSerialPort::TSerialPort(CommApi& api, MainThreadDispatcher* dispatcher, WorkerMode mode)
    : api_(api),
      owned_shared_(std::make_unique<SerialShared>(api, dispatcher)),
      shared_(*owned_shared_) {
  int32_t platform_id = 0;
  shared_.platform_id = api_.GetVersionEx(&platform_id) ? platform_id : -1;
  CreateOverlappedEvent(shared_.send.write_op.record);
  CreateOverlappedEvent(shared_.read_op.record);
  CreateOverlappedEvent(shared_.event_op.record);
  worker_ = std::make_unique<TWorkThread>(*this, shared_);
  if (mode == WorkerMode::kThread) worker_->Start();
}

TSerialPort::~TSerialPort() {
  shared_.destroying = true;
  ReopenPort(false);
  worker_->Terminate();
  WaitForWorkerIdle(10);
  worker_->WaitFor();
  // An operation the driver was told to end may still be with it: its record, event and
  // buffer are the driver's until it lets go. Waits at most kDriverLetGoMs for that; a
  // driver that never lets go keeps them, allocated, for the rest of the process.
  OverlappedOp* ops[] = {&shared_.send.write_op, &shared_.event_op, &shared_.read_op};
  const uint32_t start = api_.GetTickCount();
  bool held = false;
  for (OverlappedOp* op : ops) {
    while (op->Held() && !op->Poll(api_, shared_.com_handle).ended &&
           api_.GetTickCount() - start < kDriverLetGoMs) {
      api_.Sleep(kWorkerWaitMs);
    }
    held = held || op->Held();
  }
  worker_.reset();
  if (held) {
    (void)owned_shared_.release();
    return;
  }
  for (OverlappedOp* op : ops) {
    if (op->record.hEvent != 0) api_.CloseHandle(op->record.hEvent);
  }
}

// ---------------------------------------------------------------------------------------
// Opening and closing

void TSerialPort::SetActive(bool active) {
  if (active == shared_.active) return;
  ReopenPort(active);
}

void TSerialPort::SetCommPort(const std::string& port) {
  const std::string name = port.substr(0, kMaxCommPortLength);
  if (name == comm_port_) return;
  comm_port_ = name;
  ReopenPort(shared_.active);
}

void TSerialPort::ReopenPort(bool open) {
  ClosePort();
  if (open) OpenPort();
}

void TSerialPort::ClosePort() {
  if (!shared_.active) return;
  ReportError(100, 0, 2, "Msg start deactivating Port");
  const CommHandle handle = shared_.com_handle;
  // Also completes a pending WaitCommEvent.
  if (!api_.SetCommMask(handle, 0)) {
    ReportError(101, api_.GetLastError(), 0, "Error disabling CommEvents");
  }
  // From here the worker starts nothing new on the port.
  shared_.active = false;
  // Ends pending reads and writes and empties both driver buffers.
  if (!api_.PurgeComm(handle, comm::kPurgeAll)) {
    ReportError(102, api_.GetLastError(), 0, "Error clearing Queues");
  }
  WaitForWorkerIdle(15);
  // The send ends with the port, whether or not the worker ever served it: a send the
  // driver still runs is given up.
  SendEnd end;
  if (shared_.send.End(true, &end)) {
    if (end.place != 0) ReportError(end.place, end.code, 0, end.msg);
    if (OnWriteDone) OnWriteDone(*this);
  }
  if (shared_.thread_busy) ReportError(104, 0, 1, "Warning ThreadIsRunning");
  if (!api_.EscapeCommFunction(handle, comm::kClrDtr)) {
    ReportError(602, api_.GetLastError(), 0, "Error clearing DTR");
  }
  dtr_state_ = false;
  if (!api_.EscapeCommFunction(handle, comm::kClrRts)) {
    ReportError(502, api_.GetLastError(), 0, "Error clearing RTS");
  }
  rts_state_ = false;
  if (!api_.CloseHandle(handle)) ReportError(103, api_.GetLastError(), 0, "Error closing Port");
  shared_.com_handle = kInvalidCommHandle;
}

void TSerialPort::OpenPort() {
  ReportError(110, 0, 2, "Msg start reactivating Port");
  const std::string device = "\\\\.\\" + comm_port_.substr(0, kMaxDeviceNameLength);
  const CommHandle handle = api_.CreateFile(device, comm::kGenericRead | comm::kGenericWrite, 0,
                                            comm::kOpenExisting, comm::kFileFlagOverlapped);
  const uint32_t open_error = handle == kInvalidCommHandle ? api_.GetLastError() : 0;
  shared_.com_handle = handle;
  if (handle == kInvalidCommHandle) {
    ReportError(112, open_error, 0, "Error reopening Port");
    return;
  }
  // A fresh start before the worker may note anything on the new port.
  shared_.health.NoteOpened();
  shared_.active = true;
  if (!api_.SetupComm(handle, rx_queue_size_, tx_queue_size_)) {
    ReportError(111, api_.GetLastError(), 0, "Error setup Queuesize");
  }
  ApplyCommSettings();
  SetDTRState(true);
  SetRTSState(true);
  EnableCommEvents();
}

void TSerialPort::EnableCommEvents() {
  if (!api_.SetCommMask(shared_.com_handle, comm::kAllEvents)) {
    ReportError(201, api_.GetLastError(), 0, "Error activating CommEventMask");
  }
}

void TSerialPort::WaitForWorkerIdle(int count) {
  for (int i = 0; i < count && shared_.thread_busy; ++i) api_.Sleep(kWorkerWaitMs);
}

// ---------------------------------------------------------------------------------------
// Line settings

void TSerialPort::ApplyCommSettings() {
  const CommHandle handle = shared_.com_handle;
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
  if (shared_.active) ApplyCommSettings();
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

void TSerialPort::SetRTOCharDelayTime(uint32_t value) { shared_.rto_char_delay_time = value; }

void TSerialPort::SetRTOExtraDelayTime(uint16_t value) { shared_.rto_extra_delay_time = value; }

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
  if (!api_.SetupComm(shared_.com_handle, rx, tx)) {
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
  if (!shared_.active) return;
  if (!api_.EscapeCommFunction(shared_.com_handle, value ? comm::kSetRts : comm::kClrRts)) {
    ReportError(value ? 501 : 502, api_.GetLastError(), 0,
                value ? "Error setting RTS" : "Error clearing RTS");
  }
  rts_state_ = value;
}

void TSerialPort::SetDTRState(bool value) {
  if (!shared_.active) return;
  if (!api_.EscapeCommFunction(shared_.com_handle, value ? comm::kSetDtr : comm::kClrDtr)) {
    ReportError(value ? 601 : 602, api_.GetLastError(), 0,
                value ? "Error setting DTR" : "Error clearing DTR");
  }
  dtr_state_ = value;
}

void TSerialPort::SetBREAKState(bool value) {
  if (!shared_.active) return;
  const CommHandle handle = shared_.com_handle;
  const bool ok = value ? api_.SetCommBreak(handle) : api_.ClearCommBreak(handle);
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
  if (SendInProgress()) {
    ReportError(901, 0, 2, "Msg, dont enter SendData while SendInProgress is set");
    return;
  }
  const CommHandle handle = shared_.com_handle;
  const uint32_t timeout_ms = count * wto_char_delay_time_ / 1000 + wto_extra_delay_time_;
  CommTimeouts timeouts;
  bool timeouts_ok = api_.GetCommTimeouts(handle, &timeouts);
  uint32_t timeouts_error = timeouts_ok ? 0 : api_.GetLastError();
  timeouts.ReadIntervalTimeout = comm::kMaxDword;
  timeouts.ReadTotalTimeoutMultiplier = 0;
  timeouts.ReadTotalTimeoutConstant = 0;
  timeouts.WriteTotalTimeoutMultiplier = 0;
  timeouts.WriteTotalTimeoutConstant = timeout_ms;
  if (!api_.SetCommTimeouts(handle, timeouts)) {
    timeouts_ok = false;
    timeouts_error = api_.GetLastError();
  }
  if (!timeouts_ok) ReportError(902, timeouts_error, 0, "Error setting CommTimeout");

  OverlappedOp& op = shared_.send.write_op;
  // A send given up while the driver still ran it keeps its bytes and record until the
  // driver lets go of them.
  if (op.Held()) op.Poll(api_, handle);  // the worker may find the end first
  shared_.health.NoteSend(api_.GetTickCount());
  if (op.Held()) {
    // Refused: counts as a send that did not get through, so that a driver that never lets
    // go has the port taken as gone and reopened.
    shared_.health.NoteSendFailed();
    ReportError(903, comm::kErrorIoIncomplete, 0, "Error writing Data");
    return;
  }
  shared_.send.requested_write_count = count;
  shared_.send.write_timeout_ms = timeout_ms;
  // The component's own copy lives until the send has ended.
  const char* bytes = static_cast<const char*>(buffer);
  op.buffer.assign(bytes, bytes + count);
  uint32_t written = 0;
  if (api_.WriteFile(handle, op.buffer.data(), count, &written, &op.record)) {
    op.EndedAtOnce(written);
    if (OnWriteDone) OnWriteDone(*this);
    return;
  }
  const uint32_t error = api_.GetLastError();
  if (error == comm::kErrorIoPending) {
    shared_.send.write_start_tick = api_.GetTickCount();
    op.Pend();
    return;
  }
  shared_.health.NoteSendFailed(error);
  ReportError(903, error, 0, "Error writing Data");
  ResetOverlappedEvent(op.record);
}

// ---------------------------------------------------------------------------------------
// Received-data queue

int32_t TSerialPort::PeekClusterSize() {
  std::lock_guard<std::mutex> lock(shared_.queue_lock);
  if (shared_.cluster_queue.empty()) return -1;
  return static_cast<int32_t>(shared_.cluster_queue.front()->Size());
}

std::string TSerialPort::ReadClusterText() {
  std::lock_guard<std::mutex> lock(shared_.queue_lock);
  if (shared_.cluster_queue.empty()) return std::string();
  std::string text = shared_.cluster_queue.front()->Text();
  shared_.cluster_queue.pop_front();
  return text;
}

// ---------------------------------------------------------------------------------------
// Reports and overlapped events

void TSerialPort::ReportError(uint32_t place, uint32_t code, uint8_t noise,
                              const std::string& msg) {
  if (shared_.destroying || noise > error_noise_ || !OnProcessError) return;
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

}  // namespace sonavi
