#include "serial/fake_comm.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

namespace sonavi::testing {

namespace {
thread_local uint32_t t_last_error = 0;
}  // namespace

FakeComm::FakeComm() {
  ports_ = {"COM1", "COM2", "COM5"};
  // What a driver might hand out: flags the component must not keep.
  dcb_.DCBlength = 28;
  dcb_.BaudRate = 1200;
  dcb_.Flags = 0x7FFF;
  dcb_.wReserved = 0;
  dcb_.ByteSize = 7;
  dcb_.EofChar = 26;
  timeouts_ = CommTimeouts{5, 6, 7, 8, 9};
}

// --- test controls --------------------------------------------------------------------

uint32_t FakeComm::Now() {
  std::lock_guard<std::mutex> lock(mu_);
  return now_;
}

void FakeComm::Advance(uint32_t ms) {
  std::lock_guard<std::mutex> lock(mu_);
  AdvanceLocked(now_ + ms);
}

void FakeComm::SetRealPauseMicros(uint32_t us) {
  std::lock_guard<std::mutex> lock(mu_);
  real_pause_us_ = us;
}

void FakeComm::ModemSends(const std::string& bytes, uint32_t baud, uint32_t delay_ms) {
  std::lock_guard<std::mutex> lock(mu_);
  const uint64_t start_us = uint64_t{now_ + delay_ms} * 1000;
  const uint64_t char_us = 10'000'000ull / baud;
  for (size_t i = 0; i < bytes.size(); ++i) {
    schedule_.emplace(static_cast<uint32_t>((start_us + i * char_us) / 1000), bytes[i]);
  }
  AdvanceLocked(now_);
}

std::string FakeComm::Written() {
  std::lock_guard<std::mutex> lock(mu_);
  return written_;
}

std::vector<std::string> FakeComm::ReadsDelivered() {
  std::lock_guard<std::mutex> lock(mu_);
  return delivered_;
}

void FakeComm::SetModemStatus(uint32_t status) {
  std::lock_guard<std::mutex> lock(mu_);
  const uint32_t changed = status ^ modem_status_;
  modem_status_ = status;
  uint32_t events = 0;
  if (changed & comm::kMsCtsOn) events |= comm::kEvCts;
  if (changed & comm::kMsDsrOn) events |= comm::kEvDsr;
  if (changed & comm::kMsRlsdOn) events |= comm::kEvRlsd;
  if ((changed & comm::kMsRingOn) && (status & comm::kMsRingOn)) events |= comm::kEvRing;
  RaiseEvents(events);
}

void FakeComm::RaiseLineErrors(uint32_t errors) {
  std::lock_guard<std::mutex> lock(mu_);
  line_errors_ |= errors;
  RaiseEvents(comm::kEvErr);
}

void FakeComm::HoldPort(const std::string& name) {
  std::lock_guard<std::mutex> lock(mu_);
  held_.insert(name);
}

void FakeComm::SetWinePty(bool on) {
  std::lock_guard<std::mutex> lock(mu_);
  wine_pty_ = on;
}

void FakeComm::SetReadsPend(bool on) {
  std::lock_guard<std::mutex> lock(mu_);
  reads_pend_ = on;
}

void FakeComm::CompleteRead(uint32_t count) {
  std::lock_guard<std::mutex> lock(mu_);
  CompleteReadLocked(count);
}

void FakeComm::ReturnZeroBytesOnNextRead() {
  std::lock_guard<std::mutex> lock(mu_);
  zero_read_next_ = true;
}

void FakeComm::SetWriteMode(WriteMode mode) {
  std::lock_guard<std::mutex> lock(mu_);
  write_mode_ = mode;
}

void FakeComm::CompleteWrite(uint32_t count) {
  std::lock_guard<std::mutex> lock(mu_);
  if (Of(Op::kWrite).ov == nullptr) return;
  End(Op::kWrite, 0, std::min(count, Of(Op::kWrite).count));
}

void FakeComm::EndPending(Op op, uint32_t error) {
  std::lock_guard<std::mutex> lock(mu_);
  if (Of(op).ov != nullptr) End(op, error, 0);
}

void FakeComm::SetLetGoLag(uint32_t ms) {
  std::lock_guard<std::mutex> lock(mu_);
  let_go_lag_ = ms;
  for (Op op : ops_) {
    Pending& p = Of(op);
    if (p.ov != nullptr && p.told) p.end_at = ms == kHold ? kHold : now_ + ms;
  }
  AdvanceLocked(now_);
}

void FakeComm::EndAll(uint32_t after_ms) {
  std::lock_guard<std::mutex> lock(mu_);
  for (Op op : ops_) TellToEnd(op, comm::kErrorOperationAborted, after_ms);
}

void FakeComm::SetComStatNoise(int32_t in_queue_skew, uint32_t flags) {
  std::lock_guard<std::mutex> lock(mu_);
  in_queue_skew_ = in_queue_skew;
  stat_flags_ = flags;
}

void FakeComm::FailCall(const std::string& call, uint32_t error, int times) {
  std::lock_guard<std::mutex> lock(mu_);
  failing_[call] = {error, times};
}

void FakeComm::SetPlatformId(int32_t id) {
  std::lock_guard<std::mutex> lock(mu_);
  platform_id_ = id;
}

std::vector<std::string> FakeComm::Calls() {
  std::lock_guard<std::mutex> lock(mu_);
  return calls_;
}

int FakeComm::CountCalls(const std::string& prefix) {
  std::lock_guard<std::mutex> lock(mu_);
  return static_cast<int>(std::count_if(calls_.begin(), calls_.end(), [&](const std::string& c) {
    return c.compare(0, prefix.size(), prefix) == 0;
  }));
}

void FakeComm::ClearCalls() {
  std::lock_guard<std::mutex> lock(mu_);
  calls_.clear();
}

CommDcb FakeComm::Dcb() {
  std::lock_guard<std::mutex> lock(mu_);
  return dcb_;
}

CommTimeouts FakeComm::Timeouts() {
  std::lock_guard<std::mutex> lock(mu_);
  return timeouts_;
}

bool FakeComm::PortOpen() {
  std::lock_guard<std::mutex> lock(mu_);
  return port_handle_ != kInvalidCommHandle;
}

std::string FakeComm::OpenedName() {
  std::lock_guard<std::mutex> lock(mu_);
  return opened_name_;
}

bool FakeComm::ReadIsPending() {
  std::lock_guard<std::mutex> lock(mu_);
  return Of(Op::kRead).ov != nullptr;
}

bool FakeComm::EventWaitIsPending() {
  std::lock_guard<std::mutex> lock(mu_);
  return Of(Op::kWait).ov != nullptr;
}

bool FakeComm::WriteIsPending() {
  std::lock_guard<std::mutex> lock(mu_);
  return Of(Op::kWrite).ov != nullptr;
}

std::pair<uint32_t, uint32_t> FakeComm::QueueSizes() {
  std::lock_guard<std::mutex> lock(mu_);
  return {rx_size_, tx_size_};
}

int FakeComm::OpenEventCount() {
  std::lock_guard<std::mutex> lock(mu_);
  return static_cast<int>(events_.size());
}

bool FakeComm::LastWriteEventSignalled() {
  std::lock_guard<std::mutex> lock(mu_);
  auto it = events_.find(last_write_event_);
  return it != events_.end() && it->second;
}

int FakeComm::RecordReuses() {
  std::lock_guard<std::mutex> lock(mu_);
  return record_reuses_;
}

// --- internals (under mu_) --------------------------------------------------------------

FakeComm::Call::Call(FakeComm& fake, std::string entry)
    : lock(fake.mu_), fake_(fake), entry_(std::move(entry)) {
  fake_.calls_.push_back(entry_);
}

FakeComm::Call::~Call() {
  std::function<void(const std::string&)> hook;
  if (!fake_.in_hook_ && fake_.after_call) {
    fake_.in_hook_ = true;
    hook = fake_.after_call;
  }
  lock.unlock();
  if (!hook) return;
  hook(entry_);
  std::lock_guard<std::mutex> relock(fake_.mu_);
  fake_.in_hook_ = false;
}

uint32_t FakeComm::Decide(const char* call) {
  if (answer) {
    const uint32_t error = answer(call);
    if (error != 0) return error;
  }
  auto it = failing_.find(call);
  if (it == failing_.end() || it->second.second == 0) return 0;
  if (it->second.second > 0) --it->second.second;
  return it->second.first;
}

bool FakeComm::Failing(const char* call) {
  const uint32_t error = Decide(call);
  if (error != 0) Fail(error);
  return error != 0;
}

bool FakeComm::FailingAtOnce(const char* call, bool* pend) {
  const uint32_t error = Decide(call);
  *pend = error == comm::kErrorIoPending;
  if (error == 0 || *pend) return false;
  Fail(error);
  return true;
}

bool FakeComm::Reused(const CommOverlapped* ov) {
  if (Holding(ov) == nullptr) return false;
  ++record_reuses_;
  Fail(comm::kErrorInvalidParameter);
  return true;
}

bool FakeComm::CheckPort(CommHandle h) {
  if (h != kInvalidCommHandle && h == port_handle_) return true;
  Fail(comm::kErrorInvalidHandle);
  return false;
}

void FakeComm::Fail(uint32_t error) { t_last_error = error; }

void FakeComm::AdvanceLocked(uint32_t to_tick) {
  for (uint32_t due; (due = NextDue()) <= to_tick;) {
    now_ = std::max(now_, due);
    for (Op op : ops_) {
      Pending& p = Of(op);
      if (p.ov != nullptr && p.told && p.end_at <= due) End(op, p.end_status, 0);
    }
    while (!schedule_.empty() && schedule_.begin()->first <= due) {
      const char byte = schedule_.begin()->second;
      schedule_.erase(schedule_.begin());
      Arrive(byte);
    }
  }
  now_ = std::max(now_, to_tick);
}

uint32_t FakeComm::NextDue() {
  uint32_t due = schedule_.empty() ? ~0u : schedule_.begin()->first;
  for (Op op : ops_) {
    const Pending& p = Of(op);
    if (p.ov != nullptr && p.told && p.end_at != kHold) due = std::min(due, p.end_at);
  }
  return due;
}

void FakeComm::Arrive(char byte) {
  if (port_handle_ == kInvalidCommHandle) return;  // nobody listens
  in_queue_.push_back(byte);
  if (!reads_pend_) CompleteReadLocked();
  RaiseEvents(comm::kEvRxChar);
}

void FakeComm::RaiseEvents(uint32_t events) {
  const uint32_t relevant = events & comm_mask_;
  if (relevant == 0) return;
  if (Of(Op::kWait).ov != nullptr && !Of(Op::kWait).told) {
    End(Op::kWait, 0, relevant);
  } else {
    latched_events_ |= relevant;
  }
}

void FakeComm::CompleteReadLocked(uint32_t count) {
  const Pending& read = Of(Op::kRead);
  if (read.ov == nullptr || read.told) return;
  uint32_t n = std::min({count, read.count, static_cast<uint32_t>(in_queue_.size())});
  if (zero_read_next_) {
    n = 0;
    zero_read_next_ = false;
  }
  End(Op::kRead, 0, n);
}

void FakeComm::End(Op op, uint32_t status, uint32_t count) {
  Pending& p = Of(op);
  if (op == Op::kRead) {
    // Touches the buffer even when nothing is transferred: it must still be there.
    if (p.count > 0) static_cast<volatile char*>(p.buffer)[0] = 0;
    std::memcpy(p.buffer, in_queue_.data(), count);
    if (status == 0) delivered_.push_back(in_queue_.substr(0, count));
    in_queue_.erase(0, count);
  } else if (op == Op::kWrite) {
    if (std::memcmp(p.buffer, p.bytes.data(), p.count) != 0) ++record_reuses_;
    written_.append(p.buffer, count);
  } else {
    *p.mask = count;
    count = 0;
  }
  Complete(p.ov, status, count);
  p = Pending{};
}

void FakeComm::Complete(CommOverlapped* ov, uint32_t status, uint32_t count) {
  ov->Internal = status;
  ov->InternalHigh = count;
  auto it = events_.find(ov->hEvent);
  if (it != events_.end()) it->second = true;
}

void FakeComm::TellToEnd(Op op, uint32_t status, uint32_t after_ms) {
  Pending& p = Of(op);
  if (p.ov == nullptr || (p.told && p.end_at <= now_ + after_ms)) return;
  p.told = true;
  p.end_status = status;
  p.end_at = after_ms == kHold ? kHold : now_ + after_ms;
  if (after_ms == 0) End(op, status, 0);
}

FakeComm::Op* FakeComm::Holding(const CommOverlapped* ov) {
  for (Op& op : ops_) {
    if (Of(op).ov == ov) return &op;
  }
  return nullptr;
}

void FakeComm::ResetEventOf(const CommOverlapped* ov) {
  auto it = events_.find(ov->hEvent);
  if (it != events_.end()) it->second = false;
}

void FakeComm::RealPause(std::unique_lock<std::mutex>& lock) {
  if (real_pause_us_ == 0) return;
  const uint32_t us = real_pause_us_;
  lock.unlock();
  std::this_thread::sleep_for(std::chrono::microseconds(us));
  lock.lock();
}

uint32_t FakeComm::WaitLocked(std::unique_lock<std::mutex>& lock, uint32_t count,
                              const CommHandle* handles, uint32_t timeout_ms) {
  for (uint32_t i = 0; i < count; ++i) {
    if (events_.find(handles[i]) == events_.end()) {
      Fail(comm::kErrorInvalidHandle);
      return comm::kWaitFailed;
    }
  }
  const uint32_t deadline = now_ + timeout_ms;
  bool paused = false;
  for (;;) {
    for (uint32_t i = 0; i < count; ++i) {
      if (events_[handles[i]]) return comm::kWaitObject0 + i;
    }
    if (!paused) {
      // Another thread may signal meanwhile; check again afterwards.
      paused = true;
      RealPause(lock);
      continue;
    }
    if (!schedule_.empty() && schedule_.begin()->first <= deadline) {
      AdvanceLocked(schedule_.begin()->first);
      continue;
    }
    AdvanceLocked(deadline);
    return comm::kWaitTimeout;
  }
}

// --- CommApi ------------------------------------------------------------------------------

CommHandle FakeComm::CreateFile(const std::string& name, uint32_t access, uint32_t share_mode,
                                uint32_t creation, uint32_t flags) {
  Call call(*this, "CreateFile " + name);
  if (Failing("CreateFile")) return kInvalidCommHandle;
  const std::string prefix = "\\\\.\\";
  if (name.compare(0, prefix.size(), prefix) != 0 ||
      ports_.count(name.substr(prefix.size())) == 0) {
    Fail(comm::kErrorFileNotFound);
    return kInvalidCommHandle;
  }
  // Opened without sharing: held elsewhere, or already open here, means no access.
  if (held_.count(name.substr(prefix.size())) != 0 || port_handle_ != kInvalidCommHandle ||
      share_mode != 0) {
    Fail(comm::kErrorAccessDenied);
    return kInvalidCommHandle;
  }
  if (access != (comm::kGenericRead | comm::kGenericWrite) || creation != comm::kOpenExisting ||
      flags != comm::kFileFlagOverlapped) {
    Fail(comm::kErrorInvalidParameter);
    return kInvalidCommHandle;
  }
  port_handle_ = next_handle_++;
  opened_name_ = name;
  in_queue_.clear();
  comm_mask_ = 0;
  latched_events_ = 0;
  return port_handle_;
}

bool FakeComm::SetupComm(CommHandle h, uint32_t in_queue, uint32_t out_queue) {
  Call call(*this, "SetupComm " + std::to_string(in_queue) + " " + std::to_string(out_queue));
  if (Failing("SetupComm") || !CheckPort(h)) return false;
  rx_size_ = in_queue;
  tx_size_ = out_queue;
  return true;
}

bool FakeComm::GetCommState(CommHandle h, CommDcb* dcb) {
  Call call(*this, "GetCommState");
  if (Failing("GetCommState") || !CheckPort(h)) return false;
  *dcb = dcb_;
  return true;
}

bool FakeComm::SetCommState(CommHandle h, const CommDcb& dcb) {
  Call call(*this, "SetCommState");
  if (Failing("SetCommState") || !CheckPort(h)) return false;
  if (dcb.ByteSize < 5 || dcb.ByteSize > 8 || dcb.Parity > 4 || dcb.StopBits > 2) {
    Fail(comm::kErrorInvalidParameter);
    return false;
  }
  dcb_ = dcb;
  return true;
}

bool FakeComm::GetCommTimeouts(CommHandle h, CommTimeouts* timeouts) {
  Call call(*this, "GetCommTimeouts");
  if (Failing("GetCommTimeouts") || !CheckPort(h)) return false;
  *timeouts = timeouts_;
  return true;
}

bool FakeComm::SetCommTimeouts(CommHandle h, const CommTimeouts& timeouts) {
  Call call(*this, "SetCommTimeouts " + std::to_string(timeouts.WriteTotalTimeoutConstant));
  if (Failing("SetCommTimeouts") || !CheckPort(h)) return false;
  timeouts_ = timeouts;
  return true;
}

bool FakeComm::SetCommMask(CommHandle h, uint32_t mask) {
  Call call(*this, "SetCommMask " + std::to_string(mask));
  if (Failing("SetCommMask") || !CheckPort(h)) return false;
  comm_mask_ = mask;
  latched_events_ = 0;
  TellToEnd(Op::kWait, 0, let_go_lag_);  // a new mask ends the pending wait, empty
  return true;
}

bool FakeComm::WaitCommEvent(CommHandle h, uint32_t* mask, CommOverlapped* ov) {
  Call call(*this, "WaitCommEvent");
  bool pend = false;
  if (FailingAtOnce("WaitCommEvent", &pend) || !CheckPort(h)) return false;
  if (wine_pty_) {
    Fail(comm::kErrorNotSupported);
    return false;
  }
  if (Reused(ov)) return false;
  if (Of(Op::kWait).ov != nullptr || comm_mask_ == 0) {
    Fail(comm::kErrorInvalidParameter);
    return false;
  }
  ResetEventOf(ov);
  if (latched_events_ != 0 && !pend) {
    *mask = latched_events_;
    latched_events_ = 0;
    Complete(ov, 0, 0);
    return true;
  }
  ov->Internal = kStatusPending;
  Of(Op::kWait).ov = ov;
  Of(Op::kWait).mask = mask;
  Fail(comm::kErrorIoPending);
  return false;
}

bool FakeComm::ReadFile(CommHandle h, void* buffer, uint32_t count, uint32_t* read,
                        CommOverlapped* ov) {
  Call call(*this, "ReadFile " + std::to_string(count));
  bool pend = false;
  if (FailingAtOnce("ReadFile", &pend) || !CheckPort(h) || Reused(ov)) return false;
  if (Of(Op::kRead).ov != nullptr) {
    Fail(comm::kErrorInvalidParameter);
    return false;
  }
  ResetEventOf(ov);
  Pending& pending = Of(Op::kRead);
  pending.ov = ov;
  pending.buffer = static_cast<char*>(buffer);
  pending.count = count;
  if (pend || reads_pend_ || (in_queue_.empty() && wine_pty_)) {
    ov->Internal = kStatusPending;
    Fail(comm::kErrorIoPending);
    return false;
  }
  CompleteReadLocked();
  *read = static_cast<uint32_t>(ov->InternalHigh);
  return true;
}

bool FakeComm::WriteFile(CommHandle h, const void* buffer, uint32_t count, uint32_t* written,
                         CommOverlapped* ov) {
  Call call(*this, "WriteFile " + std::to_string(count));
  last_write_event_ = ov->hEvent;
  bool pend = false;
  if (FailingAtOnce("WriteFile", &pend) || !CheckPort(h) || Reused(ov)) return false;
  ResetEventOf(ov);
  if (!pend && write_mode_ == WriteMode::kImmediate) {
    written_.append(static_cast<const char*>(buffer), count);
    Complete(ov, 0, count);
    *written = count;
    return true;
  }
  ov->Internal = kStatusPending;
  Pending& write = Of(Op::kWrite);
  write.ov = ov;
  write.buffer = static_cast<char*>(const_cast<void*>(buffer));
  write.count = count;
  write.bytes.assign(write.buffer, count);
  const uint64_t timeout =
      timeouts_.WriteTotalTimeoutConstant + uint64_t{timeouts_.WriteTotalTimeoutMultiplier} * count;
  if (!pend && write_mode_ == WriteMode::kPending && timeout != 0) {
    // Held off until its time-out, which ends it, as Windows does, with nothing sent.
    TellToEnd(Op::kWrite, 0, static_cast<uint32_t>(std::min<uint64_t>(timeout, kHold - 1)));
  }
  Fail(comm::kErrorIoPending);
  return false;
}

bool FakeComm::GetOverlappedResult(CommHandle h, CommOverlapped* ov, uint32_t* transferred,
                                   bool wait) {
  Call call(*this, "GetOverlappedResult");
  // As the system's: the answer comes from the record, whatever the handle, and only an
  // operation still running can end in a failure here.
  (void)h;
  const Op* held = Holding(ov);
  if (const uint32_t error = held != nullptr ? Decide("GetOverlappedResult") : 0; error != 0) {
    if (error == comm::kErrorIoIncomplete || error == comm::kErrorIoPending) {
      Fail(comm::kErrorIoIncomplete);
      return false;
    }
    End(*held, error, 0);
  }
  if (wait) {
    Fail(comm::kErrorInvalidParameter);  // the component never blocks here
    return false;
  }
  if (ov->Internal == kStatusPending) {
    Fail(comm::kErrorIoIncomplete);
    return false;
  }
  if (ov->Internal != 0) {
    Fail(static_cast<uint32_t>(ov->Internal));
    return false;
  }
  *transferred = static_cast<uint32_t>(ov->InternalHigh);
  return true;
}

bool FakeComm::ClearCommError(CommHandle h, uint32_t* errors, CommStat* stat) {
  Call call(*this, "ClearCommError");
  if (Failing("ClearCommError") || !CheckPort(h)) return false;
  *errors = line_errors_;
  line_errors_ = 0;
  stat->Flags = stat_flags_;
  stat->cbInQue = static_cast<uint32_t>(
      std::max<int64_t>(0, static_cast<int64_t>(in_queue_.size()) + in_queue_skew_));
  stat->cbOutQue = Of(Op::kWrite).count;
  return true;
}

bool FakeComm::GetCommModemStatus(CommHandle h, uint32_t* status) {
  Call call(*this, "GetCommModemStatus");
  if (Failing("GetCommModemStatus") || !CheckPort(h)) return false;
  if (wine_pty_) {
    Fail(comm::kErrorNotSupported);
    return false;
  }
  *status = modem_status_;
  return true;
}

bool FakeComm::EscapeCommFunction(CommHandle h, uint32_t function) {
  Call call(*this, "EscapeCommFunction " + std::to_string(function));
  if (Failing("EscapeCommFunction") || !CheckPort(h)) return false;
  if (wine_pty_) {
    Fail(comm::kErrorNotSupported);
    return false;
  }
  switch (function) {
    case comm::kSetRts:
      rts_ = true;
      break;
    case comm::kClrRts:
      rts_ = false;
      break;
    case comm::kSetDtr:
      dtr_ = true;
      break;
    case comm::kClrDtr:
      dtr_ = false;
      break;
    default:
      Fail(comm::kErrorInvalidParameter);
      return false;
  }
  return true;
}

bool FakeComm::SetCommBreak(CommHandle h) {
  Call call(*this, "SetCommBreak");
  if (Failing("SetCommBreak") || !CheckPort(h)) return false;
  break_ = true;
  return true;
}

bool FakeComm::ClearCommBreak(CommHandle h) {
  Call call(*this, "ClearCommBreak");
  if (Failing("ClearCommBreak") || !CheckPort(h)) return false;
  break_ = false;
  return true;
}

bool FakeComm::PurgeComm(CommHandle h, uint32_t flags) {
  Call call(*this, "PurgeComm " + std::to_string(flags));
  if (Failing("PurgeComm") || !CheckPort(h)) return false;
  if (flags & 0x2) TellToEnd(Op::kRead, comm::kErrorOperationAborted, let_go_lag_);
  if (flags & 0x1) TellToEnd(Op::kWrite, comm::kErrorOperationAborted, let_go_lag_);
  if (flags & 0x8) in_queue_.clear();
  return true;
}

bool FakeComm::CancelIoEx(CommHandle h, CommOverlapped* ov) {
  Call call(*this, "CancelIoEx");
  if (Failing("CancelIoEx") || !CheckPort(h)) return false;
  const Op* held = Holding(ov);
  if (held == nullptr) {
    Fail(1168);  // ERROR_NOT_FOUND: nothing runs on that record
    return false;
  }
  TellToEnd(*held, comm::kErrorOperationAborted, let_go_lag_);
  return true;
}

bool FakeComm::CloseHandle(CommHandle h) {
  Call call(*this, "CloseHandle");
  if (events_.erase(h) != 0) return true;
  if (!CheckPort(h) || Failing("CloseHandle")) return false;
  for (Op op : ops_) TellToEnd(op, comm::kErrorOperationAborted, let_go_lag_);
  port_handle_ = kInvalidCommHandle;
  in_queue_.clear();
  return true;
}

CommHandle FakeComm::CreateEvent(bool manual_reset, bool initial_state) {
  std::lock_guard<std::mutex> lock(mu_);
  if (Failing("CreateEvent") || !manual_reset) return 0;
  const CommHandle h = next_handle_++;
  events_[h] = initial_state;
  Fail(0);
  return h;
}

bool FakeComm::SetEvent(CommHandle event) {
  std::lock_guard<std::mutex> lock(mu_);
  if (Failing("SetEvent")) return false;
  auto it = events_.find(event);
  if (it == events_.end()) {
    Fail(comm::kErrorInvalidHandle);
    return false;
  }
  it->second = true;
  return true;
}

bool FakeComm::ResetEvent(CommHandle event) {
  std::lock_guard<std::mutex> lock(mu_);
  if (Failing("ResetEvent")) return false;
  auto it = events_.find(event);
  if (it == events_.end()) {
    Fail(comm::kErrorInvalidHandle);
    return false;
  }
  it->second = false;
  return true;
}

uint32_t FakeComm::WaitForSingleObject(CommHandle h, uint32_t timeout_ms) {
  Call call(*this, "WaitForSingleObject " + std::to_string(timeout_ms));
  if (Failing("WaitForSingleObject")) return comm::kWaitFailed;
  return WaitLocked(call.lock, 1, &h, timeout_ms);
}

uint32_t FakeComm::WaitForMultipleObjects(uint32_t count, const CommHandle* handles, bool wait_all,
                                          uint32_t timeout_ms) {
  Call call(*this, "WaitForMultipleObjects " + std::to_string(timeout_ms));
  if (Failing("WaitForMultipleObjects") || wait_all) return comm::kWaitFailed;
  return WaitLocked(call.lock, count, handles, timeout_ms);
}

uint32_t FakeComm::GetLastError() { return t_last_error; }

uint32_t FakeComm::GetTickCount() {
  std::lock_guard<std::mutex> lock(mu_);
  return now_;
}

void FakeComm::Sleep(uint32_t ms) {
  Call call(*this, "Sleep " + std::to_string(ms));
  AdvanceLocked(now_ + ms);
  RealPause(call.lock);
}

bool FakeComm::GetVersionEx(int32_t* platform_id) {
  std::lock_guard<std::mutex> lock(mu_);
  if (Failing("GetVersionEx")) return false;
  *platform_id = platform_id_;
  return true;
}

}  // namespace sonavi::testing
