// The serial port component: one port opened for overlapped input and output, its
// settings as properties applied at once while the port is open, the modem control lines,
// sending, and a worker thread that turns received bytes into clusters queued for the main
// thread. It never throws: every failure, warning and progress step becomes a report to
// OnProcessError (Place, Code, Msg, Noise; Noise 0 error, 1 warning, 2 progress), filtered
// by ErrorNoise.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/dispatcher.h"
#include "serial/comm_api.h"
#include "serial/serial_link.h"
#include "serial/serial_worker.h"

namespace sonavi {

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
  bool Active() const override { return shared_.active; }

  // Sends count bytes; returns at once. The outcome shows in SendInProgress, WrittenBytes,
  // OnWriteDone and OnProcessError. The caller's buffer may go as soon as this returns.
  void SendData(const void* buffer, uint32_t count);

  // Properties. Setters of line settings re-apply them at once while the port is open.
  CommHandle ComHandle() const { return shared_.com_handle; }
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
  uint32_t RTOCharDelayTime() const { return shared_.rto_char_delay_time; }
  void SetRTOCharDelayTime(uint32_t value);
  uint16_t RTOExtraDelayTime() const { return shared_.rto_extra_delay_time; }
  void SetRTOExtraDelayTime(uint16_t value);
  // Waiting bytes that force a cluster.
  uint16_t ClusterSize() const { return shared_.cluster_size; }
  void SetClusterSize(uint16_t value) { shared_.cluster_size = value; }
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
  bool CTSState() const { return shared_.line.cts_state; }
  bool DSRState() const { return shared_.line.dsr_state; }
  bool RLSDState() const { return shared_.line.rlsd_state; }
  bool RingState() const { return shared_.line.ring_state; }
  uint8_t ErrorNoise() const { return error_noise_; }
  void SetErrorNoise(uint8_t value) { error_noise_ = value; }
  // Makes the worker read what waits at its next pass.
  bool ReadRequest() const { return shared_.read_request; }
  void SetReadRequest(bool value) { shared_.read_request = value; }
  bool SendInProgress() const { return shared_.send.InProgress(); }
  uint32_t CommError() const { return shared_.line.comm_error; }
  TComStateFlags CommStateFlags() const { return shared_.line.comm_state_flags; }
  uint32_t CommStateInQueue() const { return shared_.line.comm_state_in_queue; }
  uint32_t CommStateOutQueue() const { return shared_.line.comm_state_out_queue; }
  uint32_t ModemState() const { return shared_.line.modem_state; }
  uint32_t CommEvent() const { return shared_.line.comm_event; }
  uint32_t WrittenBytes() const { return shared_.send.write_op.count(); }
  // When true the worker delivers nothing to the main thread: no handler runs because of
  // it, and the cluster queue is the only way received data arrives.
  bool ThreadQuietMode() const { return shared_.thread_quiet_mode; }
  void SetThreadQuietMode(bool value) { shared_.thread_quiet_mode = value; }
  // True once the open port shows that its device has gone (unplugged, or a handle the
  // driver no longer serves): a failure with a code that says so, failures that go on, or
  // a send nothing answers on a failing port (PortHealth). The component does nothing
  // about it. Cleared when the port is next opened successfully.
  bool DeviceGone() const override { return shared_.health.DeviceGone(); }
  // True while the worker serves a port (until the driver has let go of a closed one).
  bool ThreadBusy() const { return shared_.thread_busy; }
  // dwPlatformId of the system, -1 if unknown.
  int32_t PlatformId() const { return shared_.platform_id; }

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

  // Reports go to OnProcessError unless destruction has begun, the Noise exceeds ErrorNoise
  // or no handler is assigned. The worker's reports reach it on the main thread.
  void ReportError(uint32_t place, uint32_t code, uint8_t noise, const std::string& msg);

 private:
  void ReopenPort(bool open);
  void ClosePort();
  void OpenPort();
  void ApplyCommSettings();
  void ApplyIfActive();
  void EnableCommEvents();
  void ComputeCharDelays();
  void WaitForWorkerIdle(int count);
  void CreateOverlappedEvent(CommOverlapped& record);
  void ResetOverlappedEvent(CommOverlapped& record);
  void SetQueueSize(uint16_t rx, uint16_t tx, uint32_t place);
  uint8_t LimitedLimDiv(uint8_t value, const char* warning);

  CommApi& api_;
  // What the worker and the driver share with the component. Left allocated when the
  // component ends while the driver still holds one of its operations.
  std::unique_ptr<SerialShared> owned_shared_;
  SerialShared& shared_;

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
  uint16_t rx_queue_size_ = 4096;
  uint16_t tx_queue_size_ = 4096;
  uint32_t wto_char_delay_time_ = 1100;
  uint16_t wto_extra_delay_time_ = 250;
  bool xto_auto_ = true;
  bool rts_state_ = true;
  bool dtr_state_ = true;
  bool break_state_ = false;
  uint8_t error_noise_ = 255;

  std::unique_ptr<TWorkThread> worker_;
};

}  // namespace sonavi
