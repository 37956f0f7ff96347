#include "app/monitor.h"

#include "platform/text.h"

namespace sonavi {

namespace {

constexpr char kCrLf[] = "\r\n";
constexpr uint32_t kPollMs = 100;

constexpr char kBalloonTitle[] = "Chamada telefónica";
constexpr char kRingText[] = "Está a receber uma chamada telefónica.";
constexpr char kKnownCallerText[] = "Está a receber uma chamada telefónica de ";
constexpr char kUnknownCallerText[] =
    "Está a receber uma chamada telefónica originária do número: ";
constexpr char kWithheld[] = "Confidencial";

constexpr char kNoPortHint[] = "Porta do modem não definida.";
constexpr char kOpenErrorHint[] = "Erro ao abrir porta ";
constexpr char kCommunicationHint[] = "Erro na comunicação com o modem.";
constexpr char kNoCallerIdHint[] = "Este modem não suporta a função Caller ID.";

// Keeps CommandBusy set for the life of an exchange, whatever way it ends.
class BusyScope {
 public:
  explicit BusyScope(bool& flag) : flag_(flag) { flag_ = true; }
  ~BusyScope() { flag_ = false; }
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;

 private:
  bool& flag_;
};

}  // namespace

namespace simulated {
const char kRing[] = "\r\nRING\r\n";
const char kPrivateCall[] =
    "\r\nRING\r\n\r\nDATE = 0501\r\n\r\nTIME = 2054\r\n\r\nNMBR = PRIVATE\r\n";
const char kCall219876543[] =
    "\r\nRING\r\n\r\nDATE = 0501\r\n\r\nTIME = 2054\r\n\r\nNMBR = 219876543\r\n";
const char kCorruptCall[] = "\r\nRING\r\n\r\nDATE =     \r\n\r\nTIME =     \r\n\r\nNMBR =     \r\n";
}  // namespace simulated

Monitor::Monitor(SerialLink& serial, Clock& clock, Sound& sound, MonitorHost& host,
                 const Settings& settings)
    : serial_(serial), clock_(clock), sound_(sound), host_(host), settings_(settings) {}

void Monitor::Timer1Timer() {
  std::string work;
  work.swap(receive_buffer_);
  if (!command_busy_ && serial_.PeekClusterSize() >= 0) {
    work += serial_.ReadClusterText();
    work += kCrLf;
  }
  std::string line;
  while (CutLine(work, &line)) {
    if (line.empty()) continue;
    host_.AppendLog(line);
    if (line == "RING") HandleRing();
    if (line.compare(0, 4, "NMBR") == 0) {
      std::string error;
      if (!HandleNumber(line, &error)) {
        // The lines after the failed one are parsed at the next tick, not lost. Put
        // them back before the error box, whose message loop keeps the ticks running.
        receive_buffer_.insert(0, work);
        host_.ShowError(error);
        return;
      }
    }
  }
  // Elapsed time, so that the wrap of the tick count does not end a call early.
  if (call_in_progress_ && clock_.TickCount() - last_ring_tick_ > kCallExpiryMs) {
    call_in_progress_ = false;
  }
}

void Monitor::HandleRing() {
  sound_.PlayRing();
  last_ring_tick_ = clock_.TickCount();
  if (!call_in_progress_) {
    call_in_progress_ = true;
    host_.ShowBalloon(kBalloonTitle, kRingText);
  }
}

bool Monitor::HandleNumber(const std::string& line, std::string* error) {
  std::string number = line.size() > 7 ? Trim(std::string_view(line).substr(7)) : std::string();
  if (number == "P" || number == "PRIVATE") number = kWithheld;
  if (number.empty()) return true;
  const std::string name = host_.LookupName(number);
  const Status recorded = host_.AddCall(number, name);
  // The caller is announced even when the call could not be stored.
  if (!name.empty()) {
    host_.ShowBalloon(kBalloonTitle, kKnownCallerText + name + " (" + number + ").");
  } else {
    host_.ShowBalloon(kBalloonTitle, kUnknownCallerText + number + ".");
  }
  if (!recorded.ok()) {
    *error = recorded.message();
    return false;
  }
  return true;
}

std::string Monitor::SendModemCommand(const std::string& command, int timeout_ms) {
  std::string reply;
  while (command_busy_) clock_.Sleep(kPollMs);
  BusyScope busy(command_busy_);
  if (!command.empty()) {
    // Whatever came before the command (a RING, say) goes to the parser, not the reply.
    while (serial_.PeekClusterSize() >= 0) {
      receive_buffer_ += serial_.ReadClusterText();
      receive_buffer_ += kCrLf;
    }
    serial_.SendText(command + "\r");
  }
  int remaining = timeout_ms;
  do {
    clock_.Sleep(kPollMs);
    remaining -= static_cast<int>(kPollMs);
    if (serial_.PeekClusterSize() >= 0) break;
  } while (remaining > 0);
  if (remaining <= 0) return reply;  // a block first seen at the last poll stays queued

  std::string answer = serial_.ReadClusterText() + kCrLf;
  receive_buffer_ += answer;
  std::string line;
  while (CutLine(answer, &line)) {
    if (line.empty() || line == command) continue;  // blank lines and the echo
    if (!reply.empty()) reply += kCrLf;
    reply += line;
  }
  return reply;
}

void Monitor::ShowFault(const std::string& hint) {
  host_.SetIconIndex(kTrayNotReady);
  host_.SetHint(hint);
}

void Monitor::Timer2Timer() {
  // A handle whose device has gone stays dead even when the device comes back: close
  // it, so that this run opens the device again.
  if (serial_.Active() && serial_.DeviceGone()) {
    serial_.SetActive(false);
    modem_ready_ = false;
  }
  if (modem_ready_) {
    const std::string reply = SendModemCommand("AT#CID?", kCommandTimeoutMs);
    const std::string first_line = reply.substr(0, reply.find('\r'));
    if (first_line == "0" || first_line == "2" || first_line.empty()) modem_ready_ = false;
  }
  if (modem_ready_) return;

  serial_.SetCommPort(settings_.modem_port);
  serial_.SetActive(true);
  clock_.Sleep(kPollMs);
  if (!serial_.Active()) {
    ShowFault(Trim(settings_.modem_port).empty() ? std::string(kNoPortHint)
                                                 : kOpenErrorHint + settings_.modem_port + ".");
    return;
  }
  if (SendModemCommand("AT", kCommandTimeoutMs) != "OK" ||
      SendModemCommand("ATZ", kCommandTimeoutMs) != "OK") {
    ShowFault(kCommunicationHint);
    return;
  }
  modem_ready_ = true;
  if (SendModemCommand("AT#CID=1", kCommandTimeoutMs) != "OK") {
    ShowFault(kNoCallerIdHint);
    return;
  }
  host_.SetIconIndex(kTrayCallerIdOn);
  host_.SetHint("");
}

}  // namespace sonavi
