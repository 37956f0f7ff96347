#include "fakemodem/modem_server.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iostream>
#include <sstream>

namespace sonavi::fakemodem {

const char kUsage[] =
    "usage: fakemodem [options]\n"
    "  A voice modem on a pseudo-terminal; prints the pty's path as its first line.\n"
    "  --link PATH          keep a symlink PATH pointing at the pty\n"
    "  --log FILE           log each command received as \"<ms since start> <command>\"\n"
    "  --log-sent FILE      log each piece of output as \"<us> <bytes>\" when it has left\n"
    "                       (us: CLOCK_MONOTONIC_RAW, as Wine's QueryPerformanceCounter)\n"
    "  --control PATH       create a FIFO PATH and read control commands from it\n"
    "  --script FILE        run \"<ms> <control command>\" lines on a timeline\n"
    "  --no-echo            start with echo off (ATE0)\n"
    "  --cid-error          answer every AT#CID command with ERROR\n"
    "  --no-dialtone        answer dial commands with NO DIALTONE\n"
    "  --busy               answer dial commands with BUSY\n"
    "  --no-answer          never send anything back\n"
    "  --silent-after N     answer N commands, then fall silent\n"
    "  --split              send every reply in two parts\n"
    "  --split-gap MS       time between the two parts (default 400)\n"
    "  --reply-delay MS     time between a command's echo and its reply (default 0)\n"
    "  --dial-delay MS      extra time before a dial command's reply (default 1000)\n"
    "  --ring-interval MS   time between the RINGs of a call (default 5000)\n"
    "  Control commands (FIFO, stdin, script): ring | call NUMBER [RINGS] | send TEXT |\n"
    "  close | reopen | stall | silent on|off | quit. TEXT knows \\r \\n \\t \\\\ \\xHH.\n";

namespace {

bool ParseMs(const std::string& text, int* value) {
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), *value);
  return ec == std::errc() && end == text.data() + text.size() && *value >= 0;
}

long long RawMicroseconds() {
  timespec now{};
  ::clock_gettime(CLOCK_MONOTONIC_RAW, &now);
  return static_cast<long long>(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
}

CallTime Now() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return {local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min};
}

}  // namespace

bool ParseCommandLine(const std::vector<std::string>& args, ServerOptions* options, bool* help,
                      std::string* error) {
  *help = false;
  for (std::size_t i = 1; i < args.size(); ++i) {
    std::string name = args[i];
    std::string value;
    bool has_value = false;
    if (const std::size_t eq = name.find('='); eq != std::string::npos) {
      value = name.substr(eq + 1);
      name.resize(eq);
      has_value = true;
    }
    auto take = [&](std::string* out) {
      if (!has_value) {
        if (i + 1 >= args.size()) return false;
        value = args[++i];
      }
      *out = value;
      return true;
    };
    auto take_ms = [&](int* out) {
      std::string text;
      return take(&text) && ParseMs(text, out);
    };
    auto flag = [&](bool* out, bool state) {
      *out = state;
      return !has_value;
    };
    ModemOptions& m = options->modem;
    bool ok = true;
    if (name == "--help" || name == "-h") {
      *help = true;
      return true;
    } else if (name == "--link") {
      ok = take(&options->link);
    } else if (name == "--log") {
      ok = take(&options->log);
    } else if (name == "--log-sent") {
      ok = take(&options->log_sent);
    } else if (name == "--control") {
      ok = take(&options->control);
    } else if (name == "--script") {
      ok = take(&options->script);
    } else if (name == "--no-echo") {
      ok = flag(&m.echo, false);
    } else if (name == "--cid-error") {
      ok = flag(&m.cid_error, true);
    } else if (name == "--no-answer") {
      ok = flag(&m.no_answer, true);
    } else if (name == "--split") {
      ok = flag(&m.split, true);
    } else if (name == "--no-dialtone" || name == "--busy") {
      m.dial = name == "--busy" ? DialOutcome::kBusy : DialOutcome::kNoDialtone;
      ok = !has_value;
    } else if (name == "--silent-after") {
      ok = take_ms(&m.silent_after);
    } else if (name == "--split-gap") {
      ok = take_ms(&m.split_gap_ms);
    } else if (name == "--reply-delay") {
      ok = take_ms(&m.reply_delay_ms);
    } else if (name == "--dial-delay") {
      ok = take_ms(&m.dial_delay_ms);
    } else if (name == "--ring-interval") {
      ok = take_ms(&options->ring_interval_ms) && options->ring_interval_ms > 0;
    } else {
      *error = "unknown option " + args[i];
      return false;
    }
    if (!ok) {
      *error = "bad or missing value for " + name;
      return false;
    }
  }
  return true;
}

