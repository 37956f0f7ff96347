// A scripted serial driver and modem with a fake clock. Time moves only through Sleep, the
// waits and Advance: a wait that would block advances the clock to the next byte arrival,
// operation end or time-out. The modem side schedules bytes on that clock; the driver side
// behaves as the Windows calls do: overlapped reads, writes and WaitCommEvent go pending and
// end by signalling their record's event, GetOverlappedResult answers ERROR_IO_INCOMPLETE
// while they run, and an operation told to end (a purge, a new event mask, closing the
// handle, a cancel) is let go of only after the driver's lag. Safe to use from a worker
// thread and the test thread at once. It also watches the component: an operation started
// on a record the driver still holds, or a send's bytes changed while the driver holds them,
// counts as a record reuse, and a buffer freed too early shows as a use after free when the
// driver lets go of it.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "serial/comm_api.h"

namespace sonavi::testing {

class FakeComm : public CommApi {
 public:
  FakeComm();

  // --- the clock
  uint32_t Now();
  void Advance(uint32_t ms);
  // Runs after each call the driver logs (not re-entered), with its entry in Calls(): lets
  // a test run worker passes while the component sleeps waiting for its worker, or do the
  // main thread's work between two calls of the worker.
  std::function<void(const std::string& call)> after_call;
  // Real time each Sleep and blocking wait also takes, so that a real worker thread does
  // not busy-loop against the fake clock.
  void SetRealPauseMicros(uint32_t us);

  // --- the modem side
  // Bytes arrive one by one from now + delay_ms on, one per character time at baud.
  void ModemSends(const std::string& bytes, uint32_t baud = 9600, uint32_t delay_ms = 0);
  // Everything the component has written, completed writes only.
  std::string Written();
  // The bytes of each read that ended well, in order (possibly none).
  std::vector<std::string> ReadsDelivered();
  // Sets the modem status lines (MS_*_ON bits); changed lines raise their comm events.
  void SetModemStatus(uint32_t status);
  // Error flags (CE_*) the next ClearCommError returns once.
  void RaiseLineErrors(uint32_t errors);

  // --- the driver's behaviour
  // Another program holds the port: opening it fails with ERROR_ACCESS_DENIED.
  void HoldPort(const std::string& name);
  // Behaves as Wine does on a pseudo-terminal: WaitCommEvent, GetCommModemStatus and
  // EscapeCommFunction fail with ERROR_NOT_SUPPORTED, and a read of an empty port pends.
  void SetWinePty(bool on);
  // Reads go pending even when bytes wait, until CompleteRead or a purge.
  void SetReadsPend(bool on);
  // Completes a pending read with at most count of the bytes waiting.
  void CompleteRead(uint32_t count = ~0u);
  // The next completed read returns no bytes.
  void ReturnZeroBytesOnNextRead();
  // kPending: held off (flow control), ending at the write time-out with nothing sent, as
  // Windows ends it, unless completed before; kStuck: a driver that ignores the time-out.
  enum class WriteMode { kImmediate, kPending, kStuck };
  void SetWriteMode(WriteMode mode);
  // Completes a pending write with count bytes (all when count is ~0u).
  void CompleteWrite(uint32_t count = ~0u);
  enum class Op { kRead, kWrite, kWait };
  // Ends the pending operation now with error (nothing transferred).
  void EndPending(Op op, uint32_t error);
  // How long after being told to end an operation the driver lets go of it (kHold: only
  // when EndPending or a completion ends it). Operations already told take the new lag.
  static constexpr uint32_t kHold = ~0u;
  void SetLetGoLag(uint32_t ms);
  // Tells the driver to end all it still holds, as when the process's handles are closed.
  void EndAll(uint32_t after_ms);
  // ClearCommError reports cbInQue off by skew (not below 0) and these COMSTAT flags.
  void SetComStatNoise(int32_t in_queue_skew, uint32_t flags);
  // The next `times` calls of `call` (the CommApi method name) fail with error
  // (times < 0: every call from now on).
  void FailCall(const std::string& call, uint32_t error, int times = -1);
  void SetPlatformId(int32_t id);
  // When set, asked first by every call that can fail (under the driver's lock, with the
  // call's name): 0 lets the call behave as scripted, any other value is the error it fails
  // with, except that ERROR_IO_PENDING makes ReadFile, WriteFile and WaitCommEvent go
  // pending. GetOverlappedResult fails only for an operation still running, which then
  // ends with that error (as the system's would tell), or, for ERROR_IO_INCOMPLETE and
  // ERROR_IO_PENDING, goes on running. CloseHandle asks only for the port's handle.
  std::function<uint32_t(const char* call)> answer;

