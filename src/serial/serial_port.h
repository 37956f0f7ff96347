// The serial port component: one port opened for overlapped input and output, its
// settings as properties applied at once while the port is open, the modem control lines,
// sending, and a worker thread that turns received bytes into clusters queued for the main
// thread. It never throws: every failure, warning and progress step becomes a report to
// OnProcessError (Place, Code, Msg, Noise; Noise 0 error, 1 warning, 2 progress), filtered
// by ErrorNoise.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/dispatcher.h"
#include "serial/comm_api.h"
#include "serial/serial_link.h"

namespace sonavi {

class TSerialPort;

using TNotifyEvent = std::function<void(TSerialPort& sender)>;
using TNotifyErrorEvent = std::function<void(TSerialPort& sender, uint32_t place, uint32_t code,
                                             const std::string& msg, uint8_t noise)>;

// The COMSTAT flags as kept in CommStateFlags (a set: one bit each).
enum TComStateFlag : uint8_t {
  fCtsHold = 0x01,
  fDsrHold = 0x02,
  fRlsdHold = 0x04,
  fXoffHold = 0x08,
  fXoffSent = 0x10,
  fEof = 0x20,
  fTxim = 0x40,
};
using TComStateFlags = uint8_t;

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

// The component's worker. While the port is open it keeps one WaitCommEvent and at most
// one read outstanding, watches the modem status and the driver's counters, finishes
// pending sends and queues received clusters; while it is closed it idles, sleeping 200 ms
// per pass. RunPass() is one pass of the loop; the thread started by Start() just loops it,
// and a test may call it step by step instead.
class TWorkThread {
 public:
  explicit TWorkThread(TSerialPort& owner);
  ~TWorkThread();
  TWorkThread(const TWorkThread&) = delete;
  TWorkThread& operator=(const TWorkThread&) = delete;

  void Start();
  // Asks the loop to end; it ends at the first pass end at which it no longer serves a port.
  void Terminate() { terminated_ = true; }
  // Waits for the thread started by Start() to end (nothing to wait for otherwise), through
  // the component's dispatcher when it has one.
  void WaitFor();
  // Runs one pass; false once the loop has ended.
  bool RunPass();
  bool Finished() const { return finished_; }

  bool ServingPort() const { return serving_port_; }
  bool ReadPending() const { return read_pending_; }
  bool EventWaitPending() const { return event_wait_pending_; }

 private:
  void ServingPass();
  void CheckLineStatus();
  void CheckWriteDone();
  void StartRead();
  void FinishRead();
  void QueueCluster();
  void StartEventWait();
  void FinishEventWait();
  void ForgetPendingOperations(uint32_t place, uint32_t wait_result);
  void PollForgottenEventWait();
  void DispatchCommEvents(uint32_t mask);
  void Report(uint32_t place, uint32_t code, const std::string& msg);
  bool CanDeliver() const;
  void DeliverToMainThread(const std::function<void()>& step);
  void DeliverHandler(TNotifyEvent TSerialPort::*handler);
  void DeliverWriteDone();
  // Notes a failure that shows the port's device has gone away.
  void NoteDeviceError(uint32_t error);

  TSerialPort& owner_;
  CommApi& api_;
  std::thread thread_;
  std::atomic<bool> terminated_{false};
  std::atomic<bool> finished_{false};
  bool loop_end_ = false;