ModemServer::ModemServer(const ServerOptions& options, std::ostream& paths)
    : options_(options), paths_(paths), logic_(options.modem), start_(Clock::now()) {}

ModemServer::~ModemServer() {
  ClosePty();
  for (const int fd : stalled_) ::close(fd);
  if (control_fd_ >= 0) {
    ::close(control_fd_);
    ::unlink(options_.control.c_str());
  }
  if (log_ != nullptr) std::fclose(log_);
  if (log_sent_ != nullptr) std::fclose(log_sent_);
}

bool ModemServer::Start(std::string* error) {
  if (!options_.log.empty()) {
    log_ = std::fopen(options_.log.c_str(), "w");
    if (log_ == nullptr) {
      *error = "cannot create log " + options_.log + ": " + std::strerror(errno);
      return false;
    }
  }
  if (!options_.log_sent.empty()) {
    log_sent_ = std::fopen(options_.log_sent.c_str(), "w");
    if (log_sent_ == nullptr) {
      *error = "cannot create log " + options_.log_sent + ": " + std::strerror(errno);
      return false;
    }
  }
  if (!options_.script.empty()) {
    std::ifstream in(options_.script);
    if (!in) {
      *error = "cannot read script " + options_.script;
      return false;
    }
    std::stringstream text;
    text << in.rdbuf();
    std::optional<std::vector<ScriptEntry>> script = ParseScript(text.str(), error);
    if (!script) {
      *error = options_.script + ": " + *error;
      return false;
    }
    for (ScriptEntry& entry : *script) {
      events_.emplace(start_ + std::chrono::milliseconds(entry.at_ms), std::move(entry.command));
    }
  }
  if (!options_.control.empty()) {
    ::unlink(options_.control.c_str());
    if (::mkfifo(options_.control.c_str(), 0600) != 0) {
      *error = "cannot create FIFO " + options_.control + ": " + std::strerror(errno);
      return false;
    }
    // Opened for writing too, so that writers coming and going never leave it at end of file.
    control_fd_ = ::open(options_.control.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (control_fd_ < 0) {
      *error = "cannot open FIFO " + options_.control + ": " + std::strerror(errno);
      return false;
    }
  }
  return OpenPty(error);
}

bool ModemServer::OpenPty(std::string* error) {
  master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  char name[128];
  if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0 ||
      ::ptsname_r(master_, name, sizeof name) != 0) {
    *error = std::string("cannot create a pseudo-terminal: ") + std::strerror(errno);
    ClosePty();
    return false;
  }
  slave_path_ = name;
  slave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  termios raw{};
  if (slave_ < 0 || ::tcgetattr(slave_, &raw) != 0) {
    *error = "cannot open " + slave_path_ + ": " + std::strerror(errno);
    ClosePty();
    return false;
  }
  ::cfmakeraw(&raw);
  ::tcsetattr(slave_, TCSANOW, &raw);
  ++generation_;
  UpdateLink();
  paths_ << slave_path_ << std::endl;
  return true;
}

void ModemServer::ClosePty() {
  if (master_ >= 0) ::close(master_);
  if (slave_ >= 0) ::close(slave_);
  master_ = slave_ = -1;
  out_.clear();  // bytes not yet sent go with the device
  out_sent_ = 0;
  ++generation_;  // replies still waiting for the old device are dropped
  last_reply_due_ = {};
  if (!options_.link.empty()) ::unlink(options_.link.c_str());
}

