// The simulated modem on a pseudo-terminal: opens the pty, answers what the program writes
// to the other end, runs control commands from a FIFO, stdin or a timed script, and logs
// every command it receives.
#pragma once

#include <signal.h>

#include <chrono>
#include <cstdio>
#include <deque>
#include <map>
#include <ostream>
#include <string>
#include <variant>
#include <vector>

#include "fakemodem/modem_logic.h"

namespace sonavi::fakemodem {

struct ServerOptions {
  ModemOptions modem;
  std::string link;     // a symlink kept pointing at the current pty
  std::string log;      // "<ms since start> <command>" per received command
  std::string control;  // a FIFO created for control lines
  std::string script;   // "<ms> <control command>" lines run on a timeline
  // "<us> <bytes>" per piece of output once its last byte has left; the time is
  // CLOCK_MONOTONIC_RAW, the clock Wine's QueryPerformanceCounter counts
  std::string log_sent;
  int ring_interval_ms = 5000;
  bool read_stdin = true;
};

extern const char kUsage[];

// Parses the command line (argv[0] is the program). False with a message on a bad option;
// *help is set when usage was asked for.
bool ParseCommandLine(const std::vector<std::string>& args, ServerOptions* options, bool* help,
                      std::string* error);

class ModemServer {
 public:
  using Clock = std::chrono::steady_clock;

  // Path lines (the pty's slave path, once per pty) go to `paths`.
  ModemServer(const ServerOptions& options, std::ostream& paths);
  ~ModemServer();
  ModemServer(const ModemServer&) = delete;
  ModemServer& operator=(const ModemServer&) = delete;

  // Opens the pty, the log, the control FIFO and the script. False with a message on failure.
  bool Start(std::string* error);

  // Waits at most max_wait_ms for input or a due event and handles what is ready. Signals in
  // `mask` are unblocked while waiting (may be null). False once told to quit.
  bool Step(int max_wait_ms, const sigset_t* mask = nullptr);

  void Control(const ControlCommand& command);

  const std::string& slave_path() const { return slave_path_; }
  bool open() const { return master_ >= 0; }

 private:
  struct Bytes {
    unsigned generation;
    std::string text;
  };
  using Event = std::variant<Bytes, ControlCommand>;

  bool OpenPty(std::string* error);
  void ClosePty();
  // A new device at power-on behind the link (the current one closed first unless kept).
  void Replug(bool keep_current);
  void UpdateLink();
  void ReadMaster();
  void ReadLines(int fd, std::string* pending, bool* at_end);
  void HandleControlLine(const std::string& line);
  // Queues bytes for the pty and sends what the pty takes now; the rest leaves as the
  // far end reads, so nothing is dropped when the pty's buffer is full.
  void Write(const std::string& bytes);
  void Flush();
  void Log(const std::string& command);
  void RunDueEvents();

  ServerOptions options_;
  std::ostream& paths_;
  ModemLogic logic_;
  Clock::time_point start_;
  int master_ = -1;
  int slave_ = -1;  // held open so the master never sees a hang-up while no program has the port
  std::vector<int> stalled_;  // the stalled devices' ends, held open and never served
  unsigned generation_ = 0;
  std::string slave_path_;
  std::FILE* log_ = nullptr;
  std::FILE* log_sent_ = nullptr;
  std::deque<std::string> out_;  // pieces waiting for the pty, the first maybe partly sent
  std::size_t out_sent_ = 0;     // bytes of out_.front() already sent
  int control_fd_ = -1;
  std::string control_pending_;
  std::string stdin_pending_;
  bool stdin_done_ = false;
  bool quit_ = false;
  std::multimap<Clock::time_point, Event> events_;
  Clock::time_point last_reply_due_;
};

}  // namespace sonavi::fakemodem