  std::atomic<bool> serving_port_{false};
  std::atomic<bool> read_pending_{false};
  std::atomic<bool> event_wait_pending_{false};
  // A WaitCommEvent that a failed wait forgot while the driver may still hold its record.
  bool event_wait_forgotten_ = false;
  uint32_t last_read_tick_ = 0;
  uint32_t event_mask_ = 0;  // written by a pending WaitCommEvent when it completes
  bool events_came_at_once_ = false;
  uint32_t pause_ms_ = 0;  // how long a pass with nothing pending pauses
  uint32_t modem_status_ = 0;
  uint32_t line_errors_ = 0;
  CommStat com_stat_;
  // Set from a ReadFile that goes pending until the driver has let go of the buffer and the
  // record. Set while no read is pending means a failed wait forgot the read: it is finished
  // before another may start.
  std::unique_ptr<char[]> read_buffer_;
  uint32_t read_size_ = 0;
  uint32_t bytes_read_ = 0;
  uint32_t transferred_ = 0;
};

class TSerialPort : public SerialLink {
 public:
  enum class WorkerMode {
    kThread,   // the worker runs on its own thread from construction to destruction
    kStepped,  // no thread: the owner of the component calls Worker().RunPass()
  };

  // Deliveries from the worker to the main thread go through dispatcher (none when null or
  // in ThreadQuietMode; none once destruction has begun). Destruction waits for the worker
  // to end through the dispatcher's JoinServing.
  TSerialPort(CommApi& api, MainThreadDispatcher* dispatcher,
              WorkerMode mode = WorkerMode::kThread);
  ~TSerialPort() override;
  TSerialPort(const TSerialPort&) = delete;
  TSerialPort& operator=(const TSerialPort&) = delete;

  // SerialLink. CommPort keeps at most 255 characters; the device opened is "\\.\" and
  // the first 79 of them.
  int32_t PeekClusterSize() override;
  std::string ReadClusterText() override;
  void SendText(const std::string& text) override;
  void SetCommPort(const std::string& port) override;
  void SetActive(bool active) override;
  bool Active() const override { return active_; }

  // Sends count bytes; returns at once. The outcome shows in SendInProgress, WrittenBytes,
  // OnWriteDone and OnProcessError. The caller's buffer may go as soon as this returns.
  void SendData(const void* buffer, uint32_t count);