void ModemServer::Replug(bool keep_current) {
  if (!keep_current) ClosePty();
  out_.clear();
  out_sent_ = 0;
  ++generation_;  // replies still waiting for the old device are dropped
  last_reply_due_ = {};
  const bool silent = logic_.silent();
  logic_ = ModemLogic(options_.modem);  // a new device starts from power-on
  logic_.SetSilent(silent);
  std::string error;
  if (!OpenPty(&error)) std::cerr << "fakemodem: " << error << '\n';
}

void ModemServer::UpdateLink() {
  if (options_.link.empty()) return;
  const std::string temp = options_.link + ".new";
  ::unlink(temp.c_str());
  if (::symlink(slave_path_.c_str(), temp.c_str()) != 0 ||
      ::rename(temp.c_str(), options_.link.c_str()) != 0) {
    std::cerr << "fakemodem: cannot link " << options_.link << ": " << std::strerror(errno) << '\n';
  }
}

void ModemServer::Log(const std::string& command) {
  if (log_ == nullptr) return;
  const auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start_).count();
  std::fprintf(log_, "%lld %s\n", static_cast<long long>(ms), Printable(command).c_str());
  std::fflush(log_);
}

void ModemServer::Write(const std::string& bytes) {
  if (master_ < 0 || bytes.empty()) return;
  out_.push_back(bytes);
  Flush();
}

void ModemServer::Flush() {
  while (master_ >= 0 && !out_.empty()) {
    const std::string& piece = out_.front();
    const ssize_t n = ::write(master_, piece.data() + out_sent_, piece.size() - out_sent_);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EAGAIN) return;  // the pty is full: the rest waits for POLLOUT
    if (n <= 0) {
      std::cerr << "fakemodem: write to the pty failed: " << std::strerror(errno) << '\n';
      out_.clear();
      out_sent_ = 0;
      return;
    }
    out_sent_ += static_cast<std::size_t>(n);
    if (out_sent_ < piece.size()) continue;
    if (log_sent_ != nullptr) {
      std::fprintf(log_sent_, "%lld %s\n", RawMicroseconds(), Printable(piece).c_str());
      std::fflush(log_sent_);
    }
    out_.pop_front();
    out_sent_ = 0;
  }
}

void ModemServer::ReadMaster() {
  char buffer[4096];
  const ssize_t n = ::read(master_, buffer, sizeof buffer);
  if (n <= 0) return;
  ModemOutput output = logic_.Receive(std::string_view(buffer, static_cast<std::size_t>(n)));
  for (const std::string& command : output.commands) Log(command);
  // Answers leave in order: a reply still waiting (a dial in progress) holds back later ones.
  Clock::time_point due = std::max(Clock::now(), last_reply_due_);
  for (Chunk& chunk : output.chunks) {
    due += std::chrono::milliseconds(chunk.delay_ms);
    events_.emplace(due, Bytes{generation_, std::move(chunk.bytes)});
  }
  last_reply_due_ = due;
}

void ModemServer::ReadLines(int fd, std::string* pending, bool* at_end) {
  char buffer[4096];
  const ssize_t n = ::read(fd, buffer, sizeof buffer);
  if (n == 0) *at_end = true;
  if (n <= 0) return;
  pending->append(buffer, static_cast<std::size_t>(n));
  for (std::size_t end; (end = pending->find('\n')) != std::string::npos;) {
    const std::string line = pending->substr(0, end);
    pending->erase(0, end + 1);
    HandleControlLine(line);
  }
}

void ModemServer::HandleControlLine(const std::string& line) {
  std::string error;
  std::optional<ControlCommand> command = ParseControl(line, &error);
  if (command) {
    Control(*command);
  } else if (!error.empty()) {
    std::cerr << "fakemodem: " << error << '\n';
  }
}

