// The caller-ID monitor: the modem command exchange, the 100 ms line parser that
// announces rings and callers, and the 60 s supervision that opens the port and keeps
// the modem's caller-ID reporting switched on. Main thread only.
#pragma once

#include <cstdint>
#include <string>

#include "platform/clock.h"
#include "platform/sound.h"
#include "platform/status.h"
#include "serial/serial_link.h"
#include "settings/settings.h"

namespace sonavi {

// What the monitor needs from the windows around it.
class MonitorHost {
 public:
  virtual ~MonitorHost() = default;
  // Appends a line to the diagnostic log.
  virtual void AppendLog(const std::string& line) = 0;
  // The phone book's name for a number, or empty.
  virtual std::string LookupName(const std::string& number) = 0;
  // Records a call in the call list window and its file.
  virtual Status AddCall(const std::string& number, const std::string& name) = 0;
  // A balloon at the tray icon, without icon, shown for 15 s.
  virtual void ShowBalloon(const std::string& title, const std::string& text) = 0;
  virtual void SetIconIndex(int index) = 0;
  virtual void SetHint(const std::string& hint) = 0;
  // The application's standard error box.
  virtual void ShowError(const std::string& text) = 0;
};

inline constexpr int kTrayNotReady = 0;
inline constexpr int kTrayCallerIdOn = 1;
inline constexpr uint32_t kCallExpiryMs = 8000;
inline constexpr int kCommandTimeoutMs = 2000;

class Monitor {
 public:
  Monitor(SerialLink& serial, Clock& clock, Sound& sound, MonitorHost& host,
          const Settings& settings);

  // The parser's tick: takes ReceiveBuffer and at most one cluster, logs every line,
  // rings on "RING", records and announces a caller on "NMBR".
  void Timer1Timer();

  // Sends one command (plus CR) and waits, in 100 ms sleeps, for the modem's answer;
  // returns its lines without the echo, joined with CR LF, or empty when nothing came.
  // An empty command sends nothing and only waits for the next block.
  std::string SendModemCommand(const std::string& command, int timeout_ms);

  // The supervision step: checks the modem if it was initialised, otherwise opens the
  // configured port and initialises the modem; the outcome goes to the tray icon. A port
  // whose device has gone is closed and opened again.
  void Timer2Timer();

  // Text for the parser, as if the modem had sent it (must end with CR LF).
  void AppendToReceiveBuffer(const std::string& text) { receive_buffer_ += text; }

  bool ModemReady() const { return modem_ready_; }
  void SetModemReady(bool ready) { modem_ready_ = ready; }
  bool CommandBusy() const { return command_busy_; }
  bool CallInProgress() const { return call_in_progress_; }
  uint32_t LastRingTick() const { return last_ring_tick_; }
  const std::string& ReceiveBuffer() const { return receive_buffer_; }

 private:
  void HandleRing();
  // Records and announces a caller; false when recording failed (error in *error).
  bool HandleNumber(const std::string& line, std::string* error);
  // Fails the initialisation: picture 0 and the hint.
  void ShowFault(const std::string& hint);

  SerialLink& serial_;
  Clock& clock_;
  Sound& sound_;
  MonitorHost& host_;
  const Settings& settings_;

  std::string receive_buffer_;
  bool command_busy_ = false;
  bool modem_ready_ = false;
  bool call_in_progress_ = false;
  uint32_t last_ring_tick_ = 0;
};

// The texts the diagnostic panel's simulation buttons inject.
namespace simulated {
extern const char kRing[];
extern const char kPrivateCall[];
extern const char kCall219876543[];
extern const char kCorruptCall[];
}  // namespace simulated

}  // namespace sonavi