  // Properties. Setters of line settings re-apply them at once while the port is open.
  CommHandle ComHandle() const { return com_handle_; }
  const std::string& CommPort() const { return comm_port_; }
  uint32_t BaudRate() const { return baud_rate_; }
  void SetBaudRate(uint32_t value);
  uint8_t ParityType() const { return parity_type_; }
  void SetParityType(uint8_t value);
  char ParityErrorChar() const { return parity_error_char_; }
  void SetParityErrorChar(char value);
  bool ParityErrorReplacement() const { return parity_error_replacement_; }
  void SetParityErrorReplacement(bool value);
  uint8_t StopBits() const { return stop_bits_; }
  void SetStopBits(uint8_t value);
  uint8_t DataBits() const { return data_bits_; }
  void SetDataBits(uint8_t value);
  char XONChar() const { return xon_char_; }
  void SetXONChar(char value);
  char XOFFChar() const { return xoff_char_; }
  void SetXOFFChar(char value);
  // Percent of RxQueueSize; above 100 is reported and taken as 100.
  uint8_t XONLimDiv() const { return xon_lim_div_; }
  void SetXONLimDiv(uint8_t value);
  uint8_t XOFFLimDiv() const { return xoff_lim_div_; }
  void SetXOFFLimDiv(uint8_t value);
  // DCB flag bits ORed into the flag word unchanged.
  int32_t FlowControl() const { return flow_control_; }
  void SetFlowControl(int32_t value);
  bool StripNullChars() const { return strip_null_chars_; }
  void SetStripNullChars(bool value);
  char EventChar() const { return event_char_; }
  void SetEventChar(char value);
  // Microseconds per received character and extra milliseconds that decide when the
  // waiting bytes form a cluster.
  uint32_t RTOCharDelayTime() const { return rto_char_delay_time_; }
  void SetRTOCharDelayTime(uint32_t value);
  uint16_t RTOExtraDelayTime() const { return rto_extra_delay_time_; }
  void SetRTOExtraDelayTime(uint16_t value);
  // Waiting bytes that force a cluster.
  uint16_t ClusterSize() const { return cluster_size_; }
  void SetClusterSize(uint16_t value) { cluster_size_ = value; }
  uint16_t RxQueueSize() const { return rx_queue_size_; }
  void SetRxQueueSize(uint16_t value);
  uint16_t TxQueueSize() const { return tx_queue_size_; }
  void SetTxQueueSize(uint16_t value);
  // Microseconds per sent character and extra milliseconds of a send's time-out.
  uint32_t WTOCharDelayTime() const { return wto_char_delay_time_; }
  void SetWTOCharDelayTime(uint32_t value);
  uint16_t WTOExtraDelayTime() const { return wto_extra_delay_time_; }
  void SetWTOExtraDelayTime(uint16_t value);
  // When true, the character delays follow BaudRate.
  bool XTOAuto() const { return xto_auto_; }
  void SetXTOAuto(bool value);
  // The output lines act only while the port is open; while closed a change is ignored.
  bool RTSState() const { return rts_state_; }
  void SetRTSState(bool value);
  bool DTRState() const { return dtr_state_; }
  void SetDTRState(bool value);
  bool BREAKState() const { return break_state_; }
  void SetBREAKState(bool value);
  // Input lines and driver counters, as the worker last saw them.
  bool CTSState() const { return cts_state_; }
  bool DSRState() const { return dsr_state_; }
  bool RLSDState() const { return rlsd_state_; }
  bool RingState() const { return ring_state_; }
  uint8_t ErrorNoise() const { return error_noise_; }
  void SetErrorNoise(uint8_t value) { error_noise_ = value; }
  // Makes the worker read what waits at its next pass.
  bool ReadRequest() const { return read_request_; }
  void SetReadRequest(bool value) { read_request_ = value; }
  bool SendInProgress() const { return send_in_progress_; }
  uint32_t CommError() const { return comm_error_; }
  TComStateFlags CommStateFlags() const { return comm_state_flags_; }
  uint32_t CommStateInQueue() const { return comm_state_in_queue_; }
  uint32_t CommStateOutQueue() const { return comm_state_out_queue_; }
  uint32_t ModemState() const { return modem_state_; }
  uint32_t CommEvent() const { return comm_event_; }
  uint32_t WrittenBytes() const { return written_bytes_; }
  // When true the worker delivers nothing to the main thread: no handler runs because of
  // it, and the cluster queue is the only way received data arrives.
  bool ThreadQuietMode() const { return thread_quiet_mode_; }
  void SetThreadQuietMode(bool value) { thread_quiet_mode_ = value; }
  // True once a call on the open port failed in a way that shows its device has gone
  // (unplugged, or a handle the driver no longer serves: ERROR_INVALID_FUNCTION,
  // ERROR_ACCESS_DENIED, ERROR_BAD_COMMAND, ERROR_GEN_FAILURE, ERROR_DEVICE_NOT_CONNECTED
  // from reading the driver's state, reading or finishing a send). Set by the worker; the
  // component does nothing about it. Cleared when the port is next opened successfully.
  bool DeviceGone() const override { return device_gone_; }
  // True while the worker serves an open port.
  bool ThreadBusy() const { return thread_busy_; }
  // dwPlatformId of the system, -1 if unknown.
  int32_t PlatformId() const { return platform_id_; }

  TWorkThread& Worker() { return *worker_; }

  // Events, unassigned initially. With ThreadQuietMode false the worker's notifications
  // and reports run on the main thread.
  TNotifyEvent OnCommEvent;
  TNotifyEvent OnCommStat;
  TNotifyEvent OnTxQueueEmptyEvent;
  TNotifyEvent OnWriteDone;
  TNotifyEvent OnBreakEvent;
  TNotifyEvent OnCTSEvent;
  TNotifyEvent OnDSREvent;
  TNotifyEvent OnLineErrorEvent;
  TNotifyEvent OnRingEvent;
  TNotifyEvent OnRIEvent;
  TNotifyEvent OnRLSDEvent;
  TNotifyEvent OnRxClusterEvent;
  TNotifyEvent OnRxCharEvent;
  TNotifyEvent OnRxEventCharEvent;
  TNotifyErrorEvent OnProcessError;