  // --- what the component did
  std::vector<std::string> Calls();
  int CountCalls(const std::string& prefix);
  void ClearCalls();
  CommDcb Dcb();
  CommTimeouts Timeouts();
  bool PortOpen();
  std::string OpenedName();
  bool ReadIsPending();
  bool EventWaitIsPending();
  bool WriteIsPending();
  std::pair<uint32_t, uint32_t> QueueSizes();
  int OpenEventCount();
  bool LastWriteEventSignalled();
  int RecordReuses();

  // CommApi.
  CommHandle CreateFile(const std::string& name, uint32_t access, uint32_t share_mode,
                        uint32_t creation, uint32_t flags) override;
  bool SetupComm(CommHandle h, uint32_t in_queue, uint32_t out_queue) override;
  bool GetCommState(CommHandle h, CommDcb* dcb) override;
  bool SetCommState(CommHandle h, const CommDcb& dcb) override;
  bool GetCommTimeouts(CommHandle h, CommTimeouts* timeouts) override;
  bool SetCommTimeouts(CommHandle h, const CommTimeouts& timeouts) override;
  bool SetCommMask(CommHandle h, uint32_t mask) override;
  bool WaitCommEvent(CommHandle h, uint32_t* mask, CommOverlapped* ov) override;
  bool ReadFile(CommHandle h, void* buffer, uint32_t count, uint32_t* read,
                CommOverlapped* ov) override;
  bool WriteFile(CommHandle h, const void* buffer, uint32_t count, uint32_t* written,
                 CommOverlapped* ov) override;
  bool GetOverlappedResult(CommHandle h, CommOverlapped* ov, uint32_t* transferred,
                           bool wait) override;
  bool ClearCommError(CommHandle h, uint32_t* errors, CommStat* stat) override;
  bool GetCommModemStatus(CommHandle h, uint32_t* status) override;
  bool EscapeCommFunction(CommHandle h, uint32_t function) override;
  bool SetCommBreak(CommHandle h) override;
  bool ClearCommBreak(CommHandle h) override;
  bool PurgeComm(CommHandle h, uint32_t flags) override;
  bool CancelIoEx(CommHandle h, CommOverlapped* ov) override;
  bool CloseHandle(CommHandle h) override;
  CommHandle CreateEvent(bool manual_reset, bool initial_state) override;
  bool SetEvent(CommHandle event) override;
  bool ResetEvent(CommHandle event) override;
  uint32_t WaitForSingleObject(CommHandle h, uint32_t timeout_ms) override;
  uint32_t WaitForMultipleObjects(uint32_t count, const CommHandle* handles, bool wait_all,
                                  uint32_t timeout_ms) override;
  uint32_t GetLastError() override;
  uint32_t GetTickCount() override;
  void Sleep(uint32_t ms) override;
  bool GetVersionEx(int32_t* platform_id) override;

 private:
  // Status an OVERLAPPED record carries while its operation runs.
  static constexpr uintptr_t kStatusPending = 0x103;