void ModemServer::Control(const ControlCommand& command) {
  switch (command.kind) {
    case ControlCommand::Kind::kRing:
      Write(RingText());
      break;
    case ControlCommand::Kind::kCall: {
      const Clock::time_point now = Clock::now();
      for (TimedText& part :
           PlanCall(command.text, command.rings, options_.ring_interval_ms, Now())) {
        events_.emplace(now + std::chrono::milliseconds(part.at_ms),
                        Bytes{generation_, std::move(part.bytes)});
      }
      break;
    }
    case ControlCommand::Kind::kSend:
      Write(command.text);
      break;
    case ControlCommand::Kind::kClose:
      ClosePty();
      break;
    case ControlCommand::Kind::kReopen:
      Replug(false);
      break;
    case ControlCommand::Kind::kStall:
      // The device stops taking what the program writes and never recovers, without a
      // hang-up: its output is suspended and nobody reads it any more. Only a program
      // that opens the port again reaches the device that takes its place.
      if (master_ < 0) break;
      ::tcflow(slave_, TCOOFF);
      stalled_.push_back(master_);
      stalled_.push_back(slave_);
      master_ = slave_ = -1;
      Replug(true);
      break;
    case ControlCommand::Kind::kSilent:
      logic_.SetSilent(command.on);
      break;
    case ControlCommand::Kind::kQuit:
      quit_ = true;
      break;
  }
}

void ModemServer::RunDueEvents() {
  while (!events_.empty() && !quit_ && events_.begin()->first <= Clock::now()) {
    Event event = std::move(events_.begin()->second);
    events_.erase(events_.begin());
    if (Bytes* bytes = std::get_if<Bytes>(&event)) {
      if (bytes->generation == generation_) Write(bytes->text);
    } else {
      Control(std::get<ControlCommand>(event));
    }
  }
}

bool ModemServer::Step(int max_wait_ms, const sigset_t* mask) {
  RunDueEvents();
  if (quit_) return false;
  pollfd fds[3];
  nfds_t count = 0;
  int master_index = -1, control_index = -1, stdin_index = -1;
  if (master_ >= 0) {
    master_index = static_cast<int>(count);
    fds[count++] = {master_, static_cast<short>(out_.empty() ? POLLIN : POLLIN | POLLOUT), 0};
  }
  if (control_fd_ >= 0) {
    control_index = static_cast<int>(count);
    fds[count++] = {control_fd_, POLLIN, 0};
  }
  if (options_.read_stdin && !stdin_done_) {
    stdin_index = static_cast<int>(count);
    fds[count++] = {STDIN_FILENO, POLLIN, 0};
  }
  auto wait = std::chrono::milliseconds(max_wait_ms);
  if (!events_.empty()) {
    const auto until_next =
        std::chrono::ceil<std::chrono::milliseconds>(events_.begin()->first - Clock::now());
    wait = std::clamp(until_next, std::chrono::milliseconds(0), wait);
  }
  const timespec timeout{static_cast<time_t>(wait.count() / 1000),
                         static_cast<long>(wait.count() % 1000) * 1000000L};
  const int ready = ::ppoll(fds, count, &timeout, mask);
  if (ready > 0) {
    if (master_index >= 0 && (fds[master_index].revents & POLLIN)) ReadMaster();
    if (master_index >= 0 && (fds[master_index].revents & POLLOUT)) Flush();
    if (control_index >= 0 && (fds[control_index].revents & POLLIN)) {
      bool ignored = false;
      ReadLines(control_fd_, &control_pending_, &ignored);
    }
    if (stdin_index >= 0 && fds[stdin_index].revents != 0) {
      ReadLines(STDIN_FILENO, &stdin_pending_, &stdin_done_);
      if (fds[stdin_index].revents & (POLLHUP | POLLERR | POLLNVAL)) {
        if (!(fds[stdin_index].revents & POLLIN)) stdin_done_ = true;
      }
    }
  }
  RunDueEvents();
  return !quit_;
}

}  // namespace sonavi::fakemodem
