// The simulated voice modem's behaviour, free of any device: what it answers to the bytes
// it receives, what an incoming call looks like on the line, and the control language
// that tells it to ring.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sonavi::fakemodem {

enum class DialOutcome { kOk, kNoDialtone, kBusy };

struct ModemOptions {
  bool echo = true;        // the power-on echo setting (ATE1); ATZ returns to it
  bool cid_error = false;  // a modem without caller ID: every AT#CID command gives ERROR
  DialOutcome dial = DialOutcome::kOk;
  bool no_answer = false;  // never sends anything back, not even the echo
  int silent_after = -1;   // answers this many commands, then falls silent; -1: never
  bool split = false;      // every reply leaves in two parts, split_gap_ms apart
  int split_gap_ms = 400;
  int reply_delay_ms = 0;    // between a command's echo and its reply
  int dial_delay_ms = 1000;  // a dial command's reply comes this much later
};

// Bytes the modem sends, delay_ms after the previous chunk of the same answer (the first
// chunk: after the input that caused it).
struct Chunk {
  int delay_ms = 0;
  std::string bytes;
  bool operator==(const Chunk&) const = default;
};

struct ModemOutput {
  std::vector<std::string> commands;  // each complete command line, as received, without CR
  std::vector<Chunk> chunks;
};

// Command lines end at CR; LF is ignored and backspace removes the last character, as on a
// real modem. Matching ignores case and blanks. The caller-ID mode is volatile: it starts at
// 0 and ATZ (which restores the power-on profile) sets it back to 0, as on real voice modems.
class ModemLogic {
 public:
  static constexpr std::size_t kMaxLine = 256;

  explicit ModemLogic(const ModemOptions& options);

  ModemOutput Receive(std::string_view bytes);

  void SetSilent(bool silent) { silent_ = silent; }
  bool silent() const { return silent_; }
  int cid_mode() const { return cid_mode_; }
  bool echo() const { return echo_; }

 private:
  bool Answering() const;
  void Execute(const std::string& line, std::vector<Chunk>* chunks);
  void AddReply(const std::string& text, int delay_ms, std::vector<Chunk>* chunks) const;

  ModemOptions options_;
  bool echo_;
  int cid_mode_ = 0;
  bool silent_ = false;
  int commands_seen_ = 0;
  std::string line_;
  bool overflow_ = false;
};

// Local date and time as the caller-ID block reports them.
struct CallTime {
  int month = 1;  // 1..12
  int day = 1;    // 1..31
  int hour = 0;
  int minute = 0;
};

std::string RingText();
// "\r\nDATE = MMDD\r\n\r\nTIME = HHMM\r\n\r\nNMBR = <number>\r\n"
std::string CallerIdText(const CallTime& time, std::string_view number);

struct TimedText {
  int at_ms = 0;
  std::string bytes;
  bool operator==(const TimedText&) const = default;
};

// An incoming call: a RING every ring_interval_ms, and the caller-ID block half an interval
// after the first ring, as a modem reports it between the first and second rings.
std::vector<TimedText> PlanCall(std::string_view number, int rings, int ring_interval_ms,
                                const CallTime& time);

struct ControlCommand {
  enum class Kind { kRing, kCall, kSend, kClose, kReopen, kStall, kSilent, kQuit };
  Kind kind = Kind::kRing;
  std::string text;  // kCall: the number; kSend: the bytes to send, escapes decoded
  int rings = 3;     // kCall
  bool on = false;   // kSilent
};

// One control line: ring | call NUMBER [RINGS] | send TEXT | close | reopen | stall |
// silent on|off | quit. Returns nothing for a blank line or a "#" comment (error left
// empty) and for a bad line (error says why).
std::optional<ControlCommand> ParseControl(std::string_view line, std::string* error);

// Decodes \r \n \t \\ and \xHH; false on an unknown or unfinished escape.
bool DecodeEscapes(std::string_view text, std::string* out);

struct ScriptEntry {
  int at_ms = 0;
  ControlCommand command;
};

// Lines "<ms> <control command>"; blank lines and "#" comments are skipped.
std::optional<std::vector<ScriptEntry>> ParseScript(std::string_view text, std::string* error);

// A command line as the log shows it: bytes below 32 or above 126 as \xHH.
std::string Printable(std::string_view line);

}  // namespace sonavi::fakemodem