  // An operation the driver holds: from the call that went pending until it lets go.
  struct Pending {
    CommOverlapped* ov = nullptr;
    char* buffer = nullptr;  // read into, or the send's bytes
    uint32_t count = 0;
    std::string bytes;         // a send's bytes when it began
    uint32_t* mask = nullptr;  // a WaitCommEvent's output
    bool told = false;         // told to end: it ends at end_at with end_status
    uint32_t end_at = 0;
    uint32_t end_status = 0;
  };

  // The driver's lock for one logged call; after_call runs once it is released.
  class Call {
   public:
    Call(FakeComm& fake, std::string entry);
    ~Call();
    std::unique_lock<std::mutex> lock;

   private:
    FakeComm& fake_;
    std::string entry_;
  };

  uint32_t Decide(const char* call);  // under mu_: 0, or the error the call fails with
  bool Failing(const char* call);     // under mu_
  // For a call that can go pending: true when it fails at once; *pend when it must pend.
  bool FailingAtOnce(const char* call, bool* pend);
  // Counts and refuses an operation started on a record the driver still holds.
  bool Reused(const CommOverlapped* ov);
  bool CheckPort(CommHandle h);          // under mu_
  void AdvanceLocked(uint32_t to_tick);  // delivers the bytes and ends due by then
  uint32_t NextDue();                    // the tick of the next arrival or end, or ~0u
  void Arrive(char byte);
  void RaiseEvents(uint32_t events);
  void CompleteReadLocked(uint32_t count = ~0u);
  Pending& Of(Op op) { return pending_[static_cast<int>(op)]; }
  // The driver lets go of an operation (status 0: count bytes moved, or for a
  // WaitCommEvent the mask).
  void End(Op op, uint32_t status, uint32_t count);
  // Ends it after the lag; a write pending with a time-out ends at it.
  void TellToEnd(Op op, uint32_t status, uint32_t after_ms);
  void Complete(CommOverlapped* ov, uint32_t status, uint32_t count);
  Op* Holding(const CommOverlapped* ov);
  void ResetEventOf(const CommOverlapped* ov);
  void Fail(uint32_t error);
  uint32_t WaitLocked(std::unique_lock<std::mutex>& lock, uint32_t count, const CommHandle* handles,
                      uint32_t timeout_ms);
  void RealPause(std::unique_lock<std::mutex>& lock);

  std::mutex mu_;
  uint32_t now_ = 100000;
  uint32_t real_pause_us_ = 0;
  bool in_hook_ = false;
  std::multimap<uint32_t, char> schedule_;
  uint64_t schedule_order_ = 0;

  std::set<std::string> ports_;
  std::set<std::string> held_;
  bool wine_pty_ = false;
  bool reads_pend_ = false;
  bool zero_read_next_ = false;
  WriteMode write_mode_ = WriteMode::kImmediate;
  std::map<std::string, std::pair<uint32_t, int>> failing_;
  int32_t platform_id_ = 2;

  CommHandle next_handle_ = 0x100;
  CommHandle port_handle_ = kInvalidCommHandle;
  std::string opened_name_;
  std::map<CommHandle, bool> events_;  // handle -> signalled
  std::string in_queue_;
  std::string written_;
  std::vector<std::string> delivered_;
  uint32_t comm_mask_ = 0;
  uint32_t latched_events_ = 0;
  uint32_t modem_status_ = 0;
  uint32_t line_errors_ = 0;
  int32_t in_queue_skew_ = 0;
  uint32_t stat_flags_ = 0;
  CommHandle last_write_event_ = 0;
  int record_reuses_ = 0;
  bool dtr_ = false;
  bool rts_ = false;
  bool break_ = false;
  uint32_t rx_size_ = 0;
  uint32_t tx_size_ = 0;
  CommDcb dcb_;
  CommTimeouts timeouts_;
  uint32_t let_go_lag_ = 0;
  Pending pending_[3];
  Op ops_[3] = {Op::kRead, Op::kWrite, Op::kWait};
  std::vector<std::string> calls_;
};

}  // namespace sonavi::testing