 private:
  friend class TWorkThread;

  void ReopenPort(bool open);
  void ClosePort();
  void OpenPort();
  void ApplyCommSettings();
  void ApplyIfActive();
  void EnableCommEvents();
  void ComputeCharDelays();
  void WaitForWorkerIdle(int count);
  void ReportError(uint32_t place, uint32_t code, uint8_t noise, const std::string& msg);
  void CreateOverlappedEvent(CommOverlapped& record);
  void ResetOverlappedEvent(CommOverlapped& record);
  void SignalOverlappedEvent(CommOverlapped& record);
  void SetQueueSize(uint16_t rx, uint16_t tx, uint32_t place);
  uint32_t HeldWriteError();
  uint8_t LimitedLimDiv(uint8_t value, const char* warning);

  CommApi& api_;
  MainThreadDispatcher* dispatcher_;

  CommOverlapped write_overlapped_;
  CommOverlapped read_overlapped_;
  CommOverlapped event_overlapped_;
  std::atomic<uint32_t> requested_write_count_{0};
  std::atomic<uint32_t> write_start_tick_{0};
  std::vector<char> write_data_;  // the bytes of the current send
  uint32_t write_result_ = 0;     // WriteFile's immediate count
  // A send given up while the driver still held write_data_ and write_overlapped_.
  std::atomic<bool> write_held_{false};

  std::atomic<bool> thread_busy_{false};
  std::atomic<bool> destroying_{false};
  std::mutex queue_lock_;
  std::deque<std::unique_ptr<TSerialCluster>> cluster_queue_;
  int32_t platform_id_ = -1;

  std::atomic<bool> active_{false};
  std::atomic<CommHandle> com_handle_{kInvalidCommHandle};
  std::string comm_port_ = "COM2";
  uint32_t baud_rate_ = 9600;
  uint8_t parity_type_ = 0;
  char parity_error_char_ = 0;
  bool parity_error_replacement_ = false;
  uint8_t stop_bits_ = 0;
  uint8_t data_bits_ = 8;
  char xon_char_ = 17;
  char xoff_char_ = 19;
  uint8_t xon_lim_div_ = 33;
  uint8_t xoff_lim_div_ = 33;
  int32_t flow_control_ = 0;
  bool strip_null_chars_ = false;
  char event_char_ = 0;
  std::atomic<uint32_t> rto_char_delay_time_{1100};
  std::atomic<uint16_t> rto_extra_delay_time_{250};
  std::atomic<uint16_t> cluster_size_{3072};
  uint16_t rx_queue_size_ = 4096;
  uint16_t tx_queue_size_ = 4096;
  std::atomic<uint32_t> wto_char_delay_time_{1100};
  std::atomic<uint16_t> wto_extra_delay_time_{250};
  bool xto_auto_ = true;
  bool rts_state_ = true;
  bool dtr_state_ = true;
  bool break_state_ = false;
  std::atomic<bool> cts_state_{false};
  std::atomic<bool> dsr_state_{false};
  std::atomic<bool> rlsd_state_{false};
  std::atomic<bool> ring_state_{false};
  std::atomic<uint8_t> error_noise_{255};
  std::atomic<bool> read_request_{false};
  std::atomic<bool> send_in_progress_{false};
  std::atomic<uint32_t> comm_error_{0};
  std::atomic<TComStateFlags> comm_state_flags_{0};
  std::atomic<uint32_t> comm_state_in_queue_{0};
  std::atomic<uint32_t> comm_state_out_queue_{0};
  std::atomic<uint32_t> modem_state_{0};
  std::atomic<uint32_t> comm_event_{0};
  std::atomic<uint32_t> written_bytes_{0};
  std::atomic<bool> thread_quiet_mode_{false};
  std::atomic<bool> device_gone_{false};

  std::unique_ptr<TWorkThread> worker_;
};

}  // namespace sonavi
